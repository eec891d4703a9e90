// Colour tables, colour names and attribute strings.
#include "gks/gks_fixture.h"
#include "zupresrc.h"

namespace {

// Reads the shipped colour table into a cleared one.
void shipped_table() {
    CLR_clear_table();
    ASSERT_EQ(CLR_read_table(RAZIVA_DATA_DIR "/zup.clr"), 0);
}

}  // namespace

TEST(ColourTable, ShippedTableHasThePlotColours) {
    shipped_table();
    for (const char *n : {"white", "black", "blue", "lblue", "green", "cyan", "yellow", "brown",
                          "red", "lred", "magenta", "gray"})
        EXPECT_GE(CLR_get_ind(n), 0) << n;
    EXPECT_EQ(CLR_get_num_fill(), 16);
    EXPECT_EQ(CLR_get_num(), 32);
    float r, g, b;
    CLR_get_rgb(CLR_get_ind("purple"), &r, &g, &b);  // hexadecimal line
    EXPECT_NEAR(r, 128 / 255.0f, 1e-6);
    EXPECT_NEAR(b, 192 / 255.0f, 1e-6);
    CLR_get_rgb(999, &r, &g, &b);  // past the end: the last entry
    EXPECT_STREQ(CLR_get_name(999), "lbrown");
}

TEST(ColourTable, FilesCommentsAndEnd) {
    std::string a = out_path("a.clr"), b = out_path("b.clr"), c = out_path("c.clr");
    std::string ten;
    for (int i = 0; i < 10; ++i) ten.append("c").append(std::to_string(i)).append(" 0.1 0.2 0.3\n");
    write_file(a, "# first file\n" + ten.substr(0, 75) + "END\n" + ten.substr(75));
    write_file(b, ten);
    write_file(c, "5 x1 #FF8000\r\n" + ten.substr(0, ten.size() - 15));
    CLR_clear_table();
    ASSERT_EQ(CLR_read_table((a + "," + b + "," + c).c_str()), 0);
    EXPECT_EQ(CLR_get_num(), 30);
    EXPECT_EQ(CLR_get_num_fill(), 5);
    EXPECT_STREQ(CLR_get_name(20), "x1");
    float r, g, bl;
    CLR_get_rgb(20, &r, &g, &bl);
    EXPECT_FLOAT_EQ(r, 1.0f);
    EXPECT_NEAR(g, 128 / 255.0f, 1e-6);
    EXPECT_EQ(CLR_get_ind("X1"), 20);
    // Unreadable files and garbage lines are reported and skipped.
    write_file(a, "good 1 1 1\nthis is not a colour\nEND\n");
    CLR_clear_table();
    EXPECT_EQ(CLR_read_table((a + ",/no/such.clr").c_str()), 0);
    EXPECT_EQ(CLR_get_num(), 1);
    EXPECT_EQ(CLR_read_table("/no/such.clr"), -1);
}

TEST(ColourTable, TableFromResource) {
    std::string a = out_path("res.clr");
    write_file(a, "one 1 0 0\ntwo 0 1 0\nthree 0 0 1\n");
    RES_put("color_table", a.c_str());
    CLR_clear_table();
    ASSERT_EQ(CLR_read_table(nullptr), 0);
    EXPECT_EQ(CLR_get_num(), 3);
    EXPECT_EQ(CLR_get_num_fill(), 2);  // no END: the highest slot
    RES_put("color_table", "");
}

