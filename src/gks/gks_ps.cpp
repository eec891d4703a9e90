// gks_ps.cpp - the PostScript and EPS writer.
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "gks.h"
#include "gks_dev.h"
#include "zup.h"

namespace {

struct PsState {
    FILE *out_file = nullptr;
    int append = 0;
    float gray[257] = {};
    float gray_level = 0.0f;
    int ps_col_ind = -1;
    float base_width = 1.0f;
    float line_width = 1.0f;
    float line_type = 1.0f;
    int pr_color = 0;
    int pr_rev = 0;
    int pr_port = 0;
    int pr_eps = 0;
    float pr_scale = 1.0f;
    float sx = 11.0f;
    float sy = 8.5f;
};

PsState P;

int gray_slot(int i) { return i == -1 ? 256 : i; }

// Grey of a print colour, or -1 for an ordinary index.
float print_gray(int i) {
    if (i >= 500 && i <= 502) return 0.0f;
    if (i >= 503 && i <= 505) return 1.0f;
    if (i >= 506 && i <= 508) return 0.7f;
    return -1.0f;
}

// A grey from the colour table is always written with three decimals;
// the fixed greys of black, white and the print colours as short numbers.
void write_gray(float g, bool table = false) {
    if (g == P.gray_level) return;
    if (table) gps_printf("%3.3f setgray\n", g);
    else if (g == 0.0f) gps_printf("0 setgray\n");
    else if (g == 1.0f) gps_printf("1 setgray\n");
    else if (g == 0.7f) gps_printf(".7 setgray\n");
    else gps_printf("%3.3f setgray\n", g);
    P.gray_level = g;
    P.ps_col_ind = -1;
}

// Colour of index i as written; for lines and text in inverse video the
// screen's white foreground prints black on the white paper.
void write_rgb(int i, bool lines) {
    float r = 0, g = 0, b = 0;
    gget_color_rgb(i, &r, &g, &b);
    int key = i;
    if (lines && gget_inverse() && r >= 0.99f && g >= 0.99f && b >= 0.99f) {
        r = g = b = 0.0f;
        key = -1000;
    }
    if (key == P.ps_col_ind) return;
    gps_printf("%4.2f %4.2f %4.2f setrgbcolor\n", r, g, b);
    P.ps_col_ind = key;
    P.gray_level = -1.0f;
}

void path(int n, const Gpt *d) {
    gps_printf("np\n");
    gps_move_abs(d[0].x, d[0].y);
    for (int i = 1; i < n; ++i) gps_line_abs(d[i].x, d[i].y);
}

class PsDevice : public GksDevice {
public:
    int type() const override { return GWS_PS; }
    int init_class() const override { return 2; }
    float marker_scale() const override { return 0.72f; }
    float adjust_width(float w) const override { return w == 0 ? 1.0f : w; }
    int close() override { return gps_close_file(); }
    FILE *output_stream() override { return P.out_file; }

    void clip(const Glim &r) override {
        gps_printf("initclip\n");
        gps_printf("np\n");
        gps_move_abs(r.x_min - 0.1f, r.y_min - 0.1f);
        gps_line_abs(r.x_min - 0.1f, r.y_max + 0.1f);
        gps_line_abs(r.x_max + 0.1f, r.y_max + 0.1f);
        gps_line_abs(r.x_max + 0.1f, r.y_min - 0.1f);
        gps_printf("cp\n");
        gps_printf("clip\n");
    }

    void polyline(int n, const Gpt *d) override {
        gps_printf("%%%%PL:%d\n", n);
        gps_set_width(gget_line_colr(), gget_linewidth());
        gps_set_color(gget_line_colr());
        gps_set_type(gget_linetype());
        path(n, d);
        gps_printf("stroke\n");
    }

    void marker_begin(int n) override {
        gps_printf("%%%%PM:%d\n", n);
        gps_set_width(gget_marker_colr(), gget_marker_width());
        gps_set_color(gget_marker_colr());
        gps_set_type(1);
    }

    void lines(int n, const Gpt *d) override {
        if (n < 1) return;
        path(n, d);
        if (n == 1) gps_line_abs(d[0].x, d[0].y);
        gps_printf("stroke\n");
    }

    void fill_area(int n, const Gpt *d) override {
        if (gget_fill_int_style() != GSOLID) return;
        gps_printf("%%%%FA:%d\n", n);
        path(n, d);
        gps_printf("cp\n");
        gps_set_fill_color(gget_fill_colr());
        gps_printf("fill\n");
    }

    void text_begin(const Gpt &w, const char *text) override {
        gps_printf("%%%%TE:%f %f %s\n", w.x, w.y, gline_text(text).c_str());
        gps_set_width(gget_text_colr(), gget_text_width());
        gps_set_color(gget_text_colr());
        gps_set_type(1);
    }

    void message(const char *text) override {
        gps_printf("%%%%Message: %s\n", gline_text(text).c_str());
    }

