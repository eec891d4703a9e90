// Sounding extraction from the grids of one forecast time.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "grd_test_util.h"
#include "zup.h"
#include "zupgrd.h"
#include "zupupa.h"

using namespace grdtest;

namespace {

constexpr float kLat = 41.0f;
constexpr float kLon = -100.5f;

// Height of an isobaric level in a simple standard-like atmosphere.
float std_height(int p) { return 44330.8f * (1.0f - std::pow(p / 1013.25f, 0.190263f)); }
float std_temp(int p) { return 288.15f - 0.0065f * std_height(p); }

struct Profile {
    int p1 = 12;
    std::vector<int> levels;
    bool surface = true;
    float psfc_pa = 85000.0f;
    int skip_fields = 0;   // leave out this many of the surface fields
    float t_shift = 0.0f;  // added to every temperature
    bool global = false;   // a 10-degree grid round the whole earth
};

// A field of the profile: the small standard grid, or the global one.
Msg1 field(const Profile &pr, int param, int ltype, int level, float v) {
    Msg1 f = constant(param, ltype, level, v, pr.p1);
    if (pr.global) {
        f.nx = 36;
        f.ny = 19;
        f.la1 = 90000;
        f.lo1 = 0;
        f.la2 = -90000;
        f.lo2 = 350000;
        f.values.assign(36 * 19, v);
    }
    return f;
}

std::string build(const Profile &pr) {
    std::string out;
    for (int p : pr.levels) {
        out += make_grib1(field(pr, 7, 100, p, std::round(std_height(p))));
        out += make_grib1(field(pr, 11, 100, p, std_temp(p) + pr.t_shift));
        out += make_grib1(field(pr, 52, 100, p, 80.0f));
        out += make_grib1(field(pr, 33, 100, p, 10.0f));
        out += make_grib1(field(pr, 34, 100, p, 0.0f));
    }
    if (pr.surface) {
        std::vector<std::string> sfc = {
            make_grib1(field(pr, 1, 1, 0, pr.psfc_pa)),
            make_grib1(field(pr, 11, 105, 2, 290.0f + pr.t_shift)),
            make_grib1(field(pr, 52, 105, 2, 50.0f)),
            make_grib1(field(pr, 33, 105, 10, 0.0f)),
            make_grib1(field(pr, 34, 105, 10, -5.0f))};
        for (std::size_t i = static_cast<std::size_t>(pr.skip_fields); i < sfc.size(); ++i)
            out += sfc[i];
    }
    return out;
}

std::vector<int> every50() {
    std::vector<int> v;
    for (int p = 1000; p >= 100; p -= 50) v.push_back(p);
    return v;
}

class SoundGet : public ::testing::Test {
protected:
    void SetUp() override {
        reset_resources();
        GRD_sound_reset();
        UNIT_reset();
        FLAG_setl(6, 12);
    }
    void TearDown() override {
        if (slot >= 0) GRD_close(slot);
        GRD_sound_reset();
    }
    int open(const std::string &bytes, int type = 0) {
        std::string path = write_file("snd.grb", bytes);
        slot = GRD_open(path.c_str(), 0, &type);
        return slot;
    }
    int slot = -1;
    UPA_level lev[300];
    int num = 0;
    float sfcp = 0;
};

}  // namespace

