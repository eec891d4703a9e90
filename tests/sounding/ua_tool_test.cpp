// Tests of the level toolkit: interpolation in pressure, height and
// potential temperature with its tolerances and gap rule, circular
// directions, filling of temperatures, heights and winds, wind vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "sounding/sounding_io.h"

using namespace sounding_test;

namespace {

const char *kNone = "- - - - - -";

std::vector<UPA_level> column() {
    return {{1000, 100, 20, 15, 180, 10},
            {900, 1000, 14, 10, 200, 20},
            {800, 1950, 8, 2, 220, 30},
            {700, 3000, 1, -5, 240, 40},
            {500, 5600, -15, -25, 260, 50}};
}
}  // namespace

TEST(InterpPressure, BelowTheLowestLevelWithinAndBeyondTolerance) {
    auto lev = column();
    UPA_level r;
    // 0.5 % more than the lowest pressure: within 0.01 in ln p, a copy.
    EXPECT_EQ(UPA_interp(lev.data(), 5, 100, 1005.0f, &r), 0);
    EXPECT_EQ(desc(r), "1000 100 20 15 180 10");
    // 2 % more: all missing.
    EXPECT_EQ(UPA_interp(lev.data(), 5, 100, 1020.0f, &r), 0);
    EXPECT_EQ(desc(r), kNone);
    // Missing and non-positive requests; no levels at all.
    UPA_interp(lev.data(), 5, 100, M, &r);
    EXPECT_EQ(desc(r), kNone);
    UPA_interp(lev.data(), 5, 100, 0.0f, &r);
    EXPECT_EQ(desc(r), kNone);
    UPA_interp(lev.data(), 0, 100, 900.0f, &r);
    EXPECT_EQ(desc(r), kNone);
}

TEST(InterpPressure, LinearInLogPressureAndIndexOfLevelAbove) {
    auto lev = column();
    UPA_level r;
    float p = std::sqrt(900.0f * 800.0f);  // halfway in ln p
    int k = UPA_interp(lev.data(), 5, 100, p, &r);
    EXPECT_EQ(k, 2);
    EXPECT_FLOAT_EQ(r.p, p);
    EXPECT_NEAR(r.t, 11.0f, 1e-4f);
    EXPECT_NEAR(r.h, 1475.0f, 1e-2f);
    EXPECT_NEAR(r.dir, 210.0f, 1e-3f);
    // Exactly on a level: that level's values, and its index.
    EXPECT_EQ(UPA_interp(lev.data(), 5, 100, 700.0f, &r), 3);
    EXPECT_EQ(desc(r), "700 3000 1 -5 240 40");
    // On the lowest level itself.
    UPA_interp(lev.data(), 5, 100, 1000.0f, &r);
    EXPECT_EQ(desc(r), "1000 100 20 15 180 10");
    // Above the top: only the requested pressure.
    EXPECT_EQ(UPA_interp(lev.data(), 5, 100, 300.0f, &r), 5);
    EXPECT_EQ(desc(r), "300 - - - - -");
}

TEST(InterpPressure, EachFieldFromItsOwnNearestLevels) {
    auto lev = column();
    lev[2].t = M;   // 800 mb has no temperature
    lev[1].dir = M; // 900 mb has no wind direction
    UPA_level r;
    float p = 850.0f;
    UPA_interp(lev.data(), 5, 100, p, &r);
    // Temperature between 900 and 700.
    double w = std::log(900.0 / 850.0) / std::log(900.0 / 700.0);
    EXPECT_NEAR(r.t, 14.0 + (1.0 - 14.0) * w, 1e-3);
    // Direction between 1000 and 800.
    double wd = std::log(1000.0 / 850.0) / std::log(1000.0 / 800.0);
    EXPECT_NEAR(r.dir, 180.0 + 40.0 * wd, 1e-3);
    // Dew point as usual between 900 and 800.
    double wt = std::log(900.0 / 850.0) / std::log(900.0 / 800.0);
    EXPECT_NEAR(r.td, 10.0 + (2.0 - 10.0) * wt, 1e-3);
}

