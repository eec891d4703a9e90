// Every plot type as the program writes it renders without error in
// ghostscript (PostScript) and hp2xx (HPGL), and the picture is not empty.
#include "soundplot_fixture.h"

using namespace soundplot_test;

namespace {

bool have_tool(const char *name) {
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

// Number of pixels of a PNG that are not white, through ImageMagick.
long inked_pixels(const std::string &png) {
    std::string cmd = "convert '" + png +
                      "' -threshold 99% -format '%[fx:int(w*h*(1-mean))]' info: 2>/dev/null";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    long n = -1;
    if (std::fscanf(p, "%ld", &n) != 1) n = -1;
    pclose(p);
    return n;
}

const char *const kTypes[] = {"skewt", "ema", "teph", "rteph", "stuve", "hodo"};

}  // namespace

TEST(SoundingPlotOracle, GhostscriptRendersEveryPlotType) {
    if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    if (!have_tool("gs") || !have_tool("convert")) GTEST_SKIP() << "ghostscript or convert absent";
    for (const char *type : kTypes) {
        SCOPED_TRACE(type);
        ProgramRun r = run_program(std::string("-ba -pl ") + type + " -de p,plot.ps " + sample_args());
        ASSERT_EQ(r.status, 0) << r.err;
        std::string dir = run_dir();
        finished(dir + "/plot.ps");
        std::string cmd = "cd '" + dir + "' && gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pnggray "
                          "-r50 -sOutputFile=plot.png plot.ps > gs.log 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << read_all(dir + "/gs.log");
        EXPECT_EQ(read_all(dir + "/gs.log"), "");
        EXPECT_GT(inked_pixels(dir + "/plot.png"), 5000);
    }
}

TEST(SoundingPlotOracle, Hp2xxRendersEveryPlotType) {
    if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    if (!have_tool("hp2xx") || !have_tool("convert")) GTEST_SKIP() << "hp2xx or convert absent";
    for (const char *type : kTypes) {
        SCOPED_TRACE(type);
        ProgramRun r = run_program(std::string("-ba -pl ") + type + " -de h,plot.hpgl " + sample_args());
        ASSERT_EQ(r.status, 0) << r.err;
        std::string dir = run_dir();
        finished(dir + "/plot.hpgl");
        std::string cmd = "cd '" + dir + "' && rm -f plot.png && hp2xx -q -m png -f plot.png "
                          "plot.hpgl > hp2xx.log 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << read_all(dir + "/hp2xx.log");
        EXPECT_GT(inked_pixels(dir + "/plot.png"), 5000);
    }
}
