// zupplt.h - the plot framework: page and panel set-up, plot parameters,
// the labels around the plot, image dumps and the window-event handlers.
//
// Calling order of a plot:
//   labels and callbacks (PLT_label_*, PLT_set_callback, PLT_set_zoom_func)
//   PLT_open(aspect)            first page (or PLT_set_view_offsets, then
//                               PLT_reset(aspect) for a later page)
//   PLT_get_view(&view)         the plot viewport in NDC (see below)
//   draw in transformation 2 (window = viewport = the plot viewport, so
//   NDC) or in an own transformation, e.g. gset_win(2, plane limits)
//   PLT_labels(); PLT_dump(0); PLT_close();
//
// The page: transformation 1 is the whole NDC page [0, xvp] x [0, yvp]
// (GPH_get_horz_win_size / GPH_get_vert_win_size); the plot viewport
// (dis_view) is the part of the page's plot area left inside the margins
// (view offsets, fractions of the plot area: left, right, bottom, top),
// fitted to the aspect ratio and centred.  Labels are drawn outside it, in
// the bottom and top margins.
#ifndef ZUPPLT_H
#define ZUPPLT_H

#include "gks.h"
#include "zup.h"

// The program's mouse and key callback (the window device's Gevent_fn):
// kind 2 keys and resize, 3 mouse buttons; event name ("B1-P-Shft",
// "v-Alt", "size", ...); x, y in world coordinates of the current
// transformation (for "size" the new width and height).  The sounding
// plots' THERM_callback and HODO_callback have this form.
using PLT_callback_fn = void (*)(int kind, const char *event, float x, float y);
// Redraw with a domain: the zoom, resize and refresh functions (THERM_plot).
using PLT_domain_fn = int (*)(Domain *dom);

// Label positions (index of the label store).
enum PLT_label_pos {
    PLT_UP_LEFT = 0,
    PLT_UP_CENTER = 1,
    PLT_UP_RIGHT = 2,
    PLT_LOW_LEFT = 3,
    PLT_LOW_CENTER = 4,
    PLT_LOW_RIGHT = 5
};
constexpr int PLT_NUM_POS = 6;       // label positions
constexpr int PLT_NUM_LINES = 6;     // overlay lines per position (0-5)
constexpr int PLT_LABEL_LEN = 70;    // bytes per label line

// Image dump types (PLT_set_dump).
constexpr int PLT_DUMP_NONE = 0;
constexpr int PLT_DUMP_XWD = 1;
constexpr int PLT_DUMP_GIF = 2;
constexpr int PLT_DUMP_IMG = 3;
constexpr int PLT_DUMP_PNG = 4;

// ---------------------------------------------------------------------------
// Page set-up (plt_tool)

