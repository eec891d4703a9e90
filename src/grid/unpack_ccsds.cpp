// unpack_ccsds.cpp - CCSDS adaptive entropy coding (template 5.42), decoded
// with libaec.  The option octet of section 5 is libaec's own flag mask.
#include <libaec.h>

#include <cstdio>
#include <vector>

#include "unpack.h"

namespace {

// A checked CCSDS section: sample size and the options for libaec.
struct Setup {
    std::size_t n = 0;
    bool constant = false;
    int bytes = 0;
    unsigned flags = 0;
};

int check_ccsds(const UNPACK_params &p, std::size_t max_pts, UNPACK_out *out, Setup *su) {
    unpack_detail::reset(out);
    char msg[160];
    if (p.data_pnts < 0) return unpack_detail::fail(out, "UNPACK_ccsds: number of values missing\n");
    const std::size_t n = static_cast<std::size_t>(p.data_pnts);
    su->n = n;
    if (n > max_pts) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: %zu values for a grid of %zu points\n", n, max_pts);
        return unpack_detail::fail(out, msg);
    }
    out->width = static_cast<int>(n);
    out->height = 1;
    const int nb = p.num_bits;
    if (nb == 0 || n == 0) {
        su->constant = true;
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
    su->flags = static_cast<unsigned>(p.ccsds_flags) &
                (AEC_DATA_SIGNED | AEC_DATA_3BYTE | AEC_DATA_MSB | AEC_DATA_PREPROCESS |
                 AEC_RESTRICTED | AEC_PAD_RSI);
    // The restricted coding options exist for at most 4 bits per value;
    // libaec 1.0 refuses other widths only after allocating its state,
    // which it then never frees.
    if ((su->flags & AEC_RESTRICTED) && nb > 4) {
        std::snprintf(msg, sizeof msg,
                      "UNPACK_ccsds: restricted coding with %d bits per value (at most 4)\n", nb);
        return unpack_detail::fail(out, msg);
    }
    if (nb <= 8)
        su->bytes = 1;
    else if (nb <= 16)
        su->bytes = 2;
    else if (nb <= 24 && (su->flags & AEC_DATA_3BYTE))
        su->bytes = 3;
    else
        su->bytes = 4;
    return 0;
}

// Decodes the first samples.size() / bytes samples.  The whole field is one
// call; a prefix is decoded as a stream that stops when the output is full.
int decode_samples(const UNPACK_params &p, const Setup &su, const std::uint8_t *data,
                   std::size_t len, std::vector<std::uint8_t> *samples, bool whole, UNPACK_out *out) {
    aec_stream strm{};
    strm.next_in = data;
    strm.avail_in = len;
    strm.next_out = samples->data();
    strm.avail_out = samples->size();
    strm.bits_per_sample = static_cast<unsigned>(p.num_bits);
    strm.block_size = static_cast<unsigned>(p.ccsds_block);
    strm.rsi = static_cast<unsigned>(p.ccsds_rsi);
    strm.flags = su.flags;
    int rc;
    if (!data) {
        rc = AEC_STREAM_ERROR;
    } else if (whole) {
        rc = aec_buffer_decode(&strm);
    } else {
        rc = aec_decode_init(&strm);
        if (rc == AEC_OK) {
            rc = aec_decode(&strm, AEC_NO_FLUSH);
            aec_decode_end(&strm);
        }
    }
    char msg[160];
    if (rc != AEC_OK) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: decoder error %d\n", rc);
        return unpack_detail::fail(out, msg);
    }
    if (strm.total_out < samples->size()) {
        std::snprintf(msg, sizeof msg, "UNPACK_ccsds: %zu of %zu values in the data section\n",
                      static_cast<std::size_t>(strm.total_out / static_cast<unsigned>(su.bytes)), su.n);
        return unpack_detail::fail(out, msg);
    }
    return 0;
}

// Value of the sample at s.
inline float sample_value(const UNPACK_params &p, const Setup &su, const std::uint8_t *s) {
    const int nb = p.num_bits, bytes = su.bytes;
    std::uint32_t x = 0;
    if (su.flags & AEC_DATA_MSB)
        for (int k = 0; k < bytes; ++k) x = (x << 8) | s[k];
    else
        for (int k = bytes - 1; k >= 0; --k) x = (x << 8) | s[k];
    if (nb < 32) x &= (std::uint32_t{1} << nb) - 1;
    const bool sgn = su.flags & AEC_DATA_SIGNED;
    double d;
    if (sgn && nb < 32 && (x >> (nb - 1)) & 1u)
        d = static_cast<double>(static_cast<std::int64_t>(x) - (std::int64_t{1} << nb));
    else if (sgn && nb == 32)
        d = static_cast<double>(static_cast<std::int32_t>(x));
    else
        d = static_cast<double>(x);
    return static_cast<float>((d * p.sfac + p.ref) * p.dscale);
}

}  // namespace

int UNPACK_ccsds(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                 std::size_t max_pts, UNPACK_out *out) {
    Setup su;
    if (check_ccsds(p, max_pts, out, &su) < 0) return -1;
    if (su.constant) {
        unpack_detail::constant_field(su.n, p.ref * p.dscale, out);
        return 0;
    }
    std::vector<std::uint8_t> samples(su.n * static_cast<std::size_t>(su.bytes));
    if (decode_samples(p, su, data, len, &samples, true, out) < 0) return -1;
    out->values.resize(su.n);
    float *v = out->values.data();
    const std::uint8_t *s = samples.data();
    for (std::size_t i = 0; i < su.n; ++i, s += su.bytes) v[i] = sample_value(p, su, s);
    out->width = static_cast<int>(su.n);
    out->height = 1;
    return 0;
}

int UNPACK_ccsds_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                        std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out) {
    Setup su;
    if (check_ccsds(p, max_pts, out, &su) < 0) return -1;
    const std::vector<std::size_t> idx = choose(su.n, *out);
    if (su.constant) {
        out->values.assign(idx.size(), static_cast<float>(p.ref * p.dscale));
        return 0;
    }
    if (idx.empty()) return 0;
    // libaec 1.0 has no random access: decode up to the last wanted sample
    const std::size_t upto = idx.back() + 1;
    std::vector<std::uint8_t> samples(upto * static_cast<std::size_t>(su.bytes));
    if (decode_samples(p, su, data, len, &samples, upto == su.n, out) < 0) return -1;
    out->values.resize(idx.size());
    for (std::size_t k = 0; k < idx.size(); ++k)
        out->values[k] = sample_value(p, su, samples.data() + idx[k] * static_cast<std::size_t>(su.bytes));
    return 0;
}
