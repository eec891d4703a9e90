// GRIB edition 2: product templates with their time, level, ensemble and
// probability mappings, several products per message with bitmap reuse,
// scanning modes, thinned rows, grid limits and unsupported templates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grib.h"
#include "grib2_test_util.h"
#include "zupgrd.h"

using namespace gribtest;

namespace {

class Grib2 : public ::testing::Test {
protected:
    void SetUp() override { reset_resources(); }
};

const std::vector<std::uint32_t> six = {1, 2, 3, 4, 5, 6};

// One product on the 3 x 2 grid: product section, simple packing of the raw
// values (reference 0), no bitmap.
std::string product(int tmpl, const std::string &from10,
                    const std::vector<std::uint32_t> &raw = six, int bitmap = 255,
                    const std::vector<int> &bits = {}) {
    return sect4(tmpl, from10) + sect5_simple(static_cast<long>(raw.size()), 0, 0, 0, 8) +
           sect6(bitmap, bits) + sect7(raw, 8);
}

std::string grid32(int scan = 0) { return sect3_ll(3, 2, 50, 0, 49, 2, scan); }

GRD_report read_one(const std::string &name, const std::string &msg, int mode = 1) {
    std::vector<Product> p = read_all(write_file(name, msg), mode);
    EXPECT_EQ(p.size(), 1u);
    GRD_report r;
    GRD_init(&r);
    return p.empty() ? r : p[0].rec;
}

// A message of one product on the 3 x 2 grid.
GRD_report one(int tmpl, const std::string &from10) {
    return read_one("one.grb", message2(sect1() + grid32() + product(tmpl, from10)));
}

// The probability part of templates 4.5 and 4.9: kind, then the lower and
// upper limits (scale factor and value each).
std::string prob_part(int type, int fl, std::uint32_t lower, int fu, std::uint32_t upper) {
    std::string b;
    put(b, 1, 1);  // forecast probability number
    put(b, 20, 1);  // of 20
    put(b, static_cast<std::uint64_t>(type), 1);
    put(b, static_cast<std::uint64_t>(fl), 1);
    put(b, lower, 4);
    put(b, static_cast<std::uint64_t>(fu), 1);
    put(b, upper, 4);
    return b;
}

// Fixed surfaces to level types and levels: single surfaces, layers of
// two, and the rounding of scaled values.
TEST_F(Grib2, LevelMappings) {
    const struct {
        int t1, f1;
        long v1;
        int t2, f2;
        long v2;
        int ltype, level;
    } cases[] = {
        {100, 0, 50000, 255, 0, 0, 100, 500},        // 500 hPa
        {100, 0, 50000, 100, 0, 85000, 101, 50085},  // layer in kPa
        {103, 0, 2, 255, 0, 0, 105, 2},              // 2 m above ground
        {103, 0, 10, 103, 0, 0, 106, 0},             // (10/100)*1000 + 0
        {101, 0, 0, 255, 0, 0, 102, 0},              // mean sea level
        {1, 255, 0, 255, 0, 0, 1, 0},                // surface, no value
        {102, 0, 3000, 255, 0, 0, 103, 3000},        // altitude
        {104, 4, 9950, 255, 0, 0, 107, 9950},        // sigma 0.995
        {105, 0, 12, 255, 0, 0, 109, 12},            // hybrid level
        {106, 2, 10, 106, 2, 40, 112, 10040},        // soil layer 10-40 cm
        {106, 2, 5, 255, 0, 0, 111, 5},              // soil depth 5 cm
        {107, 0, 320, 255, 0, 0, 113, 320},          // isentropic
        {108, 0, 3000, 108, 0, 0, 116, 30000},       // 30-0 hPa above ground
        {108, 0, 3000, 255, 0, 0, 115, 30},
        {109, 9, 2000, 255, 0, 0, 117, 2},           // 2 PV units
        {111, 0, 5, 255, 0, 0, 119, 5},              // eta
        {200, 255, 0, 255, 0, 0, 200, 0},            // other surfaces stay
        {102, 0, 3000, 102, 0, 1500, 104, 30015},     // altitude layer in hm
        {104, 2, 95, 104, 2, 80, 108, 95080},         // sigma layer 0.95-0.80
        {104, 3, 995, 104, 3, 950, 108, 99095},       // sigma layer 0.995-0.950
        {107, 0, 300, 107, 0, 310, 114, 300},         // isentropic layer: z1
        {111, 3, 500, 111, 3, 400, 120, 0},           // eta layer: z1 (0.5)
        {105, 0, 10, 105, 0, 11, 109, 10},            // hybrid layer: z1
        {101, 0, 7, 1, 0, 0, 102, 0},                 // mean sea level, any second
        {103, 1, 16, 255, 0, 0, 105, 2},              // 1.6 m rounds to 2
        {103, 1, 14, 255, 0, 0, 105, 1},              // 1.4 m rounds to 1
        {103, 0, 3000, 103, 0, 0, 106, 30000},        // 3000-0 m above ground
        {100, 0, 100000, 100, 0, 50000, 101, 100050}, // 1000-500 hPa in kPa
        {109, 9, -2000, 255, 0, 0, 117, -2},          // -2 PV units
        {106, 1, 1, 106, 1, 4, 112, 10040},           // 0.1-0.4 m soil layer
        {106, 1, 1, 106, 2, 40, 112, 10040},          // second scale factor of its own
        {160, 0, 25, 255, 0, 0, 160, 25},             // depth below sea: as is
    };
    for (const auto &c : cases) {
        GRD_report r = one(0, pds_head(Pds{.t1 = c.t1, .f1 = c.f1, .v1 = c.v1, .t2 = c.t2, .f2 = c.f2, .v2 = c.v2}));
        EXPECT_EQ(r.ltype, c.ltype) << c.t1 << "/" << c.t2 << " " << c.v1;
        EXPECT_EQ(r.level, c.level) << c.t1 << "/" << c.t2 << " " << c.v1;
        EXPECT_EQ(r.time, 6);
    }
}

// Statistical times (template 4.8): process code + start * 1000 + end, in
// hours whatever the units.  A missing length is the end of the period
// less the start when it is not below 10001; processing types without a
// code of their own give 2000000.
TEST_F(Grib2, StatisticalTimes) {
    const struct {
        long fcst;
        int unit, proc, stat_unit;
        long len;
        int end_day, end_hour, want;
    } cases[] = {
        {0, 1, 1, 1, 6, 5, 12, 4000006},             // 0-6 hour accumulation
        {1, 11, 0, 11, 1, 5, 12, 3006012},           // average in 6-hour units
        {66, 1, 2, 1, 6, 5, 12, 6066072},            // maximum
        {66, 1, 3, 1, 6, 5, 12, 7066072},            // minimum
        {66, 1, 4, 1, 6, 5, 12, 5066072},            // difference
        {2, 10, 1, 10, 2, 5, 12, 4006012},           // 3-hour units
        {1, 12, 2, 12, 1, 5, 12, 6012024},           // 12-hour units
        {6, 1, 255, 1, 0x7fffffff, 5, 12, 2006012},  // missing length: end 12 UTC
        {18, 1, 255, 1, 20000, 6, 6, 2018030},       // end on the next day
        {18, 1, 255, 1, 6, 6, 6, 2018024},           // a length as it stands
        {18, 1, 8, 1, 6, 5, 12, 2018024},            // other processing
    };
    for (const auto &c : cases) {
        Pds p{.unit = c.unit, .fcst = c.fcst};
        EXPECT_EQ(one(8, pds_head(p) + pds_stat(c.proc, c.stat_unit, c.len, 2026, 12, c.end_day, c.end_hour)).time,
                  c.want)
            << "process " << c.proc << " start " << c.fcst << " unit " << c.unit;
    }
}

// Members, means and spreads of ensembles (4.1, 4.2 and with a time range
// 4.11, 4.12).
TEST_F(Grib2, EnsembleMembersMeansAndSpread) {
    const struct {
        int tmpl;
        long fcst;
        std::string ens;
        int var, time;
    } cases[] = {
        {1, 6, std::string("\x03\x04\x14", 3), 19300000 + 2 * 20000 + 4 * 1000 + 11, 6},  // member +4
        {2, 6, std::string("\x01\x14", 2), 19000011, 6},                                   // mean
        {2, 6, std::string("\x02\x14", 2), 19001011, 6},                                   // spread
        {11, 0, std::string("\x01\x02\x14", 3) + pds_stat(1, 1, 12), 19300000 + 2 * 1000 + 11, 4000012},
        {12, 0, std::string("\x01\x14", 2) + pds_stat(0, 1, 12), 19000011, 3000012},
    };
    for (const auto &c : cases) {
        // temperature (0, 0, 0) at 500 hPa
        GRD_report r = one(c.tmpl, pds_head(Pds{.fcst = c.fcst}) + c.ens);
        EXPECT_EQ(r.var, c.var) << c.tmpl;
        EXPECT_EQ(r.time, c.time) << c.tmpl;
    }
}

// Probabilities (4.5, and 4.9 with a time range): the parameter they are
// about and their kind by generating process and probability type.
TEST_F(Grib2, ProbabilityProducts) {
    Pds p;
    p.gen_type = 4;  // ensemble forecast
    // above the upper limit 273.1, lower limit missing
    std::string prob = pds_head(p) + prob_part(1, 255, 0xffffffffu, 1, 2731);
    GRD_report r = one(5, prob);
    EXPECT_EQ(r.var / 10000000, 191);
    EXPECT_EQ(r.var / 10000 % 1000, 11);  // the parameter the probability is about
    EXPECT_EQ(r.var / 1000 % 10, 2);      // kind: above the upper limit
    EXPECT_STREQ(r.units, "%");
    p.fcst = 0;
    r = one(9, pds_head(p) + prob.substr(25) + pds_stat(1, 1, 24));
    EXPECT_EQ(r.var / 10000000, 191);
    EXPECT_EQ(r.time, 4000024);
    struct Case {
        int proc, type, kind;
    } cases[] = {{4, 0, 1}, {4, 1, 2}, {4, 2, 3}, {5, 0, 4}, {5, 1, 5}, {5, 2, 6},
                 {2, 0, 4}, {2, 1, 5}, {2, 2, 6}, {2, 3, 7}, {2, 4, 8}};
    for (const Case &c : cases) {
        r = one(5, pds_head(Pds{.gen_type = c.proc}) + prob_part(c.type, 0, 2700, 0, 2800));
        EXPECT_EQ(r.var / 10000000, 191) << c.proc << "/" << c.type;
        EXPECT_EQ(r.var / 1000 % 10, c.kind) << c.proc << "/" << c.type;
    }
}

TEST_F(Grib2, LocalAndUnsupportedProductTemplates) {
    Pds p;
    GRD_report r = read_one("jma.grb", message2(sect1(34) + grid32() + product(50008, pds_head(p))));
    EXPECT_EQ(r.time, 0);
    EXPECT_EQ(r.ltype, 1);
    EXPECT_EQ(r.level, 0);
    testing::internal::CaptureStderr();
    std::string one = sect1() + grid32() + product(15, pds_head(p));
    read_all(write_file("t15.grb", message2(one) + message2(one)), 1);
    std::string err = testing::internal::GetCapturedStderr();
    std::size_t at = err.find("Unsupported product template: 15");
    EXPECT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("Unsupported product template: 15", at + 1), std::string::npos) << err;
}

