// Reading pictures back from an X server (Xvfb, started here on a free
// display): true-colour and 8-bit indexed visuals, a window's name as the
// description, and the refusal of a drawable that does not exist.
// gtest first: Xlib's macros (None, Bool) must not reach its headers.
#include "img_fixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "gks_img_x.h"

namespace {

// An Xvfb server of the given depth for the life of the object.
class Xvfb {
public:
    explicit Xvfb(int depth) {
        if (!have_tool("command -v Xvfb")) return;
        for (int n = 90 + depth; n < 200; ++n) {
            char lock[40];
            std::snprintf(lock, sizeof lock, "/tmp/.X%d-lock", n);
            if (access(lock, F_OK) == 0) continue;
            char name[16];
            std::snprintf(name, sizeof name, ":%d", n);
            name_ = name;
            pid_ = fork();
            if (pid_ == 0) {
                char screen[32];
                std::snprintf(screen, sizeof screen, "320x240x%d", depth);
                execlp("Xvfb", "Xvfb", name_.c_str(), "-screen", "0", screen, "-nolisten",
                       "tcp", static_cast<char *>(nullptr));
                _exit(127);
            }
            for (int i = 0; i < 100 && !dpy_; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                dpy_ = XOpenDisplay(name_.c_str());
            }
            return;
        }
    }
    ~Xvfb() {
        if (dpy_) XCloseDisplay(dpy_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Display *display() const { return dpy_; }

private:
    std::string name_;
    pid_t pid_ = -1;
    Display *dpy_ = nullptr;
};

unsigned long pixel_of(Display *dpy, Colormap cmap, int r, int g, int b) {
    XColor c{};
    c.red = static_cast<unsigned short>(r * 257);
    c.green = static_cast<unsigned short>(g * 257);
    c.blue = static_cast<unsigned short>(b * 257);
    c.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(dpy, cmap, &c);
    return c.pixel;
}

}  // namespace

TEST(ImageX11, ReadsPixmapOfTrueColourAndIndexedVisuals) {
    for (int depth : {24, 8}) {
        Xvfb x(depth);
        Display *dpy = x.display();
        if (!dpy) GTEST_SKIP() << "Xvfb not available";
        int scr = DefaultScreen(dpy);
        Visual *vis = DefaultVisual(dpy, scr);
        Colormap cmap = DefaultColormap(dpy, scr);
        Window root = RootWindow(dpy, scr);
        Window win = XCreateSimpleWindow(dpy, root, 0, 0, 60, 40, 0, 0, 0);
        XStoreName(dpy, win, "Skew-T KOUN");
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
    }
}
