// ua_calc.cpp - layer means, parcel ascent and buoyant energy, stability
// indices, and the wind analyses (layer-mean wind, shear, helicity, bulk
// Richardson number) of one sounding.
//
// Level records hold Celsius; every call into the thermodynamic functions
// converts to kelvin first (a missing value stays missing).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zupupa.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kKnotToMs = 0.5144f;
constexpr long kTrace = 0x40000000L;   // debug traces
constexpr long kTraceRow = 0x80000000L;

float kelvin(float c) { return c == MISSING_F ? MISSING_F : c + 273.15f; }
float celsius(float k) { return k == MISSING_F ? MISSING_F : k - 273.15f; }
bool has(float v) { return v != MISSING_F; }

bool is_pressure(int coord) {
    return !(coord == 113 || coord == 114 || (coord >= 103 && coord <= 106));
}

// The request value of a coordinate on the scale of UPA_get_level.
double request_coord(int coord, float value) {
    if (value == MISSING_F) return MISSING_F;
    if (is_pressure(coord)) return value > 0.0f ? -std::log(static_cast<double>(value)) : MISSING_F;
    return value;
}

// True when level l lies strictly inside the layer (bottom, top) given in
// coordinate coord.
bool inside(int coord, const UPA_level &l, float bottom, float top) {
    double c = UPA_get_level(coord, &l);
    double b = request_coord(coord, bottom), t = request_coord(coord, top);
    if (c == MISSING_F || b == MISSING_F || t == MISSING_F) return false;
    return c > b && c < t;
}

UPA_level interp(UPA_level *lev, int num, int coord, float value, int *index = nullptr) {
    UPA_level out;
    int k = UPA_interp(lev, num, coord, value, &out);
    if (index) *index = k;
    return out;
}

// Pressure-weighted (ln p) trapezoid mean of f over a layer: the layer is
// cut at its bottom, at every level inside with a value, and at its top.
template <class F>
float layer_mean(UPA_level *lev, int num, int coord, float bottom, float top, F f) {
    if (!lev || num <= 0 || !has(bottom) || !has(top)) return MISSING_F;
    UPA_level b = interp(lev, num, coord, bottom);
    UPA_level t = interp(lev, num, coord, top);
    if (bottom == top) return f(b);
    if (!has(b.p) || !has(t.p) || b.p <= 0.0f || t.p <= 0.0f || b.p == t.p) {
        if (!has(b.p) || !has(t.p)) return MISSING_F;
        return f(b);
    }
    std::vector<std::pair<double, double>> pts;  // (p, value)
    auto add = [&](const UPA_level &l) {
        float v = f(l);
        if (has(v) && has(l.p) && l.p > 0.0f) pts.emplace_back(l.p, v);
    };
    add(b);
    for (int i = 0; i < num; ++i)
        if (inside(coord, lev[i], bottom, top)) add(lev[i]);
    add(t);
    if (pts.size() < 2) return MISSING_F;
    double sum = 0.0;
    for (std::size_t i = 1; i < pts.size(); ++i)
        sum += (pts[i - 1].second + pts[i].second) * std::log(pts[i - 1].first / pts[i].first);
    return static_cast<float>(sum / (2.0 * std::log(static_cast<double>(b.p) / t.p)));
}

float level_mixr(const UPA_level &l) { return mix_ratio(kelvin(l.td), l.p); }
float level_theta(const UPA_level &l) { return pot_temp(kelvin(l.t), l.p); }

// Starting parcel of a layer: the environment at the bottom, or with a
// thickness the layer's mean potential temperature and mixing ratio brought
// to the bottom pressure.
UPA_level start_parcel(UPA_level *lev, int num, int coord, float bottom, float thick) {
    UPA_level par = interp(lev, num, coord, bottom);
    if (thick > 0.0f && has(thick)) {
        float wbar = MISSING_F, obar = MISSING_F;
        layer_parcel_mean(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick), &wbar,
                          &obar);
        par.t = has(obar) ? celsius(temp_on_dryad(obar, par.p)) : MISSING_F;
        par.td = has(wbar) ? celsius(temp_on_mixrat(wbar, par.p)) : MISSING_F;
    }
    return par;
}

// Risk-free helpers for winds in m/s.
struct Vec {
    double u = 0.0, v = 0.0;
};
bool to_vec(float dir, float spd_knots, Vec *out) {
    float u, v;
    if (wind2vect(dir, spd_knots == MISSING_F ? MISSING_F : spd_knots * kKnotToMs, &u, &v) != 0)
        return false;
    out->u = u;
    out->v = v;
    return true;
}

// Into [-180, 180] in one step, whatever the size of d.
double wrap180(double d) { return std::remainder(d, 360.0); }

void trace_row(const UPA_level &l) { UPA_print_level(kTraceRow, kTraceRow, 0, &l); }

}  // namespace

// ---------------------------------------------------------------------------
// Layer means

int layer_parcel_mean(UPA_level *lev, int num, int coord, float bottom, float top, float *Wbar,
                      float *Obar) {
    float w = MISSING_F, o = MISSING_F;
    if (lev && num == 1) {
        w = level_mixr(lev[0]);
        o = level_theta(lev[0]);
    } else {
        w = layer_mean(lev, num, coord, bottom, top, level_mixr);
        o = layer_mean(lev, num, coord, bottom, top, level_theta);
    }
    if (Wbar) *Wbar = w;
    if (Obar) *Obar = o;
    return 0;
}

