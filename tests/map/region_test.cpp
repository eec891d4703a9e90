// Domain texts: the fourteen forms, projection names, built-in regions,
// regions files, comparison, aspect and station priority.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "map/map_fixtures.h"
#include "zupcty.h"
#include "zupresrc.h"

namespace {

using namespace map_test;

class Region : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_clear();
        FLAG_reset(MISSING);
        // A directory without a regions file unless a test says otherwise.
        RES_put("file_path", (kData + "/none").c_str());
        RES_put("city_file", (kData + "/stations.cty").c_str());
        MESS_set(0, 0xFFFFF);
    }
    void TearDown() override { RES_clear(); }
};

TEST_F(Region, ProjectionNames) {
    struct {
        const char *name;
        int code;
    } cases[] = {
        {"polar", 1}, {"ps", 1}, {"PS", 1}, {"ll", 2}, {"lat", 2}, {"latlon", 2},
        {"me", 3}, {"mercator", 3}, {"lamb", 4}, {"lambert", 4}, {"lc", 4},
        {"or", 5}, {"ortho", 5}, {"gn", 6}, {"mo", 7}, {"moll", 7}, {"la", 8},
        {"laea", 8}, {"sat", 9}, {"xy", 20}, {"xlogy", 22}, {"xlogp", 22}, {"vert", 22},
        {"hodo", 23}, {"cat", 24}, {"xp", 25}, {"skewt", 40}, {"therm", 40},
        {"stuve", 41}, {"ema", 42}, {"emagram", 42}, {"teph", 43}, {"rteph", 44},
        {"zoom", 50}, {"size", 51}, {"pix", 99}, {"miss", MISSING},
        {"xpos", -1}, {"pz", -1}, {"p", -1}, {"", -1}, {"skew", -1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(DOM_proj_str(c.name), c.code) << c.name;
        EXPECT_EQ(MAP_proj_str(c.name), c.code) << c.name;
    }
    EXPECT_EQ(DOM_proj_str(nullptr), -1);
}

TEST_F(Region, InitSetsEveryFieldMissing) {
    Domain d;
    std::memset(&d, 1, sizeof d);
    EXPECT_EQ(DOM_init(&d), 0);
    EXPECT_EQ(d.proj, MISSING);
    EXPECT_EQ(d.nx, MISSING);
    EXPECT_EQ(d.ny, MISSING);
    EXPECT_EQ(d.plat, MISSING_F);
    EXPECT_EQ(d.plon, MISSING_F);
    EXPECT_EQ(d.clat, MISSING_F);
    EXPECT_EQ(d.clon, MISSING_F);
    EXPECT_EQ(d.dx, MISSING_F);
    EXPECT_EQ(d.dy, MISSING_F);
    for (float p : d.param) EXPECT_EQ(p, MISSING_F);
    EXPECT_EQ(d.ellipse, 0);
}

// Every form of domain text: the fitted form's result (1 explicit, 2 a
// region) and every field decoded; a want ending early checks a prefix.
TEST_F(Region, DecodedDomains) {
    RES_put("file_path", kData.c_str());
    const struct {
        const char *text;
        int result;
        const char *want;
    } cases[] = {
        {"ps,-100,40,-105,30,20,0.5,0.6", 1, "1 - -100 40 -105 30 20 0.5 0.6"},  // form 1
        {"ps,60,-105,25,17,1.2,1.2", 1, "1 - - 60 -105 25 17 1.2 1.2"},         // 2
        {"lc,-95,35,-90,0.8,0.9", 1, "4 - -95 35 -90 25 17 0.8 0.9"},           // 3
        {"me,id:KOUN,31,21,0.4", 1, "3 - - 35.217 -97.45 31 21 0.4 0.4"},       // 4
        {"me,10,20,31,21,0.4", 1, "3 - 10 20 31 25 17 21 0.4"},  // 6 fields: form 3 first
        {"45,-90,11,9,2,3", 1, "1 - - 45 -90 11 9 2 3"},         // 5
        {"or,45,-90,2,3", 1, "5 - - 45 -90 25 17 2 3"},          // 6
        {"45,-90,11,9,2", 1, "1 - - 45 -90 11 9 2 2"},           // 7
        {"ll,45,-90,2", 1, "2 - - 45 -90 25 17 2 2"},            // 8
        {"zoom,3,4,0.25", 1, "50 - - 3 4 25 17 0.25 0.25"},      // 8, the given spacing
        {"45,-90,11,9", 1, "1 - - 45 -90 11 9 1.2 1.2"},         // 9
        {"45,-90,0.7", 1, "1 - - 45 -90 25 17 0.7 0.7"},         // 10
        {"lamb,45,-90", 1, "4 - - 45 -90 25 17 1.2 1.2"},        // 11
        {"zoom,45,-90", 1, "50 - - 45 -90 25 17 1 1"},           // 11: unit spacing
        {"60,-105", 1, "1 - - 60 -105 25 17 1.2 1.2"},           // 12
        {" 60 , -105 ", 1, "1 - - 60 -105 25 17 1.2 1.2"},       // blanks
        {"id:kden", 1, "1 - - 39.867 -104.667 25 17 1.2 1.2"},   // 13
        {"lamb,id:72357,0.5", 1, "4 - - 35.217 -97.45 25 17 0.5 0.5"},  // station, then dx
        {"size,640,480", 1, "51 "},
        {"size,640.7,480", 1, "51 "},
        {"Size,640,480", 1, "51 "},
        {"ps:-80,50,-90", 1, "1 - -80 50 -90 25 17 1.2 1.2"},    // one item: the longitude
        {"sat:::421.6:1,0,-75,2", 1, "9 - - 0 -75 25 17 2 2"},   // empty items stay unset
        {"US", 2, "1 "},                                         // 14, any case
        {"nowhere", 2, "-1 "},  // an unknown word is a region without a projection
        {"test.reg:west", 2, "4 35 -120 38 -120 31 21 0.6 0.6"},  // any case
        {"fi:test.reg", 2, "1 - - 40 -75 25 17 0.5 0.5"},        // first region of the file
        {"fi:first.reg", 2, "1 - - 55 -110 21 21 0.9 0.9"},      // a bare domain line ...
        {"first.reg:whatever", 2, "1 - - 55 -110 21 21 0.9 0.9"},  // ... answers any name
        {"mixed.reg:SOUTH", 2, "1 - - 30 -90 15 11 0.8 0.8"},    // the bare line comes first
        {"test.reg:loop", 2, "-1 "},  // names itself: no endless loop
        {"test.reg:nothere", 2, "-1 "},
    };
    for (const auto &c : cases) {
        Domain d;
        ASSERT_EQ(DOM_decode(c.text, &d), c.result) << c.text;
        EXPECT_EQ(desc(d).substr(0, std::strlen(c.want)), c.want) << c.text << ": " << desc(d);
        EXPECT_EQ(FLAG_get(5), c.result) << c.text;
    }
}

TEST_F(Region, SizeForm) {
    for (const char *text : {"size,640,480", "size,640.7,480", "Size,640,480"}) {
        Domain d;
        ASSERT_EQ(DOM_decode(text, &d), 1) << text;
        EXPECT_EQ(d.nx, 640) << text;
        EXPECT_EQ(d.ny, 480) << text;
    }
    Domain d;
    testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode("size,1e30,480", &d), -1);  // no plot of that size
    testing::internal::GetCapturedStderr();
}

