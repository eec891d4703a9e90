// Packing decoders for compressed images: JPEG 2000, PNG and CCSDS streams
// encoded here with the libraries themselves, decoded back, plus corrupt,
// truncated and oversized streams.
#include <gtest/gtest.h>
#include <libaec.h>
#include <openjpeg.h>
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "unpack.h"

namespace {

// Deterministic sample values below 2^nbits.
std::vector<std::uint32_t> samples(std::size_t n, int nbits, std::uint32_t seed = 1) {
    std::vector<std::uint32_t> v(n);
    std::uint64_t mask = nbits >= 32 ? 0xFFFFFFFFull : ((1ull << nbits) - 1);
    std::uint64_t x = seed;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        // smooth part plus noise, as in a real field
        std::uint64_t smooth = (i * 7) & mask;
        v[i] = static_cast<std::uint32_t>(((x >> 33) % 5 + smooth) & mask);
    }
    if (n) v[n - 1] = static_cast<std::uint32_t>(mask);
    return v;
}

UNPACK_params params(int drs, int n, int nbits) {
    UNPACK_params p;
    UNPACK_clear_params(&p);
    p.drs_temp = drs;
    p.data_pnts = n;
    p.num_bits = nbits;
    p.ref = 100.0;
    p.sfac = 0.5;
    p.dscale = 0.01;
    return p;
}

void expect_values(const UNPACK_out &out, const std::vector<std::uint32_t> &x, const UNPACK_params &p) {
    ASSERT_EQ(out.values.size(), x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        ASSERT_FLOAT_EQ(out.values[i], static_cast<float>((x[i] * p.sfac + p.ref) * p.dscale)) << i;
}

// ---------------------------------------------------------------- JPEG 2000

struct MemSink {
    std::vector<std::uint8_t> buf;
    std::size_t pos = 0;
};

OPJ_SIZE_T sink_write(void *b, OPJ_SIZE_T n, void *u) {
    auto *s = static_cast<MemSink *>(u);
    if (s->pos + n > s->buf.size()) s->buf.resize(s->pos + n);
    std::memcpy(s->buf.data() + s->pos, b, n);
    s->pos += n;
    return n;
}
OPJ_OFF_T sink_skip(OPJ_OFF_T n, void *u) {
    auto *s = static_cast<MemSink *>(u);
    s->pos += static_cast<std::size_t>(n);
    if (s->pos > s->buf.size()) s->buf.resize(s->pos);
    return n;
}
OPJ_BOOL sink_seek(OPJ_OFF_T n, void *u) {
    auto *s = static_cast<MemSink *>(u);
    s->pos = static_cast<std::size_t>(n);
    if (s->pos > s->buf.size()) s->buf.resize(s->pos);
    return OPJ_TRUE;
}
void quiet(const char *, void *) {}

// Lossless JPEG 2000 code stream of a w x h single-component image.
std::vector<std::uint8_t> encode_j2k(const std::vector<std::uint32_t> &x, int w, int h, int nbits) {
    opj_cparameters_t cp;
    opj_set_default_encoder_parameters(&cp);
    cp.tcp_numlayers = 1;
    cp.tcp_rates[0] = 0;
    cp.cp_disto_alloc = 1;
    int res = 1;
    while (res < 6 && (std::min(w, h) >> res) >= 1) ++res;
    cp.numresolution = res;
    opj_image_cmptparm_t c{};
    c.dx = c.dy = 1;
    c.w = static_cast<OPJ_UINT32>(w);
    c.h = static_cast<OPJ_UINT32>(h);
    c.prec = static_cast<OPJ_UINT32>(nbits);
    c.sgnd = 0;
    opj_image_t *img = opj_image_create(1, &c, OPJ_CLRSPC_GRAY);
    img->x0 = img->y0 = 0;
    img->x1 = c.w;
    img->y1 = c.h;
    for (std::size_t i = 0; i < x.size(); ++i) img->comps[0].data[i] = static_cast<OPJ_INT32>(x[i]);
    opj_codec_t *codec = opj_create_compress(OPJ_CODEC_J2K);
    opj_set_error_handler(codec, quiet, nullptr);
    opj_set_warning_handler(codec, quiet, nullptr);
    opj_set_info_handler(codec, quiet, nullptr);
    MemSink sink;
    opj_stream_t *st = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
    opj_stream_set_user_data(st, &sink, nullptr);
    opj_stream_set_write_function(st, sink_write);
    opj_stream_set_skip_function(st, sink_skip);
    opj_stream_set_seek_function(st, sink_seek);
    bool ok = opj_setup_encoder(codec, &cp, img) && opj_start_compress(codec, img, st) &&
              opj_encode(codec, st) && opj_end_compress(codec, st);
    opj_stream_destroy(st);
    opj_destroy_codec(codec);
    opj_image_destroy(img);
    EXPECT_TRUE(ok);
    return sink.buf;
}

// A two-dimensional image and a one-row value list; the pre-standard
// template number decodes the same way.
TEST(UnpackJpeg2000, ImagesAndValueListsRoundTrip) {
    for (auto [w, h, nb] : {std::tuple{37, 23, 12}, std::tuple{300, 1, 20}}) {
        auto x = samples(static_cast<std::size_t>(w * h), nb, static_cast<std::uint32_t>(h));
        auto cs = encode_j2k(x, w, h, nb);
        ASSERT_GT(cs.size(), 10u);
        for (int drs : {DRS_JPEG2000, DRS_JPEG2000_OLD}) {
            auto p = params(drs, w * h, nb);
            UNPACK_out out;
            ASSERT_EQ(UNPACK_data(p, cs.data(), cs.size(), static_cast<std::size_t>(w * h), &out), 0) << out.msg;
            EXPECT_EQ(out.width, w);
            EXPECT_EQ(out.height, h);
            expect_values(out, x, p);
        }
    }
}

TEST(UnpackJpeg2000, CorruptTruncatedAndOversizedStreams) {
    const int w = 16, h = 16, nb = 10;
    auto x = samples(w * h, nb, 3);
    auto cs = encode_j2k(x, w, h, nb);
    auto p = params(DRS_JPEG2000, w * h, nb);
    UNPACK_out out;

    std::vector<std::uint8_t> junk(200);
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 37 + 11);
    EXPECT_EQ(UNPACK_jpeg2000(p, junk.data(), junk.size(), 1000, &out), -1);
    EXPECT_EQ(out.msg, "jpc_decode error\n");
    EXPECT_TRUE(out.values.empty());

    // Cut inside the main header and inside the tile data.
    for (std::size_t cut : {std::size_t{1}, std::size_t{20}, cs.size() / 2, cs.size() - 3}) {
        EXPECT_EQ(UNPACK_jpeg2000(p, cs.data(), cut, 1000, &out), -1) << cut;
        EXPECT_FALSE(out.msg.empty());
    }
    // A header claiming more points than the grid holds is refused before
    // any sample is decoded.
    p.data_pnts = 100;
    EXPECT_EQ(UNPACK_jpeg2000(p, cs.data(), cs.size(), 200, &out), -1);
    EXPECT_NE(out.msg.find("16 x 16"), std::string::npos);
    // So is an image with fewer points than section 5 announces.
    p.data_pnts = w * h + 1;
    EXPECT_EQ(UNPACK_jpeg2000(p, cs.data(), cs.size(), 1000, &out), -1);
    EXPECT_FALSE(out.msg.empty());
}

