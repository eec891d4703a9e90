// Text splitting, comparison, trimming, line reading, threshold packing and
// byte order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "zup.h"

namespace {

struct Parsed {
    int count = 0;
    char **list = nullptr;
    ~Parsed() { free_parsed_array(count, list); }
};

FILE *temp_with(const std::string &text) {
    FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

}  // namespace

// Inner empty fields stay, trailing delimiters go; nothing from no text.
TEST(ParseString, FieldsAsSplit) {
    const struct {
        const char *text;
        char delim;
        int result;
        const char *fields;  // joined by '|'
    } cases[] = {
        {"a,,b,", ',', 0, "a||b"},
        {",,,", ',', 0, ""},  // one empty field remains
        {"\nx\ny", '\n', 0, "|x|y"},
        {"", ',', -1, nullptr},
        {nullptr, ',', -1, nullptr},
    };
    for (const auto &c : cases) {
        Parsed p;
        const char *name = c.text ? c.text : "(null)";
        ASSERT_EQ(parse_string(c.text, c.delim, &p.count, &p.list), c.result) << name;
        if (!c.fields) {
            EXPECT_EQ(p.count, 0) << name;
            EXPECT_EQ(p.list, nullptr) << name;
            continue;
        }
        std::string joined;
        for (int i = 0; i < p.count; ++i) {
            if (i) joined += '|';
            joined += p.list[i];
        }
        EXPECT_EQ(joined, c.fields) << name;
        EXPECT_EQ(p.count, 1 + static_cast<int>(std::count(joined.begin(), joined.end(), '|')))
            << name;
    }
    free_parsed_array(0, nullptr);  // no effect
}

TEST(Compare, CaseInsensitive) {
    EXPECT_EQ(stricmp("ABC", "abc"), 0);
    EXPECT_LT(stricmp("ab", "abc"), 0);
    EXPECT_GT(stricmp("abd", "ABC"), 0);
    EXPECT_EQ(stricmp(nullptr, "a"), 1);
    EXPECT_EQ(strnicmp("FILE_path", "file", 4), 0);
    EXPECT_NE(strnicmp("fi", "file", 4), 0);
    EXPECT_EQ(strnicmp("xa", "xb", 0), 0);  // n below 1 compares the first
    EXPECT_NE(strnicmp("ya", "xa", -3), 0);
}

TEST(Trim, BlanksCarriageReturnsAndCase) {
    char a[] = "abc   ";
    EXPECT_STREQ(trim_string(a), "abc");
    char b[] = "line\r\r";
    EXPECT_STREQ(trim_cr_string(b), "line");
    char c[] = "a\rb\nc  \r\n";
    EXPECT_STREQ(wstrim_string(c), "abc");
    char d[] = "New_York_City";
    EXPECT_STREQ(fill_string(d, '_', ' '), "New York City");
    char e[] = "MiXeD";
    EXPECT_EQ(low_string(e), 1);
    EXPECT_STREQ(e, "mixed");
    char empty[] = "";
    EXPECT_EQ(low_string(empty), 0);
}

TEST(Trim, NumberTest) {
    EXPECT_EQ(string_is_num("123"), 1);
    EXPECT_EQ(string_is_num("-5"), 1);
    EXPECT_EQ(string_is_num("-"), 0);
    EXPECT_EQ(string_is_num(""), 0);
    EXPECT_EQ(string_is_num("1.5"), 0);
    EXPECT_EQ(string_is_num("+5"), 0);
}

TEST(LineReading, EmptySecondLine) {
    FILE *f = temp_with("first\n\nthird\n");
    char buf[161];
    EXPECT_EQ(fgetline(f, buf), 5);
    EXPECT_STREQ(buf, "first");
    EXPECT_EQ(fgetline(f, buf), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(fgetline(f, buf), 5);
    EXPECT_STREQ(buf, "third");
    EXPECT_EQ(fgetline(f, buf), -1);
    std::fclose(f);
}

TEST(LineReading, LongLinesAreCutToTheBuffer) {
    std::string longline(500, 'x');
    FILE *f = temp_with(longline + "\nend\n");
    char buf[161];
    EXPECT_EQ(fgetline(f, buf), 160);
    EXPECT_EQ(std::strlen(buf), 160u);
    char small[11];
    EXPECT_EQ(fgetnline(f, small, 10), 10);
    EXPECT_EQ(std::strlen(small), 10u);
    std::fclose(f);

    FILE *g = temp_with("abc\n");
    char s[8];
    EXPECT_EQ(fgetstring(g, s, 7), 1);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(fgetstring(g, s, 7), -1);
    std::fclose(g);
}

TEST(Numbers, LinearInterpolation) {
    EXPECT_FLOAT_EQ(linear_interp(5.0f, 0.0f, 10.0f, 10.0f, 20.0f), 15.0f);
    EXPECT_FLOAT_EQ(linear_interp(-5.0f, 0.0f, 10.0f, 10.0f, 20.0f), 5.0f);
}

TEST(Numbers, ThresholdPacking) {
    EXPECT_EQ(float2int(0.0f), 0);
    EXPECT_EQ(float2int(5.0f), 50);
    EXPECT_EQ(float2int(25.0f), 125);
    EXPECT_EQ(float2int(250.0f), 225);
    EXPECT_EQ(float2int(0.25f), 950);
    EXPECT_EQ(float2int(-25.0f), -125);
    EXPECT_EQ(float2int(1.0f), 10);
    EXPECT_EQ(float2int(10.0f), 110);
    // Values that are no number, and the extremes, still give a code.
    EXPECT_EQ(float2int(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(float2int(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_GT(float2int(std::numeric_limits<float>::max()), 0);
    EXPECT_NE(float2int(std::numeric_limits<float>::denorm_min()), 0);
}

TEST(ByteOrder, BigEndianDataOnThisHost) {
    const unsigned char be[4] = {0, 0, 0, 1};
    FILE *f = std::tmpfile();
    std::fwrite(be, 1, 4, f);
    std::rewind(f);
    swap_setup(1);
    int v = 0;
    EXPECT_EQ(fread_long_swap(f, &v), 1);
    const std::uint16_t probe = 1;
    bool little = *reinterpret_cast<const unsigned char *>(&probe) == 1;
    EXPECT_EQ(v, 1);
    EXPECT_EQ(swap_long(&v), little ? 0 : -1);
    std::fclose(f);
    swap_setup(-1);
}

TEST(ByteOrder, SwappingOnAndOff) {
    swap_setup(-1);
    unsigned char b[4] = {1, 2, 3, 4};
    EXPECT_EQ(swap_long(b), -1);
    EXPECT_EQ(b[0], 1);
    swap_setup(0);  // any other order always swaps
    EXPECT_EQ(swap_long(b), 0);
    EXPECT_EQ(b[0], 4);
    EXPECT_EQ(b[3], 1);
    unsigned char s[4] = {1, 2, 3, 4};
    swap_shorts(s, 2);
    EXPECT_EQ(s[0], 2);
    EXPECT_EQ(s[2], 4);
    unsigned char d[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    swap_double(d);
    EXPECT_EQ(d[0], 8);
    EXPECT_EQ(d[7], 1);

    // Written values come back unchanged through a swapped read.
    FILE *f = std::tmpfile();
    int out = 0x01020304;
    short sh = 0x0506;
    EXPECT_EQ(fwrite_long_swap(f, &out), 1);
    EXPECT_EQ(fwrite_short_swap(f, &sh), 1);
    std::rewind(f);
    unsigned char raw[6];
    ASSERT_EQ(std::fread(raw, 1, 6, f), 6u);
    int native;
    std::memcpy(&native, raw, 4);
    EXPECT_NE(native, out);  // stored in the other order
    std::rewind(f);
    int back = 0;
    short sback = 0;
    EXPECT_EQ(fread_long_swap(f, &back), 1);
    EXPECT_EQ(fread_short_swap(f, &sback), 1);
    EXPECT_EQ(back, out);
    EXPECT_EQ(sback, sh);
    double dv = 0;
    EXPECT_EQ(fread_double_swap(f, &dv), 0);  // end of file
    std::fclose(f);
    swap_setup(-1);
}
