// gks_hpgl.cpp - the HPGL plotter writer with optional PCL wrapping.
#include <cmath>
#include <cstdarg>

#include "gks.h"
#include "gks_dev.h"
#include "zup.h"

namespace {

struct HpglState {
    FILE *out_file = nullptr;
    int append = 0;
    int pcl = 1;
    float gray_level = 0.0f;   // pen shading last set
    float fill_level = -1.0f;  // fill shading last set (-2 solid)
    int col_ind = -1;
    float base_width = 0.2f;
    float line_width = 1.0f;
    int line_type = 1;
    int pr_color = 0;
    int pr_rev = 0;
    int pr_rot = 0;
    float pr_scale = 1.0f;
};

HpglState H;

class HpglDevice : public GksDevice {
public:
    int type() const override { return GWS_HPGL; }
    int init_class() const override { return 3; }
    float marker_scale() const override { return 10.15f; }
    int close() override { return ghpgl_close_file(); }
    FILE *output_stream() override { return H.out_file; }

    void clip(const Glim &r) override {
        ghpgl_printf("IW %.0f,%.0f,%.0f,%.0f;\n", (r.x_min - 0.1f) * H.pr_scale,
                     (r.y_min - 0.1f) * H.pr_scale, (r.x_max + 0.1f) * H.pr_scale,
                     (r.y_max + 0.1f) * H.pr_scale);
    }

    void polyline(int n, const Gpt *d) override {
        ghpgl_set_width(gget_line_colr(), gget_linewidth());
        ghpgl_set_color(gget_line_colr());
        ghpgl_set_type(gget_linetype());
        ghpgl_move_abs(d[0].x, d[0].y);
        for (int i = 1; i < n; ++i) {
            ghpgl_line_abs(d[i].x, d[i].y);
            if (i % 10 == 0) ghpgl_printf("\n");
        }
        ghpgl_printf("\n");
    }

    void marker_begin(int) override {
        ghpgl_set_width(gget_marker_colr(), gget_marker_width());
        ghpgl_set_color(gget_marker_colr());
        ghpgl_set_type(1);
    }

    void lines(int n, const Gpt *d) override {
        if (n < 1) return;
        ghpgl_move_abs(d[0].x, d[0].y);
        if (n == 1) ghpgl_line_abs(d[0].x, d[0].y);
        for (int i = 1; i < n; ++i) ghpgl_line_abs(d[i].x, d[i].y);
        ghpgl_printf("\n");
    }

    void fill_area(int n, const Gpt *d) override {
        ghpgl_set_fill_color(gget_fill_colr());
        ghpgl_move_abs(d[0].x, d[0].y);
        ghpgl_printf("PM0;");
        for (int i = 1; i < n; ++i) ghpgl_line_abs(d[i].x, d[i].y);
        ghpgl_printf("PM1;PM2;FP;\n");
    }

    void text_begin(const Gpt &, const char *) override {
        ghpgl_set_width(gget_text_colr(), gget_text_width());
        ghpgl_set_color(gget_text_colr());
        ghpgl_set_type(1);
    }

    // A plotter's pens cannot paint the paper's colour, and a 0% shade is
    // transparent in HP-GL/2 (some renderers even fill it with the pen):
    // clearing a region of the page leaves the paper as it is.
    void clear_region(const Glim &) override {}
};

}  // namespace

std::unique_ptr<GksDevice> ghpgl_make_device() { return std::make_unique<HpglDevice>(); }

FILE *ghpgl_open_file(const char *name) {
    if (!name) return nullptr;
    H.append = 0;
    if (name[0] == '|') {
        MESS_print(3840, "Spooling to: %s\n", name + 1);
        H.out_file = FILE_open(name, "w");
    } else if (name[0] == '+') {
        MESS_print(3840, "Appending to: %s\n", name + 1);
        H.out_file = FILE_open(name + 1, "a");
        H.append = 1;
    } else {
        MESS_print(3840, "Creating: %s\n", name);
        H.out_file = FILE_open(name, "w");
    }
    return H.out_file;
}

int ghpgl_init() {
    H.pcl = 1;
    H.gray_level = 0.0f;
    H.fill_level = -1.0f;
    H.col_ind = -1;
    H.line_width = 1.0f;
    H.line_type = 1;
    H.pr_rot = 0;
    H.pr_scale = 1.0f;
    return 0;
}

int ghpgl_set_pcl(int pcl) {
    H.pcl = pcl;
    return 0;
}
int ghpgl_set_rotate(int deg) {
    H.pr_rot = deg;
    return 0;
}
int ghpgl_set_scale(float s) {
    H.pr_scale = s > 0 ? s : 1.0f;
    return 0;
}
int ghpgl_set_base_width(float w) {
    H.base_width = w;
    return 0;
}
int ghpgl_set_colorPS(int color) {
    H.pr_color = color;
    return 0;
}
int ghpgl_set_reverse(int rev) {
    H.pr_rev = rev;
    return 0;
}

