// Tests of the sounding package state, the analysis in order, the report
// tables (with a golden copy of the complete report of an observed
// sounding), paging holds and the raw sounding file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <random>
#include <cstdio>
#include <string>
#include <vector>

#include "fixed_fmt.h"
#include "sounding/sounding_io.h"
#include "zupresrc.h"

using namespace sounding_test;

namespace {
// Every table of the report; lev null leaves the loaded sounding as it is.
std::string full_report(std::vector<UPA_level> *lev) {
    return capture(0xFFFFFF, [&] {
        if (lev) THERM_set_data((*lev)[0].p, lev->data(), (int)lev->size(), lev->data(), (int)lev->size());
        THERM_sig_table();
        THERM_calc();
        THERM_indices();
        THERM_wind_table();
        THERM_wind();
        THERM_storm_table();
    });
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        RES_clear();
        MESS_reset();
    }
    void TearDown() override {
        RES_clear();
        MESS_reset();
    }
};

// A small moist sounding with winds, every level a round pressure.
std::vector<UPA_level> simple() {
    return {{1000, 100, 25, 20, 180, 10}, {925, 780, 20, 16, 200, 20},
            {850, 1500, 16, 12, 220, 30}, {700, 3100, 6, -2, 240, 40},
            {500, 5800, -10, -20, 260, 50}, {400, 7400, -21, -35, 265, 60},
            {300, 9400, -36, -50, 270, 70}, {200, 12000, -55, -65, 270, 80}};
}
}  // namespace

// ---------------------------------------------------------------------------

TEST_F(Package, IdentityDateAndFileKey) {
    EXPECT_EQ(THERM_set_id("OUN", 72357), 0);
    EXPECT_STREQ(THERM_get_id(), "OUN");
    EXPECT_EQ(THERM_get_wmo(), 72357);
    char key[32] = "";
    EXPECT_EQ(FILE_get_key(105, key), 1);
    EXPECT_STREQ(key, "OUN");
    // Long identifiers are cut to the field.
    std::string longer(40, 'S');
    THERM_set_id(longer.c_str(), -9999);
    EXPECT_EQ(std::string(THERM_get_id()), longer.substr(0, STATION_ID_LEN - 1));
    Date d{2011, 5, 22, 142, 0, 12, 0, 0};
    THERM_set_date(&d);
    Date got;
    THERM_get_date(&got);
    EXPECT_EQ(got.year, 2011);
    EXPECT_EQ(got.hour, 12);
    EXPECT_EQ(got.jday, 142);
    // No argument: the current file date.
    Date fd;
    FILE_get_date(&fd);
    THERM_set_date(nullptr);
    THERM_get_date(&got);
    EXPECT_EQ(got.year, fd.year);
    EXPECT_EQ(got.day, fd.day);
}

TEST_F(Package, SetDataKeepsTheArraysAndDerivesSurfaceAndStorm) {
    auto lev = simple();
    THERM_set_id("TEST", 12345);
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    // The station number does not survive a new sounding.
    EXPECT_EQ(THERM_get_wmo(), -9999);
    EXPECT_EQ(desc(*THERM_get_sfc()), "1000 100 25 20 180 10");
    // Storm motion: 0-6 km mean wind, 30 degrees to the right, 75 %.
    WIND mean, storm;
    THERM_get_mean6(&mean);
    THERM_get_storm(&storm);
    WIND check;
    layer_wind_mean(lev.data(), 8, 103, 100.0f, 6100.0f, &check);
    EXPECT_FLOAT_EQ(mean.dir, check.dir);
    EXPECT_NEAR(storm.dir, mean.dir + 30.0f, 1e-3f);
    EXPECT_NEAR(storm.spd, 0.75f * mean.spd, 1e-3f);
    // Coordinate 1 gives the surface record and its level index.
    UPA_level r;
    EXPECT_EQ(UPA_interp(lev.data(), 8, 1, 0.0f, &r), 0);
    EXPECT_EQ(r.p, 1000.0f);
    float want = 925.0f;
    UPA_sm_interp(100, &want, &r, 1);
    EXPECT_EQ(r.t, 20.0f);
    // A storm set by hand lasts until the next sounding.
    WIND mine{300.0f, 15.0f};
    THERM_set_storm(&mine);
    THERM_get_storm(&storm);
    EXPECT_EQ(storm.dir, 300.0f);
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    THERM_get_storm(&storm);
    EXPECT_NEAR(storm.dir, mean.dir + 30.0f, 1e-3f);
}

