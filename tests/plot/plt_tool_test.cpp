// The plot framework: plot parameters, plot areas, pages on the file
// devices with their labels, image dumps, window-event handlers and the
// batch detach.
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <string>

#include "gks/gks_fixture.h"
#include "gks_evnt.h"
#include "zupcty.h"
#include "zupplt.h"
#include "zupresrc.h"

namespace {

class Plot : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SOURCE_DATE_EPOCH", "0", 1);
        PLT_reset_state();
        FLAG_resetplot(1);
        FLAG_set(11, 62);
        FLAG_set(2, MISSING);
        FLAG_set_batch(0);
        RES_put("plot_param", "");
        RES_put("out_file", "");
        RES_put("label", "");
        RES_put("title", "plot test");
        RES_put("color_table", RAZIVA_DATA_DIR "/zup.clr");
    }
    void TearDown() override {
        RES_put("device", "");
        gset_inverse(0);
        MESS_set_page(1);
    }
    // Opens a page on the text metafile file with the given margins.
    std::string open_meta(const char *name, float bottom, float top, float aspect = 1.0f) {
        std::string f = out_path(name);
        RES_put("device", ("m," + f).c_str());
        PLT_set_view_offsets(0.05f, 0.05f, bottom, top);
        EXPECT_EQ(PLT_open(aspect), 0);
        EXPECT_EQ(PLT_get_work_type(), GWS_META);
        return f;
    }
};

Glim view_size() {
    Glim v;
    GPH_get_view_size(&v);
    return v;
}

// y of every text record "TE x,y text" for text.
std::vector<float> text_y(const std::string &meta, const std::string &text) {
    std::vector<float> ys;
    for (size_t p = meta.find("\nTE "); p != std::string::npos; p = meta.find("\nTE ", p + 1)) {
        size_t e = meta.find('\n', p + 1);
        std::string line = meta.substr(p + 4, e - p - 4);
        size_t sp = line.find(' ');
        if (line.substr(sp + 1) != text) continue;
        ys.push_back(std::stof(line.substr(line.find(',') + 1)));
    }
    return ys;
}

}  // namespace

TEST_F(Plot, ParamDecodeTable) {
    struct Case {
        const char *item;
        std::function<bool()> check;
    };
    const PLT_params *p = PLT_get_params();
    auto dump_is = [](int type, const char *file) {
        int t = 0;
        char f[FILE_NAME_LEN];
        PLT_get_dump(&t, f);
        return t == type && std::string(f) == file;
    };
    auto margins_are = [](float l, float r, float b, float t) {
        float v[4];
        PLT_get_view_offsets(&v[0], &v[1], &v[2], &v[3]);
        return v[0] == l && v[1] == r && v[2] == b && v[3] == t;
    };
    const Case cases[] = {
        {"full", [&] { return margins_are(0, 0, 0, 0) && !PLT_get_full_lab(); }},
        {"FULLAB", [&] { return margins_are(0, 0, 0, 0) && PLT_get_full_lab() == 1; }},
        {"nopage", [&] { return MESS_get_page() == 0; }},
        {"page", [&] { return MESS_get_page() == 2; }},
        {"noredraw", [&] { return p->redraw == 0; }},
        {"wmo", [&] { return p->id_type == 1; }},
        {"cod_wmo", [&] { return p->id_type == 2; }},
        {"over=2:3", [&] { return PLT_get_overlay_base() == 2 && PLT_get_num_over() == 3; }},
        {"lalo=5", [&] { return p->lalo[0] == 5 && p->lalo[1] == 5; }},
        {"lalo:5:10:1:2", [&] { return p->lalo[1] == 10 && p->lalo_opt[1] == 2; }},
        {"gridx2.5", [&] { return p->grid_factor == 2.5f; }},
        {"plt_skip=3", [&] { return p->plt_skip[0] == 3 && p->plt_skip[1] == 3; }},
        {"plt_off=0.5:1", [&] { return p->plt_off[0] == 0.5f && p->plt_off[1] == 1; }},
        {"plt_grid", [&] { return p->plt_grid == 1; }},
        {"plt_grid=4", [&] { return p->plt_grid == 4; }},
        {"loc_pr=7", [&] { return p->loc_prior == 7; }},
        {"vp_size=2x2+1+0", [&] { return view_size().x_min == 0.5f && view_size().y_min == 0.5f; }},
        {"font=modern", [&] { return std::string(p->font) == "modern"; }},
        {"gif_inter", [&] { return p->gif_interlace == 1; }},
        {"gif_trans", [&] { return p->gif_transparent == 1; }},
        {"inv", [&] { return gget_inverse() == 1; }},
        {"nolooptitle", [&] { return p->loop_title == 0; }},
        {"kill", [&] { return gget_pix_mode() == 9; }},
        {"bar=1:5", [&] { return p->bar == 1 && p->bar_range[1] == 5; }},
        {"nobar", [&] { return p->bar == 0; }},
        {"shadow=0", [&] { return p->shadow == 4 && gget_font_drop() == 4; }},
        {"shadow=2", [&] { return p->shadow == 2; }},
        {"grdfmt=nc", [&] { return std::string(p->grid_format) == "nc"; }},
        {"png=out.png", [&] { return dump_is(PLT_DUMP_PNG, "out.png"); }},
        {"png", [&] { return dump_is(PLT_DUMP_PNG, "zup.png"); }},
        {"gif", [&] { return dump_is(PLT_DUMP_GIF, "zup.gif"); }},
        {"xwd:w.xwd", [&] { return dump_is(PLT_DUMP_XWD, "w.xwd"); }},
        {"img", [&] { return dump_is(PLT_DUMP_IMG, "zup.xwd"); }},
        {"tline=5", [&] { return dump_is(PLT_DUMP_IMG, "zup.xwd"); }},  // not ours
    };
    for (const Case &c : cases) {
        RES_put("plot_param", c.item);
        PLT_param_decode();
        EXPECT_TRUE(c.check()) << c.item;
    }
    gset_pix_mode(0);
    gset_font_drop(0);
    // "out_file" items take gif and png dumps only
    PLT_set_dump(PLT_DUMP_NONE, nullptr);
    RES_put("plot_param", "");
    RES_put("out_file", "xwd=a,gif=b.gif");
    PLT_param_decode();
    EXPECT_TRUE(dump_is(PLT_DUMP_GIF, "b.gif"));
}

