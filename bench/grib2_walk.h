// grib2_walk.h - reads GRIB messages one by one and finds the sections of
// each edition 2 product, for the benchmark programs.
#ifndef GRIB2_WALK_H
#define GRIB2_WALK_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace grib2_walk {

inline std::uint64_t be(const std::uint8_t *p, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// Reads the next message (any edition) into buf, skipping bytes up to "GRIB".
// Returns its edition, or 0 at the end of the file.
inline int next_message(std::FILE *fp, std::vector<std::uint8_t> &buf) {
    int state = 0, c;
    while (state < 4 && (c = std::fgetc(fp)) != EOF) {
        const char *magic = "GRIB";
        if (c == magic[state]) ++state;
        else state = (c == 'G') ? 1 : 0;
    }
    if (state < 4) return 0;
    std::uint8_t head[16];
    std::memcpy(head, "GRIB", 4);
    if (std::fread(head + 4, 1, 4, fp) != 4) return 0;
    int ed = head[7];
    std::uint64_t total;
    std::size_t hl;
    if (ed == 2) {
        if (std::fread(head + 8, 1, 8, fp) != 8) return 0;
        total = be(head + 8, 8);
        hl = 16;
    } else {
        total = be(head + 4, 3);
        hl = 8;
    }
    if (total < hl || total > (std::uint64_t{1} << 34)) return 0;
    buf.resize(total);
    std::memcpy(buf.data(), head, hl);
    if (std::fread(buf.data() + hl, 1, total - hl, fp) != total - hl) return 0;
    return ed;
}

// One product of an edition 2 message: pointers to whole sections (with
// their 5-octet headers) inside the message buffer.
struct Product {
    const std::uint8_t *s3 = nullptr, *s5 = nullptr, *s6 = nullptr, *s7 = nullptr;
    std::size_t l3 = 0, l5 = 0, l6 = 0, l7 = 0;
};

// Calls f(Product) for every product of the message.  Section 6 and 3 carry
// over to later products as the format says.
template <class F>
void products(const std::vector<std::uint8_t> &msg, F f) {
    std::size_t p = 16;
    Product cur;
    while (p + 5 <= msg.size()) {
        if (std::memcmp(msg.data() + p, "7777", 4) == 0) break;
        std::size_t len = be(msg.data() + p, 4);
        int num = msg[p + 4];
        if (len < 5 || p + len > msg.size()) break;
        const std::uint8_t *s = msg.data() + p;
        switch (num) {
        case 3: cur.s3 = s; cur.l3 = len; break;
        case 5: cur.s5 = s; cur.l5 = len; break;
        case 6:
            // 254: the previous bitmap stays in force
            if (len >= 6 && s[5] != 254) { cur.s6 = s; cur.l6 = len; }
            break;
        case 7:
            cur.s7 = s; cur.l7 = len;
            f(cur);
            break;
        default: break;
        }
        p += len;
    }
}

}  // namespace grib2_walk

#endif
