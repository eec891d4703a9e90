// The program in batch mode without a display, asked for an image dump:
// the skew-T is drawn off-screen and written; its GIF, PNG and XWD files
// hold the same picture; an unwritable image path is reported.
#include "img_fixture.h"

namespace {

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    }
};

}  // namespace

TEST_F(Headless, GifPngAndXwdOfTheSkewTHoldTheSamePicture) {
    for (const char *param : {"png=skewt.png", "gif=skewt.gif", "xwd=skewt.xwd"}) {
        ProgramRun r = run_plot(param);
        ASSERT_EQ(r.status, 0) << param << "\n" << r.err;
        EXPECT_EQ(r.err.find("Unable"), std::string::npos) << r.err;
    }
    const std::string dir = run_dir() + "/skewt.";
    Picture pics[3] = {from_png(read_all(dir + "png")), from_gif(read_all(dir + "gif")), from_xwd(read_all(dir + "xwd"))};
    for (const Picture &p : pics) {
        EXPECT_EQ(p.w, 640);
        EXPECT_EQ(p.h, 512);
    }
    ASSERT_EQ(pics[0].rgb.size(), 640u * 512u);
    EXPECT_TRUE(pics[0].rgb == pics[1].rgb);
    EXPECT_TRUE(pics[0].rgb == pics[2].rgb);
    // A drawn diagram on the window's black background: a handful of
    // table colours, most of the picture background.
    std::set<uint32_t> colours(pics[0].rgb.begin(), pics[0].rgb.end());
    EXPECT_GE(colours.size(), 4u);
    EXPECT_LE(colours.size(), 64u);
    size_t black = static_cast<size_t>(std::count(pics[0].rgb.begin(), pics[0].rgb.end(), 0u));
    EXPECT_GT(black, pics[0].rgb.size() / 2);
    EXPECT_LT(black, pics[0].rgb.size() - 5000);
}

TEST_F(Headless, UnwritableImagePathIsReported) {
    ProgramRun r = run_plot("png=/dev/null/skewt.png");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("PLT_dump: Unable to write PNG file: /dev/null/skewt.png"), std::string::npos) << r.err;
}
