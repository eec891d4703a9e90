// thm_tool.cpp - the sounding package: one sounding at a time (the caller's
// level arrays, surface, station, date, parcel choice, storm motion and the
// derived values), its analysis in order, and the report tables and raw
// sounding file.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "fixed_fmt.h"
#include "zupresrc.h"
#include "zupupa.h"

namespace {

constexpr float kFeet = 3.2808f;
constexpr float kKnotToMs = 0.5144f;
constexpr float kMsToKnot = 1.944f;
constexpr long kDebugRow = 0x80000000L;
const char *const kHold = "Press return to continue\n";

UPA_level missing_level() { return {MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F}; }

// The package state, one sounding per process.
struct ThermState {
    UPA_level *sm = nullptr;  // temperature levels (the caller's array)
    int sm_num = 0;
    UPA_level *wm = nullptr;  // wind levels (the caller's array)
    int wm_num = 0;
    char id[STATION_ID_LEN] = "";
    Date file_date{};
    UPA_level sfc = missing_level();
    UPA_level trop = missing_level();
    UPA_level mwnd = missing_level();
    int par_type = PARCEL_LAYER;
    int par_used = PARCEL_LAYER;  // the choice THERM_calc could apply
    float par_thick = 100.0f;
    float par_p = MISSING_F, par_t = MISSING_F, par_td = MISSING_F;  // given level
    UPA_level par = missing_level();
    WIND mean6{0.0f, 0.0f};
    WIND storm{0.0f, 0.0f};
    THERM_values values{};
};
ThermState st;

// A value worth printing: not missing, and finite (absurd input such as a
// warm level at a few mb can overflow the moist formulas).
bool has(float v) { return v != MISSING_F && std::isfinite(v); }
float kelvin(float c) { return c == MISSING_F ? MISSING_F : c + 273.15f; }

UPA_level env_at(float p) {
    UPA_level l;
    UPA_interp(st.sm, st.sm_num, 100, p, &l);
    return l;
}

float height_at(float p) { return env_at(p).h; }
float feet(float m) { return has(m) ? m * kFeet : MISSING_F; }

// The value as the report prints it with two decimals.
double as_printed(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return std::strtod(buf, nullptr);
}

void hold(long mask) { MESS_hold(mask, kHold); }

void page_hold(long mask, int i) {
    int lines = MESS_get_max_lines();
    if (lines > 4 && i % lines == lines - 4) hold(mask);
}

// Risk phrases of the stability indices.
const char *lifted_risk(double v) {
    if (v > 2) return "None\n";
    if (v > 0) return "Showers probable\n";
    if (v > -2) return "Thunderstorms probable\n";
    if (v > -4) return "Severe thunderstorms possible\n";
    return "Severe thunderstorms probable\n";
}
const char *showalter_risk(double v) {
    if (v > 3) return "None\n";
    if (v > 1) return "Showers probable\n";
    if (v > -2) return "Thunderstorms probable\n";
    if (v > -6) return "Severe thunderstorms possible\n";
    return "Severe thunderstorms probable\n";
}
const char *totals_risk(double v) {
    if (v < 44) return "None\n";
    if (v < 49) return "Scattered moderate thunderstorms\n";
    if (v < 55) return "Scattered heavy thunderstorms\n";
    return "Severe Thunderstorms probable\n";
}
const char *k_risk(double v) {
    if (v < 15) return "None\n";
    if (v < 20) return "< 20 % chance of thunderstorms\n";
    if (v < 25) return "20-40 % chance of thunderstorms\n";
    if (v < 30) return "40-60 % chance of thunderstorms\n";
    if (v < 35) return "60-80 % chance of thunderstorms\n";
    return "> 80 % chance of thunderstorms\n";
}
const char *sweat_risk(double v) {
    if (v < 300) return "None\n";
    if (v < 400) return "Showers and thunderstorms possible\n";
    return "Severe Thunderstorms possible\n";
}
const char *energy_risk(double v) {
    if (v > 0) return "None\n";
    if (v > -2) return "Scattered severe thunderstorms\n";
    return "Severe Thunderstorms probable\n";
}

// printf into a std::string (one float: the exact fast path).
template <class... A>
std::string fmt(const char *f, A... a) {
    char buf[160];
    std::snprintf(buf, sizeof buf, f, a...);
    return buf;
}
std::string fmt(const char *f, float v) {
    std::string s;
    append_fixed(&s, f, v);
    return s;
}
std::string col(const char *f, float v, int width) {
    return has(v) ? fmt(f, v) : std::string(static_cast<std::size_t>(width), ' ');
}

// Prints a report line whose "%...f" conversions take the given values in
// order; a missing value leaves a blank of its conversion's width, so a
// line whose main value exists never shows -9999 in a side column.
void print_line(long mask, const char *format, std::initializer_list<float> values) {
    std::string out;
    auto next = values.begin();
    for (const char *c = format; *c; ++c) {
        if (*c != '%') {
            out += *c;
            continue;
        }
        if (c[1] == '%') {
            out += '%';
            ++c;
            continue;
        }
        const char *end = c + 1;
        while (*end && *end != 'f') ++end;
        if (!*end) break;
        std::string format(c, static_cast<std::size_t>(end - c + 1));
        float v = next != values.end() ? *next++ : MISSING_F;
        if (has(v)) out += fmt(format.c_str(), v);
        else out += std::string(fmt(format.c_str(), 0.0f).size(), ' ');
        c = end;
    }
    MESS_print(mask, "%s", out.c_str());
}

}  // namespace

