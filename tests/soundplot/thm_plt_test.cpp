// The diagrams, traces and values panel as they reach the metafile: which
// parts are drawn, their labels, the skew-T's 45-degree isotherms, the
// plot-parameter items and the panel styles.
#include "soundplot_fixture.h"

using namespace soundplot_test;

namespace {

class ThermDiagram : public testing::Test {
protected:
    void SetUp() override {
        reset_plot_state(test_file("diagram.meta"));
        load_oun();
    }
};

int count_tag(const std::vector<Rec> &recs, const std::string &tag) {
    int n = 0;
    for (const Rec &r : recs) n += r.tag == tag;
    return n;
}

std::vector<Rec> lines_after(const std::vector<Rec> &recs, const std::string &mess) {
    return after(recs, mess, "PL");
}

bool has_segment(const std::vector<Rec> &recs, Gpt a, Gpt b) {
    for (const Rec &r : recs)
        if (r.tag == "PL" && r.pts.size() == 2 && std::fabs(r.pts[0].x - a.x) < 1e-3 &&
            std::fabs(r.pts[0].y - a.y) < 1e-3 && std::fabs(r.pts[1].x - b.x) < 1e-3 &&
            std::fabs(r.pts[1].y - b.y) < 1e-3)
            return true;
    return false;
}

}  // namespace

TEST_F(ThermDiagram, EveryTypeDrawsItsPartsInOrder) {
    for (int type : {THERM_SKEWT, THERM_EMAGRAM, THERM_TEPH, THERM_RTEPH, THERM_STUVE}) {
        SCOPED_TRACE(type);
        std::vector<Rec> recs = plot_meta(type, "diagram.meta");
        std::vector<std::string> mess;
        for (const Rec &r : recs)
            if (r.tag == "ME") mess.push_back(r.text);
        EXPECT_EQ(mess, (std::vector<std::string>{"Thermo Diagram", "Sounding", "Thermo Values",
                                                  "Labels"}));
        // Background curves are chains of two-point segments.
        std::vector<Rec> bg = lines_after(recs, "Thermo Diagram");
        EXPECT_GT(bg.size(), 300u);
        int two = 0;
        for (const Rec &r : bg) two += r.pts.size() == 2;
        EXPECT_EQ(static_cast<std::size_t>(two) + 1, bg.size());  // and the border
        std::vector<std::string> t = texts_after(recs, "Thermo Diagram");
        EXPECT_TRUE(has_text(t, " 200") && has_text(t, "mb") && has_text(t, "C") &&
                    has_text(t, "g/kg") && has_text(t, "10.0"));
        std::vector<std::string> labels = texts_after(recs, "Labels");
        EXPECT_TRUE(has_text(labels, "OUN (72357) Sounding"));
        EXPECT_TRUE(has_text(labels, "12Z SUN 22 MAY 11"));
    }
}

TEST_F(ThermDiagram, SkewTIsothermsRiseAtFortyFiveDegreesOnThePage) {
    std::vector<Rec> recs = plot_meta(THERM_SKEWT, "skewt.meta");
    float x1, y1, x2, y2;
    ASSERT_EQ(MAP_tran(0, 100, &x1, &y1), 1);
    ASSERT_EQ(MAP_tran(0, 1050, &x2, &y2), 1);
    EXPECT_TRUE(has_segment(recs, {x1, y1}, {x2, y2}));
    Gpt a = plane_to_page(recs, x1, y1), b = plane_to_page(recs, x2, y2);
    EXPECT_NEAR((a.y - b.y) / (a.x - b.x), 1.0, 1e-3);
}