    void clear_region(const Glim &r) override {
        gps_printf("%%%%CLR\n");
        Gpt c[4] = {{r.x_min, r.y_min}, {r.x_min, r.y_max}, {r.x_max, r.y_max}, {r.x_max, r.y_min}};
        path(4, c);
        gps_printf("cp\n");
        gps_set_fill_color(-1);
        gps_printf("fill\n");
    }
};

}  // namespace

std::unique_ptr<GksDevice> gps_make_device() { return std::make_unique<PsDevice>(); }

const char *gcreation_date() {
    static char buf[64];
    std::time_t now = std::time(nullptr);
    if (const char *e = std::getenv("SOURCE_DATE_EPOCH")) now = static_cast<std::time_t>(std::atoll(e));
    std::tm tmv;
    gmtime_r(&now, &tmv);
    std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y\n", &tmv);
    return buf;
}

FILE *gps_open_file(const char *name) {
    if (!name) return nullptr;
    P.append = 0;
    if (name[0] == '|') {
        MESS_print(3840, "Spooling to: %s\n", name + 1);
        P.out_file = FILE_open(name, "w");
    } else if (name[0] == '+') {
        MESS_print(3840, "Appending to: %s\n", name + 1);
        P.out_file = FILE_open(name + 1, "a");
        P.append = 1;
    } else {
        MESS_print(3840, "Creating: %s\n", name);
        P.out_file = FILE_open(name, "w");
    }
    return P.out_file;
}

int gps_init() {
    P.gray_level = 0.0f;
    P.ps_col_ind = -1;
    P.line_width = 1.0f;
    P.line_type = 1.0f;
    return 0;
}

int gps_set_size(float long_side, float short_side) {
    P.sx = long_side;
    P.sy = short_side;
    return 0;
}
int gps_set_orient(int port) {
    P.pr_port = port;
    return 0;
}
int gps_set_EPS(int eps) {
    P.pr_eps = eps;
    return 0;
}
int gps_set_colorPS(int color) {
    P.pr_color = color;
    return 0;
}
int gps_get_colorPS() { return P.pr_color; }
int gps_set_reverse(int rev) {
    P.pr_rev = rev;
    return 0;
}
int gps_set_scale(float s) {
    P.pr_scale = s > 0 ? s : 1.0f;
    return 0;
}
int gps_set_base_width(float w) {
    P.base_width = w;
    return 0;
}

int gps_printf(const char *fmt, ...) {
    if (!P.out_file) return 0;
    va_list ap;
    va_start(ap, fmt);
    int n = std::vfprintf(P.out_file, fmt, ap);
    va_end(ap);
    return n;
}

int gps_init_file() {
    if (!P.out_file) return -1;
    const std::string t = gline_text(gget_win_title());
    const char *title = t.c_str();
    const char *black = P.pr_color ? "0 0 0 setrgbcolor\n" : "0 setgray\n";
    if (!P.append) {
        if (P.pr_eps) {
            gps_printf("%%!PS-Adobe-3.0 EPSF-3.0\n");
            // The box holds the whole drawing area of the page (a geometry
            // cell is only part of it), scaled as the plot is.
            const int w = static_cast<int>(std::ceil((P.sx - 0.5f) * 72 * P.pr_scale));
            const int h = static_cast<int>(std::ceil((P.sy - 0.5f) * 72 * P.pr_scale));
            if (P.pr_port)
                gps_printf("%%%%BoundingBox: 0 0 %d %d\n", h, w);
            else
                gps_printf("%%%%BoundingBox: 0 0 %d %d\n",
                           static_cast<int>(std::ceil(P.sy * 72)), w);
        } else {
            gps_printf("%%!PS-Adobe-1.0\n");
        }
        gps_printf("%%%%Title: ZUP Graphics Display: %s\n", title);
        gps_printf("%%%%Creator: ZUP Postscript Processor-2.0\n");
        gps_printf("%%%%CreationDate: %s", gcreation_date());
        gps_printf("%%%%EndComments\n");
        gps_printf("%%%%Postscript initialization\n");
        if (!P.pr_eps) {
            gps_printf("30 dict begin\n");
            gps_printf("/saveobj save def\n");
        }
        gps_printf("/inch {72 mul} def\n");
        gps_printf("/dot {.33 mul} def\n");
        gps_printf("/mv {moveto} def\n");
        gps_printf("/ln {lineto} def\n");
        gps_printf("/lw {setlinewidth} def\n");
        gps_printf("/np {newpath} def\n");
        gps_printf("/cp {closepath} def\n");
        if (!P.pr_port) {
            gps_printf("90 rotate\n");
            if (P.pr_eps) gps_printf("0. inch -%.2f inch translate\n", P.sy);
            else gps_printf(".25 inch -%.2f inch translate\n", P.sy - 0.25f);
        } else if (!P.pr_eps) {
            gps_printf(".25 inch .25 inch translate\n");
        }
        gps_printf("%s", black);
        gps_printf("2 setlinejoin\n");
        gps_printf("1 dot lw\n");
        gps_printf("[] 0 setdash\n");
        if (P.pr_scale != 1.0f) gps_printf("%.2f %.2f scale\n", P.pr_scale, P.pr_scale);
        gps_printf("%%%%Begin plot\n");
    } else {
        gps_printf("%s", black);
        gps_printf("1 dot lw\n");
        gps_printf("[] 0 setdash\n");
    }
    gps_printf("%%%%ZUP Plot: %s\n", title);
    return 0;
}

