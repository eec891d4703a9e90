// gks_fixture.h - helpers of the graphics tests (kernel, plot framework and
// sounding plots): files of the test process, outside tools, and a file
// workstation opened with the shipped colour table and fonts.
#ifndef GKS_FIXTURE_H
#define GKS_FIXTURE_H

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "colors.h"
#include "gks.h"
#include "zup.h"
#include "zupgks.h"

// A file of this test process: CTest runs the cases of one program as
// separate processes side by side, so each writes into its own folder.
inline std::string out_path(const std::string &name) {
    static const std::string dir = [] {
        std::string d = std::string(RAZIVA_BINARY_DIR) + "/tests/out-" + std::to_string(getpid());
        mkdir(d.c_str(), 0777);
        return d;
    }();
    return dir + "/" + name;
}

inline std::string read_all(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline void write_file(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline int count_of(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        ++n;
    return n;
}

inline bool have_tool(const char *name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; -> its exit status, everything it printed in output.
inline int run_cmd(const std::string &cmd, std::string *output) {
    FILE *p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buf[512];
    output->clear();
    while (std::fgets(buf, sizeof buf, p)) *output += buf;
    int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// The workstation's size in its device units.
inline std::pair<int, int> win_size() {
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    return {w, h};
}

// A rectangle equal to want within tol, printed on failure.
inline testing::AssertionResult lim_near(const Glim &got, const Glim &want, float tol = 1e-5f) {
    const float g[4] = {got.x_min, got.x_max, got.y_min, got.y_max};
    const float w[4] = {want.x_min, want.x_max, want.y_min, want.y_max};
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(g[i] - w[i]) <= tol))
            return testing::AssertionFailure() << "got " << g[0] << " " << g[1] << " " << g[2] << " "
                                               << g[3] << ", want " << w[0] << " " << w[1] << " "
                                               << w[2] << " " << w[3];
    return testing::AssertionSuccess();
}

// Loads the shipped colour table into the open workstation.
inline void load_colours() {
    for (int i = 0; i < CLR_get_num(); ++i) {
        float r, g, b;
        CLR_get_rgb(i, &r, &g, &b);
        GPH_set_color(i, r, g, b);
    }
}

// Opens workstation type with the connection text (and the panel geometry
// geom); the colour table and fonts come from the shipped data directory.
inline int open_ws(int type, const std::string &conn, const char *geom = "") {
    setenv("SOURCE_DATE_EPOCH", "0", 1);
    for (const char *v : {"PSCOLOR", "zupprint", "zupps_param", "zuphp_param", "zupps_geometry",
                          "PSGEOMETRY", "zuphp_geometry"})
        unsetenv(v);
    gset_geometry(geom);
    gset_font_list("");
    gset_win_title("test page");
    CLR_clear_table();
    CLR_read_table(RAZIVA_DATA_DIR "/zup.clr");
    gopen_gks(nullptr, 10000);
    int rc = gopen_ws(1, conn.c_str(), type);
    gset_geometry("");
    if (rc == 0) load_colours();
    return rc;
}

inline void close_ws() {
    gclose_ws(1);
    gclose_gks();
}

// ---------------------------------------------------------------------------
// The whole program

struct ProgramRun {
    int status = -1;
    std::string out, err;
};

// The program's scratch directory for this test (fresh in each process).
inline std::string run_dir() {
    std::string dir = out_path(std::string("run_") + testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    return dir;
}

// Runs the program (RAZIVA_BIN) in run_dir() on the shipped data files
// with args and standard input, without a display unless display; status
// -1 without the program.
inline ProgramRun run_program(const std::string &args, const std::string &input = "",
                              bool display = false) {
    ProgramRun r;
    const char *bin = std::getenv("RAZIVA_BIN");
    if (!bin || !*bin) return r;
    std::string dir = run_dir();
    std::ofstream(dir + "/in") << input;
    std::string cmd = "cd '" + dir + "' && env -u zupdefault -u PSCOLOR " + (display ? "" : "-u DISPLAY ") + "SOURCE_DATE_EPOCH=0 '" +
                      bin + "' -fp " + RAZIVA_DATA_DIR + " " + args + " < in > out 2> err";
    int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = read_all(dir + "/out");
    r.err = read_all(dir + "/err");
    return r;
}

// Waits (up to 20 s) until a batch run's background process has finished
// the file: it holds a lock on it until then.  -> the file's contents
inline std::string finished(const std::string &path) {
    for (int i = 0; i < 200; ++i) {
        int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0) return "";  // no plot was started
        bool free = flock(fd, LOCK_SH | LOCK_NB) == 0;
        close(fd);
        if (free) break;
        usleep(100000);
    }
    return read_all(path);
}

// The shipped edition 1 sample: a NAM 24-hour forecast around 40N 100W.
inline std::string sample_args() {
    return std::string("-id 40,-100 -ft h24 ") + RAZIVA_DATA_DIR + "/sample.grb";
}

#endif  // GKS_FIXTURE_H
