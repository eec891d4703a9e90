// Malformed GRIB messages of both editions: cut at every section boundary
// and every octet, lengths overstated or zero, counts and widths beyond
// their limits, corrupt compressed streams, files cut inside a message.
// Every case is reported and never crashes (the sanitizer build runs
// these).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grib.h"
#include "grib2_test_util.h"
#include "zupgrd.h"

using namespace gribtest;

namespace {

class GribMalformed : public ::testing::Test {
protected:
    void SetUp() override { reset_resources(); }
};
using Grib1Malformed = GribMalformed;
using Grib2Malformed = GribMalformed;

// Big-endian number of n octets at m[at].
std::uint64_t be(const std::string &m, std::size_t at, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | static_cast<unsigned char>(m[at + static_cast<std::size_t>(i)]);
    return v;
}

void put_be(std::string &m, std::size_t at, int n, std::uint64_t v) {
    for (int i = n - 1; i >= 0; --i, v >>= 8) m[at + static_cast<std::size_t>(i)] = static_cast<char>(v & 0xff);
}

// Length of the message of either edition at all[p].
std::size_t message_length(const std::string &all, std::size_t p) {
    return all[p + 7] == 2 ? be(all, p + 8, 8) : be(all, p + 4, 3);
}

std::string first_message(const std::string &file) {
    std::string all = read_file(fixture(file));
    return all.substr(0, message_length(all, 0));
}

// Offsets of PDS, GDS, BMS, BDS and the end mark of an edition 1 message.
std::vector<std::size_t> boundaries(const std::string &m) {
    std::vector<std::size_t> b{0, 8};
    std::size_t p = 8;
    int flag = static_cast<unsigned char>(m[15]);
    b.push_back(p += be(m, p, 3));
    if (flag & 0x80) b.push_back(p += be(m, p, 3));
    if (flag & 0x40) b.push_back(p += be(m, p, 3));
    b.push_back(p += be(m, p, 3));
    return b;
}

struct Sect {
    std::size_t off, len;
    int num;
};

// Sections of the first edition 2 message in bytes (0 is the indicator).
std::vector<Sect> sections_of(const std::string &m) {
    std::vector<Sect> out{{0, 16, 0}};
    std::size_t p = 16;
    while (p + 5 <= m.size() && m.compare(p, 4, "7777") != 0) {
        std::size_t len = be(m, p, 4);
        out.push_back({p, len, static_cast<unsigned char>(m[p + 4])});
        if (len < 5) break;
        p += len;
    }
    return out;
}

std::size_t section_at(const std::vector<Sect> &secs, int num) {
    for (const Sect &s : secs)
        if (s.num == num) return s.off;
    return 0;
}

// Products (at most limit) of the bytes read in the given mode, the
// reader's messages caught; a product with values has its grid's size.
std::vector<Product> read_quietly(const std::string &bytes, int mode, int limit = 20) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    std::vector<Product> p = read_all(write_file("malformed.grb", bytes), mode, limit);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    for (const Product &q : p)
        if (!q.vals.empty()) {
            EXPECT_EQ(q.vals.size(), static_cast<std::size_t>(q.rec.domain.nx) * q.rec.domain.ny);
        }
    return p;
}

void read_both_modes(const std::string &bytes) {
    read_quietly(bytes, 1, 50);
    read_quietly(bytes, 0, 50);
}

TEST_F(Grib1Malformed, CutAtEveryBoundaryAndOctet) {
    for (const char *file : {"eta_grib1_part.grb", "bitmap.grib1", "reduced_latlon.grib1"}) {
        SCOPED_TRACE(file);
        std::string m = first_message(file);
        std::vector<std::size_t> bs = boundaries(m);
        for (std::size_t b : bs)
            for (std::size_t cut : {b, b + 1, b + 3, b + 7}) {
                if (cut >= m.size()) continue;
                std::string part = m.substr(0, cut);
                std::vector<Product> p = read_all(write_file("cut1.grb", part), 0, 3);
                // Only the end mark may be missing from a message that decodes.
                if (b != bs.back()) {
                    for (const Product &q : p) EXPECT_TRUE(q.vals.empty()) << "cut at " << cut;
                }
                read_quietly(part, 1);
            }
    }
    Msg1 small;
    small.bitmap = {1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 0, 1};
    small.raw = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::string m = make_grib1(small);
    for (std::size_t cut = 0; cut < m.size(); ++cut) {
        read_quietly(m.substr(0, cut), 0);
        read_quietly(m.substr(0, cut), 1);
    }
}

TEST_F(Grib1Malformed, LengthsOverstatedOrZero) {
    std::string m = first_message("eta_grib1_part.grb");
    std::vector<std::size_t> b = boundaries(m);
    for (std::size_t k = 1; k + 1 < b.size(); ++k) {
        for (std::uint32_t len : {0u, 3u, 0xffffffu, static_cast<std::uint32_t>(be(m, b[k], 3) + 9)}) {
            std::string bad = m;
            put_be(bad, b[k], 3, len);
            read_quietly(bad + m, 0);
            read_quietly(bad + m, 1);
        }
    }
    // Message length overstated (beyond the limit) and understated.
    for (std::uint32_t len : {0u, 5u, 0x7fffffu}) {
        std::string bad = m;
        put_be(bad, 4, 3, len);
        read_quietly(bad + m, 0);
    }
}

