// gks_cgm.cpp - the binary CGM writer: big-endian element headers,
// 16-bit integer points in the metafile's device units.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gks.h"
#include "gks_dev.h"

namespace {

struct CgmState {
    unsigned char buf[20] = {};
    int line_type = 1;
};

CgmState C;

void put_word(int v) {
    if (!gmeta_stream()) return;
    unsigned u = static_cast<unsigned>(v) & 0xffffu;
    C.buf[0] = static_cast<unsigned char>(u >> 8);
    C.buf[1] = static_cast<unsigned char>(u & 0xff);
    std::fwrite(C.buf, 1, 2, gmeta_stream());
}

void put_byte(int v) {
    if (!gmeta_stream()) return;
    std::fputc(v & 0xff, gmeta_stream());
}

int to_int16(float v) {
    long r = std::lround(v);
    if (r > 32767) r = 32767;
    if (r < -32768) r = -32768;
    return static_cast<int>(r);
}

// Polyline or polygon elements; long point lists are split so that one
// element's parameters stay within the 15-bit long-form length.
void cgm_points(int id, int n, const Gpt *d) {
    const int kMax = 8000;
    int start = 0;
    while (start < n) {
        int cnt = std::min(kMax, n - start);
        if (id == 1 && start > 0) --start, ++cnt;  // polyline pieces join
        gcgm_control(4, id, 31, 4 * cnt);
        for (int i = 0; i < cnt; ++i) gcgm_ps_point(d[start + i].x, d[start + i].y);
        start += cnt;
        if (id != 1) break;
    }
}

}  // namespace

int gcgm_header() {
    if (!gmeta_stream()) return -1;
    gcgm_control(0, 1, 0, 0);            // begin metafile
    gcgm_control(1, 1, 2, 1);            // metafile version 1
    gcgm_control(1, 2, 11, 0);           // metafile description
    put_byte(10);
    std::fwrite("ZUPCGM-1.0", 1, 10, gmeta_stream());
    put_byte(0);
    gcgm_control(1, 11, 6, 0);           // metafile element list
    put_word(1);
    put_word(-1);
    put_word(1);
    gcgm_control(1, 9, 1, 0);            // maximum colour index
    put_byte(255);
    put_byte(0);
    return 0;
}

int gcgm_begin_picture() {
    if (!gmeta_stream()) return -1;
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    gcgm_control(2, 6, 8, 0);            // VDC extent: the page
    put_word(0);
    put_word(0);
    put_word(w);
    put_word(h);
    gcgm_control(0, 3, 0, 0);            // begin picture
    gcgm_control(0, 4, 0, 0);            // begin picture body
    return 0;
}

int gcgm_end() {
    if (!gmeta_stream()) return -1;
    gcgm_control(0, 5, 0, 0);            // end picture
    gcgm_control(0, 2, 0, 0);            // end metafile
    return 0;
}

int gcgm_control(int cls, int id, int length, int extra) {
    if (!gmeta_stream()) return -1;
    put_word(((cls & 0xf) << 12) | ((id & 0x7f) << 5) | (length & 0x1f));
    if (length == 31 || extra >= 1) put_word(extra);
    return 0;
}

int gcgm_point(float x, float y) { return gcgm_ps_point(xW_ps(x), yW_ps(y)); }

int gcgm_ps_point(float x, float y) {
    put_word(to_int16(x));
    put_word(to_int16(y));
    return 0;
}

int gcgm_polyline(int n, const Gpt *d) {
    if (!gmeta_stream() || n < 1 || !d) return -1;
    cgm_points(1, n, d);
    return 0;
}

int gcgm_polygon(int n, const Gpt *d) {
    if (!gmeta_stream() || n < 3 || !d) return -1;
    cgm_points(7, std::min(n, 8000), d);
    return 0;
}

int gcgm_clip(const Glim *r) {
    if (!gmeta_stream() || !r) return -1;
    gcgm_control(3, 5, 8, 0);
    gcgm_ps_point(r->x_min, r->y_min);
    gcgm_ps_point(r->x_max, r->y_max);
    return 0;
}

// Colour, width and line type stay out of the CGM picture: the writer
// encodes geometry and clipping only.
int gcgm_set_type(int t) {
    C.line_type = t;
    return 0;
}
int gcgm_set_color(int) { return 0; }
int gcgm_set_fill_color(int) { return 0; }
int gcgm_set_width(int, float) { return 0; }
