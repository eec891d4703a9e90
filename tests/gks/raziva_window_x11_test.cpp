// The whole program on a window: the skew-T comes up at the plot menu's
// answer, a shifted button-1 rectangle zooms it, Alt-u restores it, Alt-n
// switches to the hodograph and back, a shifted button-3 drag changes a
// temperature (the tables printed with Alt-k change), Alt-q ends the hold
// and the plot menu comes back.
#include "xvfb_fixture.h"

#include <vector>

namespace {

// The program under test with its answers written through a pipe.
class Program {
public:
    Program(const std::vector<std::string> &args, const std::string &out) : out_(out) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[0], 0);
            close(fds[1]);
            int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(o, 1);
            dup2(o, 2);
            std::vector<char *> argv;
            for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[0]);
        in_ = fds[1];
    }
    ~Program() {
        if (in_ >= 0) close(in_);
        if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
    }
    void answer(const std::string &line) {
        std::string s = line + "\n";
        if (write(in_, s.data(), s.size()) < 0) return;
    }
    // Waits until the output holds the text n times.
    bool wait_for(const std::string &text, int n = 1, double seconds = 30) {
        auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (count_of(read_all(out_), text) >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    int finish(double seconds = 20) {
        auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -2;
    }

private:
    std::string out_;
    pid_t pid_ = -1;
    int in_ = -1;
    int status_ = 0;
};

// The program's window (class "Zup"), 0 until it is mapped.
Window find_window(Display *d) {
    Window root, parent, *kids = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
        XClassHint ch;
        if (XGetClassHint(d, kids[i], &ch)) {
            XWindowAttributes wa;
            if (std::string(ch.res_class) == "Zup" && XGetWindowAttributes(d, kids[i], &wa) &&
                wa.map_state == IsViewable)
                found = kids[i];
            XFree(ch.res_name);
            XFree(ch.res_class);
        }
    }
    if (kids) XFree(kids);
    return found;
}

Window wait_window(Display *d) {
    for (int i = 0; i < 300; ++i) {
        if (Window w = find_window(d)) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

// The window's picture.
std::string picture(Display *d, Window w) {
    XWindowAttributes wa;
    XGetWindowAttributes(d, w, &wa);
    XImage *im = XGetImage(d, w, 0, 0, static_cast<unsigned>(wa.width), static_cast<unsigned>(wa.height),
                           AllPlanes, ZPixmap);
    if (!im) return "";
    std::string s(im->data, static_cast<size_t>(im->bytes_per_line) * static_cast<size_t>(im->height));
    XDestroyImage(im);
    return s;
}

// The picture once it has stopped changing.
std::string settled(Display *d, Window w) {
    std::string a = picture(d, w);
    for (int i = 0; i < 40; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        std::string b = picture(d, w);
        if (a == b) return a;
        a = b;
    }
    return a;
}

void xdo(Window w, const std::string &args) {
    std::string cmd = "xdotool " + args + " >/dev/null 2>&1";
    std::string win = std::to_string(w);
    for (size_t p = cmd.find("WIN"); p != std::string::npos; p = cmd.find("WIN")) cmd.replace(p, 3, win);
    int rc = std::system(cmd.c_str());
    (void)rc;
}

}  // namespace

TEST(ProgramWindow, SkewTZoomRestoreHodographAndBackToTheMenu) {
    const char *bin = std::getenv("RAZIVA_BIN");
    if (!bin) GTEST_SKIP() << "RAZIVA_BIN not set";
    Xvfb server;
    REQUIRE_XVFB(server, true);
    std::string data = RAZIVA_DATA_DIR;
    std::string out = std::string(RAZIVA_BINARY_DIR) + "/tests/window_run.out";
    Program prog({bin, "-df", data, "-fp", data, "-pp", "nopage", "-id", "KDDC", "-ft", "h24", data + "/sample.grb"},
                 out);
    ASSERT_TRUE(prog.wait_for("Enter the plot type")) << read_all(out);
    prog.answer("1");
    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    Window w = wait_window(d);
    ASSERT_NE(w, 0u) << read_all(out);
    std::string skewt = settled(d, w);
    ASSERT_FALSE(skewt.empty());

    xdo(w, "mousemove --window WIN 200 200 keydown shift mousedown 1 mousemove --window WIN 300 300 "
           "mousemove --window WIN 400 380 mouseup 1 keyup shift");
    std::string zoomed = settled(d, w);
    EXPECT_NE(zoomed, skewt);
    xdo(w, "mousemove --window WIN 300 300 key alt+u");
    EXPECT_EQ(settled(d, w), skewt);

    xdo(w, "key alt+n");
    std::string hodo = settled(d, w);
    EXPECT_NE(hodo, skewt);
    xdo(w, "key alt+n");
    EXPECT_EQ(settled(d, w), skewt);

    // Drag the temperature of a low level 40 pixels warmer; the pick takes
    // the level nearest the pointer's pressure.
    size_t before = read_all(out).size();
    xdo(w, "mousemove --window WIN 430 460 keydown shift mousedown 3 keyup shift "
           "mousemove --window WIN 450 460 mousemove --window WIN 470 460 mouseup 3");
    settled(d, w);
    xdo(w, "key alt+k");
    ASSERT_TRUE(prog.wait_for("CAPE", 2)) << read_all(out);
    std::string all = read_all(out);
    std::string first = all.substr(0, before), again = all.substr(before);
    std::istringstream lines(again);
    int changed = 0;
    for (std::string l; std::getline(lines, l);)
        if (l.size() > 20 && first.find(l) == std::string::npos) ++changed;
    EXPECT_GT(changed, 0) << again;

    xdo(w, "key alt+q");
    EXPECT_TRUE(prog.wait_for("Enter the plot type", 2)) << read_all(out);
    XCloseDisplay(d);
    prog.answer("-1");
    EXPECT_EQ(prog.finish(), 0);
}