TEST_F(Region, ProjectionItems) {
    Domain d;
    ASSERT_EQ(DOM_decode("lamb:e:40:-100:30:60,40,-100,50,40,1,1", &d), 1);
    EXPECT_EQ(d.ellipse, 1);
    EXPECT_EQ(d.param[0], 30.0f);
    EXPECT_EQ(d.param[1], 60.0f);
    EXPECT_EQ(d.param[2], MISSING_F);
    EXPECT_EQ(d.param[3], MISSING_F);
    EXPECT_EQ(d.param[4], MISSING_F);
    EXPECT_EQ(desc(d), "4 40 -100 40 -100 50 40 1 1");
    // Empty items leave their fields unset.
    ASSERT_EQ(DOM_decode("sat:::421.6:1,0,-75,2", &d), 1);
    EXPECT_FLOAT_EQ(d.param[0], 421.6f);
    EXPECT_EQ(d.param[1], 1.0f);
    // "e" as the only item switches the ellipse on and sets no longitude.
    ASSERT_EQ(DOM_decode("sat:e,0,-75,2", &d), 1);
    EXPECT_EQ(d.ellipse, 1);
    EXPECT_EQ(d.plon, MISSING_F);
    // A garbage item spoils the projection field.
    testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode("ps:north,50,-90", &d), -1);
    EXPECT_EQ(DOM_decode("ps:1:2:3:4:5:6:7,50,-90", &d), -1);  // too many items
    testing::internal::GetCapturedStderr();
}