TEST(InterpPressure, AFieldNeedsALevelOnBothSides) {
    auto lev = column();
    // Dew point only at the lowest level: a request exactly there finds no
    // level above with a dew point, so that field stays missing while the
    // temperature (present above) is the level's own.
    for (int i = 1; i < 5; ++i) lev[i].td = M;
    UPA_level r;
    UPA_interp(lev.data(), 5, 100, 1000.0f, &r);
    EXPECT_EQ(desc(r), "1000 100 20 - 180 10");
    // Direction only at the top level: exactly there it is taken, just
    // below there is no level underneath with one.
    lev = column();
    for (int i = 0; i < 4; ++i) lev[i].dir = M;
    UPA_interp(lev.data(), 5, 100, 500.0f, &r);
    EXPECT_EQ(r.dir, 260.0f);
    UPA_interp(lev.data(), 5, 100, 520.0f, &r);
    EXPECT_EQ(r.dir, M);
    EXPECT_NE(r.t, M);
    // A one-level sounding asked for its own pressure or height gives only
    // the requested coordinate.
    std::vector<UPA_level> one = {{1000, 100, 20, 15, 180, 10}};
    EXPECT_EQ(UPA_interp(one.data(), 1, 100, 1000.0f, &r), 1);
    EXPECT_EQ(desc(r), "1000 - - - - -");
    UPA_interp(one.data(), 1, 103, 100.0f, &r);
    EXPECT_EQ(desc(r), "- 100 - - - -");
}

TEST(InterpPressure, SeveralRequestsAtOnce) {
    auto lev = column();
    float want[3] = {900.0f, 750.0f, 600.0f};
    UPA_level r[3];
    int k = UPA_interp_levels(lev.data(), 5, 100, want, r, 3);
    EXPECT_EQ(k, 4);  // the last request lies below level 4
    EXPECT_EQ(r[0].t, 14.0f);
    EXPECT_EQ(r[1].p, 750.0f);
    EXPECT_GT(r[1].t, 1.0f);
    EXPECT_LT(r[1].t, 8.0f);
    EXPECT_EQ(r[2].p, 600.0f);
}

TEST(InterpDirection, InterpolatesOnTheCircle) {
    std::vector<UPA_level> lev = {{1000, 0, 10, 5, 350, 10}, {800, 2000, 0, -5, 10, 10}};
    UPA_level r;
    UPA_interp(lev.data(), 2, 103, 1000.0f, &r);
    EXPECT_NEAR(r.dir, 360.0f, 1e-3f);  // not 180, and not wrapped to 0
    lev[0].dir = 10;
    lev[1].dir = 350;
    UPA_interp(lev.data(), 2, 103, 1000.0f, &r);
    EXPECT_NEAR(r.dir, 0.0f, 1e-3f);
    UPA_interp(lev.data(), 2, 103, 250.0f, &r);
    EXPECT_NEAR(r.dir, 7.5f, 1e-3f);
    UPA_interp(lev.data(), 2, 103, 1500.0f, &r);
    EXPECT_NEAR(r.dir, 355.0f, 1e-3f);  // negative result gets 360 added
    lev[0].dir = 300;
    lev[1].dir = 80;  // 140 degrees clockwise through north
    UPA_interp(lev.data(), 2, 103, 1000.0f, &r);
    EXPECT_NEAR(r.dir, 10.0f, 1e-3f);
}

TEST(InterpHeight, PressureNotCarriedAcrossA300mbGap) {
    std::vector<UPA_level> lev = {{900, 1000, 10, 5, 200, 20}, {500, 5500, -20, -30, 260, 40}};
    UPA_level r;
    // 400 mb apart and not within 3 m of either: all missing.
    UPA_interp(lev.data(), 2, 103, 3000.0f, &r);
    EXPECT_EQ(desc(r), kNone);
    // Within 3 m of a level: that level's pressure, the rest interpolated.
    UPA_interp(lev.data(), 2, 103, 1002.0f, &r);
    EXPECT_EQ(r.p, 900.0f);
    EXPECT_EQ(r.h, 1002.0f);
    EXPECT_NEAR(r.t, 10.0f - 30.0f * 2.0f / 4500.0f, 1e-4f);
    UPA_interp(lev.data(), 2, 103, 5498.0f, &r);
    EXPECT_EQ(r.p, 500.0f);
    // A gap of 200 mb interpolates the pressure linearly in height.
    lev[1] = {700, 3000, -2, -8, 240, 30};
    UPA_interp(lev.data(), 2, 103, 2000.0f, &r);
    EXPECT_NEAR(r.p, 800.0f, 1e-3f);
    EXPECT_EQ(r.h, 2000.0f);
    // Below the lowest height: 3 m tolerance.
    EXPECT_EQ(UPA_interp(lev.data(), 2, 103, 998.0f, &r), 0);
    EXPECT_EQ(desc(r), "900 1000 10 5 200 20");
    UPA_interp(lev.data(), 2, 103, 990.0f, &r);
    EXPECT_EQ(desc(r), kNone);
}

