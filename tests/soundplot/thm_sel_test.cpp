// The plot menu and its prompt states, and the editing callbacks called as
// the window device calls them: event names and plane positions.
#include "soundplot_fixture.h"

using namespace soundplot_test;

namespace {

// Points standard input at a file holding text.
void feed(const std::string &text) {
    std::string path = test_file("plot_menu_input.txt");
    write_file(path, text);
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
}

class PlotChoice : public testing::Test {
protected:
    void SetUp() override {
        reset_plot_state(test_file("choice.meta"));
        MESS_set_page(0);
    }
};

// A plot held open on the metafile, as a window holds it while the user
// edits; the records are read when it closes.
class Editing : public testing::Test {
protected:
    void SetUp() override {
        reset_plot_state(path_);
        load_oun();
        MESS_set_page(0);
    }
    void open(int type) {
        FLAG_set(11, type);
        Domain d = THERM_default_domain(type);
        ASSERT_EQ(PLT_open(static_cast<float>(d.nx) / static_cast<float>(d.ny)), 0);
        DOM_init(&d);
        THERM_plot(&d);
    }
    std::vector<Rec> close() {
        PLT_close();
        return parse_meta(read_all(path_));
    }
    // The plane point of a diagram point (temperature, pressure).
    static Gpt at(float t, float p) {
        Gpt g{};
        MAP_tran(t, p, &g.x, &g.y);
        return g;
    }
    static void event(const char *name, Gpt g) { THERM_callback(3, name, g.x, g.y); }
    static UPA_level &level(float p) {
        for (UPA_level &l : oun_levels())
            if (l.p == p) return l;
        static UPA_level none;
        ADD_FAILURE() << "no level " << p;
        return none;
    }
    std::string path_ = test_file("editing.meta");
};

}  // namespace

TEST_F(PlotChoice, TypeGivenInAdvanceGivesOnePlotInTheRun) {
    FLAG_set(11, THERM_TEPH);
    EXPECT_EQ(THERM_prompt_plot_type(), 1);
    EXPECT_EQ(THERM_get_prompt_state(), 0);
    EXPECT_EQ(THERM_prompt_plot_type(), 0);
    EXPECT_EQ(THERM_prompt_plot_type(), 0);

    THERM_plot_reset();
    FLAG_set(11, THERM_NO_PLOT);
    EXPECT_EQ(THERM_prompt_plot_type(), 0);
}

TEST_F(PlotChoice, BatchDrawsOneSkewTPerSounding) {
    FLAG_set_batch(1);
    for (int sounding = 0; sounding < 2; ++sounding) {
        EXPECT_EQ(THERM_prompt_plot_type(), 1);
        EXPECT_EQ(FLAG_get(11), THERM_SKEWT);
        EXPECT_EQ(THERM_prompt_plot_type(), 0);
    }
    FLAG_set_batch(0);
}

TEST_F(PlotChoice, MenuAnswersByKeywordNumberAndName) {
    feed("ema\n6\nStuve\nbogus\nrteph\n0\n");
    std::string out = sounding_test::capture(0xFF, [] {
        EXPECT_EQ(THERM_prompt_plot_type(), 1);
        EXPECT_EQ(FLAG_get(11), THERM_EMAGRAM);
        EXPECT_EQ(THERM_get_prompt_state(), 1);
        EXPECT_EQ(THERM_prompt_plot_type(), 1);
        EXPECT_EQ(FLAG_get(11), THERM_HODO);
        EXPECT_EQ(THERM_prompt_plot_type(), 1);
        EXPECT_EQ(FLAG_get(11), THERM_STUVE);
        EXPECT_EQ(THERM_prompt_plot_type(), 1);  // after refusing "bogus"
        EXPECT_EQ(FLAG_get(11), THERM_RTEPH);
        UPA_set_prompt(0);
        EXPECT_EQ(THERM_prompt_plot_type(), 0);  // New station
        EXPECT_EQ(UPA_get_prompt(), 1);
    });
    EXPECT_NE(out.find("Type of sounding plot\n  1: Skew T log P"), std::string::npos) << out;
    EXPECT_NE(out.find("  6: Hodograph"), std::string::npos);
    EXPECT_NE(out.find("  0: New station"), std::string::npos);
    EXPECT_NE(out.find("Enter the plot type: "), std::string::npos);
    EXPECT_NE(out.find("THERM_prompt_plot_type: Unknown plot type: bogus\n"), std::string::npos);
    // The menu comes back after each interactive plot.
    EXPECT_EQ(THERM_get_prompt_state(), 1);
}

