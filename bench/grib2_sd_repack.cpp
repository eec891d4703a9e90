// grib2_sd_repack - rewrites the simple-packed (template 5.0) products of a
// GRIB edition 2 file with complex packing and spatial differencing of
// order 2 (template 5.3), grouping the values the way operational encoders
// do (short groups, each as narrow as its range allows).  The benchmark uses
// it to make a large file whose decoding cost is that of real model output;
// the packed integers are kept exactly, so every value decodes unchanged.
//
//   grib2_sd_repack IN OUT
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gbits.h"
#include "grib2_walk.h"

namespace {

class Bits {
public:
    void put(std::uint64_t v, int n) {
        for (int b = n - 1; b >= 0; --b) {
            if ((pos_ & 7) == 0) buf.push_back(0);
            if ((v >> b) & 1u) buf.back() |= static_cast<std::uint8_t>(0x80u >> (pos_ & 7));
            ++pos_;
        }
    }
    void align() { pos_ = (pos_ + 7) & ~std::uint64_t{7}; }
    std::vector<std::uint8_t> buf;

private:
    std::uint64_t pos_ = 0;
};

int bits_for(std::uint64_t v) {
    int n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

void put_be(std::vector<std::uint8_t> &o, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) o.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put_sm(std::vector<std::uint8_t> &o, std::int64_t v, int n) {
    std::uint64_t m = static_cast<std::uint64_t>(v < 0 ? -v : v);
    if (v < 0) m |= std::uint64_t{1} << (8 * n - 1);
    put_be(o, m, n);
}

struct Grp {
    std::size_t start, len;
    std::int64_t lo, hi;
};

// Sections 5 and 7 for the packed integers x of a simple-packed product
// whose section 5 is s5.
void repack(const std::uint8_t *s5, const std::vector<std::uint32_t> &x,
            std::vector<std::uint8_t> &o5, std::vector<std::uint8_t> &o7) {
    const std::size_t n = x.size();
    const int order = n >= 3 ? 2 : 0;
    std::vector<std::int64_t> d(n, 0);
    std::int64_t mn = 0;
    if (order == 2) {
        mn = INT64_MAX;
        for (std::size_t i = 2; i < n; ++i) {
            d[i] = static_cast<std::int64_t>(x[i]) - 2 * static_cast<std::int64_t>(x[i - 1]) + x[i - 2];
            mn = std::min(mn, d[i]);
        }
        for (std::size_t i = 2; i < n; ++i) d[i] -= mn;
    } else {
        for (std::size_t i = 0; i < n; ++i) d[i] = x[i];
    }
    // Groups: chunks of 8 values, a chunk joining the open group while the
    // group's width does not grow (at most 256 values per group).
    std::vector<Grp> g;
    const std::size_t chunk = 8;
    for (std::size_t i = 0; i < n; i += chunk) {
        std::size_t len = std::min(chunk, n - i);
        std::int64_t lo = *std::min_element(d.begin() + i, d.begin() + i + len);
        std::int64_t hi = *std::max_element(d.begin() + i, d.begin() + i + len);
        if (!g.empty() && g.back().len % chunk == 0 && g.back().len < 256) {
            Grp &b = g.back();
            std::int64_t nlo = std::min(lo, b.lo), nhi = std::max(hi, b.hi);
            if (bits_for(static_cast<std::uint64_t>(nhi - nlo)) <=
                bits_for(static_cast<std::uint64_t>(b.hi - b.lo))) {
                b.len += len;
                b.lo = nlo;
                b.hi = nhi;
                continue;
            }
        }
        g.push_back({i, len, lo, hi});
    }
    std::int64_t max_ref = 0;
    int wmin = 64, wmax = 0;
    std::size_t lmin = SIZE_MAX, lmax = 0;
    for (std::size_t k = 0; k < g.size(); ++k) {
        max_ref = std::max(max_ref, g[k].lo);
        int w = bits_for(static_cast<std::uint64_t>(g[k].hi - g[k].lo));
        wmin = std::min(wmin, w);
        wmax = std::max(wmax, w);
        if (k + 1 < g.size()) {
            lmin = std::min(lmin, g[k].len);
            lmax = std::max(lmax, g[k].len);
        }
    }
    if (g.empty()) wmin = 0;
    if (lmin == SIZE_MAX) lmin = lmax = chunk;
    const int nb_gref = bits_for(static_cast<std::uint64_t>(max_ref));
    const int nb_gw = bits_for(static_cast<std::uint64_t>(wmax - wmin));
    const int nb_gl = bits_for((lmax - lmin) / chunk);
    std::int64_t big = std::max<std::int64_t>({std::llabs(mn), n > 0 ? x[0] : 0, n > 1 ? x[1] : 0});
    const int spat = order ? std::max(1, (bits_for(static_cast<std::uint64_t>(big)) + 1 + 7) / 8) : 0;

    o5.clear();
    put_be(o5, 49, 4);
    o5.push_back(5);
    put_be(o5, n, 4);
    put_be(o5, 3, 2);
    o5.insert(o5.end(), s5 + 11, s5 + 19);  // R, E, D
    o5.push_back(static_cast<std::uint8_t>(nb_gref));
    o5.push_back(s5[20]);                   // type of original values
    o5.push_back(1);                        // general group splitting
    o5.push_back(0);                        // no missing values
    put_be(o5, 0xFFFFFFFFu, 4);
    put_be(o5, 0xFFFFFFFFu, 4);
    put_be(o5, g.size(), 4);
    o5.push_back(static_cast<std::uint8_t>(wmin));
    o5.push_back(static_cast<std::uint8_t>(nb_gw));
    put_be(o5, lmin, 4);
    o5.push_back(static_cast<std::uint8_t>(chunk));
    put_be(o5, g.empty() ? 0 : g.back().len, 4);
    o5.push_back(static_cast<std::uint8_t>(nb_gl));
    o5.push_back(static_cast<std::uint8_t>(order));
    o5.push_back(static_cast<std::uint8_t>(spat));

    std::vector<std::uint8_t> body;
    if (order) {
        put_sm(body, x[0], spat);
        put_sm(body, x[1], spat);
        put_sm(body, mn, spat);
    }
    Bits b;
    for (auto &e : g) b.put(static_cast<std::uint64_t>(e.lo), nb_gref);
    b.align();
    for (auto &e : g) b.put(static_cast<std::uint64_t>(bits_for(static_cast<std::uint64_t>(e.hi - e.lo)) - wmin), nb_gw);
    b.align();
    for (std::size_t k = 0; k < g.size(); ++k)
        b.put(k + 1 < g.size() ? (g[k].len - lmin) / chunk : 0, nb_gl);
    b.align();
    for (auto &e : g) {
        int w = bits_for(static_cast<std::uint64_t>(e.hi - e.lo));
        if (w == 0) continue;
        for (std::size_t i = e.start; i < e.start + e.len; ++i)
            b.put(static_cast<std::uint64_t>(d[i] - e.lo), w);
    }
    body.insert(body.end(), b.buf.begin(), b.buf.end());
    o7.clear();
    put_be(o7, body.size() + 5, 4);
    o7.push_back(7);
    o7.insert(o7.end(), body.begin(), body.end());
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: grib2_sd_repack IN OUT\n");
        return 1;
    }
    std::FILE *in = std::fopen(argv[1], "rb");
    std::FILE *out = std::fopen(argv[2], "wb");
    if (!in || !out) {
        std::fprintf(stderr, "grib2_sd_repack: cannot open the files\n");
        return 1;
    }
    std::vector<std::uint8_t> msg, res, o5, o7;
    std::vector<std::uint32_t> x;
    long count = 0, kept = 0;
    int ed;
    while ((ed = grib2_walk::next_message(in, msg)) != 0) {
        if (ed != 2) {
            std::fwrite(msg.data(), 1, msg.size(), out);
            continue;
        }
        // The sections of the message; a simple-packed product gets new
        // sections 5 and 7 in place of its own.
        struct Sec {
            std::size_t at, len;
            int num;
        };
        std::vector<Sec> secs;
        std::size_t p = 16;
        while (p + 4 <= msg.size() && !std::equal(msg.begin() + p, msg.begin() + p + 4, "7777")) {
            std::size_t len = grib2_walk::be(msg.data() + p, 4);
            if (len < 5 || p + len > msg.size()) break;
            secs.push_back({p, len, msg[p + 4]});
            p += len;
        }
        std::vector<std::vector<std::uint8_t>> repl(secs.size());
        std::size_t last5 = SIZE_MAX;
        for (std::size_t k = 0; k < secs.size(); ++k) {
            const std::uint8_t *s = msg.data() + secs[k].at;
            if (secs[k].num == 5) last5 = k;
            if (secs[k].num != 7) continue;
            const std::uint8_t *s5 = last5 != SIZE_MAX ? msg.data() + secs[last5].at : nullptr;
            if (!s5 || secs[last5].len < 21 || gbits::u2(s5 + 9) != 0) {
                ++kept;
                continue;
            }
            std::size_t nv = gbits::u4(s5 + 5);
            int nb = s5[19];
            x.assign(nv, 0);
            gbits::unpack(s + 5, secs[k].len - 5, 0, nb, nv, x.data());
            repack(s5, x, o5, o7);
            repl[last5] = o5;
            repl[k] = o7;
            ++count;
        }
        res.assign(msg.begin(), msg.begin() + 16);
        for (std::size_t k = 0; k < secs.size(); ++k) {
            if (!repl[k].empty())
                res.insert(res.end(), repl[k].begin(), repl[k].end());
            else
                res.insert(res.end(), msg.begin() + secs[k].at, msg.begin() + secs[k].at + secs[k].len);
        }
        res.insert(res.end(), {'7', '7', '7', '7'});
        std::uint64_t total = res.size();
        for (int i = 0; i < 8; ++i) res[8 + i] = static_cast<std::uint8_t>(total >> (8 * (7 - i)));
        std::fwrite(res.data(), 1, res.size(), out);
    }
    std::fclose(in);
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "grib2_sd_repack: write failed\n");
        return 1;
    }
    std::fprintf(stderr, "grib2_sd_repack: %ld products repacked, %ld left as they were\n", count, kept);
    return 0;
}
