// Tests of the layer means, stability indices, parcel ascent and wind
// analyses, on hand-built soundings with answers worked out on paper and on
// an observed tornado-day sounding.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sounding/sounding_io.h"

using namespace sounding_test;

namespace {
// Levels every 50 mb from p0 up to ptop along a dry adiabat of theta (K),
// dew point dep degrees below the temperature, heights hypsometric from h0.
std::vector<UPA_level> dry_adiabatic(float theta, float p0, float ptop, float h0, float dep) {
    std::vector<UPA_level> v;
    for (float p = p0; p >= ptop - 0.01f; p -= 50.0f) {
        float t = temp_on_dryad(theta, p) - 273.15f;
        v.push_back({p, M, t, t - dep, M, M});
    }
    v[0].h = h0;
    fill_heights(v);
    return v;
}

// A standard-atmosphere-like column with moisture and winds.
std::vector<UPA_level> standard(float t0, float dep0) {
    std::vector<UPA_level> v;
    for (float p = 1000.0f; p >= 100.0f; p -= 50.0f) v.push_back({p, M, M, M, M, M});
    v[0].h = 100.0f;
    v[0].t = t0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i > 0) {
            // 6.5 K/km roughly: 0.65 C per 100 m, with heights from the
            // previous level.
            double R = 287.05, g = 9.8;
            double tprev = v[i - 1].t + 273.15;
            double dz = R * tprev / g * std::log(v[i - 1].p / v[i].p);
            v[i].t = static_cast<float>(v[i - 1].t - 0.0065 * dz);
            v[i].h = static_cast<float>(v[i - 1].h + dz);
        }
        if (v[i].p < 250.0f) v[i].t = v[std::max<std::size_t>(i, 1) - 1].t;  // stratosphere
        v[i].td = v[i].t - dep0 - 0.01f * (1000.0f - v[i].p);
        v[i].dir = 250.0f;
        v[i].spd = 20.0f;
    }
    fill_heights(v);
    return v;
}
}  // namespace

// ---------------------------------------------------------------------------

TEST(LapseRate, DryAdiabaticLayerIsGOverCp) {
    auto v = dry_adiabatic(300.0f, 1000.0f, 300.0f, 100.0f, 10.0f);
    float lr = lapse_rate(v.data(), (int)v.size(), 100, 700.0f, 500.0f);
    // g/cp with cp = R/0.286 = 1003.7: 9.764 K/km.
    EXPECT_NEAR(lr * 1000.0f, 9.8f / (287.05f / 0.286f) * 1000.0f, 0.05f);
    // Equal heights or missing values give missing.
    EXPECT_EQ(lapse_rate(v.data(), (int)v.size(), 100, 700.0f, 700.0f), M);
    EXPECT_EQ(lapse_rate(v.data(), (int)v.size(), 100, 700.0f, 50.0f), M);
    EXPECT_EQ(lapse_rate(nullptr, 0, 100, 700.0f, 500.0f), M);
}

TEST(Thickness, AbsoluteHeightDifference) {
    auto v = standard(15.0f, 5.0f);
    int n = (int)v.size();
    EXPECT_NEAR(thickness(v.data(), n, 100, 1000.0f, 500.0f), v[10].h - v[0].h, 0.01f);
    EXPECT_NEAR(thickness(v.data(), n, 100, 500.0f, 1000.0f), v[10].h - v[0].h, 0.01f);
    EXPECT_NEAR(thickness(v.data(), n, 103, 1000.0f, 3000.0f), 2000.0f, 0.01f);
    EXPECT_EQ(thickness(v.data(), n, 100, 1100.0f, 500.0f), M);
}

TEST(MaxTemperature, TopOfLayerBroughtDownDryAdiabatically) {
    auto v = standard(15.0f, 5.0f);
    int n = (int)v.size();
    float t850 = v[3].t;  // 850 mb
    float expect = temp_on_dryad(pot_temp(K(t850), 850.0f), 1000.0f);
    EXPECT_NEAR(max_temperature(v.data(), n, 100, 1000.0f, 150.0f), expect, 1e-3f);
    EXPECT_EQ(max_temperature(v.data(), n, 100, M, 150.0f), M);
}

TEST(PrecipitableWater, SumOfMeanSpecificHumidityTimesPressureStep) {
    std::vector<UPA_level> v = {{1000, 100, 20, 15, M, M}, {900, 1000, 14, M, M, M},
                                {850, 1500, 10, 8, M, M}, {700, 3000, 0, -5, M, M}};
    double q0 = spec_hum(K(15), 1000), q2 = spec_hum(K(8), 850), q3 = spec_hum(K(-5), 700);
    double expect = (q0 + q2) / 2000 / 2.4892 * 150 + (q2 + q3) / 2000 / 2.4892 * 150;
    EXPECT_NEAR(precip_water(v.data(), 4), expect, 1e-5);
    // Fewer than 3 levels, a start above 500 mb, or three dry lowest levels.
    EXPECT_EQ(precip_water(v.data(), 2), M);
    std::vector<UPA_level> high = {{450, 6500, -20, -30, M, M}, {400, 7300, -25, -35, M, M},
                                   {300, 9300, -40, -50, M, M}};
    EXPECT_EQ(precip_water(high.data(), 3), M);
    v[0].td = v[2].td = M;
    EXPECT_EQ(precip_water(v.data(), 4), M);
}

