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

TEST_F(VarTool, EditionZeroIsRenumbered) {
    GRD_report r = header(0, 7, 4);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 11);
    EXPECT_STREQ(r.units, "C");
    r = header(0, 7, 2);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 7);
    EXPECT_STREQ(r.units, "10 m");
    r = header(0, 7, 30);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 43);
    EXPECT_STREQ(r.units, "10^-5 /s");
    r = header(0, 7, 99);  // not in the old table
    GRIB_units(&r);
    EXPECT_EQ(r.var, 99);
    EXPECT_STREQ(r.units, "");
}

TEST_F(VarTool, CentreOwnTableIsRenumbered) {
    GRD_report r = header(1, 98, 130);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 11);
    EXPECT_STREQ(r.units, "K");
    r = header(1, 98, 167, 1, 0);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 11);
    EXPECT_EQ(r.ltype, 105);
    EXPECT_EQ(r.level, 2);
    r = header(1, 98, 151, 1, 0);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 1);
    EXPECT_EQ(r.ltype, 102);
    r = header(1, 98, 165, 1, 0);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 33);
    EXPECT_EQ(r.level, 10);
    r = header(1, 98, 200);
    GRIB_units(&r);
    EXPECT_EQ(r.var, 200);  // unlisted: left alone
    r = header(1, 98, 11);   // below 129: WMO numbers
    GRIB_units(&r);
    EXPECT_STREQ(r.units, "K");
}

TEST_F(VarTool, LevelTexts) {
    EXPECT_EQ(level_text(0, 100, 500), "500 mb");
    EXPECT_EQ(level_text(0, 1, 0), "Surface");
    EXPECT_EQ(level_text(0, 1, 2005), "Surface[5]");
    EXPECT_EQ(level_text(0, 1, 7), "Surface[7]");
    EXPECT_EQ(level_text(0, 105, 2), "2 m AG");
    EXPECT_EQ(level_text(0, 102, 0), "Sea level");
    EXPECT_EQ(level_text(0, 101, 510), "1000-500 mb");
    EXPECT_EQ(level_text(0, 101, 508), "850-500 mb");
    EXPECT_EQ(level_text(0, 101, 599), "SFC-500 mb");
    EXPECT_EQ(level_text(0, 101, 50190), "sfc-500 mb");
    EXPECT_EQ(level_text(0, 101, 50195), "trop-500 mb");
    EXPECT_EQ(level_text(0, 101, 50205), "sfc[50]-500 mb");
    EXPECT_EQ(level_text(0, 101, 70085), "850-700 mb");
    EXPECT_EQ(level_text(0, 104, 5995), "trop+500 m");
    EXPECT_EQ(level_text(0, 106, 30000), "0-3000 m AG");
    EXPECT_EQ(level_text(0, 107, 9900), "0.99 sigma");
    EXPECT_EQ(level_text(0, 108, 100050), "0.50-1.00 sigma");
    EXPECT_EQ(level_text(0, 112, 10000), "0-10 cm BG");
    EXPECT_EQ(level_text(0, 114, 330300), "300-330 K");
    EXPECT_EQ(level_text(0, 116, 30000), "0-30 mb AG");
    EXPECT_EQ(level_text(0, 200, 0), "Whole atms");
    EXPECT_EQ(level_text(0, 245, 0), "Wet bulb zero lvl");
    EXPECT_EQ(level_text(0, 9, 0), "");
    EXPECT_EQ(level_text(0, 150, 0), "");  // unlisted type
}

TEST_F(VarTool, TimeRangeTexts) {
    EXPECT_EQ(level_text(4000000 + 6, 1, 0), "6 hour acc Surface");
    EXPECT_EQ(level_text(3000000 + 6000 + 12, 1, 0), "6 hour avg Surface");
    EXPECT_EQ(level_text(6000000 + 800000 + 802, 105, 2), "2 day max 2 m AG");
    EXPECT_EQ(level_text(6000000 + 802, 105, 2), "802 day max 2 m AG");
    EXPECT_EQ(level_text(13000000 + 901, 100, 500), "901 month iavg 500 mb");
    EXPECT_EQ(level_text(2000000 + 12024, 100, 850), "12 hour rng 850 mb");
}

