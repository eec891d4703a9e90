// hodo_plt.cpp - the hodograph: direction spokes and speed rings, the wind
// profile with its colour change above 3000 m, mandatory-level labels, the
// storm motion, and dragging a level's wind or the storm motion.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "colors.h"
#include "gks.h"
#include "gks_evnt.h"
#include "snd_priv.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgks.h"
#include "zupplt.h"
#include "zupresrc.h"
#include "zupsnd.h"
#include "zupupa.h"

namespace {

constexpr float kOuterRing = 250.0f;   // knots
constexpr float kColourChange = 3000.0f;  // m: the profile's second colour above

struct HodoState {
    int dir = -1;          // -1 points toward where the wind blows, 1 from
    float dline = 45.0f;   // degrees between spokes
    float sline = 25.0f;   // knots between rings
    // Dragging: a wind level (index into the wind levels) or the storm.
    bool pick = false;
    bool storm = false;
    int level = -1;
};

HodoState H;

struct HodoAttribs {
    Gattribs spoke, ring, line, line_hi, mark;
    Gattribs dir_text, spd_text, pres_text;
};

HodoAttribs hodo_attribs() {
    snd::AttrList hodo("color_hodo"), text("color_hodtxt");
    const char *line = hodo.item(2) ? hodo.item(2) : snd::inv("white", "black");
    HodoAttribs a;
    a.spoke = snd::attrib(hodo, 0, "blue");
    a.ring = snd::attrib(hodo, 1, "blue");
    a.line = snd::attrib(hodo, 2, line);
    a.line_hi = snd::attrib(hodo, 3, hodo.item(2) ? hodo.item(2) : "cyan");
    a.mark = snd::attrib(hodo, 4, hodo.item(2) ? hodo.item(2) : "red");
    a.dir_text = snd::attrib(text, 0, "lblue");
    a.spd_text = snd::attrib(text, 1, "lblue");
    a.pres_text = snd::attrib(text, 2, "lred");
    if (FLAG_get(2) == GWS_PS) {
        a.line.width = 3.0f;
        a.line_hi.width = 2.0f;
    }
    return a;
}

float map_height() {
    MAP_limits lim;
    MAP_get_limits(&lim);
    return lim.y_max - lim.y_min;
}

// The pressure label of a mandatory level beside its point.
void level_label(float x, float y, float p) {
    if (!UPA_mandatory(p)) return;
    float off = 0.01f * map_height();
    GPH_text_align(GLEFT_HOR, GBASE_VERT);
    GPH_printf(x + off, y + off, "%.0f", p);
}

// "hline" + separator + "%f:%f".
bool decode_hline(const char *item) {
    const char *val = item + 5;
    float v[2] = {H.dline, H.sline};
    int n = *val ? snd::colon_numbers(val + 1, v, 2) : 0;
    float d = v[0], s = v[1];
    if (n < 1 || d < 1.0f || d > 180.0f || s < 1.0f || s > kOuterRing) {
        MESS_print(64, "HODO_plot_param: Bad hodograph line spacings: %s\n", item);
        return false;
    }
    HODO_set_lines(d, s);
    return true;
}

// Labels of the directions on the outermost ring that fits the plot, or of
// the four edges when no ring beyond the first one fits.
void direction_labels(const HodoAttribs &a, float h) {
    MAP_limits lim;
    MAP_get_limits(&lim);
    float reach = std::fmin(std::fmin(-lim.x_min, lim.x_max), std::fmin(-lim.y_min, lim.y_max));
    float radius = std::floor((reach - 1.5f * h) / H.sline) * H.sline;
    radius = std::fmin(radius, kOuterRing);
    GPH_text_attr(&a.dir_text, h);
    if (radius > 25.0f) {
        GPH_text_align(GCENTER_HOR, GHALF_VERT);
        for (float d = 0.0f; d < 360.0f; d += 2.0f * H.dline) {
            float x = 0, y = 0;
            if (VECT_hodo_point(d, radius + 0.75f * h, &x, &y) == 1)
                GPH_printf(x, y, "%.0f", d);
        }
        return;
    }
    bool to = H.dir < 1;
    float xm = 0.5f * (lim.x_min + lim.x_max), ym = 0.5f * (lim.y_min + lim.y_max);
    GPH_text_align(GLEFT_HOR, GHALF_VERT);
    GPH_printf(lim.x_min + 0.2f * h, ym, "%s", to ? "90" : "270");
    GPH_text_align(GRIGHT_HOR, GHALF_VERT);
    GPH_printf(lim.x_max - 0.2f * h, ym, "%s", to ? "270" : "90");
    GPH_text_align(GCENTER_HOR, GTOP_VERT);
    GPH_printf(xm, lim.y_max - 0.2f * h, "%s", to ? "180" : "0");
    GPH_text_align(GCENTER_HOR, GBOTTOM_VERT);
    GPH_printf(xm, lim.y_min + 0.2f * h, "%s", to ? "0" : "180");
}

// The rubber band of a dragged wind level, anchored at the nearest levels
// below and above it that have a wind.
void level_band(int k) {
    const UPA_level *wm = THERM_get_WM();
    auto point = [&](int i, Gpt *p) {
        return wm[i].dir != MISSING_F && wm[i].spd != MISSING_F &&
               VECT_hodo_point(wm[i].dir, wm[i].spd, &p->x, &p->y) == 1;
    };
    Gpt moving{}, below{}, above{};
    if (!point(k, &moving)) return;
    bool has_below = false, has_above = false;
    for (int i = k - 1; i >= 0 && !has_below; --i) has_below = point(i, &below);
    for (int i = k + 1; i < THERM_get_WM_num() && !has_above; ++i) has_above = point(i, &above);
    snd::rubber_band(has_below ? &below : nullptr, moving, has_above ? &above : nullptr, 0);
}

void pick(float dir, float spd) {
    WIND storm;
    THERM_get_storm(&storm);
    H.pick = false;
    if (storm.dir != MISSING_F && HODO_check_locate(storm.dir, storm.spd, dir, spd)) {
        H.pick = true;
        H.storm = true;
        return;
    }
    const UPA_level *wm = THERM_get_WM();
    for (int i = 0; i < THERM_get_WM_num(); ++i) {
        if (wm[i].dir == MISSING_F || wm[i].spd == MISSING_F) continue;
        if (!HODO_check_locate(wm[i].dir, wm[i].spd, dir, spd)) continue;
        H.pick = true;
        H.storm = false;
        H.level = i;
        level_band(i);
        return;
    }
}

void release(float dir, float spd) {
    gset_rubber_band(0);
    H.pick = false;
    if (dir == MISSING_F || spd == MISSING_F) return;
    if (H.storm) {
        WIND storm = {dir, spd};
        THERM_set_storm(&storm);
    } else if (H.level >= 0 && H.level < THERM_get_WM_num()) {
        UPA_level &w = THERM_get_WM()[H.level];
        w.dir = dir;
        w.spd = spd;
    }
    THERM_calc();
    snd::replot();
}

}  // namespace

