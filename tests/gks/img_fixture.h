// img_fixture.h - helpers of the image tests: synthetic image records, a
// small GIF reader (header, extensions, LZW in stream order), a reader of
// the own "ZUPIMG" format and the off-screen test page.
#ifndef IMG_FIXTURE_H
#define IMG_FIXTURE_H

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "gks_fixture.h"
#include "zupimg.h"

// A true-colour record of 32-bit pixels (least significant byte first,
// masks 0xff0000, 0xff00, 0xff) from a colour function.
inline IMG_report true_image(int w, int h, const std::function<uint32_t(int, int)> &rgb) {
    IMG_report img;
    img.width = w;
    img.height = h;
    img.depth = 24;
    img.bits_pixel = 32;
    img.bytes_line = 4 * w;
    img.byte_order = 0;
    img.color_type = 0;
    img.red = 0xff0000;
    img.grn = 0xff00;
    img.blu = 0xff;
    img.data.resize(static_cast<size_t>(4 * w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t v = rgb(x, y);
            unsigned char *p = &img.data[static_cast<size_t>(4 * (y * w + x))];
            p[0] = v & 0xff;
            p[1] = (v >> 8) & 0xff;
            p[2] = (v >> 16) & 0xff;
            p[3] = 0;
        }
    return img;
}

// An indexed record of the given depth (1, 4 or 8 bits, rows padded to 4
// bytes) with a grey ramp colour table.
inline IMG_report indexed_image(int w, int h, int bits, const std::function<int(int, int)> &val) {
    IMG_report img;
    img.width = w;
    img.height = h;
    img.depth = bits;
    img.bits_pixel = bits;
    img.bytes_line = ((w * bits + 31) / 32) * 4;
    img.color_type = 1;
    // High nibble first and least significant bit first, as the writers read.
    img.byte_order = bits == 4 ? 1 : 0;
    int n = 1 << bits;
    for (int i = 0; i < n; ++i) {
        float g = static_cast<float>(i) / static_cast<float>(n - 1);
        img.colors.push_back({g, 1.0f - g, 0.5f});
    }
    img.num_colors = n;
    img.data.assign(static_cast<size_t>(img.bytes_line * h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = val(x, y);
            unsigned char *row = &img.data[static_cast<size_t>(y * img.bytes_line)];
            if (bits == 8) row[x] = static_cast<unsigned char>(v);
            else if (bits == 4) row[x / 2] |= static_cast<unsigned char>(x % 2 ? v : v << 4);
            else if (v) row[x / 8] |= static_cast<unsigned char>(1 << (x % 8));
        }
    return img;
}

// What a reader sees of a GIF file.
struct GifFile {
    bool ok = false;
    std::string error;
    int width = 0, height = 0, packed = 0, table = 0;
    std::vector<unsigned char> palette;    // 3 bytes per entry
    bool has_gce = false;
    std::vector<unsigned char> gce;        // the 4 data bytes
    int left = -1, top = -1, img_w = 0, img_h = 0, img_packed = 0;
    int code_size = 0;
    std::vector<int> block_sizes;
    std::vector<unsigned char> pixels;     // in stream order
    int clear_codes = 0;
    int max_width = 0;
    bool trailer = false;
};

// Reads the file's structure and decodes its LZW data independently of
// the writer: codes least significant bit first, table reset at clear.
inline GifFile read_gif(const std::string &bytes) {
    GifFile g;
    auto u8 = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0; };
    auto u16 = [&](size_t i) { return u8(i) | u8(i + 1) << 8; };
    if (bytes.compare(0, 6, "GIF89a") != 0) {
        g.error = "signature";
        return g;
    }
    g.width = u16(6);
    g.height = u16(8);
    g.packed = u8(10);
    size_t p = 13;
    if (g.packed & 0x80) {
        g.table = 1 << ((g.packed & 7) + 1);
        g.palette.assign(bytes.begin() + 13, bytes.begin() + 13 + 3 * g.table);
        p += static_cast<size_t>(3 * g.table);
    }
    if (u8(p) == 0x21 && u8(p + 1) == 0xF9) {
        g.has_gce = true;
        g.gce.assign(bytes.begin() + static_cast<long>(p) + 3, bytes.begin() + static_cast<long>(p) + 7);
        if (u8(p + 2) != 4 || u8(p + 7) != 0) g.error = "extension";
        p += 8;
    }
    if (u8(p) != ',') {
        g.error = "descriptor";
        return g;
    }
    g.left = u16(p + 1);
    g.top = u16(p + 3);
    g.img_w = u16(p + 5);
    g.img_h = u16(p + 7);
    g.img_packed = u8(p + 9);
    g.code_size = u8(p + 10);
    p += 11;
    std::vector<unsigned char> data;
    while (p < bytes.size()) {
        int n = u8(p++);
        g.block_sizes.push_back(n);
        if (n == 0) break;
        data.insert(data.end(), bytes.begin() + static_cast<long>(p),
                    bytes.begin() + static_cast<long>(p + n));
        p += static_cast<size_t>(n);
    }
    g.trailer = p < bytes.size() && u8(p) == ';' && p + 1 == bytes.size();
    // LZW
    const int clear = 1 << g.code_size, end = clear + 1;
    std::vector<std::vector<unsigned char>> table;
    auto reset = [&] {
        table.assign(static_cast<size_t>(clear + 2), {});
        for (int i = 0; i < clear; ++i) table[static_cast<size_t>(i)] = {static_cast<unsigned char>(i)};
    };
    reset();
    int width = g.code_size + 1;
    size_t bitpos = 0;
    int prev = -1;
    for (;;) {
        if (bitpos + static_cast<size_t>(width) > data.size() * 8) {
            g.error = "no end code";
            return g;
        }
        int code = 0;
        for (int b = 0; b < width; ++b, ++bitpos)
            if (data[bitpos / 8] >> (bitpos % 8) & 1) code |= 1 << b;
        g.max_width = std::max(g.max_width, width);
        if (code == clear) {
            ++g.clear_codes;
            reset();
            width = g.code_size + 1;
            prev = -1;
            continue;
        }
        if (code == end) break;
        std::vector<unsigned char> s;
        if (code < static_cast<int>(table.size())) {
            s = table[static_cast<size_t>(code)];
            if (prev >= 0 && table.size() < 4096) {
                auto e = table[static_cast<size_t>(prev)];
                e.push_back(s[0]);
                table.push_back(e);
            }
        } else if (code == static_cast<int>(table.size()) && prev >= 0) {
            s = table[static_cast<size_t>(prev)];
            s.push_back(s[0]);
            table.push_back(s);
        } else {
            g.error = "bad code";
            return g;
        }
        g.pixels.insert(g.pixels.end(), s.begin(), s.end());
        prev = code;
        if (static_cast<int>(table.size()) == (1 << width) && width < 12) ++width;
    }
    g.ok = g.error.empty();
    return g;
}

// The own format: header lines and the pixel part (slices inflated).
struct OwnImage {
    bool ok = false;
    bool compressed = false;
    std::string datim, info, size_line;
    std::vector<unsigned char> pixels;
    int streams = 0;
};

inline OwnImage read_own(const std::string &bytes) {
    OwnImage o;
    size_t p = 0;
    auto line = [&](std::string &out) {
        size_t e = bytes.find('\n', p);
        if (e == std::string::npos) return false;
        out = bytes.substr(p, e - p);
        p = e + 1;
        return true;
    };
    std::string magic;
    if (!line(magic) || (magic != "ZUPIMG" && magic != "ZUPIMGZ")) return o;
    o.compressed = magic == "ZUPIMGZ";
    if (!line(o.datim) || !line(o.info) || !line(o.size_line)) return o;
    if (!o.compressed) {
        o.pixels.assign(bytes.begin() + static_cast<long>(p), bytes.end());
        o.ok = true;
        return o;
    }
    while (p < bytes.size()) {
        z_stream z{};
        if (inflateInit(&z) != Z_OK) return o;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data() + p));
        z.avail_in = static_cast<uInt>(bytes.size() - p);
        unsigned char buf[20000];
        int rc;
        do {
            z.next_out = buf;
            z.avail_out = sizeof buf;
            rc = inflate(&z, Z_NO_FLUSH);
            o.pixels.insert(o.pixels.end(), buf, buf + (sizeof buf - z.avail_out));
        } while (rc == Z_OK);
        p = bytes.size() - z.avail_in;
        inflateEnd(&z);
        if (rc != Z_STREAM_END) return o;
        ++o.streams;
    }
    o.ok = true;
    return o;
}

