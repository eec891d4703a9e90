// The window workstation against a real X server (a private Xvfb): named
// events with world positions, rubber bands, pixel magnification at each
// screen depth, resize, loop frames, colours, Alt-m and attached windows.
#include <X11/Xatom.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "gks_fixture.h"
#include "gks_obj.h"
#include "gks_x11.h"
#include "xvfb_fixture.h"

namespace {

struct Event {
    int kind;
    std::string name;
    float x, y;
};
std::vector<Event> g_events;

void remember(int kind, const char *name, float x, float y) {
    g_events.push_back({kind, name, x, y});
    // A shifted button-3 press starts a temperature-style drag: the moving
    // point between two anchors, held on its row, inside x limits 20..60.
    if (std::string(name) == "B3-P-Shft") {
        Gpt p[3] = {{30, 10}, {x, y}, {50, 70}};
        gset_rubber_band(3);
        gset_rubber_band_points(p, 3, 2);
        Gpt lim[2] = {{20, -10000}, {60, -10000}};
        gset_rubber_band_limits(lim);
    }
}

// A window with world coordinates 0-100 across and 0-80 up.
int open_window() {
    g_events.clear();
    gset_win_size(640, 512);
    if (open_ws(GWS_WIN, "") != 0) return -1;
    Glim page = {0, 1, 0, 511.0f / 639.0f};
    gset_ws_win(1, &page);
    Glim world = {0, 100, 0, 80};
    gset_win(1, &world);
    gset_vp(1, &page);
    gsel_norm_tran(1);
    gset_mouse_callback(remember);
    return 0;
}

std::string xdo(const std::string &args) { return "xdotool " + args + " >/dev/null 2>&1; "; }

int px(float wx) { return static_cast<int>(std::lround(xW_p(wx))); }
int py(float wy) { return static_cast<int>(std::lround(yW_p(wy))); }

unsigned long rgb_at(int x, int y) { return read_pixel(gget_base_window(), x, y) & 0xffffff; }

}  // namespace

TEST(WindowOpening, GeometryNamesIconAndCursor) {
    Xvfb server;   // 1024 x 768
    REQUIRE_XVFB(server, false);
    gset_win_title("test page");
    gopen_gks(nullptr, 10000);
    gset_geometry("300x200-10+20");   // (the fixture's open_ws clears it)
    ASSERT_EQ(gopen_ws(1, "", GWS_WIN), 0);
    gset_geometry("");
    Display *d = gget_display();
    XWindowAttributes wa;
    ASSERT_TRUE(XGetWindowAttributes(d, gget_root_window(), &wa));
    // From the right edge, border included.
    EXPECT_EQ(std::make_tuple(wa.width, wa.height, wa.x, wa.y), std::make_tuple(300, 200, 1024 - 10 - 300 - 10, 20));
    EXPECT_EQ(win_size().first, 300);
    char *name = nullptr;
    ASSERT_TRUE(XFetchName(d, gget_root_window(), &name));
    EXPECT_EQ(std::string(name).substr(0, 10), "test page ");
    EXPECT_EQ(std::strlen(name), 59u);   // padded to the title field
    XFree(name);
    XClassHint ch;
    ASSERT_TRUE(XGetClassHint(d, gget_root_window(), &ch));
    EXPECT_STREQ(ch.res_class, "Zup");
    XFree(ch.res_name);
    XFree(ch.res_class);
    XWMHints *hints = XGetWMHints(d, gget_root_window());
    ASSERT_NE(hints, nullptr);
    EXPECT_TRUE(hints->flags & IconPixmapHint);
    Window r;
    int x, y;
    unsigned iw, ih, b, depth;
    XGetGeometry(d, hints->icon_pixmap, &r, &x, &y, &iw, &ih, &b, &depth);
    EXPECT_EQ(iw, 48u);
    XFree(hints);
    EXPECT_EQ(gget_cursor_type(), 1);
    gset_win_title_extra("[3]");
    ASSERT_TRUE(XFetchName(d, gget_root_window(), &name));
    EXPECT_STREQ(name, "test page [3]");
    XFree(name);
    close_ws();
    // A size beyond the limit is refused; the default size stays.
    gset_geometry("99999x100");
    testing::internal::CaptureStderr();
    gopen_gks(nullptr, 10000);
    ASSERT_EQ(gopen_ws(1, "", GWS_WIN), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gopen_ws: geometry out of range: 99999x100"),
              std::string::npos);
    gset_geometry("");
    EXPECT_EQ(gget_window_width(), 640);
    close_ws();
}

