// Grid records, matching, interpolation, the input-file set-up and the
// station and forecast-time prompts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "grd_test_util.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"

using namespace grdtest;

namespace {

class GrdTool : public ::testing::Test {
protected:
    void SetUp() override {
        reset_resources();
        GRD_set_prompt_time(1);
    }
};

// A 3 x 2 grid with value 10*j + i.
struct SmallGrid {
    GRD_report rec;
    float values[6] = {0, 1, 2, 10, 11, 12};
    SmallGrid() {
        GRD_init(&rec);
        rec.domain.nx = 3;
        rec.domain.ny = 2;
        rec.grid = values;
    }
};

}  // namespace

TEST_F(GrdTool, InitialisedRecord) {
    GRD_report r;
    std::memset(&r, 0x5A, sizeof(r));
    GRD_init(&r);
    EXPECT_EQ(r.grid, nullptr);
    EXPECT_EQ(r.datim[0], '\0');
    EXPECT_EQ(r.info[0], '\0');
    EXPECT_EQ(r.source, 0);
    EXPECT_EQ(r.model, 0);
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.time, MISSING);
    EXPECT_EQ(r.ltype, MISSING);
    EXPECT_EQ(r.level, MISSING);
    EXPECT_EQ(r.var, MISSING);
    EXPECT_TRUE(GRD_alloc(&r, 10));
    EXPECT_NE(r.grid, nullptr);
    EXPECT_FALSE(GRD_alloc(&r, 0));
    EXPECT_EQ(r.grid, nullptr);
    GRD_free(&r);
}

TEST_F(GrdTool, MatchingWantedFields) {
    VAR_data want;
    GRD_set_params(&want, 6, 100, 500, 11);
    EXPECT_EQ(want.var[0], 11);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(want.var[i], 0);
    // A wanted time matches the same hours with any time range code, a
    // time with a range only that range; the four open entries of the
    // parameter list accept parameter 0.
    const struct {
        int want_time, want_ltype, want_level, want_var;
        int time, ltype, level, var, grid, match;
    } cases[] = {
        {6, 100, 500, 11, 6, 100, 500, 11, MISSING, 1},
        {6, 100, 500, 11, 1006, 100, 500, 11, MISSING, 1},
        {6, 100, 500, 11, 2006, 100, 500, 11, MISSING, 1},
        {6, 100, 500, 11, 4012006, 100, 500, 11, MISSING, 1},
        {6, 100, 500, 11, 12, 100, 500, 11, MISSING, 0},
        {1006, 100, 500, 11, 1006, 100, 500, 11, MISSING, 1},
        {1006, 100, 500, 11, 6, 100, 500, 11, MISSING, 0},
        {1006, 100, 500, 11, 2006, 100, 500, 11, MISSING, 0},
        {6, 100, MISSING, 11, 6, 100, 850, 11, MISSING, 1},
        {6, 100, MISSING, 11, 6, 100, 850, 11, 211, 1},
        {6, 100, MISSING, 11, 6, 100, 850, 11, 212, 0},
        {6, 100, MISSING, 11, 6, 105, 850, 11, MISSING, 0},
        {6, 100, MISSING, 11, 6, 100, 850, 7, MISSING, 0},
        {6, 100, MISSING, 11, 6, 100, 850, 0, MISSING, 1},
        {MISSING, MISSING, MISSING, 7, 123, 1, 850, 7, MISSING, 1},
    };
    for (const auto &c : cases) {
        GRD_set_params(&want, c.want_time, c.want_ltype, c.want_level, c.want_var);
        GRD_report r;
        GRD_init(&r);
        r.time = c.time;
        r.ltype = c.ltype;
        r.level = c.level;
        r.var = c.var;
        r.type = 211;
        EXPECT_EQ(GRD_test(&r, &want, c.grid), c.match)
            << "want " << c.want_time << " " << c.want_ltype << " " << c.want_level << " " << c.want_var
            << ", found " << c.time << " " << c.ltype << " " << c.level << " " << c.var << " grid " << c.grid;
    }
}

