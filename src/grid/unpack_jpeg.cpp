// unpack_jpeg.cpp - JPEG 2000 code streams (templates 5.40 and 5.40000),
// decoded from memory with OpenJPEG.
//
// The stream is normally a bare code stream; a JP2 file wrapper is accepted
// too.  The image size is checked against the grid before any sample is
// decoded, so a forged header cannot make the decoder allocate without bound.
#include <openjpeg.h>

#include <cstdio>
#include <memory>

#include "unpack.h"
#include "zup.h"

namespace {

const char *const JPC_ERROR = "jpc_decode error\n";

struct MemSource {
    const std::uint8_t *data;
    std::size_t len;
    std::size_t pos;
};

OPJ_SIZE_T mem_read(void *buf, OPJ_SIZE_T n, void *user) {
    auto *s = static_cast<MemSource *>(user);
    if (s->pos >= s->len) return static_cast<OPJ_SIZE_T>(-1);
    std::size_t k = s->len - s->pos;
    if (n < k) k = n;
    std::memcpy(buf, s->data + s->pos, k);
    s->pos += k;
    return k;
}

OPJ_OFF_T mem_skip(OPJ_OFF_T n, void *user) {
    auto *s = static_cast<MemSource *>(user);
    if (n < 0) {
        std::size_t back = static_cast<std::size_t>(-n);
        if (back > s->pos) back = s->pos;
        s->pos -= back;
        return -static_cast<OPJ_OFF_T>(back);
    }
    std::size_t left = s->len - s->pos;
    if (left == 0 && n > 0) return -1;
    std::size_t k = static_cast<std::size_t>(n) < left ? static_cast<std::size_t>(n) : left;
    s->pos += k;
    return static_cast<OPJ_OFF_T>(k);
}

OPJ_BOOL mem_seek(OPJ_OFF_T n, void *user) {
    auto *s = static_cast<MemSource *>(user);
    if (n < 0 || static_cast<std::uint64_t>(n) > s->len) return OPJ_FALSE;
    s->pos = static_cast<std::size_t>(n);
    return OPJ_TRUE;
}

// The library's own chatter is not for the user; failures are reported once
// by the caller.
void quiet(const char *, void *) {}

struct CodecFree {
    void operator()(opj_codec_t *c) const { opj_destroy_codec(c); }
};
struct StreamFree {
    void operator()(opj_stream_t *s) const { opj_stream_destroy(s); }
};
struct ImageFree {
    void operator()(opj_image_t *i) const { opj_image_destroy(i); }
};

bool is_jp2_file(const std::uint8_t *d, std::size_t len) {
    static const std::uint8_t sig[12] = {0, 0, 0, 0x0c, 'j', 'P', ' ', ' ', 0x0d, 0x0a, 0x87, 0x0a};
    return len >= 12 && std::memcmp(d, sig, 12) == 0;
}

}  // namespace