TEST(FreezingLevel, CrossingsAndSurfaceBelowFreezing) {
    std::vector<UPA_level> v = {{1000, 100, 5, 0, M, M}, {900, 1000, M, M, M, M},
                                {800, 2000, -5, -10, M, M}};
    // Linear in temperature between 1000 and 800 mb: 900 mb.
    EXPECT_NEAR(freezing_level(v.data(), 3), 900.0f, 1e-3f);
    v[0].t = -2.0f;
    EXPECT_EQ(freezing_level(v.data(), 3), -1.0f);
    // Below freezing at the ground with a warm layer aloft: still -1.
    v[2].t = 3.0f;
    EXPECT_EQ(freezing_level(v.data(), 3), -1.0f);
    std::vector<UPA_level> warm = {{1000, 100, 25, 20, M, M}, {800, 2000, 15, 10, M, M}};
    EXPECT_EQ(freezing_level(warm.data(), 2), M);
    std::vector<UPA_level> high = {{450, 6500, -20, -30, M, M}, {400, 7300, -25, -35, M, M}};
    EXPECT_EQ(freezing_level(high.data(), 2), M);
    EXPECT_EQ(freezing_level(nullptr, 0), M);
}

TEST(WetBulbZero, FallThroughZeroOrBelowGround) {
    std::vector<UPA_level> v = {{1000, 100, 10, 5, M, M}, {800, 2000, -2, -8, M, M}};
    float w0 = wet_bulb(K(10), K(5), 1000) - 273.15f;
    float w1 = wet_bulb(K(-2), K(-8), 800) - 273.15f;
    ASSERT_GT(w0, 0.0f);
    ASSERT_LT(w1, 0.0f);
    EXPECT_NEAR(wet_bulb_zero(v.data(), 2), 1000.0f + (0.0f - w0) * (800.0f - 1000.0f) / (w1 - w0),
                1e-2f);
    v[0] = {1000, 100, 1, -6, M, M};  // wet bulb below zero at the ground
    EXPECT_EQ(wet_bulb_zero(v.data(), 2), -1.0f);
    std::vector<UPA_level> high = {{450, 6500, -20, -30, M, M}, {400, 7300, -25, -35, M, M}};
    EXPECT_EQ(wet_bulb_zero(high.data(), 2), M);
}

TEST(Totals, HandComputedIndices) {
    std::vector<UPA_level> v = {{850, 1500, 20, 14, 200, 30},
                                {700, 3100, 8, 2, 220, 40},
                                {500, 5800, -12, -20, 250, 50}};
    EXPECT_FLOAT_EQ(total_totals(v.data(), 3), 58.0f);
    EXPECT_FLOAT_EQ(vertical_totals(v.data(), 3), 32.0f);
    EXPECT_FLOAT_EQ(cross_totals(v.data(), 3), 26.0f);
    EXPECT_FLOAT_EQ(k_index(v.data(), 3), 40.0f);
    // SWEAT: 12 Td850 + 20 (TT - 49) + 2 spd850 + spd500 + shear term.
    double sweat = 12 * 14 + 20 * 9 + 2 * 30 + 50 + 125 * (std::sin(50 * M_PI / 180) + 0.2);
    EXPECT_NEAR(sweat_index(v.data(), 3), sweat, 1e-3);
    // A 500 mb wind backing from the 850 mb wind adds no shear term.
    v[0].dir = 240;
    v[2].dir = 230;
    EXPECT_NEAR(sweat_index(v.data(), 3), 12 * 14 + 20 * 9 + 2 * 30 + 50, 1e-3);
    // Light winds: no shear term either.
    v[0].dir = 200;
    v[2].dir = 250;
    v[0].spd = 10;
    EXPECT_NEAR(sweat_index(v.data(), 3), 12 * 14 + 20 * 9 + 2 * 10 + 50, 1e-3);
    // A negative 850 dew point and low totals contribute nothing.
    v[0].td = -2;
    v[2].t = -5;
    EXPECT_NEAR(sweat_index(v.data(), 3), 2 * 10 + 50, 1e-3);
    // Missing inputs: no dew point at or above 700 mb.
    v[1].td = v[2].td = M;
    EXPECT_EQ(k_index(v.data(), 3), M);
    v[0].dir = M;
    EXPECT_EQ(sweat_index(v.data(), 3), M);
    EXPECT_EQ(total_totals(v.data(), 0), M);
}

