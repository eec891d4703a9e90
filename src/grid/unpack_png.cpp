// unpack_png.cpp - PNG packing (template 5.41), decoded from memory with
// libpng 1.6.
//
// Each pixel is one packed value: grey samples of 1 to 16 bits, or the
// octets of an RGB (24-bit) or RGBA (32-bit) pixel read as one big-endian
// integer.  libpng reports errors through its jump buffer; the routine that
// sets it holds no objects with destructors, and all buffers belong to the
// caller.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "unpack.h"

namespace {

struct MemSource {
    const std::uint8_t *data;
    std::size_t len;
    std::size_t pos;
};

void mem_read(png_structp png, png_bytep buf, png_size_t n) {
    auto *s = static_cast<MemSource *>(png_get_io_ptr(png));
    if (n > s->len - s->pos) png_error(png, "read past the end of the data section");
    std::memcpy(buf, s->data + s->pos, n);
    s->pos += n;
}

void quiet_warning(png_structp, png_const_charp) {}
void error_jump(png_structp png, png_const_charp) { png_longjmp(png, 1); }

struct Decoded {
    std::uint32_t width = 0, height = 0;
    int bytes_per_pixel = 0;  // after expansion of small bit depths
};

// Tells, once the image size is known, how many rows from the top are
// needed (all of them for a full decode); ctx is the caller's.
using RowsWanted = png_uint_32 (*)(void *ctx, png_uint_32 width, png_uint_32 height);

// Decodes the image into pixels (rows back to back), stopping after the rows
// that wanted asks for (nullptr: all).  Returns 0, 1 for a corrupt stream, 2
// for an image larger than max_pts.
int decode_png(const std::uint8_t *data, std::size_t len, std::size_t max_pts,
               std::vector<std::uint8_t> *pixels, std::vector<png_bytep> *rows, Decoded *info,
               RowsWanted wanted = nullptr, void *ctx = nullptr) {
    MemSource src{data, len, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, error_jump, quiet_warning);
    if (!png) return 1;
    png_infop pinfo = png_create_info_struct(png);
    if (!pinfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return 1;
    }
    volatile int result = 1;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &pinfo, nullptr);
        return result;
    }
    png_set_read_fn(png, &src, mem_read);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, pinfo);
    png_uint_32 w = 0, h = 0;
    int depth = 0, color = 0;
    png_get_IHDR(png, pinfo, &w, &h, &depth, &color, nullptr, nullptr, nullptr);
    if (static_cast<std::uint64_t>(w) * h > max_pts) {
        result = 2;
        png_longjmp(png, 1);
    }
    if (color & PNG_COLOR_MASK_PALETTE) png_longjmp(png, 1);
    if (depth < 8) png_set_packing(png);  // one octet per sample, values kept
    png_read_update_info(png, pinfo);
    const std::size_t rowbytes = png_get_rowbytes(png, pinfo);
    const int channels = png_get_channels(png, pinfo);
    const int bytes = depth < 8 ? channels : channels * depth / 8;
    if (bytes < 1 || bytes > 4 || rowbytes < static_cast<std::size_t>(w) * bytes) png_longjmp(png, 1);
    // Interlaced images come in passes: only a whole image gives the rows.
    png_uint_32 nrows = h;
    if (wanted && png_get_interlace_type(png, pinfo) == PNG_INTERLACE_NONE) {
        nrows = wanted(ctx, w, h);
        if (nrows > h) nrows = h;
    }
    pixels->resize(rowbytes * nrows);
    rows->resize(nrows);
    for (png_uint_32 r = 0; r < nrows; ++r) (*rows)[r] = pixels->data() + rowbytes * r;
    if (nrows == h) {
        png_read_image(png, rows->data());
        png_read_end(png, nullptr);
    } else {
        for (png_uint_32 r = 0; r < nrows; ++r) png_read_row(png, (*rows)[r], nullptr);
    }
    png_destroy_read_struct(&png, &pinfo, nullptr);
    h = nrows;
    info->width = w;
    info->height = h;
    info->bytes_per_pixel = bytes;
    // Pack rows tightly (rows may carry padding octets).
    if (rowbytes != static_cast<std::size_t>(w) * bytes) {
        for (png_uint_32 r = 1; r < h; ++r)
            std::memmove(pixels->data() + static_cast<std::size_t>(r) * w * bytes,
                         pixels->data() + rowbytes * r, static_cast<std::size_t>(w) * bytes);
    }
    return 0;
}

}  // namespace