TEST(InterpTheta, FillsTemperaturesFirstAndInterpolatesInTheta) {
    std::vector<UPA_level> lev = {{1000, 100, 20, 10, 180, 10},
                                  {850, 1500, M, 5, 200, 20},
                                  {700, 3100, 5, -5, 220, 30}};
    UPA_level r;
    float th0 = pot_temp(293.15f, 1000.0f), th2 = pot_temp(278.15f, 700.0f);
    UPA_interp(lev.data(), 3, 113, (th0 + th2) / 2.0f, &r);
    // The caller's array got its missing temperature filled (linear in p).
    EXPECT_NEAR(lev[1].t, 12.5f, 1e-4f);
    EXPECT_NE(r.p, M);
    EXPECT_LT(r.p, 1000.0f);
    EXPECT_GT(r.p, 700.0f);
    EXPECT_NE(r.h, M);
    // 1 K tolerance below the lowest level.
    UPA_interp(lev.data(), 3, 113, th0 - 0.5f, &r);
    EXPECT_EQ(r.p, 1000.0f);
    UPA_interp(lev.data(), 3, 113, th0 - 2.0f, &r);
    EXPECT_EQ(desc(r), kNone);
}

TEST(LevelCoordinate, ValuesByKind) {
    UPA_level l{500, 5600, -15, -25, 260, 50};
    EXPECT_NEAR(UPA_get_level(100, &l), -std::log(500.0f), 1e-5f);
    EXPECT_NEAR(UPA_get_level(1, &l), -std::log(500.0f), 1e-5f);
    EXPECT_EQ(UPA_get_level(103, &l), 5600.0f);
    EXPECT_EQ(UPA_get_level(106, &l), 5600.0f);
    EXPECT_NEAR(UPA_get_level(113, &l), pot_temp(258.15f, 500.0f), 1e-3f);
    l.p = M;
    EXPECT_EQ(UPA_get_level(100, &l), M);
    EXPECT_EQ(UPA_get_level(114, &l), M);
    EXPECT_EQ(UPA_get_level(100, nullptr), M);
}

TEST(FillTemperature, LinearInPressureBetweenKnownLevels) {
    std::vector<UPA_level> lev = {{1000, M, M, M, M, M},
                                  {900, M, 10, M, M, M},
                                  {850, M, M, M, M, M},
                                  {700, M, -5, M, M, M},
                                  {500, M, M, M, M, M}};
    UPA_calc_temp(lev.data(), 5);
    EXPECT_EQ(lev[0].t, M);  // nothing below
    EXPECT_NEAR(lev[2].t, 10.0f - 15.0f * 50.0f / 200.0f, 1e-4f);
    EXPECT_EQ(lev[4].t, M);  // nothing above
}

TEST(FillHeight, HypsometricWithCorrectionToTheNextKnownHeight) {
    const double R = 287.05, g = 9.8;
    std::vector<UPA_level> lev = {{1000, 100, 10, M, M, M},
                                  {900, M, 5, M, M, M},
                                  {800, M, 0, M, M, M},
                                  {700, M, -6, M, M, M}};
    double h1 = 100 + R * (283.15 + 278.15) / 2 / g * std::log(1000.0 / 900.0);
    double h2 = h1 + R * (278.15 + 273.15) / 2 / g * std::log(900.0 / 800.0);
    lev[2].h = static_cast<float>(h2 + 20.0);  // the known height is 20 m higher
    double h3 = (h2 + 20.0) + R * (273.15 + 267.15) / 2 / g * std::log(800.0 / 700.0);
    EXPECT_EQ(UPA_calc_height(lev.data(), 4), 0);
    // Half of the misfit at the middle of the stretch (in pressure).
    EXPECT_NEAR(lev[1].h, h1 + 10.0, 0.05);
    EXPECT_NEAR(lev[2].h, h2 + 20.0, 0.01);
    // Above the last known height: integrated without correction.
    EXPECT_NEAR(lev[3].h, h3, 0.05);
}

TEST(FillHeight, FirstLevelFromTheLevelAboveAndNoHeightsAtAll) {
    const double R = 287.05, g = 9.8;
    std::vector<UPA_level> lev = {{1013, M, 15, M, M, M}, {1000, 110, 14, M, M, M},
                                  {850, 1500, 5, M, M, M}};
    EXPECT_EQ(UPA_calc_height(lev.data(), 3), 0);
    double t = (15.0 + 14.0) / 2 + 273.15;
    EXPECT_NEAR(lev[0].h, 110 - R * t / g * std::log(1013.0 / 1000.0), 0.05);
    EXPECT_EQ(lev[2].h, 1500.0f);
    std::vector<UPA_level> none = {{1000, 100, 10, M, M, M}, {900, M, 5, M, M, M}};
    EXPECT_EQ(UPA_calc_height(none.data(), 2), -1);
    EXPECT_EQ(none[1].h, M);
    EXPECT_EQ(UPA_calc_height(nullptr, 0), -1);
}

