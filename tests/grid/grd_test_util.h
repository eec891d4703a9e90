// grd_test_util.h - fixtures of the grid tests: paths, resource set-up and a
// small GRIB edition 1 writer (lat/lon grids, simple packing, optional
// bitmap) for building test files with known contents.
#ifndef GRD_TEST_UTIL_H
#define GRD_TEST_UTIL_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "zup.h"
#include "zupgrd.h"
#include "zupresrc.h"

namespace grdtest {

inline std::string test_data(const std::string &name) {
    return std::string(RAZIVA_TEST_DATA_DIR) + "/grid/" + name;
}

inline std::string data_dir() {
    const char *env = std::getenv("RAZIVA_DATA_DIR");
    if (env && *env) return env;
    return std::string(RAZIVA_TEST_DATA_DIR) + "/../../data";
}

// A scratch directory for files a test writes.
inline std::string scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/raziva_grid_XXXXXX";
        char *d = mkdtemp(tmpl);
        dir = d ? d : "/tmp";
    }
    return dir;
}

inline std::string write_file(const std::string &name, const std::string &bytes) {
    std::string path = scratch_dir() + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

inline std::string read_file(const std::string &path) {
    std::string s;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

// What a run of the whole program gave: exit status (-1 when it did not
// exit normally, a signal or a sanitizer abort) and its output, both streams.
struct RunResult {
    int status = -1;
    std::string out;
};

// Runs the program (RAZIVA_BIN) in the scratch directory with the given
// arguments (shell words), lookup files from data/, and the given input.
// These runs are about the report: no plot is drawn ("-pl none").
inline RunResult raziva(const std::string &args, const std::string &input = "") {
    RunResult r;
    const char *bin = std::getenv("RAZIVA_BIN");
    if (!bin) return r;
    std::string in_file = write_file("driver_input.txt", input);
    std::string cmd = std::string("cd ") + scratch_dir() + " && '" + bin + "' -file_path '" +
                      data_dir() + "' -pl none " + args + " < '" + in_file + "' 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// Resources as the program would have them: the shipped lookup files on
// file_path, everything else unset.  Messages below errors are silenced.
inline void reset_resources() {
    RES_clear();
    FLAG_reset(MISSING);
    RES_put("file_path", data_dir().c_str());
}

// ---------------------------------------------------------------------------
// GRIB edition 1 writer

struct Field {
    int centre = 7;
    int model = 84;
    int grid = 255;
    int table = 2;
    int param = 11;
    int ltype = 100;
    int level = 500;
    int year = 2024, month = 5, day = 21, hour = 12;
    int p1 = 0, p2 = 0, range = 0;
    int subcentre = 0;
    // lat/lon grid, millidegrees; rows north to south (scanning mode 0)
    int nx = 4, ny = 3;
    int la1 = 42000, lo1 = -102000, la2 = 40000, lo2 = -99000;
    int di = 1000, dj = 1000;
    int scan = 0;
    int dscale = 1;           // decimal scale factor D
    bool bitmap = false;      // write -9999 values through a bitmap
    bool edition0 = false;    // old edition: short PDS, no message length
    std::vector<float> values;  // nx*ny, row after row as scanned
};

inline void put(std::string &s, unsigned v, int n) {
    for (int i = n - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void put_signed(std::string &s, int v, int n) {
    unsigned mag = static_cast<unsigned>(v < 0 ? -v : v);
    if (v < 0) mag |= 1u << (8 * n - 1);
    put(s, mag, n);
}

// IBM single precision, rounded towards minus infinity.
inline void put_ibm(std::string &s, double v) {
    if (v == 0) {
        put(s, 0, 4);
        return;
    }
    bool neg = v < 0;
    double a = std::fabs(v);
    int e = 64;
    while (a >= 1.0) {
        a /= 16.0;
        ++e;
    }
    while (a < 1.0 / 16.0) {
        a *= 16.0;
        --e;
    }
    double m = a * 16777216.0;
    unsigned mant = static_cast<unsigned>(neg ? std::ceil(m) : std::floor(m));
    if (mant >= 16777216u) {
        mant >>= 4;
        ++e;
    }
    unsigned word = (neg ? 0x80000000u : 0u) | (static_cast<unsigned>(e) << 24) | mant;
    put(s, word, 4);
}

inline double ibm_value(double v) {
    std::string s;
    put_ibm(s, v);
    unsigned w = 0;
    for (int i = 0; i < 4; ++i) w = (w << 8) | static_cast<unsigned char>(s[i]);
    double mant = (w & 0xFFFFFF) / 16777216.0;
    int e = static_cast<int>((w >> 24) & 0x7F) - 64;
    double r = mant * std::pow(16.0, e);
    return (w & 0x80000000u) ? -r : r;
}

inline std::string encode(const Field &f) {
    std::string pds;
    put(pds, f.edition0 ? 24 : 28, 3);
    put(pds, f.edition0 ? 0 : f.table, 1);
    put(pds, f.centre, 1);
    put(pds, f.model, 1);
    put(pds, f.grid, 1);
    put(pds, 0x80 | (f.bitmap ? 0x40 : 0), 1);
    put(pds, f.param, 1);
    put(pds, f.ltype, 1);
    put(pds, f.level, 2);
    put(pds, (f.year - 1) % 100 + 1, 1);
    put(pds, f.month, 1);
    put(pds, f.day, 1);
    put(pds, f.hour, 1);
    put(pds, 0, 1);
    put(pds, 1, 1);  // hours
    put(pds, f.p1, 1);
    put(pds, f.p2, 1);
    put(pds, f.range, 1);
    put(pds, 0, 2);
    put(pds, 0, 1);
    if (!f.edition0) {
        put(pds, (f.year - 1) / 100 + 1, 1);
        put(pds, f.subcentre, 1);
        put_signed(pds, f.dscale, 2);
    }

    std::string gds;
    put(gds, 32, 3);
    put(gds, 0, 1);
    put(gds, 255, 1);
    put(gds, 0, 1);
    put(gds, f.nx, 2);
    put(gds, f.ny, 2);
    put_signed(gds, f.la1, 3);
    put_signed(gds, f.lo1, 3);
    put(gds, 0x80, 1);
    put_signed(gds, f.la2, 3);
    put_signed(gds, f.lo2, 3);
    put(gds, f.di, 2);
    put(gds, f.dj, 2);
    put(gds, f.scan, 1);
    put(gds, 0, 4);

    std::vector<double> present;
    std::string bms;
    if (f.bitmap) {
        std::size_t nbytes = (f.values.size() + 7) / 8;
        std::string bits(nbytes, '\0');
        for (std::size_t i = 0; i < f.values.size(); ++i)
            if (f.values[i] != MISSING_F) bits[i / 8] |= static_cast<char>(0x80 >> (i % 8));
        std::size_t len = 6 + nbytes;
        if (len % 2) len += 1;
        put(bms, static_cast<unsigned>(len), 3);
        put(bms, static_cast<unsigned>((len - 6) * 8 - f.values.size()), 1);
        put(bms, 0, 2);
        bms += bits;
        while (bms.size() < len) bms.push_back('\0');
    }
    double scale = f.edition0 ? 1.0 : std::pow(10.0, f.dscale);
    for (float v : f.values)
        if (!f.bitmap || v != MISSING_F) present.push_back(std::round(v * scale));
    double lo = 0, hi = 0;
    if (!present.empty()) {
        lo = hi = present[0];
        for (double v : present) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    double ref = ibm_value(lo);
    int nbits = 1;
    while (std::ldexp(1.0, nbits) - 1 < std::ceil(hi - ref) && nbits < 31) ++nbits;
    std::string packed;
    unsigned long long acc = 0;
    int nacc = 0;
    for (double v : present) {
        unsigned long long x = static_cast<unsigned long long>(std::llround(v - ref));
        acc = (acc << nbits) | x;
        nacc += nbits;
        while (nacc >= 8) {
            packed.push_back(static_cast<char>((acc >> (nacc - 8)) & 0xFF));
            nacc -= 8;
        }
    }
    int unused = 0;
    if (nacc > 0) {
        packed.push_back(static_cast<char>((acc << (8 - nacc)) & 0xFF));
        unused = 8 - nacc;
    }
    std::size_t blen = 11 + packed.size();
    if (blen % 2) {
        packed.push_back('\0');
        unused += 8;
        ++blen;
    }
    std::string bds;
    put(bds, static_cast<unsigned>(blen), 3);
    put(bds, static_cast<unsigned>(unused & 0x0F), 1);
    put_signed(bds, 0, 2);
    put_ibm(bds, lo);
    put(bds, nbits, 1);
    bds += packed;

    if (f.edition0) return "GRIB" + pds + gds + bms + bds + "7777";
    std::size_t total = 8 + pds.size() + gds.size() + bms.size() + bds.size() + 4;
    std::string msg = "GRIB";
    put(msg, static_cast<unsigned>(total), 3);
    put(msg, 1, 1);
    msg += pds + gds + bms + bds + "7777";
    return msg;
}

// A field over the standard small grid with value = base + i + 10*j.
inline Field ramp(int param, int ltype, int level, float base, int p1 = 0) {
    Field f;
    f.param = param;
    f.ltype = ltype;
    f.level = level;
    f.p1 = p1;
    f.values.resize(static_cast<std::size_t>(f.nx * f.ny));
    for (int j = 0; j < f.ny; ++j)
        for (int i = 0; i < f.nx; ++i)
            f.values[static_cast<std::size_t>(j * f.nx + i)] = base + i + 10.0f * j;
    return f;
}

inline Field constant(int param, int ltype, int level, float v, int p1 = 0) {
    Field f = ramp(param, ltype, level, 0, p1);
    for (float &x : f.values) x = v;
    return f;
}

}  // namespace grdtest

#endif  // GRD_TEST_UTIL_H
