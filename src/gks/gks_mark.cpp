// gks_mark.cpp - polymarkers and the marker attributes.
#include <cmath>
#include <vector>

#include "gks.h"
#include "gks_attr.h"
#include "gks_dev.h"

namespace {

struct MarkerState {
    int color = 1;
    int type = 1;
    float width = 1.0f;
    float height = 10.0f;
};

MarkerState M;

// One marker figure of the current type and size s centred on the device
// point (x, y).  The figures are laid out for y growing downwards; on the
// y-up file devices the vertical offsets turn round so that a triangle
// points the same way on paper as on the screen.
void draw_marker(GksDevice *d, float x, float y0, float s) {
    float r = std::round(s / 2);
    const float sy = d->pixel_units() ? 1.0f : -1.0f;
    auto Y = [y0, sy](float dy) { return y0 + sy * dy; };
    const float y = y0;
    auto fig = [d](std::initializer_list<Gpt> pts) {
        std::vector<Gpt> v(pts);
        d->lines(static_cast<int>(v.size()), v.data());
    };
    switch (M.type) {
    case 1:
        fig({{x, y}, {x + 1, y}, {x + 1, Y(1)}, {x, Y(1)}, {x, y}});
        break;
    case 2:
        fig({{x - r, y}, {x + r, y}});
        fig({{x, Y(r)}, {x, Y(-r)}});
        break;
    case 3:
        fig({{x - r, y}, {x + r, y}});
        fig({{x, Y(r)}, {x, Y(-r)}});
        fig({{x - r, Y(-r)}, {x + r, Y(r)}});
        fig({{x + r, Y(-r)}, {x - r, Y(r)}});
        break;
    case 4: {
        const float a = 0.866f * r, b = 0.5f * r;
        fig({{x - r, y}, {x - a, Y(b)}, {x - b, Y(a)}, {x, Y(r)}, {x + b, Y(a)},
             {x + a, Y(b)}, {x + r, y}, {x + a, Y(-b)}, {x + b, Y(-a)}, {x, Y(-r)},
             {x - b, Y(-a)}, {x - a, Y(-b)}, {x - r, y}});
        break;
    }
    case 5:
        fig({{x - r, Y(-r)}, {x + r, Y(r)}});
        fig({{x + r, Y(-r)}, {x - r, Y(r)}});
        break;
    case 6:
        fig({{x - r, Y(r)}, {x + r, Y(r)}, {x + r, Y(-r)}, {x - r, Y(-r)}, {x - r, Y(r)}});
        break;
    case 7:
        fig({{x - r, Y(r)}, {x + r, Y(r)}, {x, Y(-r)}, {x - r, Y(r)}});
        break;
    case 8:
        fig({{x, y}});
        break;
    case 9:
        fig({{x - r, Y(-r)}, {x + r, Y(-r)}, {x, Y(r)}, {x - r, Y(-r)}});
        break;
    default:
        break;
    }
}

}  // namespace

int greset_marker() {
    M.color = 1;
    M.type = 1;
    M.width = 1.0f;
    M.height = 10.0f;
    return 0;
}

int gpolymarker(int n, const Gpt *pts) {
    if (!gcheck_open("gpolymarker")) return -1;
    if (n < 1 || !pts) {
        gerr_printf("gpolymarker", "invalid number of points: %d\n", n);
        return -1;
    }
    GksDevice *d = gdev();
    if (d->records_world()) {
        d->record_points("PM", n, pts);
        return 1;
    }
    grecord(40, n, static_cast<int>(n * sizeof(Gpt)), pts);
    float s = M.height * 10.0f * d->marker_scale();
    d->marker_begin(n);
    for (int i = 0; i < n; ++i) {
        Gpt p = gto_device(pts[i]);
        draw_marker(d, p.x, p.y, s);
    }
    return 0;
}

int gset_marker_colr_ind(int i) {
    if (!gcheck_open("gset_marker_colr_ind")) return -1;
    if (i == M.color) return 0;
    if (!gcheck_colr("gset_marker_colr_ind", i)) return -1;
    M.color = i;
    gattr_echo_int(45, "PM_CLR %d\n", i);
    return 0;
}

int gset_marker_type(int t) {
    if (!gcheck_open("gset_marker_type")) return -1;
    if (t == M.type) return 0;
    M.type = t;
    gattr_echo_int(43, "PM_TYPE %d\n", t);
    return 0;
}

int gset_marker_size(float s) {
    if (!gcheck_open("gset_marker_size")) return -1;
    if (s == M.height) return 0;
    if (s < 0) {
        gerr_printf("gset_marker_size", "invalid marker size: %f\n", s);
        return -1;
    }
    M.height = s;
    gattr_echo(44, "PM_SIZE %f\n", s);
    return 0;
}

int gset_marker_width(float w) {
    if (!gcheck_open("gset_marker_width")) return -1;
    if (w < 0) {
        gerr_printf("gset_marker_width", "invalid marker width: %f\n", w);
        return -1;
    }
    w = gdev()->adjust_width(w);
    if (w == M.width) return 0;
    M.width = w;
    gattr_echo(46, "PM_WDTH %f\n", w);
    return 0;
}

int gget_marker_colr() { return M.color; }
int gget_marker_type() { return M.type; }
float gget_marker_size() { return M.height; }
float gget_marker_width() { return M.width; }
