// grd_netcdf.cpp - netCDF grid files through the netCDF library: the
// package's own layout (one record per grid), the model-output layout, and
// files that follow the CF conventions.
//
// Layouts are told apart in this order: a dimension "grid" makes the
// package layout; a dimension "rtime", "frtime" or "anltime", or a variable
// "reftime" or "year", makes the model layout; anything else is read by the
// CF conventions (below) when it has latitude and longitude (or projection
// x/y) dimensions and variables with a known standard_name.
//
// Grids of the model and CF layouts are handed out in the program's single
// numbering (GRIB edition 1 parameters and level types) and in the units
// that numbering uses (Pa, m, K, %, m/s ...), so that the sounding and every
// other consumer treat them exactly as the same fields read from GRIB.  The
// file record keeps the model layout's own parameter codes in `var`.
#include <netcdf.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define RAZIVA_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define RAZIVA_SANITIZED 1
#endif
#if RAZIVA_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "grd_priv.h"
#include "grib.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"
#include "zupupa.h"

namespace {

// The netCDF C library (and HDF5, curl and the rest it pulls in) is loaded
// when the first netCDF file is opened, not at every start of the program:
// most runs read GRIB only, and loading it doubled their start-up time.
#define NC_FUNCTIONS(X) \
    X(nc_close) X(nc_create) X(nc_free_string) X(nc_get_att_double) X(nc_get_att_string) \
    X(nc_get_att_text) X(nc_get_var1_double) X(nc_get_var_double) X(nc_get_vara_float) \
    X(nc_get_vara_text) X(nc_inq) X(nc_inq_att) X(nc_inq_attname) X(nc_inq_dimid) \
    X(nc_inq_dimlen) X(nc_inq_dimname) X(nc_inq_nvars) X(nc_inq_var) X(nc_inq_vardimid) \
    X(nc_inq_varid) X(nc_inq_varname) X(nc_inq_varndims) X(nc_inq_vartype) X(nc_open) \
    X(nc_strerror)

struct NcLib {
    bool ok = false;
#define X(f) decltype(&::f) f = nullptr;
    NC_FUNCTIONS(X)
#undef X
};

const NcLib &lib() {
    static const NcLib loaded = [] {
        NcLib l;
        void *h = dlopen(RAZIVA_NETCDF_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!h) return l;
        bool all = true;
        auto load = [&](auto *fn, const char *name) {
            *fn = reinterpret_cast<std::remove_pointer_t<decltype(fn)>>(dlsym(h, name));
            all = all && *fn;
        };
#define X(f) load(&l.f, #f);
        NC_FUNCTIONS(X)
#undef X
        l.ok = all;
        return l;
    }();
    return loaded;
}

constexpr long DEBUG = 0xF0000000L;
constexpr long ERR = 64;
constexpr long MAX_POINTS = 64L * 1024 * 1024;  // largest grid accepted
constexpr long MAX_MESSAGES = 1L << 24;         // grids per file

enum Layout { PACKAGE = 0, MODEL = 1, CF = 2 };

// One data variable of the model or CF layout.
struct NcVar {
    int id = -1;
    std::string name;
    int code = 0;          // model layout parameter code (100 and more: converted)
    int var = 0;           // parameter number of the grids
    int ltype = 1;         // level type of single-level variables
    int level = 0;
    int mcode = 0;         // model code of the variable's grids
    int ndims = 0;
    int tpos = -1, zpos = -1, rpos = -1;  // positions of its time, level, rtime dims
    long nt = 1, nz = 1;
    long first = 0;        // number of its first grid
    std::vector<float> levels;  // level of each index (mb or m)
    int zltype = 100;      // level type of the level dimension
    std::string in_units;  // units of the values in the file
    std::string units;     // units handed out
    bool has_fill = false;
    double fill = 0;
    double scale = 1, offset = 0;
    int derive = 0;        // relative humidity made from this humidity (51, 17)
    int t_index = -1, p_index = -1;  // temperature and surface pressure variables
};

struct NcFile {
    bool scanned = false;
    Layout layout = PACKAGE;
    std::vector<NcVar> vars;
    Domain dom{};
    int grid_num = 0;
    bool flip = false;            // file rows run south to north
    long nx = 0, ny = 0;
    int xdim = -1, ydim = -1;
    std::vector<double> hours;    // forecast hour of each time index
    std::vector<int> centre, model;
};

std::map<int, NcFile> &files() {
    static std::map<int, NcFile> m;
    return m;
}

bool same(const std::string &a, const char *b) { return grd_same(a.c_str(), b); }

std::string text_att(int nc, int varid, const char *name) {
    std::size_t len = 0;
    nc_type t;
    if (lib().nc_inq_att(nc, varid, name, &t, &len) != NC_NOERR || len > 4096) return "";
    if (t == NC_STRING && len >= 1) {
        // netCDF-4 string attributes (the first string)
        std::vector<char *> all(len, nullptr);
        std::string s;
        if (lib().nc_get_att_string(nc, varid, name, all.data()) == NC_NOERR) {
            if (all[0]) s = all[0];
            lib().nc_free_string(len, all.data());
        }
        return s.size() > 4096 ? s.substr(0, 4096) : s;
    }
    if (t != NC_CHAR) return "";
    std::string s(len, '\0');
    if (len && lib().nc_get_att_text(nc, varid, name, s.data()) != NC_NOERR) return "";
    while (!s.empty() && (s.back() == '\0' || s.back() == ' ')) s.pop_back();
    return s;
}

bool num_att(int nc, int varid, const char *name, double &v) {
    std::size_t len = 0;
    nc_type t;
    if (lib().nc_inq_att(nc, varid, name, &t, &len) != NC_NOERR || len < 1 || t == NC_CHAR ||
        t == NC_STRING)
        return false;
    std::vector<double> all(len);
    if (lib().nc_get_att_double(nc, varid, name, all.data()) != NC_NOERR) return false;
    v = all[0];
    return true;
}

int dim_id(int nc, const char *name) {
    int id;
    return lib().nc_inq_dimid(nc, name, &id) == NC_NOERR ? id : -1;
}

int var_id(int nc, const char *name) {
    int id;
    return lib().nc_inq_varid(nc, name, &id) == NC_NOERR ? id : -1;
}

long dim_len(int nc, int dim) {
    std::size_t n = 0;
    if (dim < 0 || lib().nc_inq_dimlen(nc, dim, &n) != NC_NOERR) return 0;
    return static_cast<long>(n);
}

// A whole one-dimensional numeric variable (empty when it is not one).
std::vector<double> read_1d(int nc, int id) {
    std::vector<double> v;
    int nd = 0;
    nc_type t;
    if (id < 0 || lib().nc_inq_vartype(nc, id, &t) != NC_NOERR || t == NC_CHAR || t == NC_STRING ||
        lib().nc_inq_varndims(nc, id, &nd) != NC_NOERR || nd != 1)
        return v;
    int d;
    lib().nc_inq_vardimid(nc, id, &d);
    long n = dim_len(nc, d);
    if (n <= 0 || n > MAX_POINTS) return v;
    v.resize(static_cast<std::size_t>(n));
    if (lib().nc_get_var_double(nc, id, v.data()) != NC_NOERR) v.clear();
    return v;
}

double at(const std::vector<double> &v, long i, double dflt) {
    return i >= 0 && i < static_cast<long>(v.size()) ? v[static_cast<std::size_t>(i)] : dflt;
}

// A whole number read from the file (code, date field, hour): dflt when it
// is missing, no number or beyond a million, which no such number comes
// near; so nothing made from it later can overflow.
int whole(double v, int dflt) {
    return std::isfinite(v) && std::fabs(v) <= 1e6 ? static_cast<int>(std::lround(v)) : dflt;
}

// A longitude brought to 180 or below by whole turns (in one step: values
// from the file may be of any size).
double to_180(double lon) { return lon > 180 ? lon - 360 * std::ceil((lon - 180) / 360) : lon; }

// A level read from a coordinate variable (mb or m): missing when it is no
// number a level can be.
float level_value(double v) {
    return std::isfinite(v) && std::fabs(v) <= 1e6 ? static_cast<float>(v) : MISSING_F;
}

bool fail(const char *what, const char *name = "") {
    MESS_print(ERR, "GRD_read: netCDF %s%s%s\n", what, name[0] ? ": " : "", name);
    return false;
}

// ---------------------------------------------------------------------------
// Model layout: parameter codes by variable name and units

struct NameRule {
    const char *names;  // blank-separated, compared without regard to case
    int code;
};

bool name_in(const std::string &name, const char *list) {
    std::string l = list;
    std::size_t p = 0;
    while (p < l.size()) {
        std::size_t q = l.find(' ', p);
        if (q == std::string::npos) q = l.size();
        if (same(name, l.substr(p, q - p).c_str())) return true;
        p = q + 1;
    }
    return false;
}

bool units_begin(const std::string &u, const char *p) {
    return strnicmp(u.c_str(), p, std::strlen(p)) == 0;
}

// Parameter code of a model-layout variable, 0 when the name is not known.
int model_code(const std::string &name, const std::string &u) {
    if (name_in(name, "pressure Psl Ptrop Pmaxwind P"))
        return same(u, "pascals") || same(u, "Pa") ? 101 : 1;
    if (name_in(name, "gpt_hgt H Zsfc Ztrop Zwind Z"))
        return same(u, "geopotential meters") || same(u, "gp m") ? 102 : 2;
    if (name_in(name, "temp Ttrop T"))
        return same(u, "celsius") || same(u, "degC")           ? 4
               : units_begin(u, "kelvin") || same(u, "degK") ? 104
                                                              : 4;
    if (name_in(name, "rel_hum RH")) return 13;
    if (name_in(name, "lift_indx LI")) return 15;
    if (name_in(name, "u_wind Utrop Umaxwind Usfc U")) return 23;
    if (name_in(name, "v_wind Vtrop Vmaxwind Vsfc V")) return 24;
    if (name_in(name, "vert_vel omega"))
        return same(u, "pascals/second") || same(u, "Pa/second") || same(u, "Pa/s") ? 140 : 40;
    if (name_in(name, "precip")) return 50;
    if (name_in(name, "snow")) return 51;
    if (name_in(name, "sea_temp SST"))
        return same(u, "degC") || same(u, "celsius") ? 62 : same(u, "degK") ? 161 : 61;
    if (name_in(name, "wave_hgt")) return same(u, "meters") ? 164 : 64;
    if (name_in(name, "wave_per")) return 76;
    if (name_in(name, "wave_dir"))
        return units_begin(u, "degrees") && !units_begin(u, "10 degrees") ? 175 : 75;
    return 0;
}

// Parameter number and the units the values of a code are stored in.  Codes
// below 100 are the old (edition 0) numbers with that edition's units;
// codes of 100 and more name values in other units that are converted.
struct CodeUnits {
    int code, var;
    const char *units;
};
const CodeUnits code_units[] = {
    {1, 1, "hPa"},      {101, 1, "Pa"},      {2, 7, "10 m"},      {102, 7, "m"},
    {4, 11, "C"},       {104, 11, "K"},      {13, 52, "%"},       {15, 131, "C"},
    {23, 33, "m/s"},    {24, 34, "m/s"},     {40, 39, "mb/s"},    {140, 39, "Pa/s"},
    {50, 61, "mm"},     {51, 66, "cm"},      {61, 80, "0.5 C"},   {62, 80, "C"},
    {161, 80, "K"},     {64, 100, "0.5 m"},  {164, 100, "m"},     {75, 107, "10 deg"},
    {175, 107, "deg"},  {76, 108, "s"},
};

// Level type and level of a single-level variable.  The file's model code
// marks tropopause (last digit 1) and maximum-wind (2) files; otherwise the
// name decides: tropopause and maximum-wind fields, sea level pressure, the
// 10 m wind components, 2 m temperature and humidity, and surface fields
// (pressure, height, precipitation ...) for the rest, as model output
// usually carries them.
void single_level(const std::string &name, int mcode, NcVar &v) {
    v.level = 0;
    std::string low = name;
    for (char &c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (mcode % 10 == 1 || low.find("trop") != std::string::npos) {
        v.ltype = 7;
    } else if (mcode % 10 == 2 || low.find("maxwind") != std::string::npos || low == "zwind") {
        v.ltype = 6;
    } else if (low == "psl") {
        v.ltype = 102;
    } else if (low == "usfc" || low == "vsfc") {
        v.ltype = 105;
        v.level = 10;
    } else if (v.var == 11 || v.var == 52) {
        v.ltype = 105;
        v.level = 2;
    } else {
        v.ltype = 1;
    }
}

// ---------------------------------------------------------------------------
// CF layout: parameters by standard_name, units by the unit table

// CF unit strings in the unit table's spelling.
std::string cf_units(std::string u) {
    std::string out;
    for (std::size_t i = 0; i < u.size(); ++i) {
        if (u.compare(i, 2, "**") == 0) {
            out += '^';
            ++i;
        } else {
            out += u[i];
        }
    }
    static const std::pair<const char *, const char *> alias[] = {
        {"m s-1", "m/s"},         {"m s^-1", "m/s"},     {"m/s", "m/s"},
        {"meter second-1", "m/s"}, {"m.s-1", "m/s"},      {"m2 s-2", "m^2/s^2"},
        {"m^2 s^-2", "m^2/s^2"},  {"m2/s2", "m^2/s^2"},  {"kg kg-1", "kg/kg"},
        {"kg kg^-1", "kg/kg"},    {"kg/kg", "kg/kg"},    {"degK", "K"},
        {"kelvin", "K"},          {"degC", "C"},         {"celsius", "C"},
        {"degrees_celsius", "C"}, {"mbar", "hPa"},       {"millibar", "hPa"},
        {"millibars", "hPa"},     {"hectopascal", "hPa"}, {"hectopascals", "hPa"},
        {"pascal", "Pa"},         {"pascals", "Pa"},
        {"mb", "hPa"},            {"hPa", "hPa"},        {"gpm", "m"},
        {"meter", "m"},           {"metre", "m"},        {"meters", "m"},
        {"percent", "%"},         {"Pa s-1", "Pa/s"},    {"Pa s^-1", "Pa/s"},
        {"dam", "10 m"},
    };
    for (const auto &a : alias)
        if (same(out, a.first)) return a.second;
    return out;
}

struct CfRule {
    const char *standard_name;
    int var;
    int ltype, level;  // without a level dimension
};
const CfRule cf_rules[] = {
    {"geopotential_height", 7, 1, 0},
    {"geopotential", 7, 1, 0},
    {"surface_altitude", 7, 1, 0},
    {"air_temperature", 11, 105, 2},
    {"relative_humidity", 52, 105, 2},
    {"specific_humidity", 51, 105, 2},
    {"dew_point_temperature", 17, 105, 2},
    {"eastward_wind", 33, 105, 10},
    {"northward_wind", 34, 105, 10},
    {"surface_air_pressure", 1, 1, 0},
    {"air_pressure_at_mean_sea_level", 2, 102, 0},
    {"air_pressure_at_sea_level", 2, 102, 0},
    {"lagrangian_tendency_of_air_pressure", 39, 1, 0},
};

struct CfName {
    const char *names;
    CfRule rule;
};
const CfName cf_names[] = {
    {"t2m 2t", {"", 11, 105, 2}},   {"d2m 2d", {"", 17, 105, 2}},
    {"r2 2r", {"", 52, 105, 2}},    {"u10 10u", {"", 33, 105, 10}},
    {"v10 10v", {"", 34, 105, 10}}, {"sp", {"", 1, 1, 0}},
    {"msl prmsl", {"", 2, 102, 0}},
};

// Seconds per unit of a CF time unit word.
double time_unit(const std::string &w) {
    if (units_begin(w, "sec") || same(w, "s")) return 1;
    if (units_begin(w, "min")) return 60;
    if (units_begin(w, "hour") || same(w, "h") || same(w, "hr")) return 3600;
    if (units_begin(w, "day") || same(w, "d")) return 86400;
    return 0;
}

// "hours since 2004-12-8 12:00:00": seconds per unit and the origin.
bool cf_time_units(const std::string &u, double &per, Date &origin) {
    char word[32] = "";
    int y = 0, mo = 1, d = 1, h = 0, mi = 0;
    double s = 0;
    int n = std::sscanf(u.c_str(), "%31s since %d-%d-%d%*[ T]%d:%d:%lf", word, &y, &mo, &d, &h,
                        &mi, &s);
    if (n < 4) return false;
    per = time_unit(word);
    if (per == 0 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 24) return false;
    DATE_init(&origin);
    origin.year = y;
    origin.month = mo;
    origin.day = d;
    origin.hour = h;
    origin.min = mi;
    origin.sec = static_cast<int>(s);
    DATE_monday_julian(y, mo, d, &origin.jday);
    return true;
}

void date_from_seconds(long secs, Date &d) {
    DATE_get_gmdate(&secs, &d);
}

// ---------------------------------------------------------------------------
// Grid geometry of the model and CF layouts

// A latitude/longitude grid from its coordinate variables.
bool latlon_domain(const std::vector<double> &lat, const std::vector<double> &lon, NcFile &nf) {
    if (lat.size() < 2 || lon.size() < 2) return false;
    Domain &d = nf.dom;
    DOM_init(&d);
    d.proj = 2;
    d.nx = static_cast<int>(lon.size());
    d.ny = static_cast<int>(lat.size());
    double w = lon.front(), e = lon.back();
    if (e < w) e += 360;
    d.dx = static_cast<float>((e - w) / (lon.size() - 1));
    d.dy = static_cast<float>(std::fabs(lat.back() - lat.front()) / (lat.size() - 1));
    double clon = w + (e - w) / 2;
    clon = to_180(clon);
    d.clon = static_cast<float>(clon);
    d.clat = static_cast<float>((lat.front() + lat.back()) / 2);
    d.plon = d.clon;
    nf.flip = lat.front() < lat.back();
    return d.dx > 0 && d.dy > 0;
}

// A Lambert conformal grid of the CF grid_mapping "lambert_conformal_conic"
// with projection x/y coordinates in metres.
bool lambert_domain(int nc, int map, const std::vector<double> &x, const std::vector<double> &y,
                    NcFile &nf) {
    if (x.size() < 2 || y.size() < 2) return false;
    std::vector<double> par(2, MISSING);
    std::size_t len = 0;
    nc_type t;
    if (lib().nc_inq_att(nc, map, "standard_parallel", &t, &len) != NC_NOERR || len < 1 || len > 2)
        return false;
    lib().nc_get_att_double(nc, map, "standard_parallel", par.data());
    if (len == 1) par[1] = par[0];
    double lon0 = 0, lat0 = par[0], fe = 0, fn = 0, radius = 6371229;
    if (!num_att(nc, map, "longitude_of_central_meridian", lon0)) return false;
    num_att(nc, map, "latitude_of_projection_origin", lat0);
    num_att(nc, map, "false_easting", fe);
    num_att(nc, map, "false_northing", fn);
    num_att(nc, map, "earth_radius", radius);
    if (radius < 1e6 || radius > 1e7) return false;
    lon0 = to_180(lon0);
    // plane units are 100 km on the program's earth
    const double k = 6371220.0 / radius / 100000.0;
    Domain &d = nf.dom;
    DOM_init(&d);
    d.proj = 4;
    d.plat = par[0] < 0 ? -90.0f : 90.0f;
    d.plon = static_cast<float>(lon0);
    d.param[0] = static_cast<float>(par[0]);
    d.param[1] = static_cast<float>(par[1]);
    d.param[2] = 1;
    d.nx = static_cast<int>(x.size());
    d.ny = static_cast<int>(y.size());
    d.dx = static_cast<float>(std::fabs(x.back() - x.front()) / (x.size() - 1) * k);
    d.dy = static_cast<float>(std::fabs(y.back() - y.front()) / (y.size() - 1) * k);
    d.clat = static_cast<float>(lat0);
    d.clon = static_cast<float>(lon0);
    Domain saved;
    MAP_get_domain(&saved);
    MAP_domain(&d);
    float xo, yo, clat, clon;
    double xm, ym;
    double lat1, lon1;
    if (num_att(nc, map, "latitudeOfFirstGridPointInDegrees", lat1) &&
        num_att(nc, map, "longitudeOfFirstGridPointInDegrees", lon1)) {
        // cut-out grids carry their first point (x and y then count from it)
        lon1 = to_180(lon1);
        MAP_tran(static_cast<float>(lat1), static_cast<float>(lon1), &xo, &yo);
        xm = (x.back() - x.front()) / 2;
        ym = (y.back() - y.front()) / 2;
    } else {
        MAP_tran(static_cast<float>(lat0), static_cast<float>(lon0), &xo, &yo);
        xm = (x.front() + x.back()) / 2 - fe;
        ym = (y.front() + y.back()) / 2 - fn;
    }
    MAP_untran(static_cast<float>(xo + xm * k), static_cast<float>(yo + ym * k), &clat, &clon);
    MAP_domain(&saved);
    d.clat = clat;
    d.clon = clon;
    nf.flip = y.front() < y.back();
    return d.dx > 0 && d.dy > 0 && clat != MISSING_F;
}

// The grid of a model-layout file.  A global attribute "domain" holding a
// domain text (as in "ZUPGRID4" headers, rows from south to north) is an
// addition of this program for grids cut out of projected model grids;
// otherwise lat/lon coordinate variables give a latitude-longitude grid, and
// x/y dimensions of the size of a catalogued grid (211, 50, 11) that grid.
bool model_domain(int nc, NcFile &nf) {
    std::string text = text_att(nc, NC_GLOBAL, "domain");
    if (!text.empty()) {
        long flag5 = FLAG_get(5);
        int r = DOM_decode(text.c_str(), &nf.dom);
        FLAG_set(5, flag5);
        nf.flip = true;
        return r >= 1 && nf.dom.proj >= 0 && nf.dom.nx == nf.nx && nf.dom.ny == nf.ny;
    }
    if (latlon_domain(read_1d(nc, var_id(nc, "lat")), read_1d(nc, var_id(nc, "lon")), nf) &&
        nf.dom.nx == nf.nx && nf.dom.ny == nf.ny)
        return true;
    for (int g : {211, 50, 11}) {
        Domain d;
        DOM_init(&d);
        if (GRIB_set_domain(g, &d) > 0 && d.proj >= 0 && d.nx == nf.nx && d.ny == nf.ny) {
            nf.dom = d;
            nf.grid_num = g;
            nf.flip = true;
            return true;
        }
    }
    return false;
}

// Fill value, packing and units of a data variable.
void value_attributes(int nc, NcVar &v) {
    double f;
    if (num_att(nc, v.id, "_FillValue", f) || num_att(nc, v.id, "missing_value", f)) {
        v.has_fill = true;
        v.fill = f;
    }
    num_att(nc, v.id, "scale_factor", v.scale);
    num_att(nc, v.id, "add_offset", v.offset);
}

bool valid_var(int nc, int id) {
    nc_type t;
    return lib().nc_inq_vartype(nc, id, &t) == NC_NOERR && t != NC_CHAR && t != NC_STRING &&
           t < NC_VLEN;
}

// ---------------------------------------------------------------------------
// Scanning a file

// Dimensions of a data variable against the file's x, y, time and level
// dimensions; false when it is no grid of the file.
bool place_dims(int nc, NcVar &v, const NcFile &nf, int tdim, int rdim,
                const std::vector<int> &zdims) {
    int dims[NC_MAX_VAR_DIMS];
    if (lib().nc_inq_varndims(nc, v.id, &v.ndims) != NC_NOERR || v.ndims < 2 ||
        v.ndims > NC_MAX_VAR_DIMS)
        return false;
    lib().nc_inq_vardimid(nc, v.id, dims);
    if (dims[v.ndims - 1] != nf.xdim || dims[v.ndims - 2] != nf.ydim) return false;
    for (int i = 0; i < v.ndims - 2; ++i) {
        long n = dim_len(nc, dims[i]);
        if (dims[i] == tdim) {
            v.tpos = i;
            v.nt = n;
        } else if (dims[i] == rdim) {
            v.rpos = i;
        } else if (v.zpos < 0 && std::find(zdims.begin(), zdims.end(), dims[i]) != zdims.end()) {
            v.zpos = i;
            v.nz = n;
        } else if (n != 1) {
            return false;  // a dimension this reader cannot place
        }
    }
    return v.nt > 0 && v.nz > 0;
}

bool scan_model(int nc, GRD_file *f, NcFile &nf) {
    int rdim = dim_id(nc, "rtime");
    int tdim = dim_id(nc, "frtime");
    const char *tvar = "frtime";
    if (tdim < 0) {
        tdim = dim_id(nc, "anltime");
        tvar = "anlhour";
    }
    int zdim = dim_id(nc, "level");
    const char *zvar = "level";
    if (zdim < 0) {
        zdim = dim_id(nc, "plevl");
        zvar = "plevl";
    }
    f->t_dim = tdim;
    f->z_dim = zdim;
    f->t_size = tdim >= 0 ? dim_len(nc, tdim) : 1;
    f->z_size = zdim >= 0 ? dim_len(nc, zdim) : 1;
    nf.hours = read_1d(nc, var_id(nc, tvar));
    std::vector<double> lev = read_1d(nc, var_id(nc, zvar));
    std::vector<double> centre = read_1d(nc, var_id(nc, "grib_center"));
    std::vector<double> model = read_1d(nc, var_id(nc, "grib_model"));
    for (double c : centre) nf.centre.push_back(whole(c, 7));
    for (double m : model) nf.model.push_back(whole(m, 0));
    // model code from the title
    std::string title = text_att(nc, NC_GLOBAL, "title");
    int mcode = 0;
    if (title.rfind("NMC Early", 0) == 0) mcode = 10;
    else if (title.rfind("NMC Exten", 0) == 0) mcode = 20;
    else if (title.rfind("ECMWF:", 0) == 0) mcode = 30;
    else if (title.rfind("NMC Globa", 0) == 0) mcode = 40;
    if (title.find("Trop") != std::string::npos) mcode += 1;
    if (title.find("Maximum") != std::string::npos) mcode += 2;
    if (title.find("72 hours") != std::string::npos) mcode += 3;
    if (rdim < 0) mcode += 100;
    f->itype = mcode;
    const char *gv = std::getenv("GRIDVAR");
    copy_field(f->var_nm, gv ? gv : "");
    if (!model_domain(nc, nf)) return fail("grid geometry not recognised");
    int nvars = 0;
    lib().nc_inq_nvars(nc, &nvars);
    long total = 0;
    for (int id = 0; id < nvars; ++id) {
        char name[NC_MAX_NAME + 1] = "";
        lib().nc_inq_varname(nc, id, name);
        NcVar v;
        v.id = id;
        v.name = name;
        v.in_units = text_att(nc, id, "units");
        v.code = model_code(v.name, v.in_units);
        bool extra = f->var_nm[0] && same(v.name, f->var_nm);
        MESS_print(DEBUG, "VAR: %d %s\n", id, name);
        if ((v.code == 0 && !extra) || !valid_var(nc, id)) continue;
        if (!place_dims(nc, v, nf, tdim, rdim, {zdim})) continue;
        if (static_cast<int>(nf.vars.size()) >= GRD_MAX_VARS) {
            MESS_print(ERR, "GRD_read: netCDF: more than %d data variables, %s left out\n",
                       GRD_MAX_VARS, name);
            continue;
        }
        v.var = 0;
        v.units = v.in_units;
        if (extra) v.code = 0;
        for (const CodeUnits &c : code_units)
            if (c.code == v.code) {
                v.var = c.var;
                v.in_units = c.units;
                v.units = grd_var_units(c.var);
            }
        v.mcode = mcode;
        std::string low = v.name;
        for (char &c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (low.find("trop") != std::string::npos) v.mcode = mcode - mcode % 100 + 41;
        if (low.find("maxwind") != std::string::npos) v.mcode = mcode - mcode % 100 + 42;
        if (v.zpos >= 0) {
            v.zltype = 100;
            for (long k = 0; k < v.nz; ++k)
                v.levels.push_back(level_value(at(lev, k, MISSING)));
        } else {
            single_level(v.name, v.mcode, v);
        }
        value_attributes(nc, v);
        v.first = total;
        total += v.nt * v.nz;
        if (total > MAX_MESSAGES) return fail("too many grids");
        f->var[f->var_num] = v.code;
        f->values_id[f->var_num] = id;
        ++f->var_num;
        nf.vars.push_back(v);
    }
    f->max_num = total;
    if (nf.vars.empty()) return fail("file has no usable variables");
    return true;
}

bool is_pressure_axis(int nc, int dim, int &ltype, std::vector<float> &lev) {
    char name[NC_MAX_NAME + 1] = "";
    lib().nc_inq_dimname(nc, dim, name);
    int id = var_id(nc, name);
    std::vector<double> c = read_1d(nc, id);
    std::string sn = id >= 0 ? text_att(nc, id, "standard_name") : "";
    std::string u = id >= 0 ? cf_units(text_att(nc, id, "units")) : "";
    bool pname = same(name, "plev") || strnicmp(name, "isobaric", 8) == 0 ||
                 same(name, "level") || same(name, "lev") || same(name, "pressure") ||
                 same(name, "pressure_level");
    bool hname = strnicmp(name, "height", 6) == 0 || same(sn, "height");
    if (c.empty()) return false;
    lev.clear();
    if (same(sn, "air_pressure") || (pname && (same(u, "Pa") || same(u, "hPa") || u.empty()))) {
        // pressure levels in Pa when the units say so (or the values show it)
        bool pa = same(u, "Pa") || (u.empty() && c.front() > 2000);
        ltype = 100;
        for (double v : c) lev.push_back(level_value(pa ? v / 100 : v));
        return true;
    }
    if (hname && (same(u, "m") || u.empty())) {
        ltype = 105;
        for (double v : c) lev.push_back(level_value(v));
        return true;
    }
    return false;
}

// CF-convention files (read only when neither layout of the package
// matches): the dimensions time (or valid_time), a pressure axis (plev,
// isobaric*, level, lev, pressure, pressure_level, or any axis whose
// standard_name is air_pressure), height axes of one level for the 2 m and
// 10 m fields, lat/latitude and lon/longitude or projection x/y with a
// lambert_conformal_conic grid mapping.  Variables are taken by their
// standard_name (cf_rules, and cf_names for surface fields without one),
// their values converted from their units to the program's through the unit
// table, fill and missing values made -9999, packing undone.  Relative
// humidity missing from a file is made from specific humidity or dew point.
// The reference time is a forecast_reference_time (or reftime) variable,
// else the origin of the time units when the times are within 1000 hours of
// it, else the first time of the file; forecast hours count from it.
bool scan_cf(int nc, GRD_file *f, NcFile &nf) {
    int tdim = dim_id(nc, "time");
    const char *tname = "time";
    if (tdim < 0) {
        tdim = dim_id(nc, "valid_time");
        tname = "valid_time";
    }
    f->t_dim = tdim;
    f->t_size = tdim >= 0 ? dim_len(nc, tdim) : 1;
    // projection from the first data variable's grid_mapping, else lat/lon
    int latv = nf.xdim >= 0 ? var_id(nc, "lat") : -1;
    std::vector<double> x, y;
    {
        char xn[NC_MAX_NAME + 1] = "", yn[NC_MAX_NAME + 1] = "";
        lib().nc_inq_dimname(nc, nf.xdim, xn);
        lib().nc_inq_dimname(nc, nf.ydim, yn);
        x = read_1d(nc, var_id(nc, xn));
        y = read_1d(nc, var_id(nc, yn));
        latv = var_id(nc, yn);
    }
    (void)latv;
    bool placed = false;
    int nvars = 0;
    lib().nc_inq_nvars(nc, &nvars);
    for (int id = 0; id < nvars && !placed; ++id) {
        std::string gm = text_att(nc, id, "grid_mapping");
        if (gm.empty()) continue;
        int map = var_id(nc, gm.c_str());
        if (map < 0) break;
        std::string kind = text_att(nc, map, "grid_mapping_name");
        if (same(kind, "lambert_conformal_conic")) {
            placed = lambert_domain(nc, map, x, y, nf);
        } else if (!same(kind, "latitude_longitude")) {
            return fail("grid mapping not supported", kind.c_str());
        }
        break;
    }
    if (!placed && !latlon_domain(y, x, nf)) return fail("grid geometry not recognised");
    // times: the reference time is a forecast_reference_time variable, else
    // the origin of the time units when the times look like forecast hours
    // from it (below 1000 hours), else the first time of the file
    int tv = tdim >= 0 ? var_id(nc, tname) : -1;
    std::vector<double> tval = read_1d(nc, tv);
    double per = 3600;
    Date origin;
    DATE_init(&origin);
    bool have_units = tv >= 0 && cf_time_units(text_att(nc, tv, "units"), per, origin);
    long osec = have_units ? DATE_num_sec(&origin) : 0;
    long ref = osec;
    int rv = var_id(nc, "forecast_reference_time");
    if (rv < 0) rv = var_id(nc, "reftime");
    double rval;
    Date rorigin;
    double rper;
    if (rv >= 0 && cf_time_units(text_att(nc, rv, "units"), rper, rorigin) &&
        lib().nc_get_var1_double(nc, rv, std::vector<std::size_t>(4, 0).data(), &rval) == NC_NOERR) {
        ref = DATE_num_sec(&rorigin) + static_cast<long>(std::llround(rval * rper));
    } else if (!tval.empty() && (tval.back() * per / 3600 >= 1000 || tval.front() < 0)) {
        ref = osec + static_cast<long>(std::llround(tval.front() * per));
    }
    if (have_units) {
        date_from_seconds(ref, f->date);
        for (double t : tval)
            nf.hours.push_back(std::round((osec + t * per - ref) / 3600.0));
    }
    long total = 0;
    for (int id = 0; id < nvars; ++id) {
        char name[NC_MAX_NAME + 1] = "";
        lib().nc_inq_varname(nc, id, name);
        MESS_print(DEBUG, "VAR: %d %s\n", id, name);
        std::string sn = text_att(nc, id, "standard_name");
        const CfRule *rule = nullptr;
        for (const CfRule &r : cf_rules)
            if (same(sn, r.standard_name)) rule = &r;
        // surface fields often come without a standard_name: their usual
        // short names stand in for it
        for (const CfName &c : cf_names)
            if (sn.empty() && name_in(name, c.names)) rule = &c.rule;
        if (!rule || !valid_var(nc, id)) continue;
        NcVar v;
        v.id = id;
        v.name = name;
        v.var = rule->var;
        v.ltype = rule->ltype;
        v.level = rule->level;
        // level dimension: any pressure or height axis among its dimensions
        int dims[NC_MAX_VAR_DIMS];
        int nd = 0;
        lib().nc_inq_varndims(nc, id, &nd);
        if (nd < 2 || nd > NC_MAX_VAR_DIMS) continue;
        lib().nc_inq_vardimid(nc, id, dims);
        std::vector<int> zdims;
        for (int i = 0; i < nd - 2; ++i) {
            int lt;
            std::vector<float> lev;
            if (dims[i] != tdim && is_pressure_axis(nc, dims[i], lt, lev)) {
                zdims.push_back(dims[i]);
                v.zltype = lt;
                v.levels = lev;
                break;
            }
        }
        if (!place_dims(nc, v, nf, tdim, -1, zdims)) continue;
        if (v.zpos >= 0 && v.nz == 1 && v.zltype == 105) {
            // a single height above ground: the 2 m and 10 m fields
            v.ltype = 105;
            v.level = static_cast<int>(std::lround(v.levels[0]));
            v.zpos = -1;
        }
        if (v.zpos < 0 && v.var == 7 && v.ltype == 1 && same(sn, "geopotential_height"))
            continue;  // a height field without levels is no surface height
        v.in_units = cf_units(text_att(nc, id, "units"));
        if (v.var == 52 && (v.in_units.empty() || v.in_units == "1")) v.in_units = "0.01 %";
        v.units = grd_var_units(v.var);
        if (v.in_units.empty()) v.in_units = v.units;
        value_attributes(nc, v);
        if (static_cast<int>(nf.vars.size()) >= GRD_MAX_VARS) {
            MESS_print(ERR, "GRD_read: netCDF: more than %d data variables, %s left out\n",
                       GRD_MAX_VARS, name);
            continue;
        }
        v.first = total;
        total += v.nt * v.nz;
        if (total > MAX_MESSAGES) return fail("too many grids");
        f->var[f->var_num] = v.var;
        f->values_id[f->var_num] = id;
        ++f->var_num;
        nf.vars.push_back(v);
    }
    // relative humidity is what the program works with: where a file has
    // only specific humidity or dew point, relative humidity is made from it
    // and the temperature (and the surface pressure for the 2 m field)
    const std::size_t found = nf.vars.size();
    for (std::size_t k = 0; k < found; ++k) {
        const NcVar &h = nf.vars[k];
        if (h.var != 51 && h.var != 17) continue;
        auto same_levels = [&](const NcVar &o) {
            return (o.zpos >= 0) == (h.zpos >= 0) && o.nz == h.nz && o.nt == h.nt &&
                   (h.zpos >= 0 ? o.levels == h.levels && o.zltype == h.zltype
                                : o.ltype == h.ltype && o.level == h.level);
        };
        bool have_rh = false;
        int t = -1, p = -1;
        for (std::size_t o = 0; o < found; ++o) {
            const NcVar &c = nf.vars[o];
            if (c.var == 52 && same_levels(c)) have_rh = true;
            if (c.var == 11 && same_levels(c)) t = static_cast<int>(o);
            if (c.var == 1 && c.ltype == 1 && c.zpos < 0 && c.nt == h.nt) p = static_cast<int>(o);
        }
        if (have_rh || t < 0 || (h.var == 51 && h.zpos < 0 && p < 0) || (h.zpos >= 0 && h.zltype != 100) ||
            static_cast<int>(nf.vars.size()) >= GRD_MAX_VARS)
            continue;
        NcVar d = h;
        d.derive = h.var;
        d.var = 52;
        d.t_index = t;
        d.p_index = h.var == 51 && h.zpos < 0 ? p : -1;
        d.first = total;
        total += d.nt * d.nz;
        f->var[f->var_num] = 52;
        f->values_id[f->var_num] = d.id;
        ++f->var_num;
        nf.vars.push_back(d);
    }
    f->max_num = total;
    if (nf.vars.empty()) return fail("file has no usable variables");
    return true;
}

// The x and y dimensions of a model or CF file.
bool find_xy(int nc, GRD_file *f, NcFile &nf, bool cf) {
    const char *xs[] = {"lon", "x", "longitude", "rlon", nullptr};
    const char *ys[] = {"lat", "y", "latitude", "rlat", nullptr};
    for (int i = 0; xs[i] && nf.xdim < 0; ++i) {
        if (!cf && i >= 2) break;
        nf.xdim = dim_id(nc, xs[i]);
    }
    for (int i = 0; ys[i] && nf.ydim < 0; ++i) {
        if (!cf && i >= 2) break;
        nf.ydim = dim_id(nc, ys[i]);
    }
    if (nf.xdim < 0 || nf.ydim < 0) return fail("no x (lon) and y (lat) dimensions");
    nf.nx = dim_len(nc, nf.xdim);
    nf.ny = dim_len(nc, nf.ydim);
    f->x_dim = nf.xdim;
    f->y_dim = nf.ydim;
    f->x_size = nf.nx;
    f->y_size = nf.ny;
    if (nf.nx <= 0 || nf.ny <= 0 || nf.nx * nf.ny > MAX_POINTS)
        return fail("grid size out of range");
    return true;
}

// Reference date of a model-layout file.
void model_date(int nc, GRD_file *f) {
    std::vector<double> y = read_1d(nc, var_id(nc, "year"));
    std::vector<double> m = read_1d(nc, var_id(nc, "month"));
    std::vector<double> d = read_1d(nc, var_id(nc, "day"));
    std::vector<double> h = read_1d(nc, var_id(nc, "hour"));
    DATE_init(&f->date);
    if (!y.empty() && !m.empty() && !d.empty()) {
        int yr = whole(y[0], 0);
        if (yr < 100) yr += yr < 50 ? 2000 : 1900;
        f->date.year = yr;
        f->date.month = whole(m[0], 1);
        f->date.day = whole(d[0], 1);
        f->date.hour = h.empty() ? 0 : whole(h[0], 0);
        f->date.min = 0;
        DATE_monday_julian(f->date.year, f->date.month, f->date.day, &f->date.jday);
        return;
    }
    int id = var_id(nc, "reftime");
    nc_type t;
    int nd = 0;
    if (id >= 0 && lib().nc_inq_vartype(nc, id, &t) == NC_NOERR && t == NC_CHAR &&
        lib().nc_inq_varndims(nc, id, &nd) == NC_NOERR && nd >= 1 && nd <= 2) {
        int dims[2];
        lib().nc_inq_vardimid(nc, id, dims);
        long len = dim_len(nc, dims[nd - 1]);
        if (len > 0 && len < 200) {
            std::vector<char> text(static_cast<std::size_t>(len) + 1, '\0');
            std::size_t start[2] = {0, 0}, count[2] = {1, 1};
            count[nd - 1] = static_cast<std::size_t>(len);
            if (lib().nc_get_vara_text(nc, id, start, count, text.data()) == NC_NOERR)
                DATE_decode_label(text.data(), &f->date);
        }
    }
}

// Package layout: the header variables' ids.
void package_ids(int nc, GRD_file *f) {
    struct {
        int *id;
        const char *name;
    } ids[] = {{&f->x_coord_id, "x_coord"}, {&f->y_coord_id, "y_coord"}, {&f->proj_id, "proj"},
               {&f->lat1_id, "lat1"},       {&f->lat2_id, "lat2"},       {&f->lon1_id, "lon1"},
               {&f->lon2_id, "lon2"},       {&f->datim_id, "datim"},     {&f->info_id, "info"},
               {&f->source_id, "source"},   {&f->version_id, "version"}, {&f->model_id, "model"},
               {&f->type_id, "type"},       {&f->ltype_id, "ltype"},     {&f->level_id, "level"},
               {&f->time_id, "time"},       {&f->var_id, "var"},         {&f->dx_id, "dx"},
               {&f->dy_id, "dy"},           {&f->nx_id, "nx"},           {&f->ny_id, "ny"}};
    for (auto &e : ids) *e.id = var_id(nc, e.name);
    f->values_id[0] = var_id(nc, "values");
}

bool scan_package(int nc, GRD_file *f) {
    int g = dim_id(nc, "grid");
    f->max_num = dim_len(nc, g);
    f->x_dim = dim_id(nc, "x");
    f->y_dim = dim_id(nc, "y");
    f->x_size = dim_len(nc, f->x_dim);
    f->y_size = dim_len(nc, f->y_dim);
    package_ids(nc, f);
    if (f->values_id[0] < 0) return fail("file has no variable", "values");
    if (!valid_var(nc, f->values_id[0])) return fail("wrong type of variable", "values");
    f->var_num = 1;
    double y = MISSING, m = MISSING, d = MISSING, h = MISSING;
    DATE_init(&f->date);
    if (num_att(nc, NC_GLOBAL, "year", y) && num_att(nc, NC_GLOBAL, "month", m) &&
        num_att(nc, NC_GLOBAL, "day", d)) {
        num_att(nc, NC_GLOBAL, "hour", h);
        // years are stored with 1900 added; a plain year is taken as it is
        int yr = whole(y, 0);
        if (yr >= 3800) yr -= 1900;
        f->date.year = yr;
        f->date.month = whole(m, 1);
        f->date.day = whole(d, 1);
        f->date.hour = h == MISSING ? 0 : whole(h, 0);
        f->date.min = 0;
        DATE_monday_julian(f->date.year, f->date.month, f->date.day, &f->date.jday);
    }
    return true;
}

// Value of a header variable at record r (MISSING when absent).
double header_value(int nc, int id, long r) {
    if (id < 0) return MISSING;
    int nd = 0;
    lib().nc_inq_varndims(nc, id, &nd);
    if (nd != 1 || !valid_var(nc, id)) return MISSING;
    std::size_t i = static_cast<std::size_t>(r);
    double v;
    if (lib().nc_get_var1_double(nc, id, &i, &v) != NC_NOERR || !std::isfinite(v)) return MISSING;
    // an unwritten entry holds the fill value
    double fill;
    nc_type t;
    lib().nc_inq_vartype(nc, id, &t);
    if (!num_att(nc, id, "_FillValue", fill))
        fill = t == NC_SHORT ? NC_FILL_SHORT
               : t == NC_INT ? NC_FILL_INT
               : t == NC_BYTE ? NC_FILL_BYTE
               : t == NC_FLOAT ? NC_FILL_FLOAT
                               : NC_FILL_DOUBLE;
    return v == fill || (t == NC_FLOAT && static_cast<float>(v) == static_cast<float>(fill))
               ? MISSING
               : v;
}

std::string header_text(int nc, int id, long r) {
    nc_type t;
    int nd = 0;
    if (id < 0 || lib().nc_inq_vartype(nc, id, &t) != NC_NOERR || t != NC_CHAR ||
        lib().nc_inq_varndims(nc, id, &nd) != NC_NOERR || nd != 2)
        return "";
    int dims[2];
    lib().nc_inq_vardimid(nc, id, dims);
    long len = dim_len(nc, dims[1]);
    if (len <= 0 || len > 1024) return "";
    std::vector<char> s(static_cast<std::size_t>(len) + 1, '\0');
    std::size_t start[2] = {static_cast<std::size_t>(r), 0};
    std::size_t count[2] = {1, static_cast<std::size_t>(len)};
    if (lib().nc_get_vara_text(nc, id, start, count, s.data()) != NC_NOERR) return "";
    std::string out(s.data());
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

int read_package(GRD_file *f, const NcFile &nf, GRD_report *rec, int mode, long r) {
    const int nc = f->fd;
    auto hv = [&](int id) { return header_value(nc, id, r); };
    auto iv = [&](int id, int dflt) {
        double v = hv(id);
        return v == MISSING ? dflt : whole(v, dflt);
    };
    GRD_free(rec);
    GRD_init(rec);
    rec->date = f->date;
    rec->source = iv(f->source_id, 1);
    rec->version = iv(f->version_id, 0);
    rec->model = iv(f->model_id, 1);
    rec->type = iv(f->type_id, 0);
    rec->ltype = iv(f->ltype_id, 0);
    rec->level = iv(f->level_id, 0);
    rec->time = iv(f->time_id, 0);
    rec->var = iv(f->var_id, 0);
    Domain &d = rec->domain;
    DOM_init(&d);
    d.proj = iv(f->proj_id, MISSING);
    d.clat = static_cast<float>(hv(f->lat1_id));
    d.plat = static_cast<float>(hv(f->lat2_id));
    d.clon = static_cast<float>(hv(f->lon1_id));
    d.plon = static_cast<float>(hv(f->lon2_id));
    d.dx = static_cast<float>(hv(f->dx_id));
    d.dy = static_cast<float>(hv(f->dy_id));
    d.nx = iv(f->nx_id, static_cast<int>(f->x_size));
    d.ny = iv(f->ny_id, static_cast<int>(f->y_size));
    if (d.proj == MISSING) d.proj = rec->model > 9 ? 2 : 1;
    if (nf.grid_num == 1) {
        // grid type 1: the coordinate variables give a latitude-longitude grid
        NcFile coords;
        if (latlon_domain(read_1d(nc, f->y_coord_id), read_1d(nc, f->x_coord_id), coords))
            d = coords.dom;
    }
    copy_field(rec->datim, header_text(nc, f->datim_id, r).c_str());
    copy_field(rec->info, header_text(nc, f->info_id, r).c_str());
    std::string units = text_att(nc, f->values_id[0], "units");
    copy_field(rec->units, units.c_str());
    if (rec->info[0] == '\0') {
        std::string ln = text_att(nc, f->values_id[0], "long_name");
        if (ln.empty()) {
            VAR_make_datatype(rec->time, rec->ltype, rec->level, rec->var, rec->units,
                              rec->info, sizeof(rec->info));
        } else {
            char level[70] = "";
            VAR_make_datalevel(rec->time, rec->ltype, rec->level, level, sizeof(level));
            std::string text = std::string(level) + (level[0] ? " " : "") + ln;
            if (!units.empty()) text += " (" + units + ")";
            copy_field(rec->info, text.c_str());
        }
    }
    if (d.nx <= 0 || d.ny <= 0 || static_cast<long>(d.nx) * d.ny > f->x_size * f->y_size) {
        fail("grid size does not fit the x and y dimensions");
        return -1;
    }
    if (mode != 0) return 0;
    long n = static_cast<long>(d.nx) * d.ny;
    std::vector<float> buf(static_cast<std::size_t>(f->x_size * f->y_size));
    int nd = 0;
    lib().nc_inq_varndims(nc, f->values_id[0], &nd);
    std::vector<std::size_t> start(static_cast<std::size_t>(nd), 0), count(start.size(), 1);
    if (nd < 2 || nd > 3) {
        fail("wrong dimensions of variable", "values");
        return -1;
    }
    start[0] = static_cast<std::size_t>(r);
    if (nd == 3) {
        count[1] = static_cast<std::size_t>(f->y_size);
        count[2] = static_cast<std::size_t>(f->x_size);
    } else {
        count[1] = buf.size();
    }
    int st = lib().nc_get_vara_float(nc, f->values_id[0], start.data(), count.data(), buf.data());
    if (st != NC_NOERR) {
        fail(lib().nc_strerror(st), "values");
        return -1;
    }
    if (!GRD_alloc(rec, n)) return -1;
    // the values fill the first nx*ny places, row after row
    for (long i = 0; i < n; ++i) rec->grid[i] = std::isfinite(buf[i]) ? buf[i] : MISSING_F;
    return 0;
}

// The values of one time and level of a variable, converted, rows north first.
bool read_slice(int nc, const NcFile &nf, const NcVar &v, long ti, long zi, float *out) {
    std::vector<std::size_t> start(static_cast<std::size_t>(v.ndims), 0),
        count(start.size(), 1);
    if (v.tpos >= 0) start[static_cast<std::size_t>(v.tpos)] = static_cast<std::size_t>(ti);
    if (v.zpos >= 0) start[static_cast<std::size_t>(v.zpos)] = static_cast<std::size_t>(zi);
    count[start.size() - 2] = static_cast<std::size_t>(nf.ny);
    count[start.size() - 1] = static_cast<std::size_t>(nf.nx);
    const long n = nf.nx * nf.ny;
    std::vector<float> buf(static_cast<std::size_t>(n));
    int st = lib().nc_get_vara_float(nc, v.id, start.data(), count.data(), buf.data());
    if (st != NC_NOERR) return fail(lib().nc_strerror(st), v.name.c_str());
    const bool convert = !grd_same(v.in_units.c_str(), v.units.c_str()) && !v.units.empty();
    for (long j = 0; j < nf.ny; ++j) {
        const float *src = buf.data() + (nf.flip ? nf.ny - 1 - j : j) * nf.nx;
        float *dst = out + j * nf.nx;
        for (long i = 0; i < nf.nx; ++i) {
            float raw = src[i];
            if (!std::isfinite(raw) || (v.has_fill && raw == static_cast<float>(v.fill))) {
                dst[i] = MISSING_F;
                continue;
            }
            double val = raw * v.scale + v.offset;
            dst[i] = convert ? UNIT_cvt(static_cast<float>(val), v.in_units.c_str(),
                                        v.units.c_str())
                             : static_cast<float>(val);
        }
    }
    return true;
}

int read_data_grid(GRD_file *f, NcFile &nf, GRD_report *rec, int mode, long m) {
    const int nc = f->fd;
    std::size_t k = 0;
    while (k + 1 < nf.vars.size() && m >= nf.vars[k + 1].first) ++k;
    NcVar &v = nf.vars[k];
    f->cur_var = static_cast<int>(k);
    long rel = m - v.first;
    long ti = rel / v.nz, zi = rel % v.nz;
    GRD_free(rec);
    GRD_init(rec);
    rec->date = f->date;
    rec->version = 1;
    rec->var = v.var;
    int mcode = v.mcode;
    if (nf.layout == MODEL) {
        rec->source = ti < static_cast<long>(nf.centre.size()) ? nf.centre[ti]
                      : nf.centre.empty()                      ? 7
                                                               : nf.centre[0];
        rec->model = ti < static_cast<long>(nf.model.size()) ? nf.model[ti]
                     : nf.model.empty()                      ? mcode % 100
                                                             : nf.model[0];
    } else {
        rec->source = 7;
        rec->model = 0;
    }
    rec->type = nf.grid_num;
    double h = at(nf.hours, v.tpos >= 0 ? ti : 0, 0);
    rec->time = whole(h, 0);
    if (nf.layout == MODEL && v.code == 50) {
        const char *qp = std::getenv("GRIBQP");
        if (qp) rec->time += std::atoi(qp);
    }
    if (v.zpos >= 0) {
        rec->ltype = v.zltype;
        float lv = zi < static_cast<long>(v.levels.size()) ? v.levels[zi] : MISSING_F;
        rec->level = static_cast<int>(lv);
    } else {
        rec->ltype = v.ltype;
        rec->level = v.level;
    }
    copy_field(rec->units, v.derive ? "%" : v.units.c_str());
    rec->domain = nf.dom;
    VAR_make_datatype(rec->time, rec->ltype, rec->level, rec->var, rec->units, rec->info,
                      sizeof(rec->info));
    char label[DATE_LABEL_LEN] = "";
    DATE_make_label_for_time(rec->time, rec->source * 1000 + rec->model, &rec->date, label);
    copy_field(rec->datim, label);
    if (mode != 0) return 0;
    const long n = nf.nx * nf.ny;
    if (!GRD_alloc(rec, n)) return -1;
    if (v.derive == 0) return read_slice(nc, nf, v, ti, zi, rec->grid) ? 0 : -1;
    // relative humidity from specific humidity or dew point and temperature
    std::vector<float> t(static_cast<std::size_t>(n)), p;
    const NcVar &tv = nf.vars[static_cast<std::size_t>(v.t_index)];
    bool ok = read_slice(nc, nf, v, ti, zi, rec->grid) && read_slice(nc, nf, tv, ti, zi, t.data());
    if (ok && v.p_index >= 0) {
        p.resize(static_cast<std::size_t>(n));
        ok = read_slice(nc, nf, nf.vars[static_cast<std::size_t>(v.p_index)], ti, 0, p.data());
    }
    if (!ok) {
        GRD_free(rec);
        return -1;
    }
    for (long i = 0; i < n; ++i) {
        float h = rec->grid[i], tk = t[static_cast<std::size_t>(i)];
        float mb = p.empty() ? static_cast<float>(rec->level) : p[static_cast<std::size_t>(i)] / 100;
        if (h == MISSING_F || tk == MISSING_F || mb == MISSING_F || tk <= 0) {
            rec->grid[i] = MISSING_F;
        } else if (v.derive == 17) {
            rec->grid[i] = rel_hum(tk, h);
        } else {
            float e = h * mb / (0.622f + 0.378f * h);
            rec->grid[i] = 100 * e / vapor_pr(tk);
        }
    }
    return 0;
}

// A walk over the header of a classic (CDF-1, CDF-2, CDF-5) file before the
// library reads it: every count and length must fit in the bytes that
// follow, so that a damaged header is refused instead of making the library
// ask for gigabytes.  Headers longer than the part looked at pass.
class ClassicHeader {
public:
    explicit ClassicHeader(const std::string &b) : b_(b) {}

    bool sane() {
        if (b_.size() < 4 || b_.compare(0, 3, "CDF") != 0) return true;  // not classic
        ver_ = b_[3];
        if (ver_ != 1 && ver_ != 2 && ver_ != 5) return false;
        wide_ = ver_ == 5;
        pos_ = 4;
        std::uint64_t n, ndims = 0;
        if (!num(n)) return out_;                       // numrecs
        if (!list(0x0A, ndims)) return out_;           // dimensions
        for (std::uint64_t i = 0; i < ndims; ++i)
            if (!name() || !num(n)) return out_;
        if (!attributes()) return out_;                // global attributes
        std::uint64_t nvars;
        if (!list(0x0B, nvars)) return out_;           // variables
        for (std::uint64_t i = 0; i < nvars; ++i) {
            std::uint64_t nd, id;
            if (!name() || !num(nd) || !fits(nd, wide_ ? 8 : 4)) return out_;
            for (std::uint64_t k = 0; k < nd; ++k) {
                if (!num(id)) return out_;
                if (id >= ndims) return false;  // a dimension that is not there
            }
            std::uint32_t type;
            if (!attributes() || !u32(type) || !valid_type(type) || !num(n)) return out_;
            if (ver_ == 1 ? !u32(type) : !skip(8)) return out_;  // begin
        }
        return true;
    }

private:
    const std::string &b_;
    std::size_t pos_ = 0;
    int ver_ = 0;
    bool wide_ = false;
    bool out_ = true;  // result when the walk stops early

    // The walk leaves the bytes looked at: fine when the file goes on.
    bool end() {
        out_ = b_.size() >= kLook;
        return false;
    }
    bool u32(std::uint32_t &v) {
        if (pos_ + 4 > b_.size()) return end();
        v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b_[pos_ + i]);
        pos_ += 4;
        return true;
    }
    bool num(std::uint64_t &v) {
        std::uint32_t hi = 0, lo;
        if (wide_ && !u32(hi)) return false;
        if (!u32(lo)) return false;
        v = (static_cast<std::uint64_t>(hi) << 32) | lo;
        return true;
    }
    bool skip(std::uint64_t n) {
        if (n > b_.size() - pos_) return end();
        pos_ += static_cast<std::size_t>(n);
        return true;
    }
    // count elements of at least size bytes must fit in what is left
    bool fits(std::uint64_t count, std::uint64_t size) {
        if (count > (b_.size() - pos_) / size) {
            if (b_.size() < kLook) out_ = false;
            else out_ = count < (std::uint64_t{1} << 28);
            return false;
        }
        return true;
    }
    bool name() {
        std::uint64_t len;
        if (!num(len)) return false;
        if (len > NC_MAX_NAME) {
            out_ = false;
            return false;
        }
        return skip((len + 3) / 4 * 4);
    }
    bool valid_type(std::uint32_t t) {
        if (t >= 1 && t <= 6) return true;
        if (ver_ == 5 && t >= 7 && t <= 11) return true;
        out_ = false;
        return false;
    }
    bool list(std::uint32_t tag, std::uint64_t &count) {
        std::uint32_t t;
        if (!u32(t) || !num(count)) return false;
        if (t == 0 && count == 0) return true;
        if (t != tag || count == 0) {
            out_ = false;
            return false;
        }
        return fits(count, 8);
    }
    bool attributes() {
        std::uint64_t count;
        if (!list(0x0C, count)) return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint32_t type;
            std::uint64_t n;
            if (!name() || !u32(type) || !valid_type(type) || !num(n)) return false;
            static const int size[] = {0, 1, 1, 2, 4, 4, 8, 1, 2, 4, 8, 8};
            std::uint64_t sz = static_cast<std::uint64_t>(size[type]);
            if (!fits(n, sz)) return false;
            if (!skip((n * sz + 3) / 4 * 4)) return false;
        }
        return true;
    }

    static constexpr std::size_t kLook = 16 * 1024 * 1024;

public:
    static std::string head(const char *path) {
        std::string b;
        FilePtr f = FILE_open_ptr(path, "r");
        if (!f) return b;
        b.resize(kLook);
        b.resize(std::fread(b.data(), 1, kLook, f.get()));
        return b;
    }
};

// Asks the open file everything the scan will ask of it: every dimension,
// every variable with its attributes (values included), and the values of
// the one-dimensional variables (the coordinates).  0 when all of it could
// be read.
int read_header_whole(int nc) {
    int ndims = 0, nvars = 0, natts = 0, unlim = -1;
    if (lib().nc_inq(nc, &ndims, &nvars, &natts, &unlim) != NC_NOERR) return 1;
    for (int d = 0; d < ndims; ++d) {
        std::size_t len = 0;
        if (lib().nc_inq_dimlen(nc, d, &len) != NC_NOERR) return 1;
    }
    for (int v = NC_GLOBAL; v < nvars; ++v) {
        int nd = 0, na = natts, dims[NC_MAX_VAR_DIMS];
        char name[NC_MAX_NAME + 1];
        nc_type type;
        if (v != NC_GLOBAL && lib().nc_inq_var(nc, v, name, &type, &nd, dims, &na) != NC_NOERR) return 1;
        for (int a = 0; a < na; ++a) {
            std::size_t len = 0;
            nc_type at;
            if (lib().nc_inq_attname(nc, v, a, name) != NC_NOERR ||
                lib().nc_inq_att(nc, v, name, &at, &len) != NC_NOERR)
                return 1;
            if (len == 0 || len > (1u << 20)) continue;
            int st;
            if (at == NC_CHAR) {
                std::string text(len, '\0');
                st = lib().nc_get_att_text(nc, v, name, text.data());
            } else if (at == NC_STRING) {
                std::vector<char *> strs(len);
                st = lib().nc_get_att_string(nc, v, name, strs.data());
                if (st == NC_NOERR) lib().nc_free_string(len, strs.data());
            } else {
                std::vector<double> vals(len);
                st = lib().nc_get_att_double(nc, v, name, vals.data());
                if (st == NC_ERANGE) st = NC_NOERR;  // a value beyond double's range
            }
            if (st != NC_NOERR) return 1;
        }
        if (v != NC_GLOBAL && nd == 1) {
            std::size_t len = 0;
            if (lib().nc_inq_dimlen(nc, dims[0], &len) != NC_NOERR) return 1;
            if (len == 0 || len > static_cast<std::size_t>(MAX_POINTS) || type == NC_STRING) continue;
            std::vector<double> vals(len);
            const int st = lib().nc_get_var_double(nc, v, vals.data());
            if (st != NC_NOERR && st != NC_ERANGE) return 1;
        }
    }
    return 0;
}

// The HDF5 layer under netCDF-4 does not unwind everything on its error
// paths, and its readers trust what they read: a damaged netCDF-4 file can
// leave memory behind, loop for ever or bring the process down.  Such a
// file is first opened in a child process that reads its whole header,
// given five seconds for it (a sound header takes milliseconds); this
// process opens the file only when that went through cleanly.
int &probe_limit_ms() {
    static int ms = 5000;
    return ms;
}

bool hdf5_reads_cleanly(const char *path) {
    int done[2];
    if (pipe2(done, O_CLOEXEC) != 0) return true;  // no child to spare: open it here
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(done[0]);
        close(done[1]);
        return true;
    }
    if (pid == 0) {
        close(done[0]);
        // the library's own complaints are of no use: this process says why
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 2);
#if RAZIVA_SANITIZED
        // a fault the sanitizers find in the library ends the child only,
        // its report unwritten
        __sanitizer_set_death_callback([] { _exit(1); });
        if (null >= 0) __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<std::intptr_t>(null)));
