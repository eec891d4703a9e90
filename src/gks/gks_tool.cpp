// gks_tool.cpp - kernel control: the error stream, opening and closing the
// one workstation, device choice, page options and geometry of the file
// devices, messages, segments and the redraw hook.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gks.h"
#include "gks_dev.h"
#include "gks_loop.h"
#include "gks_obj.h"
#include "gks_x11.h"
#include "zup.h"
#include "zupresrc.h"

namespace {

struct KernelState {
    int win_type = 0;
    int open_graphics = 0;
    FILE *err_file = nullptr;
    bool err_is_stderr = false;
    int win_width = 640;
    int win_height = 512;
    int win_x = 0;
    int win_y = 0;
    int pix_mode = 0;
    int fixed_size = 0;
    int icon = 0;
    char prog_name[20] = "Z11_Adaza";
    char win_title[60] = "Z11_Adaza";
    char title_extra[60] = "";
    char geometry[40] = "";
    std::unique_ptr<GksDevice> dev;
    Gdevice_factory window_factory = gx11_make_device;
    Grecord_fn record = nullptr;
};

KernelState K;

std::vector<std::string> split_commas(const char *text) {
    std::vector<std::string> out;
    if (!text) return out;
    std::string cur;
    for (const char *p = text; *p; ++p) {
        if (*p == ',') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += *p;
        }
    }
    out.push_back(cur);
    return out;
}

bool same(const std::string &a, const char *b) { return stricmp(a.c_str(), b) == 0; }

bool starts(const std::string &a, const char *b) {
    return strnicmp(a.c_str(), b, static_cast<int>(std::strlen(b))) == 0;
}

const char *env_first(const char *a, const char *b) {
    const char *v = a ? std::getenv(a) : nullptr;
    if ((!v || !*v) && b) v = std::getenv(b);
    return (v && *v) ? v : nullptr;
}

// Page options of the PostScript and HPGL devices.
struct PageOptions {
    float long_side;
    float short_side;
    int port = 0;
    int eps = 0;
    int color = 0;
    float scale = 1.0f;
    float lwidth = -1.0f;
    int pcl = 1;
    int rot = 0;
};

void parse_page_option(const std::string &opt, PageOptions &o, bool hpgl) {
    if (opt.empty()) return;
    float a = 0, b = 0;
    if (same(opt, "port")) {
        o.port = 1;
        if (hpgl) o.rot = 90;
    } else if (same(opt, "land")) {
        o.port = 0;
        if (hpgl) o.rot = 0;
    } else if (!hpgl && same(opt, "eps")) {
        o.eps = 1;
    } else if (!hpgl && same(opt, "noeps")) {
        o.eps = 0;
    } else if (same(opt, "color")) {
        o.color = 1;
        gset_inverse(1);
    } else if (same(opt, "gray")) {
        o.color = 0;
    } else if (starts(opt, "scale")) {
        if (opt.size() > 6) o.scale = static_cast<float>(std::atof(opt.c_str() + 6));
    } else if (starts(opt, "lwidth")) {
        if (opt.size() > 7) o.lwidth = static_cast<float>(std::atof(opt.c_str() + 7));
    } else if (starts(opt, "sz")) {
        if (opt.size() > 3 && std::sscanf(opt.c_str() + 3, "%fx%f", &a, &b) == 2 && a > 0.5f &&
            b > 0.5f && a < 1000 && b < 1000) {
            o.long_side = a;
            o.short_side = b;
        }
    } else if (gpaper_size(opt.c_str(), &a, &b)) {
        o.long_side = a;
        o.short_side = b;
    } else if (hpgl && same(opt, "pcl")) {
        o.pcl = 1;
    } else if (hpgl && same(opt, "nopcl")) {
        o.pcl = 0;
    } else if (hpgl && same(opt, "lj")) {
        o.pcl = 2;
    } else if (hpgl && starts(opt, "rot")) {
        if (opt.size() > 4) o.rot = std::atoi(opt.c_str() + 4);
    } else if (hpgl && starts(opt, "roll")) {
        float len = opt.size() > 5 ? static_cast<float>(std::atof(opt.c_str() + 5)) : 0.0f;
        if (len > 0.5f && len < 1000) {
            o.long_side = len;
            o.short_side = 23.5f;
        }
    }
}

