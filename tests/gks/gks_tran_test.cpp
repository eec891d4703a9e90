// Transformations, page layout, device choice and file-device geometry.
#include <array>
#include <cmath>

#include "gks_fixture.h"

TEST(Layout, NdcPageOfDefaultWindow) {
    float xvp = 0, yvp = 0;
    gset_win_size(640, 512);
    ginq_maxview(1, &xvp, &yvp);
    EXPECT_EQ(std::make_pair(xvp, yvp), std::make_pair(1.0f, 511.0f / 639.0f));
    gset_win_size(400, 700);
    ginq_maxview(1, &xvp, &yvp);
    EXPECT_EQ(std::make_pair(xvp, yvp), std::make_pair(399.0f / 699.0f, 1.0f));
}

TEST(Layout, AspectFitCentresOrAlignsMax) {
    Glim in = {0, 2, 0, 1}, tall = {0, 1, 0, 3}, out;
    gset_aspect(&in, &out, 1, 1, 2, 2);  // square in a 2 x 1 box: centred
    EXPECT_TRUE(lim_near(out, {0.5f, 1.5f, 0, 1}));
    gset_aspect(&in, &out, 1, 1, 3, 3);
    EXPECT_TRUE(lim_near(out, {1, 2, 0, 1}));
    gset_aspect(&tall, &out, 2, 1, 2, 2);  // 2:1 in a 1 x 3 box
    EXPECT_TRUE(lim_near(out, {0, 1, 1.25f, 1.75f}));
}

TEST(Transform, WorldToDeviceAndBack) {
    ASSERT_EQ(open_ws(GWS_META, out_path("tran.meta")), 0);
    gset_win_size(640, 512);
    float xvp, yvp;
    ginq_maxview(1, &xvp, &yvp);
    Glim page = {0, xvp, 0, yvp};
    gset_ws_win(1, &page);
    Glim plt;
    gget_plt(&plt);
    EXPECT_FLOAT_EQ(plt.x_max - plt.x_min, 639.0f);
    EXPECT_NEAR(plt.y_max - plt.y_min, 511.0f, 1e-3);
    Glim win = {-10, 10, 100, 300}, vp = {0.25f, 0.75f, 0.2f, 0.6f};
    gset_win(3, &win);
    gset_vp(3, &vp);
    gsel_norm_tran(3);
    EXPECT_FLOAT_EQ(xW_NDC(0), 0.5f);
    EXPECT_FLOAT_EQ(yW_NDC(200), 0.4f);
    EXPECT_NEAR(xW_ps(-10), 0.25f * 639, 1e-3);
    EXPECT_NEAR(yW_ps(300), 0.6f * 639, 1e-2);
    // Pixels run downwards from the top of the page.
    EXPECT_NEAR(yW_p(300), (yvp - 0.6f) * 639, 1e-2);
    EXPECT_NEAR(xp_W(xW_p(3.5f)), 3.5f, 1e-3);
    EXPECT_NEAR(yp_W(yW_p(250)), 250, 1e-2);
    // Extreme coordinates are clamped.
    EXPECT_FLOAT_EQ(xW_ps(1e9f), 100000.0f);
    EXPECT_FLOAT_EQ(yW_ps(-1e9f), -100000.0f);
    EXPECT_FLOAT_EQ(xW_p(1e9f), 30000.0f);
    EXPECT_FLOAT_EQ(yW_p(-1e9f), 30000.0f);
    // Between transformations through NDC.
    Glim w4 = {0, 1, 0, 1};
    gset_win(4, &w4);
    gset_vp(4, &vp);
    EXPECT_NEAR(xW_trans(0, 3, 4), 0.5f, 1e-5);
    EXPECT_NEAR(yW_trans(300, 3, 4), 1.0f, 1e-5);
    // Clip rectangle in pixels follows the viewport.
    int cx, cy, cw, ch;
    gget_clip_rect(&cx, &cy, &cw, &ch);
    EXPECT_EQ(cx, static_cast<int>(std::round(xNDC_p(0.25f) + 0.5f)));
    EXPECT_NEAR(cw, 0.5f * 639, 2.0f);
    close_ws();
}

