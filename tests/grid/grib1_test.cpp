// GRIB editions 0 and 1: product definition rules, grids, bitmaps, data
// layouts, the spike filter, bulletin headers and message stepping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "grib.h"
#include "grib2_test_util.h"
#include "zupcty.h"
#include "zupgrd.h"

using namespace gribtest;

namespace {

class Grib1 : public ::testing::Test {
protected:
    void SetUp() override { reset_resources(); }
    void TearDown() override { GRIB_set_max_bad(-1); }
};

// The PDS octets of a message made by make_grib1.
std::vector<std::uint8_t> pds_of(const Msg1 &m) {
    std::string msg = make_grib1(m);
    std::size_t len = (static_cast<unsigned char>(msg[8]) << 16) |
                      (static_cast<unsigned char>(msg[9]) << 8) | static_cast<unsigned char>(msg[10]);
    return std::vector<std::uint8_t>(msg.begin() + 8, msg.begin() + 8 + static_cast<long>(len));
}

// The record the PDS of m gives; preset: the time, level and parameter the
// record had before; n: the N of averaging kinds (PDS octets 22-23).
GRD_report decode(const Msg1 &m, int preset = MISSING, int n = 0) {
    GRD_report r;
    GRD_init(&r);
    r.time = r.level = r.var = preset;
    std::vector<std::uint8_t> p = pds_of(m);
    p[21] = static_cast<std::uint8_t>(n >> 8);
    p[22] = static_cast<std::uint8_t>(n);
    EXPECT_EQ(GRIB_decode_PDB(p.data(), static_cast<int>(p.size()), 1, &r), 1);
    return r;
}

// Reads every message of a file of hand-made messages.
std::vector<Product> read_msgs(const std::string &name, const std::string &bytes, int mode = 0) {
    return read_all(write_file(name, bytes), mode);
}

// Time codes of the time range indicators.  Days and months offset P1 and
// P2 by 800 and 900, 12-hour units scale them; averaging kinds (113, 118,
// 123) use Q = N times raw P2 plus the same offset.
TEST_F(Grib1, TimeRangeIndicators) {
    struct Case {
        int unit, p1, p2, tri, n, time;
    } cases[] = {
        {2, 6, 0, 0, 0, 806},            // days
        {3, 2, 0, 0, 0, 902},            // months
        {1, 0, 6, 4, 0, 4000006},        // 0-6 hour accumulation
        {1, 0, 6, 3, 0, 3000006},        // average
        {1, 6, 12, 2, 0, 2006012},       // range
        {1, 12, 24, 5, 0, 5012024},      // difference
        {12, 1, 2, 3, 0, 3012024},       // 12-hour units
        {1, 6, 0, 1, 0, 0},              // analysis
        {1, 1, 44, 10, 0, 300},          // P1 and P2 as one number
        {1, 0, 6, 113, 4, 13000024},
        {1, 0, 6, 118, 4, 18000024},
        {1, 0, 6, 123, 4, 23000024},
        {2, 1, 2, 113, 3, 13000000 + 801 * 1000 + 2 * 3 + 800},
        {2, 1, 2, 118, 3, 18000000 + 801 * 1000 + 2 * 3 + 800},
        {2, 1, 2, 123, 3, 23000000 + 2 * 3 + 800},
        {3, 1, 2, 113, 3, 13000000 + 901 * 1000 + 2 * 3 + 900},
        {12, 1, 2, 113, 3, 13000000 + 12 * 1000 + 2 * 3},
        {2, 1, 2, 4, 3, 4000000 + 801 * 1000 + 802},
        {3, 1, 2, 2, 3, 2000000 + 901 * 1000 + 902},
        {1, 6, 0, 7, 0, 1234},           // unknown: the time the record had
    };
    for (const Case &c : cases) {
        Msg1 m{.unit = c.unit, .p1 = c.p1, .p2 = c.p2, .tri = c.tri};
        EXPECT_EQ(decode(m, 1234, c.n).time, c.time) << "unit " << c.unit << " tri " << c.tri;
    }
}

// Every level type of the table: single 16-bit levels, layers (top*1000 +
// bottom), types that always give level 0, and types outside the table,
// which leave the level as it was.
TEST_F(Grib1, LevelTypes) {
    const struct {
        std::vector<int> types;
        int want;
    } groups[] = {
        {{5, 100, 103, 105, 107, 111, 113, 117, 119}, (12 << 8) | 34},
        {{101, 104, 106, 108, 109, 112, 114, 116, 120}, 12034},
        {{1, 4, 6, 7, 102, 200}, 0},
        {{2, 3, 8, 110, 121, 150, 160}, -5},
    };
    for (const auto &g : groups)
        for (int lt : g.types) {
            GRD_report r = decode(Msg1{.ltype = lt, .level = (12 << 8) | 34}, -5);
            EXPECT_EQ(r.level, g.want) << lt;
            EXPECT_EQ(r.ltype, lt);
        }
}

TEST_F(Grib1, DatesAndParameters) {
    Msg1 m;
    m.year = 99;
    EXPECT_EQ(decode(m).date.year, 1999);
    m.year = 5;
    GRD_report r = decode(m);
    EXPECT_EQ(r.date.year, 2005);
    EXPECT_EQ(r.date.month, 12);
    EXPECT_EQ(r.date.day, 5);
    EXPECT_EQ(r.date.hour, 12);
    EXPECT_EQ(r.date.jday, 339);
    EXPECT_EQ(r.date.wday, 1);  // 5 December 2005 was a Monday

    EXPECT_EQ(r.source, 7);
    EXPECT_EQ(r.model, 89);
    // Parameter numbers by table and model; table 129 only knows 212.
    const struct {
        int table, model, ltype, param, want;
    } params[] = {{129, 89, 100, 212, 491}, {129, 89, 100, 11, 4242}, {3, 89, 100, 11, 11},
                  {2, 89, 100, 177, 571},   {2, 44, 1, 7, 161},  // surface height of model 44
                  {2, 89, 100, 11, 11}};
    for (const auto &c : params) {
        Msg1 q{.model = c.model, .param = c.param, .ltype = c.ltype, .table = c.table};
        EXPECT_EQ(decode(q, 4242).var, c.want) << c.table << ":" << c.param;
    }
}

TEST_F(Grib1, EnsembleExtensionEncodesTheMean) {
    Msg1 m;
    m.subcentre = 2;
    m.pds_extra = std::string(12, '\0');   // octets 29-40
    m.pds_extra += std::string("\x01\x01\x00\x02\x01", 5);  // 41-45: type 1, id 0, mean
    // GRIB_PDB hands the values on; through a whole message:
    std::vector<Product> got = read_msgs("ens.grb", make_grib1([&] {
        Msg1 q = m;
        q.raw = std::vector<std::uint32_t>(12, 1);
        return q;
    }()));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].rec.var, 19000011);
}