// The risk phrase of a stability index for its value as printed.
const char *THERM_risk_phrase(int index, float value) {
    double v = as_printed(value);
    switch (index) {
    case 0: return lifted_risk(v);
    case 1: return showalter_risk(v);
    case 2: return totals_risk(v);
    case 3: return k_risk(v);
    case 4: return sweat_risk(v);
    default: return energy_risk(v);
    }
}

// ---------------------------------------------------------------------------
// Package state

int THERM_set_id(const char *str, int val) {
    copy_field(st.id, str ? str : "");
    st.values.wmo = val;
    FILE_set_key(105, st.id);
    return 0;
}

const char *THERM_get_id() { return st.id; }
int THERM_get_wmo() { return st.values.wmo; }

int THERM_set_date(const Date *date) {
    if (date) st.file_date = *date;
    else FILE_get_date(&st.file_date);
    return 0;
}

int THERM_get_date(Date *date) {
    if (date) *date = st.file_date;
    return 0;
}

int THERM_set_storm(const WIND *storm) {
    if (storm) st.storm = *storm;
    return 0;
}

int THERM_get_storm(WIND *storm) {
    if (storm) *storm = st.storm;
    return 0;
}

int THERM_get_mean6(WIND *mean) {
    if (mean) *mean = st.mean6;
    return 0;
}

UPA_level *THERM_get_SM() { return st.sm; }
int THERM_get_SM_num() { return st.sm_num; }
UPA_level *THERM_get_WM() { return st.wm; }
int THERM_get_WM_num() { return st.wm_num; }
UPA_level *THERM_get_sfc() { return &st.sfc; }
UPA_level *THERM_get_parcel() { return &st.par; }
UPA_level *THERM_get_trop() { return &st.trop; }
UPA_level *THERM_get_mwnd() { return &st.mwnd; }
THERM_values *THERM_get_values() { return &st.values; }
int THERM_get_par_type() { return st.par_type; }
float THERM_get_par_thick() { return st.par_thick; }

int THERM_init_values() {
    THERM_values &v = st.values;
    UPA_level keep = v.par_lev;
    v = THERM_values{};
    v.par_lev = keep;
    v.wmo = MISSING;
    v.lat = v.lon = v.elev = v.plcl = v.tlcl = v.frz = v.wb0 = v.lapse57 = v.max_t = MISSING_F;
    v.precip = v.mean_rh = v.thick = v.ccl = v.wbar = v.ct = v.li = v.cap = v.si = MISSING_F;
    v.tt = v.k = v.sweat = v.ei = v.brn = v.bshear = v.ehi = MISSING_F;
    v.thetae = {MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F};
    v.parcel = {MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F,
                MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F};
    v.helicity = {MISSING_F, MISSING_F, MISSING_F, MISSING_F,
                  MISSING_F, MISSING_F, MISSING_F, MISSING_F};
    v.shear = {MISSING_F, MISSING_F};
    return 0;
}

// Reads "plot_param": paging and the parcel choice.
int THERM_param() {
    st.par_type = PARCEL_LAYER;
    st.par_thick = 100.0f;
    st.par_p = st.par_t = st.par_td = MISSING_F;
    int n = 0;
    char **list = nullptr;
    RES_getvals("plot_param", &n, &list);
    for (int i = 0; i < n && list; ++i) {
        const char *item = list[i];
        if (!item) continue;
        if (!stricmp(item, "page")) {
            MESS_set_page(2);
        } else if (!stricmp(item, "nopage")) {
            MESS_set_page(0);
        } else if (!strnicmp(item, "par", 3) && stricmp(item, "parcel") != 0) {
            // "par" + separator + name[:t[:td]]; the bare plot switch
            // "parcel" belongs to the diagram.
            st.par = st.sfc;
            char name[40] = "";
            float a = MISSING_F, b = MISSING_F;
            int got = 0;
            if (std::strlen(item) > 4) got = std::sscanf(item + 4, "%39[^:]:%f:%f", name, &a, &b);
            if (got < 1) name[0] = '\0';
            if (got < 2) a = MISSING_F;
            if (got < 3) b = MISSING_F;
            st.par.t = a;
            st.par.td = b;
            if (name[0] == '\0' || !stricmp(name, "sfc")) {
                st.par_type = PARCEL_SFC;
            } else if (!stricmp(name, "maxt")) {
                st.par_type = PARCEL_MAXT;
            } else if (!stricmp(name, "layer")) {
                st.par_type = PARCEL_LAYER;
                if (has(a)) st.par_thick = a;
            } else {
                st.par_type = PARCEL_LEVEL;
                st.par_p = static_cast<float>(std::atof(name));
                st.par_t = a;
                st.par_td = b;
                st.par.p = st.par_p;
            }
        }
    }
    if (list) free_parsed_array(n, list);
    return 0;
}

