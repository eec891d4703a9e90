// unpack_complex.cpp - complex packing (template 5.2) and complex packing with
// spatial differencing of order 1 or 2 (template 5.3).
//
// Section 7 holds, in order: for spatial differencing the first one or two
// undifferenced values and the overall minimum of the differences
// (spat_bytes octets each, sign and magnitude); the group references, the
// group widths and the scaled group lengths, each list starting on an octet;
// then the values of every group back to back.  A value is its group's
// reference plus its own width bits.
//
// The lists are checked completely before any value is decoded (widths of at
// most 32 bits, lengths adding up to no more than the number of values, all
// bits inside the section), so the decoding loop itself runs unchecked and
// fused: unpack, undo the differencing and scale in one pass.
#include <cstdio>

#include "unpack.h"
#include "zup.h"

using unpack_detail::FastBits;

namespace {

constexpr float MISS = -9999.0f;

// Reads an n-bit field, n 0..32 (0 reads as 0).
inline std::uint32_t field(FastBits &b, int n) { return n ? b.get(n) : 0u; }

// Sign-and-magnitude integer of nbytes octets.
std::int64_t signed_octets(const std::uint8_t *p, int nbytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < nbytes; ++i) v = (v << 8) | p[i];
    std::uint64_t sign = std::uint64_t{1} << (8 * nbytes - 1);
    if (v & sign) return -static_cast<std::int64_t>(v & (sign - 1));
    return static_cast<std::int64_t>(v);
}

struct Groups {
    FastBits refs, widths, lengths;
    int nb_ref, nb_width, nb_len;
    std::uint64_t ref_width, ref_len, inc_len, last_len;
    std::uint32_t num_group;
};

// Where decoded values go: every value in order (the full decode), or only
// the wanted ones, stopping after the last of them (partial decode).
struct AllValues {
    static constexpr bool PICK = false;
    float *out;
    std::size_t i = 0;
    void put(float v) { out[i++] = v; }
    template <class Scale>
    void put_scaled(std::int64_t v, Scale scale) { out[i++] = scale(v); }
    void skip(std::size_t) {}
    bool done() const { return false; }
    std::size_t next() const { return 0; }
};

struct WantedValues {
    static constexpr bool PICK = true;
    const std::size_t *want;  // increasing indices
    std::size_t nwant;
    float *vals;              // one per wanted index
    std::size_t i = 0;        // index of the next value
    std::size_t w = 0;        // next wanted entry
    void put(float v) {
        if (w < nwant && i == want[w]) vals[w++] = v;
        ++i;
    }
    // values passed over are not scaled at all
    template <class Scale>
    void put_scaled(std::int64_t v, Scale scale) {
        if (w < nwant && i == want[w]) vals[w++] = scale(v);
        ++i;
    }
    void skip(std::size_t n) { i += n; }
    bool done() const { return w >= nwant; }
    std::size_t next() const { return want[w]; }
};