TEST(FillWind, TemperatureLevelsTakeTheWindAtTheirPressure) {
    std::vector<UPA_level> sm = {{1000, 100, 20, 15, M, M}, {850, 1500, 10, 5, 300, 5},
                                 {600, 4200, -5, -10, M, M}};
    std::vector<UPA_level> wm = {{1000, 100, M, M, 180, 10}, {700, 3000, M, M, 270, 30},
                                 {500, 5600, M, M, 270, 50}};
    UPA_calc_wind(sm.data(), 3, wm.data(), 3);
    EXPECT_EQ(desc(sm[0]), "1000 100 20 15 180 10");
    EXPECT_EQ(desc(sm[1]), "850 1500 10 5 300 5");  // had its own wind
    EXPECT_NEAR(sm[2].dir, 270.0f, 1e-3f);
    double w = std::log(700.0 / 600.0) / std::log(700.0 / 500.0);
    EXPECT_NEAR(sm[2].spd, 30.0 + 20.0 * w, 1e-3);
}

TEST(LayerTop, ThicknessDefaultsByCoordinate) {
    EXPECT_EQ(UPA_thick_top(100, 1000.0f, 100.0f), 900.0f);
    EXPECT_EQ(UPA_thick_top(1, 1000.0f, M), 990.0f);
    EXPECT_EQ(UPA_thick_top(103, 300.0f, M), 350.0f);
    EXPECT_EQ(UPA_thick_top(105, 300.0f, 1000.0f), 1300.0f);
    EXPECT_EQ(UPA_thick_top(113, 300.0f, M), 305.0f);
    EXPECT_EQ(UPA_thick_top(100, M, 50.0f), M);
}

TEST(MandatoryLevels, NumberedFromTheSurfaceUp) {
    EXPECT_EQ(UPA_mandatory(1000.0f), 1);
    EXPECT_EQ(UPA_mandatory(925.0f), 2);
    EXPECT_EQ(UPA_mandatory(500.0f), 5);
    EXPECT_EQ(UPA_mandatory(70.0f), 12);
    EXPECT_EQ(UPA_mandatory(10.0f), 16);
    EXPECT_EQ(UPA_mandatory(925.1f), 0);
    EXPECT_EQ(UPA_mandatory(600.0f), 0);
}

TEST(WindVectors, ComponentsAndBack) {
    float u, v;
    EXPECT_EQ(wind2vect(270.0f, 10.0f, &u, &v), 0);  // from the west: blows east
    EXPECT_NEAR(u, 10.0f, 1e-4f);
    EXPECT_NEAR(v, 0.0f, 1e-4f);
    wind2vect(180.0f, 10.0f, &u, &v);  // from the south: blows north
    EXPECT_NEAR(v, 10.0f, 1e-4f);
    float d, s;
    EXPECT_EQ(vect2wind(-5.0f, -5.0f, &d, &s), 0);
    EXPECT_NEAR(d, 45.0f, 1e-3f);
    EXPECT_NEAR(s, std::sqrt(50.0f), 1e-4f);
    vect2wind(0.0f, 10.0f, &d, &s);
    EXPECT_NEAR(d, 180.0f, 1e-3f);
    vect2wind(0.005f, 0.005f, &d, &s);
    EXPECT_EQ(d, 0.0f);  // calm
    EXPECT_EQ(wind2vect(M, 10.0f, &u, &v), -1);
    EXPECT_EQ(u, M);
    EXPECT_EQ(v, M);
    EXPECT_EQ(vect2wind(1.0f, M, &d, &s), -1);
    EXPECT_EQ(d, M);
    EXPECT_EQ(s, M);
    for (float dir = 5.0f; dir < 360.0f; dir += 37.0f) {
        wind2vect(dir, 20.0f, &u, &v);
        vect2wind(u, v, &d, &s);
        EXPECT_NEAR(d, dir, 1e-3f);
        EXPECT_NEAR(s, 20.0f, 1e-4f);
    }
}

TEST(DateText, KeptBoundedTo39Characters) {
    UPA_set_datim("12Z 22 MAY 11");
    EXPECT_STREQ(UPA_get_datim(), "12Z 22 MAY 11");
    std::string longer(60, 'x');
    UPA_set_datim(longer.c_str());
    EXPECT_EQ(std::strlen(UPA_get_datim()), 39u);
    UPA_set_datim(nullptr);
    EXPECT_STREQ(UPA_get_datim(), "");
}
