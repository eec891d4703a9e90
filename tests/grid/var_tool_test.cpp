// Parameter numbers, units, descriptions, level and time texts, the edition
// 2 table, model names and model-name patterns.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "grd_priv.h"
#include "grd_test_util.h"
#include "zup.h"
#include "zupgrd.h"

using namespace grdtest;

namespace {

class VarTool : public ::testing::Test {
protected:
    void SetUp() override {
        reset_resources();
        VAR_reset();
    }
    void TearDown() override { VAR_reset(); }
};

GRD_report header(int version, int source, int var, int ltype = 100, int level = 500) {
    GRD_report r;
    GRD_init(&r);
    r.version = version;
    r.source = source;
    r.var = var;
    r.ltype = ltype;
    r.level = level;
    r.time = 0;
    return r;
}

std::string level_text(int time, int ltype, int level) {
    char out[70];
    VAR_make_datalevel(time, ltype, level, out, sizeof(out));
    return out;
}

}  // namespace

TEST_F(VarTool, EditionOneUnitsByParameter) {
    struct Case {
        int var;
        const char *units;
    } cases[] = {{1, "Pa"},     {7, "m"},        {11, "K"},     {17, "K"},     {18, "dK"},
                 {33, "m/s"},   {34, "m/s"},     {52, "%"},     {39, "Pa/s"},  {6, "m^2/s^2"},
                 {10, "Dobson"}, {22, ""},       {27, "gpm"},   {31, "deg"},   {54, "kg/m^2"},
                 {59, "kg/m^2/s"}, {77, "kg/m^3"}, {108, "s"},  {121, "W/m^2"}, {124, "N/m^2"},
                 {135, "kg/kg/s"}, {138, "/s^2"}, {139, "/s/m"}, {157, "J/kg"}, {149, "m^2/s/kg"},
                 {151, "km/s"}, {208, "kg-m/m^2-s"}, {216, "K/s"}, {491, "dBZ"}, {571, "deg"},
                 {250, "-"},    {1011, "K"}};
    for (const Case &c : cases) {
        GRD_report r = header(1, 7, c.var);
        GRIB_units(&r);
        EXPECT_STREQ(r.units, c.units) << "parameter " << c.var;
        EXPECT_EQ(r.var, c.var);
    }
    GRD_report r2 = header(2, 7, 11);
    copy_field(r2.units, "K");
    GRIB_units(&r2);
    EXPECT_STREQ(r2.units, "");  // only editions 0 and 1 carry units here
}

// Edition 0 numbers and the centre's own table (above 128) are renumbered
// to the WMO ones, with level and units where the old number implies them;
// unlisted numbers are left alone.
TEST_F(VarTool, OldAndCentreNumbersAreRenumbered) {
    const struct {
        int version, source, var, ltype, level;
        int want_var, want_ltype, want_level;
        const char *units;
    } cases[] = {
        {0, 7, 4, 100, 500, 11, 100, 500, "C"},
        {0, 7, 2, 100, 500, 7, 100, 500, "10 m"},
        {0, 7, 30, 100, 500, 43, 100, 500, "10^-5 /s"},
        {0, 7, 99, 100, 500, 99, 100, 500, ""},  // not in the old table
        {1, 98, 130, 100, 500, 11, 100, 500, "K"},
        {1, 98, 167, 1, 0, 11, 105, 2, nullptr},
        {1, 98, 151, 1, 0, 1, 102, 0, nullptr},
        {1, 98, 165, 1, 0, 33, 105, 10, nullptr},
        {1, 98, 200, 100, 500, 200, 100, 500, nullptr},  // unlisted
        {1, 98, 11, 100, 500, 11, 100, 500, "K"},        // below 129: WMO numbers
    };
    for (const auto &c : cases) {
        GRD_report r = header(c.version, c.source, c.var, c.ltype, c.level);
        GRIB_units(&r);
        EXPECT_EQ(r.var, c.want_var) << c.version << " " << c.source << ":" << c.var;
        EXPECT_EQ(r.ltype, c.want_ltype) << c.source << ":" << c.var;
        EXPECT_EQ(r.level, c.want_level) << c.source << ":" << c.var;
        if (c.units) {
            EXPECT_STREQ(r.units, c.units) << c.source << ":" << c.var;
        }
    }
}

