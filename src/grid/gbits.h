// gbits.h - the bit reader shared by the GRIB edition 1 and 2 decoders.
//
// Values are unsigned big-endian bit fields of 0 to 32 bits at any bit offset.
// Every read is checked against the buffer length: a field that runs past the
// end reads as 0 and sets the reader's overrun flag, so a truncated message
// can never read outside its buffer.
#ifndef GBITS_H
#define GBITS_H

#include <cstddef>
#include <cstdint>

namespace gbits {

// Reads one field of nbits (0..32) starting at bit offset pos.
// Returns false (and *out = 0) when the field does not fit in len bytes.
bool get(const std::uint8_t *buf, std::size_t len, std::uint64_t pos, int nbits,
         std::uint32_t *out);

// Reads count consecutive fields of nbits (0..32) starting at bit offset pos
// into out[0..count-1].  Returns false, leaving out filled with zeros past the
// last complete field, when the fields run past the end of the buffer.
bool unpack(const std::uint8_t *buf, std::size_t len, std::uint64_t pos, int nbits,
            std::size_t count, std::uint32_t *out);

// Sequential reader over a byte buffer.
class Reader {
public:
    Reader(const std::uint8_t *buf, std::size_t len, std::uint64_t bitpos = 0)
        : buf_(buf), len_(len), pos_(bitpos) {}

    // Next nbits (0..32) as an unsigned value; 0 once the buffer is overrun.
    std::uint32_t next(int nbits) {
        std::uint32_t v = 0;
        if (!get(buf_, len_, pos_, nbits, &v)) overrun_ = true;
        pos_ += static_cast<std::uint64_t>(nbits < 0 ? 0 : nbits);
        return v;
    }
    // Next count fields into out; false when they do not all fit.
    bool next_n(int nbits, std::size_t count, std::uint32_t *out) {
        bool ok = unpack(buf_, len_, pos_, nbits, count, out);
        if (!ok) overrun_ = true;
        pos_ += static_cast<std::uint64_t>(nbits < 0 ? 0 : nbits) * count;
        return ok;
    }
    void skip(std::uint64_t nbits) { pos_ += nbits; }
    // Move to the next whole octet.
    void align() { pos_ = (pos_ + 7) & ~std::uint64_t{7}; }
    std::uint64_t pos() const { return pos_; }
    void seek(std::uint64_t bitpos) { pos_ = bitpos; }
    bool overrun() const { return overrun_; }

private:
    const std::uint8_t *buf_;
    std::size_t len_;
    std::uint64_t pos_;
    bool overrun_ = false;
};

// Octet helpers for fixed header fields (big-endian, unsigned).
inline std::uint32_t u2(const std::uint8_t *p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
inline std::uint32_t u3(const std::uint8_t *p) {
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}
inline std::uint32_t u4(const std::uint8_t *p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
           (std::uint32_t{p[2]} << 8) | p[3];
}
inline std::uint64_t u8(const std::uint8_t *p) {
    return (std::uint64_t{u4(p)} << 32) | u4(p + 4);
}
// GRIB signed integers: the top bit is the sign, the rest the magnitude.
inline int s1(const std::uint8_t *p) { return (p[0] & 0x80) ? -(p[0] & 0x7f) : p[0]; }
inline int s2(const std::uint8_t *p) {
    int v = static_cast<int>(u2(p) & 0x7fff);
    return (p[0] & 0x80) ? -v : v;
}
inline int s3(const std::uint8_t *p) {
    int v = static_cast<int>(u3(p) & 0x7fffff);
    return (p[0] & 0x80) ? -v : v;
}
inline int s4(const std::uint8_t *p) {
    int v = static_cast<int>(u4(p) & 0x7fffffffu);
    return (p[0] & 0x80) ? -v : v;
}

}  // namespace gbits

#endif  // GBITS_H
