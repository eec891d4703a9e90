// driver_io.h - test helpers shared by the driver tests: answers fed to the
// prompts, the two screen streams captured, files read back.
#ifndef DRIVER_IO_H
#define DRIVER_IO_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace driver_test {

// A file name in the test's scratch directory, unique to this process.
inline std::string temp_path(const std::string &name) {
    return std::string(testing::TempDir()) + "/driver_" + std::to_string(getpid()) + "_" + name;
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
    std::string path = temp_path("stdin_" + std::to_string(++n));
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
}

struct Screen {
    std::string out, err;
};

// What f writes to standard output and standard error.
template <class F>
Screen capture(F f) {
    std::fflush(stdout);
    std::fflush(stderr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    Screen s;
    s.out = testing::internal::GetCapturedStdout();
    s.err = testing::internal::GetCapturedStderr();
    return s;
}

}  // namespace driver_test

#endif  // DRIVER_IO_H
