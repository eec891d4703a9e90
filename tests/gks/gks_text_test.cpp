// Stroke fonts: both file forms, font lists, text width, alignment offsets
// and where the strokes land.
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "gks_fixture.h"

namespace {

// The 256 glyph starts of a font file: a, b, c for 'A', 'B', 'C' (or the
// code's entry of more), -1 for the rest.
std::string glyph_index(int a, int b, int c, std::map<int, int> more = {}) {
    more.insert({{'A', a}, {'B', b}, {'C', c}});
    std::string s;
    for (int ch = 0; ch < 256; ++ch) s.append(" ").append(std::to_string(more.count(ch) ? more[ch] : -1));
    return s + "\n";
}

// A font with three glyphs: 'A' 20 wide (one stroke), 'B' 30 wide, 'C' 20.
void write_plain_font(const std::string &path) {
    write_file(path, "255\n128 35 20 140 255\n128 35 30 35 30 140 255\n148 35 0 140 254\n" +
                         glyph_index(1, 6, 13));
}

// The same glyphs in the labelled form: a label token after each 255.
void write_labelled_font(const std::string &path) {
    write_file(path, "0 A\n128 35 20 140 255 B\n128 35 30 35 30 140 255 C\n148 35 0 140 254\n" +
                         glyph_index(0, 5, 12));
}

// World = PostScript points on the default letter page, so one font unit is
// one point at character height 105.
void points_world() {
    float xvp, yvp;
    ginq_maxview(1, &xvp, &yvp);
    Glim page = {0, xvp, 0, yvp};
    gset_ws_win(1, &page);
    int w, h;
    gget_win_size(&w, &h);
    Glim world = {0, static_cast<float>(w - 1), 0, static_cast<float>(h - 1)};
    gset_win(1, &world);
    gset_vp(1, &page);
    gsel_norm_tran(1);
}

std::vector<std::string> ps_moves(const std::string &ps) {
    std::vector<std::string> out;
    size_t p = 0;
    while ((p = ps.find(" mv\n", p)) != std::string::npos) {
        size_t s = ps.rfind('\n', p);
        out.push_back(ps.substr(s + 1, p - s - 1));
        p += 4;
    }
    return out;
}

}  // namespace

TEST(Font, BothFileFormsGiveTheSameGlyphs) {
    std::string plain = out_path("abc.fnt"), lab = out_path("abc_lab.fnt");
    write_plain_font(plain);
    write_labelled_font(lab);
    ASSERT_EQ(open_ws(GWS_META, out_path("font.meta")), 0);
    for (const std::string &file : {plain, lab}) {
        ASSERT_EQ(read_font(file.c_str()), 0) << file;
        EXPECT_EQ(gget_font_type(), 1);
        // Glyph, its first stroke byte (-1: none) and width; a blank is 40.
        const int glyphs[][3] = {{'A', 128, 20}, {'B', 128, 30}, {'C', 148, 20}, {' ', -1, 40}, {'D', -1, 0}};
        for (const auto &g : glyphs) {
            int w = -1, p = gget_font_glyph(g[0], &w);
            EXPECT_EQ(p >= 0 ? gget_font_byte(p) : -1, g[1]) << file << " " << char(g[0]);
            EXPECT_EQ(w, g[2]) << file << " " << char(g[0]);
        }
    }
    // A missing file clears the glyphs.
    EXPECT_EQ(read_font("no-such-font.fnt"), -1);
    EXPECT_EQ(gget_font_glyph('A', nullptr), -1);
    // A truncated file is refused, not half loaded.
    write_file(out_path("cut.fnt"), "255 128 35 20 140 255 128");
    EXPECT_EQ(read_font(out_path("cut.fnt").c_str()), -1);
    EXPECT_EQ(gget_font_type(), 0);
    // More stroke data than the table holds is refused too.
    std::string big = "255";
    for (int i = 0; i < 8000; ++i) big += " 1 1";
    write_file(out_path("big.fnt"), big + " 254" + glyph_index(-1, -1, -1));
    EXPECT_EQ(read_font(out_path("big.fnt").c_str()), -1);
    EXPECT_EQ(gget_font_type(), 0);
    close_ws();
}

