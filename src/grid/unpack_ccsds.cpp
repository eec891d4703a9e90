// unpack_ccsds.cpp - CCSDS adaptive entropy coding (template 5.42), decoded
// with libaec.  The option octet of section 5 is libaec's own flag mask.
#include <libaec.h>

#include <cstdio>
#include <vector>

#include "unpack.h"

int UNPACK_ccsds(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                 std::size_t max_pts, UNPACK_out *out) {
    unpack_detail::reset(out);
    char msg[160];
    if (p.data_pnts < 0) return unpack_detail::fail(out, "UNPACK_ccsds: number of values missing\n");
    const std::size_t n = static_cast<std::size_t>(p.data_pnts);
    if (n > max_pts) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: %zu values for a grid of %zu points\n", n, max_pts);
        return unpack_detail::fail(out, msg);
    }
    const int nb = p.num_bits;
    if (nb == 0 || n == 0) {
        out->values.assign(n, static_cast<float>(p.ref * p.dscale));
        out->width = static_cast<int>(n);
        out->height = 1;
        return 0;
    }
    if (nb < 0 || nb > 32) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: %d bits per value (at most 32)\n", nb);
        return unpack_detail::fail(out, msg);
    }
    if (p.ccsds_flags < 0 || p.ccsds_block <= 0 || p.ccsds_rsi <= 0)
        return unpack_detail::fail(out, "UNPACK_ccsds: compression options missing\n");
    // Only the block sizes of the standard: libaec 1.0 overruns its own
    // buffers on others instead of refusing them.
    const int bs = p.ccsds_block;
    if ((bs != 8 && bs != 16 && bs != 32 && bs != 64) || p.ccsds_rsi > 4096) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: block size %d or reference interval %d not allowed\n",
                      bs, p.ccsds_rsi);
        return unpack_detail::fail(out, msg);
    }
    // The option bits the GRIB template defines; the rest are not ours to pass.
    const unsigned flags = static_cast<unsigned>(p.ccsds_flags) &
                           (AEC_DATA_SIGNED | AEC_DATA_3BYTE | AEC_DATA_MSB | AEC_DATA_PREPROCESS |
                            AEC_RESTRICTED | AEC_PAD_RSI);

    int bytes;
    if (nb <= 8)
        bytes = 1;
    else if (nb <= 16)
        bytes = 2;
    else if (nb <= 24 && (flags & AEC_DATA_3BYTE))
        bytes = 3;
    else
        bytes = 4;

    std::vector<std::uint8_t> samples(n * static_cast<std::size_t>(bytes));
    aec_stream strm{};
    strm.next_in = data;
    strm.avail_in = len;
    strm.next_out = samples.data();
    strm.avail_out = samples.size();
    strm.bits_per_sample = static_cast<unsigned>(nb);
    strm.block_size = static_cast<unsigned>(p.ccsds_block);
    strm.rsi = static_cast<unsigned>(p.ccsds_rsi);
    strm.flags = flags;
    int rc = data ? aec_buffer_decode(&strm) : AEC_STREAM_ERROR;
    if (rc != AEC_OK) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: decoder error %d\n", rc);
        return unpack_detail::fail(out, msg);
    }
    if (strm.total_out < samples.size()) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: %zu of %zu values in the data section\n",
                      static_cast<std::size_t>(strm.total_out / static_cast<unsigned>(bytes)), n);
        return unpack_detail::fail(out, msg);
    }

    out->values.resize(n);
    float *v = out->values.data();
    const std::uint8_t *s = samples.data();
    const bool msb = flags & AEC_DATA_MSB;
    const bool sgn = flags & AEC_DATA_SIGNED;
    const double ref = p.ref, sfac = p.sfac, dscale = p.dscale;
    for (std::size_t i = 0; i < n; ++i, s += bytes) {
        std::uint32_t x = 0;
        if (msb)
            for (int k = 0; k < bytes; ++k) x = (x << 8) | s[k];
        else
            for (int k = bytes - 1; k >= 0; --k) x = (x << 8) | s[k];
        if (nb < 32) x &= (std::uint32_t{1} << nb) - 1;
        double d;
        if (sgn && nb < 32 && (x >> (nb - 1)) & 1u)
            d = static_cast<double>(static_cast<std::int64_t>(x) - (std::int64_t{1} << nb));
        else if (sgn && nb == 32)
            d = static_cast<double>(static_cast<std::int32_t>(x));
        else
            d = static_cast<double>(x);
        v[i] = static_cast<float>((d * sfac + ref) * dscale);
    }
    out->width = static_cast<int>(n);
    out->height = 1;
    return 0;
}