TEST_F(Grib2, SeveralProductsShareTheGridAndBitmap) {
    Pds a, b, c;
    b.v1 = 85000;
    c.v1 = 70000;
    const std::vector<int> bits = {1, 0, 1, 1, 0, 1};
    std::string msg = message2(sect1() + grid32() +
                               product(0, pds_head(a), {10, 20, 30, 40}, 0, bits) +
                               product(0, pds_head(b), {11, 21, 31, 41}, 254) +
                               product(0, pds_head(c), {1, 2, 3, 4, 5, 6}, 255));
    Pds d;
    d.v1 = 30000;
    std::string next = message2(sect1() + grid32() + product(0, pds_head(d)));
    std::string path = write_file("multi.grb", msg + next);
    std::vector<Product> p = read_all(path, 0);
    ASSERT_EQ(p.size(), 4u);
    const std::vector<float> want0 = {10, -9999, 20, 30, -9999, 40};
    const std::vector<float> want1 = {11, -9999, 21, 31, -9999, 41};
    const std::vector<float> want2 = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(p[0].vals, want0);
    EXPECT_EQ(p[1].vals, want1);
    EXPECT_EQ(p[2].vals, want2);
    EXPECT_EQ(p[3].vals, want2);
    EXPECT_EQ(p[0].rec.level, 500);
    EXPECT_EQ(p[1].rec.level, 850);
    EXPECT_EQ(p[2].rec.level, 700);
    EXPECT_EQ(p[3].rec.level, 300);
    for (const Product &q : p) EXPECT_EQ(q.rec.domain.nx, 3);

    // Header-only reads, then one product decoded out of order: the bitmap
    // that only the header walk saw is still applied.
    std::vector<Product> h = read_all(path, 1);
    ASSERT_EQ(h.size(), 4u);
    EXPECT_EQ(h[1].rec.level, 850);
    int type = 0;
    int slot = GRD_open(path.c_str(), 0, &type);
    ASSERT_GE(slot, 0);
    GRD_report r;
    GRD_init(&r);
    int num = 1;
    ASSERT_EQ(GRD_read(slot, &r, 0, &num), 0);
    EXPECT_EQ(num, 1);
    ASSERT_NE(r.grid, nullptr);
    EXPECT_EQ(std::vector<float>(r.grid, r.grid + 6), want1);
    num = 3;
    ASSERT_EQ(GRD_read(slot, &r, 0, &num), 0);
    EXPECT_EQ(r.level, 300);
    num = 0;  // backwards: rewinds and walks forward again
    ASSERT_EQ(GRD_read(slot, &r, 0, &num), 0);
    EXPECT_EQ(std::vector<float>(r.grid, r.grid + 6), want0);
    num = 1;  // the same product twice
    ASSERT_EQ(GRD_read(slot, &r, 0, &num), 0);
    num = 1;
    ASSERT_EQ(GRD_read(slot, &r, 0, &num), 0);
    EXPECT_EQ(std::vector<float>(r.grid, r.grid + 6), want1);
    GRD_free(&r);
    GRD_close(slot);
}