TEST_F(Grib1, IbmFloatsAndBinaryScale) {
    const std::uint8_t hundred[4] = {0x42, 0x64, 0x00, 0x00};
    const std::uint8_t minus[4] = {0xc2, 0x64, 0x00, 0x00};
    const std::uint8_t one[4] = {0x41, 0x10, 0x00, 0x00};
    const std::uint8_t zero[4] = {0x00, 0x12, 0x34, 0x56};
    EXPECT_FLOAT_EQ(GRIB_flt_conv(hundred), 100.0f);
    EXPECT_FLOAT_EQ(GRIB_flt_conv(minus), -100.0f);
    EXPECT_FLOAT_EQ(GRIB_flt_conv(one), 1.0f);
    EXPECT_EQ(GRIB_flt_conv(zero), 0.0f);
    const std::uint8_t e0[2] = {0, 0}, e3[2] = {0, 3}, em2[2] = {0x80, 2};
    EXPECT_EQ(GRIB_scl_conv(e0), 1.0f);
    EXPECT_EQ(GRIB_scl_conv(e3), 8.0f);
    EXPECT_EQ(GRIB_scl_conv(em2), 0.25f);
    const std::uint8_t ieee[4] = {0x42, 0xc8, 0x00, 0x00};
    EXPECT_EQ(GRIB_ieee_float_conv(ieee), 100.0f);
}

