// thm_plt.cpp - the thermodynamic diagrams (skew-T, emagram, tephigram,
// rotated tephigram, Stuve): background families and their labels, the
// sounding traces, the wind column and the values panel.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "colors.h"
#include "gks.h"
#include "snd_priv.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgks.h"
#include "zupplt.h"
#include "zupresrc.h"
#include "zupsnd.h"
#include "zupupa.h"

namespace {

constexpr float kKelvin = 273.15f;

// Package settings of the diagram.
struct DiagramSettings {
    float pline = 50.0f;   // isobar spacing, mb
    float tline = 10.0f;   // isotherm spacing, C
    float oline = 10.0f;   // dry-adiabat spacing, K
    float eline = 10.0f;   // saturated-adiabat spacing, K
    float mline = 0.0f;    // mixing-ratio spacing, g/kg (0: the fixed table)
    int data_style = THERM_PANEL_FULL;
    int parcel = 1;
};

DiagramSettings S;

// Saturation mixing-ratio lines of the fixed table and the labelled ones.
struct MixLine {
    float w;
    bool label;
};
constexpr MixLine kMixLines[] = {
    {0.1f, true}, {0.2f, true}, {0.6f, true}, {1, true},    {2, true},
    {3, true},    {4, false},   {5, true},    {7.5f, false}, {10, true},
    {15, false},  {20, true},   {25, false},  {30, false},   {40, true},
};

// Background families in the order of "color_therm" and "color_thrmtxt".
enum Family { kIsobar = 0, kIsotherm, kDryAd, kSatAd, kMixRat, kFamilies };

struct DiagramAttribs {
    Gattribs line[kFamilies];
    Gattribs text[kFamilies];
};

DiagramAttribs diagram_attribs() {
    snd::AttrList lines("color_therm"), texts("color_thrmtxt");
    const char *mix = snd::inv("yellow", "brown");
    const char *line_def[kFamilies] = {"blue", "blue", "green", "cyan", mix};
    const char *text_def[kFamilies] = {"lblue", "lblue", "off", "off", mix};
    DiagramAttribs a;
    for (int f = 0; f < kFamilies; ++f) {
        Gattribs preset;
        ATTRIB_init(&preset);
        if (f == kSatAd) preset.style = 2;
        if (f == kMixRat) preset.style = 4;
        a.line[f] = snd::attrib(lines, f, line_def[f], &preset);
        ATTRIB_init(&preset);
        if (f == kIsobar) preset.expan = 0.8f;
        a.text[f] = snd::attrib(texts, f, text_def[f], &preset);
    }
    return a;
}

// Pressures of a curve from the bottom: p_bottom, then first_step below it
// and every 50 mb upward while keep(p) holds.
template <class Keep, class Fn>
void walk_up(float p_bottom, float first_step, Keep keep, Fn fn) {
    fn(p_bottom);
    for (float p = p_bottom - first_step; keep(p); p -= 50.0f) fn(p);
}

// ---------------------------------------------------------------------------
// Background families, each in the plane transformation

void draw_isobars(const snd::DiagramRange &r) {
    for (float p = r.pb; p >= r.pt; p -= S.pline) {
        snd::Curve c;
        for (float t = r.t_left; t < r.t_right; t += 10.0f) c.to(t, p);
        c.to(r.t_right, p);
    }
}

void draw_isotherms(const snd::DiagramRange &r) {
    for (float t = r.tl; t <= r.tr; t += S.tline) {
        snd::Curve c;
        c.to(t, r.p_top);
        c.to(t, r.p_bottom);
    }
}

void draw_dry_adiabats(const snd::DiagramRange &r) {
    for (float th = 203.15f; th <= 393.15f + 0.01f; th += S.oline) {
        snd::Curve c;
        auto at = [&](float p) { c.to(temp_on_dryad(th, p) - kKelvin, p); };
        walk_up(r.pb, 100.0f, [&](float p) { return p >= r.pt; }, at);
        at(r.p_top);
    }
}

float satad_thetae(float t0) { return thetae_on_satad(t0, 1000.0f); }

float satad_temp(float thetae, float p) {
    float t = temp_on_satad(thetae, p);
    return t == MISSING_F ? MISSING_F : t - kKelvin;
}

void draw_sat_adiabats(const snd::DiagramRange &r) {
    for (float t0 = 253.15f; t0 <= 313.15f + 0.01f; t0 += S.eline) {
        float thetae = satad_thetae(t0);
        snd::Curve c;
        walk_up(r.pb, 100.0f, [&](float p) { return p > r.pt - 25.0f && p > 125.0f; },
                [&](float p) { c.to(satad_temp(thetae, p), p); });
    }
}

// Mixing-ratio values drawn: every mline from 40 g/kg down, or the table.
template <class Fn>
void for_mix_lines(Fn fn) {
    if (S.mline > 0.0f) {
        for (float w = 40.0f; w > 0.0f; w -= S.mline) fn(w, true);
    } else {
        for (const MixLine &m : kMixLines) fn(m.w, m.label);
    }
}

float mix_temp(float w, float p) {
    float t = temp_on_mixrat(w, p);
    return t == MISSING_F ? MISSING_F : t - kKelvin;
}

void draw_mix_lines(const snd::DiagramRange &r) {
    for_mix_lines([&](float w, bool) {
        snd::Curve c;
        walk_up(r.pb, 50.0f, [&](float p) { return p > r.pt - 25.0f && p > 125.0f; },
                [&](float p) { c.to(mix_temp(w, p), p); });
    });
}

// ---------------------------------------------------------------------------
// Labels, in the page transformation

// Page point of a diagram point when it lies inside the domain.
bool label_anchor(float t, float p, Gpt *page) {
    float x = 0, y = 0;
    if (t == MISSING_F || MAP_tran(t, p, &x, &y) != 1 || !MAP_in_domain(x, y)) return false;
    *page = snd::to_page(x, y);
    return true;
}

// Where a curve T(p) leaves the plot at its bottom edge: its point at the
// bottom pressure when that lies inside, else (on the tephigrams, whose
// isotherms and mixing-ratio lines cross the bottom edge aslant) the
// crossing with the bottom edge, found by bisection in pressure.
template <class TempAt>
bool bottom_anchor(TempAt temp_at, const snd::DiagramRange &r, Gpt *page) {
    if (label_anchor(temp_at(r.pb), r.pb, page)) return true;
    MAP_limits lim;
    MAP_get_limits(&lim);
    auto inside = [&](float p) {
        float x = 0, y = 0, t = temp_at(p);
        return t != MISSING_F && MAP_tran(t, p, &x, &y) == 1 && MAP_in_domain(x, y);
    };
    float out = r.pb, in = MISSING_F;
    for (float p = r.pb - 25.0f; p > r.p_top; p -= 25.0f) {
        if (inside(p)) {
            in = p;
            break;
        }
        out = p;
    }
    if (in == MISSING_F) return false;
    for (int i = 0; i < 30; ++i) {
        float mid = 0.5f * (in + out);
        (inside(mid) ? in : out) = mid;
    }
    float x = 0, y = 0;
    MAP_tran(temp_at(in), in, &x, &y);
    if (y - lim.y_min > 0.01f * (lim.y_max - lim.y_min)) return false;  // left or right edge
    *page = snd::to_page(x, y);
    return true;
}

void draw_labels(const snd::DiagramRange &r, const DiagramAttribs &a, const Glim &v) {
    float h = 0.02f * GPH_get_vert_win_size();
    float unit_x = v.x_max + 0.01f;
    if (!snd::is_off(a.text[kIsobar])) {
        GPH_text_attr(&a.text[kIsobar], h);
        GPH_text_align(GRIGHT_HOR, GHALF_VERT);
        for (float p = std::trunc(r.pb / 100.0f) * 100.0f; p >= r.pt; p -= 2.0f * S.pline) {
            float x = 0, y = 0;
            if (!snd::edge_point(p, false, &x, &y) || !MAP_in_domain(x, y)) continue;
            GPH_printf(v.x_min - 0.01f, snd::to_page(x, y).y, "%4.0f", p);
        }
        // Clear of the first temperature label under the corner.
        GPH_text_align(GRIGHT_HOR, GTOP_VERT);
        GPH_printf(v.x_min - 0.03f, v.y_min - 0.01f, "mb");
    }
    // Two rows under the plot: temperatures, then mixing ratios.
    float row = v.y_min - 0.004f;
    if (!snd::is_off(a.text[kIsotherm])) {
        GPH_text_attr(&a.text[kIsotherm], h);
        GPH_text_align(GCENTER_HOR, GTOP_VERT);
        Gpt pt;
        for (float t = r.tl; t < r.tr; t += S.tline)
            if (bottom_anchor([t](float) { return t; }, r, &pt)) GPH_printf(pt.x, row, "%3.0f", t);
        GPH_text_align(GLEFT_HOR, GTOP_VERT);
        GPH_printf(unit_x, row, "C");
    }
    if (!snd::is_off(a.text[kDryAd])) {
        GPH_text_attr(&a.text[kDryAd], h);
        GPH_text_align(GCENTER_HOR, GBOTTOM_VERT);
        Gpt pt;
        for (float th = 203.15f; th <= 373.15f + 0.01f; th += S.oline)
            if (label_anchor(temp_on_dryad(th, r.pb) - kKelvin, r.pb, &pt))
                GPH_printf(pt.x, pt.y, "%3.0f", th);
        GPH_text_align(GLEFT_HOR, GBOTTOM_VERT);
        GPH_printf(unit_x, v.y_min, "K");
    }
    if (!snd::is_off(a.text[kSatAd])) {
        GPH_text_attr(&a.text[kSatAd], h);
        GPH_text_align(GCENTER_HOR, GBOTTOM_VERT);
        float p = std::fmax(r.p_top, 150.0f);
        Gpt pt;
        for (float t0 = 253.15f; t0 <= 313.15f + 0.01f; t0 += S.eline) {
            float thetae = satad_thetae(t0);
            if (label_anchor(satad_temp(thetae, p), p, &pt)) GPH_printf(pt.x, pt.y, "%3.0f", thetae);
        }
    }
    if (!snd::is_off(a.text[kMixRat])) {
        // A smaller second row, clear of the temperatures.
        GPH_text_attr(&a.text[kMixRat], 0.8f * h);
        GPH_text_align(GCENTER_HOR, GTOP_VERT);
        float y = v.y_min - h - 0.004f;
        for_mix_lines([&](float w, bool labelled) {
            Gpt pt;
            if (labelled && bottom_anchor([w](float p) { return mix_temp(w, p); }, r, &pt))
                GPH_printf(pt.x, y, "%3.1f", w);
        });
        if (S.mline <= 0.0f) {
            GPH_text_align(GLEFT_HOR, GTOP_VERT);
            GPH_printf(unit_x, y, "g/kg");
        }
    }
}

// ---------------------------------------------------------------------------
// Traces

struct TraceAttribs {
    Gattribs temp, dewp, parcel, wind;
};

TraceAttribs trace_attribs() {
    snd::AttrList sound("color_sound"), wind("color_wind");
    const char *white = snd::inv("white", "black");
    TraceAttribs a;
    a.temp = snd::attrib(sound, 0, white);
    a.dewp = snd::attrib(sound, 1, sound.item(0) ? sound.item(0) : white);
    a.parcel = snd::attrib(sound, 2, snd::inv("yellow", "brown"));
    a.wind = snd::attrib(wind, 0, white);
    return a;
}

// One trace of the temperature levels: field picks the temperature or the
// dew point.
void draw_trace(float UPA_level::*field) {
    const UPA_level *sm = THERM_get_SM();
    snd::Curve c;
    for (int i = 0; i < THERM_get_SM_num(); ++i)
        if (sm[i].*field != MISSING_F && sm[i].p != MISSING_F) c.to(sm[i].*field, sm[i].p);
}

// The lifted parcel: dry adiabat to the condensation level, then the
// saturated adiabat to 100 mb, in 25 mb steps.
void draw_parcel() {
    UPA_level *par = THERM_get_parcel();
    if (!par || par->p == MISSING_F || par->p <= 0.0f) return;
    if (par->t == MISSING_F || par->td == MISSING_F) {
        UPA_level env;
        UPA_level_init(&env);
        UPA_interp(THERM_get_SM(), THERM_get_SM_num(), UPA_COORD_PRES, par->p, &env);
        if (par->t == MISSING_F) par->t = env.t;
        if (par->td == MISSING_F) par->td = env.td;
    }
    if (par->t == MISSING_F || par->td == MISSING_F) return;
    float tk = par->t + kKelvin, tdk = par->td + kKelvin;
    float plcl = lcl_pres(tk, tdk, par->p);
    if (plcl == MISSING_F) return;
    float tlcl = lcl_temp(tk, par->p, plcl);
    float theta = pot_temp(tk, par->p);
    snd::Curve c;
    c.to(par->t, par->p);
    float p = par->p - 25.0f;
    for (; p > plcl && p > 0.0f; p -= 25.0f) c.to(temp_on_dryad(theta, p) - kKelvin, p);
    if (tlcl == MISSING_F) return;
    c.to(tlcl - kKelvin, plcl);
    float thetae = thetae_on_satad(tlcl, plcl);
    for (; p > 100.0f; p -= 25.0f) c.to(satad_temp(thetae, p), p);
}

// Barbs at the right edge, thinned to one per 200 m; calm is a circle.
void draw_wind_column(const Gattribs &a) {
    const UPA_level *wm = THERM_get_WM();
    Glim v = snd::plot_view();
    GPH_trans(snd::kPageTran);
    gset_line_print_bold(2);
    gset_marker_type(2);
    GPH_line_attr(&a);
    GPH_mark_attr(&a, snd::kMarkSize);
    float last_h = MISSING_F;
    for (int i = 0; i < THERM_get_WM_num(); ++i) {
        const UPA_level &w = wm[i];
        if (w.p == MISSING_F || w.p <= 0.0f) continue;
        if (w.h != MISSING_F && last_h != MISSING_F && w.h < last_h + 200.0f) continue;
        float x = 0, y = 0;
        if (!snd::edge_point(w.p, true, &x, &y) || !MAP_in_domain(x, y)) continue;
        float py = snd::to_page(x, y).y;
        GPH_mark(v.x_max, py);
        if (w.h != MISSING_F) last_h = w.h;
        if (w.dir == MISSING_F || w.spd == MISSING_F) continue;
        if (w.spd > 0.0f)
            WIND_barb(v.x_max, py, w.dir, w.spd, snd::kBarbSize, 0.0f);
        else
            GPH_circle(v.x_max, py, 0.003f);
    }
}

void draw_height_labels(const Gattribs &a) {
    Glim v = snd::plot_view();
    GPH_trans(snd::kPageTran);
    GPH_text_attr(&a, 0.012f);
    GPH_text_align(GLEFT_HOR, GHALF_VERT);
    for (float p = 1000.0f; p >= 50.0f; p -= 50.0f) {
        UPA_level lev;
        UPA_level_init(&lev);
        UPA_interp(THERM_get_SM(), THERM_get_SM_num(), UPA_COORD_PRES, p, &lev);
        if (lev.h == MISSING_F) continue;
        float x = 0, y = 0;
        if (!snd::edge_point(p, false, &x, &y) || !MAP_in_domain(x, y)) continue;
        GPH_printf(v.x_min + 0.01f, snd::to_page(x, y).y, "%.0f m", lev.h);
    }
}

// ---------------------------------------------------------------------------
// Values panel

class Panel {
public:
    Panel(float x, float y, bool full) : x_(x), y_(y), full_(full) {}
    // One line, shown when value exists (and in the short style only when
    // the line is not full-only).
    template <class... A>
    void line(bool full_only, float value, const char *fmt, A... args) {
        if (value == MISSING_F || (full_only && !full_)) return;
        GPH_printf(x_, y_, fmt, args...);
        next();
    }
    void heading(const char *text) {
        if (!full_) return;
        GPH_printf(x_, y_, "%s", text);
        next();
    }
    // A line that keeps its row even when it is not printed.
    void fixed_row(bool show, const std::string &text) {
        if (show && full_) GPH_printf(x_, y_, "%s", text.c_str());
        next();
    }
    void next() { y_ -= 0.0185f; }

private:
    float x_, y_;
    bool full_;
};

// A level that may be -1 ("below ground").
void below_ground_line(Panel &pn, const char *name, float v) {
    if (v == -1.0f) pn.line(true, 0.0f, "%s: BG", name);
    else pn.line(true, v, "%s:%1.0f", name, v);
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings

int THERM_set_lines(float pline, float tline, float oline, float eline, float mline) {
    S.pline = pline;
    S.tline = tline;
    S.oline = oline;
    S.eline = eline;
    S.mline = mline;
    return 0;
}

int THERM_get_lines(float *pline, float *tline, float *oline, float *eline, float *mline) {
    if (pline) *pline = S.pline;
    if (tline) *tline = S.tline;
    if (oline) *oline = S.oline;
    if (eline) *eline = S.eline;
    if (mline) *mline = S.mline;
    return 0;
}

int THERM_set_data_style(int style) {
    S.data_style = style;
    return 0;
}
int THERM_get_data_style() { return S.data_style; }
int THERM_set_parcel_path(int on) {
    S.parcel = on ? 1 : 0;
    return 0;
}
int THERM_get_parcel_path() { return S.parcel; }

namespace {

// "tline" + separator + "%f:%f:%f:%f:%f"; fewer numbers keep the rest.
// Spacings must be positive (the mixing ratio may be 0 for the fixed
// table) and no finer than a plot can show.
bool decode_lines(const char *item) {
    const char *val = item + 5;
    float v[5] = {S.pline, S.tline, S.oline, S.eline, S.mline};
    int n = *val ? snd::colon_numbers(val + 1, v, 5) : 0;
    static const float kMin[5] = {5.0f, 1.0f, 1.0f, 1.0f, 0.0f};
    bool ok = n >= 1;
    for (int i = 0; ok && i < 5; ++i)
        ok = v[i] >= kMin[i] && (i < 4 || v[i] == 0.0f || v[i] >= 0.1f);
    if (!ok) {
        MESS_print(64, "THERM_plot_param: Bad line spacings: %s\n", item);
        return false;
    }
    THERM_set_lines(v[0], v[1], v[2], v[3], v[4]);
    return true;
}

}  // namespace

int THERM_plot_param() {
    int n = 0;
    char **list = nullptr;
    RES_getvals("plot_param", &n, &list);
    int rc = 0;
    for (int i = 0; i < n && list; ++i) {
        const char *it = list[i];
        if (!it) continue;
        if (!stricmp(it, "data")) S.data_style = THERM_PANEL_FULL;
        else if (!stricmp(it, "data1")) S.data_style = THERM_PANEL_SHORT1;
        else if (!stricmp(it, "data2")) S.data_style = THERM_PANEL_SHORT2;
        else if (!stricmp(it, "nodata")) S.data_style = THERM_PANEL_NONE;
        else if (!stricmp(it, "parcel")) S.parcel = 1;
        else if (!stricmp(it, "noparcel")) S.parcel = 0;
        else if (!strnicmp(it, "tline", 5) && !decode_lines(it)) rc = -1;
    }
    if (list) free_parsed_array(n, list);
    return rc;
}

int THERM_check_domain(const Domain *dom) {
    if (!dom) return 0;
    switch (dom->proj) {
    case MAP_skewt: FLAG_set(11, THERM_SKEWT); break;
    case MAP_stuve: FLAG_set(11, THERM_STUVE); break;
    case MAP_emagram: FLAG_set(11, THERM_EMAGRAM); break;
    case MAP_teph: FLAG_set(11, THERM_TEPH); break;
    case MAP_rteph: FLAG_set(11, THERM_RTEPH); break;
    case MAP_hodo: FLAG_set(11, THERM_HODO); break;
    default: break;
    }
    return 0;
}

Domain THERM_default_domain(int plot_type) {
    struct Row {
        int type, proj;
        float clat, clon, dx, dy;
        int nx, ny;
    };
    static const Row kRows[] = {
        {THERM_SKEWT, MAP_skewt, -50, 1050, 100, -950, 12, 11},
        {THERM_EMAGRAM, MAP_emagram, -80, 1050, 120, -950, 12, 11},
        {THERM_TEPH, MAP_teph, -40, 230, 100, 90, 12, 11},
        {THERM_RTEPH, MAP_rteph, -100, 50, 150, 230, 12, 11},
        {THERM_STUVE, MAP_stuve, -80, 1050, 120, -950, 12, 11},
        {THERM_HODO, MAP_hodo, -150, -150, 300, 300, 11, 11},
    };
    const Row *row = &kRows[0];
    for (const Row &r : kRows)
        if (r.type == plot_type) row = &r;
    Domain d;
    DOM_init(&d);
    d.proj = row->proj;
    d.clat = row->clat;
    d.clon = row->clon;
    d.dx = row->dx;
    d.dy = row->dy;
    d.nx = row->nx;
    d.ny = row->ny;
    return d;
}

// ---------------------------------------------------------------------------
// Drawing

int THERM_diagram() {
    if (!FLAG_getplot(9)) return -1;
    PLT_mess("Thermo Diagram");
    snd::DiagramRange r;
    if (!snd::diagram_range(&r)) {
        MESS_print(64, "THERM_diagram: The domain gives no drawable diagram\n");
        return -1;
    }
    DiagramAttribs a = diagram_attribs();
    GPH_trans(snd::kPlotTran);
    using Drawer = void (*)(const snd::DiagramRange &);
    static const Drawer kDrawers[kFamilies] = {draw_isobars, draw_isotherms, draw_dry_adiabats,
                                               draw_sat_adiabats, draw_mix_lines};
    for (int f = 0; f < kFamilies; ++f) {
        if (snd::is_off(a.line[f])) continue;
        GPH_line_attr(nullptr);
        GPH_line_attr(&a.line[f]);
        kDrawers[f](r);
    }
    GPH_line_attr(nullptr);
    GPH_trans(snd::kPageTran);
    Glim v = snd::plot_view();
    PLT_border(0);
    GPH_line_attr(&a.line[kIsobar]);
    if (a.line[kIsobar].color < 0) gset_line_colr_ind(1);
    GPH_border(&v);
    draw_labels(r, a, v);
    GPH_trans(snd::kPlotTran);
    return 0;
}

int THERM_data() {
    if (!FLAG_getplot(7)) return -1;
    PLT_mess("Sounding");
    TraceAttribs a = trace_attribs();
    GPH_trans(snd::kPlotTran);
    gset_fill_print_solid(1);
    gset_line_print_bold(3);
    if (!snd::is_off(a.temp)) {
        GPH_line_attr(&a.temp);
        draw_trace(&UPA_level::t);
    }
    if (!snd::is_off(a.dewp)) {
        GPH_line_attr(&a.dewp);
        draw_trace(&UPA_level::td);
    }
    if (S.parcel && !snd::is_off(a.parcel)) {
        GPH_line_attr(&a.parcel);
        draw_parcel();
    }
    if (!snd::is_off(a.wind)) {
        draw_wind_column(a.wind);
        draw_height_labels(a.wind);
    }
    gset_fill_print_solid(0);
    gset_line_print_bold(0);
    GPH_line_attr(nullptr);
    GPH_trans(snd::kPlotTran);
    return 0;
}

int THERM_plot_values() {
    if (S.data_style == THERM_PANEL_NONE || !FLAG_getplot(7)) return -1;
    PLT_mess("Thermo Values");
    snd::AttrList list("color_text");
    Gattribs preset;
    ATTRIB_init(&preset);
    preset.expan = 0.8f;
    Gattribs a = snd::attrib(list, 0, snd::inv("white", "black"), &preset);
    GPH_trans(snd::kPageTran);
    Glim v = snd::plot_view();
    Glim area = {v.x_max + 0.05f, GPH_get_horz_win_size(), 0.0f, GPH_get_vert_win_size()};
    if (area.x_max > area.x_min) gclear_region(&area);
    if (snd::is_off(a)) {
        GPH_trans(snd::kPlotTran);
        return 0;
    }
    GPH_text_attr(&a, 0.0135f);
    GPH_text_align(GLEFT_HOR, GTOP_VERT);

    const THERM_values &tv = *THERM_get_values();
    const PARCEL_params &pc = tv.parcel;
    bool full = S.data_style == THERM_PANEL_FULL;
    Panel pn(area.x_min, v.y_max, full);
    int wmo = THERM_get_wmo();
    if (wmo != MISSING) pn.line(false, 0.0f, "WMO:%5d", wmo);
    pn.line(false, tv.lat, "LAT:%2.1f", tv.lat);
    pn.line(false, tv.lon, "LON:%2.1f", tv.lon);
    pn.line(false, tv.elev, "EL:%1.0f", tv.elev);
    float tp = THERM_get_trop()->p, mw = THERM_get_mwnd()->p;
    pn.line(false, tp, "TP:%1.0f", tp);
    pn.line(false, mw, "MW:%1.0f", mw);
    below_ground_line(pn, "FRZ", tv.frz);
    below_ground_line(pn, "WB0", tv.wb0);
    pn.line(true, tv.precip, "PW:%3.2f", tv.precip);
    pn.line(true, tv.mean_rh, "RH:%2.1f", tv.mean_rh);
    pn.line(true, tv.max_t, "MAXT:%2.1f", tv.max_t);
    pn.line(true, tv.thick, "TH:%1.0f", tv.thick);
    pn.line(true, tv.lapse57, "L57:%2.1f", tv.lapse57);
    pn.line(false, tv.plcl, "LCL:%1.0f", tv.plcl);
    pn.line(false, tv.li, "LI:%2.1f", tv.li);
    pn.line(true, tv.si, "SI:%2.1f", tv.si);
    pn.line(false, tv.tt, "TT:%1.0f", tv.tt);
    pn.line(true, tv.k, "KI:%1.0f", tv.k);
    pn.line(true, tv.sweat, "SW:%1.0f", tv.sweat);
    pn.line(true, tv.ei, "EI:%2.1f", tv.ei);
    pn.heading("-PARCEL-");
    pn.line(true, pc.Bplus, "CAPE:%1.0f", pc.Bplus);
    pn.line(true, pc.Bminus, "CINH:%1.0f", pc.Bminus);
    pn.line(true, pc.plcl, "LCL:%1.0f", pc.plcl);
    pn.line(true, pc.cap, "CAP:%2.1f", pc.cap);
    pn.line(true, pc.lfc, "LFC:%1.0f", pc.lfc);
    pn.line(true, pc.el, "EL:%1.0f", pc.el);
    pn.line(true, pc.mpl, "MPL:%1.0f", pc.mpl);
    pn.fixed_row(true, "-WIND-");
    WIND storm;
    THERM_get_storm(&storm);
    char stm[40];
    std::snprintf(stm, sizeof stm, "STM:%1.0f/%1.0f", storm.dir, storm.spd);
    pn.fixed_row(storm.dir != MISSING_F && storm.spd != MISSING_F, stm);
    pn.line(true, tv.helicity.tot_hel, "HEL:%1.0f", tv.helicity.tot_hel);
    float shr = tv.shear.pos_shr;
    pn.line(true, shr, "SHR+:%2.1f", shr * 1000.0f);
    pn.line(true, tv.helicity.dir_shr, "SRDS:%1.0f", tv.helicity.dir_shr);
    pn.line(true, tv.ehi, "EHI:%2.1f", tv.ehi);
    pn.line(true, tv.brn, "BRN:%2.1f", tv.brn);
    pn.line(true, tv.bshear, "BSHR:%1.0f", tv.bshear);
    GPH_trans(snd::kPlotTran);
    return 0;
}
