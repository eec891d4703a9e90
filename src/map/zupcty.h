// zupcty.h - map projections and diagram transforms (maptran), plot domains
// and regions (region), and the station database (cty_read, cty_tool).
#ifndef ZUPCTY_H
#define ZUPCTY_H

#include <cstddef>

#include "zup.h"

// ---------------------------------------------------------------------------
// Projection codes of Domain::proj.
// ---------------------------------------------------------------------------
enum MAP_code {
    MAP_none = -9999,     // identity
    MAP_polar = 1,        // polar stereographic
    MAP_latlon = 2,       // latitude/longitude (cylindrical equidistant)
    MAP_mercator = 3,
    MAP_lambert = 4,      // Lambert conformal conic
    MAP_ortho = 5,        // orthographic
    MAP_gnomonic = 6,
    MAP_mollweide = 7,    // Mollweide-type equal-area
    MAP_lambert_az = 8,   // Lambert azimuthal equal-area
    MAP_satellite = 9,    // geostationary satellite view
    MAP_xy = 20,          // linear x/y plot
    MAP_xlogy = 22,       // x against -ln y
    MAP_hodo = 23,        // hodograph
    MAP_cat = 24,         // linear, as 20
    MAP_xp = 25,          // linear with y reversed
    MAP_skewt = 40,
    MAP_stuve = 41,
    MAP_emagram = 42,
    MAP_teph = 43,        // tephigram, rotated 45 degrees
    MAP_rteph = 44,       // tephigram, unrotated
    MAP_zoom = 50,        // zoom request (no transform)
    MAP_size = 51,        // size request (no transform)
    MAP_pixel = 99        // pixel plane, y down
};

// Earth radius and WGS-84 semi-axes in the plane unit of 100 km.
constexpr double MAP_EARTH_RADIUS = 63.7122;
constexpr double MAP_SEMI_MAJOR = 63.781368;
constexpr double MAP_SEMI_MINOR = 63.56752;
// Default geostationary orbit radius (42 161 km).
constexpr double MAP_SAT_RADIUS = 421.61;

// Plane limits or device view.
struct MAP_limits {
    float x_min;
    float x_max;
    float y_min;
    float y_max;
};

struct EarthPoint {
    float lat;
    float lon;
};

struct Point {
    float x;
    float y;
};

// ---------------------------------------------------------------------------
// maptran: the current domain and its transforms.
// ---------------------------------------------------------------------------

// Make dom current and derive its limits.  0, or -1 for a null dom (the
// current projection then becomes -9999, the identity).
int MAP_domain(const Domain *dom);
// Copy the current domain into dom and return dom; a null dom returns the
// module's own copy (read-only).
const Domain *MAP_get_domain(Domain *dom);
int MAP_get_proj();
// Projection code for a name; -1 unrecognised, -9999 for "miss".
int MAP_proj_str(const char *name);

// Data point to plane: 1 when the point has an image, else 0 with
// x = y = -9999.  For diagrams lat is the x-quantity (temperature C, wind
// direction) and lon the y-quantity (pressure mb, wind speed).
int MAP_tran(float lat, float lon, float *x, float *y);
// Plane point back to data: 1, or 0 with -9999, -9999 without a pre-image.
int MAP_untran(float x, float y, float *lat, float *lon);
int MAP_tran_ep(const EarthPoint *ept, Point *pt);
int MAP_tran_pe(const Point *pt, EarthPoint *ept);
// Image of the centre (clat, clon) of the current domain.
int MAP_tran_center(float *x, float *y);

// Plane limits of the current domain (recomputed by MAP_set_limits).
int MAP_set_limits();
int MAP_get_limits(MAP_limits *lim);
// Device view used by the skew-T and tephigram factors.
int MAP_set_view(const MAP_limits *vp);
int MAP_get_view(MAP_limits *vp);
// Re-derive the limits and cached factors of the current domain (after
// the view has changed).
int MAP_setup();

// Grid index (from the upper-left corner, gy downward) to plane and back.
// 0, or -1 (outputs -9999) when the first input is -9999.
int MAP_grid_tran(float gx, float gy, float *x, float *y);
int MAP_grid_untran(float x, float y, float *gx, float *gy);

// 1 when (x, y) lies inside the limits (bounds included) or no domain is set.
int MAP_in_domain(float x, float y);

// Plane point of domain1 to plane point of domain2; the current domain is
// left as it was.  0 (the outputs are -9999 when the point has no image).
int MAP_domain_tran(const Domain *domain1, const Domain *domain2, float x1,
                    float y1, float *x2, float *y2);

