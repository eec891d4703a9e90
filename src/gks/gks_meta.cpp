// gks_meta.cpp - the metafile writer: the own line-oriented text format and
// binary CGM (big-endian element headers and 16-bit integer points).
#include <cmath>
#include <cstdarg>
#include <algorithm>
#include <cstring>

#include "gks.h"
#include "gks_dev.h"
#include "zup.h"

namespace {

struct MetaState {
    FILE *out_file = nullptr;
    int append = 0;
    int meta_type = 0;   // 0 own text format, 1 CGM
    unsigned char buf[20] = {};
    int line_type = 1;
};

MetaState T;

void put_word(int v) {
    if (!T.out_file) return;
    unsigned u = static_cast<unsigned>(v) & 0xffffu;
    T.buf[0] = static_cast<unsigned char>(u >> 8);
    T.buf[1] = static_cast<unsigned char>(u & 0xff);
    std::fwrite(T.buf, 1, 2, T.out_file);
}

void put_byte(int v) {
    if (!T.out_file) return;
    std::fputc(v & 0xff, T.out_file);
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

class MetaDevice : public GksDevice {
public:
    int type() const override { return GWS_META; }
    int init_class() const override { return 4; }
    bool records_world() const override { return T.meta_type == 0; }
    int close() override { return gmeta_close_file(); }

    void clip(const Glim &r) override {
        if (T.meta_type == 1) gcgm_clip(&r);
    }
    void record(const char *text) override { gmeta_printf("%s", text); }
    void record_points(const char *tag, int n, const Gpt *w) override { gmeta_points(tag, n, w); }

    void polyline(int n, const Gpt *d) override {
        gcgm_set_width(gget_line_colr(), gget_linewidth());
        gcgm_set_color(gget_line_colr());
        gcgm_set_type(gget_linetype());
        gcgm_polyline(n, d);
    }
    void marker_begin(int) override {
        gcgm_set_width(gget_marker_colr(), gget_marker_width());
        gcgm_set_color(gget_marker_colr());
        gcgm_set_type(1);
    }
    void lines(int n, const Gpt *d) override {
        if (n == 1) {
            Gpt two[2] = {d[0], d[0]};
            gcgm_polyline(2, two);
        } else {
            gcgm_polyline(n, d);
        }
    }
    void fill_area(int n, const Gpt *d) override {
        gcgm_set_fill_color(gget_fill_colr());
        gcgm_polygon(n, d);
    }
    void text_begin(const Gpt &, const char *) override {
        gcgm_set_width(gget_text_colr(), gget_text_width());
        gcgm_set_color(gget_text_colr());
        gcgm_set_type(1);
    }
    void message(const char *text) override { gmeta_printf("ME %s\n", gline_text(text).c_str()); }
    int segment(const char *tag, int n) override {
        gmeta_printf("%s %d\n", tag, n);
        return -1;
    }
};

}  // namespace

std::unique_ptr<GksDevice> gmeta_make_device() { return std::make_unique<MetaDevice>(); }

FILE *gmeta_open_file(const char *name) {
    if (!name) return nullptr;
    T.append = 0;
    const char *file = name;
    const char *mode = T.meta_type ? "wb" : "w";
    if (name[0] == '+') {
        file = name + 1;
        mode = T.meta_type ? "ab" : "a";
        T.append = 1;
    }
    MESS_print(3840, "Creating metafile: %s\n", file);
    T.out_file = FILE_open(name[0] == '|' ? name : file, mode);
    return T.out_file;
}

int gmeta_set_type(int t) {
    T.meta_type = t ? 1 : 0;
    return 0;
}
int gmeta_get_type() { return T.meta_type; }

int gmeta_printf(const char *fmt, ...) {
    if (!T.out_file || T.meta_type != 0) return 0;
    va_list ap;
    va_start(ap, fmt);
    int n = std::vfprintf(T.out_file, fmt, ap);
    va_end(ap);
    return n;
}

int gmeta_points(const char *tag, int n, const Gpt *pts) {
    if (!T.out_file || T.meta_type != 0 || !pts) return -1;
    gmeta_printf("%s %d ", tag, n);
    for (int i = 0; i < n; ++i) {
        gmeta_printf("%f,%f ", pts[i].x, pts[i].y);
        if ((i + 1) % 4 == 0 && i + 1 < n) gmeta_printf("\n   ");
    }
    gmeta_printf("\n");
    return 0;
}

int gmeta_init_file() {
    if (!T.out_file) return -1;
    if (T.meta_type == 0) {
        if (T.append) return 0;
        gmeta_printf("ZUPMETA\n");
        gmeta_printf("#Title: ZUP Graphics Display: %s\n", gline_text(gget_win_title()).c_str());
        gmeta_printf("#Creator: ZUP Metafile Processor-1.0\n");
        gmeta_printf("#CreationDate: %s", gcreation_date());
        return 0;
    }
    if (!T.append) {
        gcgm_control(0, 1, 0, 0);            // begin metafile
        gcgm_control(1, 1, 2, 1);            // metafile version 1
        gcgm_control(1, 2, 11, 0);           // metafile description
        put_byte(10);
        std::fwrite("ZUPCGM-1.0", 1, 10, T.out_file);
        put_byte(0);
        gcgm_control(1, 11, 6, 0);           // metafile element list
        put_word(1);
        put_word(-1);
        put_word(1);
        gcgm_control(1, 9, 1, 0);            // maximum colour index
        put_byte(255);
        put_byte(0);
    }
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    gcgm_control(2, 6, 8, 0);                // VDC extent: the page
    put_word(0);
    put_word(0);
    put_word(w);
    put_word(h);
    gcgm_control(0, 3, 0, 0);                // begin picture
    gcgm_control(0, 4, 0, 0);                // begin picture body
    return 0;
}

int gmeta_close_file() {
    if (!T.out_file) return -1;
    if (T.meta_type == 1 && !T.append) {
        gcgm_control(0, 5, 0, 0);            // end picture
        gcgm_control(0, 2, 0, 0);            // end metafile
    }
    FILE_close(T.out_file);
    T.out_file = nullptr;
    MESS_print(3840, "Created metafile\n");
    return 0;
}

int gcgm_control(int cls, int id, int length, int extra) {
    if (!T.out_file) return -1;
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
    if (!T.out_file || T.meta_type != 1 || n < 1 || !d) return -1;
    cgm_points(1, n, d);
    return 0;
}

int gcgm_polygon(int n, const Gpt *d) {
    if (!T.out_file || T.meta_type != 1 || n < 3 || !d) return -1;
    cgm_points(7, std::min(n, 8000), d);
    return 0;
}

int gcgm_clip(const Glim *r) {
    if (!T.out_file || T.meta_type != 1 || !r) return -1;
    gcgm_control(3, 5, 8, 0);
    gcgm_ps_point(r->x_min, r->y_min);
    gcgm_ps_point(r->x_max, r->y_max);
    return 0;
}

// Colour, width and line type stay out of the CGM picture: the writer
// encodes geometry and clipping only.
int gcgm_set_type(int t) {
    T.line_type = t;
    return 0;
}
int gcgm_set_color(int) { return 0; }
int gcgm_set_fill_color(int) { return 0; }
int gcgm_set_width(int, float) { return 0; }