int gps_close_file() {
    if (!P.out_file) return -1;
    gps_printf("%%%%End of plot\n");
    if (!P.append) {
        if (!P.pr_eps) gps_printf("saveobj restore\n");
        gps_printf("showpage\n");
        if (!P.pr_eps) gps_printf("end\n");
        gps_printf("%%%%EOF\n");
    }
    FILE_close(P.out_file);
    P.out_file = nullptr;
    MESS_print(3840, "Created Postscript file\n");
    return 0;
}

int gps_move(float x, float y) { return gps_move_abs(xW_ps(x), yW_ps(y)); }
int gps_line(float x, float y) { return gps_line_abs(xW_ps(x), yW_ps(y)); }
int gps_move_abs(float x, float y) { return gps_printf("%3.2f %3.2f mv\n", x, y); }
int gps_line_abs(float x, float y) { return gps_printf("%3.2f %3.2f ln\n", x, y); }

int gps_set_color(int i) {
    float pg = print_gray(i);
    if (pg >= 0) {
        write_gray(pg);
    } else if (P.pr_color) {
        write_rgb(i, true);
    } else {
        write_gray(0.0f);
    }
    return 0;
}

int gps_set_fill_color(int i) {
    float pg = print_gray(i);
    if (P.pr_color) {
        if (pg >= 0) write_gray(pg);
        else write_rgb(i, false);
        return 0;
    }
    if (gget_fill_print_solid()) write_gray(0.0f);
    else if (i == -1) write_gray(1.0f);
    else if (pg >= 0) write_gray(pg);
    else write_gray(gps_get_gray(i), true);
    return 0;
}

int gps_set_width(int i, float w) {
    float eff;
    bool whole = true;
    if (i == 501 || i == 504 || i == 507) eff = std::round(2 * P.base_width * w);
    else if (i == 502 || i == 505 || i == 508) eff = std::round(4 * P.base_width * w);
    else {
        eff = gget_line_print_bold() * P.base_width * w;
        whole = false;
    }
    if (eff == P.line_width) return 0;
    P.line_width = eff;
    if (whole) gps_printf("%d dot lw\n", static_cast<int>(eff));
    else gps_printf("%2.1f dot lw\n", eff);
    return 0;
}

int gps_set_type(int t) {
    static const char *dash[] = {"[] 0 setdash\n", "[6] 0 setdash\n", "[3 6] 0 setdash\n",
                                 "[6 6 3 6] 0 setdash\n", "[2] 0 setdash\n"};
    if (t < 1 || t > 5 || static_cast<float>(t) == P.line_type) return 0;
    gps_printf("%s", dash[t - 1]);
    P.line_type = static_cast<float>(t);
    return 0;
}

int gps_set_color_rep(int i, float r, float g, float b) {
    int s = gray_slot(i);
    if (s < 0 || s > 256) return -1;
    // A colour written before is stale once its index changes.
    if (i == P.ps_col_ind) P.ps_col_ind = -1;
    float v = (0.9f * r + g + 0.8f * b) / 2.7f;
    P.gray[s] = P.pr_rev ? 1.0f - v : v;
    return 0;
}

float gps_get_gray(int i) {
    int s = gray_slot(i);
    if (s < 0 || s > 256) return 0.0f;
    return P.gray[s];
}

int gps_image_rgb(int width, int height, const unsigned char *rgb, const Glim *dev) {
    if (!P.out_file || !rgb || !dev || width < 1 || height < 1) return -1;
    const int comps = P.pr_color ? 3 : 1;
    gps_printf("%%%%IMAGE:%d %d\n", width, height);
    gps_printf("gsave\n");
    gps_printf("%3.2f %3.2f translate %3.2f %3.2f scale\n", dev->x_min, dev->y_min,
               dev->x_max - dev->x_min, dev->y_max - dev->y_min);
    gps_printf("/imgline %d string def\n", width * comps);
    gps_printf("%d %d 8 [%d 0 0 -%d 0 %d]\n", width, height, width, height, height);
    if (comps == 3)
        gps_printf("{currentfile imgline readhexstring pop} false 3 colorimage\n");
    else
        gps_printf("{currentfile imgline readhexstring pop} image\n");
    int col = 0;
    for (long k = 0; k < static_cast<long>(width) * height; ++k) {
        const unsigned char *px = rgb + 3 * k;
        if (comps == 3) {
            gps_printf("%02x%02x%02x", px[0], px[1], px[2]);
            col += 6;
        } else {
            float v = (0.9f * px[0] + px[1] + 0.8f * px[2]) / 2.7f;
            if (P.pr_rev) v = 255.0f - v;
            gps_printf("%02x", static_cast<int>(std::lround(v)));
            col += 2;
        }
        if (col >= 72) {
            gps_printf("\n");
            col = 0;
        }
    }
    if (col) gps_printf("\n");
    gps_printf("grestore\n");
    return 0;
}