TEST_F(SoundGet, SurfaceAbove850InsertedBehindThe850Level) {
    Profile pr;
    pr.levels = every50();
    ASSERT_GE(open(build(pr)), 0);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    EXPECT_FLOAT_EQ(sfcp, 850.0f);
    EXPECT_EQ(num, 20);  // 19 pressure levels with data + the surface
    // below ground: pressure and height only
    EXPECT_FLOAT_EQ(lev[0].p, 1000.0f);
    EXPECT_NEAR(lev[0].h, std::round(std_height(1000)), 0.6f);
    EXPECT_EQ(lev[0].t, MISSING_F);
    EXPECT_EQ(lev[0].td, MISSING_F);
    EXPECT_EQ(lev[0].dir, MISSING_F);
    EXPECT_EQ(lev[0].spd, MISSING_F);
    EXPECT_EQ(lev[2].t, MISSING_F);
    // the 850 mb level, then the surface
    EXPECT_FLOAT_EQ(lev[3].p, 850.0f);
    EXPECT_NEAR(lev[3].t, std_temp(850) - 273.15f, 0.06f);
    EXPECT_FLOAT_EQ(lev[4].p, 850.0f);
    EXPECT_NEAR(lev[4].t, 290.0f - 273.15f, 0.06f);
    EXPECT_NEAR(lev[4].td, dew_temp(290.0f, 50.0f) - 273.15f, 0.05f);
    EXPECT_NEAR(lev[4].dir, 0.0f, 0.5f);        // wind from the north
    EXPECT_NEAR(lev[4].spd, 5.0f * 1.944f, 0.05f);
    EXPECT_NE(lev[4].h, MISSING_F);              // filled hydrostatically
    // an upper level: westerly 10 m/s, 80 % humidity
    EXPECT_FLOAT_EQ(lev[5].p, 800.0f);
    EXPECT_NEAR(lev[5].dir, 270.0f, 0.5f);
    EXPECT_NEAR(lev[5].spd, 19.44f, 0.05f);
    EXPECT_NEAR(lev[5].td, dew_temp(std_temp(800), 80.0f) - 273.15f, 0.1f);
    EXPECT_FLOAT_EQ(lev[num - 1].p, 100.0f);
    // the unused 50 mb level was compacted away
    for (int i = 0; i < num; ++i) EXPECT_NE(lev[i].p, 50.0f);
    EXPECT_NE(std::string(UPA_get_datim()).size(), 0u);
}

TEST_F(SoundGet, SurfaceBelow1000GoesFirst) {
    Profile pr;
    pr.levels = every50();
    pr.psfc_pa = 101300.0f;
    ASSERT_GE(open(build(pr)), 0);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    EXPECT_FLOAT_EQ(sfcp, 1013.0f);
    EXPECT_FLOAT_EQ(lev[0].p, 1013.0f);
    EXPECT_FLOAT_EQ(lev[1].p, 1000.0f);
    EXPECT_NE(lev[1].t, MISSING_F);  // nothing masked
    EXPECT_EQ(num, 20);
}

TEST_F(SoundGet, MissingSurfaceFieldsInterpolatedInPressure) {
    Profile pr;
    pr.levels = every50();
    pr.psfc_pa = 87500.0f;
    // only the surface pressure: temperature, humidity and wind come from
    // the levels on both sides
    std::string sfc_p = make_grib1(constant(1, 1, 0, 87500.0f, 12));
    Profile no_sfc = pr;
    no_sfc.surface = false;
    ASSERT_GE(open(build(no_sfc) + sfc_p), 0);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    EXPECT_FLOAT_EQ(sfcp, 875.0f);
    // the 875 mb surface between 900 and 850 takes their mean (900 is
    // masked only afterwards)
    ASSERT_FLOAT_EQ(lev[3].p, 875.0f);
    EXPECT_NEAR(lev[3].t, (std_temp(900) + std_temp(850)) / 2 - 273.15f, 0.06f);
    EXPECT_NEAR(lev[3].dir, 270.0f, 0.5f);
    EXPECT_EQ(lev[2].t, MISSING_F);
    EXPECT_FLOAT_EQ(lev[4].p, 850.0f);
}

TEST_F(SoundGet, WithoutSurfacePressureNoSurfaceLevel) {
    Profile pr;
    pr.levels = every50();
    pr.surface = false;
    std::string bytes = build(pr);
    // the 2 m and 10 m fields without a surface pressure
    bytes += make_grib1(constant(11, 105, 2, 290.0f, 12)) + make_grib1(constant(52, 105, 2, 50.0f, 12));
    ASSERT_GE(open(bytes), 0);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    EXPECT_FLOAT_EQ(sfcp, 1000.0f);
    EXPECT_EQ(num, 19);
    EXPECT_FLOAT_EQ(lev[0].p, 1000.0f);
    EXPECT_NEAR(lev[0].t, std_temp(1000) - 273.15f, 0.06f);
}