// Level texts by level type, and the time range in front of them.
TEST_F(VarTool, LevelAndTimeTexts) {
    const struct {
        int time, ltype, level;
        const char *text;
    } cases[] = {
        {0, 100, 500, "500 mb"},          {0, 1, 0, "Surface"},
        {0, 1, 2005, "Surface[5]"},       {0, 1, 7, "Surface[7]"},
        {0, 105, 2, "2 m AG"},            {0, 102, 0, "Sea level"},
        {0, 101, 510, "1000-500 mb"},     {0, 101, 508, "850-500 mb"},
        {0, 101, 599, "SFC-500 mb"},      {0, 101, 50190, "sfc-500 mb"},
        {0, 101, 50195, "trop-500 mb"},   {0, 101, 50205, "sfc[50]-500 mb"},
        {0, 101, 70085, "850-700 mb"},    {0, 104, 5995, "trop+500 m"},
        {0, 106, 30000, "0-3000 m AG"},   {0, 107, 9900, "0.99 sigma"},
        {0, 108, 100050, "0.50-1.00 sigma"}, {0, 112, 10000, "0-10 cm BG"},
        {0, 114, 330300, "300-330 K"},    {0, 116, 30000, "0-30 mb AG"},
        {0, 200, 0, "Whole atms"},        {0, 245, 0, "Wet bulb zero lvl"},
        {0, 9, 0, ""},                    {0, 150, 0, ""},  // unlisted type
        {4000000 + 6, 1, 0, "6 hour acc Surface"},
        {3000000 + 6000 + 12, 1, 0, "6 hour avg Surface"},
        {6000000 + 800000 + 802, 105, 2, "2 day max 2 m AG"},
        {6000000 + 802, 105, 2, "802 day max 2 m AG"},
        {13000000 + 901, 100, 500, "901 month iavg 500 mb"},
        {2000000 + 12024, 100, 850, "12 hour rng 850 mb"},
    };
    for (const auto &c : cases) EXPECT_EQ(level_text(c.time, c.ltype, c.level), c.text) << c.ltype << " " << c.level;
}

TEST_F(VarTool, DescriptionsFromTheVariableList) {
    char out[70];
    VAR_make_datatype(0, 100, 500, 11, "K", out);
    EXPECT_STREQ(out, "500 mb Temperature (K)");
    VAR_make_datatype(0, 9, 0, 52, "", out);
    EXPECT_STREQ(out, "Relative humidity");
    // Without a plot framework the label type is 0: the level text comes
    // first and the parameter is named by its long name.
    VAR_make_datatype(0, 105, 2, 11, "K", out, sizeof(out));
    EXPECT_STREQ(out, "2 m AG Temperature (K)");
    VAR_str(out, 7, nullptr);
    EXPECT_STREQ(out, "Geopotential height");
    VAR_str(out, 19000033, "m/s");
    EXPECT_STREQ(out, "u wind (m/s)");
    VAR_str(out, 255, nullptr);
    EXPECT_STREQ(out, "v255");
    EXPECT_EQ(VAR_search_var_num("tmp"), 11);
    EXPECT_EQ(VAR_search_var_num("HGT"), 7);
    EXPECT_EQ(VAR_search_var_num("NOSUCH"), 0);
    const char *name = nullptr, *abbr = nullptr;
    EXPECT_TRUE(VAR_get_names(52, &name, &abbr));
    EXPECT_STREQ(abbr, "RH");
}

