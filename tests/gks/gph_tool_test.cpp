// The GPH_* layer: device choice from the resources, page and panel layout,
// attribute records and figures.
#include <cmath>

#include "gks_fixture.h"
#include "zupresrc.h"

namespace {

void setup_meta(const std::string &file, float aspect, Glim *view) {
    setenv("SOURCE_DATE_EPOCH", "0", 1);
    RES_put("device", ("meta," + file).c_str());
    RES_put("color_table", RAZIVA_DATA_DIR "/zup.clr");
    RES_put("title", "layout");
    FLAG_set(2, -9999);
    int ws = 0, type = 0;
    GPH_setup(&ws, &type, aspect, view);
    EXPECT_EQ(ws, 1);
    EXPECT_EQ(type, GWS_META);
    EXPECT_EQ(FLAG_get(2), GWS_META);
}

}  // namespace

TEST(Gph, SetupFromDeviceResourceAndPanelLayout) {
    std::string f = out_path("gph.meta");
    Glim view = {0.1f, 0.1f, 0.05f, 0.15f};
    setup_meta(f, 1.0f, &view);
    EXPECT_EQ(GPH_is_open(), 1);
    EXPECT_STREQ(gget_win_title(), "layout");
    // 1000 x 800 metafile page: NDC [0, 1] x [0, 799/999].
    float yvp = 799.0f / 999.0f;
    EXPECT_FLOAT_EQ(GPH_get_vert_win_size(), yvp);
    // Margins, then a square panel centred in what they leave.
    float x0 = 0.1f, x1 = 0.9f, y0 = 0.05f * yvp, y1 = 0.85f * yvp;
    float side = y1 - y0;
    EXPECT_TRUE(lim_near(view, {(x0 + x1 - side) / 2, (x0 + x1 + side) / 2, y0, y1}, 1e-6f));
    Glim v2, w3;
    GPH_get_view(2, &v2);
    GPH_get_win(3, &w3);
    EXPECT_FLOAT_EQ(v2.x_min, view.x_min);
    EXPECT_FLOAT_EQ(w3.y_max, view.y_max);
    GPH_trans(2);
    GPH_circle(0.5f, 0.4f, 0.1f);
    GPH_frect(0.4f, 0.3f, 0.6f, 0.5f);
    GPH_mark(0.5f, 0.4f);
    GPH_printf(0.5f, 0.4f, "T=%d", 25);
    int ws = 1;
    GPH_end(&ws);
    EXPECT_EQ(GPH_is_open(), 0);
    EXPECT_EQ(gchk_graphics(), 0);
    std::string m = read_all(f);
    EXPECT_NE(m.find("#Title: ZUP Graphics Display: layout\n"), std::string::npos);
    char ws_win[96];
    std::snprintf(ws_win, sizeof ws_win, "WS_WIN 1 0.000000 0.000000 1.000000 %f\n", yvp);
    EXPECT_NE(m.find(ws_win), std::string::npos);
    EXPECT_EQ(count_of(m, "\nPL 37 "), 1);
    EXPECT_EQ(count_of(m, "\nFA 5 "), 1);
    EXPECT_NE(m.find("\nTE 0.500000,0.400000 T=25\n"), std::string::npos);
    EXPECT_EQ(count_of(m, "\nCLR 1 "), CLR_get_num());
    RES_put("device", "");
}

TEST(Gph, AttributeRecords) {
    std::string f = out_path("gph_attr.meta");
    Glim view = {0, 0, 0, 0};
    setup_meta(f, 0.0f, &view);
    EXPECT_NEAR(view.x_max, 1.0f, 1e-6);  // aspect 0: the whole page
    Gattribs a;
    ATTRIB_init(&a);
    ATTRIB_parse("red:wi=2:st=dsh:fi=hat:h1.5:e0.8:t2", &a);
    GPH_line_attr(&a);
    EXPECT_EQ(std::make_tuple(gget_line_colr(), gget_linetype(), gget_linewidth()), std::make_tuple(CLR_get_ind("red"), 2, 2.0f));
    GPH_fill_attr(&a);
    EXPECT_EQ(std::make_pair(gget_fill_int_style(), gget_fill_style_ind()), std::make_pair(int(GPAT), 9));
    GPH_mark_attr(&a, 2.0f);  // height 1.5 times the given size
    EXPECT_EQ(std::make_pair(gget_marker_size(), gget_marker_type()), std::make_pair(3.0f, 2));
    EXPECT_EQ(GPH_text_attr(&a, 0.02f), 0);
    EXPECT_FLOAT_EQ(gget_char_ht(), 0.03f);
    EXPECT_FLOAT_EQ(gget_expan(), 0.8f);
    EXPECT_EQ(gget_font(), 2);
    EXPECT_FLOAT_EQ(gget_space(), 0.25f);
    EXPECT_EQ(GPH_text_attr(nullptr, 1), -1);
    EXPECT_FLOAT_EQ(gget_text_width(), 0.0f);
    EXPECT_FLOAT_EQ(gget_expan(), 1.0f);
    GPH_line_attr(nullptr);
    EXPECT_EQ(std::make_pair(gget_linetype(), gget_linewidth()), std::make_pair(1, 0.0f));
    a.fill_pat = 0;
    GPH_fill_attr(&a);
    EXPECT_EQ(gget_fill_int_style(), GSOLID);
    GPH_text_rotate(90);
    Gpt up;
    gget_char_up_vec(&up);
    EXPECT_NEAR(up.x, 1.0f, 1e-6);
    EXPECT_NEAR(up.y, 0.0f, 1e-6);
    GPH_set_def_font("script");
    GPH_text_font(nullptr);
    EXPECT_EQ(gget_font(), 3);
    GPH_text_font("serif");
    EXPECT_EQ(gget_font(), 2);
    int ws = 1;
    GPH_end(&ws);
    std::string m = read_all(f);
    EXPECT_NE(m.find("\nTE_FNT 3 2\n"), std::string::npos);
    EXPECT_NE(m.find("\nFA_INT 2\nFA_ST 9\n"), std::string::npos);
    RES_put("device", "");
}

TEST(Gph, ViewSizeShrinksThePanel) {
    std::string f = out_path("gph_view.meta");
    GPH_set_view_size(0.5f, 0.5f, 0.5f, 0.0f);
    Glim view = {0, 0, 0, 0};
    setup_meta(f, 0.0f, &view);
    GPH_set_view_size(1, 1, 0, 0);
    Glim s;
    GPH_get_view_size(&s);
    EXPECT_FLOAT_EQ(s.x_max, 1.0f);
    EXPECT_NEAR(view.x_min, 0.5f, 1e-6);
    EXPECT_NEAR(view.x_max, 1.0f, 1e-6);
    EXPECT_NEAR(view.y_max, 0.5f * GPH_get_vert_win_size(), 1e-6);
    int ws = 1;
    GPH_end(&ws);
    RES_put("device", "");
}