TEST_F(SoundGet, TooFewGrids) {
    std::string bytes;
    for (int p : {1000, 850, 700}) {
        bytes += make_grib1(constant(7, 100, p, std::round(std_height(p)), 12));
        bytes += make_grib1(constant(11, 100, p, std_temp(p), 12));
        bytes += make_grib1(constant(52, 100, p, 80.0f, 12));
    }
    ASSERT_GE(open(bytes), 0);
    EXPECT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 0);
    EXPECT_EQ(num, 0);
}

TEST_F(SoundGet, ForecastTimeSelectsTheGrids) {
    Profile a;
    a.levels = every50();
    Profile b = a;
    b.p1 = 24;
    b.t_shift = 5.0f;
    ASSERT_GE(open(build(a) + build(b)), 0);
    FLAG_setl(6, 24);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    EXPECT_NEAR(lev[4].t, 295.0f - 273.15f, 0.06f);
    FLAG_setl(6, 12);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    EXPECT_NEAR(lev[4].t, 290.0f - 273.15f, 0.06f);
    FLAG_setl(6, 36);
    EXPECT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 0);
}

TEST_F(SoundGet, ValuesAreInterpolatedAtThePoint) {
    Profile pr;
    pr.levels = every50();
    std::string bytes = build(pr);
    // a temperature ramp at 500 mb replaces the constant one
    Msg1 ramp500 = ramp(11, 100, 500, 250.0f, 12);
    // drop the constant 500 mb temperature
    std::string constant500 = make_grib1(constant(11, 100, 500, std_temp(500), 12));
    std::size_t pos = bytes.find(constant500);
    ASSERT_NE(pos, std::string::npos);
    bytes.erase(pos, constant500.size());
    bytes += make_grib1(ramp500);
    ASSERT_GE(open(bytes), 0);
    // 41.5N 100.5W is grid point x = 1.5, y = 0.5
    ASSERT_EQ(GRD_get_sound(slot, 41.5f, -100.5f, lev, &num, &sfcp), 1);
    int k = -1;
    for (int i = 0; i < num; ++i)
        if (lev[i].p == 500.0f) k = i;
    ASSERT_GE(k, 0);
    EXPECT_NEAR(lev[k].t, 250.0f + 1.5f + 5.0f - 273.15f, 0.06f);
}

TEST_F(SoundGet, EditionZeroUnitsAreConverted) {
    // old parameter numbers: height in tens of metres, temperature in C
    std::string bytes;
    for (int p = 1000; p >= 100; p -= 50) {
        Msg1 h = constant(2, 100, p, std::round(std_height(p) / 10.0f), 12);
        Msg1 t = constant(4, 100, p, std::round(std_temp(p) - 273.15f), 12);
        Msg1 r = constant(13, 100, p, 80.0f, 12);
        Msg1 u = constant(23, 100, p, 10.0f, 12);
        Msg1 v = constant(24, 100, p, 0.0f, 12);
        for (Msg1 *f : {&h, &t, &r, &u, &v}) {
            f->edition0 = true;
            bytes += make_grib1(*f);
        }
    }
    ASSERT_GE(open(bytes), 0);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    ASSERT_EQ(num, 19);
    EXPECT_FLOAT_EQ(lev[4].p, 800.0f);
    EXPECT_NEAR(lev[4].h, 10.0f * std::round(std_height(800) / 10.0f), 0.5f);
    EXPECT_NEAR(lev[4].t, std::round(std_temp(800) - 273.15f), 0.01f);
    EXPECT_NEAR(lev[4].dir, 270.0f, 0.5f);
}

TEST_F(SoundGet, PlotParameterSpacing) {
    RES_put("plot_param", "label,dpres=30");
    GRD_snd_param();
    EXPECT_FLOAT_EQ(GRD_get_sound_dp(), 50.0f);
    GRD_set_sound_dp(10.0f);
    EXPECT_FLOAT_EQ(GRD_get_sound_dp(), 50.0f);
    RES_put("plot_param", "nohdr,DPRES:25");
    GRD_snd_param();
    EXPECT_FLOAT_EQ(GRD_get_sound_dp(), 25.0f);
}