TEST(WindowOpening, XDefaultsOfTheProgram) {
    Xvfb server;
    REQUIRE_XVFB(server, false);
    std::string file = out_path("xdefaults");
    write_file(file, "Z11_Adaza.geometry: 320x240+5+5\nZ11_Adaza.redraw: no\nZ11_Adaza.font_list: #fixed\n"
                     "Z11_Adaza.background: #204060\n");
    setenv("XENVIRONMENT", file.c_str(), 1);
    gset_prog_name("Z11_Adaza");
    int rc = open_window();
    unsetenv("XENVIRONMENT");
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(gget_window_width(), 320);
    EXPECT_EQ(gget_redraw(), 0);
    EXPECT_EQ(gget_font_type(), 2);
    EXPECT_EQ(rgb_at(3, 3), 0x204060UL);
    close_ws();
}

TEST(WindowEvents, NamesAndWorldPositionsReachTheCallback) {
    Xvfb server;
    REQUIRE_XVFB(server, true);
    ASSERT_EQ(open_window(), 0);
    auto move = [win = std::to_string(gget_root_window())](float x, float y) {
        return xdo("mousemove --window " + win + " " + std::to_string(px(x)) + " " + std::to_string(py(y)));
    };
    // Shifted button 1 at (25, 40); button 3 shifted drag from (40, 40)
    // to far right (clamped at x 60, row kept); Alt-d; Return ends.
    std::string s = "sleep 0.3; " + move(25, 40) + xdo("keydown shift click 1 keyup shift") + move(40, 40) +
                    xdo("keydown shift mousedown 3 keyup shift") + move(90, 70) + "sleep 0.2; " +
                    xdo("mouseup 3") + xdo("key alt+d") + xdo("key Return");
    {
        Injector inj(s);
        ghold(1);
    }
    std::vector<std::string> names;
    for (const auto &e : g_events) names.push_back(e.name);
    std::vector<std::string> want = {"B1-P-Shft", "B1-R-Shft", "B3-P-Shft", "B3-R", "d-Alt", "Ret"};
    ASSERT_EQ(names, want);
    EXPECT_EQ(g_events[0].kind, 3);
    EXPECT_NEAR(g_events[0].x, 25, 0.3);
    EXPECT_NEAR(g_events[0].y, 40, 0.3);
    EXPECT_NEAR(g_events[3].x, 60, 0.3);   // the limit
    EXPECT_NEAR(g_events[3].y, 40, 0.3);   // the row held
    EXPECT_EQ(g_events[4].kind, 2);
    EXPECT_EQ(gget_input_mode(), 0);
    EXPECT_EQ(gget_rubber_band(), 0);
    close_ws();
}

TEST(WindowEvents, ServerGoneDuringTheHoldEndsWithStatusFour) {
    Xvfb server;
    REQUIRE_XVFB(server, false);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            open_window();
            kill(server.pid(), SIGKILL);
            ghold(1);
        },
        testing::ExitedWithCode(4), "Fatal X11 Error");
}

