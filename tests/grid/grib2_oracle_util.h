// grib2_oracle_util.h - comparison of decoded products with eccodes: every
// value placed through the grid's own projection, missing exactly where
// eccodes has missing, thinned rows against a row-wise linear stretch.
#ifndef GRIB2_ORACLE_UTIL_H
#define GRIB2_ORACLE_UTIL_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "grib2_test_util.h"
#include "zupcty.h"

namespace gribtest {

// Tests that compare with eccodes: skipped without its tools.
class EccodesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_tool("grib_get_data") || !have_tool("grib_get") || !have_tool("grib_set"))
            GTEST_SKIP() << "eccodes tools not installed";
        reset_resources();
    }
};

struct Mismatch {
    long count = 0;
    std::string first;
    void add(const std::string &what) {
        if (count++ == 0) first = what;
    }
};

inline bool close_to(float got, double want, double tol) {
    if (want == MISSING) return got == MISSING_F;
    if (got == MISSING_F) return false;
    return std::fabs(got - want) <= tol;
}

// Stretch of one thinned row to nx columns (linear between neighbours;
// missing when a neighbour with weight is missing).  Columns that fall on
// a row point next to a missing value are marked ambiguous (-1e30).
inline std::vector<double> stretch(const std::vector<double> &in, int nx) {
    std::vector<double> out(static_cast<std::size_t>(nx), MISSING);
    int n = static_cast<int>(in.size());
    if (n == 0) return out;
    for (int c = 0; c < nx; ++c) {
        if (n == 1 || nx == 1) {
            out[static_cast<std::size_t>(c)] = in[0];
            continue;
        }
        double pos = static_cast<double>(c) * (n - 1) / (nx - 1);
        int i0 = std::min(static_cast<int>(pos), n - 2);
        double t = pos - i0;
        double a = in[static_cast<std::size_t>(i0)], b = in[static_cast<std::size_t>(i0 + 1)];
        bool edge = (t < 1e-4 && i0 > 0 && in[static_cast<std::size_t>(i0 - 1)] == MISSING) ||
                    (t > 1 - 1e-4 && i0 + 2 < n && in[static_cast<std::size_t>(i0 + 2)] == MISSING);
        if (edge) {
            out[static_cast<std::size_t>(c)] = -1e30;
            continue;
        }
        edge = t < 1e-4 || t > 1 - 1e-4;
        if (a == MISSING || b == MISSING)
            out[static_cast<std::size_t>(c)] = edge ? -1e30 : MISSING;
        else
            out[static_cast<std::size_t>(c)] = (1 - t) * a + t * b;
    }
    return out;
}

// Compares one decoded product with eccodes' points.
// Scanning of a message as eccodes reports it.
struct Scan {
    bool jpos = false, ineg = false, jcons = false, alt = false;
};

