// img_tool.cpp - pixel access and the palette pass shared by the image
// writers, the writers' output file, and the own raster format "ZUPIMG".
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "gks_dev.h"
#include "zupimg.h"

// ---------------------------------------------------------------------------
// Pixels

uint32_t IMG_pixel(const IMG_report *img, int x, int y) {
    if (!img || x < 0 || y < 0 || x >= img->width || y >= img->height) return 0;
    const size_t row = static_cast<size_t>(y) * static_cast<size_t>(img->bytes_line);
    const bool msb = img->byte_order == 1;
    auto at = [&](long off) -> uint32_t {
        // Bytes past the row or the buffer read as 0.
        if (off < 0 || off >= img->bytes_line) return 0;
        size_t k = row + static_cast<size_t>(off);
        return k < img->data.size() ? img->data[k] : 0;
    };
    switch (img->bits_pixel) {
    case 32: {
        long o = 4L * x;
        return msb ? (at(o + 1) << 16 | at(o + 2) << 8 | at(o + 3))
                   : (at(o + 2) << 16 | at(o + 1) << 8 | at(o));
    }
    case 24: {
        long o = 3L * x;
        return msb ? (at(o) << 16 | at(o + 1) << 8 | at(o + 2))
                   : (at(o + 2) << 16 | at(o + 1) << 8 | at(o));
    }
    case 16: {
        long o = 2L * x;
        return msb ? (at(o) << 8 | at(o + 1)) : (at(o + 1) << 8 | at(o));
    }
    case 8:
        return at(x);
    case 4: {
        uint32_t b = at(x / 2);
        return (x % 2 == 0) ? (b >> 4) & 0x0f : b & 0x0f;
    }
    case 1: {
        static const uint32_t kMask[8] = {1, 2, 4, 8, 16, 32, 64, 128};
        return (at(x / 8) & kMask[x % 8]) ? 1 : 0;
    }
    default:
        return 0;
    }
}

void IMG_row(const IMG_report *img, int y, uint32_t *out) {
    if (!img || !out || img->width < 1) return;
    const size_t start = static_cast<size_t>(y) * static_cast<size_t>(img->bytes_line);
    const size_t need = (static_cast<size_t>(img->width) * static_cast<size_t>(img->bits_pixel) + 7) / 8;
    // Whole rows of the common layouts at once; anything else (short rows,
    // packed pixels) pixel by pixel.
    if (y >= 0 && y < img->height && need <= static_cast<size_t>(img->bytes_line) &&
        start + need <= img->data.size()) {
        const unsigned char *p = img->data.data() + start;
        const bool msb = img->byte_order == 1;
        if (img->bits_pixel == 32 && msb) {
            for (int x = 0; x < img->width; ++x, p += 4)
                out[x] = uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
            return;
        }
        if (img->bits_pixel == 32 && std::endian::native == std::endian::little) {
            std::memcpy(out, p, 4 * static_cast<size_t>(img->width));
            for (int x = 0; x < img->width; ++x) out[x] &= 0xffffffu;
            return;
        }
        if (img->bits_pixel == 32) {
            for (int x = 0; x < img->width; ++x, p += 4)
                out[x] = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
            return;
        }
        if (img->bits_pixel == 8) {
            for (int x = 0; x < img->width; ++x) out[x] = p[x];
            return;
        }
    }
    for (int x = 0; x < img->width; ++x) out[x] = IMG_pixel(img, x, y);
}

int IMG_channel(uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    uint32_t v = (value & mask) >> shift;
    int width = 0;
    while (width < 32 && ((mask >> shift) >> width) & 1) ++width;
    if (width >= 8) return static_cast<int>(v >> (width - 8));
    return static_cast<int>(v << (8 - width));
}

