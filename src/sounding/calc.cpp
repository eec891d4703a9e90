// calc.cpp - scalar moist thermodynamics on single values.
//
// Units: temperatures in kelvin, pressures and vapour pressures in mb,
// mixing ratio and specific humidity in g/kg, relative humidity in percent.
// Arithmetic is double precision; results are returned as float.  Missing
// is -9999; a few functions return 0.0 for impossible input instead (noted
// per function), and that 0.0 passes through callers as a number.
#include <array>
#include <atomic>
#include <cmath>

#include "zupupa.h"

namespace {

constexpr double kMissing = -9999.0;
constexpr double kEps1000 = 622.0;       // Rd/Rv times 1000: mixing ratio in g/kg
constexpr double kKappa = 0.286;         // R/cp, Poisson exponent
constexpr double kP0 = 1000.0;           // reference pressure, mb
constexpr double kLatent = 2.6518986;    // L/cp per g/kg, exponent of theta-e
constexpr double kVirtual = 0.609;       // virtual temperature factor per kg/kg

// Goff-Gratch saturation vapour pressure over water, mb (t > 0 K).
double goff_gratch(double t) {
    double x = 23.832241 - 5.02808 * std::log10(t) -
               1.3816e-7 * std::pow(10.0, 11.344 - 0.0303998 * t) +
               8.132801e-3 * std::pow(10.0, 3.49149 - 1302.8844 / t) - 2949.076 / t;
    return std::pow(10.0, x);
}

// Closed-form inverse of the saturation vapour pressure (e > 0 mb), K.
double dewpoint_of_vapor(double e) {
    double a = std::pow(e, 0.0915) - 1.2035;
    return std::pow(10.0, 0.0498646455 * std::log10(e) + 2.4082965) - 7.08475 + 38.9114 * a * a;
}

// Vapour pressure for the overloaded "temperature" argument: above 100 it is
// a temperature (saturation), otherwise already a vapour pressure.
double vapor_of(double temp) { return temp > 100.0 ? vapor_pr(static_cast<float>(temp)) : temp; }

double theta(double t, double p) { return t * std::pow(kP0 / p, kKappa); }

// Mixing ratio, g/kg, of vapour pressure e (mb) at pr (mb).
float mixing_of_vapor(double e, float pr) { return static_cast<float>(kEps1000 * e / (pr - e)); }

// The saturated-adiabat search visits the same temperatures in every call
// (253.16 K, then 60, 30, 15 ... K up or down), a binary tree of 12 levels:
// the saturation vapour pressure of each is worked out once per process.
// Node 1 is the first guess, node 2k + 1 lies above node k, 2k below.
constexpr int kSatadSteps = 12;
float satad_vapor(int node, double t) {
    struct Tree {
        std::array<std::atomic<float>, std::size_t{1} << kSatadSteps> e;
        Tree() {
            for (auto &v : e) v.store(-1.0f, std::memory_order_relaxed);
        }
    };
    static Tree seen;
    std::atomic<float> &slot = seen.e[static_cast<std::size_t>(node)];
    float e = slot.load(std::memory_order_relaxed);
    if (e < 0.0f) {
        e = vapor_pr(static_cast<float>(t));  // t stays above 130 K
        slot.store(e, std::memory_order_relaxed);
    }
    return e;
}

}  // namespace

// Saturation vapour pressure over water, mb, at t (K): the Goff-Gratch
// equation in log10 form with the steam-point constants folded in.
// t < 0 gives -9999, t < 100 gives 0.
float vapor_pr(float t) {
    if (t < 0.0f) return static_cast<float>(kMissing);
    if (t < 100.0f) return 0.0f;
    return static_cast<float>(goff_gratch(t));
}

// Mixing ratio, g/kg: 622 e / (p - e) (definition, epsilon = 0.622), e the
// saturation vapour pressure of temp (K) or temp itself when 100 or less.
// -9999 for an argument of exactly -9999, 0 for a non-positive one.
float mix_ratio(float temp, float pr) {
    if (temp == MISSING_F || pr == MISSING_F) return MISSING_F;
    if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
    return mixing_of_vapor(vapor_of(temp), pr);
}

// Specific humidity, g/kg: 622 e / p (the usual approximation e << p);
// arguments and guards as mix_ratio.
float spec_hum(float temp, float pr) {
    if (temp == MISSING_F || pr == MISSING_F) return MISSING_F;
    if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
    double e = vapor_of(temp);
    return static_cast<float>(kEps1000 * e / pr);
}

