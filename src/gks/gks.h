// gks.h - the graphics kernel: one workstation, six normalization
// transformations, output primitives with their attributes, stroke fonts,
// colour indices and the file device writers (PostScript, HPGL, metafile,
// CGM).
#ifndef GKS_H
#define GKS_H

#include <cstdio>

// ---------------------------------------------------------------------------
// Records

struct Glim {  // a rectangle: both x first
    float x_min;
    float x_max;
    float y_min;
    float y_max;
};

struct Gpt {
    float x;
    float y;
};

struct Gint_pt {
    int x_coord;
    int y_coord;
};

struct Gtran {  // one normalization transformation
    Glim win;
    Glim vp;
};

// Internal rectangle form with extents kept in step.
struct Gcoords {
    float x_min, y_min, x_max, y_max, x_ext, y_ext;
};

struct Gtransform {
    float x;
    float y;
};

enum Gcoord_unit { GMETER_UNIT = 0, GOTHER_UNIT = 1 };

struct Gdsp_size {
    Gcoord_unit coord_units;
    Gpt coord_size;     // width - 1, height - 1
    Gint_pt ras_size;   // width, height
};

struct Gcolr_rep {
    float red;
    float green;
    float blue;
};

// Drawing attributes named in text; -9999 / -9999.0 = not given.
struct Gattribs {
    int color;
    float width;
    float height;
    float expan;
    int style;
    int fill_pat;
    int font;
};

enum Gfill_int_style { GHOLLOW = 0, GSOLID = 1, GPAT = 2, GHATCH = 3 };
enum Gtext_hor { GNORMAL_HOR = 0, GLEFT_HOR = 1, GCENTER_HOR = 2, GRIGHT_HOR = 3 };
enum Gtext_ver {
    GNORMAL_VERT = 0, GTOP_VERT = 1, GCAP_VERT = 2, GHALF_VERT = 3,
    GBASE_VERT = 4, GBOTTOM_VERT = 5
};
enum Gtext_path { GRIGHT_PATH = 0, GLEFT_PATH = 1, GUP_PATH = 2, GDOWN_PATH = 3 };
enum Gtext_prec { GSTRING_PREC = 0, GCHAR_PREC = 1, GSTROKE_PREC = 2 };

struct Gtext_align {
    Gtext_hor hor;
    Gtext_ver vert;
};

struct Gfontprec {
    int font;
    Gtext_prec prec;
};

// Workstation types.
constexpr int GWS_ASK = 0;
constexpr int GWS_WIN = 1;
constexpr int GWS_META = 3;
constexpr int GWS_PS = 4;
constexpr int GWS_HPGL = 5;
constexpr int GWS_PIX = 6;

constexpr int GNUM_TRAN = 6;        // normalization transformations 0..5
constexpr int GNUM_PATTERNS = 20;   // fill patterns 0..19
constexpr int GBACK_INDEX = 256;    // colour-table slot of the background
constexpr int GMAX_FONTS = 40;

// ---------------------------------------------------------------------------
// Kernel control (gks_tool)

int gopen_gks(const char *errfile, int memory);
int gclose_gks();
int gemergency_close_gks();
int gopen_ws(int ws_id, const char *connection, int type);
int gactivate_ws(int ws_id);
int gdeactivate_ws(int ws_id);
int gclose_ws(int ws_id);
int gclear_ws(int ws_id, int flag);
int ginit_plot(int dev_class);
int gmessage(int ws_id, const char *text);
int gcreate_seg(int n);
int gclose_seg(int n);
int gdel_seg(int n);
int gclear_region(const Glim *rect);

int gget_win_size(int *width, int *height);
int gset_win_size(int width, int height);
int gget_win_offset(int *x, int *y);
int gset_win_type(int type);
int gget_win_type();
int gset_pix_mode(int mode);
int gget_pix_mode();
int gchk_graphics();
int gset_prog_name(const char *name);
const char *gget_prog_name();
int gset_win_title(const char *title);
const char *gget_win_title();
int gset_win_title_extra(const char *text);
const char *gget_win_title_extra();
int gset_geometry(const char *geometry);
const char *gget_geometry();
int gset_fixed_size(int on);
int gget_fixed_size();
int gset_iconic(int on);
int gget_iconic();
int gset_win_offset(int x, int y);

// A batch run that dumps an image draws off-screen when no display answers.
int gset_raster_fallback(int on);
int gget_raster_fallback();

inline bool gtype_is_WIN(int t) { return t == GWS_WIN; }
inline bool gtype_is_PIX(int t) { return t == GWS_PIX; }
inline bool gtype_is_WIN_PIX(int t) { return t == GWS_WIN || t == GWS_PIX; }
inline bool gtype_is_META(int t) { return t == GWS_META; }
inline bool gtype_is_PS(int t) { return t == GWS_PS; }
inline bool gtype_is_HPGL(int t) { return t == GWS_HPGL; }