// Descriptions and numbers of plain grids, ensemble members, means and
// spreads.
TEST_F(VarTool, EnsembleMembersMeansAndSpreads) {
    const struct {
        int ens_prod, var;  // ens_prod 0: no ensemble
        const char *units, *info;
        int want;
    } cases[] = {
        {0, 11, "K", "500 mb Temperature (K)", 11},
        {1, 11, "K", "500 mb Ens[+4] Temperature (K)", 19300000 + 2 * 20000 + 4 * 1000 + 11},
        {2, 7, "", "500 mb Ens mean Geopotential height", 19000007},
        {11, 7, "", "500 mb Ens std dev Geopotential height", 19001007},
    };
    for (const auto &c : cases) {
        GRIB_ens_info e{};
        e.ens = 1;
        e.ens_prod = c.ens_prod;
        e.ens_type = 3;
        e.ens_id = 4;
        GRIB_set_ens(c.ens_prod ? &e : nullptr);
        GRD_report r = header(1, 7, c.var);
        copy_field(r.units, c.units);
        GRIB_set_var(&r);
        EXPECT_STREQ(r.info, c.info);
        EXPECT_EQ(r.var, c.want);
    }
    GRIB_set_ens(nullptr);
}

TEST_F(VarTool, ProbabilityProducts) {
    GRIB_ens_info e{};
    e.ens = 1;
    e.ens_prob_var = 61;
    e.ens_prob_type = 1;
    e.ens_prob_low = 5.0f;
    e.ens_prob_up = MISSING_F;
    GRIB_set_ens(&e);
    GRD_report r = header(1, 7, 191, 1, 0);
    r.time = 4000000 + 6012;  // a 6 to 12 hour accumulation
    GRIB_set_var(&r);
    EXPECT_EQ(r.var, 191 * 10000000 + 61 * 10000 + 1 * 1000 + 50);  // limit 5.00 coded 50
    EXPECT_STREQ(r.units, "%");
    std::string info = r.info;
    EXPECT_NE(info.find("Ens prob (%) Total precipitation below 5.00 kg/m^2"), std::string::npos)
        << info;

    e.ens_prob_type = 5;
    e.ens_prob_up = 25.0f;
    GRIB_set_ens(&e);
    r = header(1, 7, 192, 1, 0);
    GRIB_set_var(&r);
    info = r.info;
    EXPECT_NE(info.find("Prob (%) Total precipitation above 25.00"), std::string::npos) << info;
    EXPECT_EQ(r.var, 192 * 10000000 + 61 * 10000 + 5 * 1000 + 125);
    GRIB_set_ens(nullptr);
}

TEST_F(VarTool, EditionTwoParameterTable) {
    // a centre's own entry (0, 1, 192) applies only to that centre; no
    // entry: discipline, category and number encoded
    const int cases[][5] = {{7, 0, 0, 0, 11},  {98, 0, 3, 5, 7},    {7, 0, 1, 1, 52},
                            {7, 0, 2, 2, 33},  {7, 0, 7, 6, 157},   {7, 0, 1, 192, 140},
                            {98, 0, 1, 192, 1192}, {7, 3, 4, 5, 3004005}};
    GribParam gp;
    for (const auto &c : cases) {
        GRIB_get_ver2_param(&gp, c[0], c[1], c[2], c[3]);
        EXPECT_EQ(gp.ind, c[4]) << c[0] << ":" << c[1] << ":" << c[2] << ":" << c[3];
    }
    GRIB_get_ver2_param(&gp, 7, 0, 0, 0);
    EXPECT_STREQ(gp.name, "TMP");
    EXPECT_STREQ(gp.units, "K");
    GRIB_get_ver2_param(&gp, 98, 0, 3, 5);
    EXPECT_STREQ(gp.units, "gpm");
    // without the table the entry stays as initialised
    RES_put("file_path", scratch_dir().c_str());
    GRIB_get_ver2_param(&gp, 7, 0, 0, 0);
    EXPECT_EQ(gp.ind, MISSING);
    EXPECT_EQ(gp.name[0], '\0');
}

