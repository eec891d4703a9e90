// gks_fill.cpp - fill areas, the fill attributes and the pattern table.
#include <vector>

#include "gks.h"
#include "gks_attr.h"
#include "gks_dev.h"

namespace {

// 8 x 8 patterns, one byte per row, least significant bit leftmost.
const unsigned char kPatterns[GNUM_PATTERNS][8] = {
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
    {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55},
    {0x55, 0x00, 0x55, 0x00, 0x55, 0x00, 0x55, 0x00},
    {0x24, 0x11, 0x82, 0x48, 0x42, 0x11, 0x28, 0x84},
    {0x33, 0x33, 0x00, 0x00, 0xcc, 0xcc, 0x00, 0x00},
    {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33},
    {0x03, 0x06, 0x0c, 0x18, 0x30, 0x60, 0xc0, 0x81},
    {0x81, 0xc0, 0x60, 0x30, 0x18, 0x0c, 0x06, 0x03},
    {0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00},
    {0xc3, 0x66, 0x3c, 0x18, 0x3c, 0x66, 0xc3, 0x81},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    {0x40, 0x10, 0x20, 0x01, 0x00, 0x04, 0x08, 0x02},
    {0x08, 0xa0, 0x44, 0x11, 0x22, 0x10, 0x81, 0x44},
    {0x45, 0x28, 0x94, 0x43, 0x50, 0x09, 0x52, 0xa8},
    {0x19, 0xca, 0x34, 0x1a, 0xe1, 0x32, 0xa5, 0xcc},
    {0x55, 0xdc, 0x3b, 0xe2, 0x97, 0xaa, 0x65, 0x3e},
    {0x7a, 0xe5, 0x5f, 0xab, 0xf5, 0xeb, 0x5e, 0xb5},
    {0xfe, 0xbb, 0xf5, 0x6f, 0xfe, 0xd7, 0xbd, 0xeb},
    {0xfd, 0xff, 0xef, 0x7f, 0xdf, 0xfe, 0xf7, 0xaf},
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
};

struct FillState {
    int style = GSOLID;
    int index = 1;
    int color = 1;
    int print_solid = 0;
};

FillState F;

}  // namespace

unsigned char gget_fill_pattern_row(int p, int k) {
    if (p < 0 || p >= GNUM_PATTERNS || k < 0 || k > 7) return 0;
    return kPatterns[p][k];
}

int greset_fill() {
    F.style = GSOLID;
    F.index = 1;
    F.color = 1;
    return 0;
}

int gfill_area(int n, const Gpt *pts) {
    if (!gcheck_open("gfill_area")) return -1;
    if (n < 3 || !pts) {
        gerr_printf("gfill_area", "invalid number of points: %d\n", n);
        return -1;
    }
    if (!gpts_in_win(n, pts)) return 0;
    GksDevice *d = gdev();
    if (d->records_world()) {
        d->record_points("FA", n, pts);
        return 1;
    }
    grecord(70, n, static_cast<int>(n * sizeof(Gpt)), pts);
    std::vector<Gpt> dev;
    gto_device(n, pts, dev);
    d->fill_area(n, dev.data());
    return 0;
}

int gset_fill_colr_ind(int i) {
    if (!gcheck_open("gset_fill_colr_ind")) return -1;
    if (i == F.color) return 0;
    if (!gcheck_colr("gset_fill_colr_ind", i)) return -1;
    F.color = i;
    gattr_echo_int(75, "FA_CLR %d\n", i);
    return 0;
}

int gset_fill_int_style(int s) {
    if (!gcheck_open("gset_fill_int_style")) return -1;
    if (s == F.style) return 0;
    F.style = s;
    gattr_echo_int(73, "FA_INT %d\n", s);
    return 0;
}

int gset_fill_style_ind(int k) {
    if (!gcheck_open("gset_fill_style_ind")) return -1;
    if (k == F.index) return 0;
    if (k < 0 || k >= GNUM_PATTERNS) {
        gerr_printf("gset_fill_style_ind", "invalid style index: %d\n", k);
        return -1;
    }
    F.index = k;
    gattr_echo_int(74, "FA_ST %d\n", k);
    return 0;
}

int gset_fill_print_solid(int on) {
    if (on != F.print_solid) grecord(76, on, 0, nullptr);
    F.print_solid = on;
    return 0;
}

int gget_fill_print_solid() { return F.print_solid; }
int gget_fill_colr() { return F.color; }
int gget_fill_int_style() { return F.style; }
int gget_fill_style_ind() { return F.index; }
