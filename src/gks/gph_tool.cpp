// gph_tool.cpp - the GPH_* convenience layer: device choice, page and panel
// layout, attribute records and simple figures.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "colors.h"
#include "gks.h"
#include "gks_dev.h"
#include "zup.h"
#include "zupgks.h"
#include "zupresrc.h"

namespace {

struct GphState {
    int ws_open = 0;
    int wk_type = 0;
    int wk_itype = 0;
    float xvp = 1.0f;
    float yvp = 1.0f;
    float sizex = 1.0f;
    float sizey = 1.0f;
    float offx = 0.0f;
    float offy = 0.0f;
    char font_name[20] = "";
};

GphState G;

constexpr float kDegToRad = 0.017453292519943334f;

int print_text(const Gpt *pt, const char *fmt, va_list ap) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    return gtext(pt, buf);
}

int closed_figure(int n, const Gpt *pts, bool fill) {
    return fill ? gfill_area(n, pts) : gpolyline(n, pts);
}

int circle(float x, float y, float r, bool fill) {
    Gpt pts[37];
    for (int i = 0; i < 37; ++i) {
        float a = static_cast<float>(i * 10) * kDegToRad;
        pts[i] = {x + r * std::cos(a), y + r * std::sin(a)};
    }
    return closed_figure(37, pts, fill);
}

int rect(float x1, float y1, float x2, float y2, bool fill) {
    Gpt pts[5] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
    return closed_figure(5, pts, fill);
}

}  // namespace

int ghold(int) {
    if (GksDevice *d = gdev()) return d->hold();
    return 0;
}

int GPH_is_open() { return G.ws_open; }

int GPH_set_win_title() {
    char prog[FILE_NAME_LEN];
    const char *name = RES_get("name");
    if (name && *name) copy_field(prog, name);
    else RES_get_progname(prog);
    gset_prog_name(prog);
    const char *title = RES_get("title");
    if (title && *title) {
        gset_win_title(title);
    } else if (name && *name) {
        gset_win_title(name[0] == '+' ? name + 1 : name);
    } else {
        gset_win_title(prog);
    }
    return 0;
}

int GPH_device_prompt(int *type) {
    if (!type || *type != 0) return 0;
    char ans[20] = "";
    ZUP_prompts("Display (D) or Postscript (P): ", ans, sizeof ans);
    *type = (ans[0] == 'P' || ans[0] == 'p') ? GWS_PS : GWS_WIN;
    return 0;
}

int GPH_begin(int *ws, const char *connection, int *type) {
    FILE_delete("zupgks.err");
    if (ws) *ws = 1;
    int t = type ? *type : 0;
    G.wk_itype = t;
    if (t == 0) GPH_device_prompt(&t);
    if (type) *type = t;
    G.wk_type = t;
    FLAG_set(2, t);
    if (!G.ws_open) {
        if (gopen_gks(nullptr, 10000) != 0) {
            MESS_print(48, "GPH_begin: Error opening Kernel System\n");
            ZUP_exit(4);
        }
        if (gopen_ws(1, connection, t) != 0) {
            MESS_print(48, "GPH_begin: Error opening workstation\n");
            ZUP_exit(4);
        }
    }
    G.ws_open = 1;
    return 0;
}

int GPH_end(int *ws) {
    gclose_ws(ws ? *ws : 1);
    gclose_gks();
    G.ws_open = 0;
    FLAG_set(2, G.wk_itype);
    return 0;
}

int GPH_setup(int *ws, int *type, float aspect, Glim *view) {
    char conn[FILE_NAME_LEN] = "";
    const char *dev = RES_get("device");
    int t = FLAG_get(2);
    if (dev) {
        int dt = gdevice_setup(dev, conn);
        if (t <= 0) t = dt;
    }
    if (t <= 0) t = FLAG_batch() ? GWS_WIN : 0;
    if (type) *type = t;
    GPH_set_win_title();
    CLR_read_table(nullptr);
    GPH_begin(ws, conn, type);
    return GPH_reset(ws, type, aspect, view);
}

int ginq_maxview(int, float *xvp, float *yvp) {
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    float xv = 1.0f, yv = 1.0f;
    if (w - 1 > h - 1) {
        yv = static_cast<float>(h - 1) / static_cast<float>(w - 1);
    } else if (h > 1) {
        xv = static_cast<float>(w - 1) / static_cast<float>(h - 1);
    }
    if (xvp) *xvp = xv;
    if (yvp) *yvp = yv;
    return 0;
}