TEST_F(Region, InvalidDomains) {
    Domain d;
    ASSERT_EQ(DOM_decode("40,-100,25,17,0.5", &d), 1);
    // An unknown projection followed by three numbers fits nothing: the
    // text is kept as the key, the priority of the last good domain stays.
    testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode("pz,40,-100,1", &d), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "DOM_decode: Invalid plot domain\n");
    EXPECT_EQ(FLAG_get(5), -1);
    EXPECT_EQ(d.proj, MISSING);
    EXPECT_EQ(DOM_get_base_prior(), 4);  // height 16 * 0.5 = 8
    char key[40] = "";
    FILE_get_key('r', key);
    EXPECT_STREQ(key, "pz,40,-100,1");
    testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode("ps,40,-100,25,17,1,1,1,1,1", &d), -1);  // too many fields
    EXPECT_EQ(DOM_decode("40,-100,25.5,17", &d), -1);             // nx not whole
    EXPECT_EQ(DOM_decode("40,,-100", &d), -1);                    // empty field
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(DOM_decode("", &d), MISSING);
    EXPECT_EQ(DOM_decode("miss", &d), MISSING);
    EXPECT_EQ(DOM_decode(nullptr, &d), MISSING);
    EXPECT_EQ(FLAG_get(5), MISSING);
}

TEST_F(Region, BuiltInRegions) {
    Domain d;
    ASSERT_EQ(DOM_decode("us", &d), 2);
    EXPECT_EQ(desc(d).substr(1), " - -97 39 -97 25 17 2.3 2.3");
    EXPECT_EQ(DOM_get_base_prior(), 2);  // height 16 * 2.3 = 36.8
    const struct {
        const char *name;
        float clat, clon, d;
    } table[] = {{"ne", 42, -76, 0.9f}, {"AT", 37, -82, 0.9f}, {"se", 31, -88, 1.1f},
                 {"mw", 43, -93, 1.1f}, {"sp", 32.5f, -100, 1.2f}, {"nw", 44, -112, 1.0f},
                 {"sw", 37, -112, 1.0f}};
    for (const auto &r : table) {
        Domain b;
        DOM_init(&b);
        ASSERT_EQ(DOM_get_def_region(r.name, &b), 1) << r.name;
        EXPECT_EQ(b.clat, r.clat);
        EXPECT_EQ(b.clon, r.clon);
        EXPECT_FLOAT_EQ(b.dx, r.d);
    }
    EXPECT_EQ(DOM_get_def_region("xx", &d), 0);
    // A region without a projection maps every point to itself.
    ASSERT_EQ(DOM_decode("nowhere", &d), 2);
    float x, y;
    MAP_domain(&d);
    EXPECT_EQ(MAP_tran(3, 4, &x, &y), 1);
    EXPECT_EQ(x, 3.0f);
    EXPECT_EQ(y, 4.0f);
}