TEST_F(Plot, JunkParamsAreReportedAndChangeNothing) {
    RES_put("plot_param", "over=x:y,shadow=,loc_pr=?,vp_size=junk,max_bad=z,bar=q,,tz");
    testing::internal::CaptureStderr();
    PLT_param_decode();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_of(err, "PLT_param_decode: Bad plot parameter value: "), 5) << err;
    EXPECT_NE(err.find("PLT_panel_decode: Plot area not understood: junk"), std::string::npos);
    EXPECT_EQ(PLT_get_num_over(), 0);
    EXPECT_EQ(PLT_get_params()->shadow, 0);
    EXPECT_EQ(view_size().x_max, 1.0f);
}

TEST_F(Plot, PanelDecodeTable) {
    struct Case {
        const char *text;
        int rc;
        Glim size;  // offx, offx + sizex, offy, offy + sizey
    };
    const Case cases[] = {
        {"2x2+1+0", 0, {0.5f, 1.0f, 0.5f, 1.0f}},
        {"3x2+0+1", 0, {0.0f, 1.0f / 3, 0.0f, 0.5f}},
        {"12x1+7+0", 0, {0.875f, 1.0f, 0.0f, 1.0f}},  // clamped to 8 columns
        {"0.5x0.5+0.25+0.5", 0, {0.25f, 0.75f, 0.5f, 1.0f}},
        {"1x1+0+0", 0, {0.0f, 1.0f, 0.0f, 1.0f}},
        {"2x2", -1, {0.0f, 1.0f, 0.0f, 1.0f}},
        {"2x2+2+0", -1, {0.0f, 1.0f, 0.0f, 1.0f}},
        {"0.8x0.5+0.5+0", -1, {0.0f, 1.0f, 0.0f, 1.0f}},
    };
    testing::internal::CaptureStderr();
    for (const Case &c : cases) {
        GPH_set_view_size(1, 1, 0, 0);
        EXPECT_EQ(PLT_panel_decode(c.text), c.rc) << c.text;
        EXPECT_TRUE(lim_near(view_size(), c.size, 1e-6f)) << c.text;
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_of(err, "PLT_panel_decode: Plot area outside the page: "), 2);
    GPH_set_view_size(1, 1, 0, 0);
}