TEST_F(Package, StormDirectionWrapsPastNorth) {
    // A steady north-westerly of 20 knots: the storm moves from 350 + 30
    // degrees, that is from 20, at 15 knots.
    auto lev = simple();
    for (auto &l : lev) {
        l.dir = 350.0f;
        l.spd = 20.0f;
    }
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    WIND storm;
    THERM_get_storm(&storm);
    EXPECT_NEAR(storm.dir, 20.0f, 1e-2f);
    EXPECT_NEAR(storm.spd, 15.0f, 1e-3f);
    std::string out = capture(0x200000, [] { THERM_wind_table(); });
    EXPECT_TRUE(contains(out, "   Storm motion:  20 at  15 knt\n")) << out;
}

TEST_F(Package, NoWindLevelsLeaveTheStormMissing) {
    auto lev = simple();
    for (auto &l : lev) l.dir = l.spd = M;
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    WIND storm;
    THERM_get_storm(&storm);
    EXPECT_EQ(storm.dir, M);
    EXPECT_EQ(storm.spd, M);
    std::string out = capture(0xFFFFFF, [] {
        THERM_calc();
        THERM_wind_table();
        THERM_wind();
    });
    EXPECT_FALSE(contains(out, "Storm motion"));
    EXPECT_FALSE(contains(out, "STORM REL"));
    EXPECT_TRUE(contains(out, "                   TRUE/GROUND REL   \n"));
    EXPECT_FALSE(contains(out, "Storm direction"));
    EXPECT_FALSE(contains(out, "helicity"));
    const THERM_values *v = THERM_get_values();
    EXPECT_EQ(v->helicity.pos_hel, M);
}

TEST_F(Package, ParcelChoiceFromPlotParam) {
    auto lev = simple();
    const UPA_level *par = THERM_get_parcel();
    // A level given whole or taken from the environment, the maximum
    // temperature, the surface: the parcel's type and starting values.
    const struct {
        const char *item;
        int type;
        float p, t, td;
    } cases[] = {
        {"data,par=700:10:5", PARCEL_LEVEL, 700, 10, 5},
        {"par=500", PARCEL_LEVEL, 500, -10, -20},
        {"PAR=MAXT", PARCEL_MAXT, 1000, M, M},
        {"par", PARCEL_SFC, 1000, 25, 20},
        {"par=sfc", PARCEL_SFC, 1000, 25, 20},
        {"par=sfc:1:2", PARCEL_SFC, 1000, 25, 20},
    };
    for (const auto &c : cases) {
        RES_put("plot_param", c.item);
        THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
        EXPECT_EQ(THERM_get_par_type(), c.type) << c.item;
        THERM_calc();
        EXPECT_EQ(par->p, c.p) << c.item;
        EXPECT_FLOAT_EQ(par->t, c.t == M ? THERM_get_values()->max_t : c.t) << c.item;
        if (c.td != M) {
            EXPECT_EQ(par->td, c.td) << c.item;
        }
    }
    RES_put("plot_param", "data,par=700:10:5");
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    THERM_calc();
    EXPECT_EQ(par->h, 3100.0f);  // the environment's
    EXPECT_NEAR(THERM_get_values()->parcel.plcl, lcl_pres(K(10), K(5), 700.0f), 1e-3f);

    RES_put("plot_param", "par=layer:50");
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    EXPECT_EQ(THERM_get_par_type(), PARCEL_LAYER);
    EXPECT_EQ(THERM_get_par_thick(), 50.0f);
    THERM_calc();
    float w, o;
    layer_parcel_mean(lev.data(), 8, 100, 1000.0f, 950.0f, &w, &o);
    EXPECT_NEAR(K(par->t), temp_on_dryad(o, 1000.0f), 1e-3f);
    EXPECT_NEAR(K(par->td), temp_on_mixrat(w, 1000.0f), 1e-3f);

    // The diagram's "parcel" switch leaves the default 100 mb layer.
    RES_put("plot_param", "parcel");
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    EXPECT_EQ(THERM_get_par_type(), PARCEL_LAYER);
    EXPECT_EQ(THERM_get_par_thick(), 100.0f);

    // A level above the sounding top falls back to the mixed layer.
    RES_put("plot_param", "par=1100");
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    std::string out = capture(0x30000, [] {
        THERM_calc();
        THERM_indices();
    });
    EXPECT_TRUE(contains(out, "Parcel: using 100 mb layer\n"));
}

TEST_F(Package, PlotParamPaging) {
    RES_put("plot_param", "nopage");
    MESS_set_page(1);
    THERM_param();
    EXPECT_EQ(MESS_get_page(), 0);
    RES_put("plot_param", "page");
    THERM_param();
    EXPECT_EQ(MESS_get_page(), 2);
}