TEST_F(Region, RegionsFileInFilePathOverridesBuiltIns) {
    Domain d;
    RES_put("file_path", (kData + "/override").c_str());
    ASSERT_EQ(DOM_decode("us", &d), 2);
    EXPECT_EQ(desc(d), "1 - - 45 -100 11 11 3 3");
}

TEST_F(Region, RegionMenuOfAFile) {
    RES_put("file_path", kData.c_str());
    Domain d;
    feed_stdin("2\n");
    testing::internal::CaptureStdout();
    ASSERT_EQ(DOM_decode("test.reg:", &d), 2);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("east"), std::string::npos) << out;
    EXPECT_NE(out.find("WEST"), std::string::npos) << out;
    EXPECT_EQ(d.proj, MAP_lambert);
    EXPECT_EQ(d.clat, 38.0f);
    // Chosen by name, any case.
    feed_stdin("EAST\n");
    testing::internal::CaptureStdout();
    ASSERT_EQ(DOM_decode("test.reg:", &d), 2);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(d.proj, MAP_polar);
    EXPECT_EQ(d.clon, -75.0f);
    // Back out of the menu: a region without a projection.
    feed_stdin("0\n");
    testing::internal::CaptureStdout();
    ASSERT_EQ(DOM_decode("test.reg:", &d), 2);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(d.proj, -1);
}

TEST_F(Region, SearchFile) {
    RES_put("file_path", kData.c_str());
    char out[80];
    EXPECT_EQ(DOM_search_file("test.reg", "EAST", out, sizeof out), 1);
    EXPECT_STREQ(out, "ps,40,-75,25,17,0.5,0.5");
    EXPECT_EQ(DOM_search_file("test.reg", nullptr, out, sizeof out), 1);
    EXPECT_STREQ(out, "ps,40,-75,25,17,0.5,0.5");
    EXPECT_EQ(DOM_search_file("test.reg", "comment", out, sizeof out), 0);
    EXPECT_EQ(DOM_search_file("test.reg", "nothere", out, sizeof out), 0);
    // A line with only a name is a domain text of its own: it answers any
    // region asked for once the lookup reaches it, but not one found before.
    EXPECT_EQ(DOM_search_file("mixed.reg", "north", out, sizeof out), 1);
    EXPECT_STREQ(out, "ps,60,-100,25,17,1.0,1.0");
    EXPECT_EQ(DOM_search_file("mixed.reg", "south", out, sizeof out), 1);
    EXPECT_STREQ(out, "ps,30,-90,15,11,0.8,0.8");
    EXPECT_EQ(DOM_search_file("first.reg", "anything", out, sizeof out), 1);
    EXPECT_STREQ(out, "ps,55,-110,21,21,0.9,0.9");
    char tiny[6];
    EXPECT_EQ(DOM_search_file("test.reg", "east", tiny, sizeof tiny), 1);
    EXPECT_STREQ(tiny, "ps,40");  // bounded copy
    EXPECT_EQ(DOM_search_file("no_such.reg", "east", out, sizeof out), 0);
    // The shipped regions file is readable and every domain in it decodes.
    const char *data = RAZIVA_DATA_DIR;
    if (data) {
        RES_put("file_path", data);
        FILE *f = std::fopen((std::string(data) + "/zup.reg").c_str(), "r");
        ASSERT_NE(f, nullptr);
        char line[256];
        int n = 0;
        while (std::fgets(line, sizeof line, f)) {
            char name[80];
            if (line[0] == '#' || std::sscanf(line, "%79s", name) != 1) continue;
            Domain d;
            ASSERT_EQ(DOM_decode(name, &d), 2) << name;
            EXPECT_GT(d.proj, 0) << name;
            EXPECT_GT(d.nx, 1) << name;
            ++n;
        }
        std::fclose(f);
        EXPECT_GE(n, 5);
    }
}

