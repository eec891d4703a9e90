// The whole program: batch runs, exit statuses and an interactive session
// driven through standard input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "grd_test_util.h"

using namespace grdtest;

namespace {

class Driver : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    }
};

}  // namespace

TEST_F(Driver, BatchReportAtALatLonPoint) {
    RunResult r = raziva("-ba -me +out1,+out2,+out3,+out4 -id 40,-100 -ft h24 '" + data_dir() + "/sample.grb'");
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char *want : {"Date: 24 hour NAM valid 12Z THU  9 DEC 04", "Station: 40,-100", "Latitude:   40.00\n",
                             "Longitude: -100.00\n", "LEV PRES  HGHT  TEMP  DEWP", "SFC ", "Storm rel helicity"})
        EXPECT_TRUE(has(r.out, want)) << want << "\n" << r.out;
    // batch mode keeps progress messages quiet
    EXPECT_FALSE(has(r.out, "Searching file for grids"));
}

TEST_F(Driver, BatchReportAtADatabaseStation) {
    RunResult r = raziva("-ba -me +out1,+out2,+out3,+out4 -id KDEN -ft h24 '" + test_data("eta_grib1.grb") + "'");
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char *want : {"Station: KDEN", "Latitude:   39.87", "Longitude: -104.67", "SFC "})
        EXPECT_TRUE(has(r.out, want)) << want << "\n" << r.out;
}

TEST_F(Driver, TimeWithoutGridsIsSkipped) {
    RunResult r = raziva("-ba -me +out1,+out2,+out3,+out4 -id 40,-100 -ft init '" + data_dir() + "/sample.grb'");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r.out, "GRD_get_sound: Too few grids to make sounding: 0"));
    EXPECT_FALSE(has(r.out, "Date:"));
}

TEST_F(Driver, ExitStatuses) {
    RunResult unknown = raziva("-ba -id NOWHERE_XX -ft h24 '" + data_dir() + "/sample.grb'");
    EXPECT_EQ(unknown.status, 31);
    EXPECT_TRUE(has(unknown.out, "Station not found"));

    RunResult missing = raziva("-ba -id 40,-100 -ft h24 '" + scratch_dir() + "/no_such_file.grb'");
    EXPECT_EQ(missing.status, 10);

    std::string junk = write_file("junk.grb", "this is not a grid file\n");
    RunResult unreadable = raziva("-ba -id 40,-100 -ft h24 '" + junk + "'");
    EXPECT_EQ(unreadable.status, 255);
    EXPECT_TRUE(has(unreadable.out, "Unable to open grid file:" + junk));

    RunResult help = raziva("-h");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(has(help.out, "This program contours existing grids on a background map"));
}

TEST_F(Driver, InteractiveSession) {
    // "7" is the seventh shown entry of the shipped time menu: 24 hour
    std::string input = test_data("eta_grib1.grb") + "\n40,-100\nh24\n12 hour\n7\nexit\n";
    RunResult r = raziva("-me +out1,+out2,+out3,+out4,nopage", input);
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char *want : {"Enter the grid filename: ", "Enter a station or lat,lon: ", "Forecast Time Menu",
                             "Enter the time: "})
        EXPECT_TRUE(has(r.out, want)) << want;
    // two reports (h24 and entry 7) and one time without grids
    std::size_t first = r.out.find("Date: 24 hour NAM");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(r.out.find("Date: 24 hour NAM", first + 1), std::string::npos);
    EXPECT_TRUE(has(r.out, "Too few grids to make sounding: 0"));
}

TEST_F(Driver, InteractiveBackEndsTheTimeLoop) {
    std::string input = "40,-100\nback\n";
    RunResult r = raziva("-me +out1,+out2,+out3,+out4,nopage '" + data_dir() + "/sample.grb'", input);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(has(r.out, "Date:"));
}

// The station answer: a lone number is a station text, a WMO number counts
// only with its five digits, and "none" as the database switches the lookup
// off.  Narsarsuaq (WMO 04270) lies outside the sample grid, so a found
// station ends normally without a report.
TEST_F(Driver, StationAnswers) {
    const std::string sample = " '" + data_dir() + "/sample.grb'";
    RunResult wmo = raziva("-ba -id 04270 -ft h24" + sample);
    EXPECT_EQ(wmo.status, 0) << wmo.out;
    EXPECT_FALSE(has(wmo.out, "Station not found"));

    EXPECT_EQ(raziva("-ba -id 4270 -ft h24" + sample).status, 31);
    EXPECT_EQ(raziva("-ba -id 40.5 -ft h24" + sample).status, 31);

    EXPECT_EQ(raziva("-ba -cf none -id BGBW -ft h24" + sample).status, 31);
    EXPECT_EQ(raziva("-ba -id BGBW -ft h24" + sample).status, 0);
    RunResult point = raziva("-ba -me +out1,+out2,+out3,+out4 -cf none -id 40,-100 -ft h24" + sample);
    EXPECT_EQ(point.status, 0);
    EXPECT_TRUE(has(point.out, "Latitude:   40.00\nLongitude: -100.00\n")) << point.out;
}

// "exit" or -1 at the time menu ends the program with status 0 before any
// report.
TEST_F(Driver, ExitAtTheTimeMenu) {
    const std::string args = "-me +out1,+out2,+out3,+out4,nopage '" + data_dir() + "/sample.grb'";
    for (const char *answer : {"exit", "-1"}) {
        RunResult r = raziva(args, std::string("40,-100\n") + answer + "\nh24\n");
        EXPECT_EQ(r.status, 0) << answer;
        EXPECT_TRUE(has(r.out, "Enter the time: ")) << answer;
        EXPECT_FALSE(has(r.out, "Date:")) << answer;
    }
}
