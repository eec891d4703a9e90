// plt_tool.cpp - the plot framework: plot parameters, page and panel
// set-up on the workstation, the end of a plot (with the batch detach),
// image dumps and the window-event handlers for zoom, resize and refresh.
#include <sys/file.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "gks.h"
#include "gks_dev.h"
#include "gks_evnt.h"
#include "gks_loop.h"
#include "gks_obj.h"
#include "grib.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgks.h"
#include "zupgrd.h"
#include "zupimg.h"
#include "zupplt.h"
#include "zupresrc.h"

namespace {

constexpr int kDumpNameLen = 60;

PLT_params default_params() {
    PLT_params p{};
    p.id_type = 0;
    p.over_base = 0;
    p.num_over = 0;
    p.lalo[0] = p.lalo[1] = MISSING_F;
    p.lalo_opt[0] = p.lalo_opt[1] = MISSING;
    p.grid_factor = MISSING_F;
    p.plt_skip[0] = p.plt_skip[1] = MISSING;
    p.plt_off[0] = p.plt_off[1] = MISSING_F;
    p.plt_grid = 0;
    p.loc_prior = MISSING;
    p.redraw = 1;
    p.loop_title = 1;
    p.gif_interlace = 0;
    p.gif_transparent = 0;
    p.bar = 0;
    p.bar_range[0] = p.bar_range[1] = MISSING_F;
    p.shadow = 0;
    return p;
}

struct PlotState {
    int work_id = 1;
    int wk_type = 0;
    Glim dis_view = {0.0f, 1.0f, 0.0f, 1.0f};
    Glim view_off = {0.0f, 0.0f, 0.04f, 0.04f};
    float view_offset = 0.04f;
    int border = 1;
    int zoom = 0;
    int dump = PLT_DUMP_NONE;
    char dump_file[kDumpNameLen] = "";
    int full_lab = 0;
    PLT_callback_fn callback = nullptr;
    PLT_domain_fn zoom_func = nullptr;
    PLT_domain_fn resize_func = nullptr;
    PLT_domain_fn refresh_func = nullptr;
    PLT_params params = default_params();
    // zoom rectangle and the domain before the first zoom
    bool rect_pending = false;
    Gpt rect_start = {0.0f, 0.0f};
    Domain saved{};
};

PlotState S;

bool plotting_off() { return !FLAG_getplot(12) || FLAG_get(11) == 99; }

// ---------------------------------------------------------------------------
// Plot parameters

// The value of an item "key" + one separator character + value: null when
// the item is not that key.  A bare key gives "" when bare_ok.
const char *keyed(const char *item, const char *key, bool bare_ok = false) {
    int n = static_cast<int>(std::strlen(key));
    if (strnicmp(item, key, n) != 0) return nullptr;
    char c = item[n];
    if (c == '\0') return bare_ok ? item + n : nullptr;
    // letters, digits and "_" continue a longer word ("gif_inter", "fullab")
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        c == '_')
        return nullptr;
    return item + n + 1;
}

void bad_value(const char *item) {
    MESS_print(192, "PLT_param_decode: Bad plot parameter value: %s\n",
               gline_text(item).c_str());
}

// "%f:%f" (or "%d:%d") with the second value defaulting to the first.
template <typename T>
bool read_pair(const char *v, const char *fmt, T out[2], const char *item) {
    T a{}, b{};
    int got = std::sscanf(v, fmt, &a, &b);
    if (got < 1) {
        bad_value(item);
        return false;
    }
    out[0] = a;
    out[1] = got >= 2 ? b : a;
    return true;
}

bool read_int(const char *v, int *out, const char *item) {
    if (std::sscanf(v, "%d", out) != 1) {
        bad_value(item);
        return false;
    }
    return true;
}

struct Switch {
    const char *word;
    void (*apply)();
};

