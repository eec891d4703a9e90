// The program's plots as users get them: batch plots of every type on the
// file devices, the plot menu of an interactive session, and bad input that
// leaves the text report in place.
#include "soundplot_fixture.h"

using namespace soundplot_test;

namespace {

class ProgramPlots : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    }
};

bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

const char kReport[] = "Date: 24 hour NAM valid 12Z THU  9 DEC 04";

}  // namespace

TEST_F(ProgramPlots, BatchPlotOfEveryTypeIsComplete) {
    struct Case {
        const char *type, *first;
    } const cases[] = {{"skewt", "Thermo Diagram"}, {"ema", "Thermo Diagram"},
                       {"teph", "Thermo Diagram"},  {"rteph", "Thermo Diagram"},
                       {"stuve", "Thermo Diagram"}, {"hodo", "Hodograph"},
                       {"", "Thermo Diagram"}};  // batch without a type: the skew-T
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        std::remove((run_dir() + "/plot.meta").c_str());
        ProgramRun r = run_program(std::string("-ba -me +out1 ") + (*c.type ? "-pl " : "") + c.type +
                                   " -de m,plot.meta " + sample_args());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r.out, kReport));
        std::vector<Rec> recs = parse_meta(finished(run_dir() + "/plot.meta"));
        std::vector<std::string> mess;
        for (const Rec &rec : recs)
            if (rec.tag == "ME") mess.push_back(rec.text);
        EXPECT_EQ(mess, (std::vector<std::string>{c.first, "Sounding", "Thermo Values", "Labels"}));
        EXPECT_TRUE(has_text(texts_after(recs, "Labels"), "40,-100 Sounding"));
    }
}

TEST_F(ProgramPlots, InteractiveMenuAfterTheReport) {
    // Skew-T, then the hodograph by number, then "New station".
    std::remove((run_dir() + "/session.meta").c_str());
    ProgramRun r = run_program("-me +out1,nopage -de m,+session.meta " + sample_args(),
                        "skewt\n6\nsta\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::size_t report = r.out.find(kReport), menu = r.out.find("Type of sounding plot");
    ASSERT_NE(report, std::string::npos);
    ASSERT_NE(menu, std::string::npos);
    EXPECT_LT(report, menu);
    EXPECT_EQ(count_of(r.out, "Enter the plot type: "), 3);
    std::string meta = read_all(run_dir() + "/session.meta");
    EXPECT_EQ(count_of(meta, "ME Thermo Diagram\n"), 1);
    EXPECT_EQ(count_of(meta, "ME Hodograph\n"), 1);
}

TEST_F(ProgramPlots, BadInputKeepsTheReport) {
    struct Case {
        const char *args, *message;
        int status;
        bool plot;
    } const cases[] = {
        {"-pl bogus", "THERM_prompt_plot_type: Unknown plot type: bogus", 0, true},
        {"-pl skewt -pd skewt,-50,100,12,11,100,-200",
         "THERM_plot: Unable to draw the plot domain (projection 40)", 0, false},
        {"-pl skewt -pd skewt,-50,1050,12,11,0,-950",
         "THERM_plot: Unable to draw the plot domain (projection 40)", 0, false},
        {"-pl skewt -pd us", "THERM_plot: Plot domain is not a sounding diagram", 0, true},
        {"-pl skewt -pp tline=50:junk", "THERM_plot_param: Bad line spacings: tline=50:junk", 0,
         true},
        {"-pl hodo -pp hline=junk", "HODO_plot_param: Bad hodograph line spacings: hline=junk", 0,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args);
        std::remove((run_dir() + "/bad.meta").c_str());
        ProgramRun r = run_program(std::string("-ba -me +out1 -de m,bad.meta ") + c.args + " " +
                            sample_args());
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(has(r.out, kReport));
        EXPECT_TRUE(has(r.err + r.out, c.message)) << r.err;
        std::string meta = finished(run_dir() + "/bad.meta");
        EXPECT_EQ(has(meta, "ME Labels"), c.plot);
    }
}

TEST_F(ProgramPlots, UnopenableOutputFile) {
    ProgramRun r = run_program("-ba -me +out1 -pl skewt -de p,/dev/null/no/out.ps " + sample_args());
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(has(r.out, kReport));
    EXPECT_TRUE(has(r.err, "gopen_ws: unable to open postscript file")) << r.err;
    EXPECT_TRUE(has(r.err, "GPH_begin: Error opening workstation")) << r.err;
}
