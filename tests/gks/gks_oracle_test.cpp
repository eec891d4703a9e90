// The PostScript pages render in ghostscript without errors and cover the
// page where the plot should be; the HPGL page renders in hp2xx.
#include "gks_fixture.h"
#include "test_page.h"

namespace {

std::string write_page(int type, const std::string &name, const std::string &options,
                       const char *geom = "") {
    std::string f = out_path(name);
    EXPECT_EQ(open_ws(type, f + options, geom), 0);
    draw_test_page();
    close_ws();
    return f;
}

// Bounding box of everything ghostscript paints, in points.
bool ink_box(const std::string &ps, int box[4]) {
    std::string out;
    if (run_cmd("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox " + ps, &out) != 0) return false;
    size_t p = out.find("%%BoundingBox:");
    return p != std::string::npos &&
           std::sscanf(out.c_str() + p, "%%%%BoundingBox: %d %d %d %d", &box[0], &box[1], &box[2],
                       &box[3]) == 4;
}

void render_png(const std::string &ps, const std::string &extra = "") {
    std::string out;
    int rc = run_cmd("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r60 " + extra +
                     " -sOutputFile=" + ps + ".png " + ps,
                 &out);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "") << "ghostscript complained about " << ps;
    std::string png = read_all(ps + ".png");
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace

TEST(GhostscriptOracle, LandscapeColourPage) {
    if (!have_tool("gs")) GTEST_SKIP() << "ghostscript not installed";
    std::string ps = write_page(GWS_PS, "oracle_land.ps", ",color");
    render_png(ps);
    int b[4];
    ASSERT_TRUE(ink_box(ps, b));
    // Landscape letter, quarter-inch margins: the border of the panel lies
    // 2% inside the 576 x 756 point area that starts 18 points in.
    EXPECT_NEAR(b[0], 18 + 0.02 * 576, 4);
    EXPECT_NEAR(b[1], 18 + 0.02 * 756, 4);
    EXPECT_NEAR(b[2], 18 + 0.98 * 576, 4);
    EXPECT_NEAR(b[3], 18 + 0.98 * 756, 4);
}

TEST(GhostscriptOracle, PortraitGreyA4AndEps) {
    if (!have_tool("gs")) GTEST_SKIP() << "ghostscript not installed";
    std::string ps = write_page(GWS_PS, "oracle_port.ps", ",port,a4");
    render_png(ps);
    int b[4];
    ASSERT_TRUE(ink_box(ps, b));
    EXPECT_NEAR(b[0], 18 + 0.02 * 558, 4);  // (8.26 - 0.5) x 72 wide
    EXPECT_NEAR(b[2], 18 + 0.98 * 558, 4);
    std::string eps = write_page(GWS_PS, "oracle.eps", ",eps,color");
    render_png(eps, "-dEPSCrop");
    ASSERT_TRUE(ink_box(eps, b));
    std::string head = read_all(eps).substr(0, 80);
    int bb[4];
    ASSERT_EQ(std::sscanf(head.c_str(), "%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: %d %d %d %d",
                          &bb[0], &bb[1], &bb[2], &bb[3]),
              4);
    // The declared box holds all the ink.
    EXPECT_GE(b[0], bb[0]);
    EXPECT_GE(b[1], bb[1]);
    EXPECT_LE(b[2], bb[2]);
    EXPECT_LE(b[3], bb[3]);
}

TEST(GhostscriptOracle, PanelGeometryInk) {
    if (!have_tool("gs")) GTEST_SKIP() << "ghostscript not installed";
    std::string f = write_page(GWS_PS, "oracle_quarter.ps", ",color", "P2x2+1+0");
    int b[4];
    ASSERT_TRUE(ink_box(f, b));
    // The upper-right quarter of the landscape page: on paper, the half
    // nearer the left edge (y grows to the left after the rotation) and
    // the upper half.
    EXPECT_GE(b[1], 18 + 378 - 2);
    EXPECT_LE(b[2], 18 + 288 + 2);
}

TEST(Hp2xxOracle, TestPageRenders) {
    if (!have_tool("hp2xx")) GTEST_SKIP() << "hp2xx not installed";
    std::string hp = write_page(GWS_HPGL, "oracle.hpgl", ",nopcl");
    std::string out;
    int rc = run_cmd("hp2xx -q -m png -f " + hp + ".png " + hp, &out);
    EXPECT_EQ(rc, 0) << out;
    std::string png = read_all(hp + ".png");
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
}

TEST(GhostscriptOracle, RasterImageLandsInItsRectangle) {
    if (!have_tool("gs")) GTEST_SKIP() << "ghostscript not installed";
    for (const char *mode : {",color", ",gray"}) {
        std::string f = out_path("image.ps");
        ASSERT_EQ(open_ws(GWS_PS, f + mode), 0);
        // A 4 x 3 picture: a red top row over black rows.
        unsigned char px[4 * 3 * 3] = {};
        for (int i = 0; i < 4; ++i) px[3 * i] = 255;
        Glim r = {100, 300, 200, 350};
        EXPECT_EQ(gps_image_rgb(4, 3, px, &r), 0);
        EXPECT_EQ(gps_image_rgb(0, 3, px, &r), -1);
        close_ws();
        render_png(f);
        int b[4];
        ASSERT_TRUE(ink_box(f, b));
        // Landscape: device x runs up the paper from 18, device y leftwards
        // from 594.
        EXPECT_NEAR(b[0], 594 - 350, 2) << mode;
        EXPECT_NEAR(b[2], 594 - 200, 2) << mode;
        EXPECT_NEAR(b[1], 18 + 100, 2) << mode;
        EXPECT_NEAR(b[3], 18 + 300, 2) << mode;
    }
}