int THERM_calc_storm() {
    st.mean6 = {MISSING_F, MISSING_F};
    float h = st.sfc.h;
    if (has(h)) layer_wind_mean(st.wm, st.wm_num, 103, h, h + 6000.0f, &st.mean6);
    if (!has(st.mean6.dir) || !has(st.mean6.spd)) {
        st.storm = {MISSING_F, MISSING_F};
    } else {
        float d = st.mean6.dir + 30.0f;
        if (d > 360.0f) d -= 360.0f;
        st.storm = {d, 0.75f * st.mean6.spd};
    }
    return 0;
}

int THERM_set_data(float pr, UPA_level *smi, int smi_num, UPA_level *wmi, int wmi_num) {
    st.sfc.p = pr;
    st.sm = smi;
    st.sm_num = smi && smi_num > 0 ? smi_num : 0;
    st.wm = wmi;
    st.wm_num = wmi && wmi_num > 0 ? wmi_num : 0;
    THERM_param();
    THERM_init_values();
    UPA_level s;
    UPA_interp(st.sm, st.sm_num, 100, pr, &s);
    st.sfc = s;
    MESS_print(kDebugRow, "SFCP: %f\n", pr);
    UPA_print_level(kDebugRow, kDebugRow, -1, &st.sfc);
    THERM_calc_storm();
    return 0;
}

// ---------------------------------------------------------------------------
// The analysis, in order

int THERM_calc() {
    THERM_values &v = st.values;
    UPA_level *sm = st.sm;
    int n = st.sm_num;
    float ps = st.sfc.p;

    v.thick = thickness(sm, n, 100, 1000.0f, 500.0f);
    v.frz = freezing_level(sm, n);
    v.wb0 = wet_bulb_zero(sm, n);
    v.precip = precip_water(sm, n);
    v.mean_rh = mean_value("rhum", sm, n, 100, ps, 500.0f);
    float mt = max_temperature(sm, n, 100, ps, 150.0f);
    v.max_t = has(mt) && mt > 0.0f ? mt - 273.15f : MISSING_F;

    UPA_level e = env_at(ps);
    v.plcl = lcl_pres(kelvin(e.t), kelvin(e.td), e.p);
    v.tlcl = has(v.plcl) ? lcl_temp(kelvin(e.t), e.p, v.plcl) : MISSING_F;

    float lr = lapse_rate(sm, n, 100, 700.0f, 500.0f);
    v.lapse57 = has(lr) ? lr * 1000.0f : MISSING_F;
    thetae_index(sm, n, &v.thetae);
    v.ccl = pr_ccl(sm, n, 100, ps, 100.0f, &v.wbar);
    v.ct = v.ccl > 0.0f && has(v.wbar) ? conv_temp(v.wbar, v.ccl, ps) : MISSING_F;
    v.li = lifted_index(sm, n, 100, ps, 100.0f, 500.0f);
    v.cap = cap_strength(sm, n, 100, ps, 100.0f);
    v.si = lifted_index(sm, n, 100, 850.0f, 0.0f, 500.0f);
    v.tt = total_totals(sm, n);
    v.k = k_index(sm, n);
    v.sweat = sweat_index(sm, n);
    v.ei = energy_index(sm, n);

    // The parcel.
    st.par_used = st.par_type;
    switch (st.par_type) {
    case PARCEL_SFC:
        st.par = missing_level();
        parcel_calc(sm, n, &st.par, 100, ps, 0.0f, &v.parcel);
        break;
    case PARCEL_MAXT:
        st.par = st.sfc;
        st.par.t = v.max_t;
        parcel_calc(sm, n, &st.par, 100, st.par.p, 0.0f, &v.parcel);
        break;
    case PARCEL_LEVEL: {
        UPA_level p = missing_level();
        if (has(st.par_p) && st.par_p > 0.0f) p = env_at(st.par_p);
        if (has(st.par_t)) p.t = st.par_t;
        if (has(st.par_td)) p.td = st.par_td;
        if (has(p.p)) {
            st.par = p;
            parcel_calc(sm, n, &st.par, 100, p.p, 0.0f, &v.parcel);
            break;
        }
        st.par_used = PARCEL_LAYER;
    }
        [[fallthrough]];
    default:
        st.par_used = PARCEL_LAYER;
        st.par = missing_level();
        parcel_calc(sm, n, &st.par, 100, ps, st.par_thick, &v.parcel);
        break;
    }

    // Winds.
    float h = st.sfc.h;
    shear_layer(st.wm, st.wm_num, 103, h, has(h) ? h + 3000.0f : MISSING_F, &st.storm, &v.shear);
    helicity(st.wm, st.wm_num, 103, h, has(h) ? h + 3000.0f : MISSING_F, &st.storm, &v.helicity);
    bulk_richardson(st.wm, st.wm_num, 100, ps, v.parcel.Bplus, &v.brn, &v.bshear);
    v.ehi = energy_helicity(st.wm, st.wm_num, 100, ps, &st.storm, v.parcel.Bplus);
    return 0;
}