TEST_F(VarTool, DescriptionsFromTheVariableList) {
    char out[70];
    VAR_make_datatype(0, 100, 500, 11, "K", out);
    EXPECT_STREQ(out, "500 mb Temperature (K)");
    VAR_make_datatype(0, 9, 0, 52, "", out);
    EXPECT_STREQ(out, "Relative humidity");
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

TEST_F(VarTool, MissingVariableListGivesNumberedNames) {
    RES_put("file_path", scratch_dir().c_str());
    char out[70];
    VAR_str(out, 11, "K");
    EXPECT_STREQ(out, "v11 (K)");
    EXPECT_EQ(VAR_search_var_num("TMP"), 0);
}

TEST_F(VarTool, PlainGridDescription) {
    GRD_report r = header(1, 7, 11);
    copy_field(r.units, "K");
    GRIB_set_ens(nullptr);
    GRIB_set_var(&r);
    EXPECT_STREQ(r.info, "500 mb Temperature (K)");
    EXPECT_EQ(r.var, 11);
}

TEST_F(VarTool, EnsembleMembersMeansAndSpreads) {
    GRIB_ens_info e{};
    e.ens = 1;
    e.ens_prod = 1;
    e.ens_type = 3;
    e.ens_id = 4;
    GRIB_set_ens(&e);
    GRD_report r = header(1, 7, 11);
    copy_field(r.units, "K");
    GRIB_set_var(&r);
    EXPECT_STREQ(r.info, "500 mb Ens[+4] Temperature (K)");
    EXPECT_EQ(r.var, 19300000 + 2 * 20000 + 4 * 1000 + 11);

    e.ens_prod = 2;
    GRIB_set_ens(&e);
    r = header(1, 7, 7);
    GRIB_set_var(&r);
    EXPECT_STREQ(r.info, "500 mb Ens mean Geopotential height");
    EXPECT_EQ(r.var, 19000007);

    e.ens_prod = 11;
    GRIB_set_ens(&e);
    r = header(1, 7, 7);
    GRIB_set_var(&r);
    EXPECT_STREQ(r.info, "500 mb Ens std dev Geopotential height");
    EXPECT_EQ(r.var, 19001007);
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
    EXPECT_EQ(r.var, 191 * 10000000 + 61 * 10000 + 1 * 1000 + float2int(5.0f));
    EXPECT_EQ(r.var / 1000, (191 * 10000000 + 61 * 10000 + 1000) / 1000);
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
    GribParam gp;
    GRIB_get_ver2_param(&gp, 7, 0, 0, 0);
    EXPECT_EQ(gp.ind, 11);
    EXPECT_STREQ(gp.name, "TMP");
    EXPECT_STREQ(gp.units, "K");
    GRIB_get_ver2_param(&gp, 98, 0, 3, 5);
    EXPECT_EQ(gp.ind, 7);
    EXPECT_STREQ(gp.units, "gpm");
    GRIB_get_ver2_param(&gp, 7, 0, 1, 1);
    EXPECT_EQ(gp.ind, 52);
    GRIB_get_ver2_param(&gp, 7, 0, 2, 2);
    EXPECT_EQ(gp.ind, 33);
    GRIB_get_ver2_param(&gp, 7, 0, 7, 6);
    EXPECT_EQ(gp.ind, 157);
    // a centre's own entry applies only to that centre
    GRIB_get_ver2_param(&gp, 7, 0, 1, 192);
    EXPECT_EQ(gp.ind, 140);
    GRIB_get_ver2_param(&gp, 98, 0, 1, 192);
    EXPECT_EQ(gp.ind, 1192);
    // no entry: discipline, category and number encoded
    GRIB_get_ver2_param(&gp, 7, 3, 4, 5);
    EXPECT_EQ(gp.ind, 3004005);
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
    char name[80];
    VAR_model(name, 7084);
    EXPECT_STREQ(name, "NAM");
    VAR_model(name, 7039);
    EXPECT_STREQ(name, "NGM");
    VAR_model(name, 7084);  // cached answer
    EXPECT_STREQ(name, "NAM");
    VAR_model(name, 98130);
    EXPECT_STREQ(name, "ECMWF");
    VAR_model(name, 98084);  // model of another centre
    EXPECT_STREQ(name, "");
    VAR_model(name, 7999);
    EXPECT_STREQ(name, "");
}

TEST_F(VarTool, ModelNamesAnyCentreAndMissingFile) {
    std::string dir = scratch_dir() + "/modnames";
    std::string cmd = "mkdir -p " + dir;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    FILE *f = std::fopen((dir + "/mod_name.lup").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("# test\n84 ANY CENTRE   \n7:84 NCEP NAM\n", f);
    std::fclose(f);
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
    EXPECT_EQ(VAR_menu_display("eta", "eta"), 1);
    EXPECT_EQ(VAR_menu_display("eta", "etax"), 0);  // the last alternative uses it all
    EXPECT_EQ(VAR_menu_display("eta|ruc", "ruc"), 1);
    EXPECT_EQ(VAR_menu_display("ruc|gfs", "eta"), 0);
    EXPECT_EQ(VAR_menu_display("~ruc", "eta"), 1);
    EXPECT_EQ(VAR_menu_display("~ruc", "ruc"), 0);
    EXPECT_EQ(VAR_menu_display("e?a", "eta"), 1);
    EXPECT_EQ(VAR_menu_display("e.a", "eta"), 1);
    EXPECT_EQ(VAR_menu_display("*a", "eta"), 1);
    EXPECT_EQ(VAR_menu_display("g*", "gfs"), 1);
    EXPECT_EQ(VAR_menu_display("[a-f]ta", "eta"), 1);
    EXPECT_EQ(VAR_menu_display("[g-z]ta", "eta"), 0);
    EXPECT_EQ(VAR_menu_display("[xe]ta", "eta"), 1);
    EXPECT_EQ(VAR_menu_display("", "eta"), 0);
    EXPECT_EQ(VAR_menu_display("eta", ""), 0);
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
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? nl : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
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
    std::string vars = read_file(data_dir() + "/variable.lup");
    pos = 0;
    while (pos < vars.size()) {
        std::size_t nl = vars.find('\n', pos);
        std::string line = vars.substr(pos, nl == std::string::npos ? nl : nl - pos);
        pos = nl == std::string::npos ? vars.size() : nl + 1;
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

// Without a plot framework the label type is 0: the level text comes first
// and the parameter is named by its long name.
TEST_F(VarTool, DescriptionsUseLevelTextAndLongNames) {
    char out[70];
    VAR_make_datatype(0, 105, 2, 11, "K", out, sizeof(out));
    EXPECT_STREQ(out, "2 m AG Temperature (K)");
    VAR_make_datatype(0, 0, 0, 7, "", out, sizeof(out));
    EXPECT_STREQ(out, "Geopotential height");
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
    EXPECT_STREQ(out, "v11 (K)");
    EXPECT_STREQ(name, "");
    EXPECT_NE(text.find("VAR_read_varfile: Unable to open file: " + scratch_dir() +
                        "/variable.lup\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("VAR_model: Unable to open file: " + scratch_dir() + "/mod_name.lup\n"),
              std::string::npos)
        << text;
}
