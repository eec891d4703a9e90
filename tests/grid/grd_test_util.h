// grd_test_util.h - fixtures of the grid tests: paths, scratch files, runs
// of the program and of outside tools, resource set-up and a small GRIB
// edition 0/1 writer (lat/lon grids, simple packing, optional bitmap) for
// building test files with known contents.
#ifndef GRD_TEST_UTIL_H
#define GRD_TEST_UTIL_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
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

// A directory of that name in the scratch directory (write_file("name/x")
// puts files into it).
inline std::string make_dir(const std::string &name) {
    std::string dir = scratch_dir() + "/" + name;
    mkdir(dir.c_str(), 0755);
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

// The lines of a text, without their line feeds.
inline std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t nl = std::min(text.find('\n', pos), text.size());
        out.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return out;
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

// Output of a shell command (standard output only).
inline std::string run(const std::string &cmd) {
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

inline bool have_tool(const char *name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// ---------------------------------------------------------------------------
// GRIB edition 0/1 writer: a message described by its packed values, or by
// its values (packed here with the smallest width that holds them).

inline void put(std::string &s, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}
inline void put_s2(std::string &s, int v) { put(s, static_cast<std::uint32_t>(v < 0 ? (0x8000 | -v) : v), 2); }
inline void put_s3(std::string &s, int v) { put(s, static_cast<std::uint32_t>(v < 0 ? (0x800000 | -v) : v), 3); }

// Packs values of nbits each, most significant bit first.
inline std::string pack_bits(const std::vector<std::uint32_t> &v, int nbits) {
    std::string out;
    std::uint64_t acc = 0;
    int have = 0;
    for (std::uint32_t x : v) {
        acc = (acc << nbits) | (x & ((nbits == 32) ? 0xffffffffu : ((1u << nbits) - 1)));
        have += nbits;
        while (have >= 8) {
            out.push_back(static_cast<char>((acc >> (have - 8)) & 0xff));
            have -= 8;
        }
    }
    if (have > 0) out.push_back(static_cast<char>((acc << (8 - have)) & 0xff));
    return out;
}

// IBM single precision, rounded towards minus infinity (so a reference
// value never exceeds the minimum it stands for).
inline std::string ibm(double v) {
    std::string s;
    if (v == 0) {
        put(s, 0, 4);
        return s;
    }
    double a = std::fabs(v);
    int e = 64;
    while (a >= 1.0) { a /= 16.0; ++e; }
    while (a < 1.0 / 16.0) { a *= 16.0; --e; }
    double m = a * 16777216.0;
    unsigned mant = static_cast<unsigned>(v < 0 ? std::ceil(m) : std::floor(m));
    if (mant >= 16777216u) {
        mant >>= 4;
        ++e;
    }
    put(s, (v < 0 ? 0x80000000u : 0u) | (static_cast<unsigned>(e) << 24) | mant, 4);
    return s;
}

inline double ibm_value(double v) {
    std::string s = ibm(v);
    unsigned w = 0;
    for (int i = 0; i < 4; ++i) w = (w << 8) | static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
    double r = (w & 0xFFFFFF) / 16777216.0 * std::pow(16.0, static_cast<int>((w >> 24) & 0x7F) - 64);
    return (w & 0x80000000u) ? -r : r;
}

// Description of an edition 1 test message.
struct Msg1 {
    int centre = 7, model = 89, grid = 255, param = 11, ltype = 100, level = 500;
    int year = 26, month = 12, day = 5, hour = 12;
    int unit = 1, p1 = 6, p2 = 0, tri = 0, table = 2, subcentre = 0;
    int dscale = 0;
    bool gds = true;
    bool edition0 = false;  // old edition: 24-octet PDS, no table version or length
    int rep = 0;         // data representation type of the GDS
    int nx = 4, ny = 3;  // grid size (nx 0xffff for a thinned grid)
    std::vector<int> rows{};  // row lengths of a thinned grid
    int la1 = 50000, lo1 = -10000, la2 = 48000, lo2 = -7000;  // millidegrees
    int scan = 0;
    std::vector<std::uint32_t> raw{};  // packed values
    int nbits = 8;
    float ref = 0;
    std::vector<float> values{};  // when given: packed into raw, nbits and ref
    int escale = 0;
    std::vector<int> bitmap{};  // one entry per point; empty: no bitmap
    std::string pds_extra{};  // octets 29... of the PDS
};

inline std::string make_grib1(Msg1 m) {
    if (!m.values.empty()) {
        // 10^D applied (not in edition 0), the reference value rounded down
        const double scale = m.edition0 ? 1.0 : std::pow(10.0, m.dscale);
        std::vector<double> v;
        for (float x : m.values) v.push_back(std::round(x * scale));
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        m.ref = static_cast<float>(ibm_value(*lo));
        for (m.nbits = 1; std::ldexp(1.0, m.nbits) - 1 < std::ceil(*hi - m.ref) && m.nbits < 31;) ++m.nbits;
        m.raw.clear();
        for (double x : v) m.raw.push_back(static_cast<std::uint32_t>(std::llround(x - m.ref)));
    }
    std::string pds;
    put(pds, (m.edition0 ? 24 : 28) + m.pds_extra.size(), 3);
    put(pds, m.edition0 ? 0 : m.table, 1);
    put(pds, m.centre, 1);
    put(pds, m.model, 1);
    put(pds, m.grid, 1);
    put(pds, (m.gds ? 0x80 : 0) | (m.bitmap.empty() ? 0 : 0x40), 1);
    put(pds, m.param, 1);
    put(pds, m.ltype, 1);
    put(pds, m.level, 2);
    put(pds, m.year, 1);
    put(pds, m.month, 1);
    put(pds, m.day, 1);
    put(pds, m.hour, 1);
    put(pds, 0, 1);
    put(pds, m.unit, 1);
    put(pds, m.p1, 1);
    put(pds, m.p2, 1);
    put(pds, m.tri, 1);
    put(pds, 0, 3);
    if (!m.edition0) {
        put(pds, 21, 1);
        put(pds, m.subcentre, 1);
        put_s2(pds, m.dscale);
    }
    pds += m.pds_extra;

    std::string gds;
    if (m.gds) {
        std::string g;
        put(g, 0, 1);                              // NV
        put(g, m.rows.empty() ? 255 : 33, 1);      // PV/PL
        put(g, m.rep, 1);
        put(g, m.nx, 2);
        put(g, m.ny, 2);
        put_s3(g, m.la1);
        put_s3(g, m.lo1);
        put(g, 0x80, 1);
        put_s3(g, m.la2);
        put_s3(g, m.lo2);
        int di = m.nx > 1 && m.nx != 0xffff ? std::abs(m.lo2 - m.lo1) / (m.nx - 1) : 0xffff;
        int dj = m.ny > 1 ? std::abs(m.la2 - m.la1) / (m.ny - 1) : 0;
        put(g, di, 2);
        put(g, dj, 2);
        put(g, m.scan, 1);
        put(g, 0, 4);
        for (int r : m.rows) put(g, r, 2);
        put(gds, g.size() + 3, 3);
        gds += g;
    }
    std::string bms;
    if (!m.bitmap.empty()) {
        std::string b = pack_bits(std::vector<std::uint32_t>(m.bitmap.begin(), m.bitmap.end()), 1);
        if (b.size() % 2) b.push_back(0);
        put(bms, b.size() + 6, 3);
        put(bms, (b.size() * 8) - m.bitmap.size(), 1);
        put(bms, 0, 2);
        bms += b;
    }
    std::string bits = pack_bits(m.raw, m.nbits);
    if (bits.size() % 2 == 0) bits.push_back(0);
    std::string bds;
    put(bds, bits.size() + 11, 3);
    put(bds, 0, 1);
    put_s2(bds, m.escale);
    bds += ibm(m.ref);
    put(bds, m.nbits, 1);
    bds += bits;

    std::string body = pds + gds + bms + bds + "7777";
    if (m.edition0) return "GRIB" + body;
    std::string msg = "GRIB";
    put(msg, body.size() + 8, 3);
    put(msg, 1, 1);
    return msg + body;
}

// A field over a 4 x 3 latitude-longitude grid (42N to 40N, 102W to 99W by
// one degree; 21 May 2024 12 UTC, model 84, D = 1) with value
// base + i + 10*j.
inline Msg1 ramp(int param, int ltype, int level, float base, int p1 = 0) {
    Msg1 f{.model = 84, .param = param, .ltype = ltype, .level = level, .year = 24, .month = 5, .day = 21,
           .p1 = p1, .dscale = 1, .la1 = 42000, .lo1 = -102000, .la2 = 40000, .lo2 = -99000};
    f.values.resize(static_cast<std::size_t>(f.nx * f.ny));
    for (int j = 0; j < f.ny; ++j)
        for (int i = 0; i < f.nx; ++i)
            f.values[static_cast<std::size_t>(j * f.nx + i)] = base + i + 10.0f * j;
    return f;
}

inline Msg1 constant(int param, int ltype, int level, float v, int p1 = 0) {
    Msg1 f = ramp(param, ltype, level, 0, p1);
    for (float &x : f.values) x = v;
    return f;
}

}  // namespace grdtest

#endif  // GRD_TEST_UTIL_H