// ---------------------------------------------------------------------------
// Report tables

int UPA_print_level(long mess1, long mess2, int ind, const UPA_level *level) {
    long both = mess1 | mess2;
    // nothing to show: spare the row its wet-bulb and theta work (trace
    // rows are asked for in every layer mean)
    if (!MESS_check(both)) return 0;
    if (!level) {
        MESS_print(mess1, "---------------------------------------");
        MESS_print(mess2, "----------------------------------------");
        MESS_print(both, "\n");
        MESS_print(mess1, "LEV PRES  HGHT  TEMP  DEWP  RH ");
        MESS_print(mess2, " DD   WETB ");
        MESS_print(mess1, "DIR SPD");
        MESS_print(mess2, " THETA THE-V THE-W THE-E   W");
        MESS_print(both, "\n");
        MESS_print(mess1, "     mb     m     C     C    %% ");
        MESS_print(mess2, "  C     C  ");
        MESS_print(mess1, "deg knt");
        MESS_print(mess2, "   K     K     K     K    g/kg");
        MESS_print(both, "\n");
        MESS_print(mess1, "---------------------------------------");
        MESS_print(mess2, "----------------------------------------");
        MESS_print(both, "\n");
        return 0;
    }
    const UPA_level &l = *level;
    static const char *const labels[] = {"SFC ", "TRP ", "WND ", "PAR ", "LCL ",
                                         "LFC ", " EL ", "MPL ", "WBZ ", "FRZ "};
    std::string a;
    if (ind <= -2 && ind >= -10) a = labels[-ind - 1];
    else if (ind == -1 && has(l.p) && l.p > 500.0f) a = labels[0];
    else a = fmt("%3d ", ind);
    a += col(has(l.p) && l.p < 10.0f ? "%4.1f " : "%4.0f ", l.p, 5);
    a += col("%5.0f ", l.h, 6);
    a += col("%5.1f ", l.t, 6);
    a += col("%5.1f ", l.td, 6);
    float tk = kelvin(l.t), tdk = kelvin(l.td);
    bool moist = has(l.t) && has(l.td);
    a += col("%3.0f ", moist ? rel_hum(tk, tdk) : MISSING_F, 4);
    MESS_print(mess1, "%s", a.c_str());

    // the row's equivalent potential temperature, worked out once for the
    // wet-bulb columns and its own (as wet_bulb and wet_bulb_pot_temp do)
    const float ept = moist ? eq_pot_temp(tk, tdk, l.p) : MISSING_F;
    auto on_satad = [&](float pr) {
        if (!moist || tk <= 0.0f || tdk < 0.0f || l.p < 0.0f) return MISSING_F;
        return tdk == 0.0f ? 0.0f : temp_on_satad(ept, pr);
    };
    std::string b = col("%4.1f ", moist ? l.t - l.td : MISSING_F, 5);
    float wb = on_satad(l.p);
    b += col("%5.1f ", has(wb) && wb > 0.0f ? wb - 273.15f : MISSING_F, 6);
    MESS_print(mess2, "%s", b.c_str());

    std::string c = col("%3.0f ", l.dir, 4) + col("%3.0f ", l.spd, 4);
    MESS_print(mess1, "%s", c.c_str());

    auto pos = [](float v) { return has(v) && v > 0.0f ? v : MISSING_F; };
    std::string d = col("%5.1f ", pos(pot_temp(tk, l.p)), 6);
    d += col("%5.1f ", moist ? pos(virt_pot_temp(tk, tdk, l.p)) : MISSING_F, 6);
    d += col("%5.1f ", moist ? pos(on_satad(1000.0f)) : MISSING_F, 6);
    d += col("%5.1f ", moist ? pos(ept) : MISSING_F, 6);
    float w = has(l.td) ? mix_ratio(tdk, l.p) : MISSING_F;
    d += col("%5.2f", has(w) && has(l.p) ? w : MISSING_F, 5);
    MESS_print(mess2, "%s", d.c_str());
    MESS_print(both, "\n");
    return 0;
}

int THERM_sig_table() {
    UPA_print_level(0x1000, 0x2000, 0, nullptr);
    for (int i = 0; i < st.sm_num; ++i) {
        int ind = st.sm[i].p == st.sfc.p ? -1 : i;
        UPA_print_level(0x1000, 0x2000, ind, &st.sm[i]);
        page_hold(0x1000, i);
    }
    UPA_print_level(0x1000, 0x2000, -2, &st.trop);
    UPA_print_level(0x1000, 0x2000, -3, &st.mwnd);
    hold(0x1000);
    return 0;
}

