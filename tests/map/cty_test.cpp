// Station database: record decoding and lookup by identifier, name and
// five-digit WMO number; the shipped database.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "map/map_fixtures.h"
#include "zupcty.h"
#include "zupresrc.h"

namespace {

using namespace map_test;

class Cty : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_clear();
        MESS_set(0, 0xFFFFF);
        RES_put("city_file", (kData + "/stations.cty").c_str());
    }
    void TearDown() override { RES_clear(); }
};

TEST_F(Cty, DecodeRecordFields) {
    const struct {
        const char *line, *want;
    } cases[] = {
        {"Denver CO US KDEN *2* 39.867 -104.667 1655 72565 1\n",
         "Denver|CO|US|KDEN|*|2|*|39.867|-104.667|1655|72565|1"},
        {"Oslo -- NO ENGM 1 60.2 11.083 9000.5 1384 5",  // elevation above 9000: missing
         "Oslo|--|NO|ENGM| |1| |60.2|11.083|-|1384|5"},
        {"Norman OK US KOUN 2* 35.2 -97.4", "Norman|OK|US|KOUN| |2|*|35.2|-97.4|-|-|-"},  // short
    };
    CTY_data d;
    for (const auto &c : cases) {
        ASSERT_EQ(CTY_decode_line(c.line, &d), 1) << c.line;
        EXPECT_EQ(desc(d), c.want);
    }
    EXPECT_EQ(CTY_decode_line("# a comment 1 2 3 4 5 6", &d), 0);
    EXPECT_EQ(CTY_decode_line("garbage with no numbers at all", &d), 0);
    EXPECT_EQ(CTY_decode_line("", &d), 0);
    EXPECT_EQ(CTY_decode_line("X -- XX YY 1 95.0 10.0", &d), 0);  // impossible latitude
    // Fields are bounded: a long name fills 20 characters and the rest of
    // the line no longer fits the record layout.
    EXPECT_EQ(CTY_decode_line("Abcdefghijklmnopqrstuvwxyz -- XX YY 1 1 2", &d), 0);
}

TEST_F(Cty, FormatAndDecodeAgree) {
    CTY_data d{};
    copy_field(d.name, "Some_Place");
    copy_field(d.state, "OK");
    copy_field(d.region, "US");
    copy_field(d.id, "KABC");
    d.mos = d.ua = '*';
    d.prior = 3;
    d.lat = -12.345f;
    d.lon = 123.456f;
    d.el = MISSING_F;
    d.wmo = 3772;
    d.num = 9;
    char line[160];
    ASSERT_EQ(CTY_format_line(&d, line, sizeof line), 0);
    CTY_data e;
    ASSERT_EQ(CTY_decode_line(line, &e), 1) << line;
    EXPECT_EQ(desc(e), desc(d));
    char small[10];
    EXPECT_EQ(CTY_format_line(&d, small, sizeof small), -1);
}

TEST_F(Cty, FindByIdentifierNameAndWmoNumber) {
    CTY_data d;
    ASSERT_EQ(CTY_get("kden", &d), 1);
    EXPECT_STREQ(d.id, "KDEN");
    ASSERT_EQ(CTY_get("NORMAN", &d), 1);
    EXPECT_STREQ(d.id, "KOUN");
    ASSERT_EQ(CTY_get("denver", &d), 1);  // the first of two Denvers
    EXPECT_STREQ(d.id, "KDEN");
    ASSERT_EQ(CTY_get("Denver Second", &d), 1);  // blanks stand for underscores
    EXPECT_STREQ(d.id, "KXXX");                   // found after an over-long line
    ASSERT_EQ(CTY_get("72357", &d), 1);
    EXPECT_STREQ(d.id, "KOUN");
    ASSERT_EQ(CTY_get("02974", &d), 1);  // five digits with the leading zero
    EXPECT_STREQ(d.id, "EFHK");
    EXPECT_EQ(CTY_get("2974", &d), 0);  // without it: no match by that route
    EXPECT_EQ(CTY_get("-9999", &d), 0);  // a missing number matches nothing
    EXPECT_EQ(CTY_get("KDE", &d), 0);
    EXPECT_EQ(CTY_get("", &d), 0);
    EXPECT_EQ(CTY_get(nullptr, &d), 0);
    ASSERT_EQ(CTY_get("zzz1", &d), 1);
    EXPECT_EQ(d.el, MISSING_F);
}