// Items without a value.
const Switch kSwitches[] = {
    {"full", [] { S.view_off = {0, 0, 0, 0}; }},
    {"fullab", [] { S.view_off = {0, 0, 0, 0}; S.full_lab = 1; }},
    {"nopage", [] { MESS_set_page(0); }},
    {"page", [] { MESS_set_page(2); }},
    {"noredraw", [] { S.params.redraw = 0; gset_redraw(0); }},
    {"id", [] { S.params.id_type = 0; }},
    {"wmo", [] { S.params.id_type = 1; }},
    {"cod_wmo", [] { S.params.id_type = 2; }},
    {"gif_inter", [] { S.params.gif_interlace = 1; GIF_interlace(1); }},
    {"gif_norm", [] { S.params.gif_interlace = 0; GIF_interlace(0); }},
    {"gif_trans", [] { S.params.gif_transparent = 1; GIF_transparent(1); }},
    {"inv", [] { gset_inverse(1); }},
    {"lcmap", [] { gset_local_colormap(1); }},
    {"nolcmap", [] { gset_local_colormap(0); }},
    {"rwclr", [] { gset_rw_colors(1); }},
    {"norwclr", [] { gset_rw_colors(0); }},
    {"nolooptitle", [] { S.params.loop_title = 0; gset_loop_title(0); }},
    {"pscolor", [] { gps_set_colorPS(1); gset_inverse(1); }},
    {"psrev", [] { gps_set_reverse(1); }},
    {"clear", [] { gset_pix_mode(1); }},
    {"new", [] { gset_pix_mode(2); }},
    {"kill", [] { gset_pix_mode(9); }},
    {"nobar", [] { S.params.bar = 0; }},
    {"nohdr", [] { GRD_use_hdr_file(0); }},
};

// Image dump items: "gif", "png", "img", "xwd", each with an optional file.
struct DumpWord {
    const char *word;
    int type;
};
const DumpWord kDumpWords[] = {
    {"gif", PLT_DUMP_GIF}, {"png", PLT_DUMP_PNG}, {"img", PLT_DUMP_IMG}, {"xwd", PLT_DUMP_XWD}};

bool dump_item(const char *item, bool gif_png_only) {
    for (const DumpWord &w : kDumpWords) {
        if (gif_png_only && w.type != PLT_DUMP_GIF && w.type != PLT_DUMP_PNG) continue;
        if (const char *v = keyed(item, w.word, true)) {
            PLT_set_dump(w.type, v);
            return true;
        }
    }
    return false;
}