TEST_F(Package, SaturatedSurfaceHasItsCondensationLevelThere) {
    auto lev = simple();
    lev[0].td = lev[0].t;
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    THERM_calc();
    const THERM_values *v = THERM_get_values();
    EXPECT_NEAR(v->plcl, 1000.0f, 0.5f);
    EXPECT_NEAR(v->tlcl, K(25.0f), 0.05f);
    UPA_level e;
    UPA_interp(lev.data(), 8, 100, v->plcl, &e);
    char want[160];
    std::snprintf(want, sizeof want,
                  "Sfc-Lift cond lev (LCL): %6.2f mb = %8.2f m = %8.2f ft T: %7.2f C\n", v->plcl,
                  e.h, e.h * 3.2808f, e.t);
    std::string out = capture(0x8000, [] { THERM_indices(); });
    EXPECT_TRUE(contains(out, want)) << out;
    EXPECT_NEAR(e.t, 25.0f, 0.1f);
}

TEST_F(Package, SoundingStartingAbove500mb) {
    std::vector<UPA_level> lev = {{450, 6500, -20, -30, 260, 50}, {400, 7300, -25, -35, 265, 55},
                                  {300, 9300, -40, -50, 270, 70}, {200, 11900, -55, -65, 270, 80}};
    THERM_set_data(450.0f, lev.data(), 4, lev.data(), 4);
    THERM_calc();
    const THERM_values *v = THERM_get_values();
    EXPECT_EQ(v->li, M);
    EXPECT_EQ(v->precip, M);
    EXPECT_EQ(v->frz, M);
    EXPECT_EQ(v->ccl, M);
    EXPECT_EQ(v->thick, M);
    EXPECT_EQ(v->tt, M);
    std::string out = capture(0xFFFFFF, [] { THERM_indices(); });
    EXPECT_FALSE(contains(out, "Lifted Index:"));
    EXPECT_FALSE(contains(out, "Precipitable water"));
    EXPECT_FALSE(contains(out, "Conv cond level"));
    EXPECT_FALSE(contains(out, "Total Totals"));
    EXPECT_TRUE(contains(out, "\nSounding variables and indices\n"));
    // The level index -1 only reads "SFC" below 500 mb.
    std::string rows = capture(0x1000, [&] { THERM_sig_table(); });
    EXPECT_TRUE(contains(rows, " -1  450  6500 -20.0 -30.0"));
}

TEST(RiskPhrases, BoundariesAsPrinted) {
    EXPECT_STREQ(THERM_risk_phrase(0, 2.0f), "Showers probable\n");
    EXPECT_STREQ(THERM_risk_phrase(0, 2.004f), "Showers probable\n");  // prints 2.00
    EXPECT_STREQ(THERM_risk_phrase(0, 2.006f), "None\n");              // prints 2.01
    EXPECT_STREQ(THERM_risk_phrase(0, 0.0f), "Thunderstorms probable\n");
    EXPECT_STREQ(THERM_risk_phrase(0, -2.0f), "Severe thunderstorms possible\n");
    EXPECT_STREQ(THERM_risk_phrase(0, -4.0f), "Severe thunderstorms probable\n");
    EXPECT_STREQ(THERM_risk_phrase(1, 3.0f), "Showers probable\n");
    EXPECT_STREQ(THERM_risk_phrase(1, 3.01f), "None\n");
    EXPECT_STREQ(THERM_risk_phrase(1, 1.0f), "Thunderstorms probable\n");
    EXPECT_STREQ(THERM_risk_phrase(1, -5.99f), "Severe thunderstorms possible\n");
    EXPECT_STREQ(THERM_risk_phrase(1, -6.0f), "Severe thunderstorms probable\n");
    EXPECT_STREQ(THERM_risk_phrase(2, 43.99f), "None\n");
    EXPECT_STREQ(THERM_risk_phrase(2, 43.996f), "Scattered moderate thunderstorms\n");
    EXPECT_STREQ(THERM_risk_phrase(2, 49.0f), "Scattered heavy thunderstorms\n");
    EXPECT_STREQ(THERM_risk_phrase(2, 55.0f), "Severe Thunderstorms probable\n");
    EXPECT_STREQ(THERM_risk_phrase(3, 14.99f), "None\n");
    EXPECT_STREQ(THERM_risk_phrase(3, 15.0f), "< 20 % chance of thunderstorms\n");
    EXPECT_STREQ(THERM_risk_phrase(3, 20.0f), "20-40 % chance of thunderstorms\n");
    EXPECT_STREQ(THERM_risk_phrase(3, 25.0f), "40-60 % chance of thunderstorms\n");
    EXPECT_STREQ(THERM_risk_phrase(3, 30.0f), "60-80 % chance of thunderstorms\n");
    EXPECT_STREQ(THERM_risk_phrase(3, 35.0f), "> 80 % chance of thunderstorms\n");
    EXPECT_STREQ(THERM_risk_phrase(4, 299.99f), "None\n");
    EXPECT_STREQ(THERM_risk_phrase(4, 300.0f), "Showers and thunderstorms possible\n");
    EXPECT_STREQ(THERM_risk_phrase(4, 400.0f), "Severe Thunderstorms possible\n");
    EXPECT_STREQ(THERM_risk_phrase(5, 0.001f), "Scattered severe thunderstorms\n");  // 0.00
    EXPECT_STREQ(THERM_risk_phrase(5, 0.01f), "None\n");
    EXPECT_STREQ(THERM_risk_phrase(5, -2.0f), "Severe Thunderstorms probable\n");
    EXPECT_STREQ(THERM_risk_phrase(5, -1.99f), "Scattered severe thunderstorms\n");
}

