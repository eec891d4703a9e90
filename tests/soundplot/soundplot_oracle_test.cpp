// Every plot type as the program writes it renders without error in
// ghostscript (PostScript) and hp2xx (HPGL) as lines and text on white
// paper.
#include "soundplot_fixture.h"

using namespace soundplot_test;

namespace {

// Share of the pixels of a PNG that are not white, through ImageMagick.
double ink(const std::string &png) {
    std::string out;
    if (run_cmd("(convert '" + png + "' -threshold 99% -format '%[fx:1-mean]' info: 2>/dev/null)", &out))
        return -1;
    return std::atof(out.c_str());
}

// Draws every plot type in a batch run on device dev ("p", "h") into file
// and renders it with command (run in the scratch directory, writing
// plot.png): it must succeed, say nothing and draw a picture.
void renders_every_type(const char *tool, const std::string &dev, const std::string &file,
                        const std::string &command) {
    if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    if (!have_tool(tool) || !have_tool("convert")) GTEST_SKIP() << tool << " or convert absent";
    for (const char *type : {"skewt", "ema", "teph", "rteph", "stuve", "hodo"}) {
        SCOPED_TRACE(type);
        ProgramRun r = run_program(std::string("-ba -pl ") + type + " -de " + dev + "," + file +
                                   " " + sample_args());
        ASSERT_EQ(r.status, 0) << r.err;
        std::string dir = run_dir();
        finished(dir + "/" + file);
        std::string cmd = "cd '" + dir + "' && rm -f plot.png && " + command + " > tool.log 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << read_all(dir + "/tool.log");
        EXPECT_EQ(read_all(dir + "/tool.log"), "");
        // Lines and text on white paper: no filled areas beyond the flags.
        double share = ink(dir + "/plot.png");
        EXPECT_GT(share, 0.01);
        EXPECT_LT(share, 0.15);
    }
}

}  // namespace

TEST(SoundingPlotOracle, GhostscriptRendersEveryPlotType) {
    renders_every_type("gs", "p", "plot.ps",
                       "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pnggray -r50 "
                       "-sOutputFile=plot.png plot.ps");
}

TEST(SoundingPlotOracle, Hp2xxRendersEveryPlotType) {
    renders_every_type("hp2xx", "h", "plot.hpgl", "hp2xx -q -m png -f plot.png plot.hpgl");
}
