// grib2_test_util.h - helpers of the GRIB decoder tests: reading every
// product of a file through the grid reader, running the eccodes tools, and
// hand-made messages with known contents.
#ifndef GRIB2_TEST_UTIL_H
#define GRIB2_TEST_UTIL_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "zup.h"
#include "zupgrd.h"
#include "zupresrc.h"

namespace gribtest {

inline std::string fixture(const std::string &name) {
    return std::string(RAZIVA_TEST_DATA_DIR) + "/grib/" + name;
}

// Points the lookup files (parameter tables) at the shipped data directory.
inline void setup_resources() {
    const char *env = std::getenv("RAZIVA_DATA_DIR");
    static std::string dir = env && *env ? env : std::string(RAZIVA_DATA_DIR);
    RES_put("file_path", dir.c_str());
}

// One decoded product.
struct Product {
    GRD_report rec{};
    std::vector<float> vals;
    int status = 0;  // GRD_read result
};

// Reads products 0, 1, ... of a file in the given mode until GRD_read
// fails; values are copied out of the record.
inline std::vector<Product> read_all(const std::string &path, int mode, int limit = 100000) {
    std::vector<Product> out;
    int type = 0;
    int slot = GRD_open(path.c_str(), 0, &type);
    if (slot < 0) return out;
    GRD_report rec;
    GRD_init(&rec);
    for (int n = 0; n < limit; ++n) {
        int num = n;
        int r = GRD_read(slot, &rec, mode, &num);
        if (r < 0) break;
        Product p;
        p.rec = rec;
        p.rec.grid = nullptr;
        p.status = r;
        if (r == 0 && mode == 0 && rec.grid && rec.domain.nx > 0 && rec.domain.ny > 0)
            p.vals.assign(rec.grid, rec.grid + static_cast<long>(rec.domain.nx) * rec.domain.ny);
        out.push_back(p);
    }
    GRD_free(&rec);
    GRD_close(slot);
    return out;
}

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
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// One product as eccodes lists it: points in message order.
struct EcPoint {
    double lat, lon, val;
};
using EcField = std::vector<EcPoint>;

inline std::vector<EcField> ec_data(const std::string &path) {
    std::vector<EcField> fields;
    std::istringstream in(run("grib_get_data -m -9999 -F '%.10g' '" + path + "' 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("Latitude") != std::string::npos) {
            fields.emplace_back();
            continue;
        }
        if (fields.empty()) continue;
        std::istringstream ls(line);
        EcPoint p;
        if (ls >> p.lat >> p.lon >> p.val) fields.back().push_back(p);
    }
    return fields;
}

// Numeric keys of every product (not_found becomes -9999).
inline std::vector<std::vector<double>> ec_keys(const std::string &path, const std::string &keys) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(run("grib_get -f -p " + keys + " '" + path + "' 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::vector<double> row;
        std::string w;
        while (ls >> w) {
            char *end = nullptr;
            double v = std::strtod(w.c_str(), &end);
            row.push_back(end && *end == '\0' && !w.empty() ? v : MISSING);
        }
        rows.push_back(row);
    }
    return rows;
}

inline std::vector<std::string> ec_names(const std::string &path, const std::string &key) {
    std::vector<std::string> out;
    std::istringstream in(run("grib_get -f -p " + key + " '" + path + "' 2>/dev/null"));
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// ---- hand-made GRIB edition 1 messages -------------------------------------

inline void put(std::string &s, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

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

// Description of an edition 1 test message.
struct Msg1 {
    int centre = 7, model = 89, grid = 255, param = 11, ltype = 100, level = 500;
    int year = 26, month = 12, day = 5, hour = 12;
    int unit = 1, p1 = 6, p2 = 0, tri = 0, table = 2, subcentre = 0;
    int dscale = 0;
    bool gds = true;
    int rep = 0;         // data representation type of the GDS
    int nx = 4, ny = 3;  // grid size (nx 0xffff for a thinned grid)
    std::vector<int> rows;  // row lengths of a thinned grid
    int la1 = 50000, lo1 = -10000, la2 = 48000, lo2 = -7000;  // millidegrees
    int scan = 0;
    std::vector<std::uint32_t> raw;  // packed values
    int nbits = 8;
    float ref = 0;
    int escale = 0;
    std::vector<int> bitmap;  // one entry per point; empty: no bitmap
    std::string pds_extra;    // octets 29... of the PDS
};

inline void put_s3(std::string &s, int v) { put(s, static_cast<std::uint32_t>(v < 0 ? (0x800000 | -v) : v), 3); }
inline void put_s2(std::string &s, int v) { put(s, static_cast<std::uint32_t>(v < 0 ? (0x8000 | -v) : v), 2); }

// IBM float of a value that is a multiple of a power of 16 (tests use
// small whole numbers).
inline std::string ibm(float f) {
    std::string s;
    if (f == 0) {
        put(s, 0, 4);
        return s;
    }
    int sign = f < 0 ? 0x80 : 0;
    double v = std::fabs(f);
    int e = 64;
    while (v >= 1) { v /= 16; ++e; }
    while (v < 1.0 / 16) { v *= 16; --e; }
    std::uint32_t mant = static_cast<std::uint32_t>(v * 16777216.0 + 0.5);
    s.push_back(static_cast<char>(sign | e));
    put(s, mant, 3);
    return s;
}

inline std::string make_grib1(const Msg1 &m) {
    std::string pds;
    put(pds, 28 + m.pds_extra.size(), 3);
    put(pds, m.table, 1);
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
    put(pds, 0, 2);
    put(pds, 0, 1);
    put(pds, 21, 1);
    put(pds, m.subcentre, 1);
    put_s2(pds, m.dscale);
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
        std::vector<std::uint32_t> bits(m.bitmap.begin(), m.bitmap.end());
        std::string b = pack_bits(bits, 1);
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
    std::string msg = "GRIB";
    put(msg, body.size() + 8, 3);
    put(msg, 1, 1);
    return msg + body;
}


// ---- hand-made GRIB edition 2 messages -------------------------------------

inline std::string section(int num, const std::string &body) {
    std::string s;
    put(s, body.size() + 5, 4);
    put(s, static_cast<std::uint64_t>(num), 1);
    return s + body;
}

inline std::string ieee(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    std::string s;
    put(s, u, 4);
    return s;
}

inline void put_s4(std::string &s, long v) {
    put(s, static_cast<std::uint32_t>(v < 0 ? (0x80000000u | static_cast<std::uint32_t>(-v)) : v), 4);
}

inline std::string sect1(int centre = 7, int year = 2026, int month = 12, int day = 5, int hour = 0) {
    std::string b;
    put(b, centre, 2);
    put(b, 0, 2);
    put(b, 2, 1);
    put(b, 1, 1);
    put(b, 1, 1);
    put(b, year, 2);
    put(b, month, 1);
    put(b, day, 1);
    put(b, hour, 1);
    put(b, 0, 1);
    put(b, 0, 1);
    put(b, 0, 1);
    put(b, 1, 1);
    return section(1, b);
}

// Latitude-longitude grid (template 3.0); rows: one-octet row lengths of a
// thinned grid (ni is then ignored).
inline std::string sect3_ll(long ni, long nj, double la1, double lo1, double la2, double lo2,
                            int scan, const std::vector<int> &rows = {}) {
    std::string b;
    long npts = ni * nj;
    if (!rows.empty()) {
        npts = 0;
        for (int r : rows) npts += r;
    }
    put(b, 0, 1);
    put(b, static_cast<std::uint64_t>(npts), 4);
    put(b, rows.empty() ? 0 : 1, 1);
    put(b, rows.empty() ? 0 : 1, 1);
    put(b, 0, 2);
    put(b, 6, 1);
    put(b, 0, 1);
    put(b, 0, 4);
    put(b, 0, 1);
    put(b, 0, 4);
    put(b, 0, 1);
    put(b, 0, 4);
    put(b, rows.empty() ? static_cast<std::uint64_t>(ni) : 0xffffffffu, 4);
    put(b, static_cast<std::uint64_t>(nj), 4);
    put(b, 0, 4);
    put(b, 0xffffffffu, 4);
    put_s4(b, std::lround(la1 * 1e6));
    put_s4(b, std::lround(lo1 * 1e6));
    put(b, 0x30, 1);
    put_s4(b, std::lround(la2 * 1e6));
    put_s4(b, std::lround(lo2 * 1e6));
    put(b, ni > 1 ? static_cast<std::uint64_t>(std::lround(std::fabs(lo2 - lo1) / (ni - 1) * 1e6)) : 0, 4);
    put(b, nj > 1 ? static_cast<std::uint64_t>(std::lround(std::fabs(la2 - la1) / (nj - 1) * 1e6)) : 0, 4);
    put(b, static_cast<std::uint64_t>(scan), 1);
    for (int r : rows) put(b, static_cast<std::uint64_t>(r), 1);
    return section(3, b);
}

// Octets 10-34 of a product section: parameter, process, forecast time and
// the two fixed surfaces.
struct Pds {
    int cat = 0, num = 0, gen_type = 2, unit = 1;
    long fcst = 6;
    int t1 = 100, f1 = 0;
    long v1 = 50000;
    int t2 = 255, f2 = 0;
    long v2 = 0;
};

inline std::string pds_head(const Pds &p) {
    std::string b;
    put(b, static_cast<std::uint64_t>(p.cat), 1);
    put(b, static_cast<std::uint64_t>(p.num), 1);
    put(b, static_cast<std::uint64_t>(p.gen_type), 1);
    put(b, 0, 1);
    put(b, 96, 1);
    put(b, 0, 2);
    put(b, 0, 1);
    put(b, static_cast<std::uint64_t>(p.unit), 1);
    put_s4(b, p.fcst);
    put(b, static_cast<std::uint64_t>(p.t1), 1);
    put(b, static_cast<std::uint64_t>(p.f1), 1);
    if (p.f1 == 255)
        put(b, 0xffffffffu, 4);
    else
        put_s4(b, p.v1);
    put(b, static_cast<std::uint64_t>(p.t2), 1);
    put(b, static_cast<std::uint64_t>(p.f2), 1);
    if (p.t2 == 255)
        put(b, 0xffffffffu, 4);
    else
        put_s4(b, p.v2);
    return b;
}

// Statistical part (end of period, one range): 23 octets.
inline std::string pds_stat(int proc, int unit, long len, int year = 2026, int month = 12,
                            int day = 5, int hour = 12) {
    std::string b;
    put(b, static_cast<std::uint64_t>(year), 2);
    put(b, static_cast<std::uint64_t>(month), 1);
    put(b, static_cast<std::uint64_t>(day), 1);
    put(b, static_cast<std::uint64_t>(hour), 1);
    put(b, 0, 1);
    put(b, 0, 1);
    put(b, 1, 1);
    put(b, 0, 4);
    put(b, static_cast<std::uint64_t>(proc), 1);
    put(b, 2, 1);
    put(b, static_cast<std::uint64_t>(unit), 1);
    put_s4(b, len);
    put(b, 255, 1);
    put(b, 0, 4);
    return b;
}

inline std::string sect4(int tmpl, const std::string &from10) {
    std::string b;
    put(b, 0, 2);
    put(b, static_cast<std::uint64_t>(tmpl), 2);
    return section(4, b + from10);
}

// Simple packing (5.0) of raw values with reference ref, 2^e and 10^-d.
inline std::string sect5_simple(long npts, float ref, int e, int d, int nbits, int tmpl = 0) {
    std::string b;
    put(b, static_cast<std::uint64_t>(npts), 4);
    put(b, static_cast<std::uint64_t>(tmpl), 2);
    b += ieee(ref);
    put(b, static_cast<std::uint32_t>(e < 0 ? (0x8000 | -e) : e), 2);
    put(b, static_cast<std::uint32_t>(d < 0 ? (0x8000 | -d) : d), 2);
    put(b, static_cast<std::uint64_t>(nbits), 1);
    put(b, 0, 1);
    return section(5, b);
}

inline std::string sect6(int indicator, const std::vector<int> &bits = {}) {
    std::string b;
    put(b, static_cast<std::uint64_t>(indicator), 1);
    if (!bits.empty()) {
        std::vector<std::uint32_t> v(bits.begin(), bits.end());
        b += pack_bits(v, 1);
    }
    return section(6, b);
}

inline std::string sect7(const std::vector<std::uint32_t> &raw, int nbits) {
    return section(7, pack_bits(raw, nbits));
}

// A whole message from its sections 1-7.
inline std::string message2(const std::string &sections, int discipline = 0) {
    std::string m = "GRIB";
    put(m, 0, 2);
    put(m, static_cast<std::uint64_t>(discipline), 1);
    put(m, 2, 1);
    put(m, 16 + sections.size() + 4, 8);
    return m + sections + "7777";
}

inline std::string scratch(const std::string &name) {
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/raziva_grib_XXXXXX";
        char *d = mkdtemp(tmpl);
        dir = d ? d : "/tmp";
    }
    return dir + "/" + name;
}

inline std::string write_bytes(const std::string &name, const std::string &bytes) {
    std::string path = scratch(name);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

inline std::string read_bytes(const std::string &path) {
    std::string s;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

}  // namespace gribtest

#endif  // GRIB2_TEST_UTIL_H