TEST_F(Grib1, CataloguedGrids) {
    Domain d;
    DOM_init(&d);
    ASSERT_EQ(GRIB_set_domain(211, &d), 1);
    EXPECT_EQ(d.proj, 4);
    EXPECT_EQ(d.nx, 93);
    EXPECT_EQ(d.ny, 65);
    EXPECT_FLOAT_EQ(d.dx, 0.8127f);
    EXPECT_FLOAT_EQ(d.plon, -95.0f);
    EXPECT_FLOAT_EQ(d.param[0], 25.0f);
    EXPECT_FLOAT_EQ(d.param[2], 1.0f);
    ASSERT_EQ(GRIB_set_domain(43, &d), 1);
    EXPECT_EQ(d.proj, 2);
    EXPECT_FLOAT_EQ(d.clat, -45.0f);
    EXPECT_FLOAT_EQ(d.clon, -165.0f);
    Domain before = d;
    EXPECT_EQ(GRIB_set_domain(999, &d), 0);
    EXPECT_EQ(std::memcmp(&before, &d, sizeof d), 0);
}

// Rows north to south are stored as they come; south to north reversed:
// both give the same array.  D = 1 divides by ten; E = 1 doubles.
TEST_F(Grib1, ScanningDirectionAndScaling) {
    Msg1 n;
    n.raw = {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23};
    n.ref = 100;
    n.escale = 1;
    n.dscale = 1;
    Msg1 s = n;
    s.scan = 0x40;
    std::swap(s.la1, s.la2);
    s.raw = {20, 21, 22, 23, 10, 11, 12, 13, 0, 1, 2, 3};
    std::vector<Product> a = read_msgs("north.grb", make_grib1(n));
    std::vector<Product> b = read_msgs("south.grb", make_grib1(s));
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_EQ(a[0].vals.size(), 12u);
    EXPECT_FLOAT_EQ(a[0].vals[0], 10.0f);        // (0*2 + 100) / 10
    EXPECT_FLOAT_EQ(a[0].vals[11], (23 * 2 + 100) / 10.0f);
    EXPECT_EQ(a[0].vals, b[0].vals);
    EXPECT_EQ(a[0].rec.domain.proj, 2);
    EXPECT_FLOAT_EQ(a[0].rec.domain.clat, 49.0f);
    EXPECT_FLOAT_EQ(a[0].rec.domain.clon, -8.5f);
    EXPECT_FLOAT_EQ(a[0].rec.domain.dx, 1.0f);
}

TEST_F(Grib1, BitmapZeroGivesMissing) {
    Msg1 m;
    m.bitmap = {1, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0};
    m.raw = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // only the points present
    std::vector<Product> p = read_msgs("bitmap.grb", make_grib1(m));
    ASSERT_EQ(p.size(), 1u);
    std::vector<float> want = {1, -9999, 2, 3, 4, 5, -9999, 6, 7, 8, 9, -9999};
    EXPECT_EQ(p[0].vals, want);
}

