// Pictures read back from an X server (a private Xvfb): drawables of
// true-colour and 8-bit indexed visuals, the window workstation's picture
// through gget_image, and the same test page drawn off-screen, which must
// look like the window's.
// gtest first: Xlib's macros (None, Bool) must not reach its headers.
#include "img_fixture.h"
#include "test_page.h"
#include "xvfb_fixture.h"

#include <X11/keysym.h>

#include "gks_img_x.h"
#include "gks_evnt.h"
#include "gks_x11.h"

namespace {

unsigned long pixel_of(Display *dpy, Colormap cmap, int r, int g, int b) {
    XColor c{};
    c.red = static_cast<unsigned short>(r * 257);
    c.green = static_cast<unsigned short>(g * 257);
    c.blue = static_cast<unsigned short>(b * 257);
    c.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(dpy, cmap, &c);
    return c.pixel;
}

// Two pictures of one drawing by different rasterisers: the same size and
// colours, and fewer than one pixel in per_differ unlike.
void expect_alike(const Picture &a, const Picture &b, size_t per_differ) {
    ASSERT_EQ(std::make_pair(a.w, a.h), std::make_pair(640, 512));
    ASSERT_EQ(std::make_pair(b.w, b.h), std::make_pair(640, 512));
    EXPECT_EQ(std::set<uint32_t>(a.rgb.begin(), a.rgb.end()), std::set<uint32_t>(b.rgb.begin(), b.rgb.end()));
    size_t differ = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) differ += a.rgb[i] != b.rgb[i];
    EXPECT_LT(differ, a.rgb.size() / per_differ) << differ << " of " << a.rgb.size() << " pixels differ";
}

}  // namespace

TEST(ImageX11, ReadsPixmapOfTrueColourAndIndexedVisuals) {
    for (int depth : {24, 8}) {
        Xvfb x(depth, 320, 240);
        REQUIRE_XVFB(x, false);
        Display *dpy = XOpenDisplay(x.display().c_str());
        ASSERT_NE(dpy, nullptr);
        int scr = DefaultScreen(dpy);
        Visual *vis = DefaultVisual(dpy, scr);
        Colormap cmap = DefaultColormap(dpy, scr);
        Window win = XCreateSimpleWindow(dpy, RootWindow(dpy, scr), 0, 0, 60, 40, 0, 0, 0);
        XStoreName(dpy, win, "Skew-T KOUN   ");
        Pixmap pix = XCreatePixmap(dpy, win, 60, 40, static_cast<unsigned>(DefaultDepth(dpy, scr)));
        GC gc = XCreateGC(dpy, pix, 0, nullptr);
        const int cols[3][3] = {{0, 0, 0}, {255, 0, 0}, {0, 0, 255}};
        for (int k = 0; k < 3; ++k) {
            XSetForeground(dpy, gc, pixel_of(dpy, cmap, cols[k][0], cols[k][1], cols[k][2]));
            XFillRectangle(dpy, pix, gc, 20 * k, 0, 20, 40);
        }
        IMG_report img;
        ASSERT_EQ(gimg_read_drawable(dpy, pix, win, vis, cmap, &img), 1) << depth;
        EXPECT_EQ(img.width, 60);
        EXPECT_EQ(img.height, 40);
        EXPECT_EQ(img.color_type, depth == 8 ? 1 : 0) << depth;
        EXPECT_STREQ(img.info, "Skew-T KOUN");
        std::string f = out_path("img_x11.gif");
        ASSERT_EQ(GIF_write(f.c_str(), &img), 1);
        GifFile g = read_gif(read_all(f));
        ASSERT_TRUE(g.ok) << g.error;
        for (int k = 0; k < 3; ++k) {
            int idx = g.pixels[static_cast<size_t>(20 * k + 10)];
            EXPECT_EQ(g.palette[3 * idx], cols[k][0]) << depth << " stripe " << k;
            EXPECT_EQ(g.palette[3 * idx + 2], cols[k][2]) << depth << " stripe " << k;
        }
        // A drawable that is gone is reported, never a crash.
        XFreePixmap(dpy, pix);
        testing::internal::CaptureStderr();
        IMG_report none;
        EXPECT_EQ(gimg_read_drawable(dpy, pix, win, vis, cmap, &none), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(
                      "gget_image: Can't get target window attributes"),
                  std::string::npos);
        XFreeGC(dpy, gc);
        XDestroyWindow(dpy, win);
        XCloseDisplay(dpy);
    }
}

