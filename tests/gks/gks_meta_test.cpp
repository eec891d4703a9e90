// Metafile writers: the own text format's records follow the kernel calls
// one for one; the CGM is a well-formed sequence of binary elements.
#include <vector>

#include "gks_fixture.h"
#include "test_page.h"

namespace {

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        out.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

// Body records (after the four header lines), continuation lines joined.
std::vector<std::string> records(const std::string &text) {
    std::vector<std::string> out;
    auto ls = lines_of(text);
    for (size_t i = 4; i < ls.size(); ++i) {
        if (ls[i].rfind("   ", 0) == 0 && !out.empty()) out.back() += "\n" + ls[i];
        else out.push_back(ls[i]);
    }
    return out;
}

struct CgmElement {
    int cls, id, length;
    size_t offset;
};

// Walks the element headers; fails the test on a malformed stream.
std::vector<CgmElement> parse_cgm(const std::string &b) {
    std::vector<CgmElement> out;
    size_t p = 0;
    auto word = [&](size_t at) {
        return (static_cast<unsigned char>(b[at]) << 8) | static_cast<unsigned char>(b[at + 1]);
    };
    while (p + 2 <= b.size()) {
        int w = word(p);
        CgmElement e{w >> 12, (w >> 5) & 0x7f, w & 0x1f, p};
        p += 2;
        if (e.length == 31) {
            EXPECT_LE(p + 2, b.size());
            e.length = word(p) & 0x7fff;
            p += 2;
        }
        p += e.length + (e.length & 1);
        EXPECT_LE(p, b.size()) << "element " << e.cls << "/" << e.id << " runs past the end";
        out.push_back(e);
    }
    EXPECT_EQ(p, b.size());
    return out;
}

}  // namespace

TEST(Metafile, HeaderAndTransformationRecords) {
    std::string f = out_path("records.meta");
    ASSERT_EQ(open_ws(GWS_META, f), 0);
    Glim w = {0, 10, 0, 20};
    gset_win(2, &w);
    gsel_norm_tran(2);
    gsel_norm_tran(2);  // already current: no record
    Gpt pts[5] = {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}};
    EXPECT_EQ(gpolyline(5, pts), 1);
    gset_line_colr_ind(2);
    gset_line_colr_ind(2);  // same value: no second record
    gset_linewidth(2.5f);
    EXPECT_EQ(gpolymarker(2, pts), 1);
    EXPECT_EQ(gfill_area(3, pts), 1);
    gtext(&pts[1], "Hello");
    gmessage(1, "note");
    EXPECT_EQ(gcreate_seg(3), -1);
    close_ws();
    std::string m = read_all(f);
    EXPECT_EQ(m.rfind("ZUPMETA\n#Title: ZUP Graphics Display: test page\n"
                      "#Creator: ZUP Metafile Processor-1.0\n#CreationDate: Thu Jan  1 00:00:00 1970\n",
                      0),
              0u);
    auto r = records(m);
    // The colour table loads first (one CLR record per entry).
    size_t i = 0;
    while (i < r.size() && r[i].rfind("CLR ", 0) == 0) ++i;
    EXPECT_EQ(i, static_cast<size_t>(CLR_get_num()));
    std::vector<std::string> want = {
        "WIN 2 0.000000 0.000000 10.000000 20.000000",
        "TR 2",
        "PL 5 0.000000,0.000000 1.000000,1.000000 2.000000,0.000000 3.000000,1.000000 \n"
        "   4.000000,0.000000 ",
        "PL_CLR 2",
        "PL_LW 2.500000",
        "PM 2 0.000000,0.000000 1.000000,1.000000 ",
        "FA 3 0.000000,0.000000 1.000000,1.000000 2.000000,0.000000 ",
        "TE 1.000000,1.000000 Hello",
        "ME note",
        "SEG_CR 3",
    };
    ASSERT_EQ(r.size() - i, want.size());
    for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(r[i + k], want[k]) << k;
}

TEST(Metafile, LongTextKeptWhole) {
    std::string f = out_path("long.meta");
    ASSERT_EQ(open_ws(GWS_META, f), 0);
    std::string text(600, 'x');
    Gpt p = {0.5f, 0.5f};
    gtext(&p, text.c_str());
    close_ws();
    EXPECT_NE(read_all(f).find("TE 0.500000,0.500000 " + text + "\n"), std::string::npos);
}

TEST(Cgm, TestPageStructure) {
    std::string f = out_path("testpage.cgm");
    ASSERT_EQ(open_ws(GWS_META, f + ",cgm"), 0);
    draw_test_page();
    close_ws();
    std::string b = read_all(f);
    ASSERT_GT(b.size(), 100u);
    auto el = parse_cgm(b);
    ASSERT_GE(el.size(), 10u);
    // Begin metafile, version, description, element list, colour index,
    // VDC extent, begin picture, begin picture body ... end picture, end
    // metafile: (class, id) of each.
    const std::pair<int, int> head[] = {{0, 1}, {1, 1}, {1, 2}, {1, 11}, {1, 9}, {2, 6}, {0, 3}, {0, 4}};
    for (size_t k = 0; k < 8; ++k) EXPECT_EQ(std::make_pair(el[k].cls, el[k].id), head[k]) << k;
    EXPECT_EQ(std::make_pair(el[el.size() - 2].cls, el[el.size() - 2].id), std::make_pair(0, 5));
    EXPECT_EQ(std::make_pair(el.back().cls, el.back().id), std::make_pair(0, 2));
    EXPECT_EQ(el[2].length, 11);
    EXPECT_EQ(b.substr(el[2].offset + 3, 10), "ZUPCGM-1.0");
    int polylines = 0, clips = 0, polygons = 0;
    for (const auto &e : el) {
        if (e.cls == 4 && e.id == 1) {
            ++polylines;
            EXPECT_EQ(e.length % 4, 0);
        }
        if (e.cls == 4 && e.id == 7) ++polygons;
        if (e.cls == 3 && e.id == 5) {
            ++clips;
            EXPECT_EQ(e.length, 8);
        }
    }
    EXPECT_GT(polylines, 100);
    EXPECT_EQ(polygons, 32);
    EXPECT_GE(clips, 3);
}