// Prints "func: " and the formatted text and a newline at level 192 while
// the error stream is open.
int gerr_printf(const char *func, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

// Device type from the first letter of a device word ("p" PostScript, "h"/"q"
// HPGL, "m" metafile, "w" existing window, else X window).
int gdevice_type(const char *word);
// Splits "device,rest" at the first comma into rest (160 bytes, may be
// null) and returns the device type of the first part.
int gdevice_setup(const char *text, char *rest);

// Every operation goes to the redraw display list (gks_obj.h), or to the
// hook set here instead (null: the display list).
using Grecord_fn = void *(*)(int type, int values, int size, const void *data);
void gset_record_hook(Grecord_fn fn);
void *grecord(int type, int values, int size, const void *data);

// Page geometry used by gopen_ws for a file device, exposed for the tests:
// fills page width/height (device units) and offsets from a geometry text.
// unit_scale converts hundredths of an inch; hpgl selects "+%d+%d" offsets
// and the plotter margin.  -> 1 when the geometry applied, else 0.
int gapply_geometry(const char *geom, float unit_scale, int hpgl,
                    int *width, int *height, int *xoff, int *yoff);
// Named paper size (long and short side in inches).  -> 1 when known
int gpaper_size(const char *name, float *long_side, float *short_side);

// ---------------------------------------------------------------------------
// Transformations (gks_tran)

int ginit_tran(int dev_class);
int gset_ws_win(int ws, const Glim *win);
int gset_ws_vp(int ws, const Glim *vp);
int gset_win(int n, const Glim *win);
int gset_vp(int n, const Glim *vp);
int gsel_norm_tran(int n);
int ginq_norm_tran(int n, int *err, Gtran *tran);
int ginq_cur_norm_tran_num(int *err, int *n);
int ginq_ws_win(Glim *win);
int ginq_ws_vp(Glim *vp);
int ginq_disp_space_size(int ws, int *err, Gdsp_size *size);
int gpts_in_win(int n, const Gpt *pts);
int gset_tran_mult(float xm, float ym);
int gget_tran_mult(float *xm, float *ym);
// The device rectangle in use and the current clip rectangle (pixels).
int gget_plt(Glim *plt);
int gget_clip_rect(int *x, int *y, int *width, int *height);
// The current viewport in file-device units (corners of the clip).
int gget_clip_ps(Glim *rect);

float xW_NDC(float x);
float yW_NDC(float y);
float xW_p(float x);
float yW_p(float y);
float xp_W(float px);
float yp_W(float py);
float xW_ps(float x);
float yW_ps(float y);
float xNDC_p(float x);
float yNDC_p(float y);
float xNDC_ps(float x);
float yNDC_ps(float y);
float xW_trans(float x, int from, int to);
float yW_trans(float y, int from, int to);

// ---------------------------------------------------------------------------
// Output primitives and attributes (gks_line, gks_mark, gks_fill, gks_text)

int gpolyline(int n, const Gpt *pts);
int gpolymarker(int n, const Gpt *pts);
int gfill_area(int n, const Gpt *pts);
int gtext(const Gpt *pt, const char *text);

int greset_line();
int gset_line_colr_ind(int i);
int gset_linetype(int t);
int gset_linewidth(float w);
int gset_line_print_bold(int bold);
int gget_line_print_bold();
int gget_line_colr();
int gget_linetype();
float gget_linewidth();
int gset_line_drop(int depth);
int gget_line_drop();

int greset_marker();
int gset_marker_colr_ind(int i);
int gset_marker_type(int t);
int gset_marker_size(float s);
int gset_marker_width(float w);
int gget_marker_colr();
int gget_marker_type();
float gget_marker_size();
float gget_marker_width();

int greset_fill();
int gset_fill_colr_ind(int i);
int gset_fill_int_style(int s);
int gset_fill_style_ind(int k);
int gset_fill_print_solid(int on);
int gget_fill_print_solid();
int gget_fill_colr();
int gget_fill_int_style();
int gget_fill_style_ind();
// Row k (0-7) of fill pattern p, least significant bit leftmost.
unsigned char gget_fill_pattern_row(int p, int k);

int greset_text();
int gset_text_colr_ind(int i);
int gset_char_ht(float h);
int gset_expan(float e);
int gset_text_width(float w);
int gset_space(float s);
int gset_char_space(float s);
int gset_char_up_vec(const Gpt *up);
int gset_text_align(const Gtext_align *align);
int gset_text_path(int path);
int gset_fontprec(const Gfontprec *fp);
int ginq_text_align(Gtext_align *align);
int gget_text_colr();
float gget_char_ht();
float gget_expan();
float gget_text_width();
float gget_space();
float gget_char_space();
int gget_char_up_vec(Gpt *up);
int gget_font();
int gget_font_drop();
int gset_font_drop(int depth);
int gset_font_drop_color(int color);
int gget_font_drop_color();

// Text width in font units (before the character-height scale) of a string
// under the current font and spacing, and the horizontal and vertical
// start offsets used for the current alignment.
int gtext_width(const char *text);
int gtext_offsets(const char *text, int *h, int *v);

// Fonts
int gsetup_fonts();
int read_font(const char *file);
int gget_font_index(const char *name);
int gset_font_list(const char *list);
int gget_num_fonts();
const char *gget_font_name(int n);   // 1-based; null outside the table
const char *gget_font_file(int n);
int gget_font_type();
// Stroke data of one character: start offset in the stroke table (-1 none)
// and its advance width.
int gget_font_glyph(int c, int *width);
int gget_font_byte(int offset);

// ---------------------------------------------------------------------------
// Colours (gks_colr)

int gset_colr_rep(int ws, int index, const Gcolr_rep *rep);
int galloc_colr(int index, float r, float g, float b);
// Index chosen by the last find-or-add allocation.
int gget_alloc_index();
long gget_color_ind(int i);
int gget_color_rgb(int i, float *r, float *g, float *b);
int gget_color_rgb256(int i, int *r, int *g, int *b);
int gis_valid_colr(int i);
int gis_color_set(int i);
int gis_color_near(int i, float r, float g, float b, int by_pixel);
int gget_max_colr();
int gset_background(const char *name);
const char *gget_background();
long gget_back_color();
int gset_local_colormap(int on);
int gget_local_colormap();
int gset_rw_colors(int on);
int gget_rw_colors();
int gset_inverse(int on);
int gget_inverse();
int ginit_xcolr();
int ginit_background();
int greset_colors();

// ---------------------------------------------------------------------------
// PostScript writer (gks_ps)

FILE *gps_open_file(const char *name);
int gps_init();
int gps_set_size(float long_side, float short_side);
int gps_set_orient(int port);
int gps_set_EPS(int eps);
int gps_set_colorPS(int color);
int gps_set_reverse(int rev);
int gps_set_scale(float s);
int gps_set_base_width(float w);
int gps_init_file();
int gps_close_file();
int gps_move(float x, float y);
int gps_line(float x, float y);
int gps_move_abs(float x, float y);
int gps_line_abs(float x, float y);
int gps_printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int gps_set_color(int i);
int gps_set_fill_color(int i);
int gps_set_width(int i, float w);
int gps_set_type(int t);
int gps_set_color_rep(int i, float r, float g, float b);
float gps_get_gray(int i);
int gps_get_colorPS();
// A raster of width x height pixels (3 bytes each, rows from the top) as
// hexadecimal image data filling the device rectangle dev; grey levels in
// grey mode.  The image writers' gps_image builds on it.
int gps_image_rgb(int width, int height, const unsigned char *rgb, const Glim *dev);

// ---------------------------------------------------------------------------
// HPGL writer (gks_hpgl)

FILE *ghpgl_open_file(const char *name);
int ghpgl_init();
int ghpgl_set_pcl(int pcl);
int ghpgl_set_rotate(int deg);
int ghpgl_set_scale(float s);
int ghpgl_set_base_width(float w);
int ghpgl_set_colorPS(int color);
int ghpgl_set_reverse(int rev);
int ghpgl_init_file();
int ghpgl_close_file();
int ghpgl_move(float x, float y);
int ghpgl_line(float x, float y);
int ghpgl_move_abs(float x, float y);
int ghpgl_line_abs(float x, float y);
int ghpgl_printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int ghpgl_set_color(int i);
int ghpgl_set_fill_color(int i);
int ghpgl_set_width(int i, float w);
int ghpgl_set_type(int t);
int ghpgl_set_color_rep(int i, float r, float g, float b);
float ghpgl_get_gray(int i);

// ---------------------------------------------------------------------------
// Metafile writer, own text format and CGM (gks_meta, gks_cgm)

FILE *gmeta_open_file(const char *name);
int gmeta_set_type(int t);
int gmeta_get_type();
int gmeta_init_file();
int gmeta_close_file();
int gmeta_printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int gmeta_points(const char *tag, int n, const Gpt *pts);
int gcgm_control(int cls, int id, int length, int extra);
int gcgm_point(float x, float y);
int gcgm_ps_point(float x, float y);
int gcgm_polyline(int n, const Gpt *dev_pts);
int gcgm_polygon(int n, const Gpt *dev_pts);
int gcgm_clip(const Glim *dev_rect);
int gcgm_set_type(int t);
int gcgm_set_color(int i);
int gcgm_set_fill_color(int i);
int gcgm_set_width(int i, float w);

#endif  // GKS_H