int THERM_indices() {
    const THERM_values &v = st.values;
    const PARCEL_params &pp = v.parcel;
    UPA_level *sm = st.sm;
    int n = st.sm_num;
    float ps = st.sfc.p;
    const long idx = 0x4000, more = 0x8000, pmain = 0x10000, pdet = 0x20000;

    MESS_print(0xf0000, "\nSounding variables and indices\n");
    if (has(v.thick)) MESS_print(idx, "1000-500 mb thick:      %7.2f m\n", v.thick);

    if (has(st.sfc.t) && st.sfc.t < 0.0f)
        MESS_print(more, "Freezing level:      Surface below freezing\n");
    int prev = -1;
    for (int i = 0; i < n; ++i) {
        if (!has(sm[i].t) || !has(sm[i].p)) continue;
        if (prev >= 0) {
            const UPA_level &a = sm[prev], &b = sm[i];
            if ((a.t >= 0.0f && b.t < 0.0f) || (a.t < 0.0f && b.t >= 0.0f)) {
                float p = a.p + (0.0f - a.t) * (b.p - a.p) / (b.t - a.t);
                float h = MISSING_F;
                if (has(a.h) && has(b.h))
                    h = a.p == b.p ? a.h : a.h + (b.h - a.h) * (p - a.p) / (b.p - a.p);
                print_line(more, "Freezing level:         %7.2f mb = %8.2f m = %8.2f ft\n",
                           {p, h, feet(h)});
            }
        }
        prev = i;
    }
    if (v.wb0 == -1.0f) {
        MESS_print(more, "Wetbulb zero:        Below ground\n");
    } else if (has(v.wb0)) {
        float h = height_at(v.wb0);
        print_line(more, "Wetbulb zero:           %7.2f mb = %8.2f m = %8.2f ft\n",
                   {v.wb0, h, feet(h)});
    }
    if (has(v.precip)) MESS_print(more, "Precipitable water:     %7.2f inches\n", v.precip);
    if (has(v.mean_rh)) MESS_print(more, "Sfc-500 mean rel hum:   %7.2f %%\n", v.mean_rh);
    if (has(v.max_t))
        MESS_print(more, "Est. max temperature:   %7.2f C = %7.2f F\n", v.max_t,
                   v.max_t * 9.0f / 5.0f + 32.0f);
    if (has(v.plcl) && v.plcl > 0.0f) {
        UPA_level e = env_at(v.plcl);
        print_line(more, "Sfc-Lift cond lev (LCL): %6.2f mb = %8.2f m = %8.2f ft T: %7.2f C\n",
                   {v.plcl, e.h, feet(e.h), e.t});
    }
    if (has(v.lapse57)) MESS_print(more, "700-500 lapse rate:      %6.2f C/km\n", v.lapse57);
    if (has(v.thetae.index))
        print_line(more, "ThetaE index:            %6.2f C Layer %6.1f-%6.1f mb\n",
                   {v.thetae.index, v.thetae.base, v.thetae.top});
    if (has(v.ccl) && v.ccl > 0.0f) {
        float h = height_at(v.ccl);
        print_line(more, "Conv cond level (CCL):  %7.2f mb = %8.2f m = %8.2f ft\n",
                   {v.ccl, h, feet(h)});
        if (has(v.wbar)) MESS_print(more, "  Mean mixing ratio:    %7.2f g/kg\n", v.wbar);
        if (has(v.ct) && v.ct > 0.0f) {
            float c = v.ct - 273.15f;
            MESS_print(more, "  Conv temperature:     %7.2f C = %7.2f F\n", c, c * 9.0f / 5.0f + 32.0f);
        }
    } else if (v.ccl == -1.0f) {
        MESS_print(more, "Conv cond level (CCL): None\n");
    }
    hold(more);

    if (has(v.cap)) MESS_print(more, "Cap Strength:            %6.2f C\n", v.cap);
    if (has(v.li)) {
        MESS_print(idx, "Lifted Index:            %6.2f C Risk: ", v.li);
        MESS_print(idx, "%s", THERM_risk_phrase(0, v.li));
    }
    float li3 = lifted_index(sm, n, 100, ps, 100.0f, 300.0f);
    float li7 = lifted_index(sm, n, 100, ps, 100.0f, 700.0f);
    if (has(li3)) MESS_print(more, "Lifted Index @300 mb:    %6.2f C\n", li3);
    if (has(li7)) MESS_print(more, "Lifted Index @700 mb:    %6.2f C\n", li7);
    if (has(v.si)) {
        MESS_print(idx, "Showalter Index:         %6.2f C Risk: ", v.si);
        MESS_print(idx, "%s", THERM_risk_phrase(1, v.si));
    }
    if (has(v.tt)) {
        MESS_print(idx, "Total Totals Index:      %6.2f C Risk: ", v.tt);
        MESS_print(idx, "%s", THERM_risk_phrase(2, v.tt));
    }
    float vt = vertical_totals(sm, n), ct = cross_totals(sm, n);
    if (has(vt)) MESS_print(more, "  Vertical Totals Index: %6.2f C\n", vt);
    if (has(ct)) MESS_print(more, "  Cross Totals Index:    %6.2f C\n", ct);
    if (has(v.k)) {
        MESS_print(idx, "K Index:                 %6.2f   Risk: ", v.k);
        MESS_print(idx, "%s", THERM_risk_phrase(3, v.k));
    }
    if (has(v.sweat)) {
        MESS_print(more, "Sweat Index:             %6.2f   Risk: ", v.sweat);
        MESS_print(more, "%s", THERM_risk_phrase(4, v.sweat));
    }
    if (has(v.ei)) {
        MESS_print(more, "Energy Index:            %6.2f   Risk: ", v.ei);
        MESS_print(more, "%s", THERM_risk_phrase(5, v.ei));
    }
    hold(idx);

    // The parcel.
    MESS_print(pmain, "\nParcel Indices\n");
    switch (st.par_used) {
    case PARCEL_SFC: MESS_print(pmain, "Parcel: using surface\n"); break;
    case PARCEL_MAXT: MESS_print(pmain, "Parcel: using max temp\n"); break;
    case PARCEL_LEVEL:
        print_line(pmain, "Parcel: using P: %1.0f T: %2.1f TD: %2.1f\n",
                   {st.par.p, st.par.t, st.par.td});
        break;
    default: MESS_print(pmain, "Parcel: using %1.0f mb layer\n", st.par_thick); break;
    }
    auto level_line = [&](long mask, const char *f, float p) {
        float h = height_at(p);
        print_line(mask, f, {p, h, feet(h)});
    };
    if (has(pp.Bplus)) MESS_print(pmain, "CAPE (B+):             %8.2f J/kg\n", pp.Bplus);
    if (has(pp.wmax)) MESS_print(pdet, "Max Up Vert Vel:       %8.2f m/s\n", pp.wmax);
    if (has(pp.Bminus)) MESS_print(pmain, "Conv Inhibition (B-):  %8.2f J/kg\n", pp.Bminus);
    if (has(pp.cap)) MESS_print(pdet, "Cap Strength:          %8.2f C\n", pp.cap);
    if (has(pp.plcl))
        level_line(pmain, "Lift Cond Lev (LCL):   %8.2f mb = %8.2f m = %8.2f ft\n", pp.plcl);
    if (pp.lfc == -1.0f)
        MESS_print(pmain, "Lev Free Conv (LFC):     none\n");
    else if (has(pp.lfc))
        level_line(pmain, "Lev Free Conv (LFC):   %8.2f mb = %8.2f m = %8.2f ft\n", pp.lfc);
    if (has(pp.el)) level_line(pmain, "Equ Level (EL):        %8.2f mb = %8.2f m = %8.2f ft\n", pp.el);
    if (has(pp.Bel)) MESS_print(pdet, "B at Equ Level:        %8.2f J/kg\n", pp.Bel);
    if (has(pp.mpl))
        level_line(pdet, "Max Parcel Lev (MPL):  %8.2f mb = %8.2f m = %8.2f ft\n", pp.mpl);
    hold(pmain);
    return 0;
}