TEST(Font, ShippedFontsLoadWithFullAscii) {
    // Every printable character of every shipped font, drawn (for the eye)
    // and each glyph of sensible width.
    ASSERT_EQ(open_ws(GWS_PS, out_path("specimen.ps")), 0);
    for (const char *name : {"modern.fnt", "serif.fnt", "script.fnt", "duplex.fnt"}) {
        ASSERT_EQ(read_font(name), 0) << name;
        std::string all;
        for (int c = 33; c < 127; ++c) {
            EXPECT_GE(gget_font_glyph(c, nullptr), 0) << name << c;
            all += static_cast<char>(c);
        }
        Gpt at = {0.01f, 0.5f};
        gset_char_ht(0.01f);
        EXPECT_EQ(gtext(&at, all.c_str()), 0);
        EXPECT_LT(gtext_width(all.c_str()), 94 * 140) << name;
        int w;
        gget_font_glyph('H', &w);
        EXPECT_GT(w, 60);
        EXPECT_LT(w, 125);
        // Capital height 105 above the baseline at 35.
        int p = gget_font_glyph('H', nullptr), ymax = 0;
        for (; gget_font_byte(p) < 255; p += 2) ymax = std::max(ymax, gget_font_byte(p + 1));
        EXPECT_NEAR(ymax, 140, 3) << name;
    }
    close_ws();
}

TEST(Font, ListsFromFileAndResourceText) {
    std::string list = out_path("three.lst");
    write_file(list, "roman modern.fnt\nitalic script.fnt\nserif serif.fnt\n");
    ASSERT_EQ(open_ws(GWS_META, out_path("font.meta")), 0);
    gset_font_list(("fi:" + list).c_str());
    EXPECT_EQ(gsetup_fonts(), 0);
    EXPECT_EQ(gget_num_fonts(), 3);
    EXPECT_STREQ(gget_font_name(2), "italic");
    EXPECT_EQ(gget_font_index("SERIF"), 3);
    EXPECT_EQ(gget_font_index("2"), 2);
    EXPECT_EQ(gget_font_index("unknown"), 1);
    gset_font_list("modern.fnt, serif.fnt");
    gsetup_fonts();
    EXPECT_EQ(gget_num_fonts(), 2);
    EXPECT_STREQ(gget_font_file(2), "serif.fnt");
    EXPECT_STREQ(gget_font_name(2), "");
    gset_font_list("fi:/no/such/list");
    gsetup_fonts();  // no table: the default font is loaded
    EXPECT_EQ(gget_num_fonts(), 0);
    EXPECT_EQ(gget_font_type(), 1);
    Gfontprec bad = {2, GSTROKE_PREC};
    EXPECT_EQ(gset_fontprec(&bad), -1);
    gset_font_list("");
    gsetup_fonts();  // the shipped zup.fnl
    EXPECT_EQ(gget_num_fonts(), 4);
    EXPECT_STREQ(gget_font_name(3), "script");
    close_ws();
}

TEST(Text, CentredWidthOfThreeGlyphs) {
    std::string plain = out_path("abc.fnt");
    write_plain_font(plain);
    ASSERT_EQ(open_ws(GWS_META, out_path("text.meta")), 0);
    ASSERT_EQ(read_font(plain.c_str()), 0);
    EXPECT_EQ(gtext_width("ABC"), 120);
    Gtext_align a = {GCENTER_HOR, GHALF_VERT};
    gset_text_align(&a);
    int h, v;
    gtext_offsets("ABC", &h, &v);
    EXPECT_EQ(h, -60);
    EXPECT_EQ(v, -85);
    a = {GRIGHT_HOR, GTOP_VERT};
    gset_text_align(&a);
    gtext_offsets("ABC", &h, &v);
    EXPECT_EQ(h, -120);
    EXPECT_EQ(v, -160);
    gset_expan(2);
    EXPECT_EQ(gtext_width("ABC"), 240);
    gset_expan(1);
    gset_char_space(1);  // fixed pitch: (25 + 100) per character, 100 for the last
    EXPECT_EQ(gtext_width("ABC"), 350);
    gset_char_space(0);
    gset_space(0);
    EXPECT_EQ(gtext_width("A C"), 20 + 40 + 20);
    close_ws();
}