TEST_F(Grib1, ThinnedRowsAreStretched) {
    Msg1 m;
    m.nx = 0xffff;
    m.rows = {2, 4, 3};
    m.raw = {0, 30, 0, 10, 20, 30, 0, 15, 30};
    std::vector<Product> p = read_msgs("thin.grb", make_grib1(m));
    ASSERT_EQ(p.size(), 1u);
    ASSERT_EQ(p[0].rec.domain.nx, 4);
    std::vector<float> want = {0, 10, 20, 30, 0, 10, 20, 30, 0, 10, 20, 30};
    ASSERT_EQ(p[0].vals.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(p[0].vals[i], want[i], 1e-4) << i;
}

TEST_F(Grib1, Grid50Diamond) {
    Msg1 m;
    m.grid = 50;
    m.gds = false;
    for (int r = 32; r >= 0; --r) {
        int pad = r >= 1 ? (r - 1) / 4 : 0;
        for (int i = pad; i < 36 - pad; ++i) m.raw.push_back(static_cast<std::uint32_t>(r));
    }
    std::vector<Product> p = read_msgs("g50.grb", make_grib1(m));
    ASSERT_EQ(p.size(), 1u);
    ASSERT_EQ(p[0].vals.size(), 36u * 33u);
    auto at = [&](int i, int j) { return p[0].vals[static_cast<std::size_t>(j * 36 + i)]; };
    EXPECT_EQ(at(0, 32), -9999);  // 7 missing points at each end of row 32
    EXPECT_EQ(at(6, 32), -9999);
    EXPECT_EQ(at(7, 32), 32);
    EXPECT_EQ(at(28, 32), 32);
    EXPECT_EQ(at(29, 32), -9999);
    EXPECT_EQ(at(0, 0), 0);       // the last row read is full
    EXPECT_EQ(at(35, 0), 0);
    EXPECT_EQ(at(0, 5), -9999);   // (5-1)/4 = 1 missing at each end
    EXPECT_EQ(at(1, 5), 5);
}

TEST_F(Grib1, PoleRowsAndWrappedColumn) {
    // Grid 21: from the equator north, the last row is the pole value.
    Msg1 g21;
    g21.grid = 21;
    g21.gds = false;
    g21.nbits = 16;
    for (int k = 0; k < 36; ++k)
        for (int i = 0; i < 37; ++i) g21.raw.push_back(static_cast<std::uint32_t>(k * 100 + i));
    g21.raw.push_back(9999);
    std::vector<Product> p = read_msgs("g21.grb", make_grib1(g21));
    ASSERT_EQ(p.size(), 1u);
    ASSERT_EQ(p[0].vals.size(), 37u * 37u);
    for (int i = 0; i < 37; ++i) EXPECT_EQ(p[0].vals[static_cast<std::size_t>(i)], 9999);
    EXPECT_EQ(p[0].vals[36 * 37 + 5], 5);          // first row read is the southernmost
    EXPECT_EQ(p[0].vals[1 * 37 + 3], 3503);

    // Grid 23: from the south pole; the first row is one value.
    Msg1 g23 = g21;
    g23.grid = 23;
    g23.raw.clear();
    g23.raw.push_back(7777);
    for (int k = 1; k < 37; ++k)
        for (int i = 0; i < 37; ++i) g23.raw.push_back(static_cast<std::uint32_t>(k * 100 + i));
    p = read_msgs("g23.grb", make_grib1(g23));
    ASSERT_EQ(p.size(), 1u);
    for (int i = 0; i < 37; ++i) EXPECT_EQ(p[0].vals[36 * 37 + i], 7777);
    EXPECT_EQ(p[0].vals[0], 3600);

    // Grid 25: 72 values a row, the 73rd repeats the first.
    Msg1 g25 = g21;
    g25.grid = 25;
    g25.raw.clear();
    for (int k = 0; k < 18; ++k)
        for (int i = 0; i < 72; ++i) g25.raw.push_back(static_cast<std::uint32_t>(k * 100 + i));
    g25.raw.push_back(4242);
    p = read_msgs("g25.grb", make_grib1(g25));
    ASSERT_EQ(p.size(), 1u);
    ASSERT_EQ(p[0].vals.size(), 73u * 19u);
    EXPECT_EQ(p[0].vals[18 * 73 + 71], 71);
    EXPECT_EQ(p[0].vals[18 * 73 + 72], 0);   // wrapped column
    EXPECT_EQ(p[0].vals[1 * 73 + 72], 1700);
    EXPECT_EQ(p[0].vals[0], 4242);           // north pole row
}

TEST_F(Grib1, SpikeFilter) {
    Msg1 m;
    m.nx = 12;
    m.ny = 1;
    m.la2 = m.la1;
    m.lo2 = m.lo1 + 11000;
    m.raw = {0, 200, 0, 200, 0, 200, 5, 5, 5, 5, 5, 5};
    // Without a limit nothing is discarded.
    std::vector<Product> p = read_msgs("spike.grb", make_grib1(m));
    ASSERT_EQ(p.size(), 1u);
    for (float v : p[0].vals) EXPECT_NE(v, -9999);
    // With at most two jumps of more than 128 (half the range of 8 bits) the
    // third jump marks the grid corrupt: every later value is missing.
    GRIB_set_max_bad(2);
    p = read_msgs("spike.grb", make_grib1(m));
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].vals[2], 0);
    EXPECT_EQ(p[0].vals[3], -9999);
    EXPECT_EQ(p[0].vals[11], -9999);
    EXPECT_EQ(GRIB_get_bad(), 1);
}