// The value itself is checked in the observed sounding's report.
TEST(EnergyIndex, MissingHeightGivesMissing) {
    std::vector<UPA_level> v = {{850, 1500, 20, 14, M, M}, {500, M, -12, -20, M, M}};
    EXPECT_EQ(energy_index(v.data(), 2), M);
    v[1].h = 5800;
    EXPECT_NE(energy_index(v.data(), 2), M);
}

TEST(LayerMeans, LogPressureTrapezoidAndNamedQuantities) {
    auto v = dry_adiabatic(300.0f, 1000.0f, 500.0f, 100.0f, 10.0f);
    int n = (int)v.size();
    float w, o;
    EXPECT_EQ(layer_parcel_mean(v.data(), n, 100, 1000.0f, 900.0f, &w, &o), 0);
    EXPECT_NEAR(o, 300.0f, 0.01f);  // constant potential temperature
    EXPECT_GT(w, mix_ratio(K(v[2].td), 900.0f));
    EXPECT_LT(w, mix_ratio(K(v[0].td), 1000.0f));
    // A single level: its own values.
    layer_parcel_mean(v.data(), 1, 100, 1000.0f, 900.0f, &w, &o);
    EXPECT_NEAR(w, mix_ratio(K(v[0].td), 1000.0f), 1e-5f);
    EXPECT_NEAR(o, pot_temp(K(v[0].t), 1000.0f), 1e-4f);
    // Mean pressure-height: linear in ln p, so the mean is the middle height.
    float hb = v[0].h, ht = v[4].h;
    EXPECT_NEAR(mean_value("theta", v.data(), n, 100, 1000.0f, 800.0f), 300.0f, 0.01f);
    EXPECT_NEAR(mean_value("dewd", v.data(), n, 100, 1000.0f, 800.0f), 10.0f, 1e-3f);
    EXPECT_NEAR(mean_value("HGHT", v.data(), n, 100, 1000.0f, 800.0f), (hb + ht) / 2.0f, 15.0f);
    EXPECT_NEAR(mean_value("temp", v.data(), n, 100, 900.0f, 900.0f), v[2].t, 1e-4f);
    EXPECT_EQ(mean_value("bogus", v.data(), n, 100, 1000.0f, 800.0f), M);
    EXPECT_EQ(mean_value(nullptr, v.data(), n, 100, 1000.0f, 800.0f), M);
    for (const char *name : {"temp", "dewp", "rhum", "theta", "dewd", "mrat", "shum", "vpres",
                             "wetblb", "thetaw", "thetae", "thetav", "vtemp", "hght", "pres"})
        EXPECT_NE(mean_value(name, v.data(), n, 100, 1000.0f, 700.0f), M) << name;
    float rh = mean_value("rhum", v.data(), n, 100, 1000.0f, 700.0f);
    EXPECT_GT(rh, 40.0f);
    EXPECT_LT(rh, 60.0f);
}

TEST(ThetaEIndex, LargestDecreaseOfAPotentiallyUnstableLayer) {
    // Theta-e falls from 1000 to 700 mb (dry air aloft) and rises above.
    std::vector<UPA_level> v = {{1000, 100, 25, 22, M, M}, {900, 1000, 18, 12, M, M},
                                {800, 2000, 12, 0, M, M},  {700, 3100, 5, -20, M, M},
                                {600, 4300, 0, -25, M, M}, {500, 5800, -8, -30, M, M}};
    THETAE_params tp;
    ASSERT_EQ(thetae_index(v.data(), 6, &tp), 0);
    auto te = [&](int i) { return eq_pot_temp(K(v[i].t), K(v[i].td), v[i].p); };
    ASSERT_GT(te(0), te(1));
    ASSERT_GT(te(2), te(3));
    ASSERT_LT(te(3), te(4));
    EXPECT_NEAR(tp.index, te(0) - te(3), 0.01f);
    EXPECT_EQ(tp.base, 900.0f);  // the level after the last one below the layer
    EXPECT_EQ(tp.top, 600.0f);
    EXPECT_NEAR(tp.max, te(0), 1e-3f);
    EXPECT_EQ(tp.maxp, 1000.0f);
    EXPECT_NEAR(tp.min, te(3), 1e-3f);
    EXPECT_EQ(tp.minp, 700.0f);
    // A sounding starting above 700 mb.
    EXPECT_EQ(thetae_index(v.data() + 4, 2, &tp), -1);
    EXPECT_EQ(tp.index, M);
    EXPECT_NE(tp.max, M);
    EXPECT_EQ(thetae_index(v.data(), 0, &tp), -1);
    // A level without pressure right after the layer cannot be its edge:
    // the next level with one is.
    std::vector<UPA_level> w = v;
    w.insert(w.begin() + 4, UPA_level{M, 3700, M, M, M, M});
    THETAE_params tw;
    ASSERT_EQ(thetae_index(w.data(), 7, &tw), 0);
    EXPECT_EQ(tw.top, 600.0f);
    EXPECT_EQ(tw.base, 900.0f);
    EXPECT_NEAR(tw.index, te(0) - te(3), 0.01f);
}

