// HPGL writer: header, trailer, attributes and the test page.
#include "gks_fixture.h"
#include "test_page.h"

TEST(Hpgl, TestPageWrites) {
    std::string f = out_path("testpage.hpgl");
    ASSERT_EQ(open_ws(GWS_HPGL, f + ",nopcl"), 0);
    draw_test_page();
    close_ws();
    std::string hp = read_all(f);
    EXPECT_EQ(hp.rfind("IN;SP1;PA;\nPW0.2;SV;LT;\n", 0), 0u);
    EXPECT_NE(hp.find("SP;PG;\n"), std::string::npos);
}

TEST(Hpgl, PortraitRotatesThePlotter) {
    std::string f = out_path("testpage_port.hpgl");
    ASSERT_EQ(open_ws(GWS_HPGL, f + ",nopcl,port"), 0);
    int w, h;
    gget_win_size(&w, &h);
    EXPECT_LT(w, h);
    draw_test_page();
    close_ws();
    std::string hp = read_all(f);
    EXPECT_EQ(hp.rfind("IN;SP1;PA;\nRO90;\nPW0.2;SV;LT;\n", 0), 0u);
}