TEST_F(Grib1, OversizedAndSphericalGridsAreRefused) {
    for (int which = 0; which < 2; ++which) {
        Msg1 m;
        (which ? m.ny : m.nx) = 2001;
        m.raw = {1};
        std::vector<Product> p = read_msgs("big.grb", make_grib1(m));
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(p[0].status, 0);
        EXPECT_TRUE(p[0].vals.empty());
    }
    testing::internal::CaptureStderr();
    std::vector<Product> p = read_all(fixture("spherical_pressure_level.grib1"), 0);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_TRUE(p[0].vals.empty());
    EXPECT_NE(err.find("GRIB_GDB: "), std::string::npos) << err;
}

// Opens a file and finds its first message.
int open_first(const std::string &path) {
    int type = 0;
    int slot = GRD_open(path.c_str(), 0, &type);
    EXPECT_GE(slot, 0);
    EXPECT_EQ(type, 21);
    return slot;
}

TEST_F(Grib1, EditionZeroEndMarkScan) {
    std::string bytes = read_file(fixture("edition0.grb"));
    std::size_t second = bytes.find("GRIB", 4);
    ASSERT_NE(second, std::string::npos);
    int slot = open_first(fixture("edition0.grb"));
    ASSERT_GT(GRIB_header(slot), 0);
    EXPECT_EQ(GRIB_get_version(), 0);
    long pos = std::ftell(GRD_get_file(slot)->file);
    EXPECT_EQ(GRIB_next(slot, 0), static_cast<long>(second));
    EXPECT_EQ(std::ftell(GRD_get_file(slot)->file), pos);  // put back
    EXPECT_EQ(GRIB_next(slot, 1), static_cast<long>(second));
    EXPECT_EQ(std::ftell(GRD_get_file(slot)->file), static_cast<long>(second));
    GRD_close(slot);

    // Centre 98 in edition 0 marks the file.
    slot = open_first(fixture("edition0_ecmwf.grb"));
    ASSERT_GT(GRIB_header(slot), 0);
    GRD_info info;
    ASSERT_EQ(GRIB_get_info(slot, &info), 0);
    EXPECT_EQ(GRD_get_file(slot)->grid, 10);
    GRD_close(slot);
}

