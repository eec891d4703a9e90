// sounding_io.h - test helpers shared by the sounding tests: observed
// radiosonde tables as level arrays, hypsometric heights, capture of the
// report text.
#ifndef SOUNDING_IO_H
#define SOUNDING_IO_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "zup.h"
#include "zupupa.h"

namespace sounding_test {

constexpr float M = MISSING_F;
inline float K(float c) { return c + 273.15f; }

// Heights above the first level's filled in by the hypsometric equation
// (layer mean temperature, R = 287.05, g = 9.8).
inline void fill_heights(std::vector<UPA_level> &v) {
    for (std::size_t i = 1; i < v.size(); ++i) {
        double t = (v[i - 1].t + v[i].t) / 2.0 + 273.15;
        v[i].h = static_cast<float>(v[i - 1].h + 287.05 * t / 9.8 * std::log(v[i - 1].p / v[i].p));
    }
}

// A level as text, "p h t td dir spd" with missing values as "-": one
// comparison checks every field (to six figures).
inline std::string desc(const UPA_level &l) {
    std::string s;
    for (float v : {l.p, l.h, l.t, l.td, l.dir, l.spd}) {
        char b[32] = "-";
        if (v != MISSING_F) std::snprintf(b, sizeof b, "%g", v);
        if (!s.empty()) s += ' ';
        s += b;
    }
    return s;
}

inline bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

inline std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// One row of an observed table with the observer's derived columns.
struct ObsRow {
    UPA_level lev;
    float relh, mixr, thta, thte, thtv;
};

inline float column(const std::string &line, int i) {
    std::size_t start = static_cast<std::size_t>(i) * 7;
    if (start >= line.size()) return MISSING_F;
    std::string f = line.substr(start, 7);
    if (f.find_first_not_of(' ') == std::string::npos) return MISSING_F;
    return std::strtof(f.c_str(), nullptr);
}

// Reads a table of 7-character columns PRES HGHT TEMP DWPT RELH MIXR DRCT
// SKNT THTA THTE THTV; header lines and below-ground rows (no temperature)
// are dropped.
inline std::vector<ObsRow> read_observed(const std::string &path) {
    std::vector<ObsRow> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 14 || line.find_first_not_of(" .0123456789-") != std::string::npos ||
            line.find_first_of("0123456789") == std::string::npos)
            continue;
        ObsRow r;
        r.lev = {column(line, 0), column(line, 1), column(line, 2),
                 column(line, 3), column(line, 6), column(line, 7)};
        r.relh = column(line, 4);
        r.mixr = column(line, 5);
        r.thta = column(line, 8);
        r.thte = column(line, 9);
        r.thtv = column(line, 10);
        if (r.lev.p == MISSING_F || r.lev.t == MISSING_F) continue;
        rows.push_back(r);
    }
    return rows;
}

inline std::vector<UPA_level> levels_of(const std::vector<ObsRow> &rows) {
    std::vector<UPA_level> v;
    for (const ObsRow &r : rows) v.push_back(r.lev);
    return v;
}

inline std::string data_path(const char *name) {
    return std::string(RAZIVA_TEST_DATA_DIR) + "/soundings/" + name;
}

inline std::string read_text(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Sends the messages of exactly the classes in mask to a file only (no
// screen, no pauses), runs fn, and returns what was written.
template <class F>
std::string capture(long mask, F fn) {
    char name[] = "/tmp/raziva_snd_XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    MESS_reset();
    MESS_set(-1, 0xFFFFFFFFL);  // exactly the classes asked for
    MESS_set(1, mask);
    MESS_set_page(0);
    MESS_file(name, "w");
    MESS_set_out(0);
    fn();
    MESS_file_close();
    MESS_reset();
    std::string text = read_text(name);
    std::remove(name);
    return text;
}

}  // namespace sounding_test

#endif  // SOUNDING_IO_H
