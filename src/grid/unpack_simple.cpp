// unpack_simple.cpp - simple packing (template 5.0) and run-length packing
// with level values (template 5.200).
#include <cstdio>

#include "unpack.h"
#include "zup.h"

using unpack_detail::FastBits;

namespace {

constexpr float MISS = -9999.0f;

}  // namespace

namespace {

// Checks of simple packing; 0 with *count set, or -1 (out says why).
int check_simple(const UNPACK_params &p, std::size_t len, std::size_t max_pts, UNPACK_out *out,
                 std::size_t *count) {
    unpack_detail::reset(out);
    char msg[160];
    if (p.data_pnts < 0) return unpack_detail::fail(out, "UNPACK_simple: number of values missing\n");
    const std::size_t n = static_cast<std::size_t>(p.data_pnts);
    if (n > max_pts) {
        std::snprintf(msg, sizeof msg, "UNPACK_simple: %zu values for a grid of %zu points\n", n,
                      max_pts);
        return unpack_detail::fail(out, msg);
    }
    const int nb = p.num_bits;
    if (nb < 0 || nb > 32) {
        std::snprintf(msg, sizeof msg, "UNPACK_simple: %d bits per value (at most 32)\n", nb);
        return unpack_detail::fail(out, msg);
    }
    if (static_cast<std::uint64_t>(n) * static_cast<unsigned>(nb) >
        static_cast<std::uint64_t>(len) * 8) {
        std::snprintf(msg, sizeof msg,
                      "UNPACK_simple: %zu values of %d bits overrun the data section (%zu octets)\n",
                      n, nb, len);
        return unpack_detail::fail(out, msg);
    }
    out->width = static_cast<int>(n);
    out->height = 1;
    *count = n;
    return 0;
}

}  // namespace

int UNPACK_simple(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                  std::size_t max_pts, UNPACK_out *out) {
    std::size_t n = 0;
    if (check_simple(p, len, max_pts, out, &n) < 0) return -1;
    const int nb = p.num_bits;
    const double ref = p.ref, sfac = p.sfac, dscale = p.dscale;
    if (nb == 0) {
        unpack_detail::constant_field(n, ref * dscale, out);
        return 0;
    }
    out->values.resize(n);
    float *v = out->values.data();
    FastBits bits(data, len);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<float>((bits.get(nb) * sfac + ref) * dscale);
    return 0;
}

int UNPACK_simple_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                         std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out) {
    std::size_t n = 0;
    if (check_simple(p, len, max_pts, out, &n) < 0) return -1;
    const std::vector<std::size_t> idx = choose(n, *out);
    const int nb = p.num_bits;
    const double ref = p.ref, sfac = p.sfac, dscale = p.dscale;
    out->values.resize(idx.size());
    for (std::size_t w = 0; w < idx.size(); ++w) {
        // each value is read where it lies: nothing before it is touched
        std::uint32_t x = 0;
        if (nb > 0) {
            FastBits bits(data, len, static_cast<std::uint64_t>(idx[w]) * static_cast<unsigned>(nb));
            x = bits.get(nb);
        }
        out->values[w] = nb == 0 ? static_cast<float>(ref * dscale)
                                 : static_cast<float>((x * sfac + ref) * dscale);
    }
    return 0;
}

// Run-length packing: a value not above max_val is a level index; the values
// above it that follow are the digits of the run length, least significant
// first, in base 2^num_bits - 1 - max_val.  Level 0 is a missing point, level
// k (1..num_map) takes the k-th entry of the level table.
int UNPACK_run_length(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                      std::size_t max_pts, UNPACK_out *out) {
    unpack_detail::reset(out);
    char msg[160];
    const int nb = p.num_bits;
    if (nb <= 0 || nb > 16) {
        std::snprintf(msg, sizeof msg, "UNPACK_run_length: %d bits per value (1 to 16)\n", nb);
        return unpack_detail::fail(out, msg);
    }
    const std::uint32_t top = (1u << nb) - 1;
    if (p.max_val < 0 || static_cast<std::uint32_t>(p.max_val) > top) {
        std::snprintf(msg, sizeof msg, "UNPACK_run_length: highest level %d beyond %d bits\n",
                      p.max_val, nb);
        return unpack_detail::fail(out, msg);
    }
    const std::uint32_t maxv = static_cast<std::uint32_t>(p.max_val);
    const std::uint64_t base = top - maxv;  // digits are maxv+1 .. top
    std::size_t limit = max_pts;
    if (p.data_pnts >= 0 && static_cast<std::size_t>(p.data_pnts) < limit)
        limit = static_cast<std::size_t>(p.data_pnts);

    const std::size_t nvals = static_cast<std::size_t>(static_cast<std::uint64_t>(len) * 8 /
                                                       static_cast<unsigned>(nb));
    out->values.reserve(limit);
    auto level_value = [&p](std::uint32_t k) -> float {
        if (k == 0 || k > p.levels.size()) return MISS;
        return p.levels[k - 1];
    };
    auto emit = [&](std::uint32_t k, std::uint64_t run) {
        float val = level_value(k);
        std::size_t room = limit - out->values.size();
        if (run > room) run = room;
        out->values.insert(out->values.end(), static_cast<std::size_t>(run), val);
    };

    const bool trace = MESS_check(unpack_detail::DEBUG) != 0;
    if (trace) MESS_print(unpack_detail::DEBUG, "Template 7.200\n");
    FastBits bits(data, len);
    bool have = false;
    std::uint32_t cur = 0;
    std::uint64_t run = 1, mult = 1;
    for (std::size_t i = 0; i < nvals && out->values.size() < limit; ++i) {
        std::uint32_t v = bits.get(nb);
        if (trace)
            MESS_print(unpack_detail::DEBUG, "byte: %zu loc: %zu %zu new_val = %u val = %u num = %llu\n",
                       i * static_cast<unsigned>(nb) / 8, i * static_cast<unsigned>(nb) % 8,
                       out->values.size(), v, cur, static_cast<unsigned long long>(run));
        if (v <= maxv) {
            if (trace)
                MESS_print(unpack_detail::DEBUG, "cnt = %llu new_val = %u val = %u\n",
                           static_cast<unsigned long long>(have ? run : 0), v, cur);
            if (have) emit(cur, run);
            have = true;
            cur = v;
            run = 1;
            mult = 1;
        } else if (have) {
            // Saturate: a run longer than the grid is cut at the grid anyway.
            std::uint64_t digit = v - maxv - 1;
            if (trace)
                MESS_print(unpack_detail::DEBUG, "num = %llu mult = %llu new_val = %u\n",
                           static_cast<unsigned long long>(run), static_cast<unsigned long long>(mult), v);
            if (mult <= (std::uint64_t{1} << 40)) {
                run += digit * mult;
                mult *= base;
            } else if (digit) {
                run = std::uint64_t{1} << 62;
            }
        }
    }
    if (have && out->values.size() < limit) emit(cur, run);
    out->width = static_cast<int>(out->values.size());
    out->height = 1;
    return 0;
}