TEST(ConvectiveCondensation, MixingRatioLineMeetsTheTemperatureCurve) {
    auto v = standard(25.0f, 8.0f);
    int n = (int)v.size();
    float wbar;
    float ccl = pr_ccl(v.data(), n, 100, 1000.0f, 0.0f, &wbar);
    EXPECT_NEAR(wbar, mix_ratio(K(v[0].td), 1000.0f), 1e-4f);
    ASSERT_GT(ccl, 500.0f);
    ASSERT_LT(ccl, 1000.0f);
    UPA_level e;
    UPA_interp(v.data(), n, 100, ccl, &e);
    EXPECT_NEAR(temp_on_mixrat(wbar, ccl), K(e.t), 0.1f);
    // With a layer mean the moisture is lower and the CCL higher.
    float wl;
    float ccl2 = pr_ccl(v.data(), n, 100, 1000.0f, 100.0f, &wl);
    EXPECT_LT(wl, wbar);
    EXPECT_LT(ccl2, ccl);
    // Single level; start above 500 mb; no levels.
    EXPECT_EQ(pr_ccl(v.data(), 1, 100, 1000.0f, 0.0f, &wl), 0.0f);
    EXPECT_NEAR(wl, mix_ratio(K(v[0].td), 1000.0f), 1e-4f);
    EXPECT_EQ(pr_ccl(v.data() + 12, n - 12, 100, 400.0f, 0.0f, &wl), M);
    EXPECT_EQ(wl, M);
    EXPECT_EQ(pr_ccl(nullptr, 0, 100, 1000.0f, 0.0f, &wl), M);
    // A saturated first level: the answer is that level's pressure.
    v[0].td = v[0].t + 2.0f;
    v[1].t = v[1].td = v[0].t - 1.0f;
    float c3 = pr_ccl(v.data(), n, 100, 1000.0f, 0.0f, &wl);
    EXPECT_EQ(c3, 1000.0f);
}

TEST(ConvectiveCondensation, NoCrossingGivesMinusOne) {
    // Extremely dry air under a warming profile never meets its line.
    std::vector<UPA_level> v = {{1000, 100, 20, -40, M, M}, {900, 1000, 22, -45, M, M},
                                {800, 2000, 24, -50, M, M}};
    float w;
    EXPECT_EQ(pr_ccl(v.data(), 3, 100, 1000.0f, 0.0f, &w), -1.0f);
}

TEST(LiftedIndex, DryAndSaturatedPathsAndGuards) {
    auto v = standard(25.0f, 3.0f);
    int n = (int)v.size();
    // Surface parcel, no mixing: by hand from the scalar functions.
    float pl = lcl_pres(K(v[0].t), K(v[0].td), 1000.0f);
    float tl = lcl_temp(K(v[0].t), 1000.0f, pl);
    float tp = temp_on_satad(thetae_on_satad(tl, pl), 500.0f);
    EXPECT_NEAR(lifted_index(v.data(), n, 100, 1000.0f, 0.0f, 500.0f), v[10].t - (tp - 273.15f),
                1e-3f);
    // A top below the condensation level follows the dry adiabat.
    float tdry = temp_on_dryad(pot_temp(K(v[0].t), 1000.0f), 975.0f);
    UPA_level e;
    UPA_interp(v.data(), n, 100, 975.0f, &e);
    ASSERT_GT(975.0f, pl);
    EXPECT_NEAR(lifted_index(v.data(), n, 100, 1000.0f, 0.0f, 975.0f), e.t - (tdry - 273.15f),
                1e-3f);
    // Starts above 500 mb, missing top temperature, no levels.
    EXPECT_EQ(lifted_index(v.data() + 11, n - 11, 100, 450.0f, 0.0f, 300.0f), M);
    EXPECT_EQ(lifted_index(v.data(), n, 100, 1000.0f, 0.0f, 50.0f), M);
    EXPECT_EQ(lifted_index(nullptr, 0, 100, 1000.0f, 0.0f, 500.0f), M);
}

TEST(CapStrength, InversionAboveTheCondensationLevel) {
    auto v = standard(25.0f, 2.0f);
    int n = (int)v.size();
    float plain = cap_strength(v.data(), n, 100, 1000.0f, 0.0f);
    v[2].t += 8.0f;  // a warm nose at 900 mb
    v[3].t += 6.0f;
    float capped = cap_strength(v.data(), n, 100, 1000.0f, 0.0f);
    EXPECT_GT(capped, plain + 4.0f);
    EXPECT_EQ(cap_strength(v.data(), n, 100, M, 0.0f), M);
    EXPECT_EQ(cap_strength(nullptr, 0, 100, 1000.0f, 0.0f), M);
}