TEST(ColourNames, SpecialNamesNumbersAndNewColours) {
    shipped_table();
    EXPECT_EQ(CLR_get_ind(nullptr), -1);
    const std::pair<const char *, int> names[] = {{"", -1},       {"End", -2},     {"none", -1},
                                                  {"BACK", -1},   {"pblk", 500},   {"ptwht", 505},
                                                  {"pbgry", 507}, {"12", 12},      {"nonsense", -1},
                                                  {"RED", 2}};
    for (const auto &[name, want] : names) EXPECT_EQ(CLR_get_ind(name), want) << name;
    int n = CLR_get_num();
    int i = CLR_get_ind("#ff0000");
    EXPECT_EQ(i, n);
    float r, g, b;
    CLR_get_rgb(i, &r, &g, &b);
    EXPECT_EQ(std::make_tuple(r, g, b), std::make_tuple(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(CLR_get_ind("#ff0000"), i);  // found by name the second time
    EXPECT_EQ(CLR_get_num(), n + 1);
    int d = CLR_get_ind("#255128000");
    CLR_get_rgb(d, &r, &g, &b);
    EXPECT_NEAR(g, 128 / 255.0f, 1e-6);
    EXPECT_EQ(CLR_get_ind("#12345"), -1);
}

TEST(Attributes, ParseStrings) {
    shipped_table();
    const int red = CLR_get_ind("red"), blue = CLR_get_ind("blue"), green = CLR_get_ind("green");
    // colour, width, height, expansion, style, fill pattern, font
    using Rec = std::tuple<int, float, float, float, int, int, int>;
    const int u = -9999;  // not given
    // Each text is parsed over the record so far: what it does not name is kept.
    const std::pair<const char *, Rec> steps[] = {
        {"", {u, u, u, u, u, u, u}},
        {"red:wi=2:st=dsh", {red, 2, u, u, 2, u, u}},
        {"co=blue:ST=llsdsh:fi=hat:sc=1.5:te=0.8", {blue, 2, 1.5f, 0.8f, 4, 9, u}},
        {"green:w3:s5:t2:f7:h0.5:e2", {green, 3, 0.5f, 2, 5, 7, 2}},
        {"x:fM:st=7:fp=//", {-1, 3, 0.5f, 2, 7, 7, 2}},
        {"x:fM", {-1, 3, 0.5f, 2, 7, u, 2}},
    };
    Gattribs a;
    ATTRIB_init(&a);
    for (const auto &[text, want] : steps) {
        if (*text) ATTRIB_parse(text, &a);
        EXPECT_EQ(Rec(a.color, a.width, a.height, a.expan, a.style, a.fill_pat, a.font), want) << text;
    }
}

TEST(Attributes, FillPatternNamesAndResourceLayering) {
    const char *names[] = {"sol", "st", "ost", "rst", "lst", "vln", "dlr", "drl", "hln", "hat",
                           "clr", "1%", "2%", "3%", "4%", "5%", "6%", "7%", "8%", "9%"};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(ATTR_parse_fill_pat(names[i]), i) << names[i];
    EXPECT_EQ(ATTR_parse_fill_pat("||"), 5);
    EXPECT_EQ(ATTR_parse_fill_pat("\\\\"), 6);
    EXPECT_EQ(ATTR_parse_fill_pat("XX"), 9);
    EXPECT_EQ(ATTR_parse_fill_pat("0%"), 10);
    EXPECT_EQ(ATTR_parse_fill_pat("13"), 13);
    EXPECT_EQ(ATTR_parse_marker("tri"), 7);
    EXPECT_EQ(ATTR_parse_marker("4"), 4);

    shipped_table();
    Gattribs a, b;
    ATTRIB_init(&a);
    EXPECT_EQ(ATTRIB_get("color_test_unset", "blue:wi=2", &a), 0);
    EXPECT_EQ(a.color, CLR_get_ind("blue"));
    RES_put("color_test_set", "red:st=3");
    ATTRIB_init(&a);
    EXPECT_EQ(ATTRIB_get("color_test_set", "blue:wi=2", &a), 1);
    EXPECT_EQ(a.color, CLR_get_ind("red"));
    EXPECT_FLOAT_EQ(a.width, 2.0f);
    EXPECT_EQ(a.style, 3);
    ATTRIB_init(&b);
    b.font = 3;
    ATTRIB_update(&a, &b);
    EXPECT_EQ(a.font, 3);
    EXPECT_EQ(a.style, 3);
}

TEST(ColourTable, OutOfRangeChannelsAndJunkLinesStayHarmless) {
    std::string a = out_path("junk.clr");
    std::string longline(300, 'q');
    write_file(a, "hot 5 -1 nan\n" + longline + " 0.5 0.5 0.5\n" +
                      "inf inf 0.2 0.3\n\x01\x02\x03 0.1 0.2\n-7 neg 0.1 0.2 0.3\n#\n  \nhexy #GG0000\n");
    CLR_clear_table();
    ASSERT_EQ(CLR_read_table(a.c_str()), 0);
    float r = -1, g = -1, b = -1;
    int hot = CLR_get_ind("hot");
    ASSERT_EQ(hot, 0);
    CLR_get_rgb(hot, &r, &g, &b);
    EXPECT_EQ(std::make_tuple(r, g, b), std::make_tuple(1.0f, 0.0f, 0.0f));
    // The over-long line, cut to 100 characters, and the other junk lines
    // are skipped; "inf" is a name, its red channel kept to 1.
    EXPECT_EQ(CLR_get_num(), 2);
    EXPECT_STREQ(CLR_get_name(1), "inf");
    for (int i = 0; i < CLR_get_num(); ++i) {
        CLR_get_rgb(i, &r, &g, &b);
        for (float v : {r, g, b}) {
            EXPECT_GE(v, 0.0f) << i;
            EXPECT_LE(v, 1.0f) << i;
        }
    }
    EXPECT_EQ(CLR_get_ind("hexy"), -1);
}

TEST(Attributes, OverLongStringsAndNames) {
    shipped_table();
    Gattribs a;
    ATTRIB_init(&a);
    std::string text(5000, 'x');
    text += ":wi=3";
    for (int i = 0; i < 200; ++i) text += ":co=" + std::string(60, 'z') + ":st=dsh:fi=hat";
    ASSERT_EQ(ATTRIB_parse(text.c_str(), &a), 0);
    EXPECT_EQ(a.color, -1);
    EXPECT_EQ(a.width, 3.0f);
    EXPECT_EQ(a.style, 2);
    EXPECT_EQ(a.fill_pat, 9);
    // A new colour named by a long hexadecimal text keeps a bounded name.
    int n = CLR_get_num();
    EXPECT_EQ(CLR_get_ind("#00ff00zzzzzzzzzzzzzzzzzzzzzzzzzzzz"), -1);
    EXPECT_EQ(CLR_get_num(), n);
}