int UPA_print_wind(long mess1, long mess2, int ind, const UPA_level *level, const WIND *storm) {
    long both = mess1 | mess2;
    if (!level) return 0;
    const UPA_level &l = *level;
    float u = MISSING_F, v = MISSING_F;
    bool wind = has(l.dir) && has(l.spd);
    if (wind) wind2vect(l.dir, l.spd * kKnotToMs, &u, &v);
    std::string a = fmt("%3d  ", ind);
    a += col("%4.0f ", l.p, 5);
    a += col("%5.0f  ", l.h, 7);
    a += col("%3.0f ", l.dir, 4);
    a += col("%3.0f ", l.spd, 4);
    a += col("%5.1f ", u, 6);
    a += col("%5.1f", v, 5);
    MESS_print(mess1, "%s", a.c_str());
    if (storm && has(storm->dir) && has(storm->spd)) {
        std::string b;
        float su, sv;
        if (wind && wind2vect(storm->dir, storm->spd * kKnotToMs, &su, &sv) == 0) {
            float ru = u - su, rv = v - sv, rd, rs;
            vect2wind(ru, rv, &rd, &rs);
            b = fmt(" | %3.0f ", rd) + fmt("%3.0f ", rs * kMsToKnot) + fmt("%5.1f ", ru) +
                fmt("%5.1f ", rv);
        } else {
            b = std::string(" |     ") + "    " + "      " + "      ";
        }
        MESS_print(mess2, "%s", b.c_str());
    }
    MESS_print(both, "\n");
    return 0;
}