TEST(Text, StrokesLandWhereTheAlignmentPutsThem) {
    std::string plain = out_path("abc.fnt");
    write_plain_font(plain);
    std::string f = out_path("text.ps");
    ASSERT_EQ(open_ws(GWS_PS, f), 0);
    ASSERT_EQ(read_font(plain.c_str()), 0);
    points_world();
    gset_char_ht(105);
    Gtext_align a = {GCENTER_HOR, GBASE_VERT};
    gset_text_align(&a);
    Gpt at = {300, 200};
    gtext(&at, "ABC");
    // Rotated a quarter turn clockwise: the baseline runs downwards.
    Gpt up = {1, 0};
    gset_char_up_vec(&up);
    a = {GLEFT_HOR, GBOTTOM_VERT};
    gset_text_align(&a);
    gtext(&at, "A");
    close_ws();
    auto mv = ps_moves(read_all(f));
    // First: clip corner; then the three glyph starts of the centred text.
    std::vector<std::string> tail(mv.end() - 4, mv.end());
    EXPECT_EQ(tail[0], "240.00 200.00");  // A at 300 - 60, baseline
    EXPECT_EQ(tail[1], "285.00 200.00");  // B after 20 + 25
    EXPECT_EQ(tail[2], "360.00 200.00");  // C: pen up to x 20, after 45 + 55
    // Rotated A with bottom alignment: glyph y runs along +x, glyph x along -y.
    EXPECT_EQ(tail[3], "335.00 200.00");
    std::string ps = read_all(f);
    EXPECT_NE(ps.find("335.00 200.00 mv\n440.00 180.00 ln\n"), std::string::npos);
}

TEST(Text, EmptyAndUnknownCharacters) {
    std::string plain = out_path("abc.fnt");
    write_plain_font(plain);
    std::string f = out_path("text2.ps");
    ASSERT_EQ(open_ws(GWS_PS, f), 0);
    ASSERT_EQ(read_font(plain.c_str()), 0);
    Gpt at = {0.5f, 0.5f};
    EXPECT_EQ(gtext(&at, ""), 0);
    EXPECT_EQ(gtext(&at, "xyz"), 0);  // no glyphs: a comment and no strokes
    close_ws();
    std::string ps = read_all(f);
    EXPECT_EQ(count_of(ps, "%%TE:"), 1);
    EXPECT_EQ(count_of(ps, "stroke"), 0);
}

TEST(Font, CorruptFilesAreRefusedOrDrawnSafely) {
    ASSERT_EQ(open_ws(GWS_PS, out_path("badfont.ps")), 0);
    // A word among the stroke numbers: the file is refused.
    write_file(out_path("word.fnt"), "255 128 35 20 140 255 junk 254" + glyph_index(-1, -1, -1));
    EXPECT_EQ(read_font(out_path("word.fnt").c_str()), -1);
    EXPECT_EQ(gget_font_type(), 0);
    // Wild numbers and glyph starts pointing into the middle of a glyph,
    // at the end mark or past the data: loaded, and text still draws inside
    // the device range.
    write_file(out_path("wild.fnt"), "255 128 35 -300 70000 99999999 -99999999 127 35 254" +
                                         glyph_index(1, 2, 9, {{'D', 500}}));
    ASSERT_EQ(read_font(out_path("wild.fnt").c_str()), 0);
    EXPECT_EQ(gget_font_glyph('D', nullptr), -1);
    Gpt p = {0.5f, 0.5f};
    EXPECT_EQ(gtext(&p, "ABCD ABCD"), 0);
    close_ws();
    std::string ps = read_all(out_path("badfont.ps"));
    EXPECT_EQ(ps.find("nan"), std::string::npos);
    EXPECT_EQ(ps.find("inf"), std::string::npos);
    EXPECT_NE(ps.find("%%EOF\n"), std::string::npos);
    for (const std::string &m : ps_moves(ps)) {
        float x = 0, y = 0;
        ASSERT_EQ(std::sscanf(m.c_str(), "%f %f", &x, &y), 2) << m;
        EXPECT_LE(std::fabs(x), 100000.0f);
        EXPECT_LE(std::fabs(y), 100000.0f);
    }
}