// Layer mean of a named per-level quantity.  Temperatures ("temp", "dewp",
// "wetblb", "vtemp") and the depression "dewd" in deg C, potential
// temperatures in K, "rhum" %, "mrat"/"shum" g/kg, "vpres" mb, "hght" and
// "hag" (above the surface) m, "pres" mb.
float mean_value(const char *val, UPA_level *lev, int num, int coord, float bottom, float top) {
    if (!val) return MISSING_F;
    float sfc_h = THERM_get_sfc()->h;
    if (!has(sfc_h) && lev && num > 0) sfc_h = lev[0].h;
    auto pick = [&](const UPA_level &l) -> float {
        float tk = kelvin(l.t), tdk = kelvin(l.td);
        if (!stricmp(val, "temp")) return l.t;
        if (!stricmp(val, "dewp")) return l.td;
        if (!stricmp(val, "rhum")) return rel_hum(tk, tdk);
        if (!stricmp(val, "theta")) return pot_temp(tk, l.p);
        if (!stricmp(val, "dewd")) return has(l.t) && has(l.td) ? l.t - l.td : MISSING_F;
        if (!stricmp(val, "mrat")) return mix_ratio(tdk, l.p);
        if (!stricmp(val, "shum")) return spec_hum(tdk, l.p);
        if (!stricmp(val, "vpres")) return vapor_pr(tdk);
        if (!stricmp(val, "wetblb")) {
            float w = wet_bulb(tk, tdk, l.p);
            return w > 0.0f ? celsius(w) : MISSING_F;
        }
        if (!stricmp(val, "thetaw")) {
            float w = wet_bulb_pot_temp(tk, tdk, l.p);
            return w > 0.0f ? w : MISSING_F;
        }
        if (!stricmp(val, "thetae")) return eq_pot_temp(tk, tdk, l.p);
        if (!stricmp(val, "thetav")) return virt_pot_temp(tk, tdk, l.p);
        if (!stricmp(val, "vtemp")) {
            float v = virt_temp(tk, tdk, l.p);
            return has(v) ? celsius(v) : MISSING_F;
        }
        if (!stricmp(val, "hght")) return l.h;
        if (!stricmp(val, "hag")) return has(l.h) && has(sfc_h) ? l.h - sfc_h : MISSING_F;
        if (!stricmp(val, "pres")) return l.p;
        return MISSING_F;
    };
    return layer_mean(lev, num, coord, bottom, top, pick);
}

float thickness(UPA_level *lev, int num, int coord, float bottom, float top) {
    if (!lev || num <= 0) return MISSING_F;
    UPA_level b = interp(lev, num, coord, bottom);
    UPA_level t = interp(lev, num, coord, top);
    if (!has(b.h) || !has(t.h)) return MISSING_F;
    return std::fabs(t.h - b.h);
}

// Lapse rate, deg C per m (positive when temperature falls with height).
float lapse_rate(UPA_level *lev, int num, int coord, float bottom, float top) {
    if (!lev || num <= 0) return MISSING_F;
    UPA_level b = interp(lev, num, coord, bottom);
    UPA_level t = interp(lev, num, coord, top);
    if (!has(b.h) || !has(t.h) || !has(b.t) || !has(t.t) || b.h == t.h) return MISSING_F;
    return -(t.t - b.t) / (t.h - b.h);
}

// Temperature at the layer top brought dry-adiabatically to the bottom, K.
float max_temperature(UPA_level *lev, int num, int coord, float bottom, float thick) {
    if (!lev || num <= 0 || !has(bottom)) return MISSING_F;
    UPA_level t = interp(lev, num, coord, UPA_thick_top(coord, bottom, thick));
    UPA_level b = interp(lev, num, coord, bottom);
    float th = pot_temp(kelvin(t.t), t.p);
    if (!has(th) || !has(b.p)) return MISSING_F;
    return temp_on_dryad(th, b.p);
}

// Precipitable water, inches: sum of mean specific humidity times the
// pressure step over g.
float precip_water(UPA_level *lev, int num) {
    if (!lev || num < 3 || !has(lev[0].p) || lev[0].p < 500.0f) return MISSING_F;
    if (!has(lev[0].td) && !has(lev[1].td) && !has(lev[2].td)) return MISSING_F;
    double sum = 0.0;
    int prev = -1;
    for (int i = 0; i < num; ++i) {
        if (!has(lev[i].td) || !has(lev[i].p)) continue;
        if (prev >= 0) {
            double q1 = spec_hum(kelvin(lev[prev].td), lev[prev].p);
            double q2 = spec_hum(kelvin(lev[i].td), lev[i].p);
            sum += (q1 + q2) / 2000.0 / 2.4892 * (lev[prev].p - lev[i].p);
        }
        prev = i;
    }
    return static_cast<float>(sum);
}