TEST(UnpackJpeg2000, NoBitsMeansAConstantFieldWithoutStream) {
    auto p = params(DRS_JPEG2000, 4, 0);
    UNPACK_out out;
    ASSERT_EQ(UNPACK_jpeg2000(p, nullptr, 0, 10, &out), 0);
    EXPECT_EQ(out.values, std::vector<float>(4, 1.0f));
}

// ---------------------------------------------------------------- PNG

void png_sink(png_structp png, png_bytep b, png_size_t n) {
    auto *v = static_cast<std::vector<std::uint8_t> *>(png_get_io_ptr(png));
    v->insert(v->end(), b, b + n);
}
void png_flush(png_structp) {}

// libpng's error return lands here; no object of this frame needs unwinding.
void write_png(std::vector<std::uint8_t> *out, const std::vector<std::uint8_t> &pix,
               std::size_t rowbytes, int w, int h, int depth, int color) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out->clear();
        ADD_FAILURE() << "png encoding failed";
        return;
    }
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_write_fn(png, out, png_sink, png_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth, color,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int r = 0; r < h; ++r) png_write_row(png, const_cast<std::uint8_t *>(pix.data()) + rowbytes * r);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
}

// PNG of w x h pixels holding the values in the layout used for GRIB
// packing: grey of 1 to 16 bits, RGB for 24 and RGBA for 32 bits.
std::vector<std::uint8_t> encode_png(const std::vector<std::uint32_t> &x, int w, int h, int nbits) {
    std::vector<std::uint8_t> out;
    int depth = nbits, color = PNG_COLOR_TYPE_GRAY, bytes = (nbits + 7) / 8;
    if (nbits == 24) {
        depth = 8;
        color = PNG_COLOR_TYPE_RGB;
    } else if (nbits == 32) {
        depth = 8;
        color = PNG_COLOR_TYPE_RGB_ALPHA;
    }
    std::size_t rowbytes = (static_cast<std::size_t>(w) * (nbits < 8 ? nbits : bytes * 8) + 7) / 8;
    std::vector<std::uint8_t> pix(rowbytes * static_cast<std::size_t>(h), 0);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            std::uint32_t v = x[static_cast<std::size_t>(r) * w + c];
            std::uint8_t *row = pix.data() + rowbytes * r;
            if (nbits < 8) {
                std::size_t bit = static_cast<std::size_t>(c) * nbits;
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - nbits - bit % 8));
            } else {
                for (int k = 0; k < bytes; ++k)
                    row[static_cast<std::size_t>(c) * bytes + k] =
                        static_cast<std::uint8_t>(v >> (8 * (bytes - 1 - k)));
            }
        }
    write_png(&out, pix, rowbytes, w, h, depth, color);
    return out;
}

