// ua_tool.cpp - the sounding level toolkit: interpolation of whole level
// records to a pressure, height or potential temperature, filling of missing
// temperatures, heights and winds, wind vectors, the mandatory-level table
// and the sounding's date text.
#include <cmath>
#include <vector>

#include "zupupa.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRd = 287.05;   // gas constant of dry air, J/(kg K)
constexpr double kGrav = 9.8;    // gravity used by the hypsometric filling

// Module state: the sounding's date text as the grid extraction labelled it,
// and the -ln p of the levels last interpolated in pressure (the analysis
// interpolates the same levels hundreds of times: a parcel ascent asks every
// 10 mb).
struct UaState {
    char datim[40] = "";
    int prompt = 0;  // ask for a new upper-air station
    std::vector<float> cv_p;   // the pressures of those levels
    std::vector<double> cv;    // their coordinate values
};
UaState ua;

enum class Kind { pressure, height, theta };

Kind coord_kind(int coord) {
    if (coord == 113 || coord == 114) return Kind::theta;
    if (coord >= 103 && coord <= 106) return Kind::height;
    return Kind::pressure;
}

double tolerance(Kind k) {
    switch (k) {
    case Kind::height: return 3.0;
    case Kind::theta: return 1.0;
    default: return 0.01;
    }
}

float kelvin(float c) { return c == MISSING_F ? MISSING_F : c + 273.15f; }

float &field(UPA_level &l, int f) {
    switch (f) {
    case 0: return l.p;
    case 1: return l.h;
    case 2: return l.t;
    case 3: return l.td;
    case 4: return l.dir;
    default: return l.spd;
    }
}

// Coordinate value of one level as a double (exact comparisons with requests
// are made in the same precision).
double coord_value(Kind k, const UPA_level &l) {
    switch (k) {
    case Kind::pressure:
        return l.p > 0.0f && l.p != MISSING_F ? -std::log(static_cast<double>(l.p)) : MISSING_F;
    case Kind::height:
        return l.h;
    default:
        return pot_temp(kelvin(l.t), l.p);
    }
}

// The coordinate values of levels[0..num-1]; pressures are worked out again
// only when the levels' pressures changed since the last call.
const std::vector<double> &coord_values(Kind kind, const UPA_level *levels, int num) {
    const auto n = static_cast<std::size_t>(num);
    bool same = kind == Kind::pressure && ua.cv_p.size() == n && ua.cv.size() == n;
    for (std::size_t i = 0; same && i < n; ++i) same = ua.cv_p[i] == levels[i].p;
    if (same) return ua.cv;
    ua.cv.resize(n);
    ua.cv_p.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        ua.cv[i] = coord_value(kind, levels[i]);
        ua.cv_p[i] = levels[i].p;
    }
    if (kind != Kind::pressure) ua.cv_p.clear();  // not a pressure record
    return ua.cv;
}

}  // namespace

void UPA_level_init(UPA_level *level) {
    if (!level) return;
    level->p = level->h = level->t = level->td = level->dir = level->spd = MISSING_F;
}

// The level's value in a vertical coordinate: -ln p for pressure kinds, the
// height for height kinds, the potential temperature for 113/114.
float UPA_get_level(int coord, const UPA_level *level) {
    if (!level) return MISSING_F;
    double v = coord_value(coord_kind(coord), *level);
    return v == MISSING_F ? MISSING_F : static_cast<float>(v);
}

