// zupupa.h - the sounding analysis package: thermodynamic functions, the
// sounding package state and level toolkit, parcel and stability indices,
// wind analyses and the text report.
//
// Conventions: every float field or result is -9999 (MISSING_F) when missing.
// Level records (UPA_level) hold Celsius temperatures and knots; the scalar
// thermodynamic functions work in kelvin, millibars and g/kg.
#ifndef ZUPUPA_H
#define ZUPUPA_H

#include "zup.h"

// ---------------------------------------------------------------------------
// Record types
// ---------------------------------------------------------------------------

// A wind: direction the wind blows from (degrees) and speed (knots).
struct WIND {
    float dir;
    float spd;
};

// Potentially unstable layers (theta-E index).
struct THETAE_params {
    float index;  // largest theta-E decrease within one layer, deg C
    float base;   // its base, mb
    float top;    // its top, mb
    float max;    // largest equivalent potential temperature, K
    float maxp;   // ... and its pressure, mb
    float min;    // smallest equivalent potential temperature, K
    float minp;   // ... and its pressure, mb
};

// The lifted parcel: condensation, free convection, equilibrium levels and
// buoyant energy.
struct PARCEL_params {
    float Satad;   // equivalent potential temperature of the parcel's moist adiabat, K
    float plcl;    // lifting condensation level, mb
    float tlcl;    // temperature there, K
    float cap;     // cap strength, deg C
    float lfc;     // level of free convection, mb (-1 = none)
    float el;      // equilibrium level, mb
    float mpl;     // maximum parcel level, mb
    float Bel;     // net energy up to the equilibrium level, J/kg
    float Bmpl;    // net energy at the maximum parcel level, J/kg
    float Bplus;   // positive buoyant energy (CAPE), J/kg
    float Bminus;  // negative buoyant energy (CIN, stored positive), J/kg
    float wmax;    // maximum updraft speed, m/s
};

// Storm-relative helicity and horizontal vorticity of a layer.
struct HELICITY_params {
    float dir_shr;   // storm-relative directional shear, degrees
    float pos_hel;   // positive helicity, m^2/s^2
    float neg_hel;   // negative helicity, m^2/s^2
    float tot_hel;   // total helicity, m^2/s^2
    float ave_hel;   // helicity per metre of depth, m/s^2
    float rel_hel;   // streamwise share of the horizontal vorticity
    float hor_vort;  // mean horizontal vorticity, 1/s
    float stm_vort;  // mean streamwise vorticity, 1/s
};

// Veering and backing shear of a layer.
struct SHEAR_params {
    float pos_shr;  // veering shear, 1/s
    float neg_shr;  // backing shear, 1/s
};

// Everything derived from one sounding.
struct THERM_values {
    int wmo;              // station number
    float lat, lon, elev; // station position (never set by this program)
    float plcl, tlcl;     // surface condensation level, mb and K
    float frz;            // freezing level, mb (-1 = surface below freezing)
    float wb0;            // wet-bulb zero, mb (-1 = below ground)
    float lapse57;        // 700-500 mb lapse rate, deg C per km
    float max_t;          // estimated maximum temperature, deg C
    float precip;         // precipitable water, inches
    float mean_rh;        // surface to 500 mb mean relative humidity, %
    float thick;          // 1000-500 mb thickness, m
    THETAE_params thetae; // theta-E index
    float ccl;            // convective condensation level, mb (-1 = none)
    float wbar;           // mean mixing ratio of the CCL layer, g/kg
    float ct;             // convective temperature, K
    float li;             // lifted index
    float cap;            // cap strength of the surface mixed layer
    float si;             // Showalter index
    float tt;             // Total Totals
    float k;              // K index
    float sweat;          // SWEAT index
    float ei;             // energy index
    UPA_level par_lev;    // reserved for the parcel's starting level
    PARCEL_params parcel; // the selected parcel
    HELICITY_params helicity;  // surface to 3000 m, storm-relative
    SHEAR_params shear;        // surface to 3000 m
    float brn, bshear;    // bulk Richardson number and its shear (m/s)
    float ehi;            // energy-helicity index
};

// Vertical coordinate codes (GRIB level types) of the layer functions.
constexpr int UPA_COORD_SFC = 1;
constexpr int UPA_COORD_PRES = 100;
constexpr int UPA_COORD_HGHT = 103;
constexpr int UPA_COORD_THETA = 113;

// Parcel choices.
constexpr int PARCEL_SFC = 1;
constexpr int PARCEL_LAYER = 2;
constexpr int PARCEL_MAXT = 3;
constexpr int PARCEL_LEVEL = 5;

// ---------------------------------------------------------------------------
// Thermodynamic functions (calc.cpp).  Kelvin, mb, g/kg; pure functions.
// ---------------------------------------------------------------------------

float vapor_pr(float t);
float mix_ratio(float temp, float pr);
float spec_hum(float temp, float pr);
float dew_temp(float temp, float rh);
float pot_temp(float temp, float pr);
float virt_temp(float temp, float dewp, float pr);
float virt_pot_temp(float temp, float dewp, float pr);
float temp_on_satad(float pot, float pr);
float temp_on_dryad(float pot, float pr);
float thetae_on_satad(float temp, float pr);
float temp_vapor_pr(float e);
float temp_on_mixrat(float w, float pr);
float rel_hum(float t, float td);
float conv_temp(float wbar, float pc, float pr);
float lcl_pres(float ts, float tds, float ps);
float lcl_temp(float ts, float ps, float pl);
float eq_pot_temp(float temp, float dewp, float pr);
float wet_bulb(float temp, float dewp, float pr);
float wet_bulb_pot_temp(float temp, float dewp, float pr);
float interp_temp(float t1, float t2, float p1, float p2, float pr);

