// gks_colr.cpp - colour indices: the table of colours, find-or-add
// allocation, the background and the print colours 500-508.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gks.h"
#include "gks_dev.h"
#include "zup.h"
#include "zupresrc.h"

namespace {

constexpr int kSlots = 257;   // 0-255 and the background at 256

struct ColourState {
    float red[kSlots] = {};
    float grn[kSlots] = {};
    float blu[kSlots] = {};
    long color_ind[kSlots];
    int max_color_ind = -1;
    int alloc_index = -1;
    char background[50] = "";
    int local_cmap = 0;
    int rw_colors = 1;
    int inverse = 0;
    ColourState() { reset(); }
    void reset() {
        for (long &c : color_ind) c = -1;
        max_color_ind = -1;
    }
};

ColourState C;

int slot(int i) { return i == -1 ? GBACK_INDEX : i; }

// A channel kept to 0-1 (not a number counts as 0), so that no device
// ever writes a colour it cannot take.
float channel(float v) {
    if (!(v >= 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

bool is_print(int i) { return i >= 500 && i <= 508; }

int store_colour(int index, float r, float g, float b);

}  // namespace

int gis_valid_colr(int i) { return (i >= -1 && i <= 256) || is_print(i) ? 1 : 0; }

int gis_color_set(int i) {
    if (i == -1 || is_print(i)) return 1;
    if (i < 0 || i > 256) return 0;
    return C.color_ind[i] != -1 ? 1 : 0;
}

bool gcheck_colr(const char *func, int i) {
    if (!gis_valid_colr(i)) {
        gerr_printf(func, "invalid color index: %d\n", i);
        return false;
    }
    if (!gis_color_set(i)) {
        gerr_printf(func, "color index not initialized\n");
        return false;
    }
    return true;
}

int greset_colors() {
    C.reset();
    return 0;
}

int ginit_xcolr() {
    C.reset();
    return 0;
}

int gset_colr_rep(int ws, int index, const Gcolr_rep *rep) {
    if (!rep) return -1;
    if (is_print(index)) return 0;
    if (index < -1 || index > 256) {
        gerr_printf("gset_colr_rep", "invalid color index: %d\n", index);
        return -1;
    }
    GksDevice *d = gdev();
    if (d && d->records_world()) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "CLR %d %d %f %f %f\n", ws, index, channel(rep->red),
                      channel(rep->green), channel(rep->blue));
        d->record(buf);
    } else {
        float v[3] = {rep->red, rep->green, rep->blue};
        grecord(20, index, sizeof v, v);
    }
    // Index -1 is the background itself, not a find-or-add request.
    if (index == -1) store_colour(-1, rep->red, rep->green, rep->blue);
    else galloc_colr(index, rep->red, rep->green, rep->blue);
    if (d) d->color_rep(index, channel(rep->red), channel(rep->green), channel(rep->blue));
    return 0;
}

int gis_color_near(int i, float r, float g, float b, int) {
    int s = slot(i);
    if (s < 0 || s >= kSlots) return 0;
    float diff = std::fabs(C.red[s] - r) + std::fabs(C.grn[s] - g) + std::fabs(C.blu[s] - b);
    return diff < 0.01f ? 1 : 0;
}

namespace {

// Binds a colour to slot s (0-255 or the background).
int store_colour(int index, float r, float g, float b) {
    int s = slot(index);
    r = channel(r);
    g = channel(g);
    b = channel(b);
    C.red[s] = r;
    C.grn[s] = g;
    C.blu[s] = b;
    GksDevice *d = gdev();
    long pixel = d ? d->alloc_color(index, r, g, b) : 1;
    // A file device (a metafile replaying a window's display list) leaves
    // a pixel already bound by the window in place.
    if (d && d->pixel_units()) C.color_ind[s] = pixel;
    else if (C.color_ind[s] < 0) C.color_ind[s] = -2;
    if (index >= 0 && index < 256 && index > C.max_color_ind) C.max_color_ind = index;
    // Grey levels for printing, shared by the PostScript and HPGL writers.
    gps_set_color_rep(index, r, g, b);
    return (d && d->pixel_units()) ? static_cast<int>(pixel) : 1;
}

}  // namespace

int galloc_colr(int index, float r, float g, float b) {
    if (index < 0) {
        for (int i = 0; i <= C.max_color_ind && i < 256; ++i) {
            if (C.color_ind[i] != -1 && gis_color_near(i, r, g, b, 0)) {
                MESS_print(0x40000000, "Used existing ind: %d (%.2f %.2f %.2f)\n", i, r, g, b);
                C.alloc_index = i;
                GksDevice *d = gdev();
                return (d && d->pixel_units()) ? static_cast<int>(C.color_ind[i]) : 1;
            }
        }
        index = C.max_color_ind + 1;
        if (index > 255) {
            gerr_printf("galloc_colr", "invalid color index: %d\n", index);
            return -1;
        }
        MESS_print(0x40000000, "Allocated new ind: %d (%.2f %.2f %.2f)\n", index, r, g, b);
    }
    if (index > 256) {
        gerr_printf("galloc_colr", "invalid color index: %d\n", index);
        return -1;
    }
    C.alloc_index = index;
    return store_colour(index, r, g, b);
}

int gget_alloc_index() { return C.alloc_index; }

long gget_color_ind(int i) {
    int s = slot(i);
    if (s < 0 || s >= kSlots) return -1;
    return C.color_ind[s];
}

int gget_color_rgb(int i, float *r, float *g, float *b) {
    float rr = 0, gg = 0, bb = 0;
    if (i >= 500 && i <= 502) {
        rr = gg = bb = 0;
    } else if (i >= 503 && i <= 505) {
        rr = gg = bb = 1;
    } else if (i >= 506 && i <= 508) {
        rr = gg = bb = 0.7f;
    } else {
        int s = slot(i);
        if (s < 0 || s >= kSlots) return -1;
        rr = C.red[s];
        gg = C.grn[s];
        bb = C.blu[s];
    }
    if (r) *r = rr;
    if (g) *g = gg;
    if (b) *b = bb;
    return 0;
}

int gget_color_rgb256(int i, int *r, int *g, int *b) {
    float rr, gg, bb;
    if (gget_color_rgb(i, &rr, &gg, &bb) < 0) return -1;
    if (r) *r = static_cast<int>(std::lround(rr * 255));
    if (g) *g = static_cast<int>(std::lround(gg * 255));
    if (b) *b = static_cast<int>(std::lround(bb * 255));
    return 0;
}

int gget_max_colr() { return C.max_color_ind; }

int gset_background(const char *name) {
    copy_field(C.background, name ? name : "");
    return 0;
}

const char *gget_background() { return C.background; }

long gget_back_color() { return C.color_ind[GBACK_INDEX]; }

int gset_local_colormap(int on) {
    C.local_cmap = on;
    return 0;
}

int gget_local_colormap() { return C.local_cmap; }

int gset_rw_colors(int on) {
    C.rw_colors = on;
    return 0;
}

int gget_rw_colors() { return C.rw_colors; }

int gset_inverse(int on) {
    C.inverse = on;
    return 0;
}

int gget_inverse() { return C.inverse; }

int ginit_background() {
    GksDevice *d = gdev();
    // Paper is white; a window device binds its own background from the
    // name set by gset_background or the resource "background".
    if (!d || !d->pixel_units()) {
        store_colour(-1, 1.0f, 1.0f, 1.0f);
        return 0;
    }
    const char *name = C.background[0] ? C.background : RES_get("background");
    d->background(name);
    return 0;
}