// The decoding loop, specialised by differencing order and missing-value
// management.  Returns the number of values passed to the sink.
template <int ORDER, int MISS_TYPE, class Sink>
std::size_t decode(Groups g, FastBits vals, const std::int64_t *first, std::int64_t minimum,
                   double ref, double sfac, double dscale, Sink &sink) {
    const std::uint32_t gref_miss1 = g.nb_ref ? static_cast<std::uint32_t>((std::uint64_t{1} << g.nb_ref) - 1) : 0u;
    const std::uint32_t gref_miss2 = gref_miss1 - 1;
    std::int64_t p1 = 0, p2 = 0;
    int k = 0;  // values decoded so far (differencing start-up)

    auto put = [&](std::int64_t x) {
        std::int64_t v;
        if constexpr (ORDER == 0) {
            v = x;
        } else {
            if (k < ORDER) {
                v = first[k];
                ++k;
            } else if constexpr (ORDER == 1) {
                v = x + minimum + p1;
            } else {
                v = x + minimum + 2 * p1 - p2;
            }
            p2 = p1;
            p1 = v;
        }
        sink.put_scaled(v, [&](std::int64_t u) {
            return static_cast<float>((static_cast<double>(u) * sfac + ref) * dscale);
        });
    };

    for (std::uint32_t gi = 0; gi < g.num_group; ++gi) {
        if (sink.done()) break;
        const std::uint32_t gref = field(g.refs, g.nb_ref);
        const int w = static_cast<int>(g.ref_width + field(g.widths, g.nb_width));
        const std::uint64_t scaled = field(g.lengths, g.nb_len);
        const std::size_t len = static_cast<std::size_t>(
            gi + 1 == g.num_group ? g.last_len : g.ref_len + scaled * g.inc_len);
        if constexpr (Sink::PICK) {
            if (sink.i + len <= sink.next()) {
                if constexpr (ORDER == 0) {
                    // without differencing a group before the next wanted
                    // value is stepped over unread
                    vals.skip(static_cast<std::uint64_t>(len) * static_cast<unsigned>(w));
                    sink.skip(len);
                    continue;
                } else if (MISS_TYPE == 0 && k == ORDER) {
                    // with it, only the running values are carried through
                    std::int64_t a = p1, b = p2;
                    const std::int64_t base = std::int64_t{gref} + minimum;
                    if (w == 0) {
                        for (std::size_t j = 0; j < len; ++j) {
                            const std::int64_t v = ORDER == 1 ? base + a : base + 2 * a - b;
                            b = a;
                            a = v;
                        }
                    } else {
                        for (std::size_t j = 0; j < len; ++j) {
                            const std::int64_t x = base + vals.get(w);
                            const std::int64_t v = ORDER == 1 ? x + a : x + 2 * a - b;
                            b = a;
                            a = v;
                        }
                    }
                    p1 = a;
                    p2 = b;
                    sink.skip(len);
                    continue;
                }
            }
        }
        if (w == 0) {
            if (MISS_TYPE > 0 && (gref == gref_miss1 || (MISS_TYPE > 1 && gref == gref_miss2))) {
                for (std::size_t j = 0; j < len; ++j) sink.put(MISS);
            } else {
                for (std::size_t j = 0; j < len; ++j) put(gref);
            }
            continue;
        }
        if constexpr (MISS_TYPE == 0) {
            for (std::size_t j = 0; j < len; ++j) put(std::int64_t{gref} + vals.get(w));
        } else {
            const std::uint32_t m1 = static_cast<std::uint32_t>((std::uint64_t{1} << w) - 1);
            const std::uint32_t m2 = m1 - 1;
            for (std::size_t j = 0; j < len; ++j) {
                std::uint32_t x = vals.get(w);
                if (x == m1 || (MISS_TYPE > 1 && x == m2))
                    sink.put(MISS);
                else
                    put(std::int64_t{gref} + x);
            }
        }
    }
    return sink.i;
}

template <int ORDER, class Sink>
std::size_t decode_miss(int miss_type, const Groups &g, const FastBits &vals,
                        const std::int64_t *first, std::int64_t minimum, double ref, double sfac,
                        double dscale, Sink &sink) {
    switch (miss_type) {
    case 1:
        return decode<ORDER, 1>(g, vals, first, minimum, ref, sfac, dscale, sink);
    case 2:
        return decode<ORDER, 2>(g, vals, first, minimum, ref, sfac, dscale, sink);
    default:
        return decode<ORDER, 0>(g, vals, first, minimum, ref, sfac, dscale, sink);
    }
}

// A checked complex-packed section, ready to decode.
struct Prepared {
    bool constant = false;     // no groups: every value is the reference
    std::size_t count = 0;     // values the groups hold
    int order = 0;
    std::int64_t first[2] = {0, 0};
    std::int64_t minimum = 0;
    std::uint64_t values_at = 0;
    Groups g{FastBits(nullptr, 0), FastBits(nullptr, 0), FastBits(nullptr, 0), 0, 0, 0, 0, 0, 0, 0, 0};
};