TEST_F(SoundGet, TwentyFiveMillibarSpacingUses925) {
    Profile pr;
    for (int p = 1000; p >= 25; p -= 25) pr.levels.push_back(p);
    pr.psfc_pa = 101000.0f;
    ASSERT_GE(open(build(pr)), 0);
    // 50 mb spacing ignores 925
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    for (int i = 0; i < num; ++i) EXPECT_NE(lev[i].p, 925.0f);
    EXPECT_EQ(num, 21);  // 1010, then 1000 .. 50 (49 mb and below skipped)
    GRD_set_sound_dp(25.0f);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    bool has925 = false;
    for (int i = 0; i < num; ++i)
        if (lev[i].p == 925.0f) {
            has925 = true;
            EXPECT_NEAR(lev[i].t, std_temp(925) - 273.15f, 0.06f);
        }
    EXPECT_TRUE(has925);
    EXPECT_FLOAT_EQ(lev[0].p, 1010.0f);
    EXPECT_FLOAT_EQ(lev[num - 1].p, 50.0f);  // 25 mb never filled
    EXPECT_EQ(num, 40);
}

// Damaged files never crash the extraction: the NAM file cut at message
// boundaries and inside the first messages' sections, with the first
// message's section lengths overstated or zeroed, and the sample with
// random bytes changed.
TEST_F(SoundGet, DamagedFilesNeverCrashTheExtraction) {
    const std::string nam = read_file(test_data("eta_grib1.grb"));
    std::string sample = read_file(data_dir() + "/sample.grb");
    ASSERT_GT(nam.size(), 100000u);
    ASSERT_GT(sample.size(), 1000u);
    std::vector<std::string> damaged;
    for (std::size_t p = nam.find("GRIB"); p != std::string::npos && damaged.size() < 40;
         p = nam.find("GRIB", p + 4)) {
        for (std::size_t d : {0, 3, 7, 8, 20, 36, 37, 70, 80, 90, 200}) damaged.push_back(nam.substr(0, p + d));
        if (p > 20000) break;
    }
    damaged.push_back(nam.substr(0, nam.size() - 1));
    const std::size_t pds = 8, gds = 8 + 28;
    for (std::size_t pos : {std::size_t{4}, std::size_t{5}, pds, pds + 1, pds + 2, gds, gds + 1, gds + 2,
                            gds + 6, gds + 8})
        for (unsigned char byte : {0x00, 0xFF}) {
            damaged.push_back(nam);
            damaged.back()[pos] = static_cast<char>(byte);
        }
    unsigned seed = 12345u;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFFu;
    };
    for (int trial = 0; trial < 150; ++trial) {
        std::string bad = sample;
        int flips = 1 + static_cast<int>(next() % 4);
        for (int k = 0; k < flips; ++k) bad[next() % bad.size()] = static_cast<char>(next() & 0xFF);
        if (trial % 5 == 0) bad.resize(next() % bad.size());
        damaged.push_back(bad);
    }
    FLAG_setl(6, 24);
    for (const std::string &bytes : damaged) {
        if (slot >= 0) GRD_close(slot);
        slot = -1;
        ASSERT_GE(open(bytes, GRD_TYPE_GRIB), 0);
        GRD_get_sound(slot, 40.0f, -100.0f, lev, &num, &sfcp);
        EXPECT_LE(num, 42);
    }
}

TEST_F(SoundGet, OversizedGridIsRefused) {
    Profile pr;
    pr.levels = every50();
    std::string bytes = build(pr);
    Msg1 wide = constant(11, 100, 500, 260.0f, 12);
    wide.nx = 2001;
    wide.ny = 1;
    wide.la1 = wide.la2 = 41000;
    wide.lo1 = -102000;
    wide.lo2 = wide.lo1 + 2000 * 10;
    wide.values.assign(2001, 260.0f);
    ASSERT_GE(open(make_grib1(wide) + bytes), 0);
    ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
    for (int i = 0; i < num; ++i) {
        if (lev[i].p == 500.0f) {
            EXPECT_NEAR(lev[i].t, std_temp(500) - 273.15f, 0.06f);
        }
    }
}

