// Window-device logic that needs no X server: event names, type-6 window
// descriptions, frame arguments without a window, the display list and
// its metafile replay, and a run with no display.
#include <cstdlib>
#include <string>

#include "gks_fixture.h"
#include "gks_obj.h"
#include "gks_x11.h"

TEST(EventNames, ModifiersFollowInAFixedOrder) {
    struct Case {
        const char *base;
        unsigned state;
        const char *name;
    } cases[] = {
        {"B1-P", ShiftMask, "B1-P-Shft"},
        {"B3-R", 0, "B3-R"},
        {"d", Mod1Mask, "d-Alt"},
        {"B2-P", ControlMask | Mod1Mask | ShiftMask, "B2-P-Alt-Shft-Cntrl"},
        {"Ret", LockMask, "Ret"},
    };
    for (const auto &c : cases) {
        char out[32];
        gevent_name(out, sizeof out, c.base, c.state);
        EXPECT_STREQ(out, c.name);
    }
    char tiny[4];
    gevent_name(tiny, sizeof tiny, "B1-P", ShiftMask);
    EXPECT_STREQ(tiny, "B1-");
}

TEST(WindowSpec, ThreeFormsAndFiles) {
    // window, pixmap, width, height, colour map; the colour map is used only
    // when all five are there.
    using Desc = std::tuple<unsigned long, unsigned long, int, int, unsigned long>;
    const std::pair<const char *, Desc> forms[] = {{"+12:34:100x80:5", {12, 34, 100, 80, 5}},
                                                   {"+12:34:100x80", {12, 34, 100, 80, 0}},
                                                   {"0x1f:64x48:7", {0, 31, 64, 48, 7}},
                                                   {"99:10x20", {0, 99, 10, 20, 0}}};
    for (const auto &[text, want] : forms) {
        Gwin_desc w;
        ASSERT_EQ(gparse_window_desc(text, &w), 0) << text;
        EXPECT_EQ(Desc(w.window, w.pixmap, w.width, w.height, w.colormap), want) << text;
    }
    Gwin_desc w;
    for (const char *bad : {"+12", "0x", "garbage", "", ":5"}) EXPECT_EQ(gparse_window_desc(bad, &w), -1) << bad;

    const std::pair<const char *, const char *> files[] = {{"w", "zuploop.win"}, {"W3", "zuploop.3"}, {"my.win", "my.win"}};
    for (const auto &[name, want] : files) {
        char f[160];
        EXPECT_EQ(gwindow_desc_file(name, f, sizeof f), 1) << name;
        EXPECT_STREQ(f, want);
    }
    char f[160];
    EXPECT_EQ(gwindow_desc_file("+1:2", f, sizeof f), 0);
}

TEST(Frames, NothingWithoutAWindow) {
    EXPECT_EQ(gcreate_frame(-1), -1);
    EXPECT_EQ(gget_num_images(), 0);
    EXPECT_EQ(ginc_frame(0), -1);
    EXPECT_EQ(gloop_sleep(), -1);
    EXPECT_EQ(gframe_number(GFRAME_LAST), -1);
    EXPECT_EQ(gframe_number(GFRAME_CURRENT), -1);
    EXPECT_EQ(gdelete_frame(200), 0);   // above 127: ignored
    EXPECT_EQ(gzoom(GFRAME_WINDOW, 10, 10, 2, 0), -1);
    EXPECT_EQ(xZ_p(17.0f), 17.0f);
}

TEST(DisplayList, RecordsReplaysAndPrintsAMetafile) {
    ASSERT_EQ(open_ws(GWS_PS, out_path("objs.ps")), 0);
    EXPECT_EQ(gget_redraw(), 0);   // file devices record nothing by default
    Gpt l[3] = {{0.1f, 0.1f}, {0.5f, 0.2f}, {0.2f, 0.6f}};
    gpolyline(2, l);
    EXPECT_EQ(gget_num_objs(), 0);
    EXPECT_EQ(gnew_obj(30, 2, sizeof l, l), nullptr);

    gset_redraw(1);
    gset_line_colr_ind(2);
    gcreate_seg(4);
    gpolyline(3, l);
    gclose_seg(4);
    gfill_area(3, l);
    gset_char_ht(0.05f);
    gtext(&l[0], "KOUN");
    gmessage(1, "panel");
    int codes[] = {35, 81, 30, 82, 70, 57, 50, 5};
    ASSERT_EQ(gget_num_objs(), 8);
    for (int i = 0; i < 8; ++i) {
        int t = 0, v = 0;
        gget_obj(i, &t, &v);
        EXPECT_EQ(t, codes[i]) << i;
        if (t == 30) {
            EXPECT_EQ(v, 3);
        }
        if (t == 81 || t == 82) {
            EXPECT_EQ(v, 4);
        }
    }
    gdel_seg(4);
    ASSERT_EQ(gget_num_objs(), 5);

    std::string meta = out_path("objs.meta");
    setenv("METAOUT", meta.c_str(), 1);
    ASSERT_EQ(gobj_print_meta(), 0);
    unsetenv("METAOUT");
    EXPECT_EQ(gget_win_type(), GWS_PS);
    EXPECT_EQ(gget_redraw(), 1);
    gpolyline(2, l);   // the PostScript workstation is back in place
    close_ws();
    std::string m = read_all(meta);
    EXPECT_EQ(m.find("ZUPMETA"), std::string::npos);   // no header
    EXPECT_NE(m.find("PL_CLR 2\n"), std::string::npos);
    EXPECT_NE(m.find("FA 3 0.100000,0.100000 0.500000,0.200000 0.200000,0.600000 \n"), std::string::npos);
    EXPECT_NE(m.find("TE 0.100000,0.100000 KOUN\n"), std::string::npos);
    EXPECT_NE(m.find("ME panel\n"), std::string::npos);
    EXPECT_EQ(m.find("PL 3"), std::string::npos);   // the deleted segment
    EXPECT_NE(read_all(out_path("objs.ps")).find("%%PL:2\n"), std::string::npos);

    gclear_objs();
    testing::internal::CaptureStderr();
    EXPECT_EQ(gobj_print_meta(), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "gobj_print_meta: No redraw data to make metafile from"),
              std::string::npos);
    gset_redraw(0);
}

TEST(NoDisplay, WindowFailsWithStatusFour) {
    unsetenv("DISPLAY");
    testing::internal::CaptureStderr();
    EXPECT_EQ(open_ws(GWS_WIN, ""), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gopen_ws: unable to connect to display"),
              std::string::npos);
    EXPECT_EQ(gchk_graphics(), 0);
    int ws = 1, type = GWS_WIN;
    EXPECT_EXIT(GPH_begin(&ws, "", &type), testing::ExitedWithCode(4),
                "GPH_begin: Error opening workstation");
}