// ---------------------------------------------------------------------------
// Level toolkit (ua_tool.cpp)
// ---------------------------------------------------------------------------

void UPA_level_init(UPA_level *level);
int UPA_interp_levels(UPA_level *levels, int num_level, int coord, const float *values,
                      UPA_level *result, int num_result);
int UPA_interp(UPA_level *levels, int num_level, int coord, float value, UPA_level *result);
int UPA_sm_interp(int coord, const float *values, UPA_level *result, int num_result);
float UPA_get_level(int coord, const UPA_level *level);
int UPA_calc_temp(UPA_level *levels, int num);
int UPA_calc_height(UPA_level *level, int num);
int UPA_calc_wind(UPA_level *sm, int sm_num, UPA_level *wm, int wm_num);
float UPA_thick_top(int coord, float bottom, float thick);
int UPA_mandatory(float p);
int UPA_set_datim(const char *datim);
const char *UPA_get_datim();
// The upper-air station-prompt flag (set when the user asks for a new station).
int UPA_set_prompt(int flag);
int UPA_get_prompt();

// Wind vectors: u = -spd sin(dir), v = -spd cos(dir) in the unit of the
// speed.  Return 0, or -1 (outputs -9999) when an input is missing.
int wind2vect(float dir, float spd, float *u, float *v);
int vect2wind(float u, float v, float *dir, float *spd);

// ---------------------------------------------------------------------------
// Package state (thm_tool.cpp)
// ---------------------------------------------------------------------------

int THERM_set_id(const char *str, int val);
const char *THERM_get_id();
int THERM_get_wmo();
int THERM_set_date(const Date *date);
int THERM_get_date(Date *date);
int THERM_set_data(float pr, UPA_level *smi, int smi_num, UPA_level *wmi, int wmi_num);
int THERM_param();
int THERM_init_values();
int THERM_set_storm(const WIND *storm);
int THERM_get_storm(WIND *storm);
int THERM_get_mean6(WIND *mean);
UPA_level *THERM_get_SM();
int THERM_get_SM_num();
UPA_level *THERM_get_WM();
int THERM_get_WM_num();
UPA_level *THERM_get_sfc();
UPA_level *THERM_get_parcel();
UPA_level *THERM_get_trop();
UPA_level *THERM_get_mwnd();
THERM_values *THERM_get_values();
int THERM_get_par_type();
float THERM_get_par_thick();

// ---------------------------------------------------------------------------
// Parcel, energy and stability indices (ua_calc.cpp, thm_tool.cpp)
// ---------------------------------------------------------------------------

int THERM_calc();
int parcel_calc(UPA_level *lev, int num, UPA_level *blev, int coord, float bottom, float thick,
                PARCEL_params *params);
float energy_calc(const UPA_level *par1, const UPA_level *par2, const UPA_level *env1,
                  const UPA_level *env2);
float lifted_index(UPA_level *lev, int num, int coord, float bottom, float thick, float top);
float cap_strength(UPA_level *lev, int num, int coord, float bottom, float thick);
float pr_ccl(UPA_level *lev, int num, int coord, float bottom, float thick, float *Wbar);
int layer_parcel_mean(UPA_level *lev, int num, int coord, float bottom, float top, float *Wbar,
                      float *Obar);
float mean_value(const char *val, UPA_level *lev, int num, int coord, float bottom, float top);
float thickness(UPA_level *lev, int num, int coord, float bottom, float top);
float lapse_rate(UPA_level *lev, int num, int coord, float bottom, float top);
float max_temperature(UPA_level *lev, int num, int coord, float bottom, float thick);
float precip_water(UPA_level *lev, int num);
float freezing_level(UPA_level *lev, int num);
float wet_bulb_zero(UPA_level *lev, int num);
int thetae_index(UPA_level *lev, int num, THETAE_params *params);
float total_totals(UPA_level *lev, int num);
float vertical_totals(UPA_level *lev, int num);
float cross_totals(UPA_level *lev, int num);
float k_index(UPA_level *lev, int num);
float sweat_index(UPA_level *lev, int num);
float energy_index(UPA_level *lev, int num);

// ---------------------------------------------------------------------------
// Winds (ua_calc.cpp, thm_tool.cpp)
// ---------------------------------------------------------------------------

int layer_wind_mean(UPA_level *lev, int num, int coord, float bottom, float top, WIND *wind);
int shear_layer(UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
                SHEAR_params *windp);
int helicity(UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
             HELICITY_params *windp);
int bulk_richardson(UPA_level *lev, int num, int coord, float bottom, float cape, float *brn,
                    float *shear);
float energy_helicity(UPA_level *lev, int num, int coord, float bottom, const WIND *storm,
                      float cape);
int THERM_calc_storm();

// ---------------------------------------------------------------------------
// Report tables and the raw sounding file (thm_tool.cpp)
// ---------------------------------------------------------------------------

int THERM_sig_table();
int THERM_indices();
int THERM_wind_table();
int THERM_wind();
int THERM_storm_table();
int THERM_out_raw();
// Risk phrase of index 0 lifted, 1 Showalter, 2 Total Totals, 3 K, 4 SWEAT,
// 5 energy, judged on the value rounded as the report prints it.
const char *THERM_risk_phrase(int index, float value);
int UPA_print_level(long mess1, long mess2, int ind, const UPA_level *level);
int UPA_print_wind(long mess1, long mess2, int ind, const UPA_level *level,
                   const WIND *storm);

#endif  // ZUPUPA_H