int UPA_interp_levels(UPA_level *levels, int num_level, int coord, const float *values,
                      UPA_level *result, int num_result) {
    if (!result || num_result <= 0) return 0;
    if (coord == 1) {
        // The surface record itself.
        const UPA_level *sfc = THERM_get_sfc();
        result[0] = *sfc;
        for (int r = 1; r < num_result; ++r) UPA_level_init(&result[r]);
        for (int i = 0; levels && i < num_level; ++i)
            if (levels[i].p == sfc->p) return i;
        return 0;
    }
    Kind kind = coord_kind(coord);
    double tol = tolerance(kind);
    int num = levels ? num_level : 0;
    if (num < 0) num = 0;

    if (kind == Kind::theta && num > 0) {
        UPA_calc_temp(levels, num);
        // Stop at the first level without a coordinate after one with it.
        bool seen = false;
        for (int i = 0; i < num; ++i) {
            bool has = coord_value(kind, levels[i]) != MISSING_F;
            if (has) seen = true;
            else if (seen) { num = i; break; }
        }
    }
    const std::vector<double> &cv = coord_values(kind, levels, num);

    int k_last = 0;
    for (int r = 0; r < num_result; ++r) {
        UPA_level &out = result[r];
        UPA_level_init(&out);
        k_last = 0;
        float want = values ? values[r] : MISSING_F;
        if (want == MISSING_F || num == 0) continue;
        if (kind == Kind::pressure && want <= 0.0f) continue;
        double req = kind == Kind::pressure ? -std::log(static_cast<double>(want)) : want;

        if (cv[0] != MISSING_F && req < cv[0]) {
            if (cv[0] - req <= tol) out = levels[0];
            continue;
        }
        int k = num;
        for (int i = 1; i < num; ++i) {
            if (cv[i] != MISSING_F && cv[i] >= req) { k = i; break; }
        }
        k_last = k;

        int lo_p = -1, hi_p = -1;  // the levels the pressure came from
        for (int f = 0; f < 6; ++f) {
            int lo = -1, hi = -1;
            for (int i = k - 1; i >= 0; --i)
                if (field(levels[i], f) != MISSING_F) { lo = i; break; }
            for (int i = k; i < num; ++i)
                if (field(levels[i], f) != MISSING_F) { hi = i; break; }
            bool lo_at = lo >= 0 && cv[lo] == req;
            bool hi_at = hi >= 0 && cv[hi] == req;
            // A field needs a level on each side of the request, both with
            // a coordinate; only a level exactly at the request stands in
            // for a missing lower neighbour.
            float value = MISSING_F;
            if (lo < 0) {
                if (hi_at) value = field(levels[hi], f);
            } else if (hi < 0 || cv[lo] == MISSING_F || cv[hi] == MISSING_F) {
                value = MISSING_F;
            } else if (lo_at || cv[lo] == cv[hi]) {
                value = field(levels[lo], f);
            } else if (hi_at) {
                value = field(levels[hi], f);
            } else {
                double a = field(levels[lo], f);
                double b = field(levels[hi], f);
                double w = (req - cv[lo]) / (cv[hi] - cv[lo]);
                if (f == 4) {
                    // Directions interpolate on the circle.
                    if (b - a > 180.0) b -= 360.0;
                    else if (b - a < -180.0) b += 360.0;
                    double d = a + (b - a) * w;
                    if (d < 0.0) d += 360.0;
                    else if (d > 360.0) d -= 360.0;
                    value = static_cast<float>(d);
                } else {
                    value = static_cast<float>(a + (b - a) * w);
                }
            }
            field(out, f) = value;
            if (f == 0) { lo_p = lo; hi_p = hi; }
        }

        if (kind == Kind::pressure) out.p = want;
        if (kind == Kind::height) out.h = want;
        if (kind != Kind::pressure && lo_p >= 0 && hi_p >= 0 &&
            levels[lo_p].p - levels[hi_p].p > 300.0f) {
            // No pressure across a gap of more than 300 mb.
            if (cv[lo_p] != MISSING_F && std::fabs(req - cv[lo_p]) <= tol) {
                out.p = levels[lo_p].p;
            } else if (cv[hi_p] != MISSING_F && std::fabs(cv[hi_p] - req) <= tol) {
                out.p = levels[hi_p].p;
            } else {
                UPA_level_init(&out);
            }
        }
    }
    return k_last;
}

int UPA_interp(UPA_level *levels, int num_level, int coord, float value, UPA_level *result) {
    return UPA_interp_levels(levels, num_level, coord, &value, result, 1);
}

int UPA_sm_interp(int coord, const float *values, UPA_level *result, int num_result) {
    return UPA_interp_levels(THERM_get_SM(), THERM_get_SM_num(), coord, values, result, num_result);
}

// Missing temperatures become the linear interpolation in pressure between
// the nearest levels below and above that have one.
int UPA_calc_temp(UPA_level *levels, int num) {
    if (!levels || num <= 0) return 0;
    std::vector<int> known;
    for (int i = 0; i < num; ++i)
        if (levels[i].t != MISSING_F && levels[i].p != MISSING_F) known.push_back(i);
    for (int i = 0; i < num; ++i) {
        if (levels[i].t != MISSING_F || levels[i].p == MISSING_F) continue;
        int lo = -1, hi = -1;
        for (int j : known) {
            if (j < i) lo = j;
            else if (j > i) { hi = j; break; }
        }
        if (lo < 0 || hi < 0) continue;
        const UPA_level &a = levels[lo];
        const UPA_level &b = levels[hi];
        if (a.p == b.p) { levels[i].t = a.t; continue; }
        levels[i].t = a.t + (b.t - a.t) * (levels[i].p - a.p) / (b.p - a.p);
    }
    return 0;
}