TEST(WindowEvents, AltKeysZoomUnzoomAndWriteTheMetafile) {
    Xvfb server;
    REQUIRE_XVFB(server, true);
    ASSERT_EQ(open_window(), 0);
    Gpt l[2] = {{10, 10}, {90, 70}};
    gset_line_colr_ind(2);
    gpolyline(2, l);
    std::string meta = out_path("altm.meta");
    std::remove(meta.c_str());
    setenv("METAOUT", meta.c_str(), 1);
    std::string win = std::to_string(gget_root_window());
    std::string s = "sleep 0.3; " + xdo("mousemove --window " + win + " 320 256") + xdo("key alt+z alt+z alt+z") +
                    "sleep 0.3; " + xdo("key alt+m") + "sleep 0.3; " + xdo("key alt+u") + xdo("key alt+u") +
                    xdo("key alt+q");
    {
        Injector inj(s);
        ghold(1);
    }
    unsetenv("METAOUT");
    // Three magnifications, one undo (not passed on), one plain "u-Alt".
    std::vector<std::string> names;
    for (const auto &e : g_events) names.push_back(e.name);
    std::vector<std::string> want = {"z-Alt", "z-Alt", "z-Alt", "m-Alt", "u-Alt", "q-Alt"};
    EXPECT_EQ(names, want);
    EXPECT_EQ(gget_zoom(), 1);
    std::string m = read_all(meta);
    EXPECT_NE(m.find("PL_CLR 2\n"), std::string::npos);
    EXPECT_NE(m.find("PL 2 10.000000,10.000000 90.000000,70.000000 \n"), std::string::npos);
    EXPECT_NE(m.find("WIN 1 0.000000 0.000000 100.000000 80.000000\n"), std::string::npos);
    close_ws();
}

// Pixel replication at every depth the virtual screen offers.
class ZoomDepth : public testing::TestWithParam<int> {};

TEST_P(ZoomDepth, EachPixelRepeatsZoomTimesAndUnzoomRestores) {
    Xvfb server(GetParam());
    REQUIRE_XVFB(server, false);
    ASSERT_EQ(open_window(), 0);
    EXPECT_EQ(gget_win_depth(), GetParam());
    // Four coloured blocks around the centre.
    const int colours[4] = {2, 3, 4, 7};
    for (int k = 0; k < 4; ++k) {
        float x0 = k % 2 ? 50 : 40, y0 = k / 2 ? 40 : 30;
        Gpt r[4] = {{x0, y0}, {x0 + 10, y0}, {x0 + 10, y0 + 10}, {x0, y0 + 10}};
        gset_fill_colr_ind(colours[k]);
        gfill_area(4, r);
    }
    gupdate_window();
    Display *d = gget_display();
    XImage *before = XGetImage(d, gget_base_window(), 0, 0, 640, 512, AllPlanes, ZPixmap);
    ASSERT_NE(before, nullptr);
    ASSERT_EQ(gzoom(GFRAME_WINDOW, 320, 256, 2, 0), 0);
    ASSERT_EQ(gzoom(GFRAME_WINDOW, -1, -1, -2, 0), 0);
    EXPECT_EQ(gget_zoom(), 4);
    XImage *after = XGetImage(d, gget_base_window(), 0, 0, 640, 512, AllPlanes, ZPixmap);
    ASSERT_NE(after, nullptr);
    int bad = 0;
    for (int y = 0; y < 512; y += 3)
        for (int x = 0; x < 640; x += 3) {
            int sx = static_cast<int>(xZ_p(static_cast<float>(x))), sy = static_cast<int>(yZ_p(static_cast<float>(y)));
            if (XGetPixel(after, x, y) != XGetPixel(before, sx, sy)) ++bad;
        }
    EXPECT_EQ(bad, 0);
    // The magnified window shows the block centre at window pixel 320, 256.
    EXPECT_NEAR(xZ_p(320), 320, 1);
    EXPECT_NEAR(yZ_p(256), 256, 1);
    EXPECT_EQ(xp_Z(xZ_p(100)), 100);
    ASSERT_EQ(gunzoom(), 0);
    XImage *back = XGetImage(d, gget_base_window(), 0, 0, 640, 512, AllPlanes, ZPixmap);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::memcmp(back->data, before->data, static_cast<size_t>(before->bytes_per_line) * 512), 0);
    XDestroyImage(before);
    XDestroyImage(after);
    XDestroyImage(back);
    // The limit.
    ASSERT_EQ(gzoom(GFRAME_WINDOW, 10, 10, 1024, 0), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gzoom(GFRAME_WINDOW, -1, -1, -2, 0), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gzoom: Cannot zoom past 1024x"), std::string::npos);
    EXPECT_EQ(gget_zoom(), 1024);
    close_ws();
}