TEST_F(Grib1Malformed, RowsAndBitsBeyondLimits) {
    Msg1 thin;  // a thinned row of 2001 points
    thin.nx = 0xffff;
    thin.rows = {2, 2001, 3};
    thin.raw = {1, 2, 3};
    std::vector<Product> p = read_all(write_file("row2001.grb", make_grib1(thin)), 0);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_TRUE(p[0].vals.empty());

    Msg1 wide;  // 33 bits per value
    wide.raw = std::vector<std::uint32_t>(12, 1);
    std::string msg = make_grib1(wide);
    std::size_t bds = boundaries(msg)[3];
    msg[bds + 10] = 33;
    testing::internal::CaptureStderr();
    p = read_all(write_file("bits33.grb", msg), 0);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(p.size(), 1u);
    for (float v : p[0].vals) EXPECT_EQ(v, -9999);
    EXPECT_NE(err.find("GRIB_BDB: "), std::string::npos) << err;

    // A data section shorter than its values: the points past its end stay
    // missing.
    Msg1 few;
    few.raw = {1, 2, 3};
    p = read_all(write_file("few.grb", make_grib1(few)), 0);
    ASSERT_EQ(p.size(), 1u);
    ASSERT_EQ(p[0].vals.size(), 12u);
    EXPECT_EQ(p[0].vals[0], 1);
    EXPECT_EQ(p[0].vals[11], -9999);
}

TEST_F(Grib1Malformed, EditionZeroWithoutEndMark) {
    std::string all = read_file(fixture("edition0.grb"));
    std::string m = all.substr(0, all.find("GRIB", 4));
    std::string no_end = m.substr(0, m.size() - 4);
    read_quietly(no_end, 0);
    read_quietly(no_end + no_end, 1);
    read_quietly("GRIB", 0);
}

TEST_F(Grib2Malformed, CutAtEverySectionBoundary) {
    for (const char *file : {"gfs_small.grb", "safrica_part.grib2", "eta_part.grb", "bitmap_simple.grb",
                             "reduced_latlon_surface.grib2"}) {
        SCOPED_TRACE(file);
        std::string m = first_message(file);
        std::vector<Sect> secs = sections_of(m);
        ASSERT_GE(secs.size(), 7u);
        for (const Sect &s : secs) {
            for (std::size_t cut : {s.off, s.off + 3, s.off + 5, s.off + s.len / 2}) {
                if (cut >= m.size()) continue;
                std::vector<Product> p = read_quietly(m.substr(0, cut), 0, 5);
                // A cut message never yields a product with values.
                for (const Product &q : p) EXPECT_TRUE(q.vals.empty() || q.status != 0) << "cut " << cut;
            }
        }
        // Cut just before the end mark: the product itself is complete.
        read_quietly(m.substr(0, m.size() - 4), 0, 5);
    }
}

TEST_F(Grib2Malformed, EveryByteOfASmallMessage) {
    std::string m = message2(sect1() + sect3_ll(3, 2, 50, 0, 49, 2, 0) + sect4(0, pds_head(Pds{})) +
                             sect5_simple(6, 0, 0, 0, 8) + sect6(0, {1, 1, 0, 1, 1, 1}) +
                             sect7({1, 2, 3, 4, 5}, 8));
    for (std::size_t cut = 0; cut < m.size(); ++cut) {
        read_both_modes(m.substr(0, cut));
    }
}

TEST_F(Grib2Malformed, LengthsOverstatedOrZero) {
    for (const char *file : {"gfs_small.grb", "eta_part.grb", "safrica_part.grib2"}) {
        SCOPED_TRACE(file);
        std::string m = first_message(file);
        std::vector<Sect> secs = sections_of(m);
        for (std::size_t k = 1; k < secs.size(); ++k) {
            for (std::uint32_t len : {0u, 4u, 0x7ffffff0u, 0xfffffff0u,
                                      static_cast<std::uint32_t>(secs[k].len + 7)}) {
                std::string bad = m;
                put_be(bad, secs[k].off, 4, len);
                read_both_modes(bad + bad);
            }
            // A section number beyond 8.
            std::string bad = m;
            bad[secs[k].off + 4] = 42;
            read_both_modes(bad);
        }
        // Total length overstated and understated.
        for (std::uint64_t total : {std::uint64_t{17}, std::uint64_t{1} << 40, std::uint64_t{0}}) {
            std::string bad = m;
            put_be(bad, 8, 8, total);
            read_both_modes(bad + m);
        }
    }
}

