// Tests of the scalar thermodynamic functions: guard values, overloaded
// arguments, bounded iterations, and agreement with the derived columns of
// two observed radiosonde soundings.
#include <gtest/gtest.h>

#include <cmath>

#include "sounding/sounding_io.h"

using namespace sounding_test;

TEST(VaporPressure, GoffGratchValuesAndGuards) {
    // Triple point 6.11 mb; boiling point about 1013 mb (steam-point constants).
    EXPECT_NEAR(vapor_pr(273.16f), 6.11f, 0.01f);
    EXPECT_NEAR(vapor_pr(373.16f), 1013.25f, 2.0f);
    // WMO table: 20 C -> 23.37 mb, -20 C -> 1.254 mb over water.
    EXPECT_NEAR(vapor_pr(K(20.0f)), 23.37f, 0.05f);
    EXPECT_NEAR(vapor_pr(K(-20.0f)), 1.254f, 0.01f);
    EXPECT_EQ(vapor_pr(50.0f), 0.0f);
    EXPECT_EQ(vapor_pr(99.9f), 0.0f);
    EXPECT_EQ(vapor_pr(-1.0f), M);
    EXPECT_EQ(vapor_pr(M), M);
    EXPECT_EQ(temp_vapor_pr(0.0f), 0.0f);
    EXPECT_EQ(temp_vapor_pr(-3.0f), 0.0f);
    EXPECT_EQ(temp_vapor_pr(M), 0.0f);
}

// Each inverse undoes its function over the range of the atmosphere: the
// vapour-pressure curve, the dry adiabat, the mixing-ratio line and the
// saturated adiabat (whose 12 halvings of 120 K leave about 0.03 K).
TEST(Inverses, UndoTheirFunctions) {
    struct Case {
        const char *name;
        float tol;
        float (*round)(float t, float p);
    } cases[] = {
        {"temp_vapor_pr", 0.15f, [](float t, float) { return temp_vapor_pr(vapor_pr(t)); }},
        {"temp_on_dryad", 1e-3f, [](float t, float p) { return temp_on_dryad(pot_temp(t, p), p); }},
        {"temp_on_mixrat", 0.15f, [](float t, float p) { return temp_on_mixrat(mix_ratio(t, p), p); }},
        {"temp_on_satad", 0.06f, [](float t, float p) { return temp_on_satad(thetae_on_satad(t, p), p); }},
    };
    for (const Case &c : cases)
        for (float p : {1000.0f, 850.0f, 700.0f, 500.0f, 300.0f})
            for (float t = 243.15f; t <= 293.2f; t += 10.0f)
                EXPECT_NEAR(c.round(t, p), t, c.tol) << c.name << " " << p << " " << t;
}

