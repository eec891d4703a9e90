// PostScript writer: header, trailer, attributes and the test page.
#include "gks_fixture.h"
#include "test_page.h"

TEST(PostScript, TestPageWrites) {
    std::string f = out_path("testpage.ps");
    ASSERT_EQ(open_ws(GWS_PS, f + ",color"), 0);
    draw_test_page();
    close_ws();
    std::string ps = read_all(f);
    EXPECT_EQ(ps.rfind("%!PS-Adobe-1.0\n", 0), 0u);
    EXPECT_NE(ps.find("%%EOF\n"), std::string::npos);
}

TEST(PostScript, PortraitTestPage) {
    std::string f = out_path("testpage_port.ps");
    ASSERT_EQ(open_ws(GWS_PS, f + ",color,port"), 0);
    draw_test_page();
    close_ws();
    std::string ps = read_all(f);
    EXPECT_NE(ps.find(".25 inch .25 inch translate\n"), std::string::npos);
    EXPECT_EQ(ps.find("90 rotate"), std::string::npos);
}
