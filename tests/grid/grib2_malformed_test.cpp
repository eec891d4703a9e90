// Malformed edition 2 messages: cut at every section boundary, lengths
// overstated or zero, counts overstated, group widths beyond 32 bits, a
// corrupt JPEG 2000 stream.  Every case is reported and never crashes (the
// sanitizer build runs these).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grib.h"
#include "grib2_test_util.h"
#include "zupgrd.h"

using namespace gribtest;

namespace {

class Grib2Malformed : public ::testing::Test {
protected:
    void SetUp() override { setup_resources(); }
};

struct Sect {
    std::size_t off, len;
    int num;
};

// Sections of the first edition 2 message in bytes (0 is the indicator).
std::vector<Sect> sections_of(const std::string &m) {
    std::vector<Sect> out{{0, 16, 0}};
    std::size_t p = 16;
    while (p + 5 <= m.size() && m.compare(p, 4, "7777") != 0) {
        std::size_t len = (static_cast<unsigned char>(m[p]) << 24) | (static_cast<unsigned char>(m[p + 1]) << 16) |
                          (static_cast<unsigned char>(m[p + 2]) << 8) | static_cast<unsigned char>(m[p + 3]);
        out.push_back({p, len, static_cast<unsigned char>(m[p + 4])});
        if (len < 5) break;
        p += len;
    }
    return out;
}

std::string first_message(const std::string &file) {
    std::string all = read_bytes(fixture(file));
    std::size_t len = 0;
    for (int i = 8; i < 16; ++i) len = (len << 8) | static_cast<unsigned char>(all[static_cast<std::size_t>(i)]);
    return all.substr(0, len);
}

void set_u4(std::string &m, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xff);
}

// Reads all products in both modes; true when no read produced values of
// another size than its grid.
void read_both_modes(const std::string &name, const std::string &bytes) {
    std::string path = write_bytes(name, bytes);
    for (int mode : {1, 0}) {
        std::vector<Product> p = read_all(path, mode, 50);
        for (const Product &q : p) {
            if (!q.vals.empty()) {
                EXPECT_EQ(q.vals.size(), static_cast<std::size_t>(q.rec.domain.nx) * q.rec.domain.ny);
            }
        }
    }
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
                testing::internal::CaptureStderr();
                std::string path = write_bytes("cut2.grb", m.substr(0, cut));
                std::vector<Product> p = read_all(path, 0, 5);
                testing::internal::GetCapturedStderr();
                // A cut message never yields a product with values.
                for (const Product &q : p) EXPECT_TRUE(q.vals.empty() || q.status != 0) << "cut " << cut;
            }
        }
        // Cut just before the end mark: the product itself is complete.
        std::string path = write_bytes("cut2.grb", m.substr(0, m.size() - 4));
        testing::internal::CaptureStderr();
        read_all(path, 0, 5);
        testing::internal::GetCapturedStderr();
    }
}

TEST_F(Grib2Malformed, EveryByteOfASmallMessage) {
    std::string m = message2(sect1() + sect3_ll(3, 2, 50, 0, 49, 2, 0) + sect4(0, pds_head(Pds{})) +
                             sect5_simple(6, 0, 0, 0, 8) + sect6(0, {1, 1, 0, 1, 1, 1}) +
                             sect7({1, 2, 3, 4, 5}, 8));
    for (std::size_t cut = 0; cut < m.size(); ++cut) {
        testing::internal::CaptureStderr();
        read_both_modes("byte.grb", m.substr(0, cut));
        testing::internal::GetCapturedStderr();
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
                set_u4(bad, secs[k].off, len);
                testing::internal::CaptureStderr();
                read_both_modes("len.grb", bad + bad);
                testing::internal::GetCapturedStderr();
            }
            // A section number beyond 8.
            std::string bad = m;
            bad[secs[k].off + 4] = 42;
            testing::internal::CaptureStderr();
            read_both_modes("num.grb", bad);
            testing::internal::GetCapturedStderr();
        }
        // Total length overstated and understated.
        for (std::uint64_t total : {std::uint64_t{17}, std::uint64_t{1} << 40, std::uint64_t{0}}) {
            std::string bad = m;
            for (int i = 0; i < 8; ++i)
                bad[static_cast<std::size_t>(8 + i)] = static_cast<char>((total >> (56 - 8 * i)) & 0xff);
            testing::internal::CaptureStderr();
            read_both_modes("total.grb", bad + m);
            testing::internal::GetCapturedStderr();
        }
    }
}