TEST(MixingRatio, OverloadedTemperatureAndGuards) {
    // 10 is a vapour pressure, not a temperature.
    EXPECT_NEAR(mix_ratio(10.0f, 1000.0f), 622.0f * 10.0f / 990.0f, 1e-4f);
    EXPECT_NEAR(spec_hum(10.0f, 1000.0f), 6.22f, 1e-4f);
    // A temperature: the saturation value.
    float e = vapor_pr(K(20.0f));
    EXPECT_NEAR(mix_ratio(K(20.0f), 1000.0f), 622.0f * e / (1000.0f - e), 1e-3f);
    EXPECT_NEAR(spec_hum(K(20.0f), 1000.0f), 622.0f * e / 1000.0f, 1e-3f);
    EXPECT_EQ(mix_ratio(M, 1000.0f), M);
    EXPECT_EQ(mix_ratio(K(20.0f), M), M);
    EXPECT_EQ(spec_hum(M, 500.0f), M);
    EXPECT_EQ(mix_ratio(0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(mix_ratio(K(20.0f), 0.0f), 0.0f);
    EXPECT_EQ(mix_ratio(-5.0f, 1000.0f), 0.0f);
    EXPECT_EQ(spec_hum(K(20.0f), -1.0f), 0.0f);
}

TEST(DewPoint, HumidityClampedToTwoAndHundred) {
    float t = K(25.0f);
    EXPECT_EQ(dew_temp(t, 150.0f), dew_temp(t, 100.0f));
    EXPECT_NEAR(dew_temp(t, 100.0f), t, 0.1f);
    EXPECT_EQ(dew_temp(t, 0.0f), dew_temp(t, 2.0f));
    EXPECT_LT(dew_temp(t, 2.0f), t - 40.0f);
    // 50 % at 25 C: dew point 13.9 C.
    EXPECT_NEAR(dew_temp(t, 50.0f), K(13.9f), 0.2f);
    EXPECT_EQ(dew_temp(t, M), M);
    EXPECT_EQ(dew_temp(0.0f, 50.0f), M);
    EXPECT_EQ(dew_temp(M, 50.0f), M);
}

TEST(RelativeHumidity, TemperaturesOrVapourPressures) {
    EXPECT_NEAR(rel_hum(K(20.0f), K(20.0f)), 100.0f, 1e-3f);
    EXPECT_NEAR(rel_hum(K(25.0f), dew_temp(K(25.0f), 40.0f)), 40.0f, 0.3f);
    // Both 100 or less: a ratio of vapour pressures.
    EXPECT_NEAR(rel_hum(20.0f, 5.0f), 25.0f, 1e-4f);
    // No clamping: supersaturation shows.
    EXPECT_GT(rel_hum(K(10.0f), K(12.0f)), 100.0f);
    EXPECT_EQ(rel_hum(0.0f, K(10.0f)), M);
    EXPECT_EQ(rel_hum(K(10.0f), M), M);
}

TEST(PotentialTemperature, PoissonAndDryAdiabat) {
    EXPECT_NEAR(pot_temp(300.0f, 1000.0f), 300.0f, 1e-4f);
    EXPECT_NEAR(pot_temp(273.15f, 500.0f), 273.15f * std::pow(2.0f, 0.286f), 1e-3f);
    EXPECT_EQ(pot_temp(300.0f, 0.0f), M);
    EXPECT_EQ(pot_temp(0.0f, 850.0f), M);
    EXPECT_EQ(pot_temp(M, 850.0f), M);
    EXPECT_EQ(temp_on_dryad(0.0f, 700.0f), 0.0f);
    EXPECT_EQ(temp_on_dryad(300.0f, M), 0.0f);
}

TEST(VirtualTemperature, MixingRatioOrDewPoint) {
    EXPECT_EQ(virt_temp(300.0f, 0.0f, 1000.0f), 300.0f);
    // 10 g/kg given directly.
    EXPECT_NEAR(virt_temp(300.0f, 10.0f, 1000.0f), 300.0f * 1.00609f, 1e-3f);
    // A dew point: its saturation mixing ratio.
    float w = mix_ratio(K(15.0f), 900.0f);
    EXPECT_NEAR(virt_temp(K(20.0f), K(15.0f), 900.0f), K(20.0f) * (1.0f + 0.609f * w / 1000.0f),
                1e-3f);
    EXPECT_EQ(virt_temp(0.0f, 10.0f, 1000.0f), M);
    EXPECT_EQ(virt_temp(300.0f, -1.0f, 1000.0f), M);
    EXPECT_EQ(virt_temp(300.0f, 10.0f, -1.0f), M);
    EXPECT_EQ(virt_pot_temp(300.0f, 0.0f, 850.0f), pot_temp(300.0f, 850.0f));
    EXPECT_NEAR(virt_pot_temp(300.0f, 10.0f, 850.0f),
                std::pow(1000.0f / 850.0f, 0.286f) * virt_temp(300.0f, 10.0f, 850.0f), 1e-3f);
    EXPECT_EQ(virt_pot_temp(300.0f, M, 850.0f), M);
}

TEST(SaturatedAdiabat, GuardsAndColdDryParcel) {
    EXPECT_EQ(temp_on_satad(330.0f, 2500.0f), M);
    EXPECT_EQ(temp_on_satad(330.0f, 0.0f), M);
    EXPECT_EQ(temp_on_satad(0.0f, 500.0f), M);
    EXPECT_NE(temp_on_satad(330.0f, 2000.0f), M);
    EXPECT_EQ(thetae_on_satad(0.0f, 500.0f), 0.0f);
    EXPECT_EQ(thetae_on_satad(280.0f, 0.0f), 0.0f);
    EXPECT_EQ(temp_on_mixrat(0.0f, 1000.0f), 0.0f);
    EXPECT_EQ(temp_on_mixrat(5.0f, 0.0f), 0.0f);
    // A cold, dry parcel: theta-e close to theta.
    EXPECT_NEAR(thetae_on_satad(K(-60.0f), 300.0f), pot_temp(K(-60.0f), 300.0f), 0.2f);
}

TEST(SaturatedAdiabat, ResultLiesOnTheBisectionGrid) {
    // Starting at 253.16 K with steps of 60, 30, ... K, at most 12 of them:
    // every answer is 253.16 K plus a whole number of 120 / 2^12 K.  A
    // thirteenth step, or another start, leaves this grid for most inputs.
    const double grid = 120.0 / 4096.0;
    int off = 0;
    for (float p : {1000.0f, 925.0f, 850.0f, 700.0f, 500.0f, 400.0f, 300.0f, 200.0f}) {
        for (float pot : {290.0f, 305.0f, 318.5f, 333.3f, 350.0f, 371.0f}) {
            float t = temp_on_satad(pot, p);
            double k = (t - 253.16) / grid;
            if (std::fabs(k - std::round(k)) > 0.02) ++off;
            // No finer than the grid either: the last step moved by at least
            // 120 / 2^12 K, so the equation is met to about that.
            EXPECT_NEAR(thetae_on_satad(t, p), pot, 0.6f) << p << " " << pot;
        }
    }
    EXPECT_EQ(off, 0);
}

TEST(CondensationLevel, IterationAndGuards) {
    // Saturated at the surface: stays at the surface.
    EXPECT_NEAR(lcl_pres(K(20.0f), K(20.0f), 1000.0f), 1000.0f, 0.5f);
    // A 10 K dew-point depression lifts about 125 m per K: near 880 mb.
    float pl = lcl_pres(K(30.0f), K(20.0f), 1000.0f);
    EXPECT_GT(pl, 860.0f);
    EXPECT_LT(pl, 890.0f);
    // At the level the dry adiabat meets the mixing-ratio line.
    float tl = lcl_temp(K(30.0f), 1000.0f, pl);
    EXPECT_NEAR(tl, temp_on_mixrat(mix_ratio(K(20.0f), 1000.0f), pl), 0.3f);
    EXPECT_NEAR(tl, temp_on_dryad(pot_temp(K(30.0f), 1000.0f), pl), 1e-3f);
    EXPECT_EQ(lcl_pres(K(30.0f), K(20.0f), 1100.5f), M);
    EXPECT_NE(lcl_pres(K(30.0f), K(20.0f), 1100.0f), M);
    EXPECT_EQ(lcl_pres(100.0f, K(20.0f), 1000.0f), M);
    EXPECT_EQ(lcl_pres(K(30.0f), 100.0f, 1000.0f), M);
    EXPECT_EQ(lcl_pres(K(30.0f), K(20.0f), 0.0f), M);
    EXPECT_EQ(lcl_pres(M, K(20.0f), 1000.0f), M);
}

TEST(CondensationLevel, EightCorrectionsAtMost) {
    // A very dry parcel does not converge in 8 steps; the result is the
    // eighth correction, still well below the true level.
    float ts = K(40.0f), tds = K(-40.0f), ps = 1000.0f;
    float w = mix_ratio(tds, ps), th = pot_temp(ts, ps);
    double p = ps;
    for (int i = 0; i < 8; ++i) {
        double d = temp_on_mixrat(w, static_cast<float>(p)) - temp_on_dryad(th, static_cast<float>(p));
        if (d * d <= 0.0001) break;
        p = p * std::pow(2.0, 0.02 * d);
    }
    EXPECT_NEAR(lcl_pres(ts, tds, ps), static_cast<float>(p), 0.01f);
}

TEST(EquivalentPotentialTemperature, GuardsAndWetBulb) {
    EXPECT_EQ(eq_pot_temp(300.0f, 0.0f, 850.0f), pot_temp(300.0f, 850.0f));
    EXPECT_EQ(wet_bulb(300.0f, 0.0f, 850.0f), 0.0f);
    EXPECT_EQ(wet_bulb_pot_temp(300.0f, 0.0f, 850.0f), 0.0f);
    EXPECT_EQ(eq_pot_temp(0.0f, 280.0f, 850.0f), M);
    EXPECT_EQ(eq_pot_temp(300.0f, -1.0f, 850.0f), M);
    EXPECT_EQ(eq_pot_temp(300.0f, 280.0f, -1.0f), M);
    EXPECT_EQ(wet_bulb(300.0f, M, 850.0f), M);
    // Saturated air: the wet bulb is the temperature.
    EXPECT_NEAR(wet_bulb(K(15.0f), K(15.0f), 900.0f), K(15.0f), 0.1f);
    // The wet bulb lies between dew point and temperature.
    float wb = wet_bulb(K(30.0f), K(15.0f), 1000.0f);
    EXPECT_GT(wb, K(15.0f));
    EXPECT_LT(wb, K(30.0f));
    EXPECT_NEAR(wb, K(20.3f), 0.6f);  // psychrometric tables: 30/15 C at 1000 mb
    // At 1000 mb the wet-bulb potential temperature is the wet bulb.
    EXPECT_NEAR(wet_bulb_pot_temp(K(30.0f), K(15.0f), 1000.0f), wb, 0.06f);
}

TEST(ConvectiveTemperature, MixingRatioLineDownTheDryAdiabat) {
    float tc = temp_on_mixrat(12.0f, 800.0f);
    EXPECT_NEAR(conv_temp(12.0f, 800.0f, 1000.0f), tc * std::pow(1000.0f / 800.0f, 0.286f), 1e-3f);
}

TEST(InterpolatedTemperature, LogPressureAndMissing) {
    EXPECT_EQ(interp_temp(M, 250.0f, 500.0f, 400.0f, 450.0f), 250.0f);
    EXPECT_EQ(interp_temp(260.0f, M, 500.0f, 400.0f, 450.0f), 260.0f);
    EXPECT_EQ(interp_temp(M, M, 500.0f, 400.0f, 450.0f), M);
    EXPECT_EQ(interp_temp(260.0f, 250.0f, 0.0f, 400.0f, 450.0f), M);
    EXPECT_EQ(interp_temp(260.0f, 250.0f, 500.0f, -1.0f, 450.0f), M);
    EXPECT_NEAR(interp_temp(260.0f, 250.0f, 500.0f, 400.0f, 400.0f), 250.0f, 1e-4f);
    EXPECT_NEAR(interp_temp(260.0f, 250.0f, 500.0f, 400.0f, 500.0f), 260.0f, 1e-4f);
    // Halfway in ln p, not in p.
    float mid = std::sqrt(500.0f * 400.0f);
    EXPECT_NEAR(interp_temp(260.0f, 250.0f, 500.0f, 400.0f, mid), 255.0f, 1e-3f);
}

// The observed tables carry the observer's own THTA, MIXR and THTE columns;
// our formulas differ slightly, so the differences are bounded, not zero.
class ObservedColumns : public ::testing::TestWithParam<const char *> {};

TEST_P(ObservedColumns, AgreeWithTheObserversDerivedValues) {
    auto rows = read_observed(data_path(GetParam()));
    ASSERT_GT(rows.size(), 20u);
    int checked = 0;
    for (const ObsRow &r : rows) {
        const UPA_level &l = r.lev;
        ASSERT_NE(l.td, M);
        EXPECT_NEAR(pot_temp(K(l.t), l.p), r.thta, 0.35f) << l.p;
        float w = mix_ratio(K(l.td), l.p);
        if (r.mixr >= 1.0f)
            EXPECT_NEAR(w, r.mixr, 0.03f * r.mixr) << l.p;
        else
            EXPECT_NEAR(w, r.mixr, 0.02f) << l.p;
        EXPECT_NEAR(eq_pot_temp(K(l.t), K(l.td), l.p), r.thte, 1.5f) << l.p;
        EXPECT_NEAR(virt_pot_temp(K(l.t), K(l.td), l.p), r.thtv, 0.4f) << l.p;
        EXPECT_NEAR(rel_hum(K(l.t), K(l.td)), r.relh, 1.5f) << l.p;
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(rows.size()));
}

INSTANTIATE_TEST_SUITE_P(Soundings, ObservedColumns,
                         ::testing::Values("may4_sounding.txt", "20110522_OUN_12Z.txt"));