TEST_F(Plot, PageWithLabelsOnMetafile) {
    RES_put("label", "ll:%y%m%d/%h");
    Date d = {2009, 5, 1, 121, 5, 12, 0, 0};
    PLT_label_date(&d);
    PLT_label_up_left("UPPER LEFT");
    PLT_label_low_right("LOWER RIGHT");
    std::string f = open_meta("plt_page.meta", 0.04f, 0.04f);
    Glim view;
    PLT_get_view(&view);
    // 1000 x 800 page: the plot area less the margins, squared and centred
    float yvp = GPH_get_vert_win_size();
    EXPECT_NEAR(view.y_min, 0.04f * yvp, 1e-6);
    EXPECT_NEAR(view.y_max, 0.96f * yvp, 1e-6);
    EXPECT_NEAR(view.x_max - view.x_min, view.y_max - view.y_min, 1e-6);
    PLT_mess("Diagram %d", 1);
    EXPECT_EQ(PLT_labels(), 0);
    EXPECT_EQ(PLT_close(), 0);
    EXPECT_STREQ(PLT_get_label(PLT_UP_LEFT, 0), "");  // cleared at the end
    std::string m = read_all(f);
    EXPECT_NE(m.find("\nME Diagram 1\n"), std::string::npos);
    EXPECT_NE(m.find("\nME Labels\n"), std::string::npos);
    // one line: height m = 0.04 * yvp, capped at 0.03 of the view height
    float lh = std::min(0.04f * yvp, 0.03f * (view.y_max - view.y_min));
    char hght[40];
    std::snprintf(hght, sizeof hght, "\nTE_HGHT %f\n", 0.75f * lh);
    EXPECT_NE(m.find(hght), std::string::npos);
    auto up = text_y(m, "UPPER LEFT");
    auto low = text_y(m, "LOWER RIGHT");
    auto res = text_y(m, "090501/12");
    ASSERT_EQ(up.size(), 1u);
    ASSERT_EQ(low.size(), 1u);
    ASSERT_EQ(res.size(), 1u);
    EXPECT_NEAR(up[0], view.y_max + 0.2f * lh, 1e-5);
    EXPECT_NEAR(low[0], view.y_min - 0.2f * lh, 1e-5);
    EXPECT_NEAR(res[0], low[0], 1e-6);
    // the border of the plot viewport
    EXPECT_EQ(count_of(m, "\nPL 5 "), 1);
}

TEST_F(Plot, TwoOverlaysShareTheMargin) {
    PLT_label_low_center("one");
    PLT_next_overlay();
    PLT_label_low_center("two");
    // page height 0.8: bottom margin 0.05 of it = 0.04
    std::string f = open_meta("plt_over.meta", 0.05f, 0.04f, 0.8f);
    PLT_border(0);
    PLT_labels();
    PLT_close();
    std::string m = read_all(f);
    float yvp = 799.0f / 999.0f;
    float m_ndc = 0.05f * yvp;
    float lh = m_ndc / 2;
    char hght[40];
    std::snprintf(hght, sizeof hght, "\nTE_HGHT %f\n", 0.75f * lh);
    EXPECT_NE(m.find(hght), std::string::npos) << m.substr(0, 2000);
    auto one = text_y(m, "one");
    auto two = text_y(m, "two");
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_NEAR(two[0] - one[0], lh, 1e-5);
    EXPECT_EQ(count_of(m, "\nPL 5 "), 0);
}

TEST_F(Plot, NarrowMarginOrTextOffDrawsNoLabels) {
    PLT_label_low_left("hidden");
    std::string f = open_meta("plt_narrow.meta", 0.004f, 0.004f);
    EXPECT_EQ(PLT_labels(), -1);
    PLT_close();
    EXPECT_EQ(text_y(read_all(f), "hidden").size(), 0u);

    PLT_label_low_left("hidden");
    FLAG_setplot(0, 0);
    f = open_meta("plt_notext.meta", 0.04f, 0.04f);
    EXPECT_EQ(PLT_labels(), -1);
    PLT_close();
    EXPECT_EQ(text_y(read_all(f), "hidden").size(), 0u);
}

TEST_F(Plot, PlottingSwitchedOff) {
    FLAG_set(11, 99);
    EXPECT_EQ(PLT_open(1.0f), -1);
    EXPECT_EQ(GPH_is_open(), 0);
    EXPECT_EQ(PLT_close(), -1);
    FLAG_set(11, 62);
    FLAG_resetplot(0);
    EXPECT_EQ(PLT_open(1.0f), -1);
    EXPECT_EQ(PLT_reset(1.0f), -1);
}