namespace {

// The checks of the full decode before the image: 0, or -1.
int check_png(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
              std::size_t max_pts, UNPACK_out *out, std::size_t *count) {
    unpack_detail::reset(out);
    char msg[160];
    if (p.data_pnts < 0) return unpack_detail::fail(out, "UNPACK_png: number of values missing\n");
    const std::size_t n = static_cast<std::size_t>(p.data_pnts);
    *count = n;
    if (n > max_pts) {
        std::snprintf(msg, sizeof msg, "UNPACK_png: %zu values for a grid of %zu points\n", n, max_pts);
        return unpack_detail::fail(out, msg);
    }
    if (p.num_bits == 0) {
        out->width = static_cast<int>(n);
        out->height = 1;
        return 0;
    }
    if (!data || len < 8 || png_sig_cmp(data, 0, 8) != 0)
        return unpack_detail::fail(out, "UNPACK_png: not a PNG image\n");
    return 0;
}

// The refusals of a decoded image (rc of decode_png).
int check_image(int rc, const Decoded &info, std::size_t n, UNPACK_out *out) {
    if (rc == 2) return unpack_detail::fail(out, "UNPACK_png: image larger than the grid\n");
    if (rc != 0) return unpack_detail::fail(out, "UNPACK_png: corrupt PNG image\n");
    const std::uint64_t npix = static_cast<std::uint64_t>(info.width) * info.height;
    if (npix < n) {
        char msg[160];
        std::snprintf(msg, sizeof msg, "UNPACK_png: image of %u x %u for %zu values\n", info.width,
                      info.height, n);
        return unpack_detail::fail(out, msg);
    }
    return 0;
}

// Value of pixel k.
inline float pixel_value(const UNPACK_params &p, const std::uint8_t *px, int b) {
    std::uint32_t x = 0;
    for (int k = 0; k < b; ++k) x = (x << 8) | px[k];
    return static_cast<float>((x * p.sfac + p.ref) * p.dscale);
}

// What the partial decode learns once the image size is known.
struct PickRows {
    const UNPACK_chooser *choose;
    std::size_t n;
    std::vector<std::size_t> idx;
    png_uint_32 width = 0, height = 0;
};

png_uint_32 pick_rows(void *ctx, png_uint_32 width, png_uint_32 height) {
    auto *pr = static_cast<PickRows *>(ctx);
    pr->width = width;
    pr->height = height;
    UNPACK_out shape;
    shape.width = static_cast<int>(width);
    shape.height = static_cast<int>(height);
    // an image too small for the values is refused after the decode, as
    // the full decode does; nothing is wanted from it
    if (static_cast<std::uint64_t>(width) * height < pr->n) return height;
    pr->idx = (*pr->choose)(pr->n, shape);
    return pr->idx.empty() ? 0 : static_cast<png_uint_32>(pr->idx.back() / width + 1);
}

}  // namespace

int UNPACK_png(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
               std::size_t max_pts, UNPACK_out *out) {
    std::size_t n = 0;
    if (check_png(p, data, len, max_pts, out, &n) < 0) return -1;
    if (p.num_bits == 0) {
        unpack_detail::constant_field(n, p.ref * p.dscale, out);
        return 0;
    }
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    Decoded info;
    if (check_image(decode_png(data, len, max_pts, &pixels, &rows, &info), info, n, out) < 0)
        return -1;
    out->values.resize(n);
    float *v = out->values.data();
    const std::uint8_t *px = pixels.data();
    const int b = info.bytes_per_pixel;
    for (std::size_t i = 0; i < n; ++i, px += b) v[i] = pixel_value(p, px, b);
    out->width = static_cast<int>(info.width);
    out->height = static_cast<int>(info.height);
    return 0;
}

int UNPACK_png_points(const UNPACK_params &p, const std::uint8_t *data, std::size_t len,
                      std::size_t max_pts, const UNPACK_chooser &choose, UNPACK_out *out) {
    std::size_t n = 0;
    if (check_png(p, data, len, max_pts, out, &n) < 0) return -1;
    if (p.num_bits == 0) {
        std::vector<std::size_t> idx = choose(n, *out);
        out->values.assign(idx.size(), static_cast<float>(p.ref * p.dscale));
        return 0;
    }
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    Decoded info;
    PickRows pr{&choose, n, {}};
    int rc = decode_png(data, len, max_pts, &pixels, &rows, &info, pick_rows, &pr);
    if (rc == 0 && pr.width != 0) info.height = pr.height;  // the image's, not the rows read
    if (check_image(rc, info, n, out) < 0) return -1;
    out->width = static_cast<int>(info.width);
    out->height = static_cast<int>(info.height);
    if (pr.width == 0) pr.idx = choose(n, *out);  // interlaced: read whole
    const int b = info.bytes_per_pixel;
    out->values.resize(pr.idx.size());
    for (std::size_t k = 0; k < pr.idx.size(); ++k)
        out->values[k] = pixel_value(p, pixels.data() + pr.idx[k] * static_cast<std::size_t>(b), b);
    return 0;
}