// Every pixel layout, and one row of 1.1 million values (beyond the
// library's default width limit) as a bitmapped global 0.25 degree field
// would be packed.
TEST(UnpackPng, EveryPixelLayoutRoundTrips) {
    for (auto [w, h, nb] : {std::tuple{29, 11, 1}, std::tuple{29, 11, 2}, std::tuple{29, 11, 4}, std::tuple{29, 11, 8},
                            std::tuple{29, 11, 16}, std::tuple{29, 11, 24}, std::tuple{29, 11, 32},
                            std::tuple{1100000, 1, 8}}) {
        auto x = samples(static_cast<std::size_t>(w * h), nb, static_cast<std::uint32_t>(nb));
        auto img = encode_png(x, w, h, nb);
        ASSERT_FALSE(img.empty());
        auto p = params(DRS_PNG, w * h, nb);
        UNPACK_out out;
        ASSERT_EQ(UNPACK_data(p, img.data(), img.size(), w * h, &out), 0) << nb << " " << out.msg;
        EXPECT_EQ(out.width, w);
        EXPECT_EQ(out.height, h);
        expect_values(out, x, p);
    }
}

TEST(UnpackPng, CorruptTruncatedAndOversizedImages) {
    const int w = 20, h = 10;
    auto x = samples(w * h, 16, 9);
    auto img = encode_png(x, w, h, 16);
    auto p = params(DRS_PNG, w * h, 16);
    UNPACK_out out;
    std::vector<std::uint8_t> junk(100, 0x5a);
    EXPECT_EQ(UNPACK_png(p, junk.data(), junk.size(), 1000, &out), -1);
    EXPECT_EQ(out.msg, "UNPACK_png: not a PNG image\n");
    for (std::size_t cut : {std::size_t{8}, std::size_t{30}, img.size() / 2, img.size() - 13}) {
        EXPECT_EQ(UNPACK_png(p, img.data(), cut, 1000, &out), -1) << cut;
        EXPECT_EQ(out.msg, "UNPACK_png: corrupt PNG image\n");
    }
    auto bad = img;
    bad[bad.size() / 2] ^= 0xff;  // breaks the compressed data or its checksum
    EXPECT_EQ(UNPACK_png(p, bad.data(), bad.size(), 1000, &out), -1);
    EXPECT_EQ(UNPACK_png(p, img.data(), img.size(), 150, &out), -1);  // grid of 150 points
    EXPECT_FALSE(out.msg.empty());
    p.data_pnts = w * h + 1;
    EXPECT_EQ(UNPACK_png(p, img.data(), img.size(), 1000, &out), -1);
    EXPECT_NE(out.msg.find("20 x 10"), std::string::npos);
}

// ---------------------------------------------------------------- CCSDS

std::vector<std::uint8_t> encode_aec(const std::vector<std::uint32_t> &x, int nbits, unsigned flags,
                                     unsigned block, unsigned rsi) {
    int bytes = nbits <= 8 ? 1 : nbits <= 16 ? 2 : (nbits <= 24 && (flags & AEC_DATA_3BYTE)) ? 3 : 4;
    std::vector<std::uint8_t> raw(x.size() * static_cast<std::size_t>(bytes));
    for (std::size_t i = 0; i < x.size(); ++i)
        for (int k = 0; k < bytes; ++k) {
            int shift = (flags & AEC_DATA_MSB) ? 8 * (bytes - 1 - k) : 8 * k;
            raw[i * bytes + k] = static_cast<std::uint8_t>(x[i] >> shift);
        }
    std::vector<std::uint8_t> out(raw.size() * 2 + 1024);
    aec_stream s{};
    s.next_in = raw.data();
    s.avail_in = raw.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    s.bits_per_sample = static_cast<unsigned>(nbits);
    s.block_size = block;
    s.rsi = rsi;
    s.flags = flags;
    EXPECT_EQ(aec_buffer_encode(&s), AEC_OK);
    out.resize(s.total_out);
    return out;
}