int IMG_make_palette(const IMG_report *img, IMG_palette *pal) {
    if (!img || !pal || img->width < 1 || img->height < 1) return -1;
    *pal = IMG_palette();
    pal->index.resize(static_cast<size_t>(img->width) * static_cast<size_t>(img->height));
    std::unordered_map<uint32_t, int> seen;
    auto add = [&](uint32_t v) -> int {
        auto it = seen.find(v);
        if (it != seen.end()) return it->second;
        if (pal->num_color >= 256) return 0;   // beyond 256 colours
        int k = pal->num_color++;
        seen.emplace(v, k);
        if (img->color_type == 1) {
            IMG_color c = v < img->colors.size() ? img->colors[v] : IMG_color{0, 0, 0};
            auto to8 = [](float f) {
                float s = f * 255.0f;
                return static_cast<unsigned char>(s <= 0 ? 0 : (s >= 255 ? 255 : s + 0.5f));
            };
            pal->red[k] = to8(c.r);
            pal->grn[k] = to8(c.g);
            pal->blu[k] = to8(c.b);
        } else {
            pal->red[k] = static_cast<unsigned char>(IMG_channel(v, img->red));
            pal->grn[k] = static_cast<unsigned char>(IMG_channel(v, img->grn));
            pal->blu[k] = static_cast<unsigned char>(IMG_channel(v, img->blu));
        }
        return k;
    };
    std::vector<uint32_t> row(static_cast<size_t>(img->width));
    IMG_row(img, 0, row.data());
    uint32_t last = row[0];
    unsigned char last_k = static_cast<unsigned char>(add(last));
    unsigned char *out = pal->index.data();
    const uint32_t *r = row.data();
    const size_t w = row.size();
    for (int y = 0; y < img->height; ++y) {
        if (y > 0) IMG_row(img, y, row.data());
        for (size_t x = 0; x < w; ++x) {
            // Plots run in long stretches of one colour.
            if (r[x] != last) {
                last_k = static_cast<unsigned char>(add(r[x]));
                last = r[x];
            }
            out[x] = last_k;
        }
        out += w;
    }
    if (img->trans_color >= 0) {
        auto it = seen.find(static_cast<uint32_t>(img->trans_color));
        if (it != seen.end()) pal->trans = it->second;
    }
    return 0;
}

void IMG_free(IMG_report *img) {
    if (!img) return;
    std::vector<unsigned char>().swap(img->data);
    std::vector<IMG_color>().swap(img->colors);
    img->num_colors = 0;
}

// ---------------------------------------------------------------------------
// Output file

IMG_outfile::IMG_outfile(const char *name) {
    if (!name || !*name) return;
    copy_field(name_, name);
    fp_ = FILE_open(name, "wb");
}

IMG_outfile::~IMG_outfile() {
    if (fp_) discard();
}

bool IMG_outfile::write(const void *p, size_t n) {
    return fp_ && (n == 0 || std::fwrite(p, 1, n, fp_) == n);
}

// Removes what was written of a plain file (never a device, pipe or stream).
void IMG_outfile::remove_plain() {
    struct stat st;
    if (!FILE_is_stdio(name_) && name_[0] != '|' && stat(name_, &st) == 0 &&
        S_ISREG(st.st_mode))
        FILE_delete(name_);
}

void IMG_outfile::discard() {
    if (fp_) FILE_close(fp_);
    fp_ = nullptr;
    remove_plain();
}

