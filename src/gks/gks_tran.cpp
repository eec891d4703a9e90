// gks_tran.cpp - normalization transformations, the workstation window and
// viewport, coordinate conversions with clamping and the clip rectangle.
#include <algorithm>
#include <cmath>

#include "gks.h"
#include "gks_dev.h"

namespace {

Gcoords to_coords(const Glim &l) {
    return {l.x_min, l.y_min, l.x_max, l.y_max, l.x_max - l.x_min, l.y_max - l.y_min};
}

Glim to_lim(const Gcoords &c) { return {c.x_min, c.x_max, c.y_min, c.y_max}; }

const Gcoords kUnit = {0, 0, 1, 1, 1, 1};

struct TranState {
    Gcoords wn[GNUM_TRAN];
    Gcoords vp[GNUM_TRAN];
    int cur_trans = 0;
    Gcoords cur_wn = kUnit;
    Gcoords cur_vp = kUnit;
    Gcoords wkwn = kUnit;
    Gcoords wkvp = {0, 0, 639, 511, 639, 511};
    Gcoords plt = {0, 0, 511, 511, 511, 511};
    Gtransform wn_vp = {1, 1};
    Gtransform wkwn_plt = {511, 511};
    int clip_x = 0, clip_y = 0, clip_w = 0, clip_h = 0;
    float xmult = 1, ymult = 1;
    TranState() {
        for (int i = 0; i < GNUM_TRAN; ++i) {
            wn[i] = kUnit;
            vp[i] = kUnit;
        }
    }
};

TranState S;

float safe_div(float a, float b) { return b != 0 ? a / b : 0.0f; }

void calc_scale() {
    S.wn_vp.x = safe_div(S.cur_vp.x_ext, S.cur_wn.x_ext);
    S.wn_vp.y = safe_div(S.cur_vp.y_ext, S.cur_wn.y_ext);
}

// The largest rectangle inside the workstation viewport with the aspect
// ratio of the workstation window, shifted by the window offset.
void calc_plt() {
    float xe, ye;
    if (safe_div(S.wkvp.x_ext, S.wkwn.x_ext) > safe_div(S.wkvp.y_ext, S.wkwn.y_ext)) {
        xe = safe_div(S.wkvp.y_ext * S.wkwn.x_ext, S.wkwn.y_ext);
        ye = S.wkvp.y_ext;
    } else {
        xe = S.wkvp.x_ext;
        ye = safe_div(S.wkvp.x_ext * S.wkwn.y_ext, S.wkwn.x_ext);
    }
    int wx = 0, wy = 0;
    gget_win_offset(&wx, &wy);
    S.plt.x_min = S.wkvp.x_min + wx;
    S.plt.y_min = S.wkvp.y_min + wy;
    S.plt.x_ext = xe;
    S.plt.y_ext = ye;
    S.plt.x_max = S.plt.x_min + xe;
    S.plt.y_max = S.plt.y_min + ye;
    S.wkwn_plt.x = safe_div(S.plt.x_ext, S.wkwn.x_ext);
    S.wkwn_plt.y = safe_div(S.plt.y_ext, S.wkwn.y_ext);
}

// Clip rectangle from the current viewport; pushed to the device when
// apply is set.
void calc_clip(bool apply) {
    float x = std::round(xNDC_p(S.cur_vp.x_min) + 0.5f);
    float y = std::round(yNDC_p(S.cur_vp.y_max) + 0.5f);
    S.clip_x = static_cast<int>(x);
    S.clip_y = static_cast<int>(y);
    S.clip_w = static_cast<int>(std::round(xNDC_p(S.cur_vp.x_max) - x + 1.5f));
    S.clip_h = static_cast<int>(std::round(yNDC_p(S.cur_vp.y_min) - y + 1.5f));
    if (!apply) return;
    if (GksDevice *d = gdev()) {
        Glim r;
        if (d->pixel_units()) {
            // Window devices take the pixel rectangle (y downwards).
            r = {static_cast<float>(S.clip_x), static_cast<float>(S.clip_x + S.clip_w),
                 static_cast<float>(S.clip_y), static_cast<float>(S.clip_y + S.clip_h)};
        } else {
            gget_clip_ps(&r);
        }
        d->clip(r);
    }
}

void echo_rect(const char *tag, int n, const Gcoords &c) {
    if (GksDevice *d = gdev()) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "%s %d %f %f %f %f\n", tag, n, c.x_min, c.y_min,
                      c.x_max, c.y_max);
        d->record(buf);
    }
}

void record_rect(int code, int n, const Gcoords &c) {
    Glim l = to_lim(c);
    grecord(code, n, sizeof l, &l);
}

}  // namespace

float gclamp(float v, float lim) {
    if (std::isnan(v)) return 0.0f;
    return std::clamp(v, -lim, lim);
}

