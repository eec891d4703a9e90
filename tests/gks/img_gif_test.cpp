// GIF writer: the byte stream of small pictures read back by the test's own
// reader (header, palette padding, code size, sub-blocks, interlace order,
// transparency, clear codes) and the failures.
#include "img_fixture.h"

namespace {

GifFile write_and_read(IMG_report &img, const std::string &name) {
    std::string path = out_path(name);
    EXPECT_EQ(GIF_write(path.c_str(), &img), 1);
    return read_gif(read_all(path));
}

class GifTest : public ::testing::Test {
protected:
    void TearDown() override {
        GIF_interlace(0);
        GIF_transparent(0);
    }
};

}  // namespace

TEST_F(GifTest, OneColourPictureHasTwoEntryTableAndCodeSizeTwo) {
    IMG_report img = true_image(3, 2, [](int, int) { return 0x336699u; });
    GifFile g = write_and_read(img, "img_one.gif");
    ASSERT_TRUE(g.ok) << g.error;
    // Size, flags, table, code size; image at 0,0 not interlaced.
    EXPECT_EQ(std::make_tuple(g.width, g.height, g.packed, g.table, g.code_size), std::make_tuple(3, 2, 0x80, 2, 2));
    EXPECT_EQ(std::make_tuple(g.left, g.top, g.img_packed, g.has_gce), std::make_tuple(0, 0, 0, false));
    EXPECT_EQ(g.palette, (std::vector<unsigned char>{0x33, 0x66, 0x99, 0, 0, 0}));
    EXPECT_EQ(g.pixels, std::vector<unsigned char>(6, 0));
    EXPECT_TRUE(g.trailer);
    EXPECT_EQ(g.block_sizes.back(), 0);
}

TEST_F(GifTest, PaletteFollowsFirstAppearanceAndIsPaddedToPowerOfTwo) {
    // Five colours in first-seen order along the rows.
    const uint32_t c[5] = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff, 0x808080};
    IMG_report img = true_image(5, 3, [&](int x, int y) { return c[(x + y) % 5]; });
    GifFile g = write_and_read(img, "img_five.gif");
    ASSERT_TRUE(g.ok) << g.error;
    EXPECT_EQ(g.packed, 0x80 | 2 << 4 | 2);
    ASSERT_EQ(g.table, 8);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(g.palette[3 * i], (c[i] >> 16) & 0xff);
        EXPECT_EQ(g.palette[3 * i + 1], (c[i] >> 8) & 0xff);
        EXPECT_EQ(g.palette[3 * i + 2], c[i] & 0xff);
    }
    for (int i = 15; i < 24; ++i) EXPECT_EQ(g.palette[i], 0) << "padding entry byte " << i;
    EXPECT_EQ(g.code_size, 3);
    ASSERT_EQ(g.pixels.size(), 15u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(g.pixels[y * 5 + x], (x + y) % 5);
}

TEST_F(GifTest, InterlacedRowsComeInFourPasses) {
    GIF_interlace(1);
    const int h = 21;
    IMG_report img = true_image(4, h, [](int, int y) { return static_cast<uint32_t>(y * 10); });
    GifFile g = write_and_read(img, "img_inter.gif");
    ASSERT_TRUE(g.ok) << g.error;
    EXPECT_EQ(g.img_packed, 0x40);
    std::vector<int> want = {0, 8, 16, 4, 12, 20, 2, 6, 10, 14, 18, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19};
    ASSERT_EQ(g.pixels.size(), static_cast<size_t>(4 * h));
    // Row y has blue level 10 y; its palette index is its first appearance
    // in raster order, which is y.
    for (int k = 0; k < h; ++k) {
        int idx = g.pixels[static_cast<size_t>(4 * k)];
        EXPECT_EQ(g.palette[3 * idx + 2], want[k] * 10) << "stream row " << k;
    }
}

TEST_F(GifTest, TransparentBackgroundGetsControlExtension) {
    GIF_transparent(1);
    IMG_report img = true_image(6, 2, [](int x, int) { return x < 3 ? 0xffffffu : 0x000080u; });
    img.trans_color = 0x000080;
    GifFile g = write_and_read(img, "img_trans.gif");
    ASSERT_TRUE(g.ok) << g.error;
    ASSERT_TRUE(g.has_gce);
    EXPECT_EQ(g.gce, (std::vector<unsigned char>{1, 10, 0, 1}));   // flags, delay, index 1
    // Without the option nothing is transparent.
    GIF_transparent(0);
    EXPECT_FALSE(write_and_read(img, "img_trans0.gif").has_gce);
}

TEST_F(GifTest, MoreThan256ValuesMapTheRestToIndexZero) {
    // 300 distinct values along the rows: the last 44 become index 0.
    IMG_report img = true_image(30, 10, [](int x, int y) {
        return static_cast<uint32_t>(0x010203 * (y * 30 + x + 1));
    });
    GifFile g = write_and_read(img, "img_300.gif");
    ASSERT_TRUE(g.ok) << g.error;
    EXPECT_EQ(g.table, 256);
    ASSERT_EQ(g.pixels.size(), 300u);
    for (int k = 0; k < 300; ++k) EXPECT_EQ(g.pixels[k], k < 256 ? k : 0) << k;
}