TEST(Parcel, NeverBuoyant) {
    // A warm, stable column (isothermal) with dry air: no free convection.
    std::vector<UPA_level> v;
    for (float p = 1000.0f; p >= 200.0f; p -= 50.0f) v.push_back({p, M, 10.0f, -20.0f, M, M});
    v[0].h = 100.0f;
    fill_heights(v);
    PARCEL_params pp;
    ASSERT_EQ(parcel_calc(v.data(), (int)v.size(), nullptr, 100, 1000.0f, 0.0f, &pp), 1);
    EXPECT_EQ(pp.lfc, -1.0f);
    EXPECT_EQ(pp.el, M);
    EXPECT_EQ(pp.mpl, M);
    EXPECT_EQ(pp.Bplus, 0.0f);
    EXPECT_EQ(pp.wmax, 0.0f);
    EXPECT_GT(pp.Bminus, 100.0f);
    EXPECT_GT(pp.cap, 0.0f);
}

TEST(Parcel, NoLevelsOrMissingBottom) {
    PARCEL_params pp;
    EXPECT_EQ(parcel_calc(nullptr, 0, nullptr, 100, 1000.0f, 0.0f, &pp), 0);
    EXPECT_EQ(pp.Bplus, M);
    EXPECT_EQ(pp.Bminus, M);
    EXPECT_EQ(pp.wmax, M);
    EXPECT_EQ(pp.cap, M);
    EXPECT_EQ(pp.lfc, M);
    std::vector<UPA_level> v = {{1000, 100, 20, 10, M, M}, {900, 1000, 12, 5, M, M}};
    EXPECT_EQ(parcel_calc(v.data(), 2, nullptr, 100, M, 0.0f, &pp), 0);
    EXPECT_EQ(pp.lfc, M);
}

TEST(Parcel, EnergyOfOneStep) {
    UPA_level p1{900, M, 12, M, M, M}, p2{800, M, 6, M, M, M};
    UPA_level e1{900, 1000, 10, M, M, M}, e2{800, 2000, 4, M, M, M};
    // 9.8 (9 - 7) / (7 + 273.15) * 1000
    EXPECT_NEAR(energy_calc(&p1, &p2, &e1, &e2), 9.8 * 2.0 / 280.15 * 1000.0, 1e-3);
    e1.t = e2.t = M;
    EXPECT_EQ(energy_calc(&p1, &p2, &e1, &e2), 0.0f);
}

TEST(Parcel, ObservedTornadoDaySounding) {
    auto rows = read_observed(data_path("20110522_OUN_12Z.txt"));
    auto v = levels_of(rows);
    int n = (int)v.size();
    UPA_level start;
    UPA_level_init(&start);
    PARCEL_params pp;
    ASSERT_EQ(parcel_calc(v.data(), n, &start, 100, v[0].p, 100.0f, &pp), 1);
    // The built starting parcel is handed back at the bottom pressure.
    EXPECT_EQ(start.p, v[0].p);
    EXPECT_NE(start.t, M);
    // A very unstable, capped morning sounding.
    EXPECT_GT(pp.Bplus, 2000.0f);
    EXPECT_GT(pp.Bminus, 20.0f);
    EXPECT_NEAR(pp.wmax, std::sqrt(2.0f * pp.Bplus), 1e-3f);
    EXPECT_LT(pp.plcl, v[0].p);
    EXPECT_GT(pp.lfc, 600.0f);
    EXPECT_LT(pp.lfc, pp.plcl);
    EXPECT_LT(pp.el, 300.0f);
    EXPECT_GT(pp.el, 100.0f);
    EXPECT_NEAR(pp.Satad, thetae_on_satad(pp.tlcl, pp.plcl), 1e-3f);
    EXPECT_GT(pp.cap, 0.0f);
    // Given the same start, the same answer.
    PARCEL_params again;
    parcel_calc(v.data(), n, &start, 100, v[0].p, 0.0f, &again);
    EXPECT_FLOAT_EQ(again.Bplus, pp.Bplus);
    // The nearly saturated surface parcel (no mixing) condenses lower down.
    PARCEL_params sfc;
    parcel_calc(v.data(), n, nullptr, 100, v[0].p, 0.0f, &sfc);
    EXPECT_GT(sfc.plcl, pp.plcl);
    EXPECT_GT(sfc.plcl, 940.0f);
    EXPECT_GT(sfc.Bplus, 1000.0f);
    // Equilibrium level energy does not exceed CAPE.
    EXPECT_LE(pp.Bel, pp.Bplus);
}