TEST_F(Grib2, MessageWithoutProduct) {
    std::string path = write_file("noprod.grb", message2(sect1() + grid32()));
    testing::internal::CaptureStderr();
    std::vector<Product> p = read_all(path, 0, 1);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].status, 1);
    EXPECT_NE(err.find("No product found\n"), std::string::npos) << err;
}

TEST_F(Grib2, UnsupportedDataTemplateReportedOnce) {
    Pds p;
    // Template 5.50 (spectral simple) with the same first octets as 5.0.
    std::string prod = sect4(0, pds_head(p)) + sect5_simple(6, 0, 0, 0, 8, 50) + sect6(255) +
                       sect7(six, 8);
    std::string path = write_file("t50.grb", message2(sect1() + grid32() + prod + prod));
    testing::internal::CaptureStderr();
    std::vector<Product> got = read_all(path, 0);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(got.size(), 2u);
    for (const Product &q : got) {
        ASSERT_EQ(q.vals.size(), 6u);
        for (float v : q.vals) EXPECT_EQ(v, -9999);
    }
    std::size_t at = err.find("Unsupported data representation template: 50");
    EXPECT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("template: 50", at + 45), std::string::npos) << err;
}

// Alternate rows (the second runs east to west), south to north, east to
// west: all give the same array, rows north to south.
TEST_F(Grib2, ScanningModes) {
    const struct {
        std::string grid;
        std::vector<std::uint32_t> raw;
        float clat;
    } cases[] = {
        {grid32(0x10), {1, 2, 3, 6, 5, 4}, 49.5f},
        {sect3_ll(3, 2, 49, 0, 50, 2, 0x40), {4, 5, 6, 1, 2, 3}, 49.5f},
        {sect3_ll(3, 2, 50, 2, 49, 0, 0x80), {3, 2, 1, 6, 5, 4}, 49.5f},
    };
    for (const auto &c : cases) {
        std::vector<Product> got =
            read_all(write_file("scan.grb", message2(sect1() + c.grid + product(0, pds_head(Pds{}), c.raw))), 0);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].vals, (std::vector<float>{1, 2, 3, 4, 5, 6}));
        EXPECT_FLOAT_EQ(got[0].rec.domain.clat, c.clat);
        EXPECT_FLOAT_EQ(got[0].rec.domain.clon, 1.0f);
        EXPECT_FLOAT_EQ(got[0].rec.domain.dx, 1.0f);
    }
}