TEST_F(Grib1, ProductSizeLimit) {
    std::string m = "GRIB";
    put(m, 2000001, 3);
    put(m, 1, 1);
    m += std::string(40, '\0');
    int slot = open_first(write_file("huge.grb", m));
    ASSERT_GT(GRIB_header(slot), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRIB_next(slot, 1), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Invalid product size: 2000001"), std::string::npos) << err;
    GRD_close(slot);
}

TEST_F(Grib1, ReferenceDateOfTheFile) {
    int slot = open_first(fixture("eta_grib1_part.grb"));
    ASSERT_GT(GRIB_header(slot), 0);
    GRD_info info;
    ASSERT_EQ(GRIB_get_info(slot, &info), 0);
    std::string ls = run("grib_get -p dataDate,dataTime -w count=1 '" +
                         fixture("eta_grib1_part.grb") + "' 2>/dev/null");
    if (!ls.empty()) {
        long ymd = 0, hm = 0;
        std::sscanf(ls.c_str(), "%ld %ld", &ymd, &hm);
        EXPECT_EQ(info.date.year, ymd / 10000);
        EXPECT_EQ(info.date.month, ymd / 100 % 100);
        EXPECT_EQ(info.date.day, ymd % 100);
        EXPECT_EQ(info.date.hour, hm / 100);
    }
    EXPECT_EQ(info.date.min, 0);
    EXPECT_EQ(GRD_get_file(slot)->grid, 1);
    EXPECT_NE(info.datim[0], '\0');
    GRD_close(slot);
}

// Header-only reads never touch the data: a data section that runs past
// the end of the file does not disturb them, while decoding reports it.
TEST_F(Grib1, HeaderReadsSkipTheData) {
    Msg1 m;
    m.raw = std::vector<std::uint32_t>(12, 3);
    std::string msg = make_grib1(m);
    std::string cut = msg.substr(0, msg.size() - 10);  // data section cut short
    std::vector<Product> h = read_msgs("cut.grb", cut, 1);
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].rec.var, 11);
    EXPECT_EQ(h[0].rec.level, 500);
    EXPECT_EQ(h[0].rec.domain.nx, 4);
    std::vector<Product> d = read_msgs("cut.grb", cut, 0);
    EXPECT_TRUE(d.empty());
}


// Edition 0: no decimal scale (octets 27-28 are not read).
TEST_F(Grib1, EditionZeroProductDefinition) {
    Msg1 m;
    m.dscale = 2;
    m.table = 0;  // octet 8 of the message: neither 1 nor 2
    m.raw = std::vector<std::uint32_t>(12, 5);
    // Through a whole edition 0 message: "GRIB", then the PDS at octet 5,
    // no length and no edition; the values are not divided by 100.
    std::string one = make_grib1(m);
    std::string ed0 = "GRIB" + one.substr(8);
    std::vector<Product> got = read_msgs("ed0.grb", ed0 + ed0);
    ASSERT_EQ(got.size(), 2u);
    for (const Product &q : got) {
        EXPECT_EQ(q.rec.version, 0);
        ASSERT_EQ(q.vals.size(), 12u);
        EXPECT_FLOAT_EQ(q.vals[0], 5);
    }
    // The same message in edition 1 is scaled by 10^-2.
    got = read_msgs("ed1.grb", one);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].vals.size(), 12u);
    EXPECT_FLOAT_EQ(got[0].vals[0], 0.05f);
}