// by_order: compare in message order (for grids eccodes cannot place).
inline void compare_field(const Product &p, const EcField &ec, const std::string &label,
                          const Scan &sc, bool by_order = false) {
    const GRD_report &r = p.rec;
    const int nx = r.domain.nx, ny = r.domain.ny;
    ASSERT_GT(nx, 0) << label;
    ASSERT_GT(ny, 0) << label;
    ASSERT_EQ(p.vals.size(), static_cast<std::size_t>(nx) * ny) << label;
    double maxabs = 0;
    for (const EcPoint &e : ec)
        if (e.val != MISSING) maxabs = std::max(maxabs, std::fabs(e.val));
    const double tol = 1e-5 * maxabs + 1e-20;
    Mismatch place, value;
    auto at = [&](int i, int j) { return p.vals[static_cast<std::size_t>(j) * nx + i]; };

    if (ec.size() != static_cast<std::size_t>(nx) * ny) {
        // Thinned rows: group eccodes' points by latitude.
        ASSERT_EQ(r.domain.proj, 2) << label;
        const double north = r.domain.clat + (ny - 1) / 2.0 * r.domain.dy;
        std::size_t k = 0;
        while (k < ec.size()) {
            std::vector<double> row;
            double lat = ec[k].lat;
            while (k < ec.size() && ec[k].lat == lat) row.push_back(ec[k++].val);
            int j = static_cast<int>(std::lround((north - lat) / r.domain.dy));
            if (j < 0 || j >= ny) {
                place.add("row at latitude " + std::to_string(lat));
                continue;
            }
            std::vector<double> want = stretch(row, nx);
            for (int i = 0; i < nx; ++i) {
                if (want[static_cast<std::size_t>(i)] == -1e30) continue;
                if (!close_to(at(i, j), want[static_cast<std::size_t>(i)], tol))
                    value.add("row " + std::to_string(j) + " col " + std::to_string(i) + ": " +
                              std::to_string(at(i, j)) + " vs " +
                              std::to_string(want[static_cast<std::size_t>(i)]));
            }
        }
    } else if (r.domain.proj >= 1 && r.domain.proj <= 4 && !by_order) {
        // eccodes' geographic points placed through raziva's own placement
        // (projection, Gaussian rows, rotated pole).
        Domain saved;
        MAP_get_domain(&saved);
        for (const EcPoint &e : ec) {
            float gx, gy;
            GRD_locate(&r, static_cast<float>(e.lat), static_cast<float>(e.lon), &gx, &gy);
            long i = std::lround(gx), j = std::lround(gy);
            if (std::fabs(gx - i) > 0.05 || std::fabs(gy - j) > 0.05 || i < 0 || j < 0 ||
                i >= nx || j >= ny) {
                place.add("point " + std::to_string(e.lat) + "," + std::to_string(e.lon) +
                          " at " + std::to_string(gx) + "," + std::to_string(gy));
                continue;
            }
            if (!close_to(at(static_cast<int>(i), static_cast<int>(j)), e.val, tol))
                value.add("point " + std::to_string(e.lat) + "," + std::to_string(e.lon) + ": " +
                          std::to_string(at(static_cast<int>(i), static_cast<int>(j))) + " vs " +
                          std::to_string(e.val));
        }
        MAP_domain(&saved);
    } else {
        // Not placed on a map: rows in message order.
        for (std::size_t k = 0; k < ec.size(); ++k) {
            int i, j;
            if (sc.jcons) {
                i = static_cast<int>(k / ny);
                j = static_cast<int>(k % ny);
                if (sc.alt && i % 2 == 1) j = ny - 1 - j;
            } else {
                i = static_cast<int>(k % nx);
                j = static_cast<int>(k / nx);
                if (sc.alt && j % 2 == 1) i = nx - 1 - i;
            }
            if (sc.ineg) i = nx - 1 - i;
            if (sc.jpos) j = ny - 1 - j;
            if (!close_to(at(i, j), ec[k].val, tol))
                value.add("point " + std::to_string(k));
        }
    }
    EXPECT_EQ(place.count, 0) << label << ": misplaced, first " << place.first;
    EXPECT_EQ(value.count, 0) << label << ": wrong values, first " << value.first;
}

// Level type and level eccodes' numbers map to (edition 1 numbering);
// false when the test does not know the surface type.
inline bool expected_level(double t1, double t2, double level, int *ltype, int *lev) {
    if (t1 == 100 && (t2 == 255 || t2 == MISSING)) { *ltype = 100; *lev = static_cast<int>(level); return true; }
    if (t1 == 103 && (t2 == 255 || t2 == MISSING)) { *ltype = 105; *lev = static_cast<int>(level); return true; }
    if (t1 == 1) { *ltype = 1; *lev = 0; return true; }
    if (t1 == 101) { *ltype = 102; *lev = 0; return true; }
    return false;
}

inline int stat_code(double proc) {
    switch (static_cast<int>(proc)) {
        case 0: return 3000000;
        case 1: return 4000000;
        case 2: return 6000000;
        case 3: return 7000000;
        case 4: return 5000000;
        default: return 2000000;
    }
}