TEST_F(Grib2, ThinnedRowsFromOneOctetLengths) {
    Pds p;
    std::string g = sect3_ll(0, 3, 50, 0, 48, 3, 0, {2, 4, 1});
    std::vector<Product> got = read_all(
        write_file("thin2.grb", message2(sect1() + g + product(0, pds_head(p), {0, 30, 0, 10, 20, 30, 7}))), 0);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].rec.domain.nx, 4);
    const std::vector<float> want = {0, 10, 20, 30, 0, 10, 20, 30, 7, 7, 7, 7};
    ASSERT_EQ(got[0].vals.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[0].vals[i], want[i], 1e-4) << i;
}

TEST_F(Grib2, GridLimitsAndUnsupportedGrids) {
    Pds p;
    // 10001 rows of a latitude-longitude grid are refused.
    std::string tall = sect3_ll(2, 10001, 50, 0, -50, 1, 0);
    std::vector<Product> got =
        read_all(write_file("tall.grb", message2(sect1() + tall + product(0, pds_head(p)))), 0);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].status, 0);
    EXPECT_TRUE(got[0].vals.empty());
    // A spherical-harmonic grid (template 3.50) is refused with a message.
    std::string sh;
    put(sh, 0, 1);
    put(sh, 6, 4);
    put(sh, 0, 2);
    put(sh, 50, 2);
    sh += std::string(20, '\0');
    testing::internal::CaptureStderr();
    got = read_all(write_file("sh.grb", message2(sect1() + section(3, sh) + product(0, pds_head(p)))), 0);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(got[0].vals.empty());
    EXPECT_NE(err.find("Unsupported grid template: 50"), std::string::npos) << err;
}