TEST_F(Plot, PostScriptPageAndPanels) {
    std::string f = out_path("plt_page.ps");
    RES_put("device", ("p," + f).c_str());
    PLT_set_view_offset(0.1f);
    ASSERT_EQ(PLT_open(1.5f), 0);
    EXPECT_EQ(PLT_get_work_type(), GWS_PS);
    Glim v;
    PLT_get_view(&v);
    EXPECT_NEAR((v.x_max - v.x_min) / (v.y_max - v.y_min), 1.5f, 1e-4);
    // a second panel with the same shape, then a new page
    PLT_set_view_offsets(0.5f, 0.0f, 0.5f, 0.0f);
    PLT_panel(0);
    Glim p;
    PLT_get_view(&p);
    EXPECT_NEAR((p.x_max - p.x_min) / (p.y_max - p.y_min), 1.5f, 1e-4);
    EXPECT_GT(p.x_min, v.x_min);
    PLT_set_label_type(-4);
    EXPECT_EQ(PLT_reset(2.0f), 0);
    EXPECT_EQ(PLT_get_label_type(), -1);
    PLT_set_label_type(0);
    RES_put("label", "ul:UPPER_LEFT,uc:UPPER_CENTRE,ur:%y%m%d,ll:LOWER_LEFT,lc:LOWER_CENTRE,lr:%f");
    Date d = {2009, 5, 1, 121, 5, 12, 0, 0};
    PLT_label_date(&d);
    PLT_label_for_time(72);
    PLT_labels();
    PLT_close();
    std::string ps = read_all(f);
    EXPECT_NE(ps.find("%%Message: Labels"), std::string::npos);
    EXPECT_EQ(ps.rfind("%!PS", 0), 0u);
    EXPECT_NE(ps.find("showpage"), std::string::npos);
}

TEST_F(Plot, DumpOfAFileDeviceReportsFailure) {
    EXPECT_EQ(PLT_dump(0), -1);
    RES_put("plot_param", "png");
    RES_put("image_path", "/tmp/imgs");
    std::string f = open_meta("plt_dump.meta", 0.04f, 0.04f);
    testing::internal::CaptureStderr();
    EXPECT_EQ(PLT_dump(0), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("PLT_dump: Unable to write PNG file: /tmp/imgs/zup.png\n"),
              std::string::npos) << err;
    // the name is a template: frame key "i" and the data date
    Date d = {2009, 5, 1, 121, 5, 12, 0, 0};
    PLT_label_date(&d);
    PLT_set_dump(PLT_DUMP_GIF, "skewt_%i_%y%m%d%h.gif");
    testing::internal::CaptureStderr();
    PLT_dump(0);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Unable to write GIF file: /tmp/imgs/skewt_win_09050112.gif\n"),
              std::string::npos) << err;
    PLT_set_dump(PLT_DUMP_NONE, nullptr);
    PLT_close();
    RES_put("image_path", "");
}