// Complex packing with overstated counts and group widths beyond 32 bits:
// reported, grid left missing.
TEST_F(Grib2Malformed, ComplexPackingCountsAndWidths) {
    std::string m = first_message("gfs_small.grb");
    std::vector<Sect> secs = sections_of(m);
    const std::size_t s5 = section_at(secs, 5);
    ASSERT_NE(s5, 0u);
    struct Patch {
        std::size_t octet;  // 1-based within section 5
        std::uint32_t value;
        int width;
    } patches[] = {
        {36, 40, 1},            // reference group width 40 bits
        {37, 31, 1},            // bits per group width: widths up to 2^31
        {32, 0x7fffffff, 4},    // number of groups
        {6, 0x7fffffff, 4},     // number of packed values
        {38, 0x7fffffff, 4},    // reference group length
        {43, 0x7fffffff, 4},    // last group length
        {47, 33, 1},            // bits per group length
        {20, 40, 1},            // bits per group reference
        {49, 9, 1},             // octets of the extra descriptors
        {48, 7, 1},             // order of spatial differencing
    };
    for (const Patch &p : patches) {
        std::string bad = m;
        put_be(bad, s5 + p.octet - 1, p.width, p.value);
        std::vector<Product> got = read_quietly(bad, 0, 3);
        ASSERT_FALSE(got.empty()) << "octet " << p.octet;
        ASSERT_EQ(got[0].vals.size(), 144u * 73u) << "octet " << p.octet;
    }
}

TEST_F(Grib2Malformed, CorruptJpeg2000Stream) {
    std::string m = first_message("safrica_part.grib2");
    std::vector<Sect> secs = sections_of(m);
    const std::size_t s7 = section_at(secs, 7), l7 = be(m, s7, 4);
    ASSERT_GT(l7, 40u);
    std::string bad = m;
    for (std::size_t i = s7 + 5; i < s7 + l7; i += 3) bad[i] = static_cast<char>(bad[i] ^ 0x5a);
    testing::internal::CaptureStderr();
    std::vector<Product> got = read_all(write_file("j2k.grb", bad), 0, 1);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(got.size(), 1u);
    for (float v : got[0].vals) ASSERT_EQ(v, -9999);
    EXPECT_NE(err.find("jpc_decode error"), std::string::npos) << err;
    // The stream cut to a few octets.
    std::string shortj = m.substr(0, s7);
    std::string s7new = section(7, m.substr(s7 + 5, 10));
    shortj += s7new + "7777";
    put_be(shortj, 12, 4, shortj.size());
    got = read_quietly(shortj, 0, 1);
    ASSERT_EQ(got.size(), 1u);
    for (float v : got[0].vals) ASSERT_EQ(v, -9999);
}

TEST_F(Grib2Malformed, BitmapShorterThanTheGrid) {
    std::string m = message2(sect1() + sect3_ll(3, 2, 50, 0, 49, 2, 0) + sect4(0, pds_head(Pds{})) +
                             sect5_simple(6, 0, 0, 0, 8) + section(6, std::string(1, '\0')) +
                             sect7({1, 2, 3, 4, 5, 6}, 8));
    std::vector<Product> got = read_all(write_file("shortbm.grb", m), 0);
    ASSERT_EQ(got.size(), 1u);
    for (float v : got[0].vals) EXPECT_EQ(v, -9999);  // no bits: every point missing
}

// A file cut inside its third message: the two whole messages decode, and
// the reader says once, in either read mode, which message is damaged and
// how much of it is there.
TEST_F(Grib2Malformed, CutMessageIsReported) {
    for (const char *file : {"eta_part.grb", "eta_grib1_part.grb", "safrica_part.grib2"}) {
        SCOPED_TRACE(file);
        std::string all = read_file(fixture(file));
        std::vector<std::size_t> at;
        for (std::size_t p = all.find("GRIB"); p != std::string::npos && p + 16 <= all.size();
             p = all.find("GRIB", p + message_length(all, p)))
            at.push_back(p);
        ASSERT_GE(at.size(), 4u);
        const std::size_t whole = at[3] - at[2];
        for (std::size_t keep : {std::size_t{16}, whole / 3, whole - 5}) {
            std::string path = write_file("cut3.grb", all.substr(0, at[2] + keep));
            const std::string says = "GRD_read: GRIB message 2 is cut short: " + std::to_string(keep) +
                                     " of " + std::to_string(whole) + " octets\n";
            for (int mode : {1, 0}) {
                testing::internal::CaptureStderr();
                std::vector<Product> p = read_all(path, mode, 10);
                std::string err = testing::internal::GetCapturedStderr();
                ASSERT_GE(p.size(), 2u) << "keep " << keep;
                if (mode == 0) {
                    EXPECT_FALSE(p[0].vals.empty());
                    EXPECT_FALSE(p[1].vals.empty());
                }
                std::size_t first = err.find(says);
                EXPECT_NE(first, std::string::npos) << "keep " << keep << " mode " << mode << ": " << err;
                if (first != std::string::npos) {
                    EXPECT_EQ(err.find(says, first + 1), std::string::npos) << "reported twice";
                }
            }
        }
        // The whole file says nothing of the kind.
        testing::internal::CaptureStderr();
        read_all(fixture(file), 1, 10);
        EXPECT_EQ(testing::internal::GetCapturedStderr().find("cut short"), std::string::npos);
    }
}

}  // namespace