// Pressure of the first 0 deg C crossing, mb; -1 when the lowest level is
// already below freezing.
float freezing_level(UPA_level *lev, int num) {
    if (!lev || num <= 0 || !has(lev[0].p) || lev[0].p < 500.0f) return MISSING_F;
    int prev = -1;
    for (int i = 0; i < num; ++i) {
        if (!has(lev[i].t) || !has(lev[i].p)) continue;
        if (prev < 0) {
            if (lev[i].p > 500.0f && lev[i].t < 0.0f) return -1.0f;
        } else {
            float t1 = lev[prev].t, t2 = lev[i].t;
            if ((t1 >= 0.0f && t2 < 0.0f) || (t1 < 0.0f && t2 >= 0.0f)) {
                float p1 = lev[prev].p, p2 = lev[i].p;
                return p1 + (0.0f - t1) * (p2 - p1) / (t2 - t1);
            }
        }
        prev = i;
    }
    return MISSING_F;
}

// Pressure where the wet-bulb temperature falls through 0 deg C, mb; -1
// when it is below zero at the lowest level.
float wet_bulb_zero(UPA_level *lev, int num) {
    if (!lev || num <= 0 || !has(lev[0].p) || lev[0].p < 500.0f) return MISSING_F;
    bool have_prev = false;
    float pw = 0.0f, pp = 0.0f;
    for (int i = 0; i < num; ++i) {
        const UPA_level &l = lev[i];
        if (!has(l.t) || !has(l.td) || !has(l.p)) continue;
        float wk = wet_bulb(kelvin(l.t), kelvin(l.td), l.p);
        if (!has(wk) || wk <= 0.0f) continue;
        float w = celsius(wk);
        if (have_prev && pw >= 0.0f && w < 0.0f) return pp + (0.0f - pw) * (l.p - pp) / (w - pw);
        if (w < 0.0f) return -1.0f;
        have_prev = true;
        pw = w;
        pp = l.p;
    }
    return MISSING_F;
}

// Potentially unstable layers: the largest decrease of theta-E with height
// within one layer based at or below 700 mb.
int thetae_index(UPA_level *lev, int num, THETAE_params *params) {
    THETAE_params r{MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F, MISSING_F};
    auto usable = [&](int i) { return has(lev[i].t) && has(lev[i].td) && has(lev[i].p); };
    int first = -1;
    for (int i = 0; lev && i < num; ++i)
        if (usable(i)) { first = i; break; }
    if (first < 0) {
        if (params) *params = r;
        return -1;
    }
    auto thetae = [&](int i) { return eq_pot_temp(kelvin(lev[i].t), kelvin(lev[i].td), lev[i].p); };
    float te_prev = thetae(first);
    r.max = r.min = te_prev;
    r.maxp = r.minp = lev[first].p;

    constexpr int kLayers = 5;
    float base[kLayers + 1], top[kLayers + 1], sum[kLayers + 1];
    for (int i = 0; i <= kLayers; ++i) { base[i] = top[i] = MISSING_F; sum[i] = 0.0f; }
    base[0] = lev[first].p;
    int closed = 0;
    bool open = false;
    int prev = first;
    float last_p = lev[first].p;
    for (int i = first + 1; i < num && closed < kLayers && base[closed] >= 700.0f; ++i) {
        if (!usable(i)) continue;
        float te = thetae(i);
        if (te > r.max) { r.max = te; r.maxp = lev[i].p; }
        if (te < r.min) { r.min = te; r.minp = lev[i].p; }
        // The layer edge: the first level after the previous usable one
        // (a level without a pressure cannot mark an edge; level i has one).
        int qi = prev + 1;
        while (qi < i && !has(lev[qi].p)) ++qi;
        float q = lev[qi].p;
        if (te_prev >= te) {
            if (!open) { open = true; base[closed] = q; }
            sum[closed] += te_prev - te;
        } else if (open) {
            top[closed] = q;
            open = false;
            ++closed;
            base[closed] = q;
        }
        te_prev = te;
        prev = i;
        last_p = lev[i].p;
    }
    int nlayers = closed;
    if (open || closed == 0) {
        // A layer still open (or none at all) ends at the last level scanned.
        top[closed] = last_p;
        nlayers = closed + 1;
    }
    if (base[0] < 700.0f) {
        if (params) *params = r;
        return -1;
    }
    int best = 0;
    for (int i = 1; i < nlayers; ++i)
        if (base[i] >= 700.0f && sum[i] > sum[best]) best = i;
    r.index = sum[best];
    r.base = base[best];
    r.top = top[best];
    if (params) *params = r;
    return 0;
}

// ---------------------------------------------------------------------------
// Totals, K, SWEAT and energy index

namespace {
struct Std {
    UPA_level l850, l700, l500;
};
Std std_levels(UPA_level *lev, int num) {
    Std s;
    s.l850 = interp(lev, num, 100, 850.0f);
    s.l700 = interp(lev, num, 100, 700.0f);
    s.l500 = interp(lev, num, 100, 500.0f);
    return s;
}
}  // namespace

float total_totals(UPA_level *lev, int num) {
    if (!lev || num <= 0) return MISSING_F;
    Std s = std_levels(lev, num);
    if (!has(s.l850.t) || !has(s.l850.td) || !has(s.l500.t)) return MISSING_F;
    return s.l850.t + s.l850.td - 2.0f * s.l500.t;
}

