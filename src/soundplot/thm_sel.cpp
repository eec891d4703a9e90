// thm_sel.cpp - the choice of sounding plot (menu, batch answer, a type
// given in advance), the assembly of one plot, switching between diagram
// and hodograph, and editing the temperature and dew-point profile.
#include <cmath>
#include <cstdio>
#include <cstring>

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

constexpr float kKelvin = 273.15f;

struct SelState {
    int prompt_state = -1;      // -1 start, 1 after a menu choice, 0 done
    int therm_type = THERM_SKEWT;  // diagram to return to from the hodograph
    bool batch_plotted = false;    // batch: this sounding's plot is drawn
    bool unknown_told = false;     // the bad plot_type resource was reported
    // Dragging on the diagram: the level and whether its temperature (else
    // its dew point) was picked.
    bool pick = false;
    int level = -1;
    bool temp = true;
};

SelState P;

const MENU_item kPlotMenu[] = {
    {"New station", "sta", 0, {0}},
    {"Skew T log P", "skewt", 1, {1}},
    {"Emagram", "ema", 2, {1}},
    {"Tephigram", "teph", 3, {1}},
    {"Rotated Tephigram", "rteph", 4, {1}},
    {"Stuve", "stuve", 5, {1}},
    {"Hodograph", "hodo", 6, {1}},
    {nullptr, nullptr, 0, {0}},
};

bool is_diagram_proj(int proj) {
    return proj == MAP_skewt || proj == MAP_stuve || proj == MAP_emagram || proj == MAP_teph ||
           proj == MAP_rteph;
}

void set_therm_type(int f11) {
    P.therm_type = (f11 == THERM_STUVE || f11 == THERM_EMAGRAM || f11 == THERM_TEPH)
                       ? f11
                       : THERM_SKEWT;
}

// The domain to draw: the given one when it belongs to the plot type, else
// the type's default.
Domain plot_domain(const Domain *given, int type) {
    Domain def = THERM_default_domain(type);
    if (!given || given->proj == MISSING) return def;
    if (given->proj == def.proj) return *given;
    if (!is_diagram_proj(given->proj) && given->proj != MAP_hodo)
        MESS_print(64, "THERM_plot: Plot domain is not a sounding diagram (projection %d); "
                       "using the default domain\n", given->proj);
    return def;
}

// true when the domain gives a drawable plot (checked before the page is
// opened, on a provisional square view).
bool drawable(const Domain &dom) {
    Domain saved;
    MAP_get_domain(&saved);
    MAP_limits saved_view;
    MAP_get_view(&saved_view);
    MAP_domain(&dom);
    MAP_limits view = {0, 1, 0, 1};
    MAP_set_view(&view);
    MAP_setup();
    MAP_limits lim;
    MAP_get_limits(&lim);
    bool ok = std::isfinite(lim.x_min) && std::isfinite(lim.x_max) && std::isfinite(lim.y_min) &&
              std::isfinite(lim.y_max) && lim.x_max > lim.x_min && lim.y_max > lim.y_min &&
              dom.nx > 0 && dom.ny > 0;
    if (ok && dom.proj == MAP_hodo) ok = lim.x_max - lim.x_min <= 2000.0f;
    else if (ok) ok = snd::diagram_range(nullptr);
    MAP_domain(&saved);
    MAP_set_view(&saved_view);
    MAP_setup();
    return ok;
}

void draw_plot(int type) {
    if (type == THERM_HODO) {
        HODO_diagram();
        HODO_data();
    } else {
        THERM_diagram();
        THERM_data();
    }
    THERM_plot_values();
}

// ---------------------------------------------------------------------------
// Editing on the diagram

// The level the cursor picks: of the levels with a temperature next to the
// cursor's pressure, the one closer in pressure.  -> -1 for none
int pick_level(float p) {
    const UPA_level *sm = THERM_get_SM();
    int n = THERM_get_SM_num();
    if (n < 1) return -1;
    int k = n - 1;
    for (int i = 1; i < n; ++i)
        if (sm[i].p <= p) {
            k = i;
            break;
        }
    int below = -1, above = -1;
    for (int i = k - 1; i >= 0; --i)
        if (sm[i].t != MISSING_F && sm[i].p != MISSING_F) {
            below = i;
            break;
        }
    for (int i = k; i < n; ++i)
        if (sm[i].t != MISSING_F && sm[i].p != MISSING_F) {
            above = i;
            break;
        }
    if (below < 0) return above;
    if (above < 0) return below;
    return std::fabs(sm[below].p - p) < std::fabs(sm[above].p - p) ? below : above;
}

// Range the picked value may be dragged over (deg C).
void drag_limits(const UPA_level &l, bool temp, float *lo, float *hi) {
    if (temp) {
        *lo = l.td != MISSING_F ? l.td : l.t - 20.0f;
        *hi = l.t + 20.0f;
    } else {
        *lo = l.td - 20.0f;
        *hi = l.t;
    }
}