UNPACK_params ccsds_params(int n, int nbits, unsigned flags, int block, int rsi) {
    auto p = params(DRS_CCSDS, n, nbits);
    p.ccsds_flags = static_cast<int>(flags);
    p.ccsds_block = block;
    p.ccsds_rsi = rsi;
    return p;
}

TEST(UnpackCcsds, SampleSizesAndByteOrdersRoundTrip) {
    const unsigned grib = AEC_DATA_MSB | AEC_DATA_PREPROCESS | AEC_DATA_3BYTE;
    struct Case {
        int nbits;
        unsigned flags;
    } cases[] = {{3, grib}, {8, grib}, {12, grib}, {16, AEC_DATA_PREPROCESS}, {17, grib},
                 {24, grib}, {20, AEC_DATA_MSB | AEC_DATA_PREPROCESS}, {32, grib}};
    for (const Case &c : cases) {
        const int n = 1000;
        auto x = samples(n, c.nbits, static_cast<std::uint32_t>(c.nbits));
        auto cs = encode_aec(x, c.nbits, c.flags, 32, 128);
        auto p = ccsds_params(n, c.nbits, c.flags, 32, 128);
        UNPACK_out out;
        ASSERT_EQ(UNPACK_data(p, cs.data(), cs.size(), n, &out), 0) << c.nbits << " " << out.msg;
        expect_values(out, x, p);
    }
}

TEST(UnpackCcsds, TruncatedStreamsAndBadOptionsAreRefused) {
    const unsigned flags = AEC_DATA_MSB | AEC_DATA_PREPROCESS | AEC_DATA_3BYTE;
    const int n = 2000;
    auto x = samples(n, 14, 4);
    auto cs = encode_aec(x, 14, flags, 16, 64);
    auto p = ccsds_params(n, 14, flags, 16, 64);
    UNPACK_out out;
    ASSERT_EQ(UNPACK_ccsds(p, cs.data(), cs.size(), n, &out), 0);
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, cs.size() / 2}) {
        EXPECT_EQ(UNPACK_ccsds(p, cs.data(), cut, n, &out), -1) << cut;
        EXPECT_FALSE(out.msg.empty());
        EXPECT_TRUE(out.values.empty());
    }
    auto q = p;
    q.ccsds_block = 0;
    EXPECT_EQ(UNPACK_ccsds(q, cs.data(), cs.size(), n, &out), -1);
    q = p;
    q.ccsds_block = 13;  // not a block size the standard allows
    EXPECT_EQ(UNPACK_ccsds(q, cs.data(), cs.size(), n, &out), -1);
    q = p;
    q.num_bits = 40;
    EXPECT_EQ(UNPACK_ccsds(q, cs.data(), cs.size(), n, &out), -1);
    EXPECT_EQ(UNPACK_ccsds(p, cs.data(), cs.size(), n - 1, &out), -1);
    EXPECT_NE(out.msg.find("grid of 1999 points"), std::string::npos);
}

// Random damage to each kind of stream: refused or decoded, never a crash
// or a read outside the stream (checked by the sanitizer build).
TEST(UnpackDamage, RandomByteDamageInEveryCodec) {
    const int w = 24, h = 12;
    struct Kind {
        UNPACK_params p;
        std::vector<std::uint8_t> data;
    };
    std::vector<Kind> kinds;
    {
        auto x = samples(w * h, 11, 21);
        kinds.push_back({params(DRS_JPEG2000, w * h, 11), encode_j2k(x, w, h, 11)});
        kinds.push_back({params(DRS_PNG, w * h, 16), encode_png(samples(w * h, 16, 22), w, h, 16)});
        const unsigned f = AEC_DATA_MSB | AEC_DATA_PREPROCESS | AEC_DATA_3BYTE;
        kinds.push_back({ccsds_params(w * h, 11, f, 32, 128), encode_aec(x, 11, f, 32, 128)});
    }
    std::uint64_t rnd = 777;
    auto next = [&rnd](std::uint64_t m) {
        rnd = rnd * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::size_t>((rnd >> 33) % m);
    };
    for (const Kind &k : kinds) {
        UNPACK_out out;
        ASSERT_EQ(UNPACK_data(k.p, k.data.data(), k.data.size(), w * h, &out), 0) << out.msg;
        for (int it = 0; it < 150; ++it) {
            auto d = k.data;
            for (std::size_t n = 1 + next(3); n > 0; --n)
                d[next(d.size())] ^= static_cast<std::uint8_t>(1 + next(255));
            if (next(3) == 0) d.resize(next(d.size()));
            int rc = UNPACK_data(k.p, d.data(), d.size(), w * h, &out);
            if (rc == 0) {
                EXPECT_EQ(out.values.size(), static_cast<std::size_t>(w * h));
            } else {
                EXPECT_FALSE(out.msg.empty());
                EXPECT_TRUE(out.values.empty());
            }
        }
    }
}

}  // namespace
