// xdump.cpp - X window dump writer: the 100-byte header most significant
// byte first, the window name, the colour entries and the pixel rows as
// the image holds them.
#include <cstdio>
#include <cstring>

#include "zupimg.h"

namespace {

void put32(std::vector<unsigned char> &b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>((v >> s) & 0xff));
}

void put16(std::vector<unsigned char> &b, unsigned v) {
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
    b.push_back(static_cast<unsigned char>(v & 0xff));
}

unsigned short to16(float f) {
    float s = f * 65535.0f;
    return static_cast<unsigned short>(s <= 0 ? 0 : (s >= 65535 ? 65535 : s + 0.5f));
}

// Errors of this writer go to standard error.
int fail(const char *text) {
    std::fputs(text, stderr);
    return 0;
}

}  // namespace

int XWD_write(const char *file, IMG_report *img) {
    if (!img || img->width < 1 || img->height < 1 || img->bytes_line < 1) return 0;
    const size_t info_len = std::strlen(img->info) + 1;
    const int ncolors = static_cast<int>(img->colors.size());
    XWDFileHeader h{};
    h.header_size = static_cast<uint32_t>(100 + info_len);
    h.file_version = 7;
    h.pixmap_format = 2;   // ZPixmap
    h.pixmap_depth = static_cast<uint32_t>(img->depth);
    h.pixmap_width = static_cast<uint32_t>(img->width);
    h.pixmap_height = static_cast<uint32_t>(img->height);
    h.xoffset = 0;
    h.byte_order = static_cast<uint32_t>(img->byte_order);
    h.bitmap_unit = 32;
    h.bitmap_bit_order = static_cast<uint32_t>(img->byte_order);
    h.bitmap_pad = 32;
    h.bits_per_pixel = static_cast<uint32_t>(img->bits_pixel);
    h.bytes_per_line = static_cast<uint32_t>(img->bytes_line);
    h.visual_class = img->color_type == 1 ? 3 : 4;   // PseudoColor, TrueColor
    h.red_mask = img->red;
    h.green_mask = img->grn;
    h.blue_mask = img->blu;
    h.bits_per_rgb = 8;
    h.colormap_entries = static_cast<uint32_t>(ncolors);
    h.ncolors = static_cast<uint32_t>(ncolors);
    h.window_width = static_cast<uint32_t>(img->width);
    h.window_height = static_cast<uint32_t>(img->height);
    h.window_x = h.window_y = h.window_bdrwidth = 0;

    IMG_outfile out(file);
    if (!out.get()) return fail("Unable to open dump file\n");

    std::vector<unsigned char> head;
    for (uint32_t v : {h.header_size, h.file_version, h.pixmap_format, h.pixmap_depth,
                       h.pixmap_width, h.pixmap_height, h.xoffset, h.byte_order, h.bitmap_unit,
                       h.bitmap_bit_order, h.bitmap_pad, h.bits_per_pixel, h.bytes_per_line,
                       h.visual_class, h.red_mask, h.green_mask, h.blue_mask, h.bits_per_rgb,
                       h.colormap_entries, h.ncolors, h.window_width, h.window_height,
                       h.window_x, h.window_y, h.window_bdrwidth})
        put32(head, v);
    if (!out.write(head.data(), head.size())) return fail("Unable to write dump file header\n");
    if (!out.write(img->info, info_len))
        return fail("Unable to write window name to dump file.\n");

    std::vector<unsigned char> cmap;
    cmap.reserve(static_cast<size_t>(ncolors) * 12);
    for (int i = 0; i < ncolors; ++i) {
        put32(cmap, static_cast<uint32_t>(i));
        put16(cmap, to16(img->colors[i].r));
        put16(cmap, to16(img->colors[i].g));
        put16(cmap, to16(img->colors[i].b));
        cmap.push_back(7);   // DoRed | DoGreen | DoBlue
        cmap.push_back(0);
    }
    if (!out.write(cmap.data(), cmap.size()))
        return fail("Unable to write color map to dump file.\n");

    const size_t bytes = static_cast<size_t>(img->height) * static_cast<size_t>(img->bytes_line);
    bool ok = img->data.size() >= bytes && out.write(img->data.data(), bytes);
    if (!ok || !out.finish()) return fail("Unable to write to XWD file.\n");
    return 1;
}