TEST(ImageX11, WindowAndOffScreenPicturesOfTheTestPageAgree) {
    Xvfb x(24, 1024, 768);
    REQUIRE_XVFB(x, false);
    gset_raster_fallback(0);
    ASSERT_EQ(open_ws(GWS_WIN, ""), 0);
    ASSERT_NE(gget_x11_type(), 0);
    draw_test_page();
    IMG_report win;
    ASSERT_EQ(gget_image(&win), 1);
    EXPECT_STREQ(win.info, "test page");
    ASSERT_EQ(PNG_write(out_path("img_window.png").c_str(), &win), 1);
    close_ws();

    ASSERT_EQ(open_raster(win.width, win.height), 0);
    draw_test_page();
    IMG_report off;
    ASSERT_EQ(gget_image(&off), 1);
    ASSERT_EQ(PNG_write(out_path("img_offscreen.png").c_str(), &off), 1);
    close_ws();
    gset_raster_fallback(0);

    // The two rasterisers place line ends and glyph strokes a pixel apart.
    expect_alike({win.width, win.height, rgb_of(win)}, {off.width, off.height, rgb_of(off)}, 500);
}

TEST(ImageX11, ProgramWindowAndOffScreenSkewTAgree) {
    if (!std::getenv("RAZIVA_BIN")) GTEST_SKIP() << "RAZIVA_BIN not set";
    ProgramRun r = run_plot("png=offscreen.png");
    ASSERT_EQ(r.status, 0) << r.err;
    Picture off = from_png(read_all(run_dir() + "/offscreen.png"));
    Xvfb x(24, 1024, 768);
    REQUIRE_XVFB(x, false);
    // With a display the batch plot is drawn in a window and read back.
    r = run_plot("png=window.png", true);
    ASSERT_EQ(r.status, 0) << r.err;
    Picture win = from_png(read_all(run_dir() + "/window.png"));
    // Sloping one-pixel lines step differently in the two rasterisers.
    expect_alike(win, off, 50);
}

TEST(ImageX11, AltGAndAltXWriteTheWindowPicture) {
    Xvfb x(24, 1024, 768);
    REQUIRE_XVFB(x, false);
    gset_raster_fallback(0);
    ASSERT_EQ(open_ws(GWS_WIN, ""), 0);
    draw_test_page();
    IMG_report want;
    ASSERT_EQ(gget_image(&want), 1);
    std::remove("test_.gif");
    std::remove("test_.xwd");
    gset_input_mode(1);
    for (char key : {'g', 'x'}) {
        XEvent ev{};
        ev.xkey.type = KeyPress;
        ev.xkey.display = gget_display();
        ev.xkey.window = gget_root_window();
        ev.xkey.state = Mod1Mask;
        ev.xkey.keycode = XKeysymToKeycode(gget_display(), key == 'g' ? XK_g : XK_x);
        testing::internal::CaptureStdout();
        gprocess_x11_event(&ev);
        std::string out = testing::internal::GetCapturedStdout();
        // The first five characters of the title "test page", blank made "_".
        EXPECT_NE(out.find(key == 'g' ? "Created GIF file: test_.gif" : "Created XWD file: test_.xwd"),
                  std::string::npos)
            << out;
    }
    close_ws();
    Picture gif = from_gif(read_all("test_.gif")), xwd = from_xwd(read_all("test_.xwd"));
    ASSERT_EQ(gif.w, want.width);
    ASSERT_EQ(gif.h, want.height);
    std::vector<uint32_t> rgb = rgb_of(want);
    EXPECT_TRUE(gif.rgb == rgb);
    EXPECT_TRUE(xwd.rgb == rgb);
}
