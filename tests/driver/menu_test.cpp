// Numbered menus: layout in one and two columns, closing lines by flags,
// answers by number, abbreviation and name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/driver_io.h"
#include "zup.h"

using namespace driver_test;

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// A menu of n listed entries named E1.. with abbreviations e1.. and index
// 100+i, plus one hidden entry.
struct Menu {
    std::vector<std::string> names, abbrs;
    std::vector<MENU_item> items;
    explicit Menu(int n) {
        names.push_back("Back to previous menu");
        abbrs.push_back("back");
        for (int i = 1; i <= n + 1; ++i) {
            names.push_back(i == n + 1 ? "Hidden" : "E" + std::to_string(i));
            abbrs.push_back(i == n + 1 ? "hid" : "e" + std::to_string(i));
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            MENU_item it{names[i].c_str(), abbrs[i].c_str(), i == 0 ? 0 : 100 + static_cast<int>(i),
                         {}};
            it.disp[0] = i + 1 == names.size() ? 0 : 1;
            it.disp[1] = 1;
            items.push_back(it);
        }
        items.push_back(MENU_item{nullptr, nullptr, 0, {}});
    }
};

std::string shown(const Menu &m, int flag) {
    CaptureStdout();
    MENU_print("Title", m.items.data(), 0, flag);
    return GetCapturedStdout();
}

std::string pad(const std::string &s) {
    std::string r = s;
    r.resize(30, ' ');
    return r;
}

}  // namespace

TEST(MenuPrint, TwelveEntriesOneColumn) {
    Menu m(12);
    std::string out = shown(m, 2);
    std::string expect = "Title\n";
    for (int i = 1; i <= 12; ++i) {
        char b[80];
        std::snprintf(b, sizeof b, " %2d: %s\n", i, pad("E" + std::to_string(i)).c_str());
        expect += b;
    }
    expect += "  0: " + pad("Back to previous menu") + "\n\n";
    EXPECT_EQ(out, expect);
}

TEST(MenuPrint, ThirteenEntriesTwoColumnsSevenRows) {
    Menu m(13);
    std::string out = shown(m, 3);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t nl = out.find('\n', start);
        lines.push_back(out.substr(start, nl - start));
        start = nl + 1;
    }
    // Title, 7 rows, the closing line, an empty line.
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1], "  1: " + pad("E1") + "   8: " + pad("E8"));
    EXPECT_EQ(lines[7], "  7: " + pad("E7"));
    EXPECT_EQ(lines[8], "  0: " + pad("Back to previous menu") + "  -1: Exit program                  ");
    EXPECT_EQ(lines[9], "");
}

TEST(MenuPrint, FlagsSeparatorsAndHelp) {
    Menu m(2);
    m.names[2] = "-";
    m.items[2].name = m.names[2].c_str();
    std::string out = shown(m, 1 | 4);
    EXPECT_EQ(out, "Title\n  1: " + pad("E1") + "\n --------------------               \n"
                   " 99: Help                          \n  0: Exit program                  \n\n");
    out = shown(m, 3);
    EXPECT_NE(out.find("  0: " + pad("Back to previous menu") + "\n -1: Exit program"),
              std::string::npos);
}

// Answers one menu with input; the menu text is thrown away.
int ask(const Menu &m, int column, int flag, const std::string &input, char *ans) {
    feed(input);
    CaptureStdout();
    int r = MENU_process("T", m.items.data(), column, "? ", ans, flag);
    GetCapturedStdout();
    return r;
}

TEST(MenuProcess, NumbersWordsAndNames) {
    Menu m(13);
    char ans[MENU_ANSWER_LEN] = "";
    EXPECT_EQ(ask(m, 0, 3, "main\n", ans), 0);
    EXPECT_EQ(ask(m, 0, 3, "-1\n", ans), -1);
    EXPECT_EQ(ask(m, 0, 3, "3\n", ans), 103);
    EXPECT_STREQ(ans, "e3");
    EXPECT_EQ(ask(m, 0, 3, "E12\n", ans), 112);  // any case
    EXPECT_STREQ(ans, "e12");
    EXPECT_EQ(ask(m, 0, 3, "BACK\n", ans), 0);
    // 99 is not a valid number here and matches nothing.
    EXPECT_EQ(ask(m, 0, 7, "99\n", ans), MISSING);
    EXPECT_STREQ(ans, "99");
    EXPECT_EQ(ask(m, 0, 3, "hid\n", ans), MISSING);  // not listed in column 0
    EXPECT_EQ(ask(m, 1, 3, "hid\n", ans), 114);
    EXPECT_EQ(ask(m, 0, 2, "-1\n", ans), MISSING);  // -1 needs the exit flag
    EXPECT_EQ(ask(m, 0, 0, "0\n", ans), MISSING);
    EXPECT_EQ(ask(m, 0, 1, "main\n", ans), MISSING);  // exit flag alone
    EXPECT_EQ(ask(m, 0, 1, "-1\n", ans), -1);
    EXPECT_EQ(ask(m, 0, 2, "14\n", ans), MISSING);  // beyond the listed entries
}

TEST(MenuProcess, QuestionMarkListsAbbreviations) {
    Menu m(2);
    char ans[MENU_ANSWER_LEN] = "";
    feed("?\n2\n");
    CaptureStdout();
    EXPECT_EQ(MENU_process("T", m.items.data(), 0, "? ", ans, 2), 102);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("? back,e1,e2\n\n? "), std::string::npos);
}

TEST(MenuSearch, WholeMenu) {
    Menu m(3);
    EXPECT_EQ(MENU_search("E2", m.items.data()), 102);
    EXPECT_EQ(MENU_search("hid", m.items.data()), 104);  // hidden entries too
    EXPECT_EQ(MENU_search("back", m.items.data()), 0);
    EXPECT_EQ(MENU_search("nope", m.items.data()), MISSING);
}
