// Bit reader: field extraction at odd offsets, bulk unpacking, and the
// bounds checks that keep truncated GRIB messages from reading past the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gbits.h"

namespace {

// Packs values of nbits each, big-endian, starting at bit offset start.
std::vector<std::uint8_t> pack(const std::vector<std::uint32_t> &vals, int nbits, int start) {
    std::size_t total = static_cast<std::size_t>(start) + vals.size() * static_cast<std::size_t>(nbits);
    std::vector<std::uint8_t> buf((total + 7) / 8, 0);
    std::size_t pos = static_cast<std::size_t>(start);
    for (std::uint32_t v : vals) {
        for (int b = nbits - 1; b >= 0; --b, ++pos)
            if ((v >> b) & 1u) buf[pos / 8] |= static_cast<std::uint8_t>(0x80u >> (pos % 8));
    }
    return buf;
}

TEST(Gbits, RoundTripsEveryWidthAtEveryOffset) {
    for (int nbits = 1; nbits <= 32; ++nbits) {
        for (int start = 0; start < 8; ++start) {
            std::vector<std::uint32_t> vals;
            std::uint64_t maxv = (nbits == 32) ? 0xFFFFFFFFull : ((1ull << nbits) - 1);
            for (std::uint32_t i = 0; i < 37; ++i)
                vals.push_back(static_cast<std::uint32_t>((i * 2654435761ull) & maxv));
            vals.push_back(static_cast<std::uint32_t>(maxv));
            auto buf = pack(vals, nbits, start);
            std::vector<std::uint32_t> out(vals.size());
            ASSERT_TRUE(gbits::unpack(buf.data(), buf.size(), static_cast<std::uint64_t>(start), nbits,
                                      vals.size(), out.data()))
                << nbits << " bits at " << start;
            EXPECT_EQ(out, vals) << nbits << " bits at " << start;
            std::uint32_t one = 0;
            ASSERT_TRUE(gbits::get(buf.data(), buf.size(),
                                   static_cast<std::uint64_t>(start + 5 * nbits), nbits, &one));
            EXPECT_EQ(one, vals[5]);
        }
    }
}

TEST(Gbits, RefusesFieldsPastTheEnd) {
    std::vector<std::uint8_t> buf = {0xFF, 0xFF};
    std::uint32_t v = 7;
    EXPECT_TRUE(gbits::get(buf.data(), buf.size(), 4, 12, &v));
    EXPECT_EQ(v, 0xFFFu);
    EXPECT_FALSE(gbits::get(buf.data(), buf.size(), 5, 12, &v));
    EXPECT_EQ(v, 0u);
    EXPECT_FALSE(gbits::get(buf.data(), buf.size(), 0, 33, &v));
    EXPECT_FALSE(gbits::get(buf.data(), buf.size(), 1000, 1, &v));

    std::vector<std::uint32_t> out(5, 99);
    EXPECT_FALSE(gbits::unpack(buf.data(), buf.size(), 0, 4, 5, out.data()));
    EXPECT_EQ(out, (std::vector<std::uint32_t>{15, 15, 15, 15, 0}));
}

TEST(Gbits, ZeroWidthFieldsAreZeroAndTakeNoSpace) {
    std::uint32_t out[3] = {1, 2, 3};
    EXPECT_TRUE(gbits::unpack(nullptr, 0, 0, 0, 3, out));
    EXPECT_EQ(out[0] + out[1] + out[2], 0u);
    gbits::Reader r(nullptr, 0);
    EXPECT_EQ(r.next(0), 0u);
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.next(1), 0u);
    EXPECT_TRUE(r.overrun());
}

TEST(Gbits, SignedOctetFieldsUseSignAndMagnitude) {
    const std::uint8_t neg[] = {0x80, 0x00, 0x05};
    EXPECT_EQ(gbits::s3(neg), -5);
    const std::uint8_t pos[] = {0x00, 0x01, 0x00};
    EXPECT_EQ(gbits::s3(pos), 256);
    const std::uint8_t n2[] = {0x81, 0x00};
    EXPECT_EQ(gbits::s2(n2), -256);
    const std::uint8_t n4[] = {0x80, 0, 0, 1};
    EXPECT_EQ(gbits::s4(n4), -1);
}

}  // namespace