TEST_F(Package, KIndexOfExactly15InTheReport) {
    // T850 + Td850 - T500 - (T700 - Td700) = 15.
    std::vector<UPA_level> lev = {{850, 1500, 10, 5, 200, 20}, {700, 3100, 0, -10, 220, 30},
                                  {500, 5800, -10, -25, 250, 40}};
    THERM_set_data(850.0f, lev.data(), 3, lev.data(), 3);
    THERM_calc();
    EXPECT_FLOAT_EQ(THERM_get_values()->k, 15.0f);
    std::string out = capture(0x4000, [] { THERM_indices(); });
    EXPECT_TRUE(contains(out, "K Index:                  15.00   Risk: < 20 % chance of thunderstorms\n"))
        << out;
}

TEST_F(Package, SurfaceBelowFreezingStillListsCrossings) {
    std::vector<UPA_level> lev = {{1000, 100, -3, -6, 180, 10}, {900, 950, 4, -2, 200, 20},
                                  {800, 1950, -2, -8, 220, 30}, {700, 3000, -8, -15, 240, 40},
                                  {500, 5600, -25, -35, 260, 50}};
    THERM_set_data(1000.0f, lev.data(), 5, lev.data(), 5);
    THERM_calc();
    EXPECT_EQ(THERM_get_values()->frz, -1.0f);
    EXPECT_EQ(THERM_get_values()->wb0, -1.0f);
    std::string out = capture(0x8000, [] { THERM_indices(); });
    auto l = lines_of(out);
    ASSERT_GE(l.size(), 4u);
    EXPECT_EQ(l[0], "Freezing level:      Surface below freezing");
    // -3 -> 4 between 1000 and 900: 1000 - 100 * 3/7; height linear in p.
    char buf[128];
    float p1 = 1000.0f - 100.0f * 3.0f / 7.0f, h1 = 100.0f + 850.0f * 3.0f / 7.0f;
    std::snprintf(buf, sizeof buf, "Freezing level:         %7.2f mb = %8.2f m = %8.2f ft", p1, h1,
                  h1 * 3.2808f);
    EXPECT_EQ(l[1], buf);
    float p2 = 900.0f - 100.0f * 4.0f / 6.0f, h2 = 950.0f + 1000.0f * 4.0f / 6.0f;
    std::snprintf(buf, sizeof buf, "Freezing level:         %7.2f mb = %8.2f m = %8.2f ft", p2, h2,
                  h2 * 3.2808f);
    EXPECT_EQ(l[2], buf);
    EXPECT_EQ(l[3], "Wetbulb zero:        Below ground");
}