int gset_aspect(const Glim *in, Glim *out, float ax, float ay, int xalign, int yalign) {
    if (!in || !out || ax <= 0 || ay <= 0) return -1;
    float w = in->x_max - in->x_min, h = in->y_max - in->y_min;
    float nw = w, nh = h;
    if (h != 0 && w != 0 && ay / h > ax / w) nw = ax * h / ay;
    else nh = ay * w / ax;
    Glim r = *in;
    auto place = [](float lo, float ext, float next, int align, float &a, float &b) {
        if (align == 2) a = lo + (ext - next) / 2;
        else if (align == 3) a = lo + ext - next;
        else a = lo;
        b = a + next;
    };
    place(in->x_min, w, nw, xalign, r.x_min, r.x_max);
    place(in->y_min, h, nh, yalign, r.y_min, r.y_max);
    *out = r;
    return 0;
}

int GPH_reset(int *ws, int *type, float aspect, Glim *view) {
    int w = ws ? *ws : 1;
    gclear_ws(w, 1);
    ginq_maxview(w, &G.xvp, &G.yvp);
    Glim page = {0, G.xvp, 0, G.yvp};
    gset_ws_win(w, &page);
    gset_win(1, &page);
    gset_vp(1, &page);
    GPH_panel(ws, type, aspect, view);
    for (int i = 0; i < CLR_get_num(); ++i) {
        float r = 0, g = 0, b = 0;
        CLR_get_rgb(i, &r, &g, &b);
        Gcolr_rep rep = {r, g, b};
        gset_colr_rep(w, i, &rep);
    }
    GPH_text_font(nullptr);
    return 0;
}

int GPH_panel(int *, int *, float aspect, Glim *view) {
    Glim m = view ? *view : Glim{0, 0, 0, 0};
    Glim vp;
    vp.x_min = (m.x_min * G.sizex + G.offx) * G.xvp;
    vp.x_max = (G.offx + G.sizex - m.x_max * G.sizex) * G.xvp;
    vp.y_min = (m.y_min * G.sizey + G.offy) * G.yvp;
    vp.y_max = (G.offy + G.sizey - m.y_max * G.sizey) * G.yvp;
    float ax = 1.0f, ay = 1.0f;
    if (aspect == 0) {
        ax = G.xvp * G.sizex;
        ay = G.yvp * G.sizey;
    } else {
        ax = aspect;
    }
    Glim fit = vp;
    gset_aspect(&vp, &fit, ax, ay, 2, 2);
    gset_win(2, &fit);
    gset_vp(2, &fit);
    gset_win(3, &fit);
    gset_vp(3, &fit);
    greset_line();
    greset_fill();
    greset_marker();
    greset_text();
    if (view) *view = fit;
    return 0;
}

int GPH_set_view_size(float sx, float sy, float ox, float oy) {
    G.sizex = sx;
    G.sizey = sy;
    G.offx = ox;
    G.offy = oy;
    return 0;
}

int GPH_get_view_size(Glim *view) {
    if (view) *view = {G.offx, G.offx + G.sizex, G.offy, G.offy + G.sizey};
    return 0;
}

float GPH_get_vert_win_size() { return G.yvp; }
float GPH_get_horz_win_size() { return G.xvp; }

int GPH_hold(int *ws) {
    if (GksDevice *d = gdev()) d->update();
    return ghold(ws ? *ws : 1);
}

int GPH_trans(int n) { return gsel_norm_tran(n); }
int GPH_view(int n, const Glim *view) { return gset_vp(n, view); }
int GPH_win(int n, const Glim *win) { return gset_win(n, win); }

int GPH_get_view(int n, Glim *view) {
    Gtran t;
    int err = 0;
    if (ginq_norm_tran(n, &err, &t) != 0) return -1;
    if (view) *view = t.vp;
    return 0;
}

int GPH_get_win(int n, Glim *win) {
    Gtran t;
    int err = 0;
    if (ginq_norm_tran(n, &err, &t) != 0) return -1;
    if (win) *win = t.win;
    return 0;
}

int GPH_print_view(const Glim *v) {
    if (!v) return -1;
    MESS_print(15, "%5.2f %5.2f %5.2f %5.2f\n", v->x_min, v->x_max, v->y_min, v->y_max);
    return 0;
}

