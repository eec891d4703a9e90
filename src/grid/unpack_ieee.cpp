// unpack_ieee.cpp - IEEE floating-point packing (template 5.4): the values
// are stored as big-endian IEEE numbers of 32 or 64 bits, one per packed
// point, without reference value or scaling.
#include <bit>
#include <cstdio>

#include "gbits.h"
#include "unpack.h"

namespace {

// The checks of the section: 0 with the number of values and the size of
// each, or -1.
int check_ieee(const UNPACK_params &p, std::size_t len, std::size_t max_pts, UNPACK_out *out,
               std::size_t *count, std::size_t *octets) {
    unpack_detail::reset(out);
    char msg[160];
    if (p.data_pnts < 0) return unpack_detail::fail(out, "UNPACK_ieee: number of values missing\n");
    const std::size_t n = static_cast<std::size_t>(p.data_pnts);
    if (n > max_pts) {
        std::snprintf(msg, sizeof msg, "UNPACK_ieee: %zu values for a grid of %zu points\n", n,
                      max_pts);
        return unpack_detail::fail(out, msg);
    }
    std::size_t size;
    switch (p.precision) {
        case 1: size = 4; break;
        case 2: size = 8; break;
        default:
            std::snprintf(msg, sizeof msg, "UNPACK_ieee: unsupported precision %d\n", p.precision);
            return unpack_detail::fail(out, msg);
    }
    if (n > len / size) {
        std::snprintf(msg, sizeof msg,
                      "UNPACK_ieee: %zu values of %zu octets overrun the data section (%zu octets)\n",
                      n, size, len);
        return unpack_detail::fail(out, msg);
    }
    out->width = static_cast<int>(n);
    out->height = 1;
    *count = n;
    *octets = size;
    return 0;
}

inline float ieee_value(const std::uint8_t *at, std::size_t size) {
    return size == 4 ? std::bit_cast<float>(gbits::u4(at))
                     : static_cast<float>(std::bit_cast<double>(gbits::u8(at)));
}

}  // namespace

int UNPACK_ieee(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                std::size_t max_pts, UNPACK_out *out) {
    std::size_t n = 0, size = 0;
    if (check_ieee(p, len, max_pts, out, &n, &size) < 0) return -1;
    out->values.resize(n);
    float *v = out->values.data();
    if (size == 4) {
        for (std::size_t i = 0; i < n; ++i) v[i] = std::bit_cast<float>(gbits::u4(data + 4 * i));
    } else {
        for (std::size_t i = 0; i < n; ++i)
            v[i] = static_cast<float>(std::bit_cast<double>(gbits::u8(data + 8 * i)));
    }
    return 0;
}

int UNPACK_ieee_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                       std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out) {
    std::size_t n = 0, size = 0;
    if (check_ieee(p, len, max_pts, out, &n, &size) < 0) return -1;
    const std::vector<std::size_t> idx = choose(n, *out);
    out->values.resize(idx.size());
    for (std::size_t k = 0; k < idx.size(); ++k) out->values[k] = ieee_value(data + size * idx[k], size);
    return 0;
}
