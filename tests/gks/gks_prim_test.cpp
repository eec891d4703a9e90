// Primitives and attributes as the PostScript and HPGL writers print them.
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gks_dev.h"
#include "gks_fixture.h"

namespace {

void unit_world() {
    Glim w = {0, 1, 0, 1};
    gset_win(1, &w);
    gset_vp(1, &w);
    gsel_norm_tran(1);
}

// Opens a fresh file of type with options, draws into the unit world and
// closes it; -> what was written (for PostScript, after the plot's header).
std::string drawn(int type, const std::string &options, const std::function<void()> &draw) {
    static int n = 0;
    std::string f = out_path("prim" + std::to_string(++n));
    EXPECT_EQ(open_ws(type, f + options), 0);
    unit_world();
    draw();
    close_ws();
    std::string text = read_all(f);
    return type == GWS_PS ? text.substr(text.find('\n', text.find("%%ZUP Plot: ")) + 1) : text;
}

const Gpt kLine[2] = {{0, 0}, {1, 0}}, kTri[3] = {{0, 0}, {1, 0}, {0, 1}};

}  // namespace

TEST(Polyline, PointCountAndWindowChecks) {
    std::string ps = drawn(GWS_PS, "", [] {
        Gpt one[1] = {{0.5f, 0.5f}}, out[2] = {{2, 2}, {3, 3}}, in[2] = {{0, 0}, {1, 1}};
        EXPECT_EQ(gpolyline(1, one), -1);
        EXPECT_EQ(gpolyline(2, out), 0);
        EXPECT_EQ(gfill_area(2, out), -1);
        EXPECT_EQ(gpolyline(2, in), 0);
    });
    EXPECT_EQ(count_of(ps, "%%PL:"), 1);
    EXPECT_NE(ps.find("%%PL:2\nnp\n0.00 0.00 mv\n575.00 575.00 ln\nstroke\n"), std::string::npos);
}

TEST(PostScriptAttributes, GreyModeLinesBlackFillsGrey) {
    // Table colours keep three decimals; print colour 506 its own grey.
    const std::pair<const char *, const char *> fills[] = {
        {"red", "0.333"}, {"white", "1.000"}, {"black", "0.000"}, {"506", ".7"}};
    std::string b = drawn(GWS_PS, ",gray", [&] {
        Gpt l2[2] = {{0, 1}, {1, 1}};
        gset_line_colr_ind(CLR_get_ind("red"));
        gpolyline(2, kLine);
        gpolyline(2, l2);
        for (const auto &fl : fills) {
            gset_fill_colr_ind(CLR_get_ind(fl.first));
            gfill_area(3, kTri);
        }
    });
    EXPECT_EQ(count_of(b, "setrgbcolor"), 0);
    EXPECT_EQ(count_of(b, "\n0 setgray"), 0);  // lines stay at the header's black
    for (const auto &fl : fills)
        EXPECT_NE(b.find(std::string("cp\n") + fl.second + " setgray\nfill\n"), std::string::npos) << fl.first;
}

TEST(PostScriptAttributes, ColourWrittenOncePerChange) {
    std::string b = drawn(GWS_PS, ",color", [] {
        // White prints black on paper; print colour 501 is black at double width.
        for (const char *c : {"red", "red", "blue", "501", "white", "blue"}) {
            gset_line_colr_ind(CLR_get_ind(c));
            gpolyline(2, kLine);
        }
        GPH_set_color(CLR_get_ind("blue"), 0, 0.5f, 0.5f);  // the same index, a new colour
        gpolyline(2, kLine);
    });
    EXPECT_EQ(count_of(b, "1.00 0.00 0.00 setrgbcolor\n"), 1);
    EXPECT_EQ(count_of(b, "0.00 0.00 1.00 setrgbcolor\n"), 2);
    EXPECT_EQ(count_of(b, "0.00 0.50 0.50 setrgbcolor\n"), 1);
    EXPECT_EQ(count_of(b, "0 setgray\n"), 1);
    EXPECT_EQ(count_of(b, "0.00 0.00 0.00 setrgbcolor\n"), 1);
    EXPECT_NE(b.find("2 dot lw\n0 setgray\n"), std::string::npos);
}

