// Colour indices: validity, find-or-add allocation, print colours and the
// metafile record of a colour representation.
#include "gks_fixture.h"

TEST(Colour, ValidIndicesAndPrintColours) {
    for (int i : {-1, 0, 255, 256, 500, 505, 508}) EXPECT_EQ(gis_valid_colr(i), 1) << i;
    for (int i : {-2, 257, 499, 509}) EXPECT_EQ(gis_valid_colr(i), 0) << i;
    ASSERT_EQ(open_ws(GWS_PS, out_path("colr.ps")), 0);
    Gcolr_rep red = {1, 0, 0};
    EXPECT_EQ(gset_colr_rep(1, 505, &red), 0);  // print colours stay fixed
    float r, g, b;
    gget_color_rgb(505, &r, &g, &b);
    EXPECT_FLOAT_EQ(r, 1.0f);
    EXPECT_FLOAT_EQ(g, 1.0f);
    gget_color_rgb(507, &r, &g, &b);
    EXPECT_FLOAT_EQ(r, 0.7f);
    EXPECT_EQ(gset_colr_rep(1, 257, &red), -1);
    // The page background is white.
    gget_color_rgb(-1, &r, &g, &b);
    EXPECT_FLOAT_EQ(b, 1.0f);
    close_ws();
}

TEST(Colour, FindOrAddReusesNearColours) {
    ASSERT_EQ(open_ws(GWS_PS, out_path("colr.ps")), 0);
    GPH_set_color(3, 0.2f, 0.4f, 0.6f);
    int top = gget_max_colr();
    EXPECT_EQ(galloc_colr(-1, 0.203f, 0.4f, 0.603f), 1);
    EXPECT_EQ(gget_alloc_index(), 3);
    EXPECT_EQ(gget_max_colr(), top);
    galloc_colr(-1, 0.25f, 0.4f, 0.6f);  // 0.05 away: a new index
    EXPECT_EQ(gget_alloc_index(), top + 1);
    EXPECT_EQ(gis_color_near(top + 1, 0.25f, 0.4f, 0.6f, 0), 1);
    EXPECT_EQ(gis_color_near(3, 0.25f, 0.4f, 0.6f, 0), 0);
    int r, g, b;
    gget_color_rgb256(3, &r, &g, &b);
    EXPECT_EQ(r, 51);
    EXPECT_EQ(b, 153);
    // Grey levels for print: (0.9 r + g + 0.8 b) / 2.7.
    EXPECT_NEAR(gps_get_gray(3), (0.18f + 0.4f + 0.48f) / 2.7f, 1e-6);
    close_ws();
}

TEST(Colour, MetafileRecordsAndUnsetIndex) {
    std::string f = out_path("colr.meta");
    CLR_clear_table();
    setenv("SOURCE_DATE_EPOCH", "0", 1);
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, f.c_str(), GWS_META), 0);
    EXPECT_EQ(gset_line_colr_ind(7), -1);  // no colour yet
    Gcolr_rep c = {0.5f, 0.25f, 1};
    gset_colr_rep(1, 7, &c);
    EXPECT_EQ(gset_line_colr_ind(7), 0);
    EXPECT_EQ(gset_line_colr_ind(-1), 0);  // background is always there
    EXPECT_EQ(gset_fill_colr_ind(503), 0);
    close_ws();
    std::string m = read_all(f);
    EXPECT_NE(m.find("\nCLR 1 7 0.500000 0.250000 1.000000\nPL_CLR 7\nPL_CLR -1\nFA_CLR 503\n"),
              std::string::npos);
}