INSTANTIATE_TEST_SUITE_P(Depths, ZoomDepth, testing::Values(24, 16, 8));

TEST(WindowResize, SameSizeKeepsFramesNewSizeReportsToTheCallback) {
    Xvfb server;
    REQUIRE_XVFB(server, true);
    ASSERT_EQ(open_window(), 0);
    ASSERT_EQ(gcreate_frame(-1), 0);
    EXPECT_EQ(gresize_window(0, 0), 0);
    EXPECT_EQ(gget_num_images(), 1);
    std::string win = std::to_string(gget_root_window());
    {
        Injector inj("sleep 0.3; " + xdo("windowsize " + win + " 500 400") + "sleep 0.5; " +
                     xdo("mousemove --window " + win + " 10 10") + xdo("key alt+q"));
        ghold(1);
    }
    ASSERT_GE(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].name, "size");
    EXPECT_EQ(g_events[0].x, 500);
    EXPECT_EQ(g_events[0].y, 400);
    EXPECT_EQ(win_size(), std::make_pair(500, 400));
    EXPECT_EQ(gget_num_images(), 0);
    EXPECT_EQ(gresize_window(300, 200), 1);
    EXPECT_EQ(gget_window_width(), 300);
    close_ws();
}

TEST(LoopFrames, StepBounceDeleteAndTheirPictures) {
    Xvfb server;
    REQUIRE_XVFB(server, false);
    ASSERT_EQ(open_window(), 0);
    const int colours[3] = {2, 3, 4};
    unsigned long rgb[3];
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(gcreate_frame(-1), k);
        ASSERT_EQ(gselect_frame(k), 0);
        Gpt r[4] = {{0, 0}, {100, 0}, {100, 80}, {0, 80}};
        gset_fill_colr_ind(colours[k]);
        gfill_area(4, r);
        int R, G, B;
        gget_color_rgb256(colours[k], &R, &G, &B);
        rgb[k] = (static_cast<unsigned long>(R) << 16) | (static_cast<unsigned long>(G) << 8) | static_cast<unsigned long>(B);
    }
    gselect_frame(GFRAME_WINDOW);
    EXPECT_FLOAT_EQ(gget_frame_delay(0), 0.5f);
    EXPECT_FLOAT_EQ(gget_frame_delay(2), 1.0f);   // the pause at the end
    ASSERT_EQ(gdisplay_frame(2), 0);
    EXPECT_EQ(rgb_at(320, 256), rgb[2]);
    EXPECT_STREQ(gget_win_title_extra(), "[2]");
    EXPECT_EQ(ginc_frame(0), 0);   // past the last: the first
    EXPECT_EQ(rgb_at(320, 256), rgb[0]);
    gdisplay_frame(2);
    gset_loop_direct(3);
    EXPECT_EQ(ginc_frame(0), 1);   // bouncing: back one and reverse
    EXPECT_EQ(gget_loop_direct(), 2);
    EXPECT_EQ(ginc_frame(0), 0);
    EXPECT_EQ(ginc_frame(0), 1);
    EXPECT_EQ(gget_loop_direct(), 3);
    EXPECT_EQ(gdelete_frame(GFRAME_CURRENT), 0);   // frame 1 goes; 2 moves down
    EXPECT_EQ(gget_num_images(), 2);
    EXPECT_EQ(rgb_at(320, 256), rgb[2]);
    EXPECT_FLOAT_EQ(gget_frame_delay(1), 1.0f);
    EXPECT_EQ(gdelete_frame(GFRAME_LAST), 0);
    EXPECT_EQ(gdelete_frame(GFRAME_LAST), 0);
    EXPECT_EQ(gget_cur_frame(), -1);
    EXPECT_EQ(rgb_at(320, 256), 0UL);   // cleared to the black background
    for (int k = 0; k < GMAX_FRAMES; ++k) ASSERT_EQ(gcreate_frame(-1), k);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gcreate_frame(-1), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("too many frames"), std::string::npos);
    close_ws();
}

