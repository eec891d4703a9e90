// grib2_test_util.h - helpers of the GRIB decoder tests: reading every
// product of a file through the grid reader, what the eccodes tools list,
// and hand-made edition 2 messages with known contents (the shared grid
// fixtures, edition 1 writer included, come from grd_test_util.h).
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

#include "grd_test_util.h"
#include "zup.h"
#include "zupgrd.h"

namespace gribtest {

using namespace grdtest;

inline std::string fixture(const std::string &name) {
    return std::string(RAZIVA_TEST_DATA_DIR) + "/grib/" + name;
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

}  // namespace gribtest

#endif  // GRIB2_TEST_UTIL_H