void gather_page_options(const char *env, const std::vector<std::string> &fields,
                         PageOptions &o, bool hpgl) {
    if (const char *e = env_first(env, nullptr)) {
        for (const auto &s : split_commas(e)) parse_page_option(s, o, hpgl);
    }
    for (size_t i = 1; i < fields.size(); ++i) parse_page_option(fields[i], o, hpgl);
}

// File device geometry: the resource, then the device's variables.
const char *file_geometry(const char *env1, const char *env2) {
    if (K.geometry[0]) return K.geometry;
    const char *g = RES_get("geometry");
    if (g && *g) return g;
    return env_first(env1, env2);
}

int open_postscript(const std::vector<std::string> &f) {
    std::string name = !f.empty() && !f[0].empty() ? f[0] : "";
    if (name.empty()) {
        const char *e = env_first("zupps_print", "PSPRINT");
        name = e ? e : "zup.ps";
    }
    PageOptions o;
    o.long_side = 11.0f;
    o.short_side = 8.5f;
    o.color = std::getenv("PSCOLOR") ? 1 : 0;
    gather_page_options("zupps_param", f, o, false);
    float w = (o.long_side - 0.5f) * 72.0f, h = (o.short_side - 0.5f) * 72.0f;
    if (o.port) std::swap(w, h);
    K.win_width = static_cast<int>(w);
    K.win_height = static_cast<int>(h);
    K.win_x = K.win_y = 0;
    gapply_geometry(file_geometry("zupps_geometry", "PSGEOMETRY"), 0.72f, 0, &K.win_width,
                    &K.win_height, &K.win_x, &K.win_y);
    gps_init();
    if (!gps_open_file(name.c_str())) {
        gerr_printf("gopen_ws", "unable to open postscript file\n");
        return -1;
    }
    gps_set_size(o.long_side, o.short_side);
    gps_set_orient(o.port);
    gps_set_EPS(o.eps);
    gps_set_colorPS(o.color);
    gps_set_scale(o.scale);
    gps_set_base_width(o.lwidth > 0 ? o.lwidth : 1.0f);
    gps_init_file();
    gdev_set(gps_make_device());
    return 0;
}

int open_hpgl(const std::vector<std::string> &f) {
    std::string name = !f.empty() && !f[0].empty() ? f[0] : "";
    if (name.empty()) {
        const char *e = env_first("zuphp_out", nullptr);
        name = e ? e : "zup.hpgl";
    }
    PageOptions o;
    o.long_side = 10.5f;
    o.short_side = 8.0f;
    o.color = std::getenv("PSCOLOR") ? 1 : 0;
    gather_page_options("zuphp_param", f, o, true);
    float w = (o.long_side - 0.5f) * 1015.0f, h = (o.short_side - 0.5f) * 1015.0f;
    int turn = ((o.pcl == 2 ? 90 : 0) + o.rot) % 180;
    if (turn == 90) std::swap(w, h);
    K.win_width = static_cast<int>(w);
    K.win_height = static_cast<int>(h);
    K.win_x = K.win_y = 10;
    gapply_geometry(file_geometry("zuphp_geometry", nullptr), 10.15f, 1, &K.win_width,
                    &K.win_height, &K.win_x, &K.win_y);
    ghpgl_init();
    if (!ghpgl_open_file(name.c_str())) {
        gerr_printf("gopen_ws", "unable to open HPGL file\n");
        return -1;
    }
    ghpgl_set_pcl(o.pcl);
    ghpgl_set_rotate(o.rot);
    ghpgl_set_scale(o.scale);
    ghpgl_set_colorPS(o.color);
    ghpgl_set_base_width(o.lwidth > 0 ? o.lwidth : 0.2f);
    ghpgl_init_file();
    gdev_set(ghpgl_make_device());
    return 0;
}

