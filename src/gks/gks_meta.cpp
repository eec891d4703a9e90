// gks_meta.cpp - the metafile workstation: the own line-oriented text format,
// or binary CGM through the CGM writer.
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
    int line_type = 1;
};

MetaState T;

class MetaDevice : public GksDevice {
public:
    int type() const override { return GWS_META; }
    int init_class() const override { return 4; }
    bool records_world() const override { return T.meta_type == 0; }
    bool keeps_display_list() const override { return false; }
    int close() override { return gmeta_close_file(); }
    FILE *output_stream() override { return T.out_file; }

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

FILE *gmeta_stream() { return T.meta_type == 1 ? T.out_file : nullptr; }

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
        gcgm_header();
    }
    gcgm_begin_picture();
    return 0;
}

int gmeta_close_file() {
    if (!T.out_file) return -1;
    if (T.meta_type == 1 && !T.append) gcgm_end();
    FILE_close(T.out_file);
    T.out_file = nullptr;
    MESS_print(3840, "Created metafile\n");
    return 0;
}

