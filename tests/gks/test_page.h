// test_page.h - draws the kernel's test page on the open workstation: every
// line type, marker and fill pattern, the colours, text in every alignment
// and at an angle, and shapes cut by the clip rectangle.
#ifndef TEST_PAGE_H
#define TEST_PAGE_H

#include <cstdio>

#include "colors.h"
#include "gks.h"
#include "zupgks.h"

inline void draw_test_page() {
    int ws = 1, type = 0;
    Glim view = {0.02f, 0.02f, 0.02f, 0.02f};
    GPH_reset(&ws, &type, 0, &view);
    // Work in a 100 x 80 world on the panel.
    Glim win = {0, 100, 0, 80};
    gset_win(2, &win);
    gsel_norm_tran(2);
    GPH_line_attr(nullptr);
    GPH_rect(0, 0, 100, 80);

    gset_char_ht(2.0f);
    gset_text_colr_ind(CLR_get_ind("black"));
    GPH_text_align(GLEFT_HOR, GBASE_VERT);
    GPH_printf(2, 76, "Line types, widths and colours");
    const char *colours[] = {"black", "red", "green", "blue", "brown"};
    for (int t = 1; t <= 5; ++t) {
        gset_linetype(t);
        gset_linewidth(static_cast<float>(t));
        gset_line_colr_ind(CLR_get_ind(colours[t - 1]));
        float y = 74 - 3.0f * t;
        GPH_line(2, y, 40, y);
    }
    gset_linetype(1);
    gset_linewidth(1);
    gset_line_colr_ind(CLR_get_ind("black"));

    GPH_printf(50, 76, "Markers 1-9");
    for (int m = 1; m <= 9; ++m) {
        gset_marker_type(m);
        gset_marker_size(1.5f);
        gset_marker_colr_ind(CLR_get_ind(m % 2 ? "blue" : "red"));
        GPH_mark(52.0f + 5.0f * (m - 1), 70);
    }

    GPH_printf(2, 54, "Fill patterns 0-19 and solid colours");
    for (int p = 0; p < 20; ++p) {
        gset_fill_int_style(GPAT);
        gset_fill_style_ind(p);
        gset_fill_colr_ind(CLR_get_ind("dblue"));
        float x = 2.0f + 4.8f * p;
        GPH_frect(x, 46, x + 4, 51);
    }
    const char *fills[] = {"red", "green", "blue", "cyan", "magenta", "yellow", "orange",
                           "gray", "brown", "lblue"};
    gset_fill_int_style(GSOLID);
    for (int c = 0; c < 10; ++c) {
        gset_fill_colr_ind(CLR_get_ind(fills[c]));
        float x = 2.0f + 6.0f * c;
        GPH_frect(x, 39, x + 5, 44);
    }
    GPH_fcircle(72, 41.5f, 3);

    // Text in every alignment around crosshairs.
    gset_line_colr_ind(CLR_get_ind("red"));
    const int hor[] = {GLEFT_HOR, GCENTER_HOR, GRIGHT_HOR};
    const int ver[] = {GTOP_VERT, GCAP_VERT, GHALF_VERT, GBASE_VERT, GBOTTOM_VERT};
    const char *hn[] = {"L", "C", "R"};
    const char *vn[] = {"top", "cap", "half", "base", "bottom"};
    for (int h = 0; h < 3; ++h) {
        for (int v = 0; v < 5; ++v) {
            float x = 6.0f + 26.0f * h + (h == 2 ? 6.0f : 0.0f), y = 33.0f - 5.5f * v;
            GPH_line(x - 1, y, x + 1, y);
            GPH_line(x, y - 1, x, y + 1);
            GPH_text_align(hor[h], ver[v]);
            GPH_printf(x, y, "%s-%s", hn[h], vn[v]);
        }
    }
    // Rotated text and the other fonts.
    GPH_text_align(GLEFT_HOR, GBASE_VERT);
    gset_text_colr_ind(CLR_get_ind("blue"));
    GPH_text_rotate(-30.0f);
    GPH_printf(66, 1, "Rotated 30");
    GPH_text_rotate(0.0f);
    gset_text_colr_ind(CLR_get_ind("black"));
    for (int f = 2; f <= 3 && f <= gget_num_fonts(); ++f) {
        Gfontprec fp = {f, GSTROKE_PREC};
        gset_fontprec(&fp);
        GPH_printf(78, 38.0f - 6.0f * f, "%s font", gget_font_name(f));
    }
    Gfontprec fp1 = {1, GSTROKE_PREC};
    gset_fontprec(&fp1);

    // Shapes cut by a clipped viewport in the lower right corner.
    Glim cwin = {0, 10, 0, 10};
    Glim cur;
    GPH_get_view(2, &cur);
    float w = cur.x_max - cur.x_min, h = cur.y_max - cur.y_min;
    Glim cvp = {cur.x_min + 0.80f * w, cur.x_min + 0.97f * w, cur.y_min + 0.03f * h,
                cur.y_min + 0.16f * h};
    gset_win(4, &cwin);
    gset_vp(4, &cvp);
    gsel_norm_tran(4);
    gset_line_colr_ind(CLR_get_ind("black"));
    GPH_rect(0, 0, 10, 10);
    gset_fill_colr_ind(CLR_get_ind("green"));
    GPH_fcircle(10, 5, 5);
    gset_line_colr_ind(CLR_get_ind("red"));
    gset_linewidth(3);
    GPH_line(-5, -5, 15, 15);
    gset_text_colr_ind(CLR_get_ind("blue"));
    gset_char_ht(3);
    GPH_printf(-3, 3, "clipped");
    gsel_norm_tran(2);
}

#endif  // TEST_PAGE_H