TEST(PostScriptAttributes, WidthsAndDashes) {
    std::string b = drawn(GWS_PS, ",lwidth=2", [] {
        gset_linewidth(0);  // thinnest becomes 1 on paper
        EXPECT_FLOAT_EQ(gget_linewidth(), 1.0f);
        gpolyline(2, kLine);
        gset_linewidth(3);
        gset_line_print_bold(2);
        for (int t = 1; t <= 6; ++t) {
            gset_linetype(t);
            gpolyline(2, kLine);
        }
        gset_line_colr_ind(502);
        gpolyline(2, kLine);
        EXPECT_EQ(gset_linetype(-1), -1);
        EXPECT_EQ(gset_linewidth(-2), -1);
        EXPECT_EQ(gset_line_colr_ind(300), -1);
        EXPECT_EQ(gset_line_colr_ind(200), -1);  // valid but has no colour
    });
    for (const char *w : {"2.0 dot lw\n", "12.0 dot lw\n", "24 dot lw\n"}) EXPECT_NE(b.find(w), std::string::npos) << w;
    for (const char *d : {"[6] 0 setdash\n", "[3 6] 0 setdash\n", "[6 6 3 6] 0 setdash\n", "[2] 0 setdash\n"})
        EXPECT_EQ(count_of(b, d), 1) << d;
    EXPECT_EQ(count_of(b, "[] 0 setdash\n"), 0);  // type 1 was never left before 2
}

TEST(PostScriptAttributes, PatternFillsDrawNothing) {
    std::string b = drawn(GWS_PS, ",color", [] {
        gset_fill_int_style(GPAT);
        gset_fill_style_ind(9);
        EXPECT_EQ(gfill_area(3, kTri), 0);
        gset_fill_int_style(GHOLLOW);
        gfill_area(3, kTri);
        EXPECT_EQ(gset_fill_style_ind(20), -1);
    });
    EXPECT_EQ(count_of(b, "fill\n"), 0);
    EXPECT_EQ(gget_fill_pattern_row(9, 0), 0xc3);
    EXPECT_EQ(gget_fill_pattern_row(13, 7), 0xa8);
    EXPECT_EQ(gget_fill_pattern_row(20, 0), 0);
}

TEST(PostScriptFile, EpsAndAppend) {
    std::string f = out_path("plot.eps");
    ASSERT_EQ(open_ws(GWS_PS, f + ",eps"), 0);
    close_ws();
    std::string eps = read_all(f);
    EXPECT_EQ(eps.rfind("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 612 756\n", 0), 0u);
    for (const char *none : {"save", "dict begin", "\nend\n"}) EXPECT_EQ(count_of(eps, none), 0) << none;
    EXPECT_NE(eps.find("90 rotate\n0. inch -8.50 inch translate\n"), std::string::npos);
    // A geometry cell still declares the whole drawing area; portrait A4 at
    // half scale.
    ASSERT_EQ(open_ws(GWS_PS, f + ",eps,a4,port,scale=0.5", "P2x2+1+1"), 0);
    EXPECT_EQ(win_size().first, 279);
    close_ws();
    EXPECT_EQ(read_all(f).rfind("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 280 403\n", 0), 0u);

    std::string a = out_path("two.ps");
    ASSERT_EQ(open_ws(GWS_PS, a), 0);
    close_ws();
    ASSERT_EQ(open_ws(GWS_PS, "+" + a), 0);
    gmessage(1, "second plot");
    gmessage(1, "line\nshowpage");  // stays inside the comment
    close_ws();
    std::string ps = read_all(a);
    EXPECT_EQ(count_of(ps, "%!PS"), 1);
    EXPECT_EQ(count_of(ps, "\nshowpage\n"), 1);
    EXPECT_EQ(count_of(ps, "%%ZUP Plot: test page\n"), 2);
    EXPECT_NE(ps.find("%%Message: second plot\n%%Message: line showpage\n%%End of plot\n"),
              std::string::npos);
    EXPECT_EQ(ps.substr(ps.size() - 14), "%%End of plot\n");
}

