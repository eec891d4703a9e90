// The program in batch mode without a display, asked for an image dump:
// the skew-T is drawn off-screen and written; its GIF, PNG and XWD files
// hold the same picture; an unwritable image path is reported.
#include "img_fixture.h"

namespace {

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(raziva_program())) GTEST_SKIP() << "program not built";
    }
};

}  // namespace

TEST_F(Headless, GifPngAndXwdOfTheSkewTHoldTheSamePicture) {
    std::string dir = out_path("headless/");
    Picture pics[3];
    const char *params[3] = {"png=skewt.png", "gif=skewt.gif", "xwd=skewt.xwd"};
    for (int i = 0; i < 3; ++i) {
        std::string err;
        ASSERT_EQ(run_plot(params[i], &err), 0) << params[i] << "\n" << err;
        EXPECT_EQ(err.find("Unable"), std::string::npos) << err;
    }
    pics[0] = from_png(read_all(dir + "skewt.png"));
    pics[1] = from_gif(read_all(dir + "skewt.gif"));
    pics[2] = from_xwd(read_all(dir + "skewt.xwd"));
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
    std::string err;
    EXPECT_EQ(run_plot("png=/dev/null/skewt.png", &err), 0);
    EXPECT_NE(err.find("PLT_dump: Unable to write PNG file: /dev/null/skewt.png"), std::string::npos)
        << err;
}