int THERM_wind_table() {
    const long basic = 0x100000, rel = 0x200000, holds = 0x400000;
    long both = basic | rel;
    bool storm = has(st.storm.dir) && has(st.storm.spd);
    MESS_print(basic, "\nWind level data\n");
    if (storm) MESS_print(rel, "   Storm motion: %3.0f at %3.0f knt\n", st.storm.dir, st.storm.spd);
    auto line = [&](const char *b, const char *r) {
        MESS_print(basic, "%s", b);
        if (storm) MESS_print(rel, "%s", r);
        MESS_print(both, "\n");
    };
    const char *dashes = "------------------------------------";
    line(dashes, "----------------------");
    line("                   TRUE/GROUND REL   ", "|     STORM REL");
    line(" LEV   P    H    DIR SPD   U     V   ", "| DIR SPD   U     V");
    line("       mb   m        knt     m/s     ", "|     knt     m/s");
    line(dashes, "----------------------");
    int lines = MESS_get_max_lines();
    int last = -1;
    for (int i = 0; i < st.wm_num; ++i) {
        UPA_print_wind(basic, rel, i, &st.wm[i], storm ? &st.storm : nullptr);
        page_hold(holds, i);
        last = i;
    }
    if (!(lines > 3 && last >= 0 && last % lines == lines - 3)) hold(holds);
    return 0;
}

int THERM_wind() {
    const THERM_values &v = st.values;
    const long mainm = 0x40000, det = 0x80000;
    MESS_print(mainm, "\nWind Parameters\n");
    if (has(st.mean6.dir) && has(st.mean6.spd))
        MESS_print(mainm, "Mean winds (0-6000m):           %6.1f at %6.1f knts\n", st.mean6.dir,
                   st.mean6.spd);
    if (has(st.storm.dir) && has(st.storm.spd))
        MESS_print(mainm, "Storm direction:                %6.1f at %6.1f knts\n", st.storm.dir,
                   st.storm.spd);
    const SHEAR_params &s = v.shear;
    if (has(s.pos_shr) && has(s.neg_shr))
        MESS_print(det, "Shear (0-3000m)              pos: %6.1f neg: %6.1f tot: %6.1f 10-3/s\n",
                   s.pos_shr * 1000.0f, s.neg_shr * 1000.0f, (s.pos_shr + s.neg_shr) * 1000.0f);
    const HELICITY_params &h = v.helicity;
    if (has(h.dir_shr)) MESS_print(det, "Storm rel Dir Shear (0-3000m):    %6.1f deg\n", h.dir_shr);
    if (has(h.pos_hel) && has(h.neg_hel) && has(h.tot_hel))
        MESS_print(mainm, "Storm rel helicity (0-3000m) pos: %6.1f neg: %6.1f tot: %6.1f m^2/s^2\n",
                   h.pos_hel, h.neg_hel, h.tot_hel);
    if (has(h.ave_hel) && has(h.rel_hel))
        MESS_print(det, "                             ave: %6.1f 10^-3 m/s^2 rel: %6.2f\n",
                   h.ave_hel * 1000.0f, h.rel_hel);
    if (has(h.hor_vort) && has(h.stm_vort))
        MESS_print(det, "Storm rel vorticity (0-3000m) horiz: %6.1f stream: %6.1f 10^-3/s\n",
                   h.hor_vort * 1000.0f, h.stm_vort * 1000.0f);
    if (has(v.ehi)) MESS_print(mainm, "Energy-Hel index:       %7.2f\n", v.ehi);
    if (has(v.brn)) {
        MESS_print(det, "Bulk Rich Number:       %7.2f\n", v.brn);
        if (has(v.bshear)) MESS_print(det, "Bulk Shear:             %7.2f m/s\n", v.bshear);
    }
    hold(mainm);
    return 0;
}