int HODO_set_dir(int dir) {
    H.dir = dir < 1 ? -1 : 1;
    return 0;
}
int HODO_get_dir() { return H.dir; }

int HODO_set_lines(float dline, float sline) {
    H.dline = dline;
    H.sline = sline;
    return 0;
}

int HODO_get_lines(float *dline, float *sline) {
    if (dline) *dline = H.dline;
    if (sline) *sline = H.sline;
    return 0;
}

int HODO_plot_param() {
    int n = 0;
    char **list = nullptr;
    RES_getvals("plot_param", &n, &list);
    int rc = 0;
    for (int i = 0; i < n && list; ++i) {
        const char *it = list[i];
        if (!it) continue;
        if (!stricmp(it, "hodo_to")) H.dir = -1;
        else if (!stricmp(it, "hodo_from")) H.dir = 1;
        else if (!strnicmp(it, "hline", 5) && !decode_hline(it)) rc = -1;
    }
    if (list) free_parsed_array(n, list);
    return rc;
}

int HODO_diagram() {
    if (!FLAG_getplot(9)) return -1;
    PLT_mess("Hodograph");
    HodoAttribs a = hodo_attribs();
    GPH_trans(snd::kPageTran);
    Glim v = snd::plot_view();
    PLT_border(0);
    GPH_line_attr(&a.spoke);
    if (a.spoke.color < 0) gset_line_colr_ind(1);
    GPH_border(&v);
    GPH_trans(snd::kPlotTran);
    if (!snd::is_off(a.spoke)) {
        GPH_line_attr(&a.spoke);
        for (float d = 0.0f; d < 180.0f; d += H.dline) {
            snd::Curve c;
            c.to(d, kOuterRing);
            c.to(d + 180.0f, kOuterRing);
        }
    }
    if (!snd::is_off(a.ring)) {
        GPH_line_attr(nullptr);
        GPH_line_attr(&a.ring);
        for (float r = H.sline; r <= kOuterRing + 0.01f; r += H.sline) GPH_circle(0.0f, 0.0f, r);
    }
    GPH_line_attr(nullptr);
    float h = 0.02f * map_height();
    if (!snd::is_off(a.dir_text)) direction_labels(a, h);
    if (!snd::is_off(a.spd_text)) {
        GPH_text_attr(&a.spd_text, h);
        // Just inside each ring, clear of the direction label above it.
        GPH_text_align(GLEFT_HOR, GTOP_VERT);
        for (float r = H.sline; r <= kOuterRing + 0.01f; r += H.sline)
            if (MAP_in_domain(0.0f, r)) GPH_printf(0.2f * h, r - 0.1f * h, "%.0f", r);
    }
    return 0;
}