TEST_F(Region, StationCentres) {
    Domain d;
    // A station in a named file.
    RES_put("city_file", "none");
    ASSERT_EQ(DOM_decode(("id:" + kData + "/stations.cty:EFHK").c_str(), &d), 1);
    EXPECT_FLOAT_EQ(d.clon, 24.967f);
    // With the database switched off the station form does not fit.
    testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode("ps,id:KDEN,1", &d), -1);
    testing::internal::GetCapturedStderr();
}

TEST_F(Region, FlagKeyAndPriority) {
    Domain d;
    ASSERT_EQ(DOM_decode("ps,60,-105,25,17,1.2,1.2", &d), 1);
    char key[40] = "";
    EXPECT_EQ(FILE_get_key('r', key), 1);
    EXPECT_STREQ(key, "ps,60,-105,25,17,1.2,1.2");
    // The priority follows the height of the domain, (ny - 1) dy.
    EXPECT_EQ(DOM_get_base_prior(), 3);  // 16 * 1.2 = 19.2
    ASSERT_EQ(DOM_decode("40,-100,25,3,25", &d), 1);
    EXPECT_EQ(DOM_get_base_prior(), 2);  // 2 * 25 = 50
    RES_put("stat_prior", "+1");
    DOM_decode("us", &d);
    EXPECT_EQ(DOM_get_base_prior(), 3);
    // Made current, form 2 is a north-pole map: the pole lies north of the
    // centre on the central meridian.
    ASSERT_EQ(DOM_decode("ps,60,-105,25,17,1.2,1.2", &d), 1);
    ASSERT_EQ(MAP_domain(&d), 0);
    float x, y, cx, cy;
    MAP_tran(90, 0, &x, &y);
    MAP_tran_center(&cx, &cy);
    EXPECT_NEAR(x, cx, 1e-4);
    EXPECT_GT(y, cy);
}

TEST_F(Region, PriorityFromHeight) {
    const struct {
        float h;
        int p;
    } table[] = {{80, 1}, {50.01f, 1}, {50, 2}, {36.8f, 2}, {25, 3}, {19.2f, 3},
                 {12.5f, 4}, {7, 4}, {6.25f, 5}, {3.01f, 5}, {3, 6}, {0, 6}};
    for (const auto &t : table) {
        DOM_set_base_prior(t.h);
        EXPECT_EQ(DOM_get_base_prior(), t.p) << t.h;
    }
    RES_put("stat_prior", "+2");
    DOM_set_base_prior(36.8f);
    EXPECT_EQ(DOM_get_base_prior(), 4);
    RES_put("stat_prior", "-1");
    DOM_set_base_prior(36.8f);
    EXPECT_EQ(DOM_get_base_prior(), 1);
    RES_put("stat_prior", "5");
    DOM_set_base_prior(80);
    EXPECT_EQ(DOM_get_base_prior(), 5);
}

TEST_F(Region, CompareAndAspect) {
    Domain a, b;
    DOM_decode("ps,60,-105,25,17,1.2,1.2", &a);
    DOM_decode("60,-105", &b);  // the same domain with every default
    EXPECT_EQ(DOM_comp(&a, &b), 1);
    b.plat = 60;  // equals the centre latitude: same as missing
    b.plon = -105;
    EXPECT_EQ(DOM_comp(&a, &b), 1);
    EXPECT_EQ(DOM_comp(&b, &a), 1);
    b.plat = 90;
    EXPECT_EQ(DOM_comp(&a, &b), 0);
    b = a;
    b.param[3] = 1;
    EXPECT_EQ(DOM_comp(&a, &b), 0);
    b = a;
    b.ellipse = 1;
    EXPECT_EQ(DOM_comp(&a, &b), 0);
    b = a;
    b.ny = 18;
    EXPECT_EQ(DOM_comp(&a, &b), 0);
    EXPECT_EQ(DOM_comp(&a, nullptr), 0);
    EXPECT_FLOAT_EQ(DOM_aspect(&a), 24.0f / 16.0f);
    a.ny = 1;
    EXPECT_EQ(DOM_aspect(&a), 1.0f);
    EXPECT_EQ(DOM_aspect(nullptr), 1.0f);
}

