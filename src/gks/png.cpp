// png.cpp - PNG writer: the palette pass of the GIF writer, then an 8-bit
// palette image through libpng with the title, software and creation-time
// text entries.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "zupimg.h"

namespace {

[[noreturn]] void png_error_cb(png_structp png, png_const_charp msg) {
    MESS_print(192, "PNG_write: %s\n", msg ? msg : "libpng error");
    png_longjmp(png, 1);
}

void png_warning_cb(png_structp, png_const_charp msg) {
    MESS_print(0x40000000, "PNG_write: %s\n", msg ? msg : "libpng warning");
}

// The creation time in UTC (SOURCE_DATE_EPOCH, when set, for reproducible
// files).
std::string creation_time() {
    std::time_t now = std::time(nullptr);
    if (const char *e = std::getenv("SOURCE_DATE_EPOCH"))
        now = static_cast<std::time_t>(std::atoll(e));
    std::tm tmv;
    gmtime_r(&now, &tmv);
    char buf[64];
    std::strftime(buf, sizeof buf, "%d %b %Y %H:%M:%S GMT", &tmv);
    return buf;
}

// Everything libpng touches lives in the caller, so a jump back from an
// error leaves nothing to unwind here.
bool write_png(FILE *fp, int width, int height, const IMG_palette &pal, png_bytepp rows,
               png_textp text, int ntext) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_cb, png_warning_cb);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, fp);
    // Plots are long runs of one colour: run-length matching at the default
    // level is several times faster than the default search, for files
    // about a tenth larger.
    png_set_compression_strategy(png, Z_RLE);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {pal.red[i], pal.grn[i], pal.blu[i]};
    png_set_PLTE(png, info, palette, 256);
    png_set_text(png, info, text, ntext);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int PNG_write(const char *file, IMG_report *img) {
    if (!img || img->width < 1 || img->height < 1) return 0;
    IMG_palette pal;
    if (IMG_make_palette(img, &pal) != 0) return 0;
    IMG_outfile out(file);
    if (!out.get()) {
        MESS_print(192, "Unable to open PNG file\n");
        return 0;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(img->height));
    for (int y = 0; y < img->height; ++y)
        rows[static_cast<size_t>(y)] = pal.index.data() + static_cast<size_t>(y) * img->width;

    std::string title = img->info, software = "raziva version 5.0", created = creation_time();
    char k_title[] = "Title", k_soft[] = "Software", k_time[] = "Creation Time";
    png_text text[3] = {};
    png_charp keys[3] = {k_title, k_soft, k_time};
    std::string *vals[3] = {&title, &software, &created};
    for (int i = 0; i < 3; ++i) {
        text[i].compression = PNG_TEXT_COMPRESSION_NONE;
        text[i].key = keys[i];
        text[i].text = vals[i]->data();
        text[i].text_length = vals[i]->size();
    }
    if (!write_png(out.get(), img->width, img->height, pal, rows.data(), text, 3)) return 0;
    return out.finish() ? 1 : 0;
}