TEST_F(GifTest, LargePictureGrowsCodesToTwelveBitsAndClears) {
    // Pseudo-random 256-colour noise fills the string table several times.
    uint32_t s = 12345;
    std::vector<uint32_t> v(200 * 150);
    for (auto &e : v) {
        s = s * 1103515245u + 12345u;
        e = (s >> 16) & 0xff;
    }
    IMG_report img = true_image(200, 150, [&](int x, int y) { return v[y * 200 + x] * 0x010101u; });
    GifFile g = write_and_read(img, "img_noise.gif");
    ASSERT_TRUE(g.ok) << g.error;
    EXPECT_EQ(g.code_size, 8);
    EXPECT_EQ(g.max_width, 12);
    EXPECT_GT(g.clear_codes, 2);
    for (size_t i = 0; i + 1 < g.block_sizes.size(); ++i) EXPECT_LE(g.block_sizes[i], 254);
    ASSERT_EQ(g.pixels.size(), v.size());
    for (size_t k = 0; k < v.size(); ++k) {
        ASSERT_EQ(g.palette[3 * g.pixels[k]], v[k]) << k;
    }
}

TEST_F(GifTest, PackedDepthsReadThroughTheColourTable) {
    struct Case {
        int bits, w, h;
    } cases[] = {{1, 13, 3}, {4, 7, 5}, {8, 9, 4}};
    for (const auto &c : cases) {
        int n = 1 << c.bits;
        auto val = [&](int x, int y) { return (x * 3 + y) % n; };
        IMG_report img = indexed_image(c.w, c.h, c.bits, val);
        GifFile g = write_and_read(img, "img_depth.gif");
        ASSERT_TRUE(g.ok) << c.bits << ": " << g.error;
        ASSERT_EQ(g.pixels.size(), static_cast<size_t>(c.w * c.h));
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                int v = val(x, y), k = g.pixels[static_cast<size_t>(y * c.w + x)];
                int want = static_cast<int>(img.colors[static_cast<size_t>(v)].r * 255 + 0.5f);
                EXPECT_EQ(g.palette[3 * k], want) << c.bits << "-bit at " << x << "," << y;
            }
    }
}

TEST_F(GifTest, UnwritableAndFailingFilesReportNothingWritten) {
    IMG_report img = true_image(4, 4, [](int x, int) { return x ? 0xffffffu : 0u; });
    testing::internal::CaptureStderr();
    EXPECT_EQ(GIF_write("/dev/null/sub/x.gif", &img), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Unable to open GIF file"),
              std::string::npos);
    // A device that refuses the bytes: failure, and the device is left alone.
    if (FILE_exist("/dev/full")) {
        EXPECT_EQ(GIF_write("/dev/full", &img), 0);
    }
    IMG_report empty;
    EXPECT_EQ(GIF_write(out_path("img_empty.gif").c_str(), &empty), 0);
    EXPECT_FALSE(FILE_exist(out_path("img_empty.gif").c_str()));
}

TEST_F(GifTest, TrueColourLayoutsOfEitherByteOrder) {
    // Red, green and blue stripes in 32-bit (either order), 24-bit and
    // 16-bit 5-6-5 pixels.
    struct Case {
        int bits, order;
        uint32_t r, g, b;
    } cases[] = {{32, 1, 0xff0000, 0xff00, 0xff}, {32, 0, 0xff0000, 0xff00, 0xff},
                 {24, 1, 0xff0000, 0xff00, 0xff}, {24, 0, 0xff0000, 0xff00, 0xff},
                 {16, 1, 0xf800, 0x07e0, 0x001f}, {16, 0, 0xf800, 0x07e0, 0x001f}};
    for (const auto &c : cases) {
        IMG_report img;
        img.width = 6;
        img.height = 2;
        img.bits_pixel = c.bits;
        img.depth = c.bits == 16 ? 16 : 24;
        img.byte_order = c.order;
        img.bytes_line = ((6 * c.bits / 8) + 3) / 4 * 4;
        img.red = c.r;
        img.grn = c.g;
        img.blu = c.b;
        img.data.assign(static_cast<size_t>(img.bytes_line * 2), 0);
        const uint32_t vals[3] = {c.r, c.g, c.b};
        const int bytes = c.bits / 8;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 6; ++x) {
                uint32_t v = vals[x / 2];
                unsigned char *p = &img.data[static_cast<size_t>(y * img.bytes_line + x * bytes)];
                for (int k = 0; k < bytes; ++k) {
                    int shift = c.order ? 8 * (bytes - 1 - k) : 8 * k;
                    p[k] = static_cast<unsigned char>(v >> shift);
                }
            }
        GifFile g = write_and_read(img, "img_layout.gif");
        ASSERT_TRUE(g.ok) << g.error;
        ASSERT_EQ(g.table, 4);
        // A channel of w bits is shifted up by 8 - w: 5 bits of ones give 248.
        const int r = c.bits == 16 ? 248 : 255, gr = c.bits == 16 ? 252 : 255;
        const int want[9] = {r, 0, 0, 0, gr, 0, 0, 0, r};
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(g.palette[i], want[i]) << c.bits << "-bit order " << c.order << " byte " << i;
        EXPECT_EQ(g.pixels, (std::vector<unsigned char>{0, 0, 1, 1, 2, 2, 0, 0, 1, 1, 2, 2}));
    }
}