float plane_x(float t, float p) {
    float x = 0, y = 0;
    MAP_tran(t, p, &x, &y);
    return x;
}

void start_pick(float t, float p) {
    int k = pick_level(p);
    if (k < 0) return;
    const UPA_level *sm = THERM_get_SM();
    const UPA_level &l = sm[k];
    P.pick = true;
    P.level = k;
    P.temp = l.td == MISSING_F || t > 0.5f * (l.t + l.td);
    float UPA_level::*field = P.temp ? &UPA_level::t : &UPA_level::td;
    // Rubber band: the neighbours with the same quantity are its anchors,
    // the picked point moves along its pressure between the drag limits.
    Gpt moving{}, below{}, above{};
    MAP_tran(l.*field, l.p, &moving.x, &moving.y);
    bool has_below = false, has_above = false;
    for (int i = k - 1; i >= 0 && !has_below; --i)
        if (sm[i].*field != MISSING_F) has_below = MAP_tran(sm[i].*field, sm[i].p, &below.x, &below.y) == 1;
    for (int i = k + 1; i < THERM_get_SM_num() && !has_above; ++i)
        if (sm[i].*field != MISSING_F) has_above = MAP_tran(sm[i].*field, sm[i].p, &above.x, &above.y) == 1;
    snd::rubber_band(has_below ? &below : nullptr, moving, has_above ? &above : nullptr, 2);
    float lo = 0, hi = 0;
    drag_limits(l, P.temp, &lo, &hi);
    Gpt lim[2] = {{plane_x(lo, l.p), moving.y}, {plane_x(hi, l.p), moving.y}};
    gset_rubber_band_limits(lim);
}

void end_pick(float x) {
    gset_rubber_band(0);
    gset_rubber_band_limits(nullptr);
    P.pick = false;
    if (P.level < 0 || P.level >= THERM_get_SM_num()) return;
    UPA_level &l = THERM_get_SM()[P.level];
    // The drag moves along the level's pressure.
    float lx = 0, ly = 0;
    if (MAP_tran(l.*(P.temp ? &UPA_level::t : &UPA_level::td), l.p, &lx, &ly) != 1) return;
    float t = 0, p = 0;
    if (MAP_untran(x, ly, &t, &p) != 1 || t == MISSING_F) return;
    float lo = 0, hi = 0;
    drag_limits(l, P.temp, &lo, &hi);
    t = std::fmin(std::fmax(t, lo), hi);
    if (P.temp) l.t = t;
    else l.td = t;
    THERM_calc();
    snd::replot();
}

void read_out(float t, float p) {
    float tk = t + kKelvin;
    MESS_print(8, "T:%5.1f P:%6.1f O:%5.1f Oe:%5.1f W:%5.2f\n", t, p, pot_temp(tk, p),
               thetae_on_satad(tk, p), mix_ratio(tk, p));
    UPA_level l;
    UPA_level_init(&l);
    UPA_interp(THERM_get_SM(), THERM_get_SM_num(), UPA_COORD_PRES, p, &l);
    if (l.t != MISSING_F) MESS_print(8, "SND-T: %5.1f ", l.t);
    if (l.td != MISSING_F) MESS_print(8, "TD: %5.1f ", l.td);
    if (l.h != MISSING_F) MESS_print(8, "H: %5.0fm = %5.0fft", l.h, l.h * 3.2808f);
    MESS_print(8, "\n");
}

}  // namespace

// ---------------------------------------------------------------------------

void THERM_plot_reset() {
    P = SelState();
    snd::hodo_cancel_pick();
}

int THERM_get_prompt_state() { return P.prompt_state; }

int THERM_prompt_plot_type() {
    if (P.prompt_state == 0) return 0;
    int f11 = FLAG_get(11);
    if (P.prompt_state != 1 && f11 > 0) {
        P.prompt_state = 0;
        set_therm_type(f11);
        return f11 != THERM_NO_PLOT ? 1 : 0;
    }
    const char *given = RES_get("plot_type");
    if (given && *given && f11 <= 0 && !P.unknown_told) {
        MESS_print(64, "THERM_prompt_plot_type: Unknown plot type: %s\n", given);
        P.unknown_told = true;
    }
    char answer[MENU_ANSWER_LEN] = "";
    int index = 0;
    if (FLAG_batch()) {
        // One plot per sounding: the call after it leaves the plot loop.
        if (P.batch_plotted) {
            P.batch_plotted = false;
            return 0;
        }
        P.batch_plotted = true;
        copy_field(answer, "skewt");
        index = 1;
    } else {
        for (;;) {
            index = MENU_process("Type of sounding plot", kPlotMenu, 0, "Enter the plot type: ",
                                 answer, 3);
            if (index != MISSING) break;
            MESS_print(64, "THERM_prompt_plot_type: Unknown plot type: %s\n", answer);
        }
    }
    MESS_print(MESS_DEBUG, "MENU: %d %s\n", index, answer);
    if (index > 0) RES_conv_data(answer, nullptr, CV_plot_type);
    f11 = FLAG_get(11);
    set_therm_type(f11);
    if (f11 == THERM_NO_PLOT) return 0;
    if (index < 0) ZUP_exit(0);
    if (index > 0) {
        P.prompt_state = 1;
        return 1;
    }
    // "New station": the station prompt is wanted unless one is given.
    if (!RES_get("identifier")) UPA_set_prompt(1);
    return 0;
}