TEST(Parcel, DryStepsTakeTheEnvironmentAtTheirPressure) {
    // Dry surface air under a 6.5 K/km column cut at 800 mb, just below the
    // condensation level: all the energy is dry ascent.  The parcel falls
    // behind by 3.3 K per km over about 1.9 km, so on paper the inhibition
    // is roughly 9.8 * 3.1 / 285 * 1800, near 190 J/kg.
    auto full = standard(25.0f, 15.0f);
    int n = 5;
    PARCEL_params a, b;
    ASSERT_EQ(parcel_calc(full.data(), n, nullptr, 100, 1000.0f, 0.0f, &a), 1);
    ASSERT_LT(a.plcl, 810.0f);
    ASSERT_GT(a.plcl, 795.0f);
    EXPECT_NEAR(a.Bminus, 190.0f, 15.0f);
    EXPECT_EQ(a.Bplus, 0.0f);
    // Without the 900 mb height the environment there is interpolated: the
    // inhibition stays (nearly) the same instead of losing two dry steps.
    auto holed = full;
    holed[2].h = M;
    ASSERT_EQ(parcel_calc(holed.data(), n, nullptr, 100, 1000.0f, 0.0f, &b), 1);
    EXPECT_NEAR(b.Bminus, a.Bminus, 0.01f * a.Bminus);
}

TEST(Parcel, EquilibriumAndMaximumParcelLevels) {
    // A moist, conditionally unstable troposphere under a stratosphere
    // warming 5 K per 50 mb: the parcel becomes buoyant, crosses back near
    // the tropopause and overshoots until its negative area above the
    // equilibrium level uses up the positive area.
    auto v = standard(28.0f, 1.0f);
    int n = (int)v.size();
    for (int i = 1; i < n; ++i)
        if (v[i].p < 250.0f) v[i].t = v[i - 1].t + 5.0f;
    fill_heights(v);
    PARCEL_params pp;
    ASSERT_EQ(parcel_calc(v.data(), n, nullptr, 100, 1000.0f, 0.0f, &pp), 1);
    ASSERT_GT(pp.Bplus, 1000.0f);
    EXPECT_LT(pp.lfc, pp.plcl);
    EXPECT_LT(pp.el, pp.lfc);
    EXPECT_GT(pp.el, 150.0f);
    EXPECT_LE(pp.Bel, pp.Bplus);
    EXPECT_GT(pp.Bel, 0.9f * pp.Bplus);
    ASSERT_NE(pp.mpl, M);
    EXPECT_LT(pp.mpl, pp.el);
    EXPECT_GT(pp.mpl, 100.0f);
    // The first step where the overshoot has spent all of CAPE: at most one
    // 10 mb step's energy below zero (about 9.8 * 40 / 240 * 700 up there).
    EXPECT_LE(pp.Bmpl, 0.0f);
    EXPECT_GT(pp.Bmpl, -1500.0f);
    EXPECT_NEAR(std::fmod(pp.plcl - pp.mpl, 10.0f), 5.0f, 1e-2f);
    // Without the warm stratosphere the parcel never spends its energy
    // before the top: no maximum parcel level.
    auto cold = standard(28.0f, 1.0f);
    PARCEL_params pc;
    ASSERT_EQ(parcel_calc(cold.data(), n, nullptr, 100, 1000.0f, 0.0f, &pc), 1);
    EXPECT_NE(pc.el, M);
    EXPECT_EQ(pc.mpl, M);
    EXPECT_EQ(pc.Bmpl, M);
    // Moist steps are 10 mb, so the levels are step mid-points.
    EXPECT_NEAR(std::fmod(pp.plcl - pp.el, 10.0f), 5.0f, 1e-2f);
    EXPECT_NEAR(std::fmod(pp.plcl - pp.lfc, 10.0f), 5.0f, 1e-2f);
}

TEST(Parcel, StartAbove500mbStillClimbs) {
    auto v = standard(20.0f, 2.0f);
    int n = (int)v.size();
    PARCEL_params pp;
    EXPECT_EQ(parcel_calc(v.data() + 11, n - 11, nullptr, 100, 450.0f, 0.0f, &pp), 1);
    EXPECT_NE(pp.plcl, M);
}

// ---------------------------------------------------------------------------
// Winds

namespace {
// Constant speed, direction veering linearly from d0 at the ground to d1 at
// 3000 m, levels every 250 m.
std::vector<UPA_level> veering(float d0, float d1, float spd) {
    std::vector<UPA_level> v;
    double R = 287.05, g = 9.8;
    double p = 1000.0;
    for (int i = 0; i <= 16; ++i) {
        float h = 250.0f * i;
        float dir = h <= 3000.0f ? d0 + (d1 - d0) * h / 3000.0f : d1;
        v.push_back({static_cast<float>(p), h, 15.0f - 0.0065f * h, 5.0f - 0.0065f * h, dir, spd});
        p = p * std::exp(-250.0 * g / (R * (288.15 - 0.0065 * (h + 125))));
    }
    return v;
}
}  // namespace