float vertical_totals(UPA_level *lev, int num) {
    if (!lev || num <= 0) return MISSING_F;
    Std s = std_levels(lev, num);
    if (!has(s.l850.t) || !has(s.l500.t)) return MISSING_F;
    return s.l850.t - s.l500.t;
}

float cross_totals(UPA_level *lev, int num) {
    if (!lev || num <= 0) return MISSING_F;
    Std s = std_levels(lev, num);
    if (!has(s.l850.td) || !has(s.l500.t)) return MISSING_F;
    return s.l850.td - s.l500.t;
}

float k_index(UPA_level *lev, int num) {
    if (!lev || num <= 0) return MISSING_F;
    Std s = std_levels(lev, num);
    if (!has(s.l850.t) || !has(s.l850.td) || !has(s.l500.t) || !has(s.l700.t) ||
        !has(s.l700.td))
        return MISSING_F;
    return s.l850.t + s.l850.td - s.l500.t - (s.l700.t - s.l700.td);
}

float sweat_index(UPA_level *lev, int num) {
    if (!lev || num <= 0) return MISSING_F;
    Std s = std_levels(lev, num);
    const UPA_level &a = s.l850, &b = s.l500;
    if (!has(b.t) || !has(b.dir) || !has(a.t) || !has(a.td) || !has(a.dir)) return MISSING_F;
    double tt = a.t + a.td - 2.0 * b.t;
    double sum = 0.0;
    if (a.td > 0.0f) sum += 12.0 * a.td;
    if (tt > 49.0) sum += 20.0 * (tt - 49.0);
    if (has(a.spd)) sum += 2.0 * a.spd;
    if (has(b.spd)) sum += b.spd;
    if (a.dir >= 135.0f && a.dir <= 250.0f && b.dir >= 210.0f && b.dir <= 310.0f &&
        b.dir - a.dir > 0.0f && has(a.spd) && has(b.spd) && a.spd >= 15.0f && b.spd >= 15.0f)
        sum += 125.0 * (std::sin((b.dir - a.dir) * kPi / 180.0) + 0.2);
    return static_cast<float>(sum);
}

// Difference of the static energy (cal/g) between 500 and 850 mb.
float energy_index(UPA_level *lev, int num) {
    if (!lev || num <= 0) return MISSING_F;
    Std s = std_levels(lev, num);
    const UPA_level &a = s.l850, &b = s.l500;
    if (!has(a.t) || !has(a.td) || !has(a.h) || !has(b.t) || !has(b.td) || !has(b.h))
        return MISSING_F;
    auto energy = [](const UPA_level &l) {
        double w = mix_ratio(kelvin(l.td), l.p);
        return 0.24 * (l.t + 273.15) + l.h * 980.0 * 100.0 / 4.2e7 + 0.6 * w;
    };
    return static_cast<float>(energy(b) - energy(a));
}

// ---------------------------------------------------------------------------
// Parcel indices

// Temperature difference environment minus lifted parcel at top, deg C.
float lifted_index(UPA_level *lev, int num, int coord, float bottom, float thick, float top) {
    if (!lev || num <= 0 || !has(lev[0].p) || lev[0].p < 500.0f) return MISSING_F;
    UPA_level eb = interp(lev, num, coord, bottom);
    UPA_level et = interp(lev, num, coord, top);
    if (!has(eb.t) || !has(et.t) || !has(et.p)) return MISSING_F;
    UPA_level par = start_parcel(lev, num, coord, bottom, thick);
    if (!has(par.t) || !has(par.td) || !has(par.p)) return MISSING_F;
    float tk = kelvin(par.t);
    float plcl = lcl_pres(tk, kelvin(par.td), par.p);
    float tlcl = lcl_temp(tk, par.p, plcl);
    float tp;
    if (et.p > plcl)
        tp = temp_on_dryad(pot_temp(tk, par.p), et.p);
    else
        tp = temp_on_satad(thetae_on_satad(tlcl, plcl), et.p);
    if (!has(tp) || tp <= 0.0f) return MISSING_F;
    return et.t - celsius(tp);
}

// Largest environment-minus-parcel temperature from the condensation level
// up to 500 mb, deg C.
float cap_strength(UPA_level *lev, int num, int coord, float bottom, float thick) {
    if (!lev || num <= 0 || !has(bottom)) return MISSING_F;
    UPA_level par = start_parcel(lev, num, coord, bottom, thick);
    if (!has(par.t) || !has(par.td) || !has(par.p)) return MISSING_F;
    float tk = kelvin(par.t);
    float plcl = lcl_pres(tk, kelvin(par.td), par.p);
    if (!has(plcl)) return MISSING_F;
    float tlcl = lcl_temp(tk, par.p, plcl);
    UPA_level el = interp(lev, num, 100, plcl);
    if (!has(el.t)) return MISSING_F;
    float cap = el.t - celsius(tlcl);
    if (plcl < 500.0f) return cap;
    float satad = thetae_on_satad(tlcl, plcl);
    for (int i = 0; i < num; ++i) {
        const UPA_level &l = lev[i];
        if (!has(l.p) || !has(l.t) || l.p >= plcl) continue;
        if (l.p <= 500.0f) break;
        float tp = temp_on_satad(satad, l.p);
        if (!has(tp)) continue;
        float d = l.t - celsius(tp);
        if (d > cap) cap = d;
    }
    return cap;
}