TEST_F(Package, LevelTableHeaderColumnsAndSpecialRows) {
    auto lev = simple();
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    std::string basic = capture(0x1000, [] { THERM_sig_table(); });
    auto b = lines_of(basic);
    ASSERT_EQ(b.size(), 4u + 8u + 2u);
    EXPECT_EQ(b[0], "---------------------------------------");
    EXPECT_EQ(b[1], "LEV PRES  HGHT  TEMP  DEWP  RH DIR SPD");
    EXPECT_EQ(b[2], "     mb     m     C     C    % deg knt");
    EXPECT_EQ(b[3], b[0]);
    char rh[8];
    std::snprintf(rh, sizeof rh, "%3.0f", rel_hum(K(25), K(20)));
    EXPECT_EQ(b[4], std::string("SFC 1000   100  25.0  20.0 ") + rh + " 180  10 ");
    EXPECT_EQ(b[5].substr(0, 4), "  1 ");
    EXPECT_EQ(b[12], "TRP " + std::string(35, ' '));
    EXPECT_EQ(b[13], "WND " + std::string(35, ' '));
    std::string all = capture(0x3000, [] { THERM_sig_table(); });
    auto a = lines_of(all);
    EXPECT_EQ(a[0], "-------------------------------------------------------------------------------");
    EXPECT_EQ(a[1], "LEV PRES  HGHT  TEMP  DEWP  RH  DD   WETB DIR SPD THETA THE-V THE-W THE-E   W");
    EXPECT_EQ(a[2], "     mb     m     C     C    %   C     C  deg knt   K     K     K     K    g/kg");
    // Extended columns of the 850 mb row.
    char want[160];
    float t = K(16), td = K(12);
    std::snprintf(want, sizeof want,
                  "  2  850  1500  16.0  12.0 %3.0f %4.1f %5.1f 220  30 %5.1f %5.1f %5.1f %5.1f %5.2f",
                  rel_hum(t, td), 4.0f, wet_bulb(t, td, 850) - 273.15f, pot_temp(t, 850),
                  virt_pot_temp(t, td, 850), wet_bulb_pot_temp(t, td, 850), eq_pot_temp(t, td, 850),
                  mix_ratio(td, 850));
    EXPECT_EQ(a[6], want);
    // Special labels and small pressures.
    UPA_level low{5.5f, 35000, -40, M, M, M};
    std::string one = capture(0x1000, [&] {
        UPA_print_level(0x1000, 0x2000, -5, &low);
        UPA_print_level(0x1000, 0x2000, -7, &low);
        UPA_print_level(0x1000, 0x2000, -10, &low);
    });
    auto o = lines_of(one);
    EXPECT_EQ(o[0], "LCL  5.5 35000 -40.0 " + std::string(18, ' '));
    EXPECT_EQ(o[1].substr(0, 4), " EL ");
    EXPECT_EQ(o[2].substr(0, 4), "FRZ ");
}

TEST_F(Package, MessageMasksSelectLineGroups) {
    auto rows = read_observed(data_path("20110522_OUN_12Z.txt"));
    auto lev = levels_of(rows);
    THERM_set_data(lev[0].p, lev.data(), (int)lev.size(), lev.data(), (int)lev.size());
    THERM_calc();
    std::string idx = capture(0x4000, [] { THERM_indices(); });
    auto l = lines_of(idx);
    ASSERT_EQ(l.size(), 4u) << idx;  // no thickness: the sounding starts at 966 mb
    EXPECT_EQ(l[0].substr(0, 14), "Lifted Index: ");
    EXPECT_EQ(l[1].substr(0, 16), "Showalter Index:");
    EXPECT_EQ(l[2].substr(0, 19), "Total Totals Index:");
    EXPECT_EQ(l[3].substr(0, 8), "K Index:");
    std::string parcel = capture(0x10000, [] { THERM_indices(); });
    EXPECT_TRUE(contains(parcel, "CAPE (B+):"));
    EXPECT_FALSE(contains(parcel, "Max Up Vert Vel"));
    std::string detail = capture(0x20000, [] { THERM_indices(); });
    EXPECT_TRUE(contains(detail, "Max Up Vert Vel"));
    EXPECT_FALSE(contains(detail, "CAPE"));
    std::string heading = capture(0x10000000, [] { THERM_indices(); });
    EXPECT_EQ(heading, "");
    std::string rel = capture(0x200000, [] { THERM_wind_table(); });
    EXPECT_TRUE(contains(rel, "   Storm motion: 272 at  28 knt\n"));
    EXPECT_FALSE(contains(rel, "TRUE/GROUND"));
    EXPECT_TRUE(contains(rel, "| DIR SPD   U     V\n"));
}

