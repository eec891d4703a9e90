// unpack_second_order.cpp - GRIB edition 1 second-order grid-point packing,
// general extended form.
//
// Binary data section octets: 11 width of the first-order values, 12-13 N1
// (octet where they start), 14 extended flags (0x40 a matrix at each point,
// 0x20 a secondary bitmap, 0x10 groups of different widths, 0x08 general
// extended, 0x04 every second row east to west), 15-16 N2 (octet where the
// second-order values start), 17-18 number of groups (octet 21 adds
// multiples of 65536), 19-20 number of second-order values, 22 width of the
// group widths, 23 width of the group lengths, 24-25 NL (octet where the
// group lengths start).  With spatial differencing of order k (extended
// flag bits 0x02 and 0x01), octet 26 gives the width w of the descriptors
// and from octet 27 come k first values and the overall bias (w bits each,
// the bias in sign and magnitude); the group widths follow on the next
// octet (else from octet 26).  Each group holds its length of values: the
// group's first-order value plus its own width bits.  The first k points are
// the first values; undoing the differences adds the bias and the
// extrapolation from the k points before.
#include <cstdio>
#include <vector>

#include "gbits.h"
#include "unpack.h"

using unpack_detail::FastBits;

namespace {

// Whether nbits fields of width w starting at octet `octet` (1-based) fit in
// the section.
bool fits(std::size_t len, std::uint64_t octet, std::uint64_t count, int w) {
    if (octet < 1) return false;
    std::uint64_t bits = (octet - 1) * 8 + count * static_cast<std::uint64_t>(w);
    return bits <= static_cast<std::uint64_t>(len) * 8;
}

}  // namespace