// Convective condensation level, mb: where the mean mixing-ratio line of the
// bottom layer meets the temperature curve; -1 when it never does.
float pr_ccl(UPA_level *lev, int num, int coord, float bottom, float thick, float *Wbar) {
    if (Wbar) *Wbar = MISSING_F;
    if (!lev || num <= 0) return MISSING_F;
    UPA_level eb = interp(lev, num, coord, bottom);
    if (!has(eb.p) || eb.p < 500.0f) return MISSING_F;
    if (num == 1) {
        if (Wbar) *Wbar = level_mixr(lev[0]);
        return 0.0f;
    }
    float w;
    if (thick > 0.0f && has(thick)) {
        float o;
        layer_parcel_mean(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick), &w, &o);
    } else {
        w = level_mixr(eb);
    }
    if (Wbar) *Wbar = w;
    if (!has(w) || w <= 0.0f) return -1.0f;

    int last = -1;  // last level below with a temperature
    bool first = true;
    for (int i = 0; i < num; ++i) {
        const UPA_level &l = lev[i];
        if (!has(l.t) || !has(l.p) || l.p > eb.p) continue;
        float tk = kelvin(l.t);
        if (tk < temp_on_mixrat(w, l.p)) {
            if (first || last < 0) return l.p;
            const UPA_level &a = lev[last];
            double p1 = a.p, p2 = l.p;
            double p = (p1 + p2) / 2.0;
            double step = (p1 - p2) / 2.0;
            for (int n = 0; n < 12; ++n) {
                float pf = static_cast<float>(p);
                double te = interp_temp(kelvin(a.t), tk, a.p, l.p, pf);
                double d = temp_on_mixrat(w, pf) - te;
                if (d * d < 2e-5) break;
                p += d > 0.0 ? step : -step;
                step /= 2.0;
            }
            return static_cast<float>(p);
        }
        first = false;
        last = i;
    }
    return -1.0f;
}

// Energy of one ascent step, J/kg: g (Tp - Te) / Te over the step's height.
float energy_calc(const UPA_level *par1, const UPA_level *par2, const UPA_level *env1,
                  const UPA_level *env2) {
    if (!par1 || !par2 || !env1 || !env2) return 0.0f;
    auto mean = [](float a, float b) {
        if (has(a) && has(b)) return (static_cast<double>(a) + b) / 2.0;
        if (has(a)) return static_cast<double>(a);
        if (has(b)) return static_cast<double>(b);
        return static_cast<double>(MISSING_F);
    };
    double tp = mean(par1->t, par2->t);
    double te = mean(env1->t, env2->t);
    if (tp == MISSING_F || te == MISSING_F || !has(env1->h) || !has(env2->h)) return 0.0f;
    return static_cast<float>(9.8 * (tp - te) / (te + 273.15) * (env2->h - env1->h));
}