// A client message with first byte b from another connection.
void send_message(Window w, char b) {
    Display *o = XOpenDisplay(nullptr);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(o, "ZUP_LOOP", False);
    ev.xclient.format = 8;
    ev.xclient.data.b[0] = b;
    XSendEvent(o, w, False, NoEventMask, &ev);
    XSync(o, False);
    XCloseDisplay(o);
}

TEST(LoopFrames, FramesAskedForByAnotherProgramAnimateUntilItIsDone) {
    Xvfb server;
    REQUIRE_XVFB(server, false);
    ASSERT_EQ(open_window(), 0);
    Window w = gget_root_window();
    for (int k = 0; k < 3; ++k) send_message(w, 2);
    gsync();
    testing::internal::CaptureStdout();
    gcheck_event();
    EXPECT_EQ(gget_num_images(), 3);
    EXPECT_EQ(gget_looping(), 1);
    gset_loop_delay(GFRAME_ALL, 0.05f);
    gdisplay_frame(0);
    std::thread done([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        send_message(w, 9);
    });
    ghold(1);
    done.join();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Looping initiated"), std::string::npos);
    EXPECT_EQ(gget_input_mode(), 0);
    EXPECT_EQ(gget_cursor_type(), 0);
    EXPECT_EQ(std::string(gget_win_title_extra()).front(), '[');
    close_ws();
    EXPECT_EQ(gget_num_images(), 0);
}

TEST(WindowColours, NamedBackgroundAndReadWriteCells) {
    Xvfb server(8);
    REQUIRE_XVFB(server, false);
    gset_background("navy");
    gset_rw_colors(1);
    ASSERT_EQ(open_window(), 0);
    gset_background("");
    Display *d = gget_display();
    XColor c{};
    c.pixel = read_pixel(gget_base_window(), 5, 5);
    XQueryColor(d, gget_colormap(), &c);
    EXPECT_EQ(c.red >> 8, 0);
    EXPECT_EQ(c.blue >> 8, 0x60);   // "navy" of the colour table, before X's own
    // A read-write cell keeps its pixel and takes the new colour.
    Gcolr_rep red = {1, 0, 0}, green = {0, 1, 0};
    gset_colr_rep(1, 20, &red);
    long p = gget_color_ind(20);
    gset_colr_rep(1, 20, &green);
    EXPECT_EQ(gget_color_ind(20), p);
    c.pixel = static_cast<unsigned long>(p);
    XQueryColor(d, gget_colormap(), &c);
    EXPECT_EQ(c.green, 65535);
    EXPECT_EQ(c.red, 0);
    EXPECT_EQ(gget_rw_colors(), 1);
    close_ws();
    // True colour: no read-write cells; the switch stays off for the run.
    Xvfb tc(24);
    ASSERT_TRUE(tc.ok());
    ASSERT_EQ(open_window(), 0);
    gset_colr_rep(1, 20, &red);
    EXPECT_EQ(gget_rw_colors(), 0);
    EXPECT_EQ(gget_color_ind(20) & 0xffffff, 0xff0000);
    close_ws();
    gset_rw_colors(1);
}

TEST(WindowColours, InverseVideoPrivateColormapAndServerFonts) {
    Xvfb server;
    REQUIRE_XVFB(server, false);
    setenv("zupinverse", "1", 1);
    setenv("LOCAL_CMAP", "1", 1);
    ASSERT_EQ(open_window(), 0);
    unsetenv("zupinverse");
    unsetenv("LOCAL_CMAP");
    gset_inverse(0);
    Display *d = gget_display();
    EXPECT_NE(gget_colormap(), DefaultColormap(d, DefaultScreen(d)));
    XWindowAttributes wa;
    XGetWindowAttributes(d, gget_root_window(), &wa);
    EXPECT_EQ(wa.colormap, gget_colormap());
    EXPECT_EQ(rgb_at(5, 5), 0xffffffUL);   // black on white
    // An X server font ("#" in the font list) draws the text itself.
    gset_font_list("#fixed");
    ASSERT_EQ(gsetup_fonts(), 0);
    EXPECT_EQ(gget_font_type(), 2);
    gset_text_colr_ind(2);
    Gtext_align al = {GCENTER_HOR, GHALF_VERT};
    gset_text_align(&al);
    Gpt at = {50, 40};
    gtext(&at, "WWWW");
    gsync();
    int red = 0;
    for (int y = 246; y < 266; ++y)
        for (int x = 300; x < 340; ++x) red += rgb_at(x, y) == 0xff0000UL;
    EXPECT_GT(red, 20);
    EXPECT_EQ(rgb_at(360, 256), 0xffffffUL);   // centred: nothing far right
    gset_font_list("");
    close_ws();
}