int GPH_line_attr(const Gattribs *a) {
    if (!a) {
        gset_linetype(1);
        gset_linewidth(0);
        return 0;
    }
    if (a->color != MISSING && a->color >= 0) gset_line_colr_ind(a->color);
    if (a->style != MISSING) gset_linetype(a->style);
    if (a->width != MISSING_F) gset_linewidth(a->width);
    return 0;
}

int GPH_fill_attr(const Gattribs *a) {
    if (!a) {
        gset_fill_int_style(GSOLID);
        return 0;
    }
    if (a->color != MISSING && a->color >= 0) gset_fill_colr_ind(a->color);
    if (a->fill_pat == 0) {
        gset_fill_int_style(GSOLID);
    } else if (a->fill_pat != MISSING) {
        gset_fill_int_style(GPAT);
        gset_fill_style_ind(a->fill_pat);
    }
    return 0;
}

int GPH_mark_attr(const Gattribs *a, float size) {
    if (!a) {
        gset_marker_width(0);
        return 0;
    }
    if (a->color != MISSING && a->color >= 0) gset_marker_colr_ind(a->color);
    if (a->style != MISSING) gset_marker_type(a->style);
    if (a->height != MISSING_F) gset_marker_size(a->height * size);
    else if (size > 0) gset_marker_size(size);
    if (a->width != MISSING_F) gset_marker_width(a->width);
    return 0;
}

int GPH_text_attr(const Gattribs *a, float size) {
    if (!a) {
        gset_text_width(0);
        gset_expan(1.0f);
        return -1;
    }
    if (a->color != MISSING && a->color >= 0) gset_text_colr_ind(a->color);
    if (a->height != MISSING_F) gset_char_ht(a->height * size);
    else gset_char_ht(size);
    if (a->width != MISSING_F) gset_text_width(a->width);
    if (a->expan != MISSING_F) gset_expan(a->expan);
    if (a->font != MISSING) {
        Gfontprec fp = {a->font, GSTROKE_PREC};
        gset_fontprec(&fp);
    }
    gset_space(0.25f);
    return 0;
}

int GPH_text_font(const char *name) {
    const char *n = (name && *name) ? name : G.font_name;
    Gfontprec fp = {gget_font_index(n), GSTROKE_PREC};
    return gset_fontprec(&fp);
}

int GPH_set_def_font(const char *name) {
    copy_field(G.font_name, name ? name : "");
    return 0;
}

int GPH_text_align(int hor, int vert) {
    Gtext_align a = {static_cast<Gtext_hor>(hor), static_cast<Gtext_ver>(vert)};
    return gset_text_align(&a);
}

int GPH_get_text_align(int *hor, int *vert) {
    Gtext_align a;
    ginq_text_align(&a);
    if (hor) *hor = a.hor;
    if (vert) *vert = a.vert;
    return 0;
}

int GPH_text_rotate(float deg) {
    float a = deg * kDegToRad;
    Gpt up = {std::sin(a), std::cos(a)};
    return gset_char_up_vec(&up);
}

int GPH_set_color(int i, float r, float g, float b) {
    Gcolr_rep rep = {r, g, b};
    return gset_colr_rep(1, i, &rep);
}

int GPH_line(float x1, float y1, float x2, float y2) {
    Gpt pts[2] = {{x1, y1}, {x2, y2}};
    return gpolyline(2, pts);
}

int GPH_mark(float x, float y) {
    Gpt p = {x, y};
    return gpolymarker(1, &p);
}

int GPH_border(const Glim *r) {
    if (!r) return -1;
    return rect(r->x_min, r->y_min, r->x_max, r->y_max, false);
}

int GPH_rect(float x1, float y1, float x2, float y2) { return rect(x1, y1, x2, y2, false); }
int GPH_frect(float x1, float y1, float x2, float y2) { return rect(x1, y1, x2, y2, true); }
int GPH_circle(float x, float y, float r) { return circle(x, y, r, false); }
int GPH_fcircle(float x, float y, float r) { return circle(x, y, r, true); }

int GPH_pprint(const Gpt *pt, const char *text) { return gtext(pt, text); }

int GPH_pprintf(const Gpt *pt, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int rc = print_text(pt, fmt, ap);
    va_end(ap);
    return rc;
}

int GPH_printf(float x, float y, const char *fmt, ...) {
    Gpt pt = {x, y};
    va_list ap;
    va_start(ap, fmt);
    int rc = print_text(&pt, fmt, ap);
    va_end(ap);
    return rc;
}