int ghpgl_printf(const char *fmt, ...) {
    if (!H.out_file) return 0;
    va_list ap;
    va_start(ap, fmt);
    int n = std::vfprintf(H.out_file, fmt, ap);
    va_end(ap);
    return n;
}

int ghpgl_init_file() {
    if (!H.out_file) return -1;
    if (H.append) return 0;
    if (H.pcl != 0) ghpgl_printf("\033E\033%%1B\033&l1O\n");
    ghpgl_printf("IN;SP1;PA;\n");
    if (H.pcl == 2) ghpgl_printf("RO90;\n");
    if (H.pr_rot == 90) ghpgl_printf("RO90;\n");
    else if (H.pr_rot == 180) ghpgl_printf("RO180;\n");
    else if (H.pr_rot == 270) ghpgl_printf("RO270;\n");
    ghpgl_printf("PW%.1f;SV;LT;\n", H.base_width);
    return 0;
}

int ghpgl_close_file() {
    if (!H.out_file) return -1;
    if (!H.append) {
        ghpgl_printf("SP;PG;\n");
        if (H.pcl != 0) ghpgl_printf("\033%%0A\033E");
    }
    FILE_close(H.out_file);
    H.out_file = nullptr;
    MESS_print(3840, "Created HPGL file\n");
    return 0;
}

int ghpgl_move(float x, float y) { return ghpgl_move_abs(xW_ps(x), yW_ps(y)); }
int ghpgl_line(float x, float y) { return ghpgl_line_abs(xW_ps(x), yW_ps(y)); }
int ghpgl_move_abs(float x, float y) {
    return ghpgl_printf("PU%.0f,%.0f;", x * H.pr_scale, y * H.pr_scale);
}
int ghpgl_line_abs(float x, float y) {
    return ghpgl_printf("PD%.0f,%.0f;", x * H.pr_scale, y * H.pr_scale);
}

int ghpgl_set_color(int i) {
    float shade = 0.0f;
    const char *cmd = "SV;\n";
    if (i >= 503 && i <= 505) {
        shade = 1.0f;
        cmd = "SV1,0;\n";
    } else if (i >= 506 && i <= 508) {
        shade = 0.3f;
        cmd = "SV1,30;\n";
    }
    H.col_ind = i;
    if (shade == H.gray_level) return 0;
    H.gray_level = shade;
    ghpgl_printf("%s", cmd);
    return 0;
}

int ghpgl_set_fill_color(int i) {
    if (gget_fill_print_solid()) {
        if (H.fill_level != -2.0f) ghpgl_printf("FT1;\n");
        H.fill_level = -2.0f;
        return 0;
    }
    float grey = 0.0f;
    if (i >= 500 && i <= 502) grey = 0.0f;
    else if (i >= 503 && i <= 505) grey = 1.0f;
    else if (i >= 506 && i <= 508) grey = 0.7f;
    else grey = ghpgl_get_gray(i);
    float level = (i == -1) ? 0.0f : 100.0f - 100.0f * grey;
    if (level == H.fill_level) return 0;
    H.fill_level = level;
    if (i == -1) ghpgl_printf("FT10,0;\n");
    else ghpgl_printf("FT10,%.0f;\n", level);
    return 0;
}

int ghpgl_set_width(int i, float w) {
    if (w == 0) w = 1;
    float eff;
    if (i == 501 || i == 504 || i == 507) eff = 2 * H.base_width * w;
    else if (i == 502 || i == 505 || i == 508) eff = 4 * H.base_width * w;
    else eff = gget_line_print_bold() * w * H.base_width;
    if (eff == H.line_width) return 0;
    H.line_width = eff;
    ghpgl_printf("PW%.1f;\n", eff);
    return 0;
}

int ghpgl_set_type(int t) {
    static const char *types[] = {"LT;\n", "LT2,5,1;\n", "LT5,8,1;\n", "LT6,10,1;\n",
                                  "LT2,1,1;\n"};
    if (t < 1 || t > 5 || t == H.line_type) return 0;
    H.line_type = t;
    ghpgl_printf("%s", types[t - 1]);
    return 0;
}

int ghpgl_set_color_rep(int i, float r, float g, float b) { return gps_set_color_rep(i, r, g, b); }

float ghpgl_get_gray(int i) {
    float g = gps_get_gray(i);
    return H.pr_rev ? 1.0f - g : g;
}
