// xvfb_fixture.h - window tests against a real X server: a private Xvfb on
// a free display number (started by the test and stopped after it), input
// through xdotool, screenshots through xwd, pixels read back with Xlib.
#ifndef XVFB_FIXTURE_H
#define XVFB_FIXTURE_H

#include "gks_fixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

// One Xvfb server of the given screen depth for the lifetime of the object;
// DISPLAY points at it meanwhile.
class Xvfb {
public:
    explicit Xvfb(int depth = 24, int width = 1024, int height = 768) {
        if (!have_tool("Xvfb")) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 1);
            dup2(devnull, 2);
            std::string fd = std::to_string(fds[1]);
            std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" +
                                 std::to_string(depth);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (pid_ < 0) {
            close(fds[0]);
            return;
        }
        // Xvfb writes its display number once it accepts connections.
        std::string num;
        pollfd p{fds[0], POLLIN, 0};
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < until) {
            if (poll(&p, 1, 200) > 0) {
                char c;
                ssize_t n = read(fds[0], &c, 1);
                if (n <= 0 || c == '\n') break;
                num += c;
            }
        }
        close(fds[0]);
        if (num.empty()) {
            stop();
            return;
        }
        display_ = ":" + num;
        const char *old = std::getenv("DISPLAY");
        had_display_ = old != nullptr;
        if (old) old_display_ = old;
        setenv("DISPLAY", display_.c_str(), 1);
    }
    ~Xvfb() {
        stop();
        if (had_display_) setenv("DISPLAY", old_display_.c_str(), 1);
        else unsetenv("DISPLAY");
    }
    Xvfb(const Xvfb &) = delete;
    Xvfb &operator=(const Xvfb &) = delete;

    bool ok() const { return !display_.empty(); }
    const std::string &display() const { return display_; }
    pid_t pid() const { return pid_; }

private:
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int st;
            for (int i = 0; i < 50 && waitpid(pid_, &st, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (waitpid(pid_, &st, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &st, 0);
            }
        }
        pid_ = -1;
    }
    pid_t pid_ = -1;
    std::string display_;
    std::string old_display_;
    bool had_display_ = false;
};

// Skips the test unless Xvfb (and xdotool when input is needed) are there.
#define REQUIRE_XVFB(server, need_input)                                      \
    do {                                                                      \
        if (!have_tool("Xvfb")) GTEST_SKIP() << "Xvfb not installed";         \
        if ((need_input) && !have_tool("xdotool"))                            \
            GTEST_SKIP() << "xdotool not installed";                          \
        if (!(server).ok()) GTEST_SKIP() << "Xvfb did not start";             \
    } while (0)

// Runs shell commands (xdotool scripts) beside the test while the window
// holds; joined on destruction.
class Injector {
public:
    explicit Injector(std::string script) : t_([s = std::move(script)] {
        int rc = std::system(s.c_str());
        (void)rc;
    }) {}
    ~Injector() { t_.join(); }

private:
    std::thread t_;
};

// Pixel (x, y) of a drawable as 0xRRGGBB (true-colour visuals) or the raw
// pixel value, read through a connection of its own.
inline unsigned long read_pixel(Drawable d, int x, int y) {
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) return ~0UL;
    XImage *im = XGetImage(dpy, d, x, y, 1, 1, AllPlanes, ZPixmap);
    unsigned long v = im ? XGetPixel(im, 0, 0) : ~0UL;
    if (im) XDestroyImage(im);
    XCloseDisplay(dpy);
    return v;
}

#endif  // XVFB_FIXTURE_H