TEST_F(Region, BadInputIsRejectedCleanly) {
    Domain d;
    testing::internal::CaptureStderr();
    const std::string long_word(5000, 'x');
    EXPECT_EQ(DOM_decode(long_word.c_str(), &d), 2);  // an unknown region
    EXPECT_EQ(d.proj, -1);
    std::string many = "ps";
    for (int i = 0; i < 2000; ++i) many += ",1";
    EXPECT_EQ(DOM_decode(many.c_str(), &d), -1);
    EXPECT_EQ(DOM_decode("nan,inf", &d), -1);
    EXPECT_EQ(DOM_decode("40,-100,99999999999,17", &d), -1);
    EXPECT_EQ(DOM_decode("40,-100,0,17", &d), -1);  // no grid of zero points
    EXPECT_EQ(DOM_decode(",,,", &d), -1);
    EXPECT_EQ(DOM_decode(("id:" + long_word).c_str(), &d), 2);
    EXPECT_EQ(DOM_decode((long_word + ".reg:" + long_word).c_str(), &d), 2);
    testing::internal::GetCapturedStderr();
    CTY_data c;
    testing::internal::CaptureStdout();
    EXPECT_EQ(CTY_get(long_word.c_str(), &c), 0);
    testing::internal::GetCapturedStdout();
}

TEST_F(Region, SetParamsReportsTheFailingKind) {
    Domain d;
    DOM_init(&d);
    const char *f[] = {"ps", "40", "x"};
    EXPECT_EQ(DOM_set_params(3, f, &d, DOM_proj, DOM_clat, DOM_clon), DOM_clon);
    EXPECT_EQ(DOM_set_params(2, f, &d, DOM_proj, DOM_clat, DOM_clon), DOM_clon);
    EXPECT_NE(DOM_set_params(3, f, &d, DOM_proj, DOM_clat), 0);
    EXPECT_EQ(DOM_set_params(2, f, &d, DOM_proj, DOM_clat), 0);
    EXPECT_EQ(d.proj, 1);
    EXPECT_EQ(d.clat, 40.0f);
}

// The debug trace names the form that fitted.
std::string decode_trace(const char *text, Domain *d, int *result) {
    MESS_set(1, 0x40000000L);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    *result = DOM_decode(text, d);
    std::string out = testing::internal::GetCapturedStdout();
    out += testing::internal::GetCapturedStderr();
    MESS_set(-1, 0x40000000L);
    return out;
}