TEST_F(ThermDiagram, MixingRatioSpacingAndLabels) {
    RES_put("plot_param", "tline=50:10:10:10:10");
    std::vector<Rec> recs = plot_meta(THERM_SKEWT, "mline.meta");
    std::vector<std::string> t = texts_after(recs, "Thermo Diagram");
    for (const char *w : {"10.0", "20.0", "30.0", "40.0"}) EXPECT_TRUE(has_text(t, w)) << w;
    EXPECT_FALSE(has_text(t, "0.1"));
    EXPECT_FALSE(has_text(t, "g/kg"));  // only with the fixed table
    float p, tl, o, e, m;
    THERM_get_lines(&p, &tl, &o, &e, &m);
    EXPECT_EQ(m, 10.0f);
}

TEST_F(ThermDiagram, LineSpacingItemsAndTheirRefusal) {
    struct Case {
        const char *item;
        int rc;
        float want[5];
    } const cases[] = {
        {"tline:100:20", 0, {100, 20, 10, 10, 0}},
        {"tline=25:5:5:5:2", 0, {25, 5, 5, 5, 2}},
        {"tline=abc", -1, {50, 10, 10, 10, 0}},
        {"tline", -1, {50, 10, 10, 10, 0}},
        {"tline=0:10", -1, {50, 10, 10, 10, 0}},
        {"tline=50:-10", -1, {50, 10, 10, 10, 0}},
        {"tline=50:10:10:10:0.001", -1, {50, 10, 10, 10, 0}},
        {"tline=50:junk", -1, {50, 10, 10, 10, 0}},
        {"tline=40:10:10:10:10:10", -1, {50, 10, 10, 10, 0}},
    };
    for (const Case &c : cases) {
        THERM_set_lines(50, 10, 10, 10, 0);
        RES_put("plot_param", c.item);
        std::string err = sounding_test::capture(64, [] { THERM_plot_param(); });
        float got[5];
        THERM_get_lines(&got[0], &got[1], &got[2], &got[3], &got[4]);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(got[i], c.want[i]) << c.item << " " << i;
        EXPECT_EQ(err.empty(), c.rc == 0) << c.item << ": " << err;
        if (c.rc) {
            EXPECT_NE(err.find("THERM_plot_param: Bad line spacings: "), std::string::npos);
        }
    }
}

TEST_F(ThermDiagram, LabelsOffKeepTheBorder) {
    RES_put("color_thrmtxt", "off,off,off,off,off");
    std::vector<Rec> recs = plot_meta(THERM_SKEWT, "nolabels.meta");
    EXPECT_TRUE(texts_after(recs, "Thermo Diagram").empty());
    std::vector<Rec> bg = lines_after(recs, "Thermo Diagram");
    ASSERT_FALSE(bg.empty());
    EXPECT_EQ(bg.back().pts.size(), 5u);  // the frame
}

TEST_F(ThermDiagram, ColourOffSuppressesAFamily) {
    std::size_t all = lines_after(plot_meta(THERM_SKEWT, "all.meta"), "Thermo Diagram").size();
    RES_put("color_therm", "blue,blue,off,off,off");
    std::size_t two = lines_after(plot_meta(THERM_SKEWT, "two.meta"), "Thermo Diagram").size();
    EXPECT_LT(two * 3, all);
}

TEST_F(ThermDiagram, PanelStyles) {
    std::vector<Rec> full = plot_meta(THERM_SKEWT, "full.meta");
    std::vector<std::string> t = texts_after(full, "Thermo Values");
    EXPECT_EQ(t.front(), "WMO:72357");
    for (const char *s : {"-PARCEL-", "-WIND-"}) EXPECT_TRUE(has_text(t, s)) << s;
    EXPECT_FALSE(panel_value(full, "CAPE:").empty());
    EXPECT_FALSE(panel_value(full, "HEL:").empty());

    RES_put("plot_param", "data1");
    std::vector<Rec> shrt = plot_meta(THERM_SKEWT, "short.meta");
    t = texts_after(shrt, "Thermo Values");
    EXPECT_TRUE(panel_value(shrt, "CAPE:").empty());
    EXPECT_FALSE(panel_value(shrt, "LI:").empty());
    EXPECT_FALSE(has_text(t, "-WIND-"));

    RES_put("plot_param", "nodata");
    std::vector<Rec> none = plot_meta(THERM_SKEWT, "nodata.meta");
    EXPECT_TRUE(texts_after(none, "Thermo Values").empty());
    // Without the panel the plot takes the narrow right margin: its view
    // reaches further right.
    auto right = [](const std::vector<Rec> &recs) {
        MAP_limits lim;
        MAP_get_limits(&lim);
        return plane_to_page(recs, lim.x_max, 0).x;
    };
    EXPECT_GT(right(none), right(full) + 0.05f);
}