// The complete report of the Norman, Oklahoma sounding of 22 May 2011 12 UTC.
// Values checked by hand from the observed table: Total Totals 22.0 + 6.0 +
// 2 * 11.1 = 50.20, Vertical 33.10, Cross 17.10, K 22.0 + 6.0 + 11.1 - 17.0
// = 22.10, 700-500 lapse rate 18.7 C / 2674 m = 6.99 C/km, the 850 mb row's
// relative humidity 35 % and potential temperature 309.2 K as observed.
TEST_F(Package, GoldenReportOfAnObservedSounding) {
    auto rows = read_observed(data_path("20110522_OUN_12Z.txt"));
    auto lev = levels_of(rows);
    THERM_set_id("OUN", 72357);
    std::string out = full_report(&lev);
    // Hand-checked lines.
    EXPECT_TRUE(contains(out, "Total Totals Index:       50.20 C Risk: Scattered heavy thunderstorms\n"));
    EXPECT_TRUE(contains(out, "  Vertical Totals Index:  33.10 C\n"));
    EXPECT_TRUE(contains(out, "  Cross Totals Index:     17.10 C\n"));
    EXPECT_TRUE(contains(out, "K Index:                  22.10   Risk: 20-40 % chance of thunderstorms\n"));
    EXPECT_TRUE(contains(out, "700-500 lapse rate:        6.99 C/km\n"));
    EXPECT_TRUE(contains(out, " 10  850  1454  22.0   6.0  35 16.0 "));
    EXPECT_TRUE(contains(out, " 210  37 309.2 "));
    const THERM_values *v = THERM_get_values();
    EXPECT_NEAR(v->parcel.wmax, std::sqrt(2.0f * v->parcel.Bplus), 1e-3f);
    // Every line against the stored copy.
    std::string golden_path = data_path("oun_20110522_report.txt");
    if (std::getenv("RAZIVA_WRITE_GOLDEN")) {
        std::FILE *f = std::fopen(golden_path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(out.c_str(), f);
        std::fclose(f);
    }
    auto want = lines_of(read_text(golden_path));
    auto got = lines_of(out);
    ASSERT_FALSE(want.empty()) << "missing " << golden_path;
    for (std::size_t i = 0; i < want.size() && i < got.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "report line " << i + 1;
    EXPECT_EQ(got.size(), want.size());
    EXPECT_EQ(out.back(), '\n');
}

TEST_F(Package, SecondObservedSoundingReportsEveryTable) {
    auto rows = read_observed(data_path("may4_sounding.txt"));
    auto lev = levels_of(rows);
    std::string out = full_report(&lev);
    for (const char *part : {"LEV PRES", "Sounding variables and indices", "Parcel Indices",
                             "Wind level data", "Wind Parameters", "Storm Parameters",
                             "Mean winds (0-6000m):", "Storm rel helicity", "CAPE (B+):"})
        EXPECT_TRUE(contains(out, part)) << part;
    // The 0-6000 m rows reach beyond the data (top 10058 m), so none is empty.
    EXPECT_FALSE(contains(out, "NO DATA"));
    EXPECT_FALSE(contains(out, "nan"));
    EXPECT_FALSE(contains(out, "inf"));
}

TEST_F(Package, PagingHoldsGoToTheScreen) {
    auto lev = simple();
    THERM_set_data(1000.0f, lev.data(), 8, lev.data(), 8);
    THERM_calc();
    char inname[] = "/tmp/raziva_in_XXXXXX";
    int ifd = mkstemp(inname);
    ASSERT_GE(ifd, 0);
    ASSERT_EQ(write(ifd, "\n\n\n\n\n\n\n\n", 8), 8);
    close(ifd);
    ASSERT_NE(std::freopen(inname, "r", stdin), nullptr);
    std::remove(inname);
    MESS_reset();
    MESS_set(0, 0xFFFFFF);
    MESS_set_page(1);
    testing::internal::CaptureStdout();
    THERM_wind();
    std::string text = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(contains(text, "Energy-Hel index:"));
    EXPECT_EQ(text.substr(text.size() - 25), "Press return to continue\n");
}

TEST_F(Package, RawSoundingFile) {
    char dir[] = "/tmp/raziva_raw_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string name = std::string(dir) + "/snd.txt";
    RES_put("out_file", ("gif=x.gif,raw=" + name).c_str());
    RES_put("name_conv", "/nonexistent/name_conv");
    std::vector<UPA_level> sm = {{1000, 100, 25, 20, M, M}, {850, 1500, 16, M, 220, 30},
                                 {700, M, 6, -2, 240, 40}};
    std::vector<UPA_level> wm = {{1000, 100, M, M, 180, 10}, {500, 5800, M, M, 260, 50}};
    THERM_set_id("OUN", -9999);
    Date d{2011, 5, 22, 142, 0, 12, 0, 0};
    THERM_set_date(&d);
    THERM_set_data(1000.0f, sm.data(), 3, wm.data(), 2);
    std::string msg = capture(0x200, [] { EXPECT_EQ(THERM_out_raw(), 1); });
    EXPECT_EQ(msg, "Written raw file to: " + name + "\n");
    char label[80];
    DATE_make_label(&d, label);
    std::string want = std::string("ZUPRAW\n") + label + "\n" +
                       "!OUN Sounding\n"
                       " Lev   P     H     T     Td    Dir Spd $\n"
                       " SFC 1000   100   25.0  20.0  180  10\n"
                       "   1  850  1500   16.0     -  220  30\n"
                       "   2  700     -    6.0  -2.0  240  40\n"
                       "WIND 1000   100      -     -  180  10\n"
                       "   1  500  5800      -     -  260  50\n";
    EXPECT_EQ(read_text(name), want);
    // The missing surface wind was filled in the caller's array.
    EXPECT_EQ(sm[0].dir, 180.0f);
    std::remove(name.c_str());
    rmdir(dir);
    // A file that cannot be written.
    RES_put("out_file", "raw=/proc/raziva/nope/snd.txt");
    std::string err = capture(0xc0, [] { EXPECT_EQ(THERM_out_raw(), 0); });
    EXPECT_TRUE(contains(err, "THERM_out_raw: Unable to open output file: /proc/raziva/nope/snd.txt\n"))
        << err;
}

TEST_F(Package, NoDataOrGarbageNeverBreaksTheReport) {
    // Nothing loaded yet, then an all-missing sounding, then one level.
    THERM_set_data(1000.0f, nullptr, 0, nullptr, 0);
    std::string out = full_report(nullptr);
    EXPECT_TRUE(contains(out, "Sounding variables and indices"));
    EXPECT_TRUE(contains(out, " NO DATA       |"));
    EXPECT_FALSE(contains(out, "nan"));
    std::vector<UPA_level> junk(5);
    for (auto &l : junk) UPA_level_init(&l);
    out = full_report(&junk);
    EXPECT_FALSE(contains(out, "nan"));
    EXPECT_FALSE(contains(out, "CAPE"));
    std::vector<UPA_level> one = {{1000, 100, 20, 10, 200, 10}};
    out = full_report(&one);
    EXPECT_TRUE(contains(out, "SFC 1000   100  20.0  10.0"));
    EXPECT_FALSE(contains(out, "nan"));
    EXPECT_FALSE(contains(out, "inf"));
}

TEST_F(Package, MissingHeightsLeaveBlanksInTheIndexLines) {
    auto lev = simple();
    for (auto &l : lev) l.h = M;
    int n = (int)lev.size();
    std::string out = capture(0xFFFFFF, [&] {
        THERM_set_data(1000.0f, lev.data(), n, lev.data(), n);
        THERM_calc();
        THERM_indices();
    });
    const THERM_values *v = THERM_get_values();
    ASSERT_GT(v->parcel.plcl, 0.0f);
    EXPECT_FALSE(contains(out, "-9999")) << out;
    char want[128];
    std::snprintf(want, sizeof want,
                  "Lift Cond Lev (LCL):   %8.2f mb =          m =          ft\n",
                  v->parcel.plcl);
    EXPECT_TRUE(contains(out, want)) << out;
    std::snprintf(want, sizeof want, "Freezing level:         %7.2f mb =          m =          ft\n",
                  v->frz);
    EXPECT_TRUE(contains(out, want)) << out;
    // The surface LCL line keeps its environment temperature column.
    UPA_level e;
    UPA_interp(lev.data(), n, 100, v->plcl, &e);
    std::snprintf(want, sizeof want,
                  "Sfc-Lift cond lev (LCL): %6.2f mb =          m =          ft T: %7.2f C\n",
                  v->plcl, e.t);
    EXPECT_TRUE(contains(out, want)) << out;
}

TEST_F(Package, DebugTracesFollowTheirMasks) {
    auto rows = read_observed(data_path("20110522_OUN_12Z.txt"));
    auto lev = levels_of(rows);
    int n = (int)lev.size();
    std::string rowtrace = capture(0x80000000L, [&] {
        THERM_set_data(lev[0].p, lev.data(), n, lev.data(), n);
    });
    EXPECT_EQ(rowtrace.substr(0, 18), "SFCP: 966.000000\nS");
    EXPECT_TRUE(contains(rowtrace, "SFC  966   345  22.2  21.0"));
    std::string steps = capture(0x40000000L, [] { THERM_calc(); });
    EXPECT_TRUE(contains(steps, "P: 966.0 H:    345 T:"));
    EXPECT_TRUE(contains(steps, "LB, 1  "));
    EXPECT_TRUE(contains(steps, ",LT  "));
    EXPECT_FALSE(contains(steps, "Sounding variables"));
    // Nothing of either reaches the report classes.
    std::string none = capture(0xFFFFFF, [&] {
        THERM_set_data(lev[0].p, lev.data(), n, lev.data(), n);
        THERM_calc();
    });
    EXPECT_EQ(none, "");
}

// A sounding built on paper: a dry adiabat of 300 K with a 10 C dew-point
// depression, and a wind veering from 180 to 270 degrees at 20 knots through
// the lowest 3000 m.
TEST_F(Package, HandBuiltSoundingReport) {
    std::vector<UPA_level> lev;
    for (float p = 1000.0f; p >= 299.0f; p -= 50.0f) {
        float t = temp_on_dryad(300.0f, p) - 273.15f;
        lev.push_back({p, 0.0f, t, t - 10.0f, 270.0f, 20.0f});
    }
    fill_heights(lev);
    for (auto &l : lev)
        if (l.h <= 3000.0f) l.dir = 180.0f + 90.0f * l.h / 3000.0f;
    int n = (int)lev.size();
    std::string out = capture(0xFFFFFF, [&] {
        THERM_set_data(1000.0f, lev.data(), n, lev.data(), n);
        THERM_calc();
        THERM_indices();
        THERM_wind();
    });
    const THERM_values *v = THERM_get_values();
    // Dry adiabatic: g / cp = 9.8 / (287.05 / 0.286) K per km.
    EXPECT_NEAR(v->lapse57, 9.7636f, 0.03f);
    char want[96];
    std::snprintf(want, sizeof want, "700-500 lapse rate:      %6.2f C/km\n", v->lapse57);
    EXPECT_TRUE(contains(out, want));
    // Constant potential temperature: the maximum temperature is the
    // surface temperature, the mixed-layer parcel is neutral and dry below
    // its condensation level.
    EXPECT_NEAR(v->max_t, 300.0f - 273.15f, 0.01f);
    EXPECT_TRUE(contains(out, "Est. max temperature:     26.85 C =   80.33 F\n"));
    EXPECT_LT(v->parcel.plcl, 900.0f);
    // All shear veers.
    EXPECT_EQ(v->shear.neg_shr, 0.0f);
    EXPECT_GT(v->shear.pos_shr, 0.0f);
    EXPECT_TRUE(contains(out, "neg:    0.0 tot:"));
    EXPECT_GT(v->helicity.tot_hel, 0.0f);
    EXPECT_TRUE(contains(out, "Storm rel helicity (0-3000m) pos:"));
    // Surface wind from 180: the report's mean 0-6 km wind lies between.
    WIND mean;
    THERM_get_mean6(&mean);
    EXPECT_GT(mean.dir, 180.0f);
    EXPECT_LT(mean.dir, 270.0f);
    EXPECT_NEAR(mean.spd, 20.0f, 1e-3f);
}

// Random soundings, some absurd (unordered or missing pressures, warm air at
// a few mb, dew points above temperatures): the report never shows "nan" or
// "inf" and never reads outside the arrays (run under the sanitizers too).
TEST_F(Package, RandomSoundingsPrintNoNonsense) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    int bad = 0;
    for (int it = 0; it < 400; ++it) {
        int n = 1 + static_cast<int>(rng() % 30);
        std::vector<UPA_level> lev(static_cast<std::size_t>(n));
        float p = (it % 13 == 0) ? 5 + u(rng) * 25 : 900 + u(rng) * 250;
        float h = u(rng) * 2000, t = -40 + u(rng) * 80;
        for (auto &l : lev) {
            l = {p, h, t, t - u(rng) * (it % 3 ? 30.0f : -5.0f), u(rng) * 360, u(rng) * 100};
            if (u(rng) < 0.1f) l.t = M;
            if (u(rng) < 0.1f) l.td = M;
            if (u(rng) < 0.1f) l.h = M;
            if (u(rng) < 0.1f) l.dir = M;
            if (it % 7 == 0 && u(rng) < 0.2f) l.p = M;
            p -= u(rng) * (it % 5 ? 60.0f : 300.0f);
            if (it % 11 == 0) p += 40;
            h += u(rng) * 1500;
            t += (u(rng) - 0.7f) * 10;
        }
        std::string out = full_report(&lev);
        if (contains(out, "nan") || contains(out, "inf") || contains(out, "-9999")) {
            ++bad;
            for (const std::string &l : lines_of(out))
                if (contains(l, "-9999") || contains(l, "nan") || contains(l, "inf")) ADD_FAILURE() << l;
        }
    }
    EXPECT_EQ(bad, 0);
}

// The report's fast column formatting prints what printf prints: exact ties
// (to even), negatives rounding to zero, every precision, text after the
// conversion, and what it hands to printf (flags, huge values, NaN).
TEST(ReportColumns, FastFixedFormattingMatchesPrintf) {
    const char *const formats[] = {"%3.0f ", "%4.1f ", "%5.1f", "%5.2f", "%6.2f C", "%8.2f m = ",
                                   "%1.0f", "%2.1f", "%7.3f", "%.6f", "%+5.1f", "%-6.1f|", "%e"};
    std::vector<float> values = {0.0f,   -0.0f,   0.25f,    -0.25f,  0.05f,    -0.04f, 2.5f,
                                 3.5f,   -2.5f,   0.125f,   1.005f,  999.95f,  -9.95f, 1e12f,
                                 3e38f,  -3e38f,  1e-30f,   NAN,     INFINITY, -INFINITY};
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> wide(-5000.0f, 5000.0f);
    for (int i = 0; i < 2000; ++i) values.push_back(wide(gen));
    for (int i = 0; i < 200; ++i) values.push_back(static_cast<float>(i - 100) / 8.0f);  // ties
    for (const char *format : formats)
        for (float v : values) {
            char want[400];
            std::snprintf(want, sizeof want, format, static_cast<double>(v));
            std::string got;
            append_fixed(&got, format, v);
            ASSERT_EQ(got, want) << format << " of " << v;
        }
}