TEST(LayerWindMean, ConstantWindAndOpposingWinds) {
    auto v = veering(250.0f, 250.0f, 30.0f);
    int n = (int)v.size();
    WIND w;
    EXPECT_EQ(layer_wind_mean(v.data(), n, 103, 0.0f, 3000.0f, &w), 1);
    EXPECT_NEAR(w.dir, 250.0f, 1e-3f);
    EXPECT_NEAR(w.spd, 30.0f, 1e-3f);
    // Top below bottom, no levels, a single level.
    EXPECT_EQ(layer_wind_mean(v.data(), n, 103, 3000.0f, 0.0f, &w), -1);
    EXPECT_EQ(w.dir, M);
    EXPECT_EQ(layer_wind_mean(v.data(), n, 100, 700.0f, 800.0f, &w), -1);
    EXPECT_EQ(layer_wind_mean(nullptr, 0, 103, 0.0f, 100.0f, &w), -1);
    EXPECT_EQ(layer_wind_mean(v.data(), 1, 103, 0.0f, 100.0f, &w), 0);
    EXPECT_EQ(w.spd, 30.0f);
    // Bottom only.
    EXPECT_EQ(layer_wind_mean(v.data(), n, 103, 500.0f, M, &w), 1);
    EXPECT_EQ(w.spd, 30.0f);
    // The mean speed is not the length of the mean vector.
    std::vector<UPA_level> opp = {{1000, 0, 10, 0, 180, 20}, {900, 1000, 5, 0, 270, 20}};
    layer_wind_mean(opp.data(), 2, 103, 0.0f, 1000.0f, &w);
    EXPECT_NEAR(w.spd, 20.0f, 1e-3f);
    EXPECT_NEAR(w.dir, 225.0f, 1e-3f);
    // A top above the winds: computed, but 0.
    EXPECT_EQ(layer_wind_mean(opp.data(), 2, 103, 0.0f, 5000.0f, &w), 0);
}

TEST(Shear, VeeringProfilePutsEverythingIntoPositiveShear) {
    auto v = veering(180.0f, 270.0f, 20.0f);
    int n = (int)v.size();
    WIND storm{225.0f, 10.0f};
    SHEAR_params s;
    EXPECT_EQ(shear_layer(v.data(), n, 103, 0.0f, 3000.0f, &storm, &s), 1);
    EXPECT_EQ(s.neg_shr, 0.0f);
    // The 500 m differences add up to the whole change: |v(270) - v(180)|.
    double len = 20.0 * 0.5144 * std::sqrt(2.0);
    EXPECT_NEAR(s.pos_shr, len / 3000.0, 1e-6);
    // Backing: all negative.
    auto b = veering(270.0f, 180.0f, 20.0f);
    shear_layer(b.data(), n, 103, 0.0f, 3000.0f, &storm, &s);
    EXPECT_EQ(s.pos_shr, 0.0f);
    EXPECT_NEAR(s.neg_shr, len / 3000.0, 1e-6);
}

TEST(Shear, HalfTurnCountsAsBacking) {
    std::vector<UPA_level> v = {{1000, 0, 10, 0, 90, 20}, {940, 500, 7, 0, 270, 20}};
    SHEAR_params s;
    shear_layer(v.data(), 2, 103, 0.0f, 500.0f, nullptr, &s);
    EXPECT_EQ(s.pos_shr, 0.0f);
    EXPECT_NEAR(s.neg_shr, 40.0 * 0.5144 / 500.0, 1e-6);
}

TEST(Shear, HighStartsAndMissingHeights) {
    auto v = veering(180.0f, 270.0f, 20.0f);
    for (auto &l : v) l.h += 5200.0f;
    SHEAR_params s;
    EXPECT_EQ(shear_layer(v.data(), (int)v.size(), 103, 5200.0f, 8200.0f, nullptr, &s), 0);
    EXPECT_EQ(s.pos_shr, M);
    EXPECT_EQ(s.neg_shr, M);
    HELICITY_params h;
    WIND storm{225.0f, 10.0f};
    EXPECT_EQ(helicity(v.data(), (int)v.size(), 103, 5200.0f, 8200.0f, &storm, &h), 0);
    EXPECT_EQ(h.pos_hel, M);
    // A top above the data: steps without wind add no depth (data to 4000 m).
    auto w = veering(180.0f, 270.0f, 20.0f);
    EXPECT_EQ(shear_layer(w.data(), (int)w.size(), 103, 0.0f, 9000.0f, nullptr, &s), 1);
    EXPECT_NEAR(s.pos_shr, 20.0 * 0.5144 * std::sqrt(2.0) / 4000.0, 1e-6);
    // A pressure top with no height: bad layer.
    EXPECT_EQ(shear_layer(w.data(), (int)w.size(), 100, 1000.0f, 100.0f, nullptr, &s), -1);
}