namespace {

// The decoder; with choose, only the values up to the last wanted one are
// undone and only the wanted ones kept (see UNPACK_chooser).
int second_order(const std::uint8_t *bds, std::size_t len, double ref, double sfac, double dscale,
                 std::size_t max_pts, const UNPACK_chooser *choose, UNPACK_out *out,
                 bool *alt_rows) {
    unpack_detail::reset(out);
    if (alt_rows) *alt_rows = false;
    char msg[160];
    if (!bds || len < 26) return unpack_detail::fail(out, "GRIB_BDB: Second-order data section too short\n");
    const int ext = bds[13];
    if (!(ext & 0x08) || (ext & 0x40) || (ext & 0x20)) {
        std::snprintf(msg, sizeof msg, "GRIB_BDB: Unsupported second-order packing: flags %X\n", ext);
        return unpack_detail::fail(out, msg);
    }
    const int order = (ext & 0x01) + 2 * ((ext >> 1) & 0x01);
    const int wfirst = bds[10];
    const std::uint64_t n1 = gbits::u2(bds + 11), n2 = gbits::u2(bds + 14);
    const std::uint64_t ngroup = gbits::u2(bds + 16) + 65536ull * bds[20];
    const std::uint64_t nsecond = gbits::u2(bds + 18);
    const int wwidth = bds[21], wlen = bds[22];
    const std::uint64_t nl = gbits::u2(bds + 23);
    int wspd = 0;
    std::uint64_t widths_at = 26;  // octet
    if (order > 0) {
        wspd = bds[25];
        widths_at = 27 + ((order + 1) * static_cast<std::uint64_t>(wspd) + 7) / 8;
    }
    if (wfirst > 32 || wwidth > 32 || wlen > 32 || wspd > 32 || (order > 0 && wspd < 1)) {
        std::snprintf(msg, sizeof msg, "GRIB_BDB: Second-order field widths beyond 32 bits\n");
        return unpack_detail::fail(out, msg);
    }
    if (!fits(len, 27, order > 0 ? order + 1 : 0, wspd) || !fits(len, widths_at, ngroup, wwidth) ||
        !fits(len, nl, ngroup, wlen) || !fits(len, n1, ngroup, wfirst) || n2 < 1) {
        return unpack_detail::fail(out, "GRIB_BDB: Second-order descriptors overrun the data section\n");
    }

    // Group widths and lengths, checked before any value is read.
    std::vector<std::uint32_t> width(ngroup), length(ngroup), first(ngroup);
    FastBits wb(bds, len, (widths_at - 1) * 8), lb(bds, len, (nl - 1) * 8), fb(bds, len, (n1 - 1) * 8);
    std::uint64_t total = 0, bits = 0;
    for (std::uint64_t g = 0; g < ngroup; ++g) {
        width[g] = wwidth ? wb.get(wwidth) : 0;
        length[g] = wlen ? lb.get(wlen) : 0;
        first[g] = wfirst ? fb.get(wfirst) : 0;
        if (width[g] > 32) return unpack_detail::fail(out, "GRIB_BDB: Second-order group wider than 32 bits\n");
        total += length[g];
        bits += static_cast<std::uint64_t>(length[g]) * width[g];
    }
    const std::uint64_t npts = total + static_cast<std::uint64_t>(order);
    if (total != nsecond || npts > max_pts) {
        std::snprintf(msg, sizeof msg,
                      "GRIB_BDB: Second-order groups hold %llu values, %llu announced, grid of %zu points\n",
                      static_cast<unsigned long long>(total), static_cast<unsigned long long>(nsecond),
                      max_pts);
        return unpack_detail::fail(out, msg);
    }
    if ((n2 - 1) * 8 + bits > static_cast<std::uint64_t>(len) * 8)
        return unpack_detail::fail(out, "GRIB_BDB: Second-order values overrun the data section\n");

    // Spatial differencing descriptors: the first values and the bias.
    std::int64_t start[3] = {0, 0, 0}, bias = 0;
    if (order > 0) {
        FastBits sb(bds, len, 26 * 8);
        for (int k = 0; k < order; ++k) start[k] = sb.get(wspd);
        const std::uint32_t raw = sb.get(wspd);
        const std::uint32_t sign = 1u << (wspd - 1);
        bias = (raw & sign) ? -static_cast<std::int64_t>(raw & (sign - 1)) : raw;
    }

    std::vector<std::size_t> idx;
    std::size_t limit = static_cast<std::size_t>(npts);
    if (choose) {
        out->width = static_cast<int>(npts);
        out->height = 1;
        idx = (*choose)(static_cast<std::size_t>(npts), *out);
        limit = idx.empty() ? 0 : idx.back() + 1;
    }
    std::vector<std::int64_t> x(limit);
    std::size_t i = 0;
    for (int k = 0; k < order && i < limit; ++k) x[i++] = start[k];
    FastBits vb(bds, len, (n2 - 1) * 8);
    for (std::uint64_t g = 0; g < ngroup && i < limit; ++g) {
        const int w = static_cast<int>(width[g]);
        for (std::uint32_t j = 0; j < length[g] && i < limit; ++j) x[i++] = first[g] + (w ? vb.get(w) : 0u);
    }
    for (std::size_t k = static_cast<std::size_t>(order); k < x.size(); ++k) {
        switch (order) {
            case 1: x[k] += bias + x[k - 1]; break;
            case 2: x[k] += bias + 2 * x[k - 1] - x[k - 2]; break;
            case 3: x[k] += bias + 3 * x[k - 1] - 3 * x[k - 2] + x[k - 3]; break;
            default: break;
        }
    }
    auto scale = [&](std::int64_t v) {
        return static_cast<float>((static_cast<double>(v) * sfac + ref) * dscale);
    };
    if (choose) {
        out->values.resize(idx.size());
        for (std::size_t k = 0; k < idx.size(); ++k) out->values[k] = scale(x[idx[k]]);
    } else {
        out->values.resize(x.size());
        for (std::size_t k = 0; k < x.size(); ++k) out->values[k] = scale(x[k]);
        out->width = static_cast<int>(x.size());
        out->height = 1;
    }
    if (alt_rows) *alt_rows = (ext & 0x04) != 0;
    return 0;
}

}  // namespace

int UNPACK_grib1_second_order(const std::uint8_t *bds, std::size_t len, double ref, double sfac,
                              double dscale, std::size_t max_pts, UNPACK_out *out,
                              bool *alt_rows) {
    return second_order(bds, len, ref, sfac, dscale, max_pts, nullptr, out, alt_rows);
}

int UNPACK_grib1_second_order_points(const std::uint8_t *bds, std::size_t len, double ref,
                                     double sfac, double dscale, std::size_t max_pts,
                                     const UNPACK_chooser &choose, UNPACK_out *out,
                                     bool *alt_rows) {
    return second_order(bds, len, ref, sfac, dscale, max_pts, &choose, out, alt_rows);
}