#endif
        int nc = -1;
        int st = lib().nc_open(path, NC_NOWRITE, &nc);
        if (st == NC_NOERR && read_header_whole(nc) != 0) st = NC_EHDFERR;
        if (nc >= 0 && lib().nc_close(nc) != NC_NOERR) st = NC_EHDFERR;
        _exit(st == NC_NOERR ? 0 : 1);
    }
    // the pipe's far end closes when the child ends, however it ends
    close(done[1]);
    pollfd pf{done[0], POLLIN, 0};
    int ready;
    while ((ready = poll(&pf, 1, probe_limit_ms())) < 0 && errno == EINTR) {
    }
    close(done[0]);
    if (ready <= 0) {
        MESS_print(DEBUG, "netCDF-4: no answer from the header probe in %d ms\n", probe_limit_ms());
        kill(pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return ready > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The HDF5 signature stands at the start of the file or, after a user
// block, at 512, 1024, 2048 ... octets.
bool is_hdf5(const std::string &head) {
    for (std::size_t at = 0; at + 8 <= head.size(); at = at ? 2 * at : 512)
        if (head.compare(at, 8, "\x89HDF\r\n\x1a\n") == 0) return true;
    return false;
}

}  // namespace

void grd_nc_set_probe_limit(int ms) { probe_limit_ms() = ms > 0 ? ms : 5000; }

int grd_nc_open(const char *name, int mode) {
    int nc = -1;
    char path[FILE_NAME_LEN];
    FILE_add_user_path(name, path);
    // (loaded here, before the probe below forks)
    if (!lib().ok) {
        MESS_print(ERR, "GRD_open: the netCDF library %s cannot be loaded: %s\n", RAZIVA_NETCDF_SONAME,
                   grd_printable(name).c_str());
        return -1;
    }
    if (mode != 1) {
        std::string head = ClassicHeader::head(path);
        if (!ClassicHeader(head).sane()) {
            MESS_print(ERR, "GRD_open: netCDF header damaged: %s\n", grd_printable(name).c_str());
            return -1;
        }
        if (is_hdf5(head) && !hdf5_reads_cleanly(path)) {
            MESS_print(ERR, "GRD_open: netCDF-4 file damaged: %s\n", grd_printable(name).c_str());
            return -1;
        }
    }
    int st = mode == 1 ? lib().nc_create(path, NC_CLOBBER, &nc) : lib().nc_open(path, NC_NOWRITE, &nc);
    if (st != NC_NOERR) {
        MESS_print(DEBUG, "netCDF: %s: %s\n", name, lib().nc_strerror(st));
        return -1;
    }
    files()[nc] = NcFile{};
    return nc;
}

void grd_nc_close(GRD_file *f) {
    if (!f || f->fd < 0) return;
    lib().nc_close(f->fd);
    files().erase(f->fd);
    f->fd = -1;
}

int grd_nc_getinfo(GRD_file *f, GRD_info *info) {
    const int nc = f->fd;
    auto it = files().find(nc);
    if (it == files().end()) return -1;
    NcFile &nf = it->second;
    nf = NcFile{};
    f->var_num = 0;
    f->max_num = 0;
    f->cur_var = -1;
    f->num = 0;
    f->t_dim = f->z_dim = -1;
    bool ok;
    if (dim_id(nc, "grid") >= 0) {
        nf.layout = PACKAGE;
        f->grid = 0;
        ok = scan_package(nc, f);
        double gt = 0;
        num_att(nc, NC_GLOBAL, "grid_type", gt);
        info->grid_type = static_cast<int>(gt);
        nf.grid_num = info->grid_type;
    } else if (dim_id(nc, "rtime") >= 0 || dim_id(nc, "frtime") >= 0 ||
               dim_id(nc, "anltime") >= 0 || var_id(nc, "reftime") >= 0 ||
               var_id(nc, "year") >= 0) {
        nf.layout = MODEL;
        f->grid = 1;
        ok = find_xy(nc, f, nf, false) && scan_model(nc, f, nf);
        if (ok) model_date(nc, f);
    } else {
        nf.layout = CF;
        f->grid = 2;
        ok = find_xy(nc, f, nf, true) && scan_cf(nc, f, nf);
    }
    nf.scanned = true;
    if (!ok) {
        f->max_num = 0;
        nf.vars.clear();
        return -1;
    }
    info->max_x = static_cast<int>(f->x_size);
    info->max_y = static_cast<int>(f->y_size);
    char label[DATE_LABEL_LEN] = "";
    DATE_make_label(&f->date, label);
    copy_field(f->datim, label);
    copy_field(info->datim, label);
    info->date = f->date;
    return 0;
}

int grd_nc_read(GRD_file *f, GRD_report *rec, int mode, int *num) {
    auto it = files().find(f->fd);
    if (it == files().end()) return -1;
    if (!it->second.scanned) {
        GRD_info info;
        std::memset(&info, 0, sizeof(info));
        grd_nc_getinfo(f, &info);
    }
    NcFile &nf = it->second;
    int p = num ? *num : f->num + 1;
    if (p < 0 || p >= f->max_num) return -1;
    f->num = p;
    int r = nf.layout == PACKAGE ? read_package(f, nf, rec, mode, p)
                                 : read_data_grid(f, nf, rec, mode, p);
    if (r == 0 && num) *num = p;
    return r;
}