// Header-only reads never touch the data: a data section that claims more
// octets than the file holds does not disturb them, while decoding fails.
TEST_F(Grib2, HeaderReadsSkipTheData) {
    Pds p;
    std::string msg = message2(sect1() + grid32() + sect4(0, pds_head(p)) +
                               sect5_simple(6, 0, 0, 0, 8) + sect6(255) + section(7, "\x01\x02"));
    std::size_t s7 = msg.size() - 4 - 7;
    msg[s7] = 0x00;
    msg[s7 + 1] = 0x10;  // section 7 now claims about a megabyte
    std::string path = write_file("hdr2.grb", msg.substr(0, msg.size() - 4));
    std::vector<Product> h = read_all(path, 1);
    ASSERT_GE(h.size(), 1u);
    EXPECT_EQ(h[0].status, 0);
    EXPECT_EQ(h[0].rec.level, 500);
    EXPECT_EQ(h[0].rec.domain.nx, 3);
    std::vector<Product> d = read_all(path, 0);
    for (const Product &q : d) EXPECT_TRUE(q.vals.empty());
}

TEST_F(Grib2, SectionReaderPrimitives) {
    std::string msg = message2(sect1() + grid32() + product(0, pds_head(Pds{})));
    std::string path = write_file("prim.grb", msg);
    int type = 0;
    int slot = GRD_open(path.c_str(), 0, &type);
    ASSERT_GE(slot, 0);
    ASSERT_EQ(GRIB_header(slot), 12);
    EXPECT_EQ(GRIB_get_version(), 2);
    EXPECT_EQ(GRIB_get_discipline(), 0);
    ASSERT_EQ(GRIB_read_section(slot), 1);
    EXPECT_EQ(GRIB_get_sect(), 1);
    EXPECT_EQ(GRIB_get_slen(), 21);
    EXPECT_EQ(GRIB_skip_section(slot), 1);
    ASSERT_EQ(GRIB_read_section(slot), 1);
    EXPECT_EQ(GRIB_get_sect(), 3);
    GRD_report r;
    GRD_init(&r);
    EXPECT_EQ(GRIB_GDS(slot, &r), 1);
    EXPECT_EQ(r.domain.nx, 3);
    EXPECT_EQ(r.domain.ny, 2);
    for (int s : {4, 5, 6, 7}) {
        ASSERT_EQ(GRIB_read_section(slot), 1);
        EXPECT_EQ(GRIB_get_sect(), s);
        GRIB_skip_section(slot);
    }
    EXPECT_EQ(GRIB_read_section(slot), 0);
    EXPECT_EQ(GRIB_get_sect(), -1);  // end mark
    GRD_close(slot);
}


}  // namespace