TEST_F(Cty, SearchMessage) {
    CTY_data d;
    testing::internal::CaptureStdout();
    CTY_get("kden", &d);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Searching the city database file for: kden ...\n"), std::string::npos);
}

TEST_F(Cty, MissingDatabaseFile) {
    CTY_data d;
    RES_put("city_file", "/no/such/dir/sao.cty");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CTY_get("kden", &d), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "CTY_open_file: Database file not found: /no/such/dir/sao.cty\n");
    EXPECT_EQ(CTY_read(&d), 0);  // nothing open
}

TEST_F(Cty, DefaultNameJoinedToFilePath) {
    RES_clear();
    RES_put("file_path", kData.c_str());
    CTY_data d;
    ASSERT_EQ(CTY_get("engm", &d, "stations.cty"), 1);
    EXPECT_EQ(d.mos, '*');
    EXPECT_EQ(d.prior, 1);
    ASSERT_EQ(CTY_get_file("efhk", "stations.cty", &d), 1);
    EXPECT_FLOAT_EQ(d.lat, 60.317f);
}

TEST_F(Cty, CorruptLinesAreSkipped) {
    std::string bytes;
    bytes += "\n \t \n";
    bytes += std::string("\0Nul -- XX KNUL 1 1 1 0 0 0\n", 28);  // a NUL byte opens the line
    bytes += "Good1 -- XX KGD1 1 10 20 100 11111 1\n";
    bytes += "\xff\xfe\xfd garbage\n";
    bytes += "Short -- XX KSH\n";
    bytes += "Nan -- XX KNAN 1 nan 20\n";
    bytes += "Inf -- XX KINF 1 10 inf\n";
    bytes += "Far -- XX KFAR 1 10 999\n";
    bytes += "Long -- XX KLONG 1 10 20 " + std::string(5000, '7') + "\n";
    bytes += std::string(3000, 'q') + "\n";
    bytes += "Prior -- XX KPRI ** 10 20 1 2 3\n";
    bytes += "Good2 -- XX KGD2 3 -10 -20 -9999 -9999 2";  // no newline at the end
    TempFile db(bytes);
    RES_put("city_file", db.path.c_str());
    CTY_data d;
    MESS_set(-1, 3840);  // no progress lines
    EXPECT_EQ(CTY_get("kgd1", &d), 1);  // not swallowed by the NUL line
    EXPECT_EQ(d.wmo, 11111);
    EXPECT_EQ(CTY_get("11111", &d), 1);
    EXPECT_EQ(CTY_get("KGD2", &d), 1);  // last line without a newline
    EXPECT_EQ(d.el, MISSING_F);
    EXPECT_EQ(d.wmo, MISSING);
    EXPECT_EQ(CTY_get("KSH", &d), 0);
    EXPECT_EQ(CTY_get("KNAN", &d), 0);
    EXPECT_EQ(CTY_get("KINF", &d), 0);
    EXPECT_EQ(CTY_get("KFAR", &d), 0);
    ASSERT_EQ(CTY_get("KLONG", &d), 1);  // huge elevation: missing
    EXPECT_EQ(d.el, MISSING_F);
    ASSERT_EQ(CTY_get("kpri", &d), 1);  // "*" without a digit
    EXPECT_EQ(d.mos, '*');
    EXPECT_EQ(d.prior, MISSING);
    // Records come out in file order, bad lines left out.
    ASSERT_EQ(CTY_open_file(db.path.c_str()), 0);
    std::vector<std::string> ids;
    while (CTY_read(&d)) ids.emplace_back(d.id);
    CTY_close_file();
    EXPECT_EQ(ids, (std::vector<std::string>{"KGD1", "KLONG", "KPRI", "KGD2"}));
}

TEST_F(Cty, StandardInputAndPipesAreNotDatabases) {
    CTY_data d;
    const std::string flag = "/tmp/raziva_cty_pipe_" + std::to_string(getpid());
    std::remove(flag.c_str());
    for (const std::string &name : std::vector<std::string>{"-", "std", "STDN", "|touch " + flag}) {
        RES_put("city_file", name.c_str());
        testing::internal::CaptureStderr();
        EXPECT_EQ(CTY_get("kden", &d), 0) << name;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, "CTY_open_file: Database file not found: " + name + "\n");
        EXPECT_EQ(CTY_get_file("kden", name.c_str(), &d), 0);
    }
    EXPECT_NE(access(flag.c_str(), F_OK), 0) << "a command was run";
    std::remove(flag.c_str());
}