TEST_F(GrdTool, BilinearValues) {
    SmallGrid g;
    EXPECT_FLOAT_EQ(GRD_get_value(&g.rec, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(GRD_get_value(&g.rec, 1.5f, 0.5f), 6.5f);
    EXPECT_FLOAT_EQ(GRD_get_value(&g.rec, 0.25f, 0.0f), 0.25f);
    // last column and last row interpolate from themselves
    EXPECT_FLOAT_EQ(GRD_get_value(&g.rec, 2.0f, 0.5f), 7.0f);
    EXPECT_FLOAT_EQ(GRD_get_value(&g.rec, 1.5f, 1.0f), 11.5f);
    EXPECT_FLOAT_EQ(GRD_get_value(&g.rec, 2.0f, 1.0f), 12.0f);
    // outside
    EXPECT_EQ(GRD_get_value(&g.rec, 2.01f, 0.0f), MISSING_F);
    EXPECT_EQ(GRD_get_value(&g.rec, -0.01f, 0.0f), MISSING_F);
    EXPECT_EQ(GRD_get_value(&g.rec, 0.0f, 1.01f), MISSING_F);
    EXPECT_EQ(GRD_get_value(&g.rec, 0.0f, -1.0f), MISSING_F);
    EXPECT_EQ(GRD_get_value(&g.rec, std::nanf(""), 0.0f), MISSING_F);
    // one missing corner
    g.values[4] = MISSING_F;
    EXPECT_EQ(GRD_get_value(&g.rec, 0.5f, 0.5f), MISSING_F);
    EXPECT_EQ(GRD_get_value(&g.rec, 0.0f, 0.0f), MISSING_F);
    EXPECT_FLOAT_EQ(GRD_get_value(&g.rec, 2.0f, 0.0f), 2.0f);
    g.rec.grid = nullptr;
    EXPECT_EQ(GRD_get_value(&g.rec, 0, 0), MISSING_F);
}

TEST_F(GrdTool, ValueAtAMapPointOfALatLonGrid) {
    std::string path = write_file("ll.grb", make_grib1(ramp(11, 100, 500, 250.0f)));
    int type = 0;
    int s = GRD_open(path.c_str(), 0, &type);
    ASSERT_GE(s, 0);
    GRD_report rec;
    GRD_init(&rec);
    int num = 0;
    ASSERT_EQ(GRD_read(s, &rec, 0, &num), 0);
    GRD_close(s);
    // grid: 42N..40N by 1 degree, 102W..99W by 1 degree, value 250 + i + 10 j
    MAP_domain(&rec.domain);
    float x = 0, y = 0;
    ASSERT_EQ(MAP_tran(41.5f, -100.5f, &x, &y), 1);
    float v = GRD_get_value_domain(&rec, nullptr, &x, &y);
    EXPECT_NEAR(x, 1.5f, 1e-3);
    EXPECT_NEAR(y, 0.5f, 1e-3);
    EXPECT_NEAR(v, 250.0f + 1.5f + 5.0f, 0.06f);
    // the same point given in another display domain
    Domain disp;
    DOM_init(&disp);
    disp.proj = 1;
    disp.plat = 90;
    disp.plon = -105;
    disp.clat = 40;
    disp.clon = -100;
    disp.dx = 0.5f;
    disp.dy = 0.5f;
    disp.nx = 20;
    disp.ny = 20;
    disp.param[0] = 60;
    MAP_domain(&disp);
    float dx = 0, dy = 0;
    ASSERT_EQ(MAP_tran(41.5f, -100.5f, &dx, &dy), 1);
    float v2 = GRD_get_value_domain(&rec, &disp, &dx, &dy);
    EXPECT_NEAR(dx, 1.5f, 1e-2);
    EXPECT_NEAR(dy, 0.5f, 1e-2);
    EXPECT_NEAR(v2, v, 0.05f);
    Domain cur;
    MAP_get_domain(&cur);
    EXPECT_EQ(cur.proj, 1);  // the display domain is current again
    GRD_free(&rec);
}

TEST_F(GrdTool, InputFileFromTheModelTable) {
    RES_put("model", "eta");
    RES_put("file_path", make_dir("nomodels").c_str());
    GRD_in_file();
    EXPECT_EQ(FLAG_get(4), 3);
    EXPECT_STREQ(VAR_get_model_str(), "eta");
    EXPECT_EQ(GRD_get_mosaic(nullptr, nullptr), 0);

    reset_resources();
    RES_put("file_path", make_dir("nomodels").c_str());
    RES_put("model", "ECMWF");
    GRD_in_file();
    EXPECT_EQ(FLAG_get(4), 20);

    reset_resources();
    RES_put("file_path", make_dir("nomodels").c_str());
    GRD_in_file();
    EXPECT_STREQ(VAR_get_model_str(), "ngm");
    EXPECT_EQ(FLAG_get(4), 2);
}

TEST_F(GrdTool, InputFileFromModelLookupMosaics) {
    std::string dir = make_dir("models");
    write_file("models/model.lup",
               "# models\n"
               "first  1x1 grib_first   # a comment\n"
               "quad   2x2 ga#201,gb,gc#203,gd\n"
               "row    3   ra,rb\n");
    RES_put("file_path", dir.c_str());
    GRD_in_file();  // no model resource: the first word is the model
    EXPECT_STREQ(VAR_get_model_str(), "first");
    EXPECT_EQ(FLAG_get(4), MISSING);

    RES_put("model", "QUAD");
    RES_put("grid_type", "99");
    GRD_in_file();
    int nx = 0, ny = 0;
    ASSERT_EQ(GRD_get_mosaic(&nx, &ny), 4);
    EXPECT_EQ(nx, 2);
    EXPECT_EQ(ny, 2);
    char pattern[40];
    int col, row, grid;
    ASSERT_EQ(GRD_get_mosaic_piece(0, pattern, sizeof(pattern), &col, &row, &grid), 1);
    EXPECT_STREQ(pattern, "ga");
    EXPECT_EQ(grid, 201);
    ASSERT_EQ(GRD_get_mosaic_piece(1, pattern, sizeof(pattern), &col, &row, &grid), 1);
    EXPECT_STREQ(pattern, "gb");
    EXPECT_EQ(col, 1);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(grid, 99);
    ASSERT_EQ(GRD_get_mosaic_piece(2, pattern, sizeof(pattern), &col, &row, &grid), 1);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(grid, 203);
    EXPECT_EQ(GRD_get_mosaic_piece(4, pattern, sizeof(pattern), &col, &row, &grid), 0);
    EXPECT_EQ(FLAG_get(4), MISSING);  // found in the table: no model number

    RES_put("model", "row");
    GRD_in_file();
    ASSERT_EQ(GRD_get_mosaic(&nx, &ny), 2);
    EXPECT_EQ(nx, 3);
    EXPECT_EQ(ny, 1);
}

TEST_F(GrdTool, InputFormatFlags) {
    RES_put("file_path", make_dir("nomodels").c_str());
    RES_put("in_file", "zupx");
    GRD_in_file();
    EXPECT_EQ(FLAG_get(17), 3);
    RES_put("in_file", "cdfgrid");
    GRD_in_file();
    EXPECT_EQ(FLAG_get(17), 12);
    RES_put("in_file", "GRIB");
    GRD_in_file();
    EXPECT_EQ(FLAG_get(17), 23);
    FLAG_set(17, MISSING);
    RES_put("in_file", "gribby");
    RES_put("input", "zupz");
    GRD_in_file();
    EXPECT_EQ(FLAG_get(17), MISSING);  // input words must be exact
    RES_put("input", "CDF");
    GRD_in_file();
    EXPECT_EQ(FLAG_get(17), 12);
}

TEST_F(GrdTool, StationAsLatLonOrFromTheDatabase) {
    char id[STATION_ID_LEN];
    float lat = 0, lon = 0;
    RES_put("identifier", "40.5,-105.1");
    EXPECT_EQ(GRD_prompt_id(id, &lat, &lon), 2);
    EXPECT_STREQ(id, "40.5,-105.1");
    EXPECT_FLOAT_EQ(lat, 40.5f);
    EXPECT_FLOAT_EQ(lon, -105.1f);

    RES_put("identifier", "kden");
    EXPECT_EQ(GRD_prompt_id(id, &lat, &lon), 1);
    EXPECT_NEAR(lat, 39.867f, 1e-3);
    EXPECT_NEAR(lon, -104.667f, 1e-3);

    RES_put("identifier", "72565");
    EXPECT_EQ(GRD_prompt_id(id, &lat, &lon), 1);
    EXPECT_NEAR(lat, 39.867f, 1e-3);

    RES_put("identifier", "40.5");
    EXPECT_EQ(GRD_prompt_id(id, &lat, &lon), 0);
    EXPECT_EQ(lat, MISSING_F);
    EXPECT_EQ(lon, MISSING_F);

    RES_put("identifier", "a_station_name_longer_than_the_buffer");
    GRD_prompt_id(id, &lat, &lon);
    EXPECT_EQ(std::strlen(id), static_cast<std::size_t>(STATION_ID_LEN - 1));

    RES_put("city_file", "none");
    RES_put("identifier", "KDEN");
    EXPECT_EQ(GRD_prompt_id(id, &lat, &lon), 0);
}

TEST_F(GrdTool, BuiltInTimeMenu) {
    RES_put("file_path", make_dir("notimes").c_str());
    EXPECT_EQ(GRD_read_time_menu(), 0);
    const MENU_item *m = GRD_get_time_menu();
    EXPECT_STREQ(m[0].name, "Back to previous menu");
    EXPECT_STREQ(m[0].abbr, "back");
    EXPECT_EQ(m[0].index, 0);
    EXPECT_STREQ(m[1].name, "Initialized");
    EXPECT_EQ(m[1].index, 999);
    EXPECT_EQ(m[1].disp[0], 1);
    EXPECT_STREQ(m[2].abbr, "h03");
    EXPECT_EQ(m[2].disp[0], 0);
    EXPECT_STREQ(m[27].name, "10 day");
    EXPECT_EQ(m[27].index, 240);
    EXPECT_EQ(m[28].name, nullptr);
}

TEST_F(GrdTool, TimeMenuFile) {
    std::string dir = make_dir("times");
    char prog[FILE_NAME_LEN];
    RES_get_progname(prog);
    write_file(std::string("times/") + prog + ".tim",
               "init Initialized 1\n"
               "h03  3_hour_  0\n"
               "h06  6_hour  mo=eta|nam\n"
               "h09  9_hour  size=2,MO=ruc,mo=~eta\n"
               "h12  12_hour  mo=gfs\n"
               "bad\n");
    RES_put("file_path", dir.c_str());
    VAR_set_model_str("eta");
    ASSERT_EQ(GRD_read_time_menu(), 1);
    const MENU_item *m = GRD_get_time_menu();
    EXPECT_STREQ(m[1].abbr, "init");
    EXPECT_STREQ(m[2].abbr, "h06");
    EXPECT_STREQ(m[2].name, "6 hour");
    EXPECT_EQ(m[2].index, 1);
    EXPECT_EQ(m[2].disp[0], 1);
    EXPECT_EQ(m[3].name, nullptr);

    VAR_set_model_str("ruc");
    ASSERT_EQ(GRD_read_time_menu(), 1);
    m = GRD_get_time_menu();
    EXPECT_STREQ(m[2].abbr, "h09");
    EXPECT_EQ(m[3].name, nullptr);

    // at most 38 entries are kept
    std::string text;
    for (int i = 0; i < 45; ++i) (text += "h") += std::to_string(i) + " T_" + std::to_string(i) + " 1\n";
    write_file(std::string("times/") + prog + ".tim", text);
    ASSERT_EQ(GRD_read_time_menu(), 1);
    m = GRD_get_time_menu();
    EXPECT_STREQ(m[38].abbr, "h37");
    EXPECT_EQ(m[39].name, nullptr);
}

TEST_F(GrdTool, TimeResourceGivesExactlyOneTime) {
    RES_put("time", "h24,h36");
    EXPECT_EQ(GRD_prompt_time(), 1);
    EXPECT_EQ(FLAG_getl(6), 24);
    EXPECT_EQ(GRD_prompt_time(), 0);
    GRD_set_prompt_time(1);
    RES_put("time", "d3");
    EXPECT_EQ(GRD_prompt_time(), 1);
    EXPECT_EQ(FLAG_getl(6), 72);
    GRD_set_prompt_time(0);
    RES_put("time", "init");
    EXPECT_EQ(GRD_prompt_time(), 0);
    GRD_set_prompt_time(1);
    RES_put("time", "nonsense");
    EXPECT_EQ(GRD_prompt_time(), 0);
}

// Every time the menus offer must decode into the hours it stands for:
// the built-in entries to their own index ("Initialized" to the analysis),
// the shipped time-menu file to an explicit time.
TEST_F(GrdTool, TimeMenuAnswersDecode) {
    RES_put("file_path", make_dir("notimes2").c_str());
    EXPECT_EQ(GRD_read_time_menu(), 0);
    const MENU_item *m = GRD_get_time_menu();
    int k = 1;
    for (; m[k].name; ++k) {
        int t = -1;
        EXPECT_EQ(VAR_dec_time(m[k].abbr, &t), 2) << m[k].abbr;
        EXPECT_EQ(t, m[k].index == 999 ? 0 : m[k].index) << m[k].abbr;
    }
    EXPECT_EQ(k, 28);

    int count = 0;
    for (const std::string &line : lines(read_file(data_dir() + "/raziva.tim"))) {
        char abbr[9] = "", name[31] = "", disp[40] = "";
        ASSERT_EQ(std::sscanf(line.c_str(), "%8s %30s %39s", abbr, name, disp), 3) << line;
        int t = -1;
        EXPECT_EQ(VAR_dec_time(abbr, &t), 2) << line;
        ++count;
    }
    EXPECT_GT(count, 20);
    EXPECT_LE(count, 38);
}

// The matching trace names wanted and found values side by side.
TEST_F(GrdTool, MatchingTrace) {
    VAR_data want;
    GRD_set_params(&want, 12, 100, MISSING, 7);
    GRD_report r;
    GRD_init(&r);
    r.var = 7;
    r.ltype = 100;
    r.level = 850;
    r.time = 12;
    r.type = 211;
    MESS_set(1, MESS_DEBUG);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(GRD_test(&r, &want, 212), 0);
    std::string text = ::testing::internal::GetCapturedStdout();
    MESS_set(-1, MESS_DEBUG);
    EXPECT_EQ(text, "Searching: T-12:12 LT-100:100 L--9999:850 V-7,0,0,0,0:7 G-212:211 = 0\n");
}