TEST_F(VarTool, ForecastTimeTexts) {
    const struct {
        const char *text;
        int result;
        int time;
    } cases[] = {
        {"init", 2, 0}, {"IN", 2, 0}, {"miss", 2, MISSING}, {"h12", 2, 12},
        {"h12-6acc", 2, 4000000 + 6000 + 12}, {"h24-24avg", 2, 3000000 + 24},
        {"h12-6xyz", 2, 2000000 + 6000 + 12}, {"d3", 2, 72}, {"e3", 2, 84}, {"d0", 2, 240},
        {"36", 2, 36}, {"2day", 2, 48}, {"2d", 2, 48}, {"2e", 2, 60}, {"2.5day", 2, 60},
        {"12-12max", 2, 6000000 + 12}, {"anal", 2, 0}, {"anal-6avg", 2, 3000000 + 6000},
        {"garbage", 0, 0}, {"", 2, 0},
        // hours that would not fit the encoded time are refused, not wrapped
        {"d536870913", 0, 0}, {"h99999999999", 0, 0}, {"626022223e", 0, 0},
        {"h12-99999999999acc", 0, 0}, {"anal-2147483647avg", 0, 0}, {"h1000000", 2, 1000000},
    };
    for (const auto &c : cases) {
        int t = 1;
        EXPECT_EQ(VAR_dec_time(c.text, &t), c.result) << c.text;
        EXPECT_EQ(t, c.time) << c.text;
    }
    int t = 1;
    FLAG_setl(6, 30);
    EXPECT_EQ(VAR_dec_time("time", &t), 1);
    EXPECT_EQ(t, 30);
    EXPECT_EQ(VAR_dec_time("time-6", &t), 1);
    EXPECT_EQ(t, 24);
    EXPECT_EQ(VAR_dec_time("time-6acc", &t), 1);
    EXPECT_EQ(t, 4000000 + 24000 + 30);
    EXPECT_EQ(VAR_dec_time("", &t), 1);
    EXPECT_EQ(t, 30);
}

TEST_F(VarTool, ModelNames) {
    // 7084 twice: the second is the cached answer; 98084 is a model of
    // another centre
    const std::pair<int, const char *> cases[] = {{7084, "NAM"},    {7039, "NGM"}, {7084, "NAM"},
                                                  {98130, "ECMWF"}, {98084, ""},   {7999, ""}};
    char name[80];
    for (const auto &[num, want] : cases) {
        VAR_model(name, num);
        EXPECT_STREQ(name, want) << num;
    }
}

TEST_F(VarTool, ModelNamesAnyCentreAndMissingFile) {
    std::string dir = make_dir("modnames");
    write_file("modnames/mod_name.lup", "# test\n84 ANY CENTRE   \n7:84 NCEP NAM\n");
    RES_put("file_path", dir.c_str());
    char name[80];
    VAR_model(name, 7084);
    EXPECT_STREQ(name, "ANY CENTRE");
    VAR_model(name, 84);
    EXPECT_STREQ(name, "ANY CENTRE");
    VAR_reset();
    RES_put("file_path", (dir + "/none").c_str());
    VAR_model(name, 7084);
    EXPECT_STREQ(name, "");
}

