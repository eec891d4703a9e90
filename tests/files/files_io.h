// files_io.h - test helpers shared by the files tests: dates built field by
// field and shown as text, answers fed to the prompts, files read back.
#ifndef FILES_IO_H
#define FILES_IO_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "zup.h"

namespace files_test {

inline Date make(int y, int mo, int d, int h = MISSING, int mi = MISSING, int s = MISSING) {
    Date x;
    DATE_init(&x);
    x.year = y;
    x.month = mo;
    x.day = d;
    x.hour = h;
    x.min = mi;
    x.sec = s;
    return x;
}

// "year/month/day hour:min:sec", missing fields as -9999: one comparison
// checks every field.
inline std::string ymd(const Date &d) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%d:%d", d.year, d.month, d.day, d.hour, d.min,
                  d.sec);
    return buf;
}

inline std::string slurp(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Points standard input at a file holding text.
inline void feed(const std::string &text) {
    static int n = 0;
    std::string path = std::string(testing::TempDir()) + "/files_in_" + std::to_string(getpid()) +
                       "_" + std::to_string(++n);
    std::ofstream(path) << text;
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
}

}  // namespace files_test

#endif  // FILES_IO_H
