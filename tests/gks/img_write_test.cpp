// PNG, X window dump and own-format writers on small synthetic images: the
// structure each format prescribes, and the failures.
#include <cstring>

#include "img_fixture.h"

namespace {

uint16_t be16(const std::string &b, size_t at) {
    uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return ntohs(v);
}

// PNG chunks in file order: type and data.
std::vector<std::pair<std::string, std::string>> png_chunks(const std::string &b) {
    std::vector<std::pair<std::string, std::string>> out;
    if (b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return out;
    for (size_t p = 8; p + 12 <= b.size();) {
        uint32_t n = be32(b, p);
        out.emplace_back(b.substr(p + 4, 4), b.substr(p + 8, n));
        p += 12 + n;
    }
    return out;
}

IMG_report stripes() {
    return true_image(7, 3, [](int x, int) { return x % 2 ? 0xff8000u : 0x0000ffu; });
}

}  // namespace

TEST(PngWrite, PaletteImageWithThreeTextEntries) {
    IMG_report img = stripes();
    copy_field(img.info, "Skew-T KOUN");
    setenv("SOURCE_DATE_EPOCH", "1241179200", 1);   // 2009-05-01 12:00 UTC
    std::string path = out_path("img_stripes.png");
    ASSERT_EQ(PNG_write(path.c_str(), &img), 1);
    auto chunks = png_chunks(read_all(path));
    ASSERT_GE(chunks.size(), 4u);
    const std::string &ihdr = chunks[0].second;
    EXPECT_EQ(chunks[0].first, "IHDR");
    EXPECT_EQ(be32(ihdr, 0), 7u);
    EXPECT_EQ(be32(ihdr, 4), 3u);
    EXPECT_EQ(ihdr[8], 8);    // bit depth
    EXPECT_EQ(ihdr[9], 3);    // palette colour type
    EXPECT_EQ(ihdr[12], 0);   // not interlaced
    std::vector<std::string> texts;
    for (const auto &[type, data] : chunks) {
        if (type == "PLTE") {
            EXPECT_EQ(data.size(), 768u);
            EXPECT_EQ(data.substr(0, 6), std::string("\x00\x00\xff\xff\x80\x00", 6));
        }
        if (type == "tEXt") texts.push_back(data);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{std::string("Title\0Skew-T KOUN", 17),
                                               std::string("Software\0raziva version 5.0", 27),
                                               std::string("Creation Time\0" "01 May 2009 12:00:00 GMT", 38)}));
    EXPECT_EQ(chunks.back().first, "IEND");
}

TEST(XwdWrite, BigEndianHeaderNameColoursAndPixels) {
    IMG_report img = indexed_image(5, 2, 8, [](int x, int y) { return x + 5 * y; });
    img.colors.resize(4);
    img.num_colors = 4;
    copy_field(img.info, "win");
    std::string path = out_path("img_small.xwd");
    ASSERT_EQ(XWD_write(path.c_str(), &img), 1);
    std::string b = read_all(path);
    const uint32_t want[25] = {104, 7, 2, 8, 5, 2, 0, 0, 32, 0, 32, 8, 8, 3, 0, 0, 0,
                               8,   4, 4, 5, 2, 0, 0, 0};
    for (int i = 0; i < 25; ++i) EXPECT_EQ(be32(b, 4 * i), want[i]) << "header field " << i;
    EXPECT_EQ(b.substr(100, 4), std::string("win\0", 4));
    for (int i = 0; i < 4; ++i) {
        size_t e = 104 + 12 * i;
        EXPECT_EQ(be32(b, e), static_cast<uint32_t>(i));
        EXPECT_EQ(be16(b, e + 4), static_cast<uint16_t>(img.colors[i].r * 65535 + 0.5f));
        EXPECT_EQ(be16(b, e + 8), 32768);   // blue 0.5
        EXPECT_EQ(b[e + 10], 7);
    }
    ASSERT_EQ(b.size(), 104u + 48u + 16u);
    EXPECT_EQ(b.substr(152), std::string(img.data.begin(), img.data.end()));
}