// Gaussian latitude counts a grid can have are kept; others would cost a
// search of order n^2 for nothing and leave the rows evenly spaced.
TEST(GaussianParam, KeptOnlyWhenSuchAGridCanExist) {
    const struct {
        long n, ny;
        float want;
    } cases[] = {{32, 64, 32}, {1280, 2560, 1280}, {640, 100, 640}, {8000, 16000, 8000},
                 {0, 64, MISSING_F}, {20, 64, MISSING_F}, {8001, 64, MISSING_F},
                 {4294967295L, 64, MISSING_F}};
    for (const auto &c : cases) EXPECT_EQ(GRD_gaussian_param(c.n, c.ny), c.want) << c.n << " " << c.ny;
}

// High ground (La Paz at 50 mb spacing, Tibet beyond the tenth level; Mexico
// City and Bogota at 25 mb): the surface sits just under the first level
// above it, everything below keeps only pressure and height.
TEST_F(SoundGet, HighSurfaceFoundBeyondTheTenthLevel) {
    const struct {
        float dp, psfc;
        int top;      // lowest level with data: levels every dp mb from 1000 to top
        int surface;  // index of the surface level (no level is compacted)
    } cases[] = {{50, 640, 100, 8}, {50, 545, 100, 10}, {25, 770, 100, 10}, {25, 745, 100, 11}};
    for (const auto &c : cases) {
        SCOPED_TRACE("dp " + std::to_string(c.dp) + " surface " + std::to_string(c.psfc));
        GRD_sound_reset();
        GRD_set_sound_dp(c.dp);
        Profile pr;
        for (int p = 1000; p >= c.top; p -= static_cast<int>(c.dp)) pr.levels.push_back(p);
        pr.psfc_pa = c.psfc * 100;
        ASSERT_GE(open(build(pr)), 0);
        ASSERT_EQ(GRD_get_sound(slot, kLat, kLon, lev, &num, &sfcp), 1);
        GRD_close(slot);
        slot = -1;
        EXPECT_EQ(num, static_cast<int>(pr.levels.size()) + 1);
        EXPECT_FLOAT_EQ(lev[c.surface].p, c.psfc);
        EXPECT_NEAR(lev[c.surface].t, 290.0f - 273.15f, 0.06f);
        EXPECT_GT(lev[c.surface - 1].p, c.psfc);
        EXPECT_LT(lev[c.surface + 1].p, c.psfc);
        EXPECT_NE(lev[c.surface + 1].t, MISSING_F);
        for (int k = 0; k < c.surface; ++k) {
            EXPECT_EQ(lev[k].t, MISSING_F) << lev[k].p;
            EXPECT_EQ(lev[k].spd, MISSING_F) << lev[k].p;
            EXPECT_NE(lev[k].h, MISSING_F) << lev[k].p;
        }
    }
}

// A grid round the whole earth (columns 0 to 350 E) gives a sounding between
// its last and first columns, at Greenwich and across the date line, and at
// both poles.
TEST_F(SoundGet, GlobalGridWrapsAcrossItsSeam) {
    Profile pr;
    pr.levels = every50();
    pr.global = true;
    ASSERT_GE(open(build(pr)), 0);
    const float points[][2] = {{45, -0.1f}, {51.5f, -0.12f}, {10, 355.5f}, {-20, 180}, {90, 0}, {-90, 17}};
    for (const auto &pt : points) {
        ASSERT_EQ(GRD_get_sound(slot, pt[0], pt[1], lev, &num, &sfcp), 1) << pt[0] << "," << pt[1];
        EXPECT_FLOAT_EQ(sfcp, 850.0f);
        EXPECT_EQ(num, 20);
        EXPECT_NEAR(lev[5].dir, 270.0f, 0.5f);
    }
    // The small grid keeps its edge: a point west of it has no sounding.
    Profile small;
    small.levels = every50();
    GRD_close(slot);
    ASSERT_GE(open(build(small)), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_get_sound(slot, kLat, -102.5f, lev, &num, &sfcp), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Too few grids to make sounding: 0"),
              std::string::npos);
}
