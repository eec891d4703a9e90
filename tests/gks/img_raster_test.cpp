// The off-screen raster workstation: opened only for the fallback without a
// display, the window's size and background, exact colours, clearing, and
// the refusal of a picture larger than allowed.
#include "img_fixture.h"

namespace {

uint32_t at(const IMG_report &img, int x, int y) { return IMG_pixel(&img, x, y); }

class RasterTest : public ::testing::Test {
protected:
    void TearDown() override {
        close_ws();
        gset_raster_fallback(0);
        gset_background("");
        gset_inverse(0);
    }
};

}  // namespace

TEST_F(RasterTest, DrawsTableColoursAndClearsRegions) {
    ASSERT_EQ(open_raster(100, 80), 0);
    int ws = 1, type = 0;
    Glim view = {0, 0, 0, 0};
    GPH_reset(&ws, &type, 0, &view);
    Glim win = {0, 100, 0, 80};
    gset_win(2, &win);
    gset_vp(2, &view);
    gsel_norm_tran(2);
    gset_fill_int_style(GSOLID);
    gset_fill_colr_ind(CLR_get_ind("red"));
    GPH_frect(10, 10, 90, 70);
    Glim hole = {40, 60, 30, 50};
    gclear_region(&hole);
    gset_line_colr_ind(CLR_get_ind("yellow"));
    GPH_line(0, 75, 100, 75);
    IMG_report img;
    ASSERT_EQ(gget_image(&img), 1);
    EXPECT_EQ(std::make_pair(img.width, img.height), std::make_pair(100, 80));
    EXPECT_STREQ(img.info, "test page");   // the window's title
    int r, g, b;
    gget_color_rgb256(CLR_get_ind("red"), &r, &g, &b);
    const uint32_t red = static_cast<uint32_t>(r << 16 | g << 8 | b);
    EXPECT_EQ(at(img, 20, 40), red);
    EXPECT_EQ(at(img, 50, 40), 0u);     // cleared to the background
    EXPECT_EQ(at(img, 5, 40), 0u);      // never drawn
    // World y 75 of 0-80 lies near the top of the picture.
    int row = -1;
    for (int y = 0; y < 80; ++y)
        if (at(img, 50, y) == 0xffff00u) row = y;
    EXPECT_GE(row, 3);
    EXPECT_LE(row, 6);
}

TEST_F(RasterTest, BackgroundFromNameOrInverseVideo) {
    struct Case {
        const char *name;
        int inverse;
        uint32_t want;
    } cases[] = {{"", 0, 0x000000}, {"", 1, 0xffffff}, {"blue", 0, 0}, {"none", 0, 0}};
    for (const auto &c : cases) {
        gset_background(c.name);
        gset_inverse(c.inverse);
        ASSERT_EQ(open_raster(16, 16), 0);
        uint32_t want = c.want;
        if (std::string(c.name) == "blue") {
            int r, g, b;
            gget_color_rgb256(CLR_get_ind("blue"), &r, &g, &b);
            want = static_cast<uint32_t>(r << 16 | g << 8 | b);
        }
        IMG_report img;
        ASSERT_EQ(gget_image(&img), 1);
        EXPECT_EQ(at(img, 8, 8), want) << c.name << " " << c.inverse;
        EXPECT_EQ(static_cast<uint32_t>(img.trans_color), want);
        close_ws();
    }
}

TEST_F(RasterTest, OnlyAsFallbackAndNotBeyondTheSizeLimit) {
    // Without the fallback the window type needs a display.
    unsetenv("DISPLAY");
    gset_raster_fallback(0);
    testing::internal::CaptureStderr();
    gopen_gks(nullptr, 10000);
    EXPECT_EQ(gopen_ws(1, "", GWS_WIN), -1);
    testing::internal::GetCapturedStderr();
    // Too large a picture: the open fails with a message.
    testing::internal::CaptureStderr();
    EXPECT_EQ(open_raster(40000, 100), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("too large"), std::string::npos) << err;
    EXPECT_NE(err.find("gopen_ws: unable to open window"), std::string::npos) << err;
    IMG_report img;
    testing::internal::CaptureStderr();
    EXPECT_EQ(gget_image(&img), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gget_image:"), std::string::npos);
    EXPECT_EQ(PNG_dump(out_path("img_none.png").c_str()), 0);
    EXPECT_FALSE(FILE_exist(out_path("img_none.png").c_str()));
}