int parcel_calc(UPA_level *lev, int num, UPA_level *blev, int coord, float bottom, float thick,
                PARCEL_params *params) {
    PARCEL_params r;
    r.Satad = r.plcl = r.tlcl = MISSING_F;
    r.el = r.mpl = r.Bel = r.Bmpl = MISSING_F;
    r.lfc = -1.0f;
    r.Bplus = r.Bminus = r.wmax = r.cap = 0.0f;
    auto fail = [&]() {
        r.Bplus = r.Bminus = r.wmax = r.cap = r.lfc = MISSING_F;
        if (params) *params = r;
        return 0;
    };
    if (!lev || num <= 0 || !has(bottom)) return fail();

    // Starting parcel and the environment there.
    UPA_level par;
    if (blev && has(blev->p)) {
        par = *blev;
    } else {
        par = start_parcel(lev, num, coord, bottom, thick);
        if (blev) *blev = par;
    }
    int k = 0;
    UPA_level env = interp(lev, num, 100, par.p, &k);
    MESS_print(kTrace, "P:%6.1f H:%7.0f T:%7.1f Td:%7.1f Dir:%6.0f Spd:%6.0f\n", par.p, env.h,
               par.t, par.td, env.dir, env.spd);
    if (!has(par.p) || !has(par.t) || !has(par.td)) return fail();

    float p0 = par.p;
    float plcl = lcl_pres(kelvin(par.t), kelvin(par.td), p0);
    if (!has(plcl)) return fail();
    float tlcl = lcl_temp(kelvin(par.t), p0, plcl);
    float theta = pot_temp(tlcl, plcl);
    r.plcl = plcl;
    r.tlcl = tlcl;
    if (!has(theta)) return fail();

    if (has(env.t) && env.t - par.t > 0.0f) r.cap = env.t - par.t;

    // Dry ascent to the condensation level.
    UPA_level p_prev = par, e_prev = env;
    p_prev.t = celsius(temp_on_dryad(theta, p0));
    p_prev.h = env.h;
    auto step_energy = [&](const UPA_level &p2, const UPA_level &e2) {
        float e = energy_calc(&p_prev, &p2, &e_prev, &e2);
        if (has(e2.p) && e2.p > 500.0f && has(e2.t) && has(p2.t) && e2.t - p2.t > r.cap)
            r.cap = e2.t - p2.t;
        return e;
    };
    std::vector<int> dry;
    for (int i = 0; i < num; ++i)
        if (has(lev[i].t) && has(lev[i].p) && lev[i].p < p0 && lev[i].p > plcl) dry.push_back(i);
    for (std::size_t n = 0; n <= dry.size(); ++n) {
        bool last = n == dry.size();
        float p = last ? plcl : lev[dry[n]].p;
        if (last && plcl >= p0) break;
        // The environment is interpolated at the step's pressure, so a
        // level missing its height borrows it from its neighbours.
        UPA_level e2 = interp(lev, num, 100, p);
        UPA_level p2 = e2;
        p2.p = p;
        p2.t = celsius(temp_on_dryad(theta, p));
        float e = step_energy(p2, e2);
        if (e > 0.0f) r.Bplus += e;
        else r.Bminus += -e;
        if (n == 0 && !last)
            MESS_print(kTrace, "LB,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n", dry[n],
                       p_prev.p, p, p_prev.t, p2.t, e_prev.t, e2.t, e);
        else if (!last)
            MESS_print(kTrace, "%2d,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n",
                       n ? dry[n - 1] : 0, dry[n], p_prev.p, p, p_prev.t, p2.t, e_prev.t, e2.t, e);
        else
            MESS_print(kTrace, "%2d,LT  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n",
                       dry.empty() ? 0 : dry.back(), p_prev.p, p, p_prev.t, p2.t, e_prev.t, e2.t,
                       e);
        p_prev = p2;
        e_prev = e2;
    }

    // Moist ascent in 10 mb steps along the saturated adiabat.
    r.Satad = thetae_on_satad(tlcl, plcl);
    float ptop = MISSING_F;
    for (int i = num - 1; i >= 0; --i)
        if (has(lev[i].p)) { ptop = lev[i].p; break; }
    p_prev.p = plcl;
    p_prev.t = celsius(tlcl);
    e_prev = interp(lev, num, 100, plcl);
    bool positive = false;
    bool have_el = false;
    double negsum = 0.0;
    for (float p = plcl - 10.0f; has(ptop) && p > ptop; p -= 10.0f) {
        UPA_level e2 = interp(lev, num, 100, p);
        if (!has(e2.t)) break;
        UPA_level p2 = e2;
        p2.t = celsius(temp_on_satad(r.Satad, p));
        float e = step_energy(p2, e2);
        float pm = (p_prev.p + p) / 2.0f;
        MESS_print(kTrace, "%5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n", p_prev.p, p, p_prev.t,
                   p2.t, e_prev.t, e2.t, e);
        bool lfc_found = r.lfc != -1.0f;
        if (e >= 0.0f && !lfc_found) r.lfc = pm;
        if (e < 0.0f && !lfc_found) r.Bminus += -e;
        if (e > 0.0f) {
            r.Bplus += e;
            positive = true;
        }
        if (e < 0.0f && lfc_found) {
            negsum += -e;
            if (positive && !have_el) {
                have_el = true;
                r.el = pm;
                r.mpl = MISSING_F;
                r.Bel = static_cast<float>(r.Bplus - negsum);
            }
            positive = false;
        }
        if (have_el && !has(r.mpl) && negsum >= r.Bplus) {
            r.mpl = pm;
            r.Bmpl = static_cast<float>(r.Bplus - negsum);
        }
        MESS_print(kTrace, "   %5.1f-%5.1f-%5.1f %5.1f,%5.1f,%5.1f %5.1f-%5.1f\n", r.lfc, r.el,
                   r.mpl, r.Bplus, r.Bminus, static_cast<float>(negsum), r.Bel, r.Bmpl);
        p_prev = p2;
        e_prev = e2;
    }
    if (r.Bplus > 0.0f) r.wmax = std::sqrt(2.0f * r.Bplus);
    if (params) *params = r;
    return 1;
}

// ---------------------------------------------------------------------------
// Winds