// Angle in degrees, clockwise from the plane's +y axis, of local north at
// (lat, lon) for the map projections; 0 for diagrams and plots.
float MAP_get_vert(float lat, float lon);

// ---------------------------------------------------------------------------
// region: domains written as text, built-in regions, regions files.
// ---------------------------------------------------------------------------

// Field kinds of DOM_set_params.
enum DOM_field {
    DOM_no_field = 0,
    DOM_proj = 1,
    DOM_plon = 2,
    DOM_station = 3,  // a clat field given as "id:" station
    DOM_clat = 4,
    DOM_clon = 5,
    DOM_nx = 6,
    DOM_ny = 7,
    DOM_dx = 8,
    DOM_dy = 9,
    DOM_region = 10
};

// Reset dom to "no domain".  0.
int DOM_init(Domain *dom);
// Parse a domain text.  1 explicit domain, 2 named region, -9999 empty or
// "miss", -1 nothing fits.  Sets flag 5, file-name key "r" and the station
// priority.
int DOM_decode(const char *text, Domain *dom);
// Fill dom from count fields against up to eight field kinds (0 = none).
// 0 when the fields fit the kinds exactly, else the kind that failed.
int DOM_set_params(int count, const char *const *fields, Domain *dom,
                   int k1 = 0, int k2 = 0, int k3 = 0, int k4 = 0, int k5 = 0,
                   int k6 = 0, int k7 = 0, int k8 = 0);
// Projection code for a name; -1 unrecognised, -9999 for "miss".
int DOM_proj_str(const char *name);
// 1 and dom filled for a built-in region ("us", "ne", ..., "var"), else 0.
int DOM_get_def_region(const char *name, Domain *dom);
// Look a region up in a regions file (joined to file_path).  1 with its
// domain text in out, else 0.  A null or empty region takes the first line;
// a line holding only one word is a domain text that answers any region.
int DOM_search_file(const char *file, const char *region, char *out,
                    std::size_t out_size);
// 1 when the two domains are equal.
int DOM_comp(const Domain *a, const Domain *b);
// (nx - 1)/(ny - 1), or 1.0 when nx or ny is below 2.
float DOM_aspect(const Domain *dom);
// Station priority from a domain height, adjusted by stat_prior.  0.
int DOM_set_base_prior(float height);
int DOM_get_base_prior();

// ---------------------------------------------------------------------------
// Station database ("sao.cty").
// ---------------------------------------------------------------------------

constexpr int CTY_NAME_LEN = 21;
constexpr int CTY_STATE_LEN = 3;
constexpr int CTY_REGION_LEN = 3;
constexpr int CTY_ID_LEN = 10;

// One station record.
struct CTY_data {
    char name[CTY_NAME_LEN];      // underscores stand for blanks
    char state[CTY_STATE_LEN];
    char region[CTY_REGION_LEN];  // country code
    char id[CTY_ID_LEN];
    char mos;                     // '*' when the station has MOS data, else ' '
    int prior;                    // priority digit, -9999 when unreadable
    char ua;                      // '*' for an upper-air station, else ' '
    float lat;                    // degrees north
    float lon;                    // degrees east
    float el;                     // elevation m, -9999 when missing
    int wmo;                      // WMO block/station number, -9999 missing
    int num;
};

// cty_read: one open database file at a time.
// Open a database file; a name without "/", "." or "~" at its start is
// joined to file_path.  0, or -1 with "CTY_open_file: Database file not
// found: %s\n".
int CTY_open_file(const char *name);
// Read the next record: 1, or 0 at the end of the file.  Lines that do not
// hold a record are skipped.
int CTY_read(CTY_data *data);
int CTY_close_file();
// Decode one record line: 1, or 0 when the line is not a record.
int CTY_decode_line(const char *line, CTY_data *data);
// Write one record in the database layout (no newline) into out.
int CTY_format_line(const CTY_data *data, char *out, std::size_t out_size);

// cty_tool: lookup by identifier, name or five-digit WMO number, without
// regard to case.  def_file is used unless the city_file resource is set;
// city_file "none" disables the lookup.  1 found (data filled), else 0.
int CTY_get(const char *text, CTY_data *data, const char *def_file = "sao.cty");
// As CTY_get, but always in the given file (no city_file resource).
int CTY_get_file(const char *text, const char *file, CTY_data *data);

#endif  // ZUPCTY_H