namespace {

// An opened code stream: its header read and checked against the grid.
struct OpenStream {
    MemSource src{nullptr, 0, 0};
    std::unique_ptr<opj_stream_t, StreamFree> stream;
    std::unique_ptr<opj_codec_t, CodecFree> codec;
    std::unique_ptr<opj_image_t, ImageFree> image;
    bool constant = false;  // no bits per value: no code stream at all
    std::size_t n = 0;
};

// The checks of the full decode up to the samples: 0, or -1 (out says why).
int open_stream(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                std::size_t max_pts, UNPACK_out *out, OpenStream *os) {
    unpack_detail::reset(out);
    char msg[160];
    if (p.data_pnts < 0) return unpack_detail::fail(out, "UNPACK_jpeg2000: number of values missing\n");
    const std::size_t n = static_cast<std::size_t>(p.data_pnts);
    os->n = n;
    if (n > max_pts) {
        std::snprintf(msg, sizeof msg, "UNPACK_jpeg2000: %zu values for a grid of %zu points\n", n,
                      max_pts);
        return unpack_detail::fail(out, msg);
    }
    // No bits per value: a constant field, no code stream.
    if (p.num_bits == 0) {
        os->constant = true;
        out->width = static_cast<int>(n);
        out->height = 1;
        return 0;
    }
    if (!data || len < 2) return unpack_detail::fail(out, JPC_ERROR);

    os->src = MemSource{data, len, 0};
    os->stream.reset(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
    opj_stream_t *stream = os->stream.get();
    if (!stream) return unpack_detail::fail(out, JPC_ERROR);
    opj_stream_set_user_data(stream, &os->src, nullptr);
    opj_stream_set_user_data_length(stream, len);
    opj_stream_set_read_function(stream, mem_read);
    opj_stream_set_skip_function(stream, mem_skip);
    opj_stream_set_seek_function(stream, mem_seek);

    os->codec.reset(opj_create_decompress(is_jp2_file(data, len) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    opj_codec_t *codec = os->codec.get();
    if (!codec) return unpack_detail::fail(out, JPC_ERROR);
    opj_set_info_handler(codec, quiet, nullptr);
    opj_set_warning_handler(codec, quiet, nullptr);
    opj_set_error_handler(codec, quiet, nullptr);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    if (!opj_setup_decoder(codec, &params)) return unpack_detail::fail(out, JPC_ERROR);

    opj_image_t *raw = nullptr;
    if (!opj_read_header(stream, codec, &raw)) {
        if (raw) opj_image_destroy(raw);
        return unpack_detail::fail(out, JPC_ERROR);
    }
    os->image.reset(raw);
    opj_image_t *image = raw;
    if (!image || image->numcomps < 1 || !image->comps) return unpack_detail::fail(out, JPC_ERROR);

    // Size check before decoding: the first component must hold the values
    // and fit the grid.
    const std::uint64_t w = image->comps[0].w, h = image->comps[0].h;
    if (w == 0 || h == 0 || w * h > max_pts || w * h < n) {
        std::snprintf(msg, sizeof msg,
                      "UNPACK_jpeg2000: image of %llu x %llu for %zu values (grid %zu)\n",
                      static_cast<unsigned long long>(w), static_cast<unsigned long long>(h), n,
                      max_pts);
        return unpack_detail::fail(out, msg);
    }
    const OPJ_UINT32 comp0 = 0;
    if (image->numcomps > 1 && !opj_set_decoded_components(codec, 1, &comp0, OPJ_FALSE))
        return unpack_detail::fail(out, JPC_ERROR);
    out->width = static_cast<int>(w);
    out->height = static_cast<int>(h);
    return 0;
}

// Decodes the samples (of the area set, if any) and ends the stream.
bool decode_samples(OpenStream *os) {
    return opj_decode(os->codec.get(), os->stream.get(), os->image.get()) &&
           opj_end_decompress(os->codec.get(), os->stream.get());
}

// Whether every component is coded with the reversible 5-3 wavelet, whose
// integer reconstruction of an area equals that of the whole image.
bool reversible(opj_codec_t *codec) {
    opj_codestream_info_v2_t *info = opj_get_cstr_info(codec);
    if (!info) return false;
    bool rev = info->m_default_tile_info.tccp_info != nullptr && info->nbcomps >= 1;
    for (OPJ_UINT32 c = 0; rev && c < info->nbcomps; ++c)
        rev = info->m_default_tile_info.tccp_info[c].qmfbid == 1;
    opj_destroy_cstr_info(&info);
    return rev;
}

}  // namespace

int UNPACK_jpeg2000(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                    std::size_t max_pts, UNPACK_out *out) {
    OpenStream os;
    if (open_stream(p, data, len, max_pts, out, &os) < 0) return -1;
    const std::size_t n = os.n;
    if (os.constant) {
        unpack_detail::constant_field(n, p.ref * p.dscale, out);
        return 0;
    }
    if (!decode_samples(&os)) return unpack_detail::fail(out, JPC_ERROR);
    const opj_image_comp_t &c = os.image->comps[0];
    if (!c.data || static_cast<std::uint64_t>(c.w) * c.h < n) return unpack_detail::fail(out, JPC_ERROR);

    MESS_print(unpack_detail::DEBUG, "JAS %d %d = %d %d = %d %d = %d\n", static_cast<int>(c.w),
               static_cast<int>(c.h), static_cast<int>(c.x0), static_cast<int>(c.y0),
               static_cast<int>(os.image->numcomps), static_cast<int>(c.prec), p.data_pnts);
    out->values.resize(n);
    const double ref = p.ref, sfac = p.sfac, dscale = p.dscale;
    const OPJ_INT32 *d = c.data;
    float *v = out->values.data();
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<float>((static_cast<double>(d[i]) * sfac + ref) * dscale);
    out->width = static_cast<int>(c.w);
    out->height = static_cast<int>(c.h);
    return 0;
}

int UNPACK_jpeg2000_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                           std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out) {
    OpenStream os;
    if (open_stream(p, data, len, max_pts, out, &os) < 0) return -1;
    const std::vector<std::size_t> idx = choose(os.n, *out);
    if (os.constant) {
        out->values.assign(idx.size(), static_cast<float>(p.ref * p.dscale));
        return 0;
    }
    opj_image_t *image = os.image.get();
    const OPJ_UINT32 w = image->comps[0].w;
    const std::uint64_t ox = image->x0, oy = image->y0;  // the area changes them
    // The box around the wanted pixels, on the image's reference grid
    // (components at full resolution only; others are decoded whole).
    bool area = !idx.empty() && image->comps[0].dx == 1 && image->comps[0].dy == 1 &&
                reversible(os.codec.get());
    if (area) {
        OPJ_UINT32 x0 = w, x1 = 0;
        const OPJ_UINT32 y0 = static_cast<OPJ_UINT32>(idx.front() / w);
        const OPJ_UINT32 y1 = static_cast<OPJ_UINT32>(idx.back() / w) + 1;
        for (std::size_t k : idx) {
            const OPJ_UINT32 x = static_cast<OPJ_UINT32>(k % w);
            if (x < x0) x0 = x;
            if (x + 1 > x1) x1 = x + 1;
        }
        area = opj_set_decode_area(os.codec.get(), image, static_cast<OPJ_INT32>(ox + x0),
                                   static_cast<OPJ_INT32>(oy + y0),
                                   static_cast<OPJ_INT32>(ox + x1),
                                   static_cast<OPJ_INT32>(oy + y1));
        if (!area) return unpack_detail::fail(out, JPC_ERROR);
    }
    if (!decode_samples(&os)) return unpack_detail::fail(out, JPC_ERROR);
    const opj_image_comp_t &c = image->comps[0];
    if (!c.data) return unpack_detail::fail(out, JPC_ERROR);
    // c now covers columns c.x0.. and rows c.y0.. (relative to the image
    // origin) of c.w x c.h samples.
    if (!area && static_cast<std::uint64_t>(c.w) * c.h < os.n) return unpack_detail::fail(out, JPC_ERROR);
    const std::uint64_t cx0 = c.x0 - ox, cy0 = c.y0 - oy;
    out->values.resize(idx.size());
    const double ref = p.ref, sfac = p.sfac, dscale = p.dscale;
    for (std::size_t k = 0; k < idx.size(); ++k) {
        std::uint64_t at = idx[k];
        if (area) {
            const std::uint64_t x = idx[k] % w, y = idx[k] / w;
            if (x < cx0 || y < cy0 || x - cx0 >= c.w || y - cy0 >= c.h)
                return unpack_detail::fail(out, JPC_ERROR);
            at = (y - cy0) * c.w + (x - cx0);
        }
        out->values[k] = static_cast<float>((static_cast<double>(c.data[at]) * sfac + ref) * dscale);
    }
    return 0;
}