TEST(Helicity, VeeringProfileWithASlowStorm) {
    auto v = veering(180.0f, 270.0f, 20.0f);
    int n = (int)v.size();
    // A storm at rest: each 100 m step adds s^2 sin(3 deg).
    WIND calm{0.0f, 0.0f};
    HELICITY_params h;
    EXPECT_EQ(helicity(v.data(), n, 103, 0.0f, 3000.0f, &calm, &h), 1);
    double s = 20.0 * 0.5144;
    EXPECT_NEAR(h.pos_hel, 30.0 * s * s * std::sin(3.0 * M_PI / 180.0), 0.05);
    EXPECT_EQ(h.neg_hel, 0.0f);
    EXPECT_FLOAT_EQ(h.tot_hel, h.pos_hel);
    EXPECT_NEAR(h.ave_hel, h.tot_hel / 3000.0f, 1e-6f);
    EXPECT_NEAR(h.dir_shr, 90.0f, 1e-2f);
    // Pure turning at constant speed: all vorticity streamwise.
    EXPECT_NEAR(h.rel_hel, 1.0f, 1e-4f);
    EXPECT_NEAR(h.hor_vort, s * (3.0 * M_PI / 180.0) / 100.0, 1e-6);
    EXPECT_NEAR(h.stm_vort, h.hor_vort, 1e-7f);
    // A storm slower than the wind keeps the helicity positive.
    WIND slow{225.0f, 8.0f};
    helicity(v.data(), n, 103, 0.0f, 3000.0f, &slow, &h);
    EXPECT_GT(h.pos_hel, 0.0f);
    EXPECT_GT(h.tot_hel, 0.0f);
}

TEST(Helicity, NoWindOrTooFewLevels) {
    std::vector<UPA_level> v = {{1000, 0, 10, 0, M, M}, {900, 1000, 5, 0, M, M}};
    WIND none{M, M};
    HELICITY_params h;
    EXPECT_EQ(helicity(v.data(), 2, 103, 0.0f, 3000.0f, &none, &h), 0);
    EXPECT_EQ(h.pos_hel, M);
    EXPECT_EQ(h.dir_shr, M);
    WIND storm{225.0f, 10.0f};
    EXPECT_EQ(helicity(v.data(), 1, 103, 0.0f, 3000.0f, &storm, &h), 0);
    EXPECT_EQ(h.tot_hel, M);
}

TEST(Helicity, TopAboveTheLastLevelFallsBackToIt) {
    auto v = veering(180.0f, 270.0f, 20.0f);
    v.resize(9);  // up to 2000 m
    WIND calm{0.0f, 0.0f};
    HELICITY_params h;
    EXPECT_EQ(helicity(v.data(), 9, 103, 0.0f, 3000.0f, &calm, &h), 0);
    double s = 20.0 * 0.5144;
    EXPECT_NEAR(h.pos_hel, 20.0 * s * s * std::sin(3.0 * M_PI / 180.0), 0.05);
}

TEST(BulkRichardson, ShearOfTheMeanWinds) {
    auto v = veering(250.0f, 250.0f, 30.0f);
    float brn, shear;
    // Constant wind: zero shear, number missing.
    EXPECT_EQ(bulk_richardson(v.data(), (int)v.size(), 103, 0.0f, 1000.0f, &brn, &shear), 0);
    EXPECT_EQ(brn, M);
    EXPECT_EQ(shear, 0.0f);
    // Speed growing with height: cape / (0.5 shear^2).
    for (auto &l : v) l.spd = 10.0f + l.h / 100.0f;
    ASSERT_EQ(bulk_richardson(v.data(), (int)v.size(), 103, 0.0f, 1000.0f, &brn, &shear), 0);
    WIND a, b;
    layer_wind_mean(v.data(), (int)v.size(), 103, 0.0f, 500.0f, &a);
    layer_wind_mean(v.data(), (int)v.size(), 103, 0.0f, 6000.0f, &b);
    EXPECT_NEAR(shear, (b.spd - a.spd) * 0.5144f, 1e-3f);
    EXPECT_NEAR(brn, 1000.0f / (0.5f * shear * shear), 1e-2f);
    EXPECT_EQ(bulk_richardson(v.data(), (int)v.size(), 103, 0.0f, -9999.0f, &brn, &shear), 0);
    EXPECT_EQ(brn, M);
    EXPECT_EQ(bulk_richardson(nullptr, 0, 103, 0.0f, 1000.0f, &brn, &shear), -1);
}

TEST(EnergyHelicity, PositiveHelicityTimesCape) {
    auto v = veering(180.0f, 270.0f, 20.0f);
    int n = (int)v.size();
    WIND calm{0.0f, 0.0f};
    HELICITY_params h;
    helicity(v.data(), n, 103, 0.0f, 2000.0f, &calm, &h);
    EXPECT_NEAR(energy_helicity(v.data(), n, 103, 0.0f, &calm, 2000.0f),
                h.pos_hel * 2000.0f / 160000.0f, 1e-4f);
    EXPECT_EQ(energy_helicity(v.data(), n, 103, 0.0f, &calm, M), M);
    EXPECT_EQ(energy_helicity(v.data(), n, 103, M, &calm, 2000.0f), M);
    EXPECT_EQ(energy_helicity(nullptr, 0, 103, 0.0f, &calm, 2000.0f), M);
}
