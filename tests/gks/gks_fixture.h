// gks_fixture.h - helpers of the kernel tests: opening a file workstation
// with the shipped colour table and fonts, and reading output back.
#ifndef GKS_FIXTURE_H
#define GKS_FIXTURE_H

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

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

inline int count_of(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        ++n;
    return n;
}

// Opens workstation type with the connection text; the colour table and
// fonts come from the shipped data directory.
inline int open_ws(int type, const std::string &conn) {
    setenv("SOURCE_DATE_EPOCH", "0", 1);
    unsetenv("PSCOLOR");
    unsetenv("zupprint");
    unsetenv("zupps_param");
    unsetenv("zuphp_param");
    unsetenv("zupps_geometry");
    unsetenv("PSGEOMETRY");
    unsetenv("zuphp_geometry");
    gset_geometry("");
    gset_font_list("");
    gset_win_title("test page");
    CLR_clear_table();
    CLR_read_table(RAZIVA_DATA_DIR "/zup.clr");
    gopen_gks(nullptr, 10000);
    int rc = gopen_ws(1, conn.c_str(), type);
    if (rc == 0) {
        for (int i = 0; i < CLR_get_num(); ++i) {
            float r, g, b;
            CLR_get_rgb(i, &r, &g, &b);
            GPH_set_color(i, r, g, b);
        }
    }
    return rc;
}

inline void close_ws() {
    gclose_ws(1);
    gclose_gks();
}

#endif  // GKS_FIXTURE_H