TEST_F(Region, TraceNamesTheFormFound) {
    const struct {
        const char *text;
        int result;
        const char *trace;
    } cases[] = {
        {"ps,60,-105,25,17,1.2,1.2", 1, " 2 proj,clat,clon,nx,ny,dx,dy\n"},
        {"60,-105", 1, "12 clat,clon\n"},
        {"ps,-100,40,-105,30,20,0.5,0.6", 1, " 1 proj,plon,clat,clon,nx,ny,dx,dy\n"},
        {"lamb,45,-90", 1, "11 proj,clat,clon\n"},
        {"45,-90,0.7", 1, "10 clat,clon,dx\n"},
        {"id:kden", 1, "13 id:station\n"},
        {"us", 2, "14 region\n"},
    };
    for (const auto &c : cases) {
        Domain d;
        int r = 0;
        const std::string out = decode_trace(c.text, &d, &r);
        EXPECT_EQ(r, c.result) << c.text;
        EXPECT_NE(out.find(c.trace), std::string::npos) << c.text << ": " << out;
    }
    // Without the debug bit nothing is printed for a good domain.
    Domain d;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    DOM_decode("60,-105", &d);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Regions files and station files are plain files: the names that mean
// standard input or a command pipe elsewhere are refused, so a domain text
// can neither wait on the terminal nor run a command.
TEST_F(Region, StandardInputAndPipesAreNotRegionFiles) {
    RES_put("file_path", "");
    Domain d;
    feed_stdin("us x 1 ps,10,20,5,5,1,1\n");
    char out[80] = "";
    EXPECT_EQ(DOM_search_file("-", "us", out, sizeof out), 0);
    EXPECT_EQ(DOM_search_file("std", nullptr, out, sizeof out), 0);
    EXPECT_EQ(DOM_decode("fi:-", &d), 2);
    EXPECT_EQ(d.proj, -1);
    EXPECT_EQ(DOM_decode("stdn:us", &d), 2);
    EXPECT_EQ(d.proj, -1);
    // stdin was not touched.
    char line[80] = "";
    ASSERT_NE(std::fgets(line, sizeof line, stdin), nullptr);
    EXPECT_STREQ(line, "us x 1 ps,10,20,5,5,1,1\n");
    const std::string flag = "/tmp/raziva_region_pipe_" + std::to_string(getpid());
    std::remove(flag.c_str());
    EXPECT_EQ(DOM_decode(("|touch " + flag + ":us").c_str(), &d), 2);
    EXPECT_EQ(DOM_decode(("fi:|touch " + flag).c_str(), &d), 2);
    testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode(("ps,id:|touch " + flag + ":KDEN,1").c_str(), &d), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_NE(access(flag.c_str(), F_OK), 0) << "a command was run";
    std::remove(flag.c_str());
}

TEST_F(Region, CorruptRegionsFile) {
    // An over-long line: its tail must not come back as a line of its own
    // (a bare word would answer every region asked for).
    std::string bytes = "\n   \n#only a comment\nlong Long 1 " + std::string(3000, 'z') + "\n";
    bytes += std::string("\0\xff\xfe\x01 x y\n", 9);
    bytes += "good Good 1 ps,50,-100,9,9,1,1\n";
    bytes += "tail Tail 4 ps,1,2,3,3,1,1";  // no newline at the end
    TempFile file(bytes);
    const char *name = file.path.c_str();
    RES_put("file_path", "");
    char out[64] = "";
    EXPECT_EQ(DOM_search_file(name, "good", out, sizeof out), 1);
    EXPECT_STREQ(out, "ps,50,-100,9,9,1,1");
    Domain d;
    ASSERT_EQ(DOM_decode((std::string(name) + ":GOOD").c_str(), &d), 2);
    EXPECT_EQ(d.clat, 50.0f);
    EXPECT_EQ(d.nx, 9);
    // The first region of the file is the over-long line, its domain text
    // cut to the field size and then to the output buffer.
    char big[200] = "";
    EXPECT_EQ(DOM_search_file(name, nullptr, big, sizeof big), 1);
    EXPECT_EQ(std::string(big), std::string(160, 'z'));
    EXPECT_EQ(DOM_search_file(name, "TAIL", out, sizeof out), 1);
    EXPECT_STREQ(out, "ps,1,2,3,3,1,1");
    EXPECT_EQ(DOM_search_file(name, "nothere", out, sizeof out), 0);
}

TEST_F(Region, RegionsNamingEachOtherEndAtADepthLimit) {
    char dir[] = "/tmp/raziva_regdirXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string reg = std::string(dir) + "/zup.reg";
    FILE *f = std::fopen(reg.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("ping Ping 1 pong\npong Pong 2 ping\nself Self 3 fi:zup.reg\n", f);
    std::fclose(f);
    RES_put("file_path", dir);
    Domain d;
    EXPECT_EQ(DOM_decode("ping", &d), 2);
    EXPECT_EQ(d.proj, -1);
    EXPECT_EQ(DOM_decode("self", &d), 2);
    EXPECT_EQ(d.proj, -1);
    // The next decode starts afresh.
    ASSERT_EQ(DOM_decode("us", &d), 2);
    EXPECT_EQ(d.proj, MAP_polar);
    unlink(reg.c_str());
    rmdir(dir);
}

}  // namespace