int THERM_storm_table() {
    const long m = 0x400000;
    MESS_print(m, "\nStorm Parameters\n");
    const char *dashes =
        "-------------------------------------------------------------------------------\n";
    MESS_print(m, "%s", dashes);
    MESS_print(m, "Depth  Mean    Inflow|    Shear      |           Helicity           | Vorticity\n");
    MESS_print(m, " AGL  Dir Spd Dir Spd|  Pos  Neg  Tot|  Pos   Neg   Tot   Ave   Rel |  Hor Strm\n");
    MESS_print(m, "  m       knt     knt|     10^-3/s   |       m^2/s^2     m/s^2      | 10^-3/s\n");
    MESS_print(m, "%s", dashes);
    static const float depths[] = {500, 1000, 1500, 2000, 2500, 3000, 4000, 5000, 6000};
    float h0 = st.sfc.h;
    bool storm = has(st.storm.dir) && has(st.storm.spd);
    for (float depth : depths) {
        float top = has(h0) ? h0 + depth : MISSING_F;
        std::string row = fmt("%4.0f  ", depth);
        WIND mean{MISSING_F, MISSING_F};
        if (has(h0)) layer_wind_mean(st.wm, st.wm_num, 103, h0, top, &mean);
        if (!has(mean.dir) || !has(mean.spd)) {
            row += " NO DATA       | ";
        } else {
            row += fmt("%3.0f ", mean.dir) + fmt("%3.0f ", mean.spd);
            float mu, mv, su, sv;
            wind2vect(mean.dir, mean.spd * kKnotToMs, &mu, &mv);
            if (storm && wind2vect(st.storm.dir, st.storm.spd * kKnotToMs, &su, &sv) == 0) {
                float d, s;
                vect2wind(mu - su, mv - sv, &d, &s);
                row += fmt("%3.0f ", d) + fmt("%3.0f| ", s * kMsToKnot);
            } else {
                row += "       | ";
            }
        }
        SHEAR_params sh;
        shear_layer(st.wm, st.wm_num, 103, h0, top, &st.storm, &sh);
        if (has(sh.pos_shr) && has(sh.neg_shr))
            row += fmt("%4.1f ", sh.pos_shr * 1000.0f) + fmt("%4.1f ", sh.neg_shr * 1000.0f) +
                   fmt("%4.1f|", (sh.pos_shr + sh.neg_shr) * 1000.0f);
        else
            row += "              |";
        HELICITY_params hp;
        helicity(st.wm, st.wm_num, 103, h0, top, &st.storm, &hp);
        bool deep = depth > 3000.0f;
        if (has(hp.pos_hel) && has(hp.neg_hel) && has(hp.tot_hel)) {
            row += fmt("%5.1f", hp.pos_hel) + fmt("%6.1f", hp.neg_hel) + fmt("%6.1f ", hp.tot_hel);
            row += fmt(deep ? "%6.1f %5.2f| " : "%6.1f %5.2f|", hp.ave_hel * 1000.0f, hp.rel_hel);
            row += fmt(deep ? "%4.1f %4.1f\n" : "%5.1f%5.1f\n", hp.hor_vort * 1000.0f,
                       hp.stm_vort * 1000.0f);
        } else {
            row += "                              |\n";
        }
        MESS_print(m, "%s", row.c_str());
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Raw sounding file

namespace {
void raw_row(FILE *f, const char *label, const UPA_level &l) {
    std::fputs(label, f);
    if (has(l.p)) std::fprintf(f, "%4.0f ", l.p);
    else std::fputs("   - ", f);
    if (has(l.h)) std::fprintf(f, "%5.0f ", l.h);
    else std::fputs("    - ", f);
    if (has(l.t)) std::fprintf(f, " %5.1f ", l.t);
    else std::fputs("     - ", f);
    if (has(l.td)) std::fprintf(f, "%5.1f ", l.td);
    else std::fputs("    - ", f);
    if (has(l.dir)) std::fprintf(f, "%4.0f ", l.dir);
    else std::fputs("   - ", f);
    if (has(l.spd)) std::fprintf(f, "%3.0f", l.spd);
    else std::fputs("  - ", f);
    std::fputc('\n', f);
}
}  // namespace

int THERM_out_raw() {
    std::string base = "upa_snd";
    int n = 0;
    char **list = nullptr;
    RES_getvals("out_file", &n, &list);
    for (int i = 0; i < n && list; ++i) {
        const char *item = list[i];
        if (!item || !strnicmp(item, "gif", 3)) continue;
        if (!strnicmp(item, "raw", 3))
            base = std::strlen(item) > 3 ? (std::strlen(item) > 4 ? item + 4 : "") : "upa_snd";
        else
            base = item;
    }
    if (list) free_parsed_array(n, list);
    if (base.empty()) base = "upa_snd";

    char name[FILE_NAME_LEN] = "";
    FILE_save_name_conv();
    FILE_set_name(base.c_str());
    FILE_set_date(&st.file_date, name);
    FILE_restore_name_conv();
    FILE *f = FILE_open(name, "w");
    if (!f) {
        MESS_print(0xc0, "THERM_out_raw: Unable to open output file: %s\n", name);
        return 0;
    }
    char label[DATE_LABEL_LEN] = "";
    DATE_make_label(&st.file_date, label);
    std::fputs("ZUPRAW\n", f);
    std::fprintf(f, "%s\n", label);
    std::fprintf(f, "!%s Sounding\n", st.id);
    std::fputs(" Lev   P     H     T     Td    Dir Spd $\n", f);
    UPA_calc_wind(st.sm, st.sm_num, st.wm, st.wm_num);
    for (int i = 0; i < st.sm_num; ++i) {
        std::string lab = st.sm[i].p == st.sfc.p ? " SFC " : fmt("%4d ", i);
        raw_row(f, lab.c_str(), st.sm[i]);
    }
    for (int i = 0; i < st.wm_num; ++i) {
        std::string lab = i == 0 ? "WIND " : fmt("%4d ", i);
        raw_row(f, lab.c_str(), st.wm[i]);
    }
    if (has(st.trop.p)) raw_row(f, "TROP ", st.trop);
    if (has(st.mwnd.p)) raw_row(f, "MWND ", st.mwnd);
    FILE_close(f);
    MESS_print(0x200, "Written raw file to: %s\n", name);
    return 1;
}
