// zupsnd.h - sounding plots: the thermodynamic diagrams, the sounding
// traces and values panel, the hodograph, wind barbs, the choice of plot and
// the interactive editing callbacks.
//
// Plot coordinates: the diagrams and the hodograph draw in normalization
// transformation 2, whose window is the plane of the current map domain
// (MAP_tran of temperature C and pressure mb, or of wind direction and
// speed) and whose viewport is the plot framework's view.  The callbacks
// take the cursor in those plane coordinates.
#ifndef ZUPSND_H
#define ZUPSND_H

#include "gks.h"
#include "zup.h"

// Plot types (program flag 11).
constexpr int THERM_STUVE = 61;
constexpr int THERM_SKEWT = 62;
constexpr int THERM_EMAGRAM = 63;
constexpr int THERM_TEPH = 64;
constexpr int THERM_RTEPH = 65;
constexpr int THERM_HODO = 69;
constexpr int THERM_NO_PLOT = 99;

// Panel styles of the values panel.
constexpr int THERM_PANEL_NONE = 0;
constexpr int THERM_PANEL_SHORT1 = 1;
constexpr int THERM_PANEL_SHORT2 = 2;
constexpr int THERM_PANEL_FULL = 9;

// ---------------------------------------------------------------------------
// Thermodynamic diagram (thm_plt)

// Background of the selected diagram.  -> -1 when the grid element is off
// (plot switch 9), else 0.
int THERM_diagram();
// Flag 11 from the domain's projection (40 -> 62, 41 -> 61, 42 -> 63,
// 43 -> 64, 44 -> 65, 23 -> 69; others leave it).  -> 0
int THERM_check_domain(const Domain *dom);
// The default domain of a plot type (any unknown type gives the skew-T).
Domain THERM_default_domain(int plot_type);
// Reads the diagram items of "plot_param" ("data", "data1", "data2",
// "nodata", "parcel", "noparcel", "tline" + separator + spacings).  -> 0,
// -1 when an item was refused (its message printed).
int THERM_plot_param();
// Line spacings: isobars (mb), isotherms (C), dry adiabats (K), saturated
// adiabats (K), mixing ratio (g/kg; 0 = the fixed table).
int THERM_set_lines(float pline, float tline, float oline, float eline, float mline);
int THERM_get_lines(float *pline, float *tline, float *oline, float *eline, float *mline);
int THERM_set_data_style(int style);   // 0, 1, 2 or 9
int THERM_get_data_style();
int THERM_set_parcel_path(int on);
int THERM_get_parcel_path();

// ---------------------------------------------------------------------------
// Sounding traces and values panel (thm_plt)

// Temperature, dew point, parcel path, wind column and height labels.
// -> -1 when the data element is off (plot switch 7), else 0.
int THERM_data();
// The panel of derived values right of the plot.  -> -1 with panel style 0
// or the data element off, else 0.
int THERM_plot_values();

// ---------------------------------------------------------------------------
// Plot selection and interaction (thm_sel)

// 1 = draw a plot now, 0 = leave the plot loop.
int THERM_prompt_plot_type();
// Draws one plot of the type in flag 11; a domain whose projection is
// -9999 takes the type's default domain.  -> 0
int THERM_plot(Domain *domain);
// "n-Alt" switches between the diagram and the hodograph.  -> 0
int THERM_switch_plots(const char *str);
// Window events on a diagram: zoom and resize, "n-Alt", "v-Alt" read-out,
// "B3-P-Shft" pick and "B3-R..." release of a temperature or dew point,
// "k-Alt" tables, "s-Alt" raw sounding file.  x, y: plane coordinates.
void THERM_callback(int type, const char *str, float x, float y);
// Start-up state of the plot choice (prompt state -1, skew-T to return to,
// no pick).  For a new run in the same process.
void THERM_plot_reset();
int THERM_get_prompt_state();

// ---------------------------------------------------------------------------
// Hodograph (hodo_plt)

// Reads "hodo_to", "hodo_from" and "hline" + separator + "%f:%f".  -> 0, or
// -1 when an item was refused.
int HODO_plot_param();
int HODO_set_dir(int dir);   // -1 points where the wind blows to, 1 from
int HODO_get_dir();
int HODO_set_lines(float dline, float sline);
int HODO_get_lines(float *dline, float *sline);
// Spokes, rings and labels.  -> -1 when the grid element is off, else 0.
int HODO_diagram();
// The wind profile, mandatory-level labels and the storm motion.
int HODO_data();
// Window events on the hodograph: zoom, resize, "n-Alt", "d-Alt",
// "B3-P-Shft"/"B3-R..." drag of a level or the storm motion, "c-Alt",
// "s-Alt".  x, y: plane coordinates.
void HODO_callback(int type, const char *str, float x, float y);
// 1 when the two winds lie within the pick tolerance (0.03 of the map's
// vertical size in each vector component), else 0.
int HODO_check_locate(float dir1, float spd1, float dir2, float spd2);

// ---------------------------------------------------------------------------
// Wind barbs and hodograph vectors (windbarb, vecttool)

// A barb at (x, y) for a wind from dir at spd knots; size is the staff
// length and offset the gap at the station, in the current world units.
// -> -1 when nothing is drawn (missing or zero speed), else 0.
int WIND_barb(float x, float y, float dir, float spd, float size, float offset);
// Flags, full barbs and half barb of a speed: counts as drawn by WIND_barb.
int WIND_barb_counts(float spd, int *flags, int *barbs, int *half);

// Plane point of a wind on the hodograph (with the current hodo_dir).
int VECT_hodo_point(float dir, float spd, float *x, float *y);
// The wind whose hodograph point is (x, y).  -> 1, 0 without a wind
int VECT_hodo_wind(float x, float y, float *dir, float *spd);

#endif  // ZUPSND_H
