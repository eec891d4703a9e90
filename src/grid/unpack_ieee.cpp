// unpack_ieee.cpp - IEEE floating-point packing (template 5.4): the values
// are stored as big-endian IEEE numbers of 32 or 64 bits, one per packed
// point, without reference value or scaling.
#include <bit>
#include <cstdio>

#include "gbits.h"
#include "unpack.h"

int UNPACK_ieee(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                std::size_t max_pts, UNPACK_out *out) {
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
    out->values.resize(n);
    out->width = static_cast<int>(n);
    out->height = 1;
    float *v = out->values.data();
    if (size == 4) {
        for (std::size_t i = 0; i < n; ++i) v[i] = std::bit_cast<float>(gbits::u4(data + 4 * i));
    } else {
        for (std::size_t i = 0; i < n; ++i)
            v[i] = static_cast<float>(std::bit_cast<double>(gbits::u8(data + 8 * i)));
    }
    return 0;
}