// Opens the off-screen raster workstation (no display) of w x h pixels
// with the shipped colour table.
inline int open_raster(int w, int h) {
    unsetenv("DISPLAY");
    gset_raster_fallback(1);
    return open_ws(GWS_WIN, "", (std::to_string(w) + "x" + std::to_string(h)).c_str());
}

// The record's pixels as 0xRRGGBB, rows from the top.
inline std::vector<uint32_t> rgb_of(const IMG_report &img) {
    std::vector<uint32_t> out;
    auto byte = [](float v) { return static_cast<uint32_t>(v * 255 + 0.5f); };
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            uint32_t v = IMG_pixel(&img, x, y);
            if (img.color_type == 1) {
                const IMG_color &c = img.colors.at(v);
                out.push_back(byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b));
            } else {
                out.push_back(static_cast<uint32_t>(IMG_channel(v, img.red)) << 16 |
                              static_cast<uint32_t>(IMG_channel(v, img.grn)) << 8 |
                              static_cast<uint32_t>(IMG_channel(v, img.blu)));
            }
        }
    return out;
}

// ---------------------------------------------------------------------------
// The program's image files

// A decoded picture: 0xRRGGBB per pixel, rows from the top.
struct Picture {
    int w = 0, h = 0;
    std::vector<uint32_t> rgb;
};