TEST(PostScriptFile, HeaderAndTrailer) {
    std::string f = out_path("head.ps");
    ASSERT_EQ(open_ws(GWS_PS, f + ",scale=0.5"), 0);
    close_ws();
    std::string ps = read_all(f);
    EXPECT_EQ(ps.rfind("%!PS-Adobe-1.0\n%%Title: ZUP Graphics Display: test page\n"
                       "%%Creator: ZUP Postscript Processor-2.0\n"
                       "%%CreationDate: Thu Jan  1 00:00:00 1970\n%%EndComments\n",
                       0),
              0u);
    EXPECT_NE(ps.find("2 setlinejoin\n1 dot lw\n[] 0 setdash\n0.50 0.50 scale\n%%Begin plot\n"),
              std::string::npos);
    EXPECT_NE(ps.find("%%End of plot\nsaveobj restore\nshowpage\nend\n%%EOF\n"),
              std::string::npos);
    // The first clip is the unit square of the initial transformation.
    EXPECT_NE(ps.find("initclip\nnp\n-0.10 -0.10 mv\n-0.10 575.10 ln\n575.10 575.10 ln\n"
                      "575.10 -0.10 ln\ncp\nclip\n"),
              std::string::npos);
}

TEST(Markers, FiguresOnPaper) {
    std::string ps = drawn(GWS_PS, "", [] {
        Gpt p = {0, 0};
        gset_marker_size(1);  // 10 x 0.72 points: r = 4
        for (int type : {6, 7, 12}) {  // 12 is unknown: nothing
            gset_marker_type(type);
            gpolymarker(1, &p);
        }
        EXPECT_EQ(gset_marker_size(-1), -1);
        EXPECT_EQ(gset_marker_width(-1), -1);
    });
    EXPECT_NE(ps.find("np\n-4.00 -4.00 mv\n4.00 -4.00 ln\n4.00 4.00 ln\n-4.00 4.00 ln\n"
                      "-4.00 -4.00 ln\nstroke\n"),
              std::string::npos);
    // The triangle points up on paper.
    EXPECT_NE(ps.find("np\n-4.00 -4.00 mv\n4.00 -4.00 ln\n0.00 4.00 ln\n-4.00 -4.00 ln\nstroke\n"),
              std::string::npos);
    EXPECT_EQ(count_of(ps, "%%PM:1"), 3);
    EXPECT_EQ(count_of(ps, "stroke"), 2);
}

TEST(HpglAttributes, PensFillsAndLines) {
    std::string hp = drawn(GWS_HPGL, ",nopcl", [] {
        Gpt l[12];
        for (int i = 0; i < 12; ++i) l[i] = {i / 11.0f, (i % 2) * 1.0f};
        gset_linetype(3);
        gset_line_colr_ind(507);
        gpolyline(12, l);
        gset_fill_colr_ind(CLR_get_ind("red"));
        gfill_area(3, l);
        gset_fill_print_solid(1);
        gfill_area(3, l);
        gset_fill_print_solid(0);
        gclear_region(nullptr);
    });
    EXPECT_EQ(hp.rfind("IN;SP1;PA;\nPW0.2;SV;LT;\n", 0), 0u);  // no PCL wrapper
    EXPECT_NE(hp.find("PW0.4;\nSV1,30;\nLT5,8,1;\nPU10,10;"), std::string::npos);
    // A line break after the tenth point and at the end.
    size_t p = hp.find("LT5,8,1;\n");
    std::string pl = hp.substr(p + 9, hp.find("FT", p) - p - 9);
    EXPECT_EQ(count_of(pl, "\n"), 2);
    EXPECT_EQ(count_of(pl, "PD"), 11);
    EXPECT_NE(hp.find("FT10,67;\nPU10,10;PM0;PD702,7621;PD1394,10;PM1;PM2;FP;\n"),
              std::string::npos);
    EXPECT_NE(hp.find("FT1;\nPU10,10;PM0;"), std::string::npos);
    EXPECT_EQ(hp.substr(hp.size() - 7), "SP;PG;\n");
}

namespace {
std::vector<int> g_codes;
void *collect(int type, int, int, const void *) {
    g_codes.push_back(type);
    return nullptr;
}
}  // namespace

TEST(DisplayList, EveryOperationReachesTheHookButOnMetafiles) {
    gset_record_hook(collect);
    ASSERT_EQ(open_ws(GWS_PS, out_path("hook.ps")), 0);
    g_codes.clear();
    unit_world();
    Gpt l[3] = {{0, 0}, {1, 0}, {0, 1}};
    gset_line_colr_ind(2);
    gpolyline(2, l);
    gpolymarker(1, l);
    gfill_area(3, l);
    gtext(l, "A");
    gset_char_ht(0.05f);
    gmessage(1, "m");
    close_ws();
    std::vector<int> want = {17, 16, 15, 35, 30, 40, 70, 50, 57, 5};
    EXPECT_EQ(g_codes, want);
    ASSERT_EQ(open_ws(GWS_META, out_path("hook.meta")), 0);
    g_codes.clear();
    gpolyline(2, l);
    gset_line_colr_ind(3);
    close_ws();
    EXPECT_TRUE(g_codes.empty());
    gset_record_hook(nullptr);
}

