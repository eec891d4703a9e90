// gks_line.cpp - polylines and the line attributes.
#include <vector>

#include "gks.h"
#include "gks_attr.h"
#include "gks_dev.h"

namespace {

struct LineState {
    int color = 1;
    int type = 1;
    float width = 1.0f;
    int print_bold = 1;
    int drop_shadow = 0;
};

LineState L;

}  // namespace

int greset_line() {
    L.color = 1;
    L.type = 1;
    L.width = 1.0f;
    return 0;
}

int gpolyline(int n, const Gpt *pts) {
    if (!gcheck_open("gpolyline")) return -1;
    if (n < 2 || !pts) {
        gerr_printf("gpolyline", "invalid number of points: %d\n", n);
        return -1;
    }
    if (!gpts_in_win(n, pts)) return 0;
    GksDevice *d = gdev();
    if (d->records_world()) {
        d->record_points("PL", n, pts);
        return 1;
    }
    grecord(30, n, static_cast<int>(n * sizeof(Gpt)), pts);
    std::vector<Gpt> dev;
    gto_device(n, pts, dev);
    d->polyline(n, dev.data());
    return 0;
}

int gset_line_colr_ind(int i) {
    if (!gcheck_open("gset_line_colr_ind")) return -1;
    if (i == L.color) return 0;
    if (!gcheck_colr("gset_line_colr_ind", i)) return -1;
    L.color = i;
    gattr_echo_int(35, "PL_CLR %d\n", i);
    return 0;
}

int gset_linetype(int t) {
    if (!gcheck_open("gset_linetype")) return -1;
    if (t == L.type) return 0;
    if (t < 0) {
        gerr_printf("gset_linetype", "invalid line type: %d\n", t);
        return -1;
    }
    L.type = t;
    gattr_echo_int(33, "PL_TYPE %d\n", t);
    return 0;
}

int gset_linewidth(float w) {
    if (!gcheck_open("gset_linewidth")) return -1;
    if (w < 0) {
        gerr_printf("gset_linewidth", "invalid line width: %f\n", w);
        return -1;
    }
    w = gdev()->adjust_width(w);
    if (w == L.width) return 0;
    L.width = w;
    gattr_echo(34, "PL_LW %f\n", w);
    return 0;
}

int gset_line_print_bold(int bold) {
    if (bold < 1) bold = 1;
    if (bold != L.print_bold) grecord(36, bold, 0, nullptr);
    L.print_bold = bold;
    return 0;
}

int gget_line_print_bold() { return L.print_bold; }
int gget_line_colr() { return L.color; }
int gget_linetype() { return L.type; }
float gget_linewidth() { return L.width; }

int gset_line_drop(int depth) {
    L.drop_shadow = depth < 0 ? 0 : depth;
    return 0;
}
int gget_line_drop() { return L.drop_shadow; }
