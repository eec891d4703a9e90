// gbits.cpp - bounded big-endian bit-field reads for the GRIB decoders.
#include "gbits.h"

#include <cstring>

namespace gbits {

namespace {

// Loads up to 8 bytes at byte offset off as a big-endian 64-bit word; bytes
// past the end of the buffer read as zero.
inline std::uint64_t load64(const std::uint8_t *buf, std::size_t len, std::size_t off) {
    std::uint64_t w = 0;
    if (off + 8 <= len) {
        std::uint8_t b[8];
        std::memcpy(b, buf + off, 8);
        for (int i = 0; i < 8; ++i) w = (w << 8) | b[i];
        return w;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        w <<= 8;
        if (off + i < len) w |= buf[off + i];
    }
    return w;
}

inline bool fits(std::size_t len, std::uint64_t pos, std::uint64_t nbits) {
    std::uint64_t total = static_cast<std::uint64_t>(len) * 8;
    return pos <= total && nbits <= total - pos;
}

}  // namespace

bool get(const std::uint8_t *buf, std::size_t len, std::uint64_t pos, int nbits,
         std::uint32_t *out) {
    *out = 0;
    if (nbits <= 0) return nbits == 0;
    if (nbits > 32 || !buf || !fits(len, pos, static_cast<std::uint64_t>(nbits))) return false;
    std::size_t off = static_cast<std::size_t>(pos >> 3);
    unsigned shift = static_cast<unsigned>(pos & 7);
    std::uint64_t w = load64(buf, len, off);
    *out = static_cast<std::uint32_t>((w << shift) >> (64 - nbits));
    return true;
}

bool unpack(const std::uint8_t *buf, std::size_t len, std::uint64_t pos, int nbits,
            std::size_t count, std::uint32_t *out) {
    if (count == 0) return true;
    if (nbits == 0) {
        std::memset(out, 0, count * sizeof(std::uint32_t));
        return true;
    }
    if (nbits < 0 || nbits > 32 || !buf) {
        std::memset(out, 0, count * sizeof(std::uint32_t));
        return false;
    }
    std::uint64_t total = static_cast<std::uint64_t>(len) * 8;
    std::size_t whole = 0;  // how many fields fit entirely
    if (pos <= total) whole = static_cast<std::size_t>((total - pos) / static_cast<unsigned>(nbits));
    std::size_t n = whole < count ? whole : count;

    if (nbits == 8 && (pos & 7) == 0) {
        const std::uint8_t *p = buf + (pos >> 3);
        for (std::size_t i = 0; i < n; ++i) out[i] = p[i];
    } else if (nbits == 16 && (pos & 7) == 0) {
        const std::uint8_t *p = buf + (pos >> 3);
        for (std::size_t i = 0; i < n; ++i) out[i] = (std::uint32_t{p[2 * i]} << 8) | p[2 * i + 1];
    } else {
        const unsigned drop = 64u - static_cast<unsigned>(nbits);
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t off = static_cast<std::size_t>(pos >> 3);
            unsigned shift = static_cast<unsigned>(pos & 7);
            out[i] = static_cast<std::uint32_t>((load64(buf, len, off) << shift) >> drop);
            pos += static_cast<unsigned>(nbits);
        }
    }
    if (n < count) {
        std::memset(out + n, 0, (count - n) * sizeof(std::uint32_t));
        return false;
    }
    return true;
}

}  // namespace gbits
