// Malformed edition 0/1 messages: cut at every section boundary and every
// octet, lengths overstated or zero, 2001-point rows, too many bits per
// value.  Reported, never a crash (the sanitizer build runs these).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grib.h"
#include "grib2_test_util.h"
#include "zupgrd.h"

using namespace gribtest;

namespace {

class Grib1Malformed : public ::testing::Test {
protected:
    void SetUp() override { setup_resources(); }
};

std::size_t u3at(const std::string &m, std::size_t at) {
    return (static_cast<unsigned char>(m[at]) << 16) | (static_cast<unsigned char>(m[at + 1]) << 8) |
           static_cast<unsigned char>(m[at + 2]);
}

// Offsets of PDS, GDS, BMS, BDS and the end mark of an edition 1 message.
std::vector<std::size_t> boundaries(const std::string &m) {
    std::vector<std::size_t> b{0, 8};
    std::size_t p = 8;
    int flag = static_cast<unsigned char>(m[15]);
    p += u3at(m, p);
    b.push_back(p);
    if (flag & 0x80) {
        p += u3at(m, p);
        b.push_back(p);
    }
    if (flag & 0x40) {
        p += u3at(m, p);
        b.push_back(p);
    }
    p += u3at(m, p);
    b.push_back(p);
    return b;
}

std::string first_message(const std::string &file) {
    std::string all = read_bytes(fixture(file));
    return all.substr(0, u3at(all, 4));
}

void read_quietly(const std::string &name, const std::string &bytes, int mode) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    std::vector<Product> p = read_all(write_bytes(name, bytes), mode, 20);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    for (const Product &q : p)
        if (!q.vals.empty()) {
            EXPECT_EQ(q.vals.size(), static_cast<std::size_t>(q.rec.domain.nx) * q.rec.domain.ny);
        }
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
                std::vector<Product> p = read_all(write_bytes("cut1.grb", part), 0, 3);
                // Only the end mark may be missing from a message that decodes.
                if (b != bs.back()) {
                    for (const Product &q : p) EXPECT_TRUE(q.vals.empty()) << "cut at " << cut;
                }
                read_quietly("cut1h.grb", part, 1);
            }
    }
    Msg1 small;
    small.bitmap = {1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 0, 1};
    small.raw = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::string m = make_grib1(small);
    for (std::size_t cut = 0; cut < m.size(); ++cut) {
        read_quietly("octet.grb", m.substr(0, cut), 0);
        read_quietly("octet.grb", m.substr(0, cut), 1);
    }
}

TEST_F(Grib1Malformed, LengthsOverstatedOrZero) {
    std::string m = first_message("eta_grib1_part.grb");
    std::vector<std::size_t> b = boundaries(m);
    for (std::size_t k = 1; k + 1 < b.size(); ++k) {
        for (std::uint32_t len : {0u, 3u, 0xffffffu, static_cast<std::uint32_t>(u3at(m, b[k]) + 9)}) {
            std::string bad = m;
            bad[b[k]] = static_cast<char>(len >> 16);
            bad[b[k] + 1] = static_cast<char>(len >> 8);
            bad[b[k] + 2] = static_cast<char>(len);
            read_quietly("len1.grb", bad + m, 0);
            read_quietly("len1.grb", bad + m, 1);
        }
    }
    // Message length overstated (beyond the limit) and understated.
    for (std::uint32_t len : {0u, 5u, 0x7fffffu}) {
        std::string bad = m;
        bad[4] = static_cast<char>(len >> 16);
        bad[5] = static_cast<char>(len >> 8);
        bad[6] = static_cast<char>(len);
        read_quietly("total1.grb", bad + m, 0);
    }
}

TEST_F(Grib1Malformed, RowsAndBitsBeyondLimits) {
    Msg1 thin;  // a thinned row of 2001 points
    thin.nx = 0xffff;
    thin.rows = {2, 2001, 3};
    thin.raw = {1, 2, 3};
    std::vector<Product> p = read_all(write_bytes("row2001.grb", make_grib1(thin)), 0);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_TRUE(p[0].vals.empty());

    Msg1 wide;  // 33 bits per value
    wide.raw = std::vector<std::uint32_t>(12, 1);
    std::string msg = make_grib1(wide);
    std::size_t bds = boundaries(msg)[3];
    msg[bds + 10] = 33;
    testing::internal::CaptureStderr();
    p = read_all(write_bytes("bits33.grb", msg), 0);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(p.size(), 1u);
    for (float v : p[0].vals) EXPECT_EQ(v, -9999);
    EXPECT_NE(err.find("GRIB_BDB: "), std::string::npos) << err;

    // A data section shorter than its values: the points past its end stay
    // missing.
    Msg1 few;
    few.raw = {1, 2, 3};
    p = read_all(write_bytes("few.grb", make_grib1(few)), 0);
    ASSERT_EQ(p.size(), 1u);
    ASSERT_EQ(p[0].vals.size(), 12u);
    EXPECT_EQ(p[0].vals[0], 1);
    EXPECT_EQ(p[0].vals[11], -9999);
}

TEST_F(Grib1Malformed, EditionZeroWithoutEndMark) {
    std::string all = read_bytes(fixture("edition0.grb"));
    std::string m = all.substr(0, all.find("GRIB", 4));
    std::string no_end = m.substr(0, m.size() - 4);
    read_quietly("noend.grb", no_end, 0);
    read_quietly("noend.grb", no_end + no_end, 1);
    read_quietly("noend.grb", "GRIB", 0);
}

}  // namespace