template <class Sink>
std::size_t run(const UNPACK_params &p, const Prepared &pr, const std::uint8_t *data,
                std::size_t len, Sink &sink) {
    FastBits vals(data, len, pr.values_at);
    switch (pr.order) {
    case 1:
        return decode_miss<1>(p.miss_type, pr.g, vals, pr.first, pr.minimum, p.ref, p.sfac, p.dscale, sink);
    case 2:
        return decode_miss<2>(p.miss_type, pr.g, vals, pr.first, pr.minimum, p.ref, p.sfac, p.dscale, sink);
    default:
        return decode_miss<0>(p.miss_type, pr.g, vals, pr.first, pr.minimum, p.ref, p.sfac, p.dscale, sink);
    }
}

}  // namespace

namespace {

// Every check of the full decode: descriptors, group widths, the sum of the
// group lengths and the bits they need.  0 with pr filled, or -1.
int prepare(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
            std::size_t max_pts, UNPACK_out *out, Prepared *pr) {
    unpack_detail::reset(out);
    char msg[200];
    auto failf = [&](const char *fmt, auto... args) {
        std::snprintf(msg, sizeof msg, fmt, args...);
        return unpack_detail::fail(out, msg);
    };

    if (p.data_pnts < 0) return failf("UNPACK_complex: number of values missing\n");
    const std::size_t n = static_cast<std::size_t>(p.data_pnts);
    if (n > max_pts) return failf("UNPACK_complex: %zu values for a grid of %zu points\n", n, max_pts);
    if (p.miss_type < 0 || p.miss_type > 2)
        return failf("UNPACK_complex: unknown missing-value management %d\n", p.miss_type);
    if (p.num_group < 0) return failf("UNPACK_complex: number of groups missing\n");
    const std::uint32_t ng = static_cast<std::uint32_t>(p.num_group);
    if (ng > n) return failf("UNPACK_complex: %u groups for %zu values\n", ng, n);
    if (ng == 0) {
        // No groups (and then no data): a constant field, as encoders write
        // a field without variation.
        pr->constant = true;
        pr->count = n;
        out->width = static_cast<int>(n);
        out->height = 1;
        return 0;
    }
    if (p.num_bits_gref < 0 || p.num_bits_gref > 32)
        return failf("UNPACK_complex: group references of %d bits (at most 32)\n", p.num_bits_gref);
    if (p.num_bits_gwidth < 0 || p.num_bits_gwidth > 32)
        return failf("UNPACK_complex: group widths of %d bits (at most 32)\n", p.num_bits_gwidth);
    if (p.num_bits_glen < 0 || p.num_bits_glen > 32)
        return failf("UNPACK_complex: group lengths of %d bits (at most 32)\n", p.num_bits_glen);
    if (p.ref_gwidth < 0 || p.ref_glen < 0 || p.inc_glen < 0 || p.last_glen < 0)
        return failf("UNPACK_complex: group width or length description missing\n");

    // Spatial differencing descriptors.
    int order = 0;
    std::int64_t *first = pr->first;
    std::int64_t &minimum = pr->minimum;
    std::size_t off = 0;
    if (p.drs_temp == DRS_COMPLEX_SPATIAL) {
        // Order 0 (as some encoders write when no differencing was done)
        // leaves the layout of plain complex packing.
        order = p.order;
        if (order < 0 || order > 2)
            return failf("UNPACK_complex: spatial differencing of order %d (1 or 2)\n", order);
    }
    if (order > 0) {
        const int sb = p.spat_bytes;
        if (sb < 1 || sb > 4)
            return failf("UNPACK_complex: %d octets per differencing descriptor (1 to 4)\n", sb);
        const std::size_t need = static_cast<std::size_t>(order + 1) * static_cast<std::size_t>(sb);
        if (need > len)
            return failf("UNPACK_complex: data section of %zu octets too short\n", len);
        for (int j = 0; j < order; ++j) first[j] = signed_octets(data + j * sb, sb);
        minimum = signed_octets(data + order * sb, sb);
        off = need;
        MESS_print(unpack_detail::DEBUG, "DS1 %lld %lld %lld\n", static_cast<long long>(first[0]),
                   static_cast<long long>(first[1]), static_cast<long long>(minimum));
    }

    // Where each list starts, every one on an octet.
    const std::uint64_t total_bits = static_cast<std::uint64_t>(len) * 8;
    std::uint64_t pos = static_cast<std::uint64_t>(off) * 8;
    auto list_end = [&](int nbits) {
        std::uint64_t end = pos + std::uint64_t{ng} * static_cast<unsigned>(nbits);
        return (end + 7) & ~std::uint64_t{7};
    };
    const std::uint64_t refs_at = pos;
    pos = list_end(p.num_bits_gref);
    const std::uint64_t widths_at = pos;
    pos = list_end(p.num_bits_gwidth);
    const std::uint64_t lengths_at = pos;
    pos = list_end(p.num_bits_glen);
    const std::uint64_t values_at = pos;
    if (values_at > total_bits)
        return failf("UNPACK_complex: %u groups overrun the data section (%zu octets)\n", ng, len);

    pr->order = order;
    pr->values_at = values_at;
    Groups &g = pr->g;
    g = Groups{FastBits(data, len, refs_at), FastBits(data, len, widths_at),
             FastBits(data, len, lengths_at), p.num_bits_gref, p.num_bits_gwidth,
             p.num_bits_glen, static_cast<std::uint64_t>(p.ref_gwidth),
             static_cast<std::uint64_t>(p.ref_glen), static_cast<std::uint64_t>(p.inc_glen),
             static_cast<std::uint64_t>(p.last_glen), ng};

    // Check pass: widths, the sum of the lengths and the bits they need.
    {
        FastBits w = g.widths, l = g.lengths;
        std::uint64_t count = 0, bits = 0;
        for (std::uint32_t gi = 0; gi < ng; ++gi) {
            std::uint64_t width = g.ref_width + field(w, g.nb_width);
            std::uint64_t scaled = field(l, g.nb_len);
            std::uint64_t glen = gi + 1 == ng ? g.last_len : g.ref_len + scaled * g.inc_len;
            if (width > 32)
                return failf("UNPACK_complex: group %u is %llu bits wide (at most 32)\n", gi + 1,
                             static_cast<unsigned long long>(width));
            count += glen;
            if (count > n)
                return failf("UNPACK_complex: group lengths add up to more than the %zu values\n", n);
            bits += glen * width;
        }
        if (values_at + bits > total_bits)
            return failf("UNPACK_complex: packed values overrun the data section (%zu octets)\n", len);
        pr->count = static_cast<std::size_t>(count);
    }
    out->miss_managed = p.miss_type > 0;
    out->width = static_cast<int>(pr->count);
    out->height = 1;
    return 0;
}

}  // namespace

int UNPACK_complex(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                   std::size_t max_pts, UNPACK_out *out) {
    Prepared pr;
    if (prepare(p, data, len, max_pts, out, &pr) < 0) return -1;
    if (pr.constant) {
        unpack_detail::constant_field(pr.count, p.ref * p.dscale, out);
        return 0;
    }
    out->values.resize(pr.count);
    AllValues sink{out->values.data()};
    const std::size_t done = run(p, pr, data, len, sink);
    out->values.resize(done);
    out->width = static_cast<int>(done);
    return 0;
}

int UNPACK_complex_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                          std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out) {
    Prepared pr;
    if (prepare(p, data, len, max_pts, out, &pr) < 0) return -1;
    const std::vector<std::size_t> idx = choose(pr.count, *out);
    if (pr.constant) {
        out->values.assign(idx.size(), static_cast<float>(p.ref * p.dscale));
        return 0;
    }
    out->values.assign(idx.size(), MISS);
    if (idx.empty()) return 0;
    WantedValues sink{idx.data(), idx.size(), out->values.data()};
    run(p, pr, data, len, sink);
    return 0;
}