TEST(HpglAttributes, PrintColourFillsShadeByTheirGrey) {
    std::string hp = drawn(GWS_HPGL, ",nopcl", [] {
        for (int c : {503, 506, 500}) {
            gset_fill_colr_ind(c);
            gfill_area(3, kTri);
        }
    });
    size_t a = hp.find("FT10,0;\n"), b = hp.find("FT10,30;\n"), c = hp.find("FT10,100;\n");
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

namespace {
// A stand-in window device that notes the calls the kernel makes.
struct FakeWindow : GksDevice {
    static std::vector<std::string> calls;
    int type() const override { return GWS_WIN; }
    int init_class() const override { return 0; }
    bool pixel_units() const override { return true; }
    int close() override { calls.push_back("close"); return 0; }
    void polyline(int n, const Gpt *) override { calls.push_back("pl" + std::to_string(n)); }
    void marker_begin(int) override {}
    void lines(int, const Gpt *) override { calls.push_back("lines"); }
    void fill_area(int, const Gpt *) override {}
    void text_begin(const Gpt &, const char *) override { calls.push_back("stroke text"); }
    void clear() override { calls.push_back("clear"); }
    void clip(const Glim &r) override { last_clip = r; }
    static Glim last_clip;
    int load_server_font(const char *name) override {
        calls.push_back(std::string("font ") + name);
        return std::string(name) == "fixed" ? 0 : -1;
    }
    void server_text(const Gpt &, const char *text, int h, int v) override {
        calls.push_back(std::string("server ") + text + " " + std::to_string(h) + std::to_string(v));
    }
};
std::vector<std::string> FakeWindow::calls;
Glim FakeWindow::last_clip;
std::unique_ptr<GksDevice> make_fake(const char *, int) { return std::make_unique<FakeWindow>(); }
}  // namespace

TEST(WindowInterface, ClearAndServerFontsGoThroughTheDevice) {
    gset_window_factory(make_fake);
    FakeWindow::calls.clear();
    ASSERT_EQ(open_ws(GWS_WIN, ""), 0);
    gclear_ws(1, 1);
    Gpt p = {0.5f, 0.5f};
    EXPECT_EQ(gtext(&p, "A"), 0);
    EXPECT_EQ(read_font("#nosuch"), -1);
    EXPECT_EQ(gget_font_type(), 0);
    EXPECT_EQ(read_font("#fixed"), 0);
    EXPECT_EQ(gget_font_type(), 2);
    GPH_text_align(GCENTER_HOR, GHALF_VERT);
    EXPECT_EQ(gtext(&p, "Hi"), 0);
    // The clip reaches a window device as the pixel rectangle.
    gset_win_size(640, 512);
    Glim page = {0, 1, 0, 511.0f / 639.0f}, vp = {0.25f, 0.75f, 0.1f, 0.5f};
    gset_ws_win(1, &page);
    gset_vp(3, &vp);
    gsel_norm_tran(3);
    int x, y, w, h;
    gget_clip_rect(&x, &y, &w, &h);
    EXPECT_EQ(x, 160);
    EXPECT_EQ(y, static_cast<int>(std::round((page.y_max - 0.5f) * 639 + 0.5f)));
    EXPECT_EQ(FakeWindow::last_clip.x_min, x);
    EXPECT_EQ(FakeWindow::last_clip.x_max, x + w);
    EXPECT_EQ(FakeWindow::last_clip.y_min, y);
    EXPECT_EQ(FakeWindow::last_clip.y_max, y + h);
    close_ws();
    gset_window_factory(nullptr);
    std::vector<std::string> want = {"clear", "stroke text", "lines", "lines", "lines", "font nosuch",
                                     "font fixed", "server Hi 23", "close"};
    EXPECT_EQ(FakeWindow::calls, want);
    // With nothing open the call is harmless.
    EXPECT_EQ(gclear_ws(1, 1), 0);
}