TEST_F(Plot, BatchPngDumpWithoutDisplay) {
    unsetenv("DISPLAY");
    // image names hold at most 59 characters: a short folder of its own
    char dir[] = "/tmp/rzdumpXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string f = std::string(dir) + "/plt_dump_%y%m%d.png";
    std::string want = std::string(dir) + "/plt_dump_090501.png";
    std::remove(want.c_str());
    EXPECT_EQ(PLT_set_dump(PLT_DUMP_PNG, (std::string(dir) + std::string(60, 'x')).c_str()), -1);
    RES_put("plot_param", ("png=" + f).c_str());
    RES_put("device", "");
    Date d = {2009, 5, 1, 121, 5, 12, 0, 0};
    PLT_label_date(&d);
    PLT_label_low_left("LOWER LEFT");
    FLAG_set_batch(1);
    ASSERT_EQ(PLT_open(1.0f), 0);
    FLAG_set_batch(0);  // the detach of PLT_close would end the test
    PLT_labels();
    testing::internal::CaptureStdout();
    EXPECT_EQ(PLT_dump(0), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Wrote PNG file: " + want), std::string::npos) << out;
    PLT_close();
    EXPECT_EQ(read_all(want).substr(1, 3), "PNG");
    gset_raster_fallback(0);
}

namespace {

Domain g_seen;
int g_calls = 0;

Domain make_domain(int proj, float clat, float clon, float dx, float dy, int nx, int ny) {
    Domain d;
    DOM_init(&d);
    std::tie(d.proj, d.clat, d.clon, d.dx, d.dy, d.nx, d.ny) = std::make_tuple(proj, clat, clon, dx, dy, nx, ny);
    return d;
}
int record_domain(Domain *d) {
    g_seen = *d;
    ++g_calls;
    return 0;
}

}  // namespace

TEST_F(Plot, ZoomResizeAndRefreshHandlers) {
    Domain hodo = make_domain(MAP_hodo, -150, -150, 300, 300, 11, 11);
    MAP_domain(&hodo);
    PLT_set_zoom_func(record_domain);
    PLT_set_resize_func(record_domain);
    g_calls = 0;

    // the hodograph's plane is in knots: zoom to -50..50 on both axes
    float x1 = -50, y1 = -50, x2 = 50, y2 = 50;
    EXPECT_EQ(PLT_plot_zoom("B1-P-Shft", x1, y1), 1);
    EXPECT_EQ(gget_rubber_band(), 2);
    EXPECT_EQ(PLT_plot_zoom("B1-R", x1, y1), 1);  // same point: no zoom
    EXPECT_EQ(g_calls, 0);
    PLT_plot_zoom("B1-P-Shft", x1, y1);
    EXPECT_EQ(PLT_plot_zoom("k-Alt", x2, y2), 0);  // cancels the rectangle
    EXPECT_EQ(PLT_plot_zoom("B1-R", x2, y2), 0);
    EXPECT_EQ(g_calls, 0);

    PLT_plot_zoom("B1-P-Shft", x1, y1);
    int cursor = gget_cursor_type();
    testing::internal::CaptureStdout();
    MESS_set(1, 512);
    EXPECT_EQ(PLT_plot_zoom("B1-R-Shft", x2, y2), 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("New domain: 23,"), std::string::npos) << out;
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(PLT_get_zoom(), 1);
    EXPECT_EQ(gget_cursor_type(), cursor);  // restored after the wait cursor
    EXPECT_NEAR(g_seen.clat, -50, 1e-3);
    EXPECT_NEAR(g_seen.clon, -50, 1e-3);
    EXPECT_NEAR(g_seen.dx, 100, 1e-3);
    EXPECT_NEAR(g_seen.dy, 100, 1e-3);

    MAP_domain(&g_seen);
    EXPECT_EQ(PLT_plot_zoom("u-Alt", 0, 0), 1);
    EXPECT_EQ(PLT_get_zoom(), 0);
    EXPECT_TRUE(DOM_comp(&g_seen, &hodo));
    EXPECT_EQ(PLT_plot_zoom("u-Alt", 0, 0), 0);  // nothing to undo
    EXPECT_EQ(PLT_plot_zoom("r-Alt", 0, 0), 1);
    EXPECT_EQ(g_calls, 3);
    EXPECT_EQ(PLT_plot_resize("size"), 1);
    EXPECT_EQ(PLT_plot_resize("B1-P"), 0);
    EXPECT_EQ(g_calls, 4);
    PLT_set_refresh_func(30, record_domain);
    PLT_plot_refresh();
    EXPECT_EQ(g_calls, 5);
    PLT_set_refresh_func(0, nullptr);
    MESS_set(-1, 512);
}

TEST_F(Plot, MapZoomKeepsTheProjectionCentre) {
    Domain ll = make_domain(MAP_latlon, 40, -100, 1, 1, 41, 21);
    MAP_domain(&ll);
    PLT_set_zoom_func(record_domain);
    float x1, y1, x2, y2;
    MAP_tran(35, -105, &x1, &y1);
    MAP_tran(45, -95, &x2, &y2);
    PLT_plot_zoom("B1-P-Shft", x1, y1);
    PLT_plot_zoom("B1-R", x2, y2);
    EXPECT_NEAR(g_seen.clat, 40, 0.01);
    EXPECT_NEAR(g_seen.clon, -100, 0.01);
    EXPECT_EQ(g_seen.plon, -100);
    // spacing: the larger of width/(nx - 1) and height/(ny - 1)
    EXPECT_NEAR(g_seen.dx, std::max(std::fabs(x2 - x1) / 40, std::fabs(y2 - y1) / 20), 1e-4);
    PLT_set_zoom(0);
}

TEST_F(Plot, BatchCloseDetachesAndLocksTheFileUntilComplete) {
    std::string f = out_path("plt_batch.ps");
    std::remove(f.c_str());
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        RES_put("device", ("p," + f).c_str());
        FLAG_set_batch(1);
        PLT_open(1.0f);
        GPH_trans(2);
        for (int i = 0; i < 2000; ++i) GPH_line(0.1f, 0.1f, 0.5f, 0.0005f * i);
        PLT_close();
        std::_Exit(0);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // the foreground is gone; waiting on the lock gives the complete file
    int fd = open(f.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    std::string ps = read_all(f);
    close(fd);
    EXPECT_EQ(count_of(ps, "%%PL:2"), 2000);
    EXPECT_NE(ps.find("showpage"), std::string::npos);
    EXPECT_NE(ps.find("%%EOF"), std::string::npos);
}