// Dew point, K: the temperature whose saturation vapour pressure is rh % of
// that of temp (K); rh clamped to 2..100.  -9999 for an rh of exactly -9999
// or a non-positive temperature.
float dew_temp(float temp, float rh) {
    if (rh == MISSING_F || temp <= 0.0f) return MISSING_F;
    double r = rh;
    if (r < 2.0) r = 2.0;
    if (r > 100.0) r = 100.0;
    double e = static_cast<double>(vapor_pr(temp)) * r / 100.0;
    return temp_vapor_pr(static_cast<float>(e));
}

// Potential temperature, K: Poisson's equation T (1000/p)^0.286.
// -9999 for a non-positive temperature or pressure.
float pot_temp(float temp, float pr) {
    if (pr <= 0.0f || temp <= 0.0f) return MISSING_F;
    return static_cast<float>(theta(temp, pr));
}

// Virtual temperature, K: T (1 + 0.609 w/1000) (the standard first-order
// form); dewp is a dew point (K) above 100, else a mixing ratio (g/kg).
// -9999 for temp <= 0 or a negative dewp or pr; dewp 0 gives temp.
float virt_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return MISSING_F;
    if (dewp == 0.0f) return temp;
    double w = dewp > 100.0f ? static_cast<double>(mix_ratio(dewp, pr)) : dewp;
    return static_cast<float>(temp * (1.0 + kVirtual * w / 1000.0));
}

// Virtual potential temperature, K: Poisson's factor (1000/p)^0.286 times
// virt_temp.  Guards as virt_temp; dewp 0 gives pot_temp; pr 0 gives -9999.
float virt_pot_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return MISSING_F;
    if (dewp == 0.0f) return pot_temp(temp, pr);
    if (pr == 0.0f) return MISSING_F;
    double tv = virt_temp(temp, dewp, pr);
    return static_cast<float>(std::pow(kP0 / pr, kKappa) * tv);
}

// Temperature, K, at pr on the saturated adiabat of equivalent potential
// temperature pot: thetae_on_satad inverted by at most 12 bisection steps
// from 253.16 K with a first step of 60 K.  -9999 for non-positive input
// or pr above 2000.
float temp_on_satad(float pot, float pr) {
    if (pot <= 0.0f || pr <= 0.0f || pr > 2000.0f) return MISSING_F;
    double t = 253.16;
    double step = 120.0;
    const double poisson = std::pow(kP0 / pr, kKappa);  // theta(t, pr) = t * poisson
    for (int i = 0, node = 1; i < kSatadSteps; ++i) {
        const float w = mixing_of_vapor(satad_vapor(node, t), pr);
        double x = pot * std::exp(-kLatent * w / t) - t * poisson;
        if (x * x < 2e-5) break;
        step /= 2.0;
        t = x > 0.0 ? t + step : t - step;
        node = 2 * node + (x > 0.0 ? 1 : 0);
    }
    return static_cast<float>(t);
}

// Temperature, K, at pr on the dry adiabat pot: Poisson's equation
// inverted, pot (p/1000)^0.286.  Non-positive input gives 0.
float temp_on_dryad(float pot, float pr) {
    if (pot <= 0.0f || pr <= 0.0f) return 0.0f;
    return static_cast<float>(pot * std::pow(pr / kP0, kKappa));
}

// Equivalent potential temperature, K, of a saturated parcel at (temp, pr):
// the classic approximation theta exp(L ws / (cp T)), L/cp = 2.6518986 K
// per g/kg, ws the saturation mixing ratio.  0 for non-positive input.
float thetae_on_satad(float temp, float pr) {
    if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
    double ws = mix_ratio(temp, pr);
    return static_cast<float>(theta(temp, pr) * std::exp(kLatent * ws / temp));
}

// Dew point, K, whose saturation vapour pressure is e (mb): a closed-form
// empirical fit inverting the saturation curve (no iteration).  0 for e
// not greater than 0.
float temp_vapor_pr(float e) {
    if (e <= 0.0f) return 0.0f;
    return static_cast<float>(dewpoint_of_vapor(e));
}

// Temperature, K, on the saturation mixing-ratio line w (g/kg) at pr (mb):
// the vapour pressure pr w / (622 + w) through temp_vapor_pr.  0 for
// non-positive input.
float temp_on_mixrat(float w, float pr) {
    if (w <= 0.0f || pr <= 0.0f) return 0.0f;
    double e = static_cast<double>(pr) * w / (kEps1000 + w);
    return static_cast<float>(dewpoint_of_vapor(e));
}