int ginit_tran(int dev_class) {
    if (dev_class != 10) {
        for (int i = 0; i < GNUM_TRAN; ++i) {
            S.wn[i] = kUnit;
            S.vp[i] = kUnit;
        }
        S.cur_trans = 0;
        S.cur_wn = kUnit;
        S.cur_vp = kUnit;
        S.wkwn = kUnit;
    }
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    S.wkvp = to_coords({0, static_cast<float>(w - 1), 0, static_cast<float>(h - 1)});
    calc_plt();
    calc_scale();
    // Window devices (classes 0 and 1) set the clip on their contexts too.
    calc_clip((dev_class >= 0 && dev_class <= 4) || dev_class == 10);
    return 0;
}

int gset_ws_win(int ws, const Glim *win) {
    if (!win) return -1;
    S.wkwn = to_coords(*win);
    calc_plt();
    calc_clip(true);
    echo_rect("WS_WIN", ws, S.wkwn);
    record_rect(11, ws, S.wkwn);
    return 0;
}

int gset_ws_vp(int ws, const Glim *vp) {
    if (!vp) return -1;
    S.wkvp = to_coords(*vp);
    calc_plt();
    calc_clip(true);
    echo_rect("WS_VP", ws, S.wkvp);
    record_rect(10, ws, S.wkvp);
    return 0;
}

int gset_win(int n, const Glim *win) {
    if (n < 0 || n >= GNUM_TRAN || !win) {
        gerr_printf("gset_win", "invalid transformation number: %d\n", n);
        return -1;
    }
    S.wn[n] = to_coords(*win);
    if (n == S.cur_trans) {
        S.cur_wn = S.wn[n];
        calc_scale();
    }
    echo_rect("WIN", n, S.wn[n]);
    record_rect(17, n, S.wn[n]);
    return 0;
}

int gset_vp(int n, const Glim *vp) {
    if (n < 0 || n >= GNUM_TRAN || !vp) {
        gerr_printf("gset_vp", "invalid transformation number: %d\n", n);
        return -1;
    }
    S.vp[n] = to_coords(*vp);
    if (n == S.cur_trans) {
        S.cur_vp = S.vp[n];
        calc_scale();
        calc_clip(true);
    }
    echo_rect("VP", n, S.vp[n]);
    record_rect(16, n, S.vp[n]);
    return 0;
}

int gsel_norm_tran(int n) {
    if (n < 0 || n >= GNUM_TRAN) {
        gerr_printf("gsel_norm_tran", "invalid transformation number: %d\n", n);
        return -1;
    }
    if (n == S.cur_trans) return 0;
    S.cur_trans = n;
    S.cur_wn = S.wn[n];
    S.cur_vp = S.vp[n];
    calc_scale();
    calc_clip(true);
    if (GksDevice *d = gdev()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "TR %d\n", n);
        d->record(buf);
    }
    grecord(15, n, 0, nullptr);
    return 0;
}

int ginq_norm_tran(int n, int *err, Gtran *tran) {
    if (n < 0 || n >= GNUM_TRAN) {
        if (err) *err = 1;
        return -1;
    }
    if (err) *err = 0;
    if (tran) {
        tran->win = to_lim(S.wn[n]);
        tran->vp = to_lim(S.vp[n]);
    }
    return 0;
}

int ginq_cur_norm_tran_num(int *err, int *n) {
    if (err) *err = 0;
    if (n) *n = S.cur_trans;
    return S.cur_trans;
}

int ginq_ws_win(Glim *win) {
    if (win) *win = to_lim(S.wkwn);
    return 0;
}

int ginq_ws_vp(Glim *vp) {
    if (vp) *vp = to_lim(S.wkvp);
    return 0;
}

int ginq_disp_space_size(int, int *err, Gdsp_size *size) {
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    if (err) *err = 0;
    if (size) {
        size->coord_units = GOTHER_UNIT;
        size->coord_size = {static_cast<float>(w - 1), static_cast<float>(h - 1)};
        size->ras_size = {w, h};
    }
    return 0;
}

int gpts_in_win(int n, const Gpt *pts) {
    if (n < 1 || !pts) return 0;
    float x0 = pts[0].x, x1 = pts[0].x, y0 = pts[0].y, y1 = pts[0].y;
    for (int i = 1; i < n; ++i) {
        x0 = std::min(x0, pts[i].x);
        x1 = std::max(x1, pts[i].x);
        y0 = std::min(y0, pts[i].y);
        y1 = std::max(y1, pts[i].y);
    }
    // A window may run from a larger to a smaller value.
    float wx0 = std::min(S.cur_wn.x_min, S.cur_wn.x_max);
    float wx1 = std::max(S.cur_wn.x_min, S.cur_wn.x_max);
    float wy0 = std::min(S.cur_wn.y_min, S.cur_wn.y_max);
    float wy1 = std::max(S.cur_wn.y_min, S.cur_wn.y_max);
    return (x1 >= wx0 && x0 <= wx1 && y1 >= wy0 && y0 <= wy1) ? 1 : 0;
}