// Missing heights from the hypsometric equation, integrated level by level
// and corrected to agree with the next known height.
int UPA_calc_height(UPA_level *lev, int num) {
    if (!lev || num <= 0) return -1;
    int first_known = -1;
    for (int i = 1; i < num; ++i)
        if (lev[i].h != MISSING_F) { first_known = i; break; }
    if (first_known < 0) return -1;

    // Layer-mean temperature (K) of two levels; with neither known the
    // standard lapse rate from the lowest level's temperature (15 C when
    // that is missing too) at height h.
    auto mean_t = [&](const UPA_level &a, const UPA_level &b, double h) {
        if (a.t != MISSING_F && b.t != MISSING_F) return (a.t + b.t) / 2.0 + 273.15;
        if (a.t != MISSING_F) return a.t + 273.15;
        if (b.t != MISSING_F) return b.t + 273.15;
        double t0 = lev[0].t != MISSING_F ? lev[0].t : 15.0;
        return t0 + 273.15 - 0.0065 * h;
    };

    if (lev[0].h == MISSING_F) {
        const UPA_level &j = lev[first_known];
        if (lev[0].p > 0.0f && j.p > 0.0f && lev[0].p != MISSING_F) {
            double t = mean_t(lev[0], j, j.h);
            lev[0].h = static_cast<float>(j.h + (kRd * t / -kGrav) * std::log(lev[0].p / j.p));
        }
    }

    // Stretches between successive levels with heights.
    int i = 0;
    while (i < num) {
        if (lev[i].h == MISSING_F) { ++i; continue; }
        int j = i + 1;
        while (j < num && lev[j].h == MISSING_F) ++j;
        if (j == i + 1) { i = j; continue; }
        std::vector<double> hint(static_cast<std::size_t>(j - i + 1));
        hint[0] = lev[i].h;
        int end = j < num ? j : num - 1;
        for (int k = i + 1; k <= end; ++k) {
            const UPA_level &a = lev[k - 1];
            const UPA_level &b = lev[k];
            double h;
            if (a.p == MISSING_F || b.p == MISSING_F || a.p <= 0.0f || b.p <= 0.0f) {
                h = lev[i].h;
            } else {
                double t = mean_t(a, b, hint[k - 1 - i]);
                h = hint[k - 1 - i] + (kRd * t / kGrav) * std::log(a.p / b.p);
            }
            hint[k - i] = h;
        }
        if (j < num) {
            // Spread the misfit at the known height over the stretch.
            double miss = hint[j - i] - lev[j].h;
            double dp = static_cast<double>(lev[j].p) - lev[i].p;
            for (int k = i + 1; k < j; ++k) {
                double corr = 0.0;
                if (dp != 0.0 && lev[k].p != MISSING_F && lev[i].p != MISSING_F &&
                    lev[j].p != MISSING_F)
                    corr = (static_cast<double>(lev[k].p) - lev[i].p) * miss / dp;
                lev[k].h = static_cast<float>(hint[k - i] - corr);
            }
        } else {
            for (int k = i + 1; k < num; ++k) lev[k].h = static_cast<float>(hint[k - i]);
        }
        i = j;
    }
    return 0;
}

// Temperature levels without a wind take the wind of the wind levels at
// their pressure.
int UPA_calc_wind(UPA_level *sm, int sm_num, UPA_level *wm, int wm_num) {
    if (!sm || !wm || sm_num <= 0 || wm_num <= 0) return 0;
    for (int i = 0; i < sm_num; ++i) {
        if (sm[i].dir != MISSING_F) continue;
        UPA_level w;
        UPA_interp(wm, wm_num, 100, sm[i].p, &w);
        sm[i].dir = w.dir;
        sm[i].spd = w.spd;
    }
    return 0;
}

// Top of a layer given by its bottom and thickness; thickness defaults
// 10 mb, 50 m or 5 K.
float UPA_thick_top(int coord, float bottom, float thick) {
    if (bottom == MISSING_F) return MISSING_F;
    Kind k = coord_kind(coord);
    if (thick == MISSING_F) thick = k == Kind::pressure ? 10.0f : (k == Kind::height ? 50.0f : 5.0f);
    return k == Kind::pressure ? bottom - thick : bottom + thick;
}

int UPA_mandatory(float p) {
    static const float levels[] = {1000, 925, 850, 700, 500, 400, 300, 250,
                                   200,  150, 100, 70,  50,  30,  20,  10};
    for (int i = 0; i < 16; ++i)
        if (p == levels[i]) return i + 1;
    return 0;
}

int UPA_set_datim(const char *datim) {
    copy_field(ua.datim, datim ? datim : "");
    return 0;
}

const char *UPA_get_datim() { return ua.datim; }

int UPA_set_prompt(int flag) {
    ua.prompt = flag;
    return 0;
}

int UPA_get_prompt() { return ua.prompt; }

int wind2vect(float dir, float spd, float *u, float *v) {
    float uu = MISSING_F, vv = MISSING_F;
    int rc = -1;
    if (dir != MISSING_F && spd != MISSING_F) {
        double a = dir * kPi / 180.0;
        uu = static_cast<float>(-spd * std::sin(a));
        vv = static_cast<float>(-spd * std::cos(a));
        rc = 0;
    }
    if (u) *u = uu;
    if (v) *v = vv;
    return rc;
}

int vect2wind(float u, float v, float *dir, float *spd) {
    float d = MISSING_F, s = MISSING_F;
    int rc = -1;
    if (u != MISSING_F && v != MISSING_F) {
        double ss = std::sqrt(static_cast<double>(u) * u + static_cast<double>(v) * v);
        double dd = std::atan2(-static_cast<double>(u), -static_cast<double>(v)) * 180.0 / kPi;
        if (dd < 0.0) dd += 360.0;
        if (ss < 0.01) dd = 0.0;
        d = static_cast<float>(dd);
        s = static_cast<float>(ss);
        rc = 0;
    }
    if (dir) *dir = d;
    if (spd) *spd = s;
    return rc;
}