TEST(Transform, InvalidNumbersAndWindowTest) {
    ASSERT_EQ(open_ws(GWS_META, out_path("tran2.meta")), 0);
    Glim win = {0, 10, 0, 10};
    gset_win(1, &win);
    gsel_norm_tran(1);
    EXPECT_EQ(gsel_norm_tran(6), -1);
    EXPECT_EQ(gsel_norm_tran(-1), -1);
    int err = 0, n = -1;
    ginq_cur_norm_tran_num(&err, &n);
    EXPECT_EQ(n, 1);
    Gtran t;
    EXPECT_EQ(ginq_norm_tran(6, &err, &t), -1);
    EXPECT_EQ(ginq_norm_tran(1, &err, &t), 0);
    EXPECT_FLOAT_EQ(t.win.x_max, 10.0f);
    Gpt in[2] = {{-5, -5}, {1, 1}}, out[2] = {{11, 0}, {20, 5}};
    EXPECT_EQ(gpts_in_win(2, in), 1);
    EXPECT_EQ(gpts_in_win(2, out), 0);
    close_ws();
}

TEST(Device, LetterRule) {
    char rest[FILE_NAME_LEN];
    EXPECT_EQ(gdevice_setup("p,out.ps,land,a4", rest), GWS_PS);
    EXPECT_STREQ(rest, "out.ps,land,a4");
    EXPECT_EQ(gdevice_setup("", rest), GWS_WIN);
    EXPECT_STREQ(rest, "");
    EXPECT_EQ(gdevice_setup("qms", rest), GWS_HPGL);
    EXPECT_EQ(gdevice_setup("Hpgl,x.hp", rest), GWS_HPGL);
    EXPECT_EQ(gdevice_setup("meta", rest), GWS_META);
    EXPECT_EQ(gdevice_setup("w,1", rest), GWS_PIX);
    EXPECT_EQ(gdevice_setup("display", rest), GWS_WIN);
}

TEST(Device, LandscapeA4Geometry) {
    std::string f = out_path("a4.ps");
    ASSERT_EQ(open_ws(GWS_PS, f + ",land,a4"), 0);
    EXPECT_EQ(win_size(), std::make_pair(int((11.69f - 0.5f) * 72), int((8.26f - 0.5f) * 72)));
    close_ws();
    std::string ps = read_all(f);
    EXPECT_NE(ps.find("90 rotate\n.25 inch -8.01 inch translate\n"), std::string::npos);
}

TEST(Device, PortraitAndNamedSizes) {
    std::string f = out_path("legal.ps");
    // Nonsense sizes and scales (last) leave the defaults.
    const struct {
        const char *opt;
        int w, h;
    } cases[] = {{",legal,port", 576, 972}, {",sz=10x5", 684, 324}, {",sz=0x0,scale=0", 756, 576}};
    for (const auto &c : cases) {
        ASSERT_EQ(open_ws(GWS_PS, f + c.opt), 0);
        EXPECT_EQ(win_size(), std::make_pair(c.w, c.h)) << c.opt;
        close_ws();
    }
    EXPECT_EQ(read_all(f).find(" scale\n"), std::string::npos);
    float l, s;
    EXPECT_EQ(gpaper_size("ANSID", &l, &s), 1);
    EXPECT_FLOAT_EQ(l, 34);
    EXPECT_EQ(gpaper_size("a0", &l, &s), 0);
}

TEST(Device, PanelGeometryUsesUpperRightQuarter) {
    std::string f = out_path("quarter.ps");
    gset_geometry("");
    setenv("PSGEOMETRY", "P2x2+1+0", 1);
    // open_ws clears the geometry variables, so open by hand here.
    setenv("SOURCE_DATE_EPOCH", "0", 1);
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, (f + ",letter").c_str(), GWS_PS), 0);
    unsetenv("PSGEOMETRY");
    int x, y;
    gget_win_offset(&x, &y);
    EXPECT_EQ(win_size(), std::make_pair(378, 288));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(378, 288));
    // The NDC origin lands at the lower-left corner of that quarter.
    float xvp, yvp;
    ginq_maxview(1, &xvp, &yvp);
    Glim page = {0, xvp, 0, yvp};
    gset_ws_win(1, &page);
    gset_win(1, &page);
    gset_vp(1, &page);
    gsel_norm_tran(1);
    EXPECT_FLOAT_EQ(xW_ps(0), 378.0f);
    EXPECT_FLOAT_EQ(yW_ps(0), 288.0f);
    EXPECT_NEAR(xW_ps(xvp), 378.0f + 377.0f, 1e-3);
    close_ws();
}