inline uint32_t be32(const std::string &b, size_t at) {
    uint32_t v = 0;
    if (at + 4 <= b.size()) std::memcpy(&v, b.data() + at, 4);
    return ntohl(v);
}

inline Picture from_gif(const std::string &bytes) {
    Picture p;
    GifFile g = read_gif(bytes);
    if (!g.ok || g.img_packed) return p;
    p.w = g.width;
    p.h = g.height;
    for (unsigned char k : g.pixels)
        p.rgb.push_back(uint32_t{g.palette[3 * k]} << 16 | uint32_t{g.palette[3 * k + 1]} << 8 |
                        g.palette[3 * k + 2]);
    return p;
}

// A PNG read through libpng.
inline Picture from_png(const std::string &b) {
    png_image im{};
    im.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&im, b.data(), b.size())) return {};
    im.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> px(PNG_IMAGE_SIZE(im));
    if (!png_image_finish_read(&im, nullptr, px.data(), 0, nullptr)) return {};
    Picture p{static_cast<int>(im.width), static_cast<int>(im.height), {}};
    for (size_t i = 0; i + 2 < px.size(); i += 3)
        p.rgb.push_back(uint32_t{px[i]} << 16 | uint32_t{px[i + 1]} << 8 | px[i + 2]);
    return p;
}

// A 32-bit true-colour window dump.
inline Picture from_xwd(const std::string &b) {
    Picture p;
    if (be32(b, 44) != 32) return p;
    p.w = static_cast<int>(be32(b, 16));
    p.h = static_cast<int>(be32(b, 20));
    const bool msb = be32(b, 28) == 1;
    const size_t line = be32(b, 48), at = be32(b, 0) + 12 * be32(b, 76);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            size_t k = at + static_cast<size_t>(y) * line + 4 * static_cast<size_t>(x);
            if (k + 4 > b.size()) return {};
            auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(b[k + i])); };
            p.rgb.push_back(msb ? (u(1) << 16 | u(2) << 8 | u(3)) : (u(2) << 16 | u(1) << 8 | u(0)));
        }
    return p;
}

// Runs a batch skew-T of the bundled sample with the given plot parameter
// (on DISPLAY when display); the files are in run_dir().
inline ProgramRun run_plot(const std::string &param, bool display = false) {
    return run_program("-ba -pl skewt -pp '" + param + "' " + sample_args(), "", display);
}

#endif  // IMG_FIXTURE_H