TEST(XwdWrite, TrueColourKeepsMasksAndByteOrder) {
    IMG_report img = stripes();
    std::string path = out_path("img_true.xwd");
    ASSERT_EQ(XWD_write(path.c_str(), &img), 1);
    std::string b = read_all(path);
    EXPECT_EQ(be32(b, 13 * 4), 4u);           // TrueColor
    EXPECT_EQ(be32(b, 14 * 4), 0xff0000u);
    EXPECT_EQ(be32(b, 16 * 4), 0xffu);
    EXPECT_EQ(be32(b, 7 * 4), 0u);            // least significant byte first
    EXPECT_EQ(b.size(), 101u + 7 * 4 * 3);
}

TEST(OwnImage, RawAndCompressedFormsCarryTheSamePixels) {
    IMG_report img = indexed_image(120, 200, 8, [](int x, int y) { return (x ^ y) & 0xff; });
    img.colors.clear();   // an 8-bit picture of colour indices
    img.num_colors = 0;
    copy_field(img.datim, "090501/1200");
    copy_field(img.info, "loop frame");
    std::vector<unsigned char> want;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 120; ++x) want.push_back(static_cast<unsigned char>((x ^ y) & 0xff));
    for (int z = 0; z < 2; ++z) {
        std::string path = out_path(z ? "img_own.imgz" : "img_own.img");
        ASSERT_EQ(IMG_write(path.c_str(), &img, z), 1);
        OwnImage o = read_own(read_all(path));
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(o.compressed, z == 1);
        EXPECT_EQ(o.datim, "090501/1200");
        EXPECT_EQ(o.info, "loop frame");
        EXPECT_EQ(o.size_line, "120 200");
        EXPECT_EQ(o.pixels, want);
        if (z) {
            EXPECT_EQ(o.streams, 3);   // 24000 bytes in slices of 10000
        }
    }
}

TEST(OwnImage, MapDomainLineAndTrueColourPixels) {
    IMG_report img = stripes();
    img.domain.proj = 4;
    img.domain.plat = 25;
    img.domain.plon = -95;
    img.domain.param[0] = 25;
    img.domain.param[1] = 25;
    img.domain.param[2] = 1;
    img.domain.clat = 40;
    img.domain.clon = -100;
    img.domain.dx = img.domain.dy = 0.4f;
    img.domain.nx = 93;
    img.domain.ny = 65;
    std::string path = out_path("img_lc.img");
    ASSERT_EQ(IMG_write(path.c_str(), &img, 0), 1);
    OwnImage o = read_own(read_all(path));
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.size_line, "LC:25.000000:-95.000000:25.000000:25.000000:1.000000 "
                           "40.000000 -100.000000 0.400000 0.400000 93 65");
    ASSERT_EQ(o.pixels.size(), 7u * 3 * 3);
    EXPECT_EQ(std::vector<unsigned char>(o.pixels.begin(), o.pixels.begin() + 6),
              (std::vector<unsigned char>{0, 0, 255, 255, 128, 0}));
}

TEST(ImageWriters, UnwritablePathsReportAndLeaveNoFile) {
    IMG_report img = stripes();
    testing::internal::CaptureStderr();
    EXPECT_EQ(PNG_write("/dev/null/x.png", &img), 0);
    EXPECT_EQ(XWD_write("/dev/null/x.xwd", &img), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Unable to open PNG file"), std::string::npos);
    EXPECT_NE(err.find("Unable to open dump file"), std::string::npos);
    // A picture libpng refuses: reported, and the started file removed.
    IMG_report wide = true_image(1, 1, [](int, int) { return 0u; });
    wide.width = 3000000;
    wide.bytes_line = 0;
    std::string path = out_path("img_wide.png");
    testing::internal::CaptureStderr();
    EXPECT_EQ(PNG_write(path.c_str(), &wide), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("PNG_write:"), std::string::npos);
    EXPECT_FALSE(FILE_exist(path.c_str()));
    if (FILE_exist("/dev/full")) {
        EXPECT_EQ(PNG_write("/dev/full", &img), 0);
        EXPECT_EQ(IMG_write("/dev/full", &img, 1), 0);
    }
}