TEST(Device, GeometryForms) {
    // Size and offset (w, h, x, y) before and after each geometry text.
    const struct {
        const char *geom;
        float scale;
        int flip, rc;
        std::array<int, 4> in, out;
    } cases[] = {
        {"500x400+100+50", 0.72f, 0, 1, {756, 576, 0, 0}, {360, 288, 72, 36}},
        {"+100+200", 0.72f, 0, 1, {756, 576, 0, 0}, {756, 576, 72, 144}},
        {"+100+200", 10.15f, 1, 1, {10000, 7000, 10, 10}, {10000, 7000, 1025, 2040}},
        {"P9x9+0+8", 1.0f, 0, 1, {756, 576, 0, 0}, {94, 72, 0, int(576 * (1.0f - 9.0f / 8))}},  // 8 x 8
        {"garbage", 1.0f, 0, 0, {756, 576, 0, 0}, {756, 576, 0, 0}},
    };
    for (const auto &c : cases) {
        std::array<int, 4> v = c.in;
        EXPECT_EQ(gapply_geometry(c.geom, c.scale, c.flip, &v[0], &v[1], &v[2], &v[3]), c.rc) << c.geom;
        EXPECT_EQ(v, c.out) << c.geom << " " << c.scale;
    }
}

TEST(Device, HpglPageAndMetafileDefaults) {
    ASSERT_EQ(open_ws(GWS_HPGL, out_path("page.hpgl") + ",nopcl"), 0);
    int x, y;
    gget_win_offset(&x, &y);
    EXPECT_EQ(win_size(), std::make_pair(10150, 7612));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(10, 10));
    close_ws();
    // Portrait turns the plotter; so does an explicit rotation.
    ASSERT_EQ(open_ws(GWS_HPGL, out_path("port.hpgl") + ",nopcl,port"), 0);
    EXPECT_LT(win_size().first, win_size().second);
    close_ws();
    EXPECT_EQ(read_all(out_path("port.hpgl")).rfind("IN;SP1;PA;\nRO90;\nPW0.2;SV;LT;\n", 0), 0u);
    ASSERT_EQ(open_ws(GWS_HPGL, out_path("page.hpgl") + ",roll=30,rot=90"), 0);
    EXPECT_EQ(win_size(), std::make_pair(int(23.0f * 1015), int(29.5f * 1015)));
    close_ws();
    std::string hp = read_all(out_path("page.hpgl"));
    EXPECT_EQ(hp.rfind("\033E\033%1B\033&l1O\nIN;SP1;PA;\nRO90;\nPW0.2;SV;LT;\n", 0), 0u);
    ASSERT_EQ(open_ws(GWS_META, out_path("page.meta")), 0);
    EXPECT_EQ(win_size(), std::make_pair(1000, 800));
    close_ws();
}

TEST(Device, PostscriptTurnsIntoHpglOnRequest) {
    setenv("SOURCE_DATE_EPOCH", "0", 1);
    setenv("zupprint", "HPGL", 1);
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, out_path("asked.hpgl").c_str(), GWS_PS), 0);
    unsetenv("zupprint");
    EXPECT_EQ(gget_win_type(), GWS_HPGL);
    close_ws();
}

TEST(Device, FailuresAndClosedKernel) {
    EXPECT_EQ(gclose_ws(1), -1);  // nothing open
    Gpt p[2] = {{0, 0}, {1, 1}};
    EXPECT_EQ(gpolyline(2, p), -1);
    EXPECT_EQ(gset_linewidth(2), -1);
    gopen_gks(nullptr, 0);
    EXPECT_EQ(gopen_ws(1, "/proc/no-such-dir/y.ps", GWS_PS), -1);
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(gopen_ws(1, "", GWS_WIN), -1);  // no window device linked in
    EXPECT_EQ(gopen_ws(1, "", 9), -1);
}