TEST_F(ThermDiagram, FreezingLevelBelowGround) {
    std::string path = test_file("frz.meta");
    ASSERT_EQ(open_ws(GWS_META, path), 0);
    THERM_get_values()->frz = -1.0f;
    THERM_plot_values();
    close_ws();
    EXPECT_TRUE(has_text(texts_after(parse_meta(read_all(path)), "Thermo Values"), "FRZ: BG"));
}

TEST_F(ThermDiagram, WindColumnThinsAndMarksCalm) {
    std::vector<UPA_level> lev = {
        {1000, 100, 20, 15, 180, 10}, {990, 180, 19, 14, 190, 20},  // 80 m higher: thinned
        {950, 450, 17, 12, 200, 0},                                 // calm: circle
        {850, 1400, 12, 5, 250, 65}, {500, 5600, -12, -30, 270, 50},
    };
    load_levels(lev, "TEST", 99999);
    std::vector<Rec> recs = plot_meta(THERM_SKEWT, "wind.meta");
    std::vector<Rec> lines = lines_after(recs, "Sounding");
    std::vector<Gpt> marks;
    for (const Rec &r : after(recs, "Sounding", "PM")) marks.push_back(r.pts[0]);
    int staffs = 0, circles = 0;
    for (const Rec &r : lines) {
        circles += r.pts.size() == 37;
        for (const Gpt &m : marks)  // staffs start at the level's mark
            if (r.pts.size() == 2 && r.pts[0].x == m.x && r.pts[0].y == m.y) ++staffs;
    }
    EXPECT_EQ(marks.size(), 4u);
    EXPECT_EQ(circles, 1);
    EXPECT_EQ(staffs, 3);
    EXPECT_TRUE(has_text(texts_after(recs, "Labels"), "TEST Sounding"));
    EXPECT_EQ(count_tag(recs, "FA"), 2);  // the flags of 65 and 50 knots
}

TEST_F(ThermDiagram, ParcelPathFollowsTheDryThenTheSaturatedAdiabat) {
    std::vector<Rec> with = lines_after(plot_meta(THERM_SKEWT, "parcel.meta"), "Sounding");
    RES_put("plot_param", "noparcel");
    std::vector<Rec> without = lines_after(plot_meta(THERM_SKEWT, "noparcel.meta"), "Sounding");
    // 25 mb steps from the parcel's level to 100 mb.
    UPA_level *par = THERM_get_parcel();
    ASSERT_NE(par->p, MISSING_F);
    int steps = static_cast<int>((par->p - 100.0f) / 25.0f);
    EXPECT_NEAR(static_cast<double>(with.size() - without.size()), steps + 1, 1.0);
}

TEST_F(ThermDiagram, SoundingWithoutTemperaturesStillGetsItsDiagram) {
    std::vector<UPA_level> lev = {{1000, 100, MISSING_F, MISSING_F, 180, 10},
                                  {850, 1500, MISSING_F, MISSING_F, 250, 30}};
    load_levels(lev);
    std::vector<Rec> recs;
    std::string err = sounding_test::capture(64, [&] { recs = plot_meta(THERM_SKEWT, "not.meta"); });
    EXPECT_NE(err.find("THERM_plot: The sounding has no temperatures\n"), std::string::npos) << err;
    EXPECT_GT(lines_after(recs, "Thermo Diagram").size(), 300u);
    EXPECT_FALSE(texts_after(recs, "Labels").empty());
}