// One item with a value.  -> true when the item was one of ours
bool valued_item(const char *item) {
    const char *v;
    PLT_params &p = S.params;
    if ((v = keyed(item, "tz"))) {
        DATE_set_TZ(v);
    } else if ((v = keyed(item, "over"))) {
        int pair[2];
        if (read_pair(v, "%d:%d", pair, item)) {
            p.over_base = pair[0];
            p.num_over = pair[1];
            PLT_set_overlay_base(pair[0]);
            PLT_set_num_overlay(pair[1]);
        }
    } else if ((v = keyed(item, "lalo"))) {
        float a = 0, b = 0;
        int c = MISSING, d = MISSING;
        int got = std::sscanf(v, "%f:%f:%d:%d", &a, &b, &c, &d);
        if (got < 1) {
            bad_value(item);
        } else {
            p.lalo[0] = a;
            p.lalo[1] = got >= 2 ? b : a;
            p.lalo_opt[0] = got >= 3 ? c : MISSING;
            p.lalo_opt[1] = got >= 4 ? d : MISSING;
        }
    } else if (strnicmp(item, "gridx", 5) == 0) {
        float f = 0;
        if (std::sscanf(item + 5, "%f", &f) == 1) p.grid_factor = f;
        else bad_value(item);
    } else if ((v = keyed(item, "plt_skip"))) {
        read_pair(v, "%d:%d", p.plt_skip, item);
    } else if ((v = keyed(item, "plt_off"))) {
        read_pair(v, "%f:%f", p.plt_off, item);
    } else if ((v = keyed(item, "plt_grid", true))) {
        int n = 1;
        if (*v && !read_int(v, &n, item)) n = 1;
        p.plt_grid = n;
    } else if ((v = keyed(item, "loc_pr"))) {
        read_int(v, &p.loc_prior, item);
    } else if ((v = keyed(item, "vp_size"))) {
        PLT_panel_decode(v);
    } else if ((v = keyed(item, "font"))) {
        copy_field(p.font, v);
        GPH_set_def_font(p.font);
    } else if ((v = keyed(item, "bar", true))) {
        p.bar = 1;
        if (*v) read_pair(v, "%f:%f", p.bar_range, item);
    } else if ((v = keyed(item, "shadow"))) {
        int n = 0;
        if (read_int(v, &n, item)) {
            p.shadow = n < 1 ? 4 : n;
            gset_font_drop(p.shadow);
        }
    } else if ((v = keyed(item, "max_bad"))) {
        int n = 0;
        if (read_int(v, &n, item)) GRIB_set_max_bad(n < 1 ? 5 : n);
    } else if ((v = keyed(item, "min_size"))) {
        int n = 0;
        if (read_int(v, &n, item)) FILE_set_min_size(n < 1 ? 0 : n);
    } else if ((v = keyed(item, "grdfmt"))) {
        copy_field(p.grid_format, v);
    } else {
        return dump_item(item, false);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Redraws for the window events

void print_domain(const char *title, const Domain &d) {
    MESS_print(512, "%s%d,%g,%g,%d,%d,%g,%g\n", title, d.proj, d.clat, d.clon, d.nx, d.ny,
               d.dx, d.dy);
}

// Calls a redraw function with the domain in transformation 0 under the
// wait cursor, then back to transformation 2 and the updated window.
void redraw_with(PLT_domain_fn f, Domain *dom) {
    if (!f) return;
    int cursor = gset_cursor(8);
    GPH_trans(0);
    f(dom);
    GPH_trans(2);
    gupdate_window();
    gset_cursor(cursor);
}

// The domain inside the rectangle (x1, y1)-(x2, y2) of the current one.
Domain zoomed_domain(float x1, float y1, float x2, float y2) {
    Domain d;
    MAP_get_domain(&d);
    float xl = x1 < x2 ? x1 : x2, xh = x1 < x2 ? x2 : x1;
    float yl = y1 < y2 ? y1 : y2, yh = y1 < y2 ? y2 : y1;
    if (d.proj >= 1 && d.proj <= 9) {
        // maps keep their projection centre and take the rectangle's middle
        if (d.plat == MISSING_F) d.plat = d.clat;
        if (d.plon == MISSING_F) d.plon = d.clon;
        float lat = 0, lon = 0;
        MAP_untran((xl + xh) / 2, (yl + yh) / 2, &lat, &lon);
        d.clat = lat;
        d.clon = lon;
        float sx = d.nx > 1 ? (xh - xl) / static_cast<float>(d.nx - 1) : xh - xl;
        float sy = d.ny > 1 ? (yh - yl) / static_cast<float>(d.ny - 1) : yh - yl;
        d.dx = d.dy = sx > sy ? sx : sy;
    } else if (d.proj == MAP_hodo) {
        // the hodograph's domain is its plane rectangle
        d.clat = xl;
        d.clon = yl;
        d.dx = xh - xl;
        d.dy = yh - yl;
    } else {
        // diagrams: the lower-left corner and the extents along the bottom
        // and the left edge (the same as the upper-right corner where the
        // axes are not skewed)
        float lat0 = 0, lon0 = 0, lat1 = 0, lon1 = 0, lat2 = 0, lon2 = 0;
        MAP_untran(xl, yl, &lat0, &lon0);
        MAP_untran(xh, yl, &lat1, &lon1);
        MAP_untran(xl, yh, &lat2, &lon2);
        d.clat = lat0;
        d.clon = lon0;
        d.dx = lat1 - lat0;
        d.dy = lon2 - lon0;
    }
    return d;
}

// ---------------------------------------------------------------------------
// Image dumps.  The raster writers read the window (or the selected loop
// frame) and write one file each; they report 1 on success.

using DumpWriter = int (*)(const char *file);

struct DumpKind {
    const char *name;    // as in the messages
    DumpWriter write;
};

// Indexed by the dump type.
const DumpKind kDumpKinds[] = {
    {"", nullptr},          // none
    {"xdump", XWD_dump},
    {"GIF", GIF_dump},
    {"IMG", IMG_dump},
    {"PNG", PNG_dump},
};

// Builds the file name of one dump: the dump file is the name template,
// key "i" the frame ("%2.2d") or "win", key "p" the window title.
void dump_name(int frame, char *out) {
    char old_i[32] = "", old_p[32] = "";
    int had_i = FILE_get_key('i', old_i);
    int had_p = FILE_get_key('p', old_p);
    char frame_key[16];
    if (frame >= 0) std::snprintf(frame_key, sizeof frame_key, "%2.2d", frame);
    else copy_field(frame_key, "win");
    FILE_set_key('i', frame_key);
    FILE_set_key('p', gget_win_title());

    char tmpl[kDumpNameLen + 1] = "@";
    copy_field(tmpl + 1, kDumpNameLen, S.dump_file);
    FILE_save_name_conv();
    FILE_set_name(tmpl);
    char name[FILE_NAME_LEN] = "";
    Date date;
    PLT_get_label_date(&date);  // the date of the data
    FILE_set_date(&date, name);
    FILE_restore_name_conv();
    FILE_set_key('i', had_i ? old_i : "");
    FILE_set_key('p', had_p ? old_p : "");

    FILE_add_res_path("image_path", name, out);
}

// Writes one dump file.  -> true when written
bool write_dump(int frame) {
    char file[FILE_NAME_LEN];
    dump_name(frame, file);
    const DumpKind &k = kDumpKinds[S.dump];
    if (k.write && k.write(file) == 1) {
        MESS_print(3840, "Wrote %s file: %s\n", k.name, file);
        return true;
    }
    MESS_print(192, "PLT_dump: Unable to write %s file: %s\n", k.name, file);
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Page set-up

int PLT_open(float aspect) {
    PLT_param_decode();
    S.dis_view = S.view_off;
    if (plotting_off()) return -1;
    // a batch image dump without a display is drawn off-screen
    gset_raster_fallback(S.dump != PLT_DUMP_NONE && FLAG_batch());
    GPH_setup(&S.work_id, &S.wk_type, aspect, &S.dis_view);
    return 0;
}

int PLT_reset(float aspect) {
    S.dis_view = S.view_off;
    int t = PLT_get_label_type();
    PLT_set_label_type(t < -1 ? -1 : (t > 1 ? 1 : t));
    if (plotting_off()) return -1;
    GPH_reset(&S.work_id, &S.wk_type, aspect, &S.dis_view);
    return 0;
}

int PLT_panel(float aspect) {
    if (aspect == 0) {
        float h = S.dis_view.y_max - S.dis_view.y_min;
        aspect = h > 0 ? (S.dis_view.x_max - S.dis_view.x_min) / h : 1.0f;
    }
    S.dis_view = S.view_off;
    return GPH_panel(&S.work_id, &S.wk_type, aspect, &S.dis_view);
}

int PLT_close() {
    if (FLAG_batch()) {
        // The rest of the run goes on in the background.  The output file
        // stays locked (flock) by the background process until it is
        // complete, so a script can wait for it with "flock file true".
        GksDevice *dev = gdev();
        FILE *out = dev ? dev->output_stream() : nullptr;
        if (out == stdout) {
            // output on the standard output would be cut off: stay
        } else {
            if (out) {
                std::fflush(out);
                flock(fileno(out), LOCK_EX | LOCK_NB);
            }
            if (!ZUP_back_proc()) ZUP_exit(1);
        }
    }
    if (FLAG_get(11) == 99) return -1;
    GPH_trans(2);
    if (GPH_is_open()) {
        if (S.dump == PLT_DUMP_NONE) GPH_hold(&S.work_id);
        gclear_ws(S.work_id, 1);
        GPH_end(&S.work_id);
    }
    PLT_init_labels();
    return 0;
}

void PLT_exit(int status) {
    GPH_end(&S.work_id);
    ZUP_exit(status);
}

int PLT_mess(const char *fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt ? fmt : "", ap);
    va_end(ap);
    return gmessage(S.work_id, buf);
}

int PLT_border(int flag) {
    S.border = flag;
    return 0;
}

int PLT_get_border() { return S.border; }

int PLT_set_view_offset(float v) {
    S.view_offset = v;
    S.view_off = {0.0f, 0.0f, v, v};
    return 0;
}

int PLT_set_view_offsets(float left, float right, float bottom, float top) {
    S.view_off = {left, right, bottom, top};
    return 0;
}

float PLT_get_view_offset() { return S.view_offset; }

int PLT_get_view_offsets(float *left, float *right, float *bottom, float *top) {
    if (left) *left = S.view_off.x_min;
    if (right) *right = S.view_off.x_max;
    if (bottom) *bottom = S.view_off.y_min;
    if (top) *top = S.view_off.y_max;
    return 0;
}

int PLT_get_view(Glim *view) {
    if (view) *view = S.dis_view;
    return 0;
}

int PLT_get_work_type() { return S.wk_type; }
int PLT_get_full_lab() { return S.full_lab; }

// ---------------------------------------------------------------------------
// Callbacks and window events

int PLT_set_callback(PLT_callback_fn f) {
    S.callback = f;
    if (f) gset_mouse_callback(f);
    return 0;
}

PLT_callback_fn PLT_get_callback() { return S.callback; }

int PLT_set_zoom(int n) {
    S.zoom = n;
    return 0;
}

int PLT_get_zoom() { return S.zoom; }

int PLT_set_zoom_func(PLT_domain_fn f) {
    S.zoom_func = f;
    return 0;
}

int PLT_set_resize_func(PLT_domain_fn f) {
    S.resize_func = f;
    return 0;
}

int PLT_set_refresh_func(float seconds, PLT_domain_fn f) {
    S.refresh_func = f;
    gset_refresh_callback(seconds, f ? PLT_plot_refresh : nullptr);
    return 0;
}

int PLT_plot_zoom(const char *event, float x, float y) {
    if (!event) return 0;
    if (std::strcmp(event, "B1-P-Shft") == 0) {
        S.rect_pending = true;
        S.rect_start = {x, y};
        gset_rubber_band_points(&S.rect_start, 1, 0);
        gset_rubber_band(2);
        return 1;
    }
    if (S.rect_pending && std::strncmp(event, "B1-R", 4) == 0) {
        S.rect_pending = false;
        gset_rubber_band(0);
        if (x == S.rect_start.x || y == S.rect_start.y) return 1;
        Domain d = zoomed_domain(S.rect_start.x, S.rect_start.y, x, y);
        if (S.zoom == 0) MAP_get_domain(&S.saved);
        ++S.zoom;
        print_domain("New domain: ", d);
        redraw_with(S.zoom_func, &d);
        return 1;
    }
    S.rect_pending = false;
    if (std::strcmp(event, "u-Alt") == 0 && S.zoom >= 1) {
        S.zoom = 0;
        Domain d = S.saved;
        print_domain("Original domain: ", d);
        redraw_with(S.zoom_func, &d);
        return 1;
    }
    if (std::strcmp(event, "r-Alt") == 0) {
        Domain d;
        MAP_get_domain(&d);
        redraw_with(S.zoom_func, &d);
        return 1;
    }
    return 0;
}

int PLT_plot_resize(const char *event) {
    if (!event || std::strcmp(event, "size") != 0) return 0;
    Domain d;
    MAP_get_domain(&d);
    redraw_with(S.resize_func, &d);
    return 1;
}

int PLT_plot_refresh() {
    Domain d;
    MAP_get_domain(&d);
    redraw_with(S.refresh_func, &d);
    return 0;
}

// ---------------------------------------------------------------------------
// Image dumps

int PLT_set_dump(int type, const char *file) {
    if (type < PLT_DUMP_NONE || type > PLT_DUMP_PNG) return -1;
    // A name cut to fit would write the picture under another name.
    if (file && std::strlen(file) >= kDumpNameLen) {
        MESS_print(64, "PLT_set_dump: Image file name longer than %d characters: %s\n",
                   kDumpNameLen - 1, file);
        return -1;
    }
    S.dump = type;
    if (file && *file) copy_field(S.dump_file, file);
    else if (type == PLT_DUMP_GIF) copy_field(S.dump_file, "zup.gif");
    else if (type == PLT_DUMP_PNG) copy_field(S.dump_file, "zup.png");
    else if (type == PLT_DUMP_NONE) S.dump_file[0] = '\0';
    else copy_field(S.dump_file, "zup.xwd");
    return 0;
}

int PLT_get_dump(int *type, char *file) {
    if (type) *type = S.dump;
    if (file) copy_field(file, FILE_NAME_LEN, S.dump_file);
    return S.dump;
}

int PLT_dump(int frame) {
    if (S.dump == PLT_DUMP_NONE) return -1;
    Date date;
    PLT_get_label_date(&date);
    gset_image_date(&date);
    int frames = gget_num_images();
    bool ok = true;
    if (frame == GFRAME_ALL && frames >= 2) {
        int current = gget_cur_frame();
        for (int f = 0; f < frames; ++f) {
            gselect_frame(f);
            ok = write_dump(f) && ok;
        }
        if (current >= 0) gselect_frame(current);
    } else if (gget_cur_frame() >= 0) {
        int f = gget_cur_frame();
        gselect_frame(f);
        ok = write_dump(f);
    } else {
        ok = write_dump(-1);
    }
    return ok ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Resource decoding

int PLT_param_decode() {
    int count = 0;
    char **items = nullptr;
    if (RES_getvals("plot_param", &count, &items) > 0) {
        for (int i = 0; i < count; ++i) {
            const char *item = items[i];
            bool known = false;
            for (const Switch &s : kSwitches) {
                if (stricmp(item, s.word) == 0) {
                    s.apply();
                    known = true;
                    break;
                }
            }
            // items of the plot options (THERM_plot_param, HODO_plot_param)
            // are read there
            if (!known) valued_item(item);
        }
        free_parsed_array(count, items);
    }
    if (RES_getvals("out_file", &count, &items) > 0) {
        for (int i = 0; i < count; ++i) dump_item(items[i], true);
        free_parsed_array(count, items);
    }
    return 0;
}

int PLT_panel_decode(const char *text) {
    if (!text) return -1;
    float cols = 1, rows = 1, col = 0, row = 0;
    int got = std::sscanf(text, "%fx%f+%f+%f", &cols, &rows, &col, &row);
    float sx = cols, sy = rows, ox = col, oy = row;
    if (cols > 1) {
        if (cols > 8) cols = 8;
        if (rows < 1) rows = 1;
        if (rows > 8) rows = 8;
        cols = static_cast<float>(static_cast<int>(cols));
        rows = static_cast<float>(static_cast<int>(rows));
        ox = col / cols;
        oy = 1 - (row + 1) / rows;
        sx = 1 / cols;
        sy = 1 / rows;
    }
    if (got != 4) {
        MESS_print(192, "PLT_panel_decode: Plot area not understood: %s\n",
                   gline_text(text).c_str());
        return -1;
    }
    constexpr float eps = 1e-4f;
    if (!(sx > 0 && sy > 0 && ox >= -eps && oy >= -eps && ox + sx <= 1 + eps &&
          oy + sy <= 1 + eps)) {
        MESS_print(192, "PLT_panel_decode: Plot area outside the page: %s\n",
                   gline_text(text).c_str());
        return -1;
    }
    GPH_set_view_size(sx, sy, ox, oy);
    return 0;
}

const PLT_params *PLT_get_params() { return &S.params; }

void PLT_reset_state() {
    S = PlotState{};
    PLT_init_labels();
    PLT_set_label_type(0);
    PLT_set_overlay(0);
    PLT_set_overlay_base(0);
    PLT_set_num_overlay(0);
    GPH_set_view_size(1, 1, 0, 0);
}
