// snd_tool.cpp - helpers shared by the sounding plots: the curve drawer,
// the diagram range, attribute lists and plot-plane set-up.
#include <cmath>
#include <cstdlib>
#include <utility>

#include "colors.h"
#include "gks.h"
#include "gks_evnt.h"
#include "snd_priv.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgks.h"
#include "zupplt.h"
#include "zupresrc.h"

namespace snd {

void Curve::to(float a, float b) {
    float x = 0, y = 0;
    bool ok = a != MISSING_F && b != MISSING_F && std::isfinite(a) && std::isfinite(b) &&
              MAP_tran(a, b, &x, &y) == 1 && std::isfinite(x) && std::isfinite(y);
    if (ok && have_) {
        Gpt seg[2] = {last_, {x, y}};
        gpolyline(2, seg);
        ++segments_;
    }
    have_ = ok;
    if (ok) last_ = {x, y};
}

namespace {

float cut(float v, float step) { return std::trunc(v / step) * step; }

bool finite4(float a, float b, float c, float d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

}  // namespace

bool diagram_range(DiagramRange *r) {
    MAP_limits lim;
    MAP_get_limits(&lim);
    DiagramRange d{};
    if (MAP_untran(lim.x_min, lim.y_max, &d.t_left, &d.p_top) != 1) return false;
    if (MAP_untran(lim.x_max, lim.y_min, &d.t_right, &d.p_bottom) != 1) return false;
    int proj = MAP_get_proj();
    if (proj == MAP_teph) d.p_bottom += 100.0f;
    if (proj == MAP_rteph) d.p_bottom = 1100.0f;
    if (!finite4(d.t_left, d.t_right, d.p_bottom, d.p_top)) return false;
    d.tl = cut(d.t_left, 10.0f);
    d.tr = cut(d.t_right, 10.0f);
    d.pb = cut(d.p_bottom, 50.0f);
    d.pt = cut(d.p_top, 50.0f);
    // A diagram needs pressures above zero, the bottom below the top and a
    // range the background loops can walk in a sensible number of steps.
    if (d.p_top <= 0.0f || d.p_bottom <= d.p_top || d.p_bottom > 2000.0f) return false;
    if (!(d.t_right > d.t_left) || d.t_right - d.t_left > 2000.0f) return false;
    if (r) *r = d;
    return true;
}

bool edge_point(float p, bool right, float *x, float *y) {
    MAP_limits lim;
    MAP_get_limits(&lim);
    float xe = right ? lim.x_max : lim.x_min;
    float t = 0, pp = 0;
    if (MAP_untran(xe, 0.5f * (lim.y_min + lim.y_max), &t, &pp) != 1) return false;
    float px = 0, py = 0;
    for (int i = 0; i < 3; ++i) {
        if (MAP_tran(t, p, &px, &py) != 1) return false;
        if (MAP_untran(xe, py, &t, &pp) != 1) return false;
    }
    if (MAP_tran(t, p, &px, &py) != 1) return false;
    if (x) *x = xe;
    if (y) *y = py;
    return std::isfinite(py);
}

AttrList::AttrList(const char *resource) {
    int n = 0;
    char **list = nullptr;
    RES_getvals(resource, &n, &list);
    for (int i = 0; i < n && list; ++i) items_.emplace_back(list[i] ? list[i] : "");
    if (list) free_parsed_array(n, list);
}

const char *AttrList::item(int i) const {
    if (i < 0 || i >= static_cast<int>(items_.size())) return nullptr;
    const std::string &s = items_[static_cast<std::size_t>(i)];
    return s.empty() ? nullptr : s.c_str();
}

Gattribs attrib(const AttrList &list, int i, const char *def, const Gattribs *preset) {
    Gattribs a;
    ATTRIB_init(&a);
    if (preset) ATTRIB_update(&a, preset);
    if (def) ATTRIB_parse(def, &a);
    if (const char *it = list.item(i)) ATTRIB_parse(it, &a);
    return a;
}

const char *inv(const char *normal, const char *inverse) {
    return gget_inverse() ? inverse : normal;
}

int colon_numbers(const char *text, float *out, int max) {
    if (!text || !*text) return 0;
    int n = 0;
    for (const char *p = text;; ++n) {
        char *end = nullptr;
        float v = std::strtof(p, &end);
        if (end == p || n >= max || !std::isfinite(v)) return -1;
        out[n] = v;
        if (*end == '\0') return n + 1;
        if (*end != ':') return -1;
        p = end + 1;
    }
}

void rubber_band(const Gpt *anchor1, const Gpt &moving, const Gpt *anchor2, int con) {
    if (!anchor1) std::swap(anchor1, anchor2);
    if (!anchor1) return;  // nothing to join the point to
    Gpt pts[3] = {*anchor1, moving, anchor2 ? *anchor2 : moving};
    gset_rubber_band_points(pts, anchor2 ? 3 : 2, con);
    gset_rubber_band(3);
}

Glim plot_view() {
    Glim v = {0, 1, 0, 1};
    PLT_get_view(&v);
    return v;
}

Gpt to_page(float x, float y) {
    return {xW_trans(x, kPlotTran, kPageTran), yW_trans(y, kPlotTran, kPageTran)};
}

Gpt to_plane(float x, float y) {
    return {xW_trans(x, kPageTran, kPlotTran), yW_trans(y, kPageTran, kPlotTran)};
}

bool set_plot_domain(const Domain &dom) {
    Glim v = plot_view();
    MAP_domain(&dom);
    MAP_limits view = {v.x_min, v.x_max, v.y_min, v.y_max};
    MAP_set_view(&view);
    MAP_setup();
    MAP_limits lim;
    MAP_get_limits(&lim);
    if (!finite4(lim.x_min, lim.x_max, lim.y_min, lim.y_max) || !(lim.x_max > lim.x_min) ||
        !(lim.y_max > lim.y_min))
        return false;
    Glim win = {lim.x_min, lim.x_max, lim.y_min, lim.y_max};
    gset_win(kPlotTran, &win);
    gset_vp(kPlotTran, &v);
    GPH_trans(kPlotTran);
    return true;
}

}  // namespace snd
