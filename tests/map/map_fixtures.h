// map_fixtures.h - test helpers shared by the map tests: domains built field
// by field, the test data folder, scratch files and answers to prompts.
#ifndef MAP_FIXTURES_H
#define MAP_FIXTURES_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "zupcty.h"

namespace map_test {

constexpr double kR = 63.7122;  // earth radius in plane units of 100 km
constexpr double kDeg = M_PI / 180.0;

inline const std::string kData = std::string(RAZIVA_TEST_DATA_DIR) + "/map";

inline Domain make(int proj, float plat, float plon, float clat, float clon, float dx, float dy,
                   int nx, int ny) {
    Domain d;
    DOM_init(&d);
    d.proj = proj;
    d.plat = plat;
    d.plon = plon;
    d.clat = clat;
    d.clon = clon;
    d.dx = dx;
    d.dy = dy;
    d.nx = nx;
    d.ny = ny;
    return d;
}

// The fields of a domain as text, "proj plat plon clat clon nx ny dx dy",
// missing ones as "-": one comparison checks them all.
inline std::string desc(const Domain &d) {
    std::string s = std::to_string(d.proj);
    for (double v : {(double)d.plat, (double)d.plon, (double)d.clat, (double)d.clon, (double)d.nx,
                     (double)d.ny, (double)d.dx, (double)d.dy}) {
        char b[32] = "-";
        if (v != MISSING_F) std::snprintf(b, sizeof b, "%g", v);
        s += ' ';
        s += b;
    }
    return s;
}

// A station record as text, "name|state|region|id|mos|prior|ua|lat|lon|el|
// wmo|num", missing numbers as "-".
inline std::string desc(const CTY_data &c) {
    auto num = [](double v) {
        char b[32] = "-";
        if (v != MISSING_F) std::snprintf(b, sizeof b, "%g", v);
        return std::string(b);
    };
    return std::string(c.name) + "|" + c.state + "|" + c.region + "|" + c.id + "|" + c.mos + "|" +
           num(c.prior) + "|" + c.ua + "|" + num(c.lat) + "|" + num(c.lon) + "|" + num(c.el) +
           "|" + num(c.wmo) + "|" + num(c.num);
}

// A file written by the test; removed again at the end of the scope.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string &bytes) {
        char name[] = "/tmp/raziva_mapXXXXXX";
        const int fd = mkstemp(name);
        path = name;
        if (fd >= 0) {
            FILE *f = fdopen(fd, "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { unlink(path.c_str()); }
};

// Answers the next prompts from text instead of the terminal.
inline void feed_stdin(const std::string &text) {
    TempFile f(text);
    ASSERT_NE(std::freopen(f.path.c_str(), "r", stdin), nullptr);
}

}  // namespace map_test

#endif  // MAP_FIXTURES_H
