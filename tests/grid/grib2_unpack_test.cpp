// Packing decoders: simple, complex, spatial differencing and run-length
// streams built bit by bit, the refusals of malformed streams, and real
// section-7 payloads of the sample files compared with eccodes' values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "unpack.h"
#include "zup.h"

namespace {

constexpr float MISS = -9999.0f;

// Writes big-endian bit fields.
class BitWriter {
public:
    void put(std::uint64_t v, int nbits) {
        for (int b = nbits - 1; b >= 0; --b) {
            if (pos_ % 8 == 0) buf_.push_back(0);
            if ((v >> b) & 1u) buf_.back() |= static_cast<std::uint8_t>(0x80u >> (pos_ % 8));
            ++pos_;
        }
    }
    void octets(std::uint64_t v, int n) { put(v, 8 * n); }
    void align() { pos_ = (pos_ + 7) & ~std::size_t{7}; }
    std::vector<std::uint8_t> bytes() const { return buf_; }

private:
    std::vector<std::uint8_t> buf_;
    std::size_t pos_ = 0;
};

UNPACK_params simple_params(int n, int nbits, double ref = 0, int e = 0, int d = 0) {
    UNPACK_params p;
    UNPACK_clear_params(&p);
    p.drs_temp = DRS_SIMPLE;
    p.data_pnts = n;
    p.num_bits = nbits;
    p.ref = ref;
    p.sfac = std::ldexp(1.0, e);
    p.dscale = std::pow(10.0, -d);
    return p;
}

// One group of a complex-packed stream: reference, width and the packed
// (already reference-subtracted) values.
struct Group {
    std::uint32_t ref;
    int width;
    std::vector<std::uint32_t> vals;
};

// Builds a complex-packing stream with group lengths coded as
// ref_glen + k * inc_glen (the last one given as last_glen).
struct ComplexStream {
    UNPACK_params p;
    std::vector<std::uint8_t> data;
};

ComplexStream build_complex(const std::vector<Group> &groups, int miss_type, int order,
                            std::vector<std::int64_t> descriptors = {}, int spat_bytes = 2,
                            int nb_gref = 12, int nb_gwidth = 6, int nb_glen = 8) {
    ComplexStream s;
    UNPACK_params &p = s.p;
    UNPACK_clear_params(&p);
    p.drs_temp = order > 0 ? DRS_COMPLEX_SPATIAL : DRS_COMPLEX;
    p.ref = 0;
    p.sfac = 1;
    p.dscale = 1;
    p.miss_type = miss_type;
    p.num_group = static_cast<int>(groups.size());
    p.num_bits_gref = nb_gref;
    p.num_bits_gwidth = nb_gwidth;
    p.num_bits_glen = nb_glen;
    p.ref_gwidth = 1;  // exercised: widths are coded relative to 1 (0-width groups need none)
    p.ref_glen = 1;
    p.inc_glen = 1;
    int n = 0;
    for (const auto &g : groups) n += static_cast<int>(g.vals.size());
    p.data_pnts = n;
    p.last_glen = static_cast<int>(groups.back().vals.size());
    if (order > 0) {
        p.order = order;
        p.spat_bytes = spat_bytes;
    }
    // Width 0 groups still need ref_gwidth 0: use it only when all widths >= 1.
    bool any_zero = false;
    for (const auto &g : groups) any_zero |= g.width == 0;
    if (any_zero) p.ref_gwidth = 0;

    BitWriter w;
    for (std::int64_t d : descriptors) {
        std::uint64_t mag = static_cast<std::uint64_t>(d < 0 ? -d : d);
        if (d < 0) mag |= std::uint64_t{1} << (8 * spat_bytes - 1);
        w.octets(mag, spat_bytes);
    }
    for (const auto &g : groups) w.put(g.ref, nb_gref);
    w.align();
    for (const auto &g : groups) w.put(static_cast<std::uint32_t>(g.width - p.ref_gwidth), nb_gwidth);
    w.align();
    for (const auto &g : groups) w.put(g.vals.size() - 1, nb_glen);  // last is ignored
    w.align();
    for (const auto &g : groups)
        for (std::uint32_t v : g.vals) w.put(v, g.width);
    s.data = w.bytes();
    return s;
}

std::vector<float> decode_ok(const UNPACK_params &p, const std::vector<std::uint8_t> &d,
                             std::size_t max_pts = 1000000, UNPACK_out *full = nullptr) {
    UNPACK_out out;
    int rc = UNPACK_data(p, d.data(), d.size(), max_pts, &out);
    EXPECT_EQ(rc, 0) << out.msg;
    EXPECT_TRUE(out.msg.empty());
    if (full) *full = out;
    return out.values;
}

std::string decode_fail(const UNPACK_params &p, const std::vector<std::uint8_t> &d,
                        std::size_t max_pts = 1000000) {
    UNPACK_out out;
    out.values.assign(3, 1.0f);
    int rc = UNPACK_data(p, d.data(), d.size(), max_pts, &out);
    EXPECT_EQ(rc, -1);
    EXPECT_TRUE(out.values.empty());
    EXPECT_FALSE(out.msg.empty());
    return out.msg;
}

// ---------------------------------------------------------------- simple

TEST(UnpackSimple, AppliesReferenceBinaryAndDecimalScale) {
    BitWriter w;
    const std::vector<std::uint32_t> x = {0, 1, 2, 1000, 8191, 17};
    for (auto v : x) w.put(v, 13);
    // (X * 2^-1 + 250) * 10^-1
    auto p = simple_params(6, 13, 250.0, -1, 1);
    auto v = decode_ok(p, w.bytes());
    ASSERT_EQ(v.size(), x.size());
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_FLOAT_EQ(v[i], (x[i] * 0.5f + 250.0f) / 10.0f);
}

TEST(UnpackSimple, ZeroBitsGiveTheReferenceEverywhere) {
    auto p = simple_params(5, 0, 271.5, 3, 0);
    auto v = decode_ok(p, {});
    EXPECT_EQ(v, std::vector<float>(5, 271.5f));
}

TEST(UnpackSimple, ThirtyTwoBitValues) {
    BitWriter w;
    w.put(0xFFFFFFFFu, 32);
    w.put(0x80000001u, 32);
    auto v = decode_ok(simple_params(2, 32), w.bytes());
    ASSERT_EQ(v.size(), 2u);
    EXPECT_FLOAT_EQ(v[0], 4294967295.0f);
    EXPECT_FLOAT_EQ(v[1], 2147483649.0f);
}

TEST(UnpackSimple, RefusesCountsTheSectionCannotHoldAndWideValues) {
    BitWriter w;
    for (int i = 0; i < 10; ++i) w.put(static_cast<std::uint32_t>(i), 12);  // 15 octets
    auto d = w.bytes();
    EXPECT_EQ(decode_ok(simple_params(10, 12), d).size(), 10u);
    EXPECT_NE(decode_fail(simple_params(11, 12), d).find("overrun"), std::string::npos);
    EXPECT_NE(decode_fail(simple_params(10, 33), d).find("33 bits"), std::string::npos);
    EXPECT_NE(decode_fail(simple_params(10, 12), d, 9).find("grid of 9 points"), std::string::npos);
    // Every truncation of the stream is refused, none read past the end.
    for (std::size_t cut = 0; cut < d.size(); ++cut) {
        std::vector<std::uint8_t> t(d.begin(), d.begin() + static_cast<long>(cut));
        decode_fail(simple_params(10, 12), t);
    }
}

// ---------------------------------------------------------------- complex

TEST(UnpackComplex, GroupsOfDifferentWidthsIncludingConstantGroups) {
    auto s = build_complex({{100, 3, {0, 7, 2}}, {5, 0, {0, 0, 0, 0}}, {4000, 12, {4095, 1}}}, 0, 0);
    s.p.ref = -10;
    s.p.sfac = 2;
    s.p.dscale = 0.1;
    auto v = decode_ok(s.p, s.data);
    std::vector<double> x = {100, 107, 102, 5, 5, 5, 5, 8095, 4001};
    ASSERT_EQ(v.size(), x.size());
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_FLOAT_EQ(v[i], static_cast<float>((x[i] * 2 - 10) * 0.1));
}

TEST(UnpackComplex, FirstOrderSpatialDifferencing) {
    // Field 50, 52, 51, 55, 55, 60; differences 2, -1, 4, 0, 5; minimum -1.
    // Packed: first value slot (ignored), then difference - minimum.
    auto s = build_complex({{0, 3, {0, 3, 0}}, {1, 3, {4, 0, 5}}}, 0, 1, {50, -1});
    auto v = decode_ok(s.p, s.data);
    EXPECT_EQ(v, (std::vector<float>{50, 52, 51, 55, 55, 60}));
}

TEST(UnpackComplex, SecondOrderSpatialDifferencing) {
    // Field 10, 12, 15, 15, 11, 20.  Second differences from the third value:
    // 15-2*12+10 = 1, 15-30+12 = -3, 11-30+15 = -4, 20-22+15 = 13; minimum -4.
    auto s = build_complex({{0, 5, {0, 0, 5, 1}}, {0, 5, {0, 17}}}, 0, 2, {10, 12, -4}, 1);
    auto v = decode_ok(s.p, s.data);
    EXPECT_EQ(v, (std::vector<float>{10, 12, 15, 15, 11, 20}));
}

TEST(UnpackComplex, PrimaryMissingValuesInGroupsAndWholeGroups) {
    // Width-3 group: 7 is missing.  A width-0 group whose reference is all
    // ones (12 bits) is missing throughout.
    auto s = build_complex({{10, 3, {1, 7, 2}}, {4095, 0, {0, 0}}, {20, 2, {3, 0}}}, 1, 0);
    UNPACK_out out;
    auto v = decode_ok(s.p, s.data, 1000, &out);
    EXPECT_TRUE(out.miss_managed);
    EXPECT_EQ(v, (std::vector<float>{11, MISS, 12, MISS, MISS, MISS, 20}));
}

TEST(UnpackComplex, SecondaryMissingValues) {
    // All ones minus one is the second kind; without management type 2 it is
    // an ordinary value.
    auto s = build_complex({{10, 3, {6, 7, 1}}, {4094, 0, {0}}, {4093, 0, {0}}}, 2, 0);
    auto v = decode_ok(s.p, s.data);
    EXPECT_EQ(v, (std::vector<float>{MISS, MISS, 11, MISS, 4093}));
    s.p.miss_type = 1;
    v = decode_ok(s.p, s.data);
    EXPECT_EQ(v, (std::vector<float>{16, MISS, 11, 4094, 4093}));
}

TEST(UnpackComplex, MissingValuesTakeNoPartInTheDifferencing) {
    // Field 50, M, 52, M, M, 51 with first-order differencing over the
    // present values 50, 52, 51: differences 2, -1, minimum -1.
    // Width 3: 7 marks the missing points.
    auto s = build_complex({{0, 3, {0, 7, 3}}, {0, 3, {7, 7, 0}}}, 1, 1, {50, -1});
    auto v = decode_ok(s.p, s.data);
    EXPECT_EQ(v, (std::vector<float>{50, MISS, 52, MISS, MISS, 51}));
}

TEST(UnpackComplex, OrderZeroInTheSpatialTemplateIsPlainComplexPacking) {
    auto s = build_complex({{100, 4, {1, 2, 3}}}, 0, 0);
    s.p.drs_temp = DRS_COMPLEX_SPATIAL;
    s.p.order = 0;
    s.p.spat_bytes = 0;
    EXPECT_EQ(decode_ok(s.p, s.data), (std::vector<float>{101, 102, 103}));
}

TEST(UnpackComplex, RefusesMalformedDescriptions) {
    auto good = build_complex({{10, 5, {1, 2, 3}}, {3, 6, {60, 2}}}, 0, 1, {7, -2});
    EXPECT_EQ(decode_ok(good.p, good.data).size(), 5u);

    const struct {
        void (*damage)(UNPACK_params &);
        const char *says;  // a part of the message, or nullptr
    } cases[] = {
        {[](UNPACK_params &p) { p.ref_gwidth = 28; }, "bits wide"},  // widths 32 and 33 bits
        {[](UNPACK_params &p) { p.num_bits_gwidth = 40; }, "at most 32"},
        {[](UNPACK_params &p) { p.num_bits_gref = 33; }, nullptr},
        {[](UNPACK_params &p) { p.data_pnts = 4; }, "more than"},  // group lengths add up to 5
        {[](UNPACK_params &p) { p.num_group = 9; }, nullptr},      // more groups than values
        {[](UNPACK_params &p) { p.num_group = p.data_pnts = 0x7fffffff; }, nullptr},
        {[](UNPACK_params &p) { p.last_glen = 1000; }, nullptr},
        {[](UNPACK_params &p) { p.order = 3; }, nullptr},
        {[](UNPACK_params &p) { p.spat_bytes = 0; }, nullptr},
        {[](UNPACK_params &p) { p.miss_type = 3; }, nullptr},
    };
    for (const auto &c : cases) {
        UNPACK_params p = good.p;
        c.damage(p);
        std::string msg = decode_fail(p, good.data);
        if (c.says) {
            EXPECT_NE(msg.find(c.says), std::string::npos) << msg;
        }
    }
    EXPECT_NE(decode_fail(good.p, good.data, 4).find("grid of 4 points"), std::string::npos);

    for (std::size_t cut = 0; cut < good.data.size(); ++cut) {
        std::vector<std::uint8_t> t(good.data.begin(), good.data.begin() + static_cast<long>(cut));
        decode_fail(good.p, t);
    }
}

TEST(UnpackComplex, NoGroupsIsAConstantField) {
    // As the GFS sample's ice-pellet field: no groups, an empty data section
    // even though section 5 announces differencing descriptors.
    auto s = build_complex({{1, 1, {0}}}, 0, 1, {0, 0});
    s.p.data_pnts = 0;
    s.p.num_group = 0;
    EXPECT_TRUE(decode_ok(s.p, {}).empty());
    s.p.data_pnts = 3;
    s.p.ref = 5;
    s.p.dscale = 0.1;
    EXPECT_EQ(decode_ok(s.p, {}), std::vector<float>(3, 0.5f));
}

// ---------------------------------------------------------------- run-length

UNPACK_params run_params(int nbits, int max_val, std::vector<float> levels, int n) {
    UNPACK_params p;
    UNPACK_clear_params(&p);
    p.drs_temp = DRS_RUN_LENGTH;
    p.num_bits = nbits;
    p.max_val = max_val;
    p.num_map = static_cast<int>(levels.size());
    p.levels = std::move(levels);
    p.data_pnts = n;
    return p;
}

TEST(UnpackRunLength, LevelsRunsAndDigitsInTheRemainingBase) {
    // 4 bits, max_val 3: digits are 4..15, base 12.
    // level 1 once; level 2 with run 1 + 2 = 3; level 0 (missing) with run
    // 1 + 1 + 12*1 = 14; level 3 with run 1 + 11 = 12... cut at 20 points.
    BitWriter w;
    for (std::uint32_t v : {1u, 2u, 6u, 0u, 5u, 5u, 3u, 15u}) w.put(v, 4);
    auto p = run_params(4, 3, {1.5f, 2.5f, 3.5f}, 20);
    auto v = decode_ok(p, w.bytes());
    std::vector<float> want = {1.5f, 2.5f, 2.5f, 2.5f};
    want.insert(want.end(), 14, MISS);
    want.insert(want.end(), 2, 3.5f);
    EXPECT_EQ(v, want);
}

TEST(UnpackRunLength, ReadFromSectionFiveWithDecimalScale) {
    // Section 5 of template 5.200: 8 bits, max_val 2, two levels 125 and
    // 300 with decimal scale 1.
    std::vector<std::uint8_t> sec = {0, 0, 0, 21, 5, 0, 0, 0, 9, 0, 200, 8, 0, 2, 0, 2, 1,
                                     0, 125, 1, 44};
    UNPACK_params p;
    ASSERT_EQ(UNPACK_read_drs(sec.data(), sec.size(), &p), 0);
    EXPECT_EQ(p.drs_temp, 200);
    EXPECT_EQ(p.data_pnts, 9);
    EXPECT_EQ(p.max_val, 2);
    EXPECT_EQ(p.num_map, 2);
    ASSERT_EQ(p.levels.size(), 2u);
    EXPECT_FLOAT_EQ(p.levels[0], 12.5f);
    EXPECT_FLOAT_EQ(p.levels[1], 30.0f);
    // 2 with run 1 + 4 = 5, then 1 with run 1 + 0 + 253*1 cut at 9 points.
    std::vector<std::uint8_t> d = {2, 7, 1, 3, 4};
    auto v = decode_ok(p, d);
    EXPECT_EQ(v, (std::vector<float>{30, 30, 30, 30, 30, 12.5f, 12.5f, 12.5f, 12.5f}));
    // A table shorter than num_map says is refused.
    sec.pop_back();
    EXPECT_EQ(UNPACK_read_drs(sec.data(), sec.size(), &p), -1);
}

TEST(UnpackRunLength, RefusesBadWidthsAndNeverRunsPastTheGrid) {
    decode_fail(run_params(0, 3, {1}, 5), {1, 2});
    decode_fail(run_params(17, 3, {1}, 5), {1, 2});
    decode_fail(run_params(4, 16, {1}, 5), {1, 2});
    // Huge digits: the run is cut at max_pts.
    std::vector<std::uint8_t> d = {1, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    auto v = decode_ok(run_params(8, 1, {4.0f}, 1000000), d, 50);
    EXPECT_EQ(v, std::vector<float>(50, 4.0f));
}

TEST(UnpackRunLength, DebugTraceNamesTheTemplateAndTheRuns) {
    BitWriter w;
    for (std::uint32_t v : {1u, 6u, 2u}) w.put(v, 4);
    auto p = run_params(4, 3, {1.5f, 2.5f}, 4);  // the padding nibble is not a point
    MESS_set(1, 0x40000000L);
    ::testing::internal::CaptureStdout();
    auto v = decode_ok(p, w.bytes());
    std::string text = ::testing::internal::GetCapturedStdout();
    MESS_set(-1, 0x40000000L);
    EXPECT_EQ(v, (std::vector<float>{1.5f, 1.5f, 1.5f, 2.5f}));
    EXPECT_NE(text.find("Template 7.200\n"), std::string::npos) << text;
    EXPECT_NE(text.find("cnt = 3 new_val = 2 val = 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("num = 1 mult = 1 new_val = 6\n"), std::string::npos) << text;
    // Without the debug class nothing is printed.
    ::testing::internal::CaptureStdout();
    decode_ok(p, w.bytes());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

// ---------------------------------------------------------------- section 5

TEST(UnpackDrs, ReadsEveryComplexPackingField) {
    // A hand-made template 5.3 section.
    std::vector<std::uint8_t> sec = {0, 0, 0, 49, 5,                // length, number
                                     0, 0, 0x29, 0x10,              // 10512 values
                                     0, 3,                          // template
                                     0x45, 0xa2, 0x8f, 0x00,        // R = 5201.875
                                     0x80, 3,                       // E = -3
                                     0, 1,                          // D = 1
                                     15, 0, 1, 2,                   // gref bits, type, split, miss
                                     0x41, 0x20, 0, 0,              // miss1 = 10
                                     0x41, 0xa0, 0, 0,              // miss2 = 20
                                     0, 0, 1, 44,                   // 300 groups
                                     2, 4,                          // ref width, width bits
                                     0, 0, 0, 9, 3,                 // ref length, increment
                                     0, 0, 0, 17, 7,                // last length, length bits
                                     2, 2};                         // order, octets
    UNPACK_params p;
    ASSERT_EQ(UNPACK_read_drs(sec.data(), sec.size(), &p), 0);
    EXPECT_EQ(p.data_pnts, 10512);
    EXPECT_EQ(p.drs_temp, 3);
    EXPECT_DOUBLE_EQ(p.ref, 5201.875);
    EXPECT_DOUBLE_EQ(p.sfac, 0.125);
    EXPECT_DOUBLE_EQ(p.dscale, 0.1);
    EXPECT_EQ(p.num_bits_gref, 15);
    EXPECT_EQ(p.data_type, 0);
    EXPECT_EQ(p.split_method, 1);
    EXPECT_EQ(p.miss_type, 2);
    EXPECT_DOUBLE_EQ(p.miss1, 10.0);
    EXPECT_DOUBLE_EQ(p.miss2, 20.0);
    EXPECT_EQ(p.num_group, 300);
    EXPECT_EQ(p.ref_gwidth, 2);
    EXPECT_EQ(p.num_bits_gwidth, 4);
    EXPECT_EQ(p.ref_glen, 9);
    EXPECT_EQ(p.inc_glen, 3);
    EXPECT_EQ(p.last_glen, 17);
    EXPECT_EQ(p.num_bits_glen, 7);
    EXPECT_EQ(p.order, 2);
    EXPECT_EQ(p.spat_bytes, 2);
    for (std::size_t cut = 11; cut < sec.size(); ++cut)
        EXPECT_EQ(UNPACK_read_drs(sec.data(), cut, &p), -1) << cut;
}

TEST(UnpackDrs, DispatcherNamesAnUnsupportedTemplate) {
    UNPACK_params p;
    UNPACK_clear_params(&p);
    p.drs_temp = 51;
    EXPECT_EQ(UNPACK_supported(51), 0);
    EXPECT_EQ(UNPACK_supported(3), 1);
    EXPECT_EQ(UNPACK_supported(40000), 1);
    EXPECT_EQ(decode_fail(p, {1, 2, 3}), "unsupported data representation template 51\n");
}

// ---------------------------------------------------------------- real data

std::vector<std::uint8_t> slurp(const std::string &name) {
    std::ifstream f(std::string(RAZIVA_TEST_DATA_DIR) + "/unpack/" + name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), {});
}

struct Sample {
    const char *name;
    int drs;
    bool miss_managed;
};

// Each fixture holds section 5 followed by section 7 of one product; the
// .f32 file holds eccodes' values of its packed points (with -9999 where the
// product itself flags a point missing).
class UnpackSamples : public ::testing::TestWithParam<Sample> {};

TEST_P(UnpackSamples, MatchEccodesValues) {
    const Sample &s = GetParam();
    auto sec = slurp(std::string(s.name) + ".sec");
    auto ref = slurp(std::string(s.name) + ".f32");
    ASSERT_GT(sec.size(), 20u) << s.name;
    std::vector<float> want(ref.size() / 4);
    std::memcpy(want.data(), ref.data(), want.size() * 4);

    std::size_t l5 = (std::size_t{sec[0]} << 24) | (std::size_t{sec[1]} << 16) | (sec[2] << 8) | sec[3];
    ASSERT_LE(l5 + 5, sec.size());
    ASSERT_EQ(sec[4], 5);
    ASSERT_EQ(sec[l5 + 4], 7);
    UNPACK_params p;
    ASSERT_EQ(UNPACK_read_drs(sec.data(), l5, &p), 0);
    EXPECT_EQ(p.drs_temp, s.drs);
    const std::uint8_t *d7 = sec.data() + l5 + 5;
    std::size_t n7 = sec.size() - l5 - 5;

    UNPACK_out out;
    ASSERT_EQ(UNPACK_data(p, d7, n7, want.size(), &out), 0) << out.msg;
    EXPECT_EQ(out.miss_managed, s.miss_managed);
    if (std::string(s.name).find("bitmap") != std::string::npos) {
        EXPECT_EQ(out.height, 1);  // bitmapped products are value lists
    }
    ASSERT_EQ(out.values.size(), want.size());
    int bad = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        float tol = 1e-6f * std::max(1.0f, std::fabs(want[i]));
        if (std::fabs(out.values[i] - want[i]) > tol && ++bad < 5)
            ADD_FAILURE() << s.name << " point " << i << ": " << out.values[i] << " vs " << want[i];
    }
    EXPECT_EQ(bad, 0);

    // Any cut of the payload is either refused or decoded, never read past.
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, n7 / 3, n7 / 2, n7 - 1}) {
        if (cut >= n7) continue;
        std::vector<std::uint8_t> t(d7, d7 + cut);
        UNPACK_out o2;
        int rc = UNPACK_data(p, t.data(), t.size(), want.size(), &o2);
        if (rc != 0) {
            EXPECT_FALSE(o2.msg.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grib2, UnpackSamples,
    ::testing::Values(Sample{"gfs_gh500_sd1", 3, false}, Sample{"gfs_tsoil_bitmap", 3, false},
                      Sample{"dspr_tmax_sd2_miss", 3, true}, Sample{"eta_mslet_simple", 0, false},
                      Sample{"eta_mslet_sd0", 3, false}, Sample{"safrica_pwat_jpeg", 40, false},
                      Sample{"safrica_prate_const", 40, false}, Sample{"gfs_gh500_png", 41, false},
                      Sample{"gfs_gh500_ccsds", 42, false}, Sample{"gfs_gh500_jpeg", 40, false},
                      Sample{"gfs_gh500_complex", 2, false}, Sample{"gfs_gh500_simple", 0, false},
                      Sample{"gfs_tsoil_bitmap_png", 41, false},
                      Sample{"gfs_tsoil_bitmap_jpeg", 40, false},
                      Sample{"gfs_tsoil_bitmap_ccsds", 42, false}),
    [](const ::testing::TestParamInfo<Sample> &i) { return std::string(i.param.name); });

// Random section-5 descriptions and damaged payloads over a real product:
// every decode either succeeds within the grid or is refused with a
// message (the sanitizer build catches any read or write out of bounds).
TEST(UnpackSamples, RandomDescriptionsAndDamageAreSafe) {
    for (const char *name : {"gfs_gh500_sd1", "dspr_tmax_sd2_miss", "gfs_gh500_complex"}) {
        auto sec = slurp(std::string(name) + ".sec");
        ASSERT_GT(sec.size(), 49u);
        std::size_t l5 = (std::size_t{sec[2]} << 8) | sec[3];
        UNPACK_params base;
        ASSERT_EQ(UNPACK_read_drs(sec.data(), l5, &base), 0);
        std::vector<std::uint8_t> d7(sec.begin() + static_cast<long>(l5) + 5, sec.end());
        const std::size_t max_pts = static_cast<std::size_t>(base.data_pnts);
        std::uint64_t rnd = 12345;
        auto next = [&rnd](std::uint64_t m) {
            rnd = rnd * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<int>((rnd >> 33) % m);
        };
        int ok = 0, refused = 0;
        for (int it = 0; it < 400; ++it) {
            UNPACK_params p = base;
            switch (next(10)) {
            case 0: p.num_group = next(3) ? next(100000) : base.num_group + next(5) - 2; break;
            case 1: p.num_bits_gwidth = next(40); break;
            case 2: p.ref_gwidth = next(256); break;
            case 3: p.ref_glen = next(3) ? next(50) : 0x7fffffff; break;
            case 4: p.inc_glen = next(256); break;
            case 5: p.last_glen = next(1000); break;
            case 6: p.order = next(4); p.spat_bytes = next(6); break;
            case 7: p.miss_type = next(3); break;
            case 8: p.num_bits_gref = next(40); p.num_bits_glen = next(40); break;
            default: p.data_pnts = next(static_cast<std::uint64_t>(max_pts) + 10); break;
            }
            std::vector<std::uint8_t> d = d7;
            if (next(2)) d.resize(static_cast<std::size_t>(next(d.size() + 1)));
            for (int k = next(4); k > 0 && !d.empty(); --k)
                d[static_cast<std::size_t>(next(d.size()))] ^= static_cast<std::uint8_t>(1 + next(255));
            UNPACK_out out;
            int rc = UNPACK_data(p, d.data(), d.size(), max_pts, &out);
            if (rc == 0) {
                ++ok;
                EXPECT_LE(out.values.size(), max_pts);
                EXPECT_TRUE(out.msg.empty());
            } else {
                ++refused;
                EXPECT_EQ(rc, -1);
                EXPECT_TRUE(out.values.empty());
                EXPECT_FALSE(out.msg.empty());
            }
        }
        EXPECT_GT(ok, 0) << name;
        EXPECT_GT(refused, 0) << name;
    }
}

}  // namespace