TEST(AttachedWindow, DrawsIntoTheOwnersPixmapAndAsksForFrames) {
    Xvfb server;
    REQUIRE_XVFB(server, false);
    Display *owner = XOpenDisplay(nullptr);
    ASSERT_NE(owner, nullptr);
    int scr = DefaultScreen(owner);
    Window w = XCreateSimpleWindow(owner, RootWindow(owner, scr), 0, 0, 200, 100, 0, 0, 0);
    Pixmap pm = XCreatePixmap(owner, w, 200, 100, static_cast<unsigned>(DefaultDepth(owner, scr)));
    XStoreName(owner, w, "Loop display [3 frames]");
    XSelectInput(owner, w, 0);
    XSync(owner, False);
    std::string desc = "+" + std::to_string(w) + ":" + std::to_string(pm) + ":200x100";

    // Garbage and missing windows are refused with their messages.
    testing::internal::CaptureStderr();
    EXPECT_EQ(open_ws(GWS_PIX, ",garbage"), -1);
    EXPECT_EQ(open_ws(GWS_PIX, ",+1:999999:10x10"), -1);
    unsetenv("zupwindow");
    unsetenv("WINDOW");
    EXPECT_EQ(open_ws(GWS_PIX, ""), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("gopen_ws: unable to open window id file"), std::string::npos);
    EXPECT_NE(err.find("gopen_ws: unable to open window\n"), std::string::npos);
    EXPECT_NE(err.find("gopen_ws: window parameters not specified"), std::string::npos);

    // From a file named by "w5" through the environment.
    write_file("zuploop.5", desc + "\n");
    setenv("zupwindow", "w5", 1);
    gset_pix_mode(1);
    ASSERT_EQ(open_ws(GWS_PIX, ""), 0);
    unsetenv("zupwindow");
    std::remove("zuploop.5");
    EXPECT_STREQ(gget_win_title(), "Loop display");
    EXPECT_EQ(win_size(), std::make_pair(200, 100));
    Glim page = {0, 1, 0, 99.0f / 199.0f};
    gset_ws_win(1, &page);
    gset_win(1, &page);
    gset_vp(1, &page);
    gsel_norm_tran(1);
    Gpt r[4] = {{0, 0}, {0.5f, 0}, {0.5f, 0.5f}, {0, 0.5f}};
    gset_fill_colr_ind(2);
    gfill_area(4, r);
    gsync();
    EXPECT_EQ(read_pixel(pm, 10, 90) & 0xffffff, 0xff0000UL);   // lower left drawn
    EXPECT_EQ(read_pixel(pm, 190, 10) & 0xffffff, 0UL);        // cleared (mode 1)
    // The finish message goes to the owner at the close in mode 9.
    XSelectInput(owner, w, PropertyChangeMask);
    gset_pix_mode(9);
    close_ws();
    XEvent ev;
    bool finished = false;
    for (int i = 0; i < 50 && !finished; ++i) {
        while (XPending(owner)) {
            XNextEvent(owner, &ev);
            if (ev.type == ClientMessage && ev.xclient.data.b[0] == 9) finished = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(finished);

    // Mode 2: ask for a new frame and wait for the owner to drop its "+".
    XStoreName(owner, w, "Loop display+");
    XSync(owner, False);
    std::thread answer([&] {
        Display *o = XOpenDisplay(nullptr);
        XSelectInput(o, w, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        XStoreName(o, w, "Loop display");
        XCloseDisplay(o);
    });
    gset_pix_mode(2);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(open_ws(GWS_PIX, "," + desc), 0);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    answer.join();
    EXPECT_GT(waited, 0.4);
    gset_pix_mode(0);
    close_ws();
    XCloseDisplay(owner);
}