int gset_tran_mult(float xm, float ym) {
    S.xmult = xm;
    S.ymult = ym;
    return 0;
}

int gget_tran_mult(float *xm, float *ym) {
    if (xm) *xm = S.xmult;
    if (ym) *ym = S.ymult;
    return 0;
}

int gget_plt(Glim *plt) {
    if (plt) *plt = to_lim(S.plt);
    return 0;
}

int gget_clip_rect(int *x, int *y, int *width, int *height) {
    if (x) *x = S.clip_x;
    if (y) *y = S.clip_y;
    if (width) *width = S.clip_w;
    if (height) *height = S.clip_h;
    return 0;
}

int gget_clip_ps(Glim *rect) {
    if (!rect) return -1;
    float a = xNDC_ps(S.cur_vp.x_min), b = xNDC_ps(S.cur_vp.x_max);
    float c = yNDC_ps(S.cur_vp.y_min), d = yNDC_ps(S.cur_vp.y_max);
    *rect = {std::min(a, b), std::max(a, b), std::min(c, d), std::max(c, d)};
    return 0;
}

float xW_NDC(float x) { return (x - S.cur_wn.x_min) * S.wn_vp.x + S.cur_vp.x_min; }
float yW_NDC(float y) { return (y - S.cur_wn.y_min) * S.wn_vp.y + S.cur_vp.y_min; }

float xNDC_p(float x) {
    return gclamp((x - S.wkwn.x_min) * S.wkwn_plt.x + S.plt.x_min, 30000.0f);
}
float yNDC_p(float y) {
    return gclamp((S.wkwn.y_max - y) * S.wkwn_plt.y + S.plt.y_min, 30000.0f);
}
float xNDC_ps(float x) {
    return gclamp((x - S.wkwn.x_min) * S.wkwn_plt.x + S.plt.x_min, 100000.0f);
}
float yNDC_ps(float y) {
    return gclamp((y - S.wkwn.y_min) * S.wkwn_plt.y + S.plt.y_min, 100000.0f);
}

float xW_p(float x) { return xNDC_p(xW_NDC(x)); }
float yW_p(float y) { return yNDC_p(yW_NDC(y)); }
float xW_ps(float x) { return xNDC_ps(xW_NDC(x)); }
float yW_ps(float y) { return yNDC_ps(yW_NDC(y)); }

float xp_W(float px) {
    float ndc = safe_div(px - S.plt.x_min, S.wkwn_plt.x) + S.wkwn.x_min;
    return safe_div(ndc - S.cur_vp.x_min, S.wn_vp.x) + S.cur_wn.x_min;
}

float yp_W(float py) {
    float ndc = S.wkwn.y_max - safe_div(py - S.plt.y_min, S.wkwn_plt.y);
    return safe_div(ndc - S.cur_vp.y_min, S.wn_vp.y) + S.cur_wn.y_min;
}

float xW_trans(float x, int from, int to) {
    if (from < 0 || from >= GNUM_TRAN || to < 0 || to >= GNUM_TRAN) return x;
    const Gcoords &fw = S.wn[from], &fv = S.vp[from], &tw = S.wn[to], &tv = S.vp[to];
    float ndc = (x - fw.x_min) * safe_div(fv.x_ext, fw.x_ext) + fv.x_min;
    return safe_div(ndc - tv.x_min, safe_div(tv.x_ext, tw.x_ext)) + tw.x_min;
}

float yW_trans(float y, int from, int to) {
    if (from < 0 || from >= GNUM_TRAN || to < 0 || to >= GNUM_TRAN) return y;
    const Gcoords &fw = S.wn[from], &fv = S.vp[from], &tw = S.wn[to], &tv = S.vp[to];
    float ndc = (y - fw.y_min) * safe_div(fv.y_ext, fw.y_ext) + fv.y_min;
    return safe_div(ndc - tv.y_min, safe_div(tv.y_ext, tw.y_ext)) + tw.y_min;
}

Gpt gto_device(const Gpt &w) {
    GksDevice *d = gdev();
    if (d && d->pixel_units())
        return {std::floor(xW_p(w.x) + 0.5f), std::floor(yW_p(w.y) + 0.5f)};
    return {xW_ps(w.x), yW_ps(w.y)};
}

void gto_device(int n, const Gpt *w, std::vector<Gpt> &out) {
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    for (int i = 0; i < n; ++i) out[i] = gto_device(w[i]);
}