// Complex packing with overstated counts and group widths beyond 32 bits:
// reported, grid left missing.
TEST_F(Grib2Malformed, ComplexPackingCountsAndWidths) {
    std::string m = first_message("gfs_small.grb");
    std::vector<Sect> secs = sections_of(m);
    std::size_t s5 = 0;
    for (const Sect &s : secs)
        if (s.num == 5) s5 = s.off;
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
        for (int i = 0; i < p.width; ++i)
            bad[s5 + p.octet - 1 + static_cast<std::size_t>(i)] =
                static_cast<char>((p.value >> (8 * (p.width - 1 - i))) & 0xff);
        testing::internal::CaptureStderr();
        std::vector<Product> got = read_all(write_bytes("cplx.grb", bad), 0, 3);
        testing::internal::GetCapturedStderr();
        ASSERT_FALSE(got.empty()) << "octet " << p.octet;
        ASSERT_EQ(got[0].vals.size(), 144u * 73u) << "octet " << p.octet;
    }
}

TEST_F(Grib2Malformed, CorruptJpeg2000Stream) {
    std::string m = first_message("safrica_part.grib2");
    std::vector<Sect> secs = sections_of(m);
    std::size_t s7 = 0, l7 = 0;
    for (const Sect &s : secs)
        if (s.num == 7) {
            s7 = s.off;
            l7 = s.len;
        }
    ASSERT_GT(l7, 40u);
    std::string bad = m;
    for (std::size_t i = s7 + 5; i < s7 + l7; i += 3) bad[i] = static_cast<char>(bad[i] ^ 0x5a);
    testing::internal::CaptureStderr();
    std::vector<Product> got = read_all(write_bytes("j2k.grb", bad), 0, 1);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(got.size(), 1u);
    for (float v : got[0].vals) ASSERT_EQ(v, -9999);
    EXPECT_NE(err.find("jpc_decode error"), std::string::npos) << err;
    // The stream cut to a few octets.
    std::string shortj = m.substr(0, s7);
    std::string s7new = section(7, m.substr(s7 + 5, 10));
    shortj += s7new + "7777";
    set_u4(shortj, 12, static_cast<std::uint32_t>(shortj.size()));
    testing::internal::CaptureStderr();
    got = read_all(write_bytes("j2kshort.grb", shortj), 0, 1);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(got.size(), 1u);
    for (float v : got[0].vals) ASSERT_EQ(v, -9999);
}

TEST_F(Grib2Malformed, BitmapShorterThanTheGrid) {
    std::string m = message2(sect1() + sect3_ll(3, 2, 50, 0, 49, 2, 0) + sect4(0, pds_head(Pds{})) +
                             sect5_simple(6, 0, 0, 0, 8) + section(6, std::string(1, '\0')) +
                             sect7({1, 2, 3, 4, 5, 6}, 8));
    std::vector<Product> got = read_all(write_bytes("shortbm.grb", m), 0);
    ASSERT_EQ(got.size(), 1u);
    for (float v : got[0].vals) EXPECT_EQ(v, -9999);  // no bits: every point missing
}

}  // namespace

namespace {

// Start offsets of the whole messages of a file of either edition.
std::vector<std::size_t> message_starts(const std::string &all) {
    std::vector<std::size_t> at;
    std::size_t p = all.find("GRIB");
    while (p != std::string::npos && p + 16 <= all.size()) {
        at.push_back(p);
        std::uint64_t len = 0;
        if (all[p + 7] == 2) {
            for (int i = 8; i < 16; ++i) len = (len << 8) | static_cast<unsigned char>(all[p + i]);
        } else {
            len = (static_cast<unsigned char>(all[p + 4]) << 16) |
                  (static_cast<unsigned char>(all[p + 5]) << 8) | static_cast<unsigned char>(all[p + 6]);
        }
        p = all.find("GRIB", p + len);
    }
    return at;
}

// A file cut inside its third message: the two whole messages decode, and
// the reader says once, in either read mode, which message is damaged and
// how much of it is there.
TEST_F(Grib2Malformed, CutMessageIsReported) {
    for (const char *file : {"eta_part.grb", "eta_grib1_part.grb", "safrica_part.grib2"}) {
        SCOPED_TRACE(file);
        std::string all = read_bytes(fixture(file));
        std::vector<std::size_t> at = message_starts(all);
        ASSERT_GE(at.size(), 4u);
        const std::size_t whole = at[3] - at[2];
        for (std::size_t keep : {std::size_t{16}, whole / 3, whole - 5}) {
            std::string path = write_bytes("cut3.grb", all.substr(0, at[2] + keep));
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