int layer_wind_mean(UPA_level *lev, int num, int coord, float bottom, float top, WIND *wind) {
    WIND w{MISSING_F, MISSING_F};
    auto done = [&](int rc) {
        if (wind) *wind = w;
        return rc;
    };
    if (has(top) && has(bottom)) {
        if (is_pressure(coord) ? top > bottom : top < bottom) return done(-1);
    }
    if (!lev || num <= 0) return done(-1);
    if (num == 1) {
        w.dir = lev[0].dir;
        w.spd = lev[0].spd;
        return done(0);
    }
    UPA_level b = interp(lev, num, coord, bottom);
    if (!has(top) || top == bottom) {
        w.dir = b.dir;
        w.spd = b.spd;
        return done(1);
    }
    UPA_level t = interp(lev, num, coord, top);
    trace_row(b);
    trace_row(t);
    struct Pt {
        double p;
        Vec v;
        double s;
        int idx;
    };
    std::vector<Pt> pts;
    auto add = [&](const UPA_level &l, int idx) {
        Vec v;
        if (!has(l.p) || l.p <= 0.0f || !has(l.dir) || !to_vec(l.dir, l.spd, &v)) return;
        pts.push_back({l.p, v, static_cast<double>(l.spd), idx});
    };
    add(b, -1);
    for (int i = 0; i < num; ++i)
        if (inside(coord, lev[i], bottom, top)) add(lev[i], i);
    add(t, -2);
    double su = 0.0, sv = 0.0, ss = 0.0, wsum = 0.0;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        const Pt &a = pts[i - 1], &c = pts[i];
        double lw = std::log(a.p / c.p);
        su += (a.v.u + c.v.u) * lw;
        sv += (a.v.v + c.v.v) * lw;
        ss += (a.s + c.s) * lw;
        wsum += lw;
        // One trace line per slice: pressures, u, v and speeds of its ends.
        double u1 = a.v.u, u2 = c.v.u, v1 = a.v.v, v2 = c.v.v;
        if (a.idx == -1 && c.idx == -2)
            MESS_print(kTrace, "%2d-%2d  %5.1f %5.1f  %5.1f %5.1f\n", 0, 0, a.p, c.p, a.s, c.s);
        else if (a.idx == -1)
            MESS_print(kTrace, "LB,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", c.idx,
                       a.p, c.p, u1, u2, v1, v2, a.s, c.s);
        else if (c.idx == -2)
            MESS_print(kTrace, "%2d,LT  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", a.idx,
                       a.p, c.p, u1, u2, v1, v2, a.s, c.s);
        else
            MESS_print(kTrace, "%2d,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", a.idx,
                       c.idx, a.p, c.p, u1, u2, v1, v2, a.s, c.s);
    }
    if (wsum == 0.0) return done(0);
    float mu = static_cast<float>(su / (2.0 * wsum)), mv = static_cast<float>(sv / (2.0 * wsum));
    float d, s;
    vect2wind(mu, mv, &d, &s);
    MESS_print(kTrace, "%f %f\n", mu, mv);
    w.dir = d;
    w.spd = static_cast<float>(ss / (2.0 * wsum));
    return done(has(t.dir) ? 1 : 0);
}

namespace {
// Common opening of the stepping functions: heights of the layer ends and
// the stepping limit.  -> 1/0 usable (0 with a derived top), -1 bad.
int layer_heights(UPA_level *lev, int num, int coord, float bottom, float top, UPA_level *b,
                  UPA_level *t, double *hb, double *limit) {
    *b = interp(lev, num, coord, bottom);
    *t = interp(lev, num, coord, top);
    if (!has(b->h)) return -1;
    *hb = b->h;
    int rc = 1;
    double ht;
    if (!has(t->h)) {
        if (!(coord >= 103 && coord <= 106) || !has(top) || !has(bottom)) return -1;
        ht = b->h + (top - bottom);
        rc = 0;
    } else {
        ht = t->h;
    }
    *limit = ht + 10.0;
    return rc;
}
}  // namespace

int shear_layer(UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
                SHEAR_params *windp) {
    SHEAR_params r{MISSING_F, MISSING_F};
    auto done = [&](int rc) {
        if (windp) *windp = r;
        return rc;
    };
    if (!lev || num <= 0 || (has(lev[0].h) && lev[0].h > 5000.0f)) return done(0);
    if (storm) {
        Vec sv;
        if (!to_vec(storm->dir, storm->spd, &sv)) sv.u = sv.v = MISSING_F;
        MESS_print(kTrace, "%f,%f\n", sv.u, sv.v);
    }
    UPA_level b, t;
    double h0, limit;
    int rc = layer_heights(lev, num, coord, bottom, top, &b, &t, &h0, &limit);
    if (rc < 0) return done(-1);
    Vec veer, back, prev;
    bool have_prev = to_vec(b.dir, b.spd, &prev);
    float prev_dir = b.dir;
    double depth = 0.0;
    for (double h = h0 + 500.0; h <= limit; h += 500.0) {
        UPA_level c = interp(lev, num, 103, static_cast<float>(h));
        Vec cur;
        bool have_cur = has(c.dir) && to_vec(c.dir, c.spd, &cur);
        if (have_cur && have_prev) {
            double dd = c.dir - prev_dir;
            Vec &sum = ((dd > 0.0 && dd < 180.0) || dd < -180.0) ? veer : back;
            sum.u += cur.u - prev.u;
            sum.v += cur.v - prev.v;
            depth += 500.0;
            MESS_print(kTrace, "%5.1f %5.1f-%5.1f\n", h, prev_dir, c.dir);
        }
        prev = cur;
        have_prev = have_cur;
        prev_dir = c.dir;
    }
    if (depth == 0.0) return done(rc);
    r.pos_shr = static_cast<float>(std::hypot(veer.u, veer.v) / depth);
    r.neg_shr = static_cast<float>(std::hypot(back.u, back.v) / depth);
    return done(rc);
}