int HODO_data() {
    if (!FLAG_getplot(7)) return -1;
    PLT_mess("Sounding");
    HodoAttribs a = hodo_attribs();
    GPH_trans(snd::kPlotTran);
    gset_marker_type(2);
    GPH_mark_attr(&a.mark, snd::kMarkSize);
    GPH_text_attr(&a.pres_text, 0.015f * map_height());
    const UPA_level *wm = THERM_get_WM();
    const Gattribs *line = &a.line;
    bool have = false;
    Gpt last = {0, 0};
    for (int i = 0; i < THERM_get_WM_num(); ++i) {
        const UPA_level &w = wm[i];
        if (w.dir == MISSING_F || w.spd == MISSING_F) continue;
        Gpt pt;
        if (VECT_hodo_point(w.dir, w.spd, &pt.x, &pt.y) != 1) continue;
        if (have && !snd::is_off(*line)) {
            GPH_line_attr(line);
            GPH_line(last.x, last.y, pt.x, pt.y);
        }
        if (!snd::is_off(a.mark)) GPH_mark(pt.x, pt.y);
        if (!snd::is_off(a.pres_text) && w.p != MISSING_F) level_label(pt.x, pt.y, w.p);
        if (w.h != MISSING_F && w.h > kColourChange) line = &a.line_hi;
        have = true;
        last = pt;
    }
    WIND storm;
    THERM_get_storm(&storm);
    Gpt s;
    if (!snd::is_off(a.mark) && VECT_hodo_point(storm.dir, storm.spd, &s.x, &s.y) == 1) {
        gset_marker_type(3);
        GPH_mark(s.x, s.y);
        gset_marker_type(2);
    }
    GPH_line_attr(nullptr);
    return 0;
}

int HODO_check_locate(float dir1, float spd1, float dir2, float spd2) {
    float u1 = 0, v1 = 0, u2 = 0, v2 = 0;
    if (wind2vect(dir1, spd1, &u1, &v1) != 0 || wind2vect(dir2, spd2, &u2, &v2) != 0) return 0;
    float tol = 0.03f * map_height();
    return std::fabs(u1 - u2) <= tol && std::fabs(v1 - v2) <= tol ? 1 : 0;
}

void HODO_callback(int, const char *str, float x, float y) {
    if (!str) return;
    if (PLT_plot_zoom(str, x, y) || PLT_plot_resize(str)) return;
    if (!std::strcmp(str, "n-Alt")) {
        H.pick = false;
        THERM_switch_plots(str);
        return;
    }
    float dir = 0, spd = 0;
    VECT_hodo_wind(x, y, &dir, &spd);
    if (H.pick) {
        if (!std::strncmp(str, "B3-R", 4)) {
            release(dir, spd);
            return;
        }
        gset_rubber_band(0);
        H.pick = false;
    }
    if (!std::strcmp(str, "d-Alt")) {
        MESS_print(8, "DIR:%5.1f SPD:%6.1f", dir, spd);
        const UPA_level *wm = THERM_get_WM();
        for (int i = 0; i < THERM_get_WM_num(); ++i)
            if (wm[i].dir != MISSING_F && HODO_check_locate(wm[i].dir, wm[i].spd, dir, spd))
                MESS_print(8, " SND-P: %4.0f DIR:%5.1f SPD:%6.1f", wm[i].p, wm[i].dir, wm[i].spd);
        MESS_print(8, "\n");
    } else if (!std::strcmp(str, "B3-P-Shft")) {
        pick(dir, spd);
    } else if (!std::strcmp(str, "c-Alt")) {
        THERM_wind_table();
        THERM_wind();
        THERM_storm_table();
    } else if (!std::strcmp(str, "s-Alt")) {
        THERM_out_raw();
    }
}

void snd::hodo_cancel_pick() {
    H.pick = false;
    H.storm = false;
    H.level = -1;
}