bool IMG_outfile::finish() {
    if (!fp_) return false;
    if (std::fflush(fp_) != 0 || std::ferror(fp_)) {
        discard();
        return false;
    }
    FILE *f = fp_;
    fp_ = nullptr;
    if (FILE_close(f) != 0) {
        remove_plain();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Own raster format

namespace {

// The domain line: a projection word and the corner, spacing and size, or
// the picture size when the picture has no map domain.
std::string domain_line(const IMG_report *img) {
    const Domain &d = img->domain;
    char word[128] = "";
    auto set = [](float v) { return v != -9999.0f; };
    switch (d.proj) {
    case 2: std::snprintf(word, sizeof word, "LL "); break;
    case 3: std::snprintf(word, sizeof word, "ME "); break;
    case 1:
        if (set(d.plon)) std::snprintf(word, sizeof word, "PS:%f ", d.plon);
        else std::snprintf(word, sizeof word, "PS ");
        break;
    case 4:
        if (set(d.plat) && set(d.plon))
            std::snprintf(word, sizeof word, "LC:%f:%f:%f:%f:%f ", d.plat, d.plon, d.param[0],
                          d.param[1], d.param[2]);
        else if (set(d.plon)) std::snprintf(word, sizeof word, "LC:%f ", d.plon);
        else std::snprintf(word, sizeof word, "LC ");
        break;
    case 9: std::snprintf(word, sizeof word, "SAT:%f:%f ", d.plat, d.plon); break;
    default: {
        char size[64];
        std::snprintf(size, sizeof size, "%d %d\n", img->width, img->height);
        return size;
    }
    }
    char nums[160];
    std::snprintf(nums, sizeof nums, "%f %f %f %f %d %d\n", d.clat, d.clon, d.dx, d.dy, d.nx,
                  d.ny);
    return std::string(word) + nums;
}

// The pixel part: 8-bit pictures as they are; any other layout one row at
// a time as red, green, blue bytes per pixel.
std::vector<unsigned char> image_pixels(const IMG_report *img) {
    const size_t w = static_cast<size_t>(img->width), h = static_cast<size_t>(img->height);
    std::vector<unsigned char> out;
    if (img->bits_pixel == 8 && img->color_type == 1 && img->colors.empty()) {
        out.reserve(w * h);
        for (size_t y = 0; y < h; ++y)
            for (size_t x = 0; x < w; ++x)
                out.push_back(static_cast<unsigned char>(
                    IMG_pixel(img, static_cast<int>(x), static_cast<int>(y))));
        return out;
    }
    out.resize(w * h * 3);
    size_t k = 0;
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            uint32_t v = IMG_pixel(img, static_cast<int>(x), static_cast<int>(y));
            if (img->color_type == 1) {
                IMG_color c = v < img->colors.size() ? img->colors[v] : IMG_color{0, 0, 0};
                out[k++] = static_cast<unsigned char>(c.r * 255.0f + 0.5f);
                out[k++] = static_cast<unsigned char>(c.g * 255.0f + 0.5f);
                out[k++] = static_cast<unsigned char>(c.b * 255.0f + 0.5f);
            } else {
                out[k++] = static_cast<unsigned char>(IMG_channel(v, img->red));
                out[k++] = static_cast<unsigned char>(IMG_channel(v, img->grn));
                out[k++] = static_cast<unsigned char>(IMG_channel(v, img->blu));
            }
        }
    }
    return out;
}

// Slices of 10000 bytes, each its own zlib stream, back to back.
bool write_slices(IMG_outfile &out, const std::vector<unsigned char> &pix) {
    constexpr size_t kSlice = 10000;
    std::vector<unsigned char> buf(compressBound(kSlice) + 64);
    for (size_t at = 0; at < pix.size(); at += kSlice) {
        size_t n = std::min(kSlice, pix.size() - at);
        z_stream z{};
        if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
        z.next_in = const_cast<Bytef *>(pix.data() + at);
        z.avail_in = static_cast<uInt>(n);
        z.next_out = buf.data();
        z.avail_out = static_cast<uInt>(buf.size());
        int rc = deflate(&z, Z_FINISH);
        size_t len = buf.size() - z.avail_out;
        deflateEnd(&z);
        if (rc != Z_STREAM_END || !out.write(buf.data(), len)) return false;
    }
    return true;
}

}  // namespace

int IMG_write(const char *file, IMG_report *img, int compress) {
    if (!img || img->width < 1 || img->height < 1) return 0;
    IMG_outfile out(file);
    if (!out.get()) {
        MESS_print(192, "Unable to open IMG file\n");
        return 0;
    }
    std::string head = compress ? "ZUPIMGZ\n" : "ZUPIMG\n";
    head += gline_text(img->datim) + "\n";
    head += gline_text(img->info) + "\n";
    head += domain_line(img);
    std::vector<unsigned char> pix = image_pixels(img);
    bool ok = out.write(head.data(), head.size()) &&
              (compress ? write_slices(out, pix) : out.write(pix.data(), pix.size()));
    return ok && out.finish() ? 1 : 0;
}