// Every product of an edition 2 file (a fixture name, or an absolute path):
// count, values, level, time and the
// sounding parameters.
inline void oracle_grib2(const std::string &name, bool by_order = false) {
    SCOPED_TRACE(name);
    const std::string path = name[0] == '/' ? name : fixture(name);
    std::vector<Product> prods = read_all(path, 0);
    std::vector<EcField> ec = ec_data(path);
    ASSERT_FALSE(ec.empty());
    ASSERT_EQ(prods.size(), ec.size());
    auto keys = ec_keys(path,
                        "typeOfFirstFixedSurface:i,typeOfSecondFixedSurface:i,level:i,"
                        "productDefinitionTemplateNumber:i,typeOfStatisticalProcessing:i,"
                        "startStep:i,endStep:i,jScansPositively:i,iScansNegatively:i,"
                        "jPointsAreConsecutive:i,alternativeRowScanning:i,bitsPerValue:i,"
                        "referenceValue,decimalScaleFactor:i,dataRepresentationTemplateNumber:i");
    auto names = ec_names(path, "shortName");
    ASSERT_EQ(keys.size(), prods.size());
    const std::map<std::string, int> params = {{"gh", 7}, {"t", 11}, {"r", 52}, {"u", 33}, {"v", 34}};
    for (std::size_t k = 0; k < prods.size(); ++k) {
        const std::string label = name + " product " + std::to_string(k);
        const auto &kv = keys[k];
        ASSERT_EQ(kv.size(), 15u) << label;
        EXPECT_EQ(prods[k].status, 0) << label;
        EXPECT_EQ(prods[k].rec.version, 2) << label;
        if (kv[11] == 0 && kv[14] != 4 && ec[k].size() == prods[k].vals.size()) {
            // A constant field (no bits per value): eccodes 2.28 lists
            // garbage for such complex-packed fields; every point is the
            // reference value.
            const float want = static_cast<float>(kv[12] * std::pow(10.0, -kv[13]));
            long bad = 0;
            for (float v : prods[k].vals) bad += v != want;
            EXPECT_EQ(bad, 0) << label << ": constant field of " << want;
        } else {
            // eccodes lists alternate rows already turned west to east.
            Scan sc{kv[7] == 1, kv[8] == 1, kv[9] == 1, false};
            compare_field(prods[k], ec[k], label, sc, by_order);
        }
        int lt, lv;
        if (expected_level(kv[0], kv[1], kv[2], &lt, &lv)) {
            EXPECT_EQ(prods[k].rec.ltype, lt) << label;
            EXPECT_EQ(prods[k].rec.level, lv) << label;
        }
        long tmpl = static_cast<long>(kv[3]);
        int want_time = (tmpl == 8 || tmpl == 9 || tmpl == 11 || tmpl == 12)
                            ? static_cast<int>(stat_code(kv[4]) + kv[5] * 1000 + kv[6])
                            : static_cast<int>(kv[6]);
        EXPECT_EQ(prods[k].rec.time, want_time) << label;
        if (k < names.size()) {
            auto it = params.find(names[k]);
            if (it != params.end() && (kv[0] == 100)) {
                EXPECT_EQ(prods[k].rec.var % 1000, it->second) << label << " " << names[k];
            }
        }
    }
}

// Every message of an edition 0/1 file.
inline void oracle_grib1(const std::string &name, bool compare_params = true) {
    SCOPED_TRACE(name);
    const std::string path = name[0] == '/' ? name : fixture(name);
    std::vector<Product> prods = read_all(path, 0);
    std::vector<EcField> ec = ec_data(path);
    ASSERT_FALSE(ec.empty());
    ASSERT_EQ(prods.size(), ec.size());
    auto keys = ec_keys(path,
                        "indicatorOfTypeOfLevel:i,level:i,indicatorOfParameter:i,"
                        "timeRangeIndicator:i,P1:i,P2:i,jScansPositively:i,iScansNegatively:i,"
                        "centre:i");
    ASSERT_EQ(keys.size(), prods.size());
    for (std::size_t k = 0; k < prods.size(); ++k) {
        const std::string label = name + " message " + std::to_string(k);
        const auto &kv = keys[k];
        ASSERT_EQ(kv.size(), 9u) << label;
        EXPECT_EQ(prods[k].status, 0) << label;
        Scan sc{kv[6] == 1, kv[7] == 1, false, false};
        compare_field(prods[k], ec[k], label, sc);
        if (!compare_params) continue;
        EXPECT_EQ(prods[k].rec.source, kv[8]) << label;
        if (kv[8] == 98) continue;  // the centre's own table is renumbered
        EXPECT_EQ(prods[k].rec.ltype, kv[0]) << label;
        if (kv[0] == 100 || kv[0] == 105) {
            EXPECT_EQ(prods[k].rec.level, kv[1]) << label;
        }
        if (kv[0] == 1) {
            EXPECT_EQ(prods[k].rec.level, 0) << label;
        }
        if (kv[3] == 0) {
            EXPECT_EQ(prods[k].rec.time, kv[4]) << label;
        }
        if (kv[2] != 177) {
            EXPECT_EQ(prods[k].rec.var, kv[2]) << label;
        }
    }
}

}  // namespace gribtest

#endif  // GRIB2_ORACLE_UTIL_H