// Decodes "plot_param" and "out_file" (PLT_param_decode) and opens the
// workstation with the page laid out.  -> 0, or -1 without opening when
// plotting is switched off (plot part 12 clear, or flag 11 = 99).  A
// workstation that cannot be opened ends the program with status 4.
int PLT_open(float aspect);
// A new page on the open workstation (label type clamped to -1, 0, 1).
// -> 0, -1 when plotting is off.
int PLT_reset(float aspect);
// A new panel on the current page: aspect 0 = the plot area's own shape.
int PLT_panel(float aspect);
// Ends the plot.  In batch mode the program first detaches into the
// background (the foreground process ends with status 0; the output file
// stays locked with flock(2) until it is complete, see the README); a
// failed detach ends the program with status 1.  Then holds a window (not
// when an image dump is set), closes the workstation and clears the
// labels.  -> 0, -1 when flag 11 is 99.
int PLT_close();
[[noreturn]] void PLT_exit(int status);
// Status text of the plot (gmessage: a metafile "ME" record, a PostScript
// "%%Message:" comment).
int PLT_mess(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int PLT_border(int flag);
int PLT_get_border();
int PLT_set_view_offset(float v);               // margins 0, 0, v, v
int PLT_set_view_offsets(float left, float right, float bottom, float top);
float PLT_get_view_offset();
int PLT_get_view_offsets(float *left, float *right, float *bottom, float *top);
// The plot viewport (NDC) of the current page/panel.
int PLT_get_view(Glim *view);
int PLT_get_work_type();
int PLT_get_full_lab();

// ---------------------------------------------------------------------------
// Window callbacks and event handlers (plt_tool)

// Stores f and registers it with the window device (null: none).
int PLT_set_callback(PLT_callback_fn f);
PLT_callback_fn PLT_get_callback();
int PLT_set_zoom(int n);
int PLT_get_zoom();
int PLT_set_zoom_func(PLT_domain_fn f);
int PLT_set_resize_func(PLT_domain_fn f);
// Stores f and has the window device run PLT_plot_refresh every seconds.
int PLT_set_refresh_func(float seconds, PLT_domain_fn f);
// Handlers for the program's callback to pass every event to first:
// "B1-P-Shft" starts a zoom rectangle, a "B1-R..." release at another point
// zooms, "u-Alt" restores the domain before zooming, "r-Alt" redraws.
// x, y are plane coordinates of the current domain (transformation 2's
// window = the domain's plane limits).  -> 1 when the event was used, else 0.
int PLT_plot_zoom(const char *event, float x, float y);
// "size": redraw through the resize function.  -> 1 when used, else 0.
int PLT_plot_resize(const char *event);
int PLT_plot_refresh();

// ---------------------------------------------------------------------------
// Image dumps (plt_tool)

// type 1 XWD, 2 GIF, 3 own format, 4 PNG; a null or empty file takes the
// default name ("zup.gif", "zup.png", "zup.xwd").  Type 0 switches it off.
int PLT_set_dump(int type, const char *file);
int PLT_get_dump(int *type, char *file);  // file: FILE_NAME_LEN bytes
// Writes the dump of frame (-4 all loop frames) after expanding the file
// name (naming convention, keys "i" and "p", date, "image_path").
// -> -1 when no dump is set, 0 when written, 1 when a writer failed.
int PLT_dump(int frame);

// ---------------------------------------------------------------------------
// Plot parameters (plt_tool)

// Reads "plot_param" and "out_file" (see the README for every item).  -> 0
int PLT_param_decode();
// "%fx%f+%f+%f": columns, rows, column, row of the page's plot area.
// -> 0 when all four were read and the area set, else -1.
int PLT_panel_decode(const char *text);

// Settings of "plot_param" kept for the parts of the package that use them
// (maps, contours, station plots, grid output) and for the window device.
struct PLT_params {
    int id_type;          // station identifier type: 0 id, 1 wmo, 2 cod_wmo
    int over_base;        // "over"
    int num_over;
    float lalo[2];        // "lalo": lat/lon line spacing (second = first)
    int lalo_opt[2];
    float grid_factor;    // "gridx"
    int plt_skip[2];      // "plt_skip"
    float plt_off[2];     // "plt_off"
    int plt_grid;         // "plt_grid": map plot limit
    int loc_prior;        // "loc_pr"
    int redraw;           // 0 after "noredraw", else 1
    int loop_title;       // 0 after "nolooptitle", else 1
    int gif_interlace;    // "gif_inter" 1, "gif_norm" 0
    int gif_transparent;  // "gif_trans" 1
    int bar;              // "bar" 1, "nobar" 0
    float bar_range[2];   // "bar=%f:%f" (-9999 when not given)
    int shadow;           // "shadow": drop-shadow depth
    char grid_format[20]; // "grdfmt"
    char font[20];        // "font"
};
// The current settings (defaults before any decode).
const PLT_params *PLT_get_params();
// Back to the start-up state (all plot settings, labels, dump, callbacks).
void PLT_reset_state();

// ---------------------------------------------------------------------------
// Labels (plt_labl)

int PLT_init_labels();
int PLT_set_overlay(int n);
int PLT_set_overlay_base(int n);
int PLT_set_num_overlay(int n);
int PLT_next_overlay();
int PLT_get_overlay();
int PLT_get_overlay_base();
int PLT_get_num_over();
int PLT_get_label_type();
int PLT_set_label_type(int type);
int PLT_label_up_left(const char *text);
int PLT_label_up_center(const char *text);
int PLT_label_up_right(const char *text);
int PLT_label_low_left(const char *text);
int PLT_label_low_center(const char *text);
int PLT_label_low_right(const char *text);
// -> 0, -1 when refused (too long, bad position).
int PLT_label_strcpy(int pos, const char *text);
int PLT_label_strcat(int pos, const char *text);
// The text of one line of a position ("" outside the store).
const char *PLT_get_label(int pos, int line);
// Date and forecast hour of the label formats and the dump file names.
// Not set (year or hour -9999): the date of the current data file
// (FILE_get_date) and the forecast hour of program flag 6.
int PLT_label_date(const Date *date);
int PLT_label_for_time(long fhour);
int PLT_get_label_date(Date *date);
long PLT_get_label_fhour();
// Expands a label format into out (PLT_LABEL_LEN bytes).  -> 0
int PLT_label_format(const char *fmt, char *out);
// Reads the "label" resource into the store.  -> number of labels stored
int PLT_label_resource();
// Draws the labels.  -> 0, -1 when nothing could be drawn.
int PLT_labels();

#endif  // ZUPPLT_H