int helicity(UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
             HELICITY_params *windp) {
    HELICITY_params r{MISSING_F, MISSING_F, MISSING_F, MISSING_F,
                      MISSING_F, MISSING_F, MISSING_F, MISSING_F};
    auto done = [&](int rc) {
        if (windp) *windp = r;
        return rc;
    };
    if (!lev || num < 2 || (has(lev[0].h) && lev[0].h > 5000.0f) || !storm || !has(storm->dir) ||
        !has(storm->spd))
        return done(0);
    Vec sv;
    to_vec(storm->dir, storm->spd, &sv);
    MESS_print(kTrace, "%f,%f\n", sv.u, sv.v);

    int rc = 1;
    UPA_level b = interp(lev, num, coord, bottom);
    UPA_level t = interp(lev, num, coord, top);
    if (!has(t.dir) && has(top)) {
        const UPA_level &last = lev[num - 1];
        float lc = UPA_get_level(coord, &last);
        float tc = is_pressure(coord) ? (top > 0.0f ? -std::log(top) : MISSING_F) : top;
        if (has(lc) && has(tc) && tc >= lc) {
            coord = 103;
            top = last.h;
            bottom = b.h;
            t = last;
            rc = 0;
        }
    }
    // Storm-relative winds (m/s) as direction, speed and vector.
    struct Rel {
        Vec v;
        float dir = MISSING_F, spd = MISSING_F;
    };
    auto relative = [&](const UPA_level &l, Rel *out) {
        Vec w;
        if (!has(l.dir) || !to_vec(l.dir, l.spd, &w)) return false;
        out->v.u = w.u - sv.u;
        out->v.v = w.v - sv.v;
        vect2wind(static_cast<float>(out->v.u), static_cast<float>(out->v.v), &out->dir, &out->spd);
        return true;
    };
    Rel rb, rt;
    bool hb_ok = relative(b, &rb);
    if (hb_ok && relative(t, &rt)) r.dir_shr = static_cast<float>(wrap180(rt.dir - rb.dir));

    if (!has(b.h)) return done(-1);
    double h0 = b.h, ht;
    if (!has(t.h)) {
        if (!(coord >= 103 && coord <= 106) || !has(top) || !has(bottom)) return done(-1);
        ht = b.h + (top - bottom);
        rc = 0;
    } else {
        ht = t.h;
    }
    double limit = ht + 10.0;

    r.pos_hel = r.neg_hel = r.tot_hel = r.ave_hel = r.rel_hel = r.hor_vort = r.stm_vort = 0.0f;
    double pos = 0.0, neg = 0.0, ssum = 0.0, hsum = 0.0, depth = 0.0;
    int steps = 0;
    Rel prev = rb;
    bool have_prev = hb_ok;
    for (double h = h0 + 100.0; h <= limit; h += 100.0) {
        ++steps;
        UPA_level c = interp(lev, num, 103, static_cast<float>(h));
        Rel cur;
        if (!relative(c, &cur)) continue;
        if (have_prev) {
            double hel = cur.v.u * prev.v.v - prev.v.u * cur.v.v;
            if (hel > 0.0) pos += hel;
            else neg += hel;
            double d = wrap180(cur.dir - prev.dir) * kPi / 180.0;
            double stream = d / 100.0 * (prev.spd + cur.spd) / 2.0;
            double cross = (cur.spd - prev.spd) / 100.0;
            ssum += stream;
            hsum += std::sqrt(stream * stream + cross * cross);
            depth += 100.0;
        }
        prev = cur;
        have_prev = true;
    }
    r.pos_hel = static_cast<float>(pos);
    r.neg_hel = static_cast<float>(neg);
    r.tot_hel = static_cast<float>(pos + neg);
    if (depth != 0.0) r.ave_hel = static_cast<float>((pos + neg) / depth);
    if (steps > 0) {
        r.hor_vort = static_cast<float>(hsum / steps);
        r.stm_vort = static_cast<float>(ssum / steps);
    }
    if (r.hor_vort != 0.0f && hsum != 0.0) r.rel_hel = static_cast<float>(ssum / hsum);
    return done(rc);
}

int bulk_richardson(UPA_level *lev, int num, int coord, float bottom, float cape, float *brn,
                    float *shear) {
    if (brn) *brn = MISSING_F;
    if (shear) *shear = MISSING_F;
    if (!lev || num <= 0) return -1;
    UPA_level b = interp(lev, num, coord, bottom);
    if (!has(b.h)) return -1;
    WIND w05, w6;
    layer_wind_mean(lev, num, 103, b.h, b.h + 500.0f, &w05);
    layer_wind_mean(lev, num, 103, b.h, b.h + 6000.0f, &w6);
    Vec a, c;
    if (!has(w05.dir) || !has(w6.dir) || !to_vec(w05.dir, w05.spd, &a) ||
        !to_vec(w6.dir, w6.spd, &c))
        return -1;
    double len = std::hypot(c.u - a.u, c.v - a.v);
    if (shear) *shear = static_cast<float>(len);
    if (brn && cape >= 0.0f && len != 0.0) *brn = static_cast<float>(cape / (0.5 * len * len));
    return 0;
}

float energy_helicity(UPA_level *lev, int num, int coord, float bottom, const WIND *storm,
                      float cape) {
    if (!lev || num <= 0 || !has(bottom)) return MISSING_F;
    UPA_level b = interp(lev, num, coord, bottom);
    if (!has(b.h)) return MISSING_F;
    HELICITY_params hp;
    helicity(lev, num, 103, b.h, b.h + 2000.0f, storm, &hp);
    if (!has(hp.pos_hel) || !has(cape)) return MISSING_F;
    return static_cast<float>(static_cast<double>(hp.pos_hel) * cape / 160000.0);
}