TEST_F(PlotChoice, NewStationWithAGivenIdentifierDoesNotAskForOne) {
    RES_put("identifier", "KOUN");
    feed("sta\n");
    UPA_set_prompt(0);
    sounding_test::capture(0xFF, [] { EXPECT_EQ(THERM_prompt_plot_type(), 0); });
    EXPECT_EQ(UPA_get_prompt(), 0);
}

TEST_F(PlotChoice, ExitAtTheMenuEndsTheProgram) {
    EXPECT_EXIT(
        {
            feed("-1\n");
            THERM_prompt_plot_type();
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(Editing, DraggingATemperatureChangesCapeInThePanel) {
    open(THERM_SKEWT);
    UPA_level &sfc = level(966.0f);
    event("B3-P-Shft", at(sfc.t + 0.5f, sfc.p));
    event("B3-R", at(26.0f, sfc.p));
    EXPECT_FLOAT_EQ(sfc.t, 26.0f);
    std::vector<std::string> cape = panel_values(close(), "CAPE:");
    ASSERT_EQ(cape.size(), 2u);
    EXPECT_GT(std::stof(cape[1]), std::stof(cape[0]));
}

TEST_F(Editing, DragStopsAtTheTemperatureAndTheDewPoint) {
    open(THERM_SKEWT);
    UPA_level &l = level(700.0f);
    const float t = l.t, td = l.td;
    event("B3-P-Shft", at(td + 1.0f, 700.0f));  // nearer the dew point
    event("B3-R-Shft", at(t + 40.0f, 700.0f));
    EXPECT_FLOAT_EQ(l.td, t);
    EXPECT_FLOAT_EQ(l.t, t);
    l.td = td;
    event("B3-P-Shft", at(t - 1.0f, 700.0f));  // nearer the temperature
    event("B3-R", at(td - 30.0f, 700.0f));
    EXPECT_FLOAT_EQ(l.t, td);
    // Any other event cancels a pick.
    event("B3-P-Shft", at(l.t, 700.0f));
    event("v-Alt", at(0, 500));
    event("B3-R", at(l.t + 10.0f, 700.0f));
    EXPECT_FLOAT_EQ(l.t, td);
    close();
}

TEST_F(Editing, ReadOutKeysAndTheRawFile) {
    open(THERM_SKEWT);
    std::string text = sounding_test::capture(8, [] { event("v-Alt", at(5.0f, 500.0f)); });
    EXPECT_EQ(text.rfind("T:  5.0 P: 500.0 O:", 0), 0u) << text;
    EXPECT_NE(text.find("SND-T: "), std::string::npos);
    EXPECT_NE(text.find("ft\n"), std::string::npos);

    std::string raw = test_file("edited.raw");
    std::remove(raw.c_str());
    RES_put("out_file", ("raw=" + raw).c_str());
    event("s-Alt", at(0, 500));
    EXPECT_EQ(read_all(raw).rfind("ZUPRAW\n", 0), 0u);
    close();
}

TEST_F(Editing, SwitchingToTheHodographAndBack) {
    open(THERM_SKEWT);
    event("n-Alt", at(0, 500));
    EXPECT_EQ(FLAG_get(11), THERM_HODO);
    THERM_callback(2, "n-Alt", 0, 0);
    EXPECT_EQ(FLAG_get(11), THERM_SKEWT);
    std::vector<std::string> mess;
    for (const Rec &r : close())
        if (r.tag == "ME" && (r.text == "Hodograph" || r.text == "Thermo Diagram"))
            mess.push_back(r.text);
    EXPECT_EQ(mess, (std::vector<std::string>{"Thermo Diagram", "Hodograph", "Thermo Diagram"}));
}

TEST_F(Editing, DraggingTheStormMotionChangesHelicityNotTheMeanWind) {
    open(THERM_HODO);
    WIND storm, mean;
    THERM_get_storm(&storm);
    THERM_get_mean6(&mean);
    float hel = THERM_get_values()->helicity.tot_hel;
    Gpt from{}, to{};
    VECT_hodo_point(storm.dir, storm.spd, &from.x, &from.y);
    VECT_hodo_point(300.0f, 40.0f, &to.x, &to.y);
    HODO_callback(3, "B3-P-Shft", from.x, from.y);
    HODO_callback(3, "B3-R", to.x, to.y);
    WIND moved, mean_after;
    THERM_get_storm(&moved);
    THERM_get_mean6(&mean_after);
    EXPECT_NEAR(moved.dir, 300.0f, 0.01);
    EXPECT_NEAR(moved.spd, 40.0f, 0.01);
    EXPECT_EQ(mean_after.dir, mean.dir);
    EXPECT_EQ(mean_after.spd, mean.spd);
    EXPECT_NE(THERM_get_values()->helicity.tot_hel, hel);
    std::vector<Rec> recs = close();
    std::vector<std::string> h = panel_values(recs, "HEL:");
    ASSERT_EQ(h.size(), 2u);
    EXPECT_NE(h[0], h[1]);
    std::vector<std::string> stm = panel_values(recs, "STM:");
    ASSERT_EQ(stm.size(), 2u);
    EXPECT_EQ(stm[1], "300/40");
}

TEST_F(Editing, DraggingAWindLevelOnTheHodograph) {
    open(THERM_HODO);
    // The first level within the pick tolerance of the 500 mb wind.
    const UPA_level &l500 = level(500.0f);
    Gpt from{}, to{};
    VECT_hodo_point(l500.dir, l500.spd, &from.x, &from.y);
    VECT_hodo_point(90.0f, 20.0f, &to.x, &to.y);
    std::size_t k = 0;
    while (!HODO_check_locate(oun_levels()[k].dir, oun_levels()[k].spd, l500.dir, l500.spd)) ++k;
    const UPA_level &l = oun_levels()[k];
    HODO_callback(3, "B3-P-Shft", from.x, from.y);
    HODO_callback(3, "B3-R", to.x, to.y);
    EXPECT_NEAR(l.dir, 90.0f, 0.01);
    EXPECT_NEAR(l.spd, 20.0f, 0.01);
    std::string text = sounding_test::capture(8, [&] { HODO_callback(3, "d-Alt", to.x, to.y); });
    EXPECT_NE(text.find("DIR: 90.0 SPD:  20.0 SND-P: "), std::string::npos) << text;
    close();
}

TEST_F(Editing, HodographFromTurnsEveryPointHalfWayRound) {
    auto profile = [&](const char *param) {
        RES_put("plot_param", param);
        std::vector<Gpt> pts;
        for (const Rec &r : after(plot_meta(THERM_HODO, "hodo_dir.meta"), "Sounding", "PM")) pts.push_back(r.pts[0]);
        return pts;
    };
    std::vector<Gpt> to = profile("hodo_to"), from = profile("hodo_from");
    ASSERT_EQ(to.size(), from.size());
    ASSERT_GT(to.size(), 10u);
    for (std::size_t i = 0; i < to.size(); ++i) {
        EXPECT_NEAR(to[i].x, -from[i].x, 1e-3);
        EXPECT_NEAR(to[i].y, -from[i].y, 1e-3);
    }
    // A wind from the west lies east of the centre by default.
    HODO_set_dir(-1);
    float x, y;
    VECT_hodo_point(270, 10, &x, &y);
    EXPECT_NEAR(x, 10, 1e-4);
    EXPECT_EQ(HODO_check_locate(270, 10, 275, 12), 1);
    EXPECT_EQ(HODO_check_locate(270, 10, 90, 10), 0);
}

TEST_F(Editing, HlineItems) {
    struct Case {
        const char *item;
        float dline, sline;
        bool ok;
    } const cases[] = {{"hline=30:10", 30, 10, true}, {"hline:90", 90, 25, true},
                       {"hline=x:y", 45, 25, false},  {"hline=0:10", 45, 25, false},
                       {"hline", 45, 25, false}};
    for (const Case &c : cases) {
        HODO_set_lines(45, 25);
        RES_put("plot_param", c.item);
        std::string err = sounding_test::capture(64, [] { HODO_plot_param(); });
        float d, s;
        HODO_get_lines(&d, &s);
        EXPECT_EQ(d, c.dline) << c.item;
        EXPECT_EQ(s, c.sline) << c.item;
        EXPECT_EQ(err.empty(), c.ok) << c.item << err;
    }
}
