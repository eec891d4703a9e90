// Round trips: the off-screen test page written as GIF (plain, interlaced
// and transparent), PNG and X window dump, decoded by Pillow and by
// ImageMagick, pixel for pixel.
#include "img_fixture.h"
#include "test_page.h"

namespace {

// The record's pixels as red, green, blue bytes.
std::string rgb_bytes(const IMG_report &img) {
    std::string out;
    for (uint32_t v : rgb_of(img)) out += {char(v >> 16), char(v >> 8), char(v)};
    return out;
}

bool runs(const std::string &cmd) {
    std::string out;
    return run_cmd(cmd, &out) == 0;
}

// A Python with Pillow ("" when none).
std::string pillow() {
    for (const char *py : {"python3", "/usr/bin/python3"})
        if (runs(std::string(py) + " -c 'import PIL'")) return py;
    return "";
}

std::string decode_pillow(const std::string &py, const std::string &file) {
    std::string raw = file + ".pil.rgb";
    std::string cmd = py + " -c \"from PIL import Image; import sys; "
                           "open(sys.argv[2], 'wb').write(Image.open(sys.argv[1]).convert('RGB').tobytes())\" " +
                      file + " " + raw;
    return std::system(cmd.c_str()) == 0 ? read_all(raw) : "";
}

std::string decode_magick(const std::string &file) {
    std::string raw = file + ".im.rgb";
    std::string cmd = "convert " + file + " -depth 8 rgb:" + raw + " 2>/dev/null";
    return std::system(cmd.c_str()) == 0 ? read_all(raw) : "";
}

class ImageOracle : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(open_raster(640, 512), 0);
        draw_test_page();
        ASSERT_EQ(gget_image(&img_), 1);
        close_ws();
        gset_raster_fallback(0);
        want_ = rgb_bytes(img_);
    }
    static IMG_report img_;
    static std::string want_;
};

IMG_report ImageOracle::img_;
std::string ImageOracle::want_;

}  // namespace

TEST_F(ImageOracle, PillowDecodesGifAndPng) {
    std::string py = pillow();
    if (py.empty()) GTEST_SKIP() << "Pillow not installed";
    struct Case {
        const char *file;
        int inter, trans;
    } cases[] = {{"img_page.gif", 0, 0}, {"img_page_i.gif", 1, 0}, {"img_page_t.gif", 0, 1}};
    for (const auto &c : cases) {
        GIF_interlace(c.inter);
        GIF_transparent(c.trans);
        std::string f = out_path(c.file);
        ASSERT_EQ(GIF_write(f.c_str(), &img_), 1);
        EXPECT_TRUE(decode_pillow(py, f) == want_) << c.file;
    }
    GIF_interlace(0);
    GIF_transparent(0);
    std::string f = out_path("img_page.png");
    ASSERT_EQ(PNG_write(f.c_str(), &img_), 1);
    EXPECT_TRUE(decode_pillow(py, f) == want_);
}

TEST_F(ImageOracle, ImageMagickDecodesGifPngAndXwd) {
    if (!runs("convert -version")) GTEST_SKIP() << "ImageMagick not installed";
    std::string gif = out_path("img_page_m.gif"), png = out_path("img_page_m.png"),
                xwd = out_path("img_page.xwd");
    ASSERT_EQ(GIF_write(gif.c_str(), &img_), 1);
    ASSERT_EQ(PNG_write(png.c_str(), &img_), 1);
    ASSERT_EQ(XWD_write(xwd.c_str(), &img_), 1);
    EXPECT_TRUE(decode_magick(gif) == want_);
    EXPECT_TRUE(decode_magick(png) == want_);
    EXPECT_TRUE(decode_magick(xwd) == want_);
}

TEST(ImageOracleDepths, OneAndFourBitPicturesDecodeToTheirColours) {
    std::string py = pillow();
    bool magick = runs("convert -version");
    if (py.empty() && !magick) GTEST_SKIP() << "neither Pillow nor ImageMagick installed";
    for (int bits : {1, 4}) {
        int n = 1 << bits;
        IMG_report img = indexed_image(37, 11, bits, [n](int x, int y) { return (x + 2 * y) % n; });
        // From the values drawn, not read back through the record.
        std::string want;
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 37; ++x) {
                const IMG_color &c = img.colors[static_cast<size_t>((x + 2 * y) % n)];
                for (float v : {c.r, c.g, c.b}) want += static_cast<char>(static_cast<int>(v * 255 + 0.5f));
            }
        std::string stem = out_path("img_depth" + std::to_string(bits));
        ASSERT_EQ(GIF_write((stem + ".gif").c_str(), &img), 1);
        ASSERT_EQ(PNG_write((stem + ".png").c_str(), &img), 1);
        ASSERT_EQ(XWD_write((stem + ".xwd").c_str(), &img), 1);
        if (!py.empty()) {
            EXPECT_TRUE(decode_pillow(py, stem + ".gif") == want) << bits;
            EXPECT_TRUE(decode_pillow(py, stem + ".png") == want) << bits;
        }
        if (magick) {
            // XWD colours are 16-bit: ImageMagick may round 0x8000 down to 127.
            std::string got = decode_magick(stem + ".xwd");
            ASSERT_EQ(got.size(), want.size()) << bits << "-bit XWD";
            for (size_t i = 0; i < got.size(); ++i)
                ASSERT_LE(std::abs(static_cast<unsigned char>(got[i]) - static_cast<unsigned char>(want[i])), 1)
                    << bits << "-bit XWD byte " << i;
        }
    }
}