int THERM_plot(Domain *domain) {
    int type = FLAG_get(11);
    if (type != THERM_STUVE && type != THERM_EMAGRAM && type != THERM_TEPH &&
        type != THERM_RTEPH && type != THERM_HODO)
        type = THERM_SKEWT;
    Domain dom = plot_domain(domain, type);
    if (!drawable(dom)) {
        MESS_print(64, "THERM_plot: Unable to draw the plot domain (projection %d)\n", dom.proj);
        return 0;
    }
    if (type != THERM_HODO) {
        const UPA_level *sm = THERM_get_SM();
        int with_t = 0;
        for (int i = 0; i < THERM_get_SM_num(); ++i)
            if (sm[i].t != MISSING_F) ++with_t;
        if (with_t == 0) MESS_print(64, "THERM_plot: The sounding has no temperatures\n");
    }

    char title[PLT_LABEL_LEN];
    int wmo = THERM_get_wmo();
    if (wmo == MISSING || wmo == 99999)
        std::snprintf(title, sizeof title, "%s Sounding", THERM_get_id());
    else
        std::snprintf(title, sizeof title, "%s (%d) Sounding", THERM_get_id(), wmo);
    PLT_label_up_left(title);
    PLT_label_up_right(UPA_get_datim());
    PLT_set_callback(type == THERM_HODO ? HODO_callback : THERM_callback);

    float aspect = static_cast<float>(dom.nx) / static_cast<float>(dom.ny);
    bool reset = gchk_graphics() != 0;
    if (!reset) {
        THERM_plot_param();
        HODO_plot_param();
    }
    // Room for the values panel at the right unless it is off.
    float right = THERM_get_data_style() == THERM_PANEL_NONE ? 0.04f : 0.15f;
    PLT_set_view_offsets(0.05f, right, 0.05f, 0.04f);
    if (reset) {
        if (PLT_reset(aspect) < 0) return 0;
    } else {
        if (PLT_open(aspect) < 0) return 0;
        PLT_set_zoom_func(THERM_plot);
        PLT_set_resize_func(THERM_plot);
    }
    if (snd::set_plot_domain(dom)) draw_plot(type);
    PLT_labels();
    PLT_dump(0);
    if (!reset) PLT_close();
    return 0;
}

int snd::replot() {
    // Only a plot still on the workstation is redrawn.
    if (!gchk_graphics()) return 0;
    Domain dom;
    MAP_get_domain(&dom);
    return THERM_plot(&dom);
}

int THERM_switch_plots(const char *str) {
    if (!str || std::strcmp(str, "n-Alt") != 0) return 0;
    int t = FLAG_get(11);
    if (t == THERM_SKEWT || t == THERM_EMAGRAM || t == THERM_TEPH) {
        FLAG_set(11, THERM_HODO);
    } else if (t == THERM_HODO) {
        FLAG_set(11, P.therm_type);
    } else {
        P.therm_type = THERM_STUVE;
        FLAG_set(11, THERM_HODO);
    }
    P.pick = false;
    snd::hodo_cancel_pick();
    Domain dom;
    DOM_init(&dom);
    dom.proj = MISSING;
    THERM_plot(&dom);
    PLT_set_zoom(0);
    gsel_norm_tran(snd::kPlotTran);
    return 0;
}

void THERM_callback(int, const char *str, float x, float y) {
    if (!str) return;
    if (PLT_plot_zoom(str, x, y) || PLT_plot_resize(str)) return;
    if (!std::strcmp(str, "n-Alt")) {
        THERM_switch_plots(str);
        return;
    }
    if (P.pick) {
        if (!std::strncmp(str, "B3-R", 4)) {
            end_pick(x);
            return;
        }
        gset_rubber_band(0);
        gset_rubber_band_limits(nullptr);
        P.pick = false;
    }
    float t = 0, p = 0;
    bool at = MAP_untran(x, y, &t, &p) == 1 && t != MISSING_F && p > 0.0f;
    if (!std::strcmp(str, "v-Alt")) {
        if (at) read_out(t, p);
    } else if (!std::strcmp(str, "B3-P-Shft")) {
        if (at) start_pick(t, p);
    } else if (!std::strcmp(str, "k-Alt")) {
        UPA_calc_wind(THERM_get_SM(), THERM_get_SM_num(), THERM_get_WM(), THERM_get_WM_num());
        THERM_sig_table();
        THERM_indices();
    } else if (!std::strcmp(str, "s-Alt")) {
        THERM_out_raw();
    }
}