int open_metafile(const std::vector<std::string> &f) {
    int type = 0;
    for (size_t i = 1; i < f.size(); ++i) {
        if (same(f[i], "cgm")) type = 1;
        if (same(f[i], "zup")) type = 0;
    }
    gmeta_set_type(type);
    K.win_width = 1000;
    K.win_height = 800;
    K.win_x = K.win_y = 0;
    const char *g = K.geometry[0] ? K.geometry : RES_get("geometry");
    gapply_geometry(g, 1.0f, 0, &K.win_width, &K.win_height, &K.win_x, &K.win_y);
    std::string name = !f.empty() && !f[0].empty() ? f[0] : "";
    if (name.empty()) {
        const char *e = env_first("zupmeta_out", nullptr);
        name = e ? e : (type ? "zup.cgm" : "zup.meta");
    }
    if (!gmeta_open_file(name.c_str())) {
        gerr_printf("gopen_ws", "unable to open metafile\n");
        return -1;
    }
    gmeta_init_file();
    gdev_set(gmeta_make_device());
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Device holder

GksDevice *gdev() { return K.dev.get(); }

void gdev_set(std::unique_ptr<GksDevice> dev) { K.dev = std::move(dev); }

void gdev_close() {
    if (K.dev) K.dev->close();
    K.dev.reset();
}

std::unique_ptr<GksDevice> gdev_swap(std::unique_ptr<GksDevice> dev) {
    std::swap(K.dev, dev);
    return dev;
}

void gset_window_factory(Gdevice_factory f) { K.window_factory = f; }

bool gcheck_open(const char *func) {
    if (K.open_graphics && K.dev) return true;
    gerr_printf(func, "GKS not opened\n");
    return false;
}

void gset_record_hook(Grecord_fn fn) { K.record = fn; }

void *grecord(int type, int values, int size, const void *data) {
    if (K.dev && !K.dev->keeps_display_list()) return nullptr;
    // Without a hook of its own the kernel records into the display list.
    return K.record ? K.record(type, values, size, data) : gnew_obj(type, values, size, data);
}

// ---------------------------------------------------------------------------
// Kernel control

int gopen_gks(const char *errfile, int) {
    if (K.err_file && !K.err_is_stderr) FILE_close(K.err_file);
    K.err_file = nullptr;
    if (errfile) {
        K.err_file = FILE_open(errfile, "w");
        K.err_is_stderr = false;
    } else {
        K.err_file = stderr;
        K.err_is_stderr = true;
    }
    return K.err_file ? 0 : 1;
}

int gclose_gks() {
    if (K.err_file && !K.err_is_stderr) FILE_close(K.err_file);
    K.err_file = nullptr;
    K.err_is_stderr = false;
    return 0;
}

int gemergency_close_gks() { return 0; }

int gerr_printf(const char *func, const char *fmt, ...) {
    if (!K.err_file) return 0;
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    size_t n = std::strlen(text);
    const char *nl = (n > 0 && text[n - 1] == '\n') ? "" : "\n";
    MESS_print(192, "%s: %s%s", func ? func : "gks", text, nl);
    if (!K.err_is_stderr) {
        std::fprintf(K.err_file, "%s: %s%s", func ? func : "gks", text, nl);
        std::fflush(K.err_file);
    }
    return 0;
}

int gdevice_type(const char *word) {
    if (!word) return GWS_WIN;
    switch (word[0]) {
    case 'P': case 'p': return GWS_PS;
    case 'H': case 'h': case 'Q': case 'q': return GWS_HPGL;
    case 'M': case 'm': return GWS_META;
    case 'W': case 'w': return GWS_PIX;
    default: return GWS_WIN;
    }
}

int gdevice_setup(const char *text, char *rest) {
    char dev[FILE_NAME_LEN] = "";
    if (rest) rest[0] = '\0';
    if (!text) return GWS_WIN;
    const char *comma = std::strchr(text, ',');
    if (comma) {
        size_t n = static_cast<size_t>(comma - text);
        if (n >= sizeof dev) n = sizeof dev - 1;
        std::memcpy(dev, text, n);
        dev[n] = '\0';
        if (rest) copy_field(rest, FILE_NAME_LEN, comma + 1);
    } else {
        copy_field(dev, text);
    }
    return gdevice_type(dev);
}

int gpaper_size(const char *name, float *long_side, float *short_side) {
    static const struct { const char *name; float l, s; } sizes[] = {
        {"letter", 11, 8.5f},     {"legal", 14, 8.5f},      {"11x17", 17, 11},
        {"a4", 11.69f, 8.26f},    {"a3", 16.54f, 11.69f},   {"a2", 23.39f, 16.54f},
        {"a1", 33.11f, 23.39f},   {"b4", 14.33f, 10.12f},   {"b3", 20.27f, 14.33f},
        {"b2", 28.66f, 20.27f},   {"b1", 40.55f, 28.66f},   {"ansid", 34, 22},
    };
    if (!name) return 0;
    for (const auto &s : sizes) {
        if (stricmp(name, s.name) == 0) {
            if (long_side) *long_side = s.l;
            if (short_side) *short_side = s.s;
            return 1;
        }
    }
    return 0;
}

int gapply_geometry(const char *geom, float unit_scale, int hpgl, int *width, int *height,
                    int *xoff, int *yoff) {
    if (!geom || !*geom || !width || !height || !xoff || !yoff) return 0;
    if (geom[0] == 'P' || geom[0] == 'p') {
        float cols = 0, rows = 0, col = 0, row = 0;
        if (std::sscanf(geom + 1, "%fx%f+%f+%f", &cols, &rows, &col, &row) < 2) return 0;
        if (cols <= 1) return 0;
        cols = std::min(8.0f, std::max(1.0f, cols));
        rows = std::min(8.0f, std::max(1.0f, rows));
        *xoff = static_cast<int>(*width * col / cols);
        *yoff = static_cast<int>(*height * (1.0f - (row + 1.0f) / rows));
        *width = static_cast<int>(*width / cols);
        *height = static_cast<int>(*height / rows);
        return 1;
    }
    int w = 0, h = 0, x = 0, y = 0;
    int n = std::sscanf(geom, "%dx%d%d%d", &w, &h, &x, &y);
    float add = hpgl ? 10.0f : 0.0f;
    auto units = [unit_scale](int v) { return static_cast<int>(std::lround(v * unit_scale)); };
    if (n >= 2) {
        *width = units(w);
        *height = units(h);
        if (n == 4) {
            *xoff = units(x) + static_cast<int>(add);
            *yoff = units(y) + static_cast<int>(add);
        }
        return 1;
    }
    n = hpgl ? std::sscanf(geom, "+%d+%d", &x, &y) : std::sscanf(geom, "%d%d", &x, &y);
    if (n == 2) {
        *xoff = units(x) + static_cast<int>(add);
        *yoff = units(y) + static_cast<int>(add);
        return 1;
    }
    return 0;
}

int gopen_ws(int, const char *connection, int type) {
    if (K.open_graphics) gclose_ws(1);
    std::vector<std::string> fields = split_commas(connection ? connection : "");
    if (type == GWS_PS) {
        const char *pr = std::getenv("zupprint");
        if (pr && stricmp(pr, "hpgl") == 0) type = GWS_HPGL;
    }
    K.win_type = type;
    int rc = -1, dev_class = 0;
    switch (type) {
    case GWS_PS:
        rc = open_postscript(fields);
        dev_class = 2;
        break;
    case GWS_HPGL:
        rc = open_hpgl(fields);
        dev_class = 3;
        break;
    case GWS_META:
        rc = open_metafile(fields);
        dev_class = 4;
        break;
    case GWS_WIN:
    case GWS_PIX:
        if (type == GWS_WIN) {
            if (auto d = graster_fallback(connection)) {
                gdev_set(std::move(d));
                rc = 0;
                break;
            }
        }
        if (K.window_factory) {
            auto d = K.window_factory(connection, type);
            if (d) {
                gdev_set(std::move(d));
                rc = 0;
            }
        } else {
            MESS_print(192, "gopen_ws: unable to connect to display\n");
        }
        dev_class = 0;
        break;
    default:
        gerr_printf("gopen_ws", "invalid workstation type: %d\n", type);
        break;
    }
    if (rc != 0) {
        K.dev.reset();
        return -1;
    }
    // Event processing and redraw recording belong to the new window only.
    gset_cache(type == GWS_WIN ? 1 : 0);
    K.open_graphics = 1;
    ginit_objs();
    ginit_xcolr();
    ginit_plot(dev_class);
    gsetup_fonts();
    ginit_background();
    K.dev->opened();
    return 0;
}

int gactivate_ws(int) { return 0; }
int gdeactivate_ws(int) { return 0; }

int gclose_ws(int) {
    if (!K.open_graphics && !K.dev) return -1;
    gdev_close();
    K.win_width = 0;
    K.win_height = 0;
    K.open_graphics = 0;
    return 0;
}

int gclear_ws(int, int) {
    if (K.open_graphics && K.dev) K.dev->clear();
    return 0;
}

int ginit_plot(int dev_class) {
    if (dev_class == -1) return -1;
    greset_text();
    greset_line();
    greset_marker();
    greset_fill();
    // The loop settings start afresh when a workstation opens, not when a
    // window is re-initialised after a resize (class 1).
    if (dev_class != 1) ginit_loop();
    ginit_tran(dev_class);
    if (K.dev) K.dev->init_plot(dev_class);
    return 0;
}

int gmessage(int, const char *text) {
    if (!text) return -1;
    grecord(5, 0, static_cast<int>(std::strlen(text)) + 1, text);
    if (K.dev) K.dev->message(text);
    return 0;
}

namespace {
int segment(const char *tag, int code, int n) {
    if (K.dev && K.dev->segment(tag, n) < 0) return -1;
    if (code) grecord(code, n, 0, nullptr);
    return 0;
}
}  // namespace

int gcreate_seg(int n) { return segment("SEG_CR", 81, n); }
int gclose_seg(int n) { return segment("SEG_CL", 82, n); }
int gdel_seg(int n) {
    if (segment("SEG_DE", 0, n) < 0) return -1;
    gdel_seg_objs(n);
    return 0;
}

int gclear_region(const Glim *r) {
    if (!r || !gcheck_open("gclear_region")) return -1;
    grecord(25, 0, sizeof *r, r);
    Gpt a = gto_device({r->x_min, r->y_min}), b = gto_device({r->x_max, r->y_max});
    Glim d = {a.x, b.x, a.y, b.y};
    char buf[160];
    std::snprintf(buf, sizeof buf, "CLR_REG %f %f %f %f\n", r->x_min, r->y_min, r->x_max,
                  r->y_max);
    K.dev->record(buf);
    if (!K.dev->records_world()) K.dev->clear_region(d);
    return 0;
}

// ---------------------------------------------------------------------------
// Queries and setters

int gget_win_size(int *width, int *height) {
    if (width) *width = K.win_width;
    if (height) *height = K.win_height;
    return 0;
}

int gset_win_size(int width, int height) {
    K.win_width = width;
    K.win_height = height;
    ginit_tran(10);
    return 0;
}

int gget_win_offset(int *x, int *y) {
    if (x) *x = K.win_x;
    if (y) *y = K.win_y;
    return 0;
}

int gset_win_type(int type) {
    K.win_type = type;
    return 0;
}
int gget_win_type() { return K.win_type; }
int gset_pix_mode(int mode) {
    K.pix_mode = mode;
    return 0;
}
int gget_pix_mode() { return K.pix_mode; }
int gchk_graphics() { return K.open_graphics; }

int gset_prog_name(const char *name) {
    copy_field(K.prog_name, name ? name : "");
    return 0;
}
const char *gget_prog_name() { return K.prog_name; }

int gset_win_title(const char *title) {
    copy_field(K.win_title, title ? title : "");
    if (K.dev) K.dev->set_title(K.win_title, K.title_extra);
    return 0;
}
const char *gget_win_title() { return K.win_title; }

int gset_win_title_extra(const char *text) {
    copy_field(K.title_extra, text ? text : "");
    if (K.dev) K.dev->set_title(K.win_title, K.title_extra);
    return 0;
}

const char *gget_win_title_extra() { return K.title_extra; }

int gset_geometry(const char *geometry) {
    copy_field(K.geometry, geometry ? geometry : "");
    return 0;
}
const char *gget_geometry() { return K.geometry; }

int gset_fixed_size(int on) {
    K.fixed_size = on;
    return 0;
}
int gget_fixed_size() { return K.fixed_size; }
int gset_iconic(int on) {
    K.icon = on;
    return 0;
}
int gget_iconic() { return K.icon; }

int gset_win_offset(int x, int y) {
    K.win_x = x;
    K.win_y = y;
    return 0;
}