TEST_F(Cty, NoneDisablesOnlyTheResource) {
    CTY_data d;
    for (const char *none : {"none", "None", "NONE"}) {
        RES_put("city_file", none);
        testing::internal::CaptureStdout();
        EXPECT_EQ(CTY_get("kden", &d), 0) << none;
        EXPECT_EQ(CTY_get("72357", &d), 0) << none;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << none;  // no search made
    }
    // A named file is still searched.
    testing::internal::CaptureStdout();
    EXPECT_EQ(CTY_get_file("KDEN", (kData + "/stations.cty").c_str(), &d), 1);
    testing::internal::GetCapturedStdout();
    // A missing file named relative to file_path reports the joined name.
    RES_clear();
    RES_put("file_path", "/no/such/dir");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CTY_get("kden", &d), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "CTY_open_file: Database file not found: /no/such/dir/sao.cty\n");
}

TEST(ShippedDatabase, EveryRecordDecodesAndKnownStations) {
    const char *dir = RAZIVA_DATA_DIR;
    const std::string path = std::string(dir) + "/sao.cty";
    FILE *f = std::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr) << path;
    char line[512];
    int records = 0, with_wmo = 0;
    std::set<std::string> ids;
    std::set<int> wmos;
    while (std::fgets(line, sizeof line, f)) {
        if (line[0] == '#') continue;
        CTY_data d;
        ASSERT_EQ(CTY_decode_line(line, &d), 1) << line;
        EXPECT_TRUE(ids.insert(d.id).second) << "duplicate " << d.id;
        // a station answer holds 19 characters: longer names could not be typed
        EXPECT_LE(std::strlen(d.name), 19u) << line;
        if (d.wmo != MISSING) {
            EXPECT_TRUE(wmos.insert(d.wmo).second) << "WMO twice: " << line;
        }
        EXPECT_GE(d.prior, 1);
        EXPECT_LE(d.prior, 3);
        if (d.wmo != MISSING) ++with_wmo;
        ++records;
    }
    std::fclose(f);
    EXPECT_GT(records, 5000);
    EXPECT_GT(with_wmo, 2000);

    RES_clear();
    RES_put("city_file", path.c_str());
    CTY_data d;
    // Norman, Oklahoma: the radiosonde site 72357.
    ASSERT_EQ(CTY_get("72357", &d), 1);
    EXPECT_STREQ(d.id, "KOUN");
    EXPECT_NEAR(d.lat, 35.22, 0.02);
    EXPECT_NEAR(d.lon, -97.45, 0.02);
    EXPECT_STREQ(d.state, "OK");
    EXPECT_STREQ(d.region, "US");
    ASSERT_EQ(CTY_get("egll", &d), 1);
    EXPECT_NEAR(d.lat, 51.48, 0.02);
    EXPECT_NEAR(d.lon, -0.45, 0.02);
    EXPECT_STREQ(d.region, "GB");
    ASSERT_EQ(CTY_get("denver", &d), 1);
    EXPECT_NEAR(d.lat, 39.8, 0.2);
    // "Keflavikurflugvollur" as the station prompt keeps it (19 characters)
    ASSERT_EQ(CTY_get("Keflavikurflugvollu", &d), 1);
    EXPECT_STREQ(d.id, "BIKF");
    // Stations whose source positions were wrong, at their aerodromes.
    struct Known {
        const char *id;
        double lat, lon;
    };
    for (const Known &k : {Known{"MMML", 32.63, -115.24}, Known{"MNBL", 11.99, -83.77},
                           Known{"LDPL", 44.89, 13.92}, Known{"SBMQ", 0.05, -51.07},
                           Known{"DAUO", 33.51, 6.78}, Known{"PAOR", 62.96, -141.93}}) {
        ASSERT_EQ(CTY_get(k.id, &d), 1) << k.id;
        EXPECT_NEAR(d.lat, k.lat, 0.02) << k.id;
        EXPECT_NEAR(d.lon, k.lon, 0.02) << k.id;
    }
    ASSERT_EQ(CTY_get("KBAN", &d), 1);
    EXPECT_STREQ(d.state, "CA");
    EXPECT_STREQ(d.region, "US");
    ASSERT_EQ(CTY_get("ENGM", &d), 1);
    EXPECT_NEAR(d.el, 204.0f, 10.0f);
    ASSERT_EQ(CTY_get("10613", &d), 1);
    EXPECT_STREQ(d.id, "ETSB");
    RES_clear();
}

}  // namespace