TEST_F(VarTool, ModelPatterns) {
    const struct {
        const char *pattern, *model;
        int want;
    } cases[] = {
        {"eta", "eta", 1},     {"eta", "etax", 0},  // the last alternative uses it all
        {"eta|ruc", "ruc", 1}, {"ruc|gfs", "eta", 0}, {"~ruc", "eta", 1},   {"~ruc", "ruc", 0},
        {"e?a", "eta", 1},     {"e.a", "eta", 1},     {"*a", "eta", 1},     {"g*", "gfs", 1},
        {"[a-f]ta", "eta", 1}, {"[g-z]ta", "eta", 0}, {"[xe]ta", "eta", 1}, {"", "eta", 0},
        {"eta", "", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(VAR_menu_display(c.pattern, c.model), c.want) << c.pattern << " " << c.model;
    VAR_set_model_str("gfs");
    EXPECT_STREQ(VAR_get_model_str(), "gfs");
}

// The shipped tables work together: every edition 2 entry names a row of
// the variable list (a misspelt short name would turn the grid into
// parameter 0, which every wanted field accepts), no entry hides behind an
// earlier one with the same numbers, and the short names are unique.
TEST_F(VarTool, ShippedTablesAgree) {
    std::string text = read_file(data_dir() + "/grib2_var.lup");
    ASSERT_FALSE(text.empty());
    std::set<std::string> keys;
    int entries = 0;
    for (const std::string &line : lines(text)) {
        if (line.empty() || line[0] == '#') continue;
        int src, disc, cat, num;
        char name[20];
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d %d %d %19s", &src, &disc, &cat, &num, name), 5)
            << line;
        EXPECT_TRUE(keys.insert(std::to_string(src) + ":" + std::to_string(disc) + ":" +
                                std::to_string(cat) + ":" + std::to_string(num))
                        .second)
            << "duplicate entry: " << line;
        GribParam gp;
        GRIB_get_ver2_param(&gp, src == 0 ? 7 : src, disc, cat, num);
        EXPECT_STREQ(gp.name, name) << line;
        EXPECT_GT(gp.ind, 0) << line;
        EXPECT_LT(gp.ind, 1000) << line;
        ++entries;
    }
    EXPECT_GT(entries, 150);

    // every WMO edition 1 parameter has a name, and no number or short
    // name appears twice
    std::set<int> nums;
    std::set<std::string> abbrs;
    for (const std::string &line : lines(read_file(data_dir() + "/variable.lup"))) {
        int n;
        char abbr[20];
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %19s", &n, abbr), 2) << line;
        EXPECT_TRUE(nums.insert(n).second) << line;
        EXPECT_TRUE(abbrs.insert(abbr).second) << line;
    }
    for (int v = 1; v <= 127; ++v) {
        const char *name = nullptr;
        EXPECT_TRUE(VAR_get_names(v, &name, nullptr)) << v;
    }
    // the parameters of a sounding by their edition 2 numbers
    GribParam gp;
    const int want[][4] = {{0, 3, 5, 7}, {0, 0, 0, 11}, {0, 1, 1, 52},
                           {0, 2, 2, 33}, {0, 2, 3, 34}, {0, 3, 0, 1}};
    for (const auto &w : want) {
        GRIB_get_ver2_param(&gp, 98, w[0], w[1], w[2]);
        EXPECT_EQ(gp.ind, w[3]);
    }
}

// The complaints of the tables, word for word.
TEST_F(VarTool, Messages) {
    MESS_set(1, MESS_ERROR | MESS_WARN | MESS_DEBUG);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    GRD_report own = header(1, 98, 200);
    GRIB_units(&own);
    GRD_report old = header(0, 7, 99);
    GRIB_units(&old);
    char out[70];
    VAR_make_datalevel(0, 150, 0, out, sizeof(out));
    VAR_str(out, 998, nullptr, sizeof(out));
    std::string text = ::testing::internal::GetCapturedStdout();
    text += ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(own.var, 200);
    EXPECT_EQ(old.var, 99);
    EXPECT_STREQ(out, "v998");
    EXPECT_NE(text.find("Invalid GRIB variable: 200\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Invalid GRIB variable: 99\n"), std::string::npos) << text;
    EXPECT_NE(text.find("VAR_make_datatype: no ltype: 150\n"), std::string::npos) << text;
    EXPECT_NE(text.find("VAR_str: no var: 998\n"), std::string::npos) << text;

    VAR_reset();
    RES_put("file_path", scratch_dir().c_str());
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    VAR_str(out, 11, "K", sizeof(out));
    char name[40];
    VAR_model(name, 7084, sizeof(name));
    text = ::testing::internal::GetCapturedStdout();
    text += ::testing::internal::GetCapturedStderr();
    MESS_set(-1, MESS_ERROR | MESS_WARN | MESS_DEBUG);
    EXPECT_STREQ(out, "v11 (K)");  // without the variable list: numbered names
    EXPECT_EQ(VAR_search_var_num("TMP"), 0);
    EXPECT_STREQ(name, "");
    EXPECT_NE(text.find("VAR_read_varfile: Unable to open file: " + scratch_dir() +
                        "/variable.lup\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("VAR_model: Unable to open file: " + scratch_dir() + "/mod_name.lup\n"),
              std::string::npos)
        << text;
}