// Relative humidity, %: 100 e(td) / e(t) (definition), or the ratio of two
// vapour pressures when both are 100 or less; not clamped.  -9999 for
// non-positive input (and for a temperature whose vapour pressure is zero).
float rel_hum(float t, float td) {
    if (t <= 0.0f || td <= 0.0f) return MISSING_F;
    if (t <= 100.0f && td <= 100.0f) return static_cast<float>(100.0 * td / t);
    double es = vapor_pr(t);
    if (es == 0.0) return MISSING_F;
    return static_cast<float>(100.0 * vapor_pr(td) / es);
}

// Convective temperature, K: the mixing-ratio line wbar at the convective
// condensation pressure pc, brought dry-adiabatically down to pr (the
// classic diagram construction).  No guard of its own.
float conv_temp(float wbar, float pc, float pr) {
    return temp_on_dryad(pot_temp(temp_on_mixrat(wbar, pc), pc), pr);
}

// Pressure, mb, of the lifting condensation level of a parcel (ts, tds, ps):
// where its mixing-ratio line meets its dry adiabat, found by at most 8
// corrections p *= 2^(0.02 d), d the temperature gap of the two lines.
// -9999 for temperatures not above 100 K or ps outside 0..1100.
float lcl_pres(float ts, float tds, float ps) {
    if (ts <= 100.0f || tds <= 100.0f || ps <= 0.0f || ps > 1100.0f) return MISSING_F;
    float w = mix_ratio(tds, ps);
    float th = pot_temp(ts, ps);
    double p = ps;
    auto gap = [&](double pp) {
        float pf = static_cast<float>(pp);
        return static_cast<double>(temp_on_mixrat(w, pf)) - temp_on_dryad(th, pf);
    };
    double d = gap(p);
    for (int i = 0; i < 8; ++i) {
        if (d * d <= 0.0001) break;
        p = p * std::pow(2.0, 0.02 * d);
        d = gap(p);
    }
    return static_cast<float>(p);
}

// Temperature, K, at the condensation level pl of a parcel (ts, ps): the
// dry adiabat through the parcel.  No guard of its own.
float lcl_temp(float ts, float ps, float pl) { return temp_on_dryad(pot_temp(ts, ps), pl); }

// Equivalent potential temperature, K: thetae_on_satad at the parcel's
// lifting condensation level (lift dry, then pseudo-adiabatically).  -9999
// for temp <= 0 or a negative dewp or pr; dewp 0 gives pot_temp.
float eq_pot_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return MISSING_F;
    if (dewp == 0.0f) return pot_temp(temp, pr);
    float pl = lcl_pres(temp, dewp, pr);
    return thetae_on_satad(lcl_temp(temp, pr, pl), pl);
}

// Wet-bulb temperature, K: Normand's rule, the parcel's saturated adiabat
// followed back to pr.  Guards as eq_pot_temp; dewp 0 gives 0.
float wet_bulb(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return MISSING_F;
    if (dewp == 0.0f) return 0.0f;
    return temp_on_satad(eq_pot_temp(temp, dewp, pr), pr);
}

// Wet-bulb potential temperature, K: the parcel's saturated adiabat at
// 1000 mb (Normand's rule).  Guards as wet_bulb.
float wet_bulb_pot_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return MISSING_F;
    if (dewp == 0.0f) return 0.0f;
    return temp_on_satad(eq_pot_temp(temp, dewp, pr), 1000.0f);
}

// Temperature at pr between (p1, t1) and (p2, t2), linear in ln p (the
// usual log-pressure interpolation).  One missing temperature gives the
// other, both missing -9999; non-positive pressures give -9999.
float interp_temp(float t1, float t2, float p1, float p2, float pr) {
    if (p1 <= 0.0f || p2 <= 0.0f || pr <= 0.0f) return MISSING_F;
    if (t1 == MISSING_F && t2 == MISSING_F) return MISSING_F;
    if (t1 == MISSING_F) return t2;
    if (t2 == MISSING_F) return t1;
    if (p1 == p2) return t1;
    double r = std::log(static_cast<double>(pr) / p1) * (static_cast<double>(t2) - t1) /
               std::log(static_cast<double>(p1) / p2);
    return static_cast<float>(t1 - r);
}