// Hand-made bulletins of all four header kinds around several messages,
// edition 1 and edition 2: every message decodes, the heading is kept and
// the file's kind is found.
TEST_F(Grib1, BulletinKindsAroundBothEditions) {
    Msg1 m;
    m.raw = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::string ed1 = make_grib1(m);
    const std::string ed2 =
        message2(sect1() + sect3_ll(3, 2, 50, 0, 49, 2, 0) + sect4(0, pds_head(Pds{})) +
                 sect5_simple(6, 0, 0, 0, 8) + sect6(255) + sect7({1, 2, 3, 4, 5, 6}, 8));
    const std::string head = "HTNA50 KWBC 051200";
    for (int ed : {1, 2}) {
        const std::string &msg = ed == 1 ? ed1 : ed2;
        // Package bulletins: "** " heading line; the message is followed
        // by one octet (edition 1) or four (edition 2).
        const std::string zup_trail = ed == 1 ? std::string("\n") : std::string("\r\r\n\x03", 4);
        std::string zup;
        for (int k = 0; k < 3; ++k) zup += "\r\n** " + head + " /p\n" + msg + zup_trail;
        // Data feed: SOH CR CR LF nnn CR CR LF heading CR CR LF; trailer
        // CR CR LF ETX.
        std::string feed;
        for (int k = 0; k < 3; ++k)
            feed += std::string("\x01\r\r\n", 4) + std::to_string(100 + k) + "\r\r\n" + head +
                    "\r\r\n" + msg + std::string("\r\r\n\x03", 4);
        // Old package header: "GRIB: <length>" counting from behind the
        // line to the end of the message; the next starts one octet on.
        std::string old;
        for (int k = 0; k < 3; ++k) {
            std::string body = std::string("\x01\r\r\n", 4) + "123\r\r\n" + head + "\r\r\n" + msg;
            old += "GRIB: " + std::to_string(body.size()) + "\n" + body + "\n";
        }
        std::string raw = msg + msg + msg;
        struct Case {
            const char *name;
            const std::string *bytes;
            int kind;
            const char *heading;
        } cases[] = {
            {"zup", &zup, GRIB_HDR_ZUP, "HTNA50 KWBC 051200"},
            {"feed", &feed, GRIB_HDR_FEED, "HTNA50 KWBC 051200"},
            {"old", &old, GRIB_HDR_OLDZUP, "HTNA50 KWBC 051200"},
            {"raw", &raw, GRIB_HDR_RAW, "GRIB01 KXXX 010000"},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " edition " + std::to_string(ed));
            std::string path = write_file(std::string("kind_") + c.name + std::to_string(ed) + ".grb",
                                           *c.bytes);
            std::vector<Product> got = read_all(path, 0);
            ASSERT_EQ(got.size(), 3u);
            for (const Product &q : got) {
                EXPECT_EQ(q.status, 0);
                EXPECT_EQ(q.rec.version, ed);
                EXPECT_EQ(q.rec.ltype, 100);
                EXPECT_EQ(q.rec.level, 500);
                ASSERT_FALSE(q.vals.empty());
                EXPECT_FLOAT_EQ(q.vals.front(), 1);  // rows north to south: stored as they come
            }
            // The kind and heading hold for every message, not only the first.
            int slot = open_first(path);
            ASSERT_GE(slot, 0);
            GRD_report rec;
            GRD_init(&rec);
            for (int k = 0; k < 3; ++k) {
                int num = k;
                ASSERT_EQ(GRD_read(slot, &rec, 1, &num), 0) << k;
                EXPECT_EQ(GRD_get_file(slot)->itype, c.kind) << k;
                EXPECT_STREQ(GRIB_get_wmo_header(), c.heading) << k;
            }
            GRD_close(slot);
        }
    }
}

// A package heading takes the line up to its line feed, carriage returns
// included, at most 30 characters, less the last three.  A data-feed
// heading counts only where the search begins: behind other bytes the
// message is found bare, with the default heading.
TEST_F(Grib1, HeadingsWhereTheSearchBegins) {
    Msg1 m;
    m.raw = std::vector<std::uint32_t>(12, 1);
    const std::string msg = make_grib1(m);
    const std::string feed =
        std::string("\x01\r\r\n", 4) + "042\r\r\nHTNA50 KWBC 051200\r\r\n" + msg + std::string("\r\r\n\x03", 4);
    const struct {
        std::string bytes;
        int kind;
        const char *heading;
    } cases[] = {
        {"** HTNA50 KWBC 051200 /p\n" + msg + "\n", GRIB_HDR_ZUP, "HTNA50 KWBC 051200"},
        {"** HTNA50 KWBC 051200 /p\r\n" + msg + "\n", GRIB_HDR_ZUP, "HTNA50 KWBC 051200 "},
        {"** ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\n" + msg + "\n", GRIB_HDR_ZUP, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0"},
        {feed, GRIB_HDR_FEED, "HTNA50 KWBC 051200"},
        {std::string("\n\x03", 2) + feed, GRIB_HDR_FEED, "HTNA50 KWBC 051200"},
        {"xyz" + feed, GRIB_HDR_RAW, "GRIB01 KXXX 010000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        int slot = open_first(write_file("heading.grb", c.bytes));
        ASSERT_GE(slot, 0);
        ASSERT_GT(GRIB_header(slot), 0);
        EXPECT_EQ(GRD_get_file(slot)->itype, c.kind);
        EXPECT_STREQ(GRIB_get_wmo_header(), c.heading);
        GRD_close(slot);
    }
}

}  // namespace
