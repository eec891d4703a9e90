// gks_x11.cpp - the window workstations: a new top-level X11 window drawn
// through an off-screen pixmap (type 1), or a window/pixmap that another
// process owns (type 6); the primitives on the four graphics contexts,
// colour cells, server fonts and the X error handlers.
#include "gks_x11.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "colors.h"
#include "gks.h"
#include "gks_img_x.h"
#include "gks_obj.h"
#include "zup.h"
#include "zupresrc.h"

namespace {

constexpr int kIconSize = 48;
constexpr int kNumCursors = 9;
constexpr unsigned kCursorShapes[kNumCursors] = {XC_X_cursor, XC_left_ptr, XC_fleur,
                                                 XC_exchange, XC_dot,      XC_pencil,
                                                 XC_tcross,   XC_xterm,    XC_watch};
constexpr int kMaxSide = 8192;   // largest window side a geometry may ask for
constexpr int kMaxErrors = 25;

enum { kLine = 0, kMark = 1, kFill = 2, kText = 3, kNumGc = 4 };

// What a graphics context was last set to, so that unchanged attributes
// cost no requests.
struct GcCache {
    unsigned long pixel = ~0UL;
    int width = -1;
    int style = -1;
    int dash = -1;
    int fill = -1;
    int stipple = -1;
};

struct XState {
    Display *display = nullptr;
    int screen = 0;
    int type = 0;
    Window root_window = 0;
    Pixmap base_window = 0;
    Drawable draw_window = 0;
    bool own_pixmap = false;
    Visual *visual = nullptr;
    int depth = 0;
    GC root_gc = nullptr;
    GC gc[kNumGc] = {};
    GcCache cache[kNumGc];
    int line_gc_function = GXcopy;
    unsigned long fore_colr = 0;
    unsigned long back_colr = 0;
    Colormap def_colormap = 0;
    Colormap user_colormap = 0;
    bool own_colormap = false;
    std::set<unsigned long> rw_cells;
    int root_width = 0;
    int root_height = 0;
    Cursor cursors[kNumCursors] = {};
    int cursor = -1;
    Pixmap fill_pat[GNUM_PATTERNS] = {};
    Pixmap icon_pixmap = 0;
    XFontStruct *font = nullptr;
    Atom wm_delete = 0;
    int xerror = 0;
    int xerror_print = 1;
    int num_error = 0;
    bool dead = false;
};

XState S;

// The icon set by gset_icon_bitmap (empty: the built-in one).
struct IconBits {
    std::vector<unsigned char> bits;
    int width = 0;
    int height = 0;
};

IconBits I;

// The built-in icon: a small thermodynamic diagram (frame, skewed
// isotherms, a temperature and a dew-point trace).
void default_icon(unsigned char *bits) {
    std::memset(bits, 0, kIconSize * kIconSize / 8);
    auto set = [bits](int x, int y) {
        if (x < 0 || y < 0 || x >= kIconSize || y >= kIconSize) return;
        bits[y * (kIconSize / 8) + x / 8] |= static_cast<unsigned char>(1u << (x % 8));
    };
    for (int i = 2; i < kIconSize - 2; ++i) {
        set(i, 2);
        set(i, kIconSize - 3);
        set(2, i);
        set(kIconSize - 3, i);
    }
    for (int k = -40; k < 48; k += 10)
        for (int y = 3; y < kIconSize - 3; y += 2) set(k + (kIconSize - y), y);
    for (int y = 4; y < kIconSize - 4; ++y) {
        double f = static_cast<double>(y) / kIconSize;
        int t = static_cast<int>(8 + 30 * f + 3 * std::sin(y * 0.4));
        int td = static_cast<int>(4 + 22 * f * f + 2 * std::cos(y * 0.3));
        set(t, y);
        set(t + 1, y);
        if (y % 2 == 0) set(td, y);
    }
}

unsigned long colour_pixel(int index) {
    if (index >= 500 && index <= 508) index = 1;
    long p = gget_color_ind(index);
    return p < 0 ? S.fore_colr : static_cast<unsigned long>(p);
}

const char *x_default(const char *name) {
    if (!S.display) return nullptr;
    const char *v = XGetDefault(S.display, gget_prog_name(), name);
    return (v && *v) ? v : nullptr;
}

// Runs f with error printing off and reports whether an X error came back.
template <class F>
bool x_fails(F f) {
    int print = gset_xerror_print(0);
    gget_xerror();
    f();
    XSync(S.display, False);
    bool bad = gget_xerror() != 0;
    gset_xerror_print(print);
    return bad;
}

void set_names(const char *title, const char *extra, bool pad) {
    if (!S.display || S.type != GWS_WIN || !S.root_window) return;
    std::string name = title ? title : "";
    if (extra && *extra) name += std::string(" ") + extra;
    // The first name fills the whole title field, so window managers size
    // the title bar once.
    if (pad && name.size() < 59) name.resize(59, ' ');
    XStoreName(S.display, S.root_window, name.c_str());
    XSetIconName(S.display, S.root_window, name.c_str());
}

void fill_drawable(Drawable d, unsigned long pixel, int x, int y, int w, int h) {
    if (!S.display || !d || !S.root_gc) return;
    XSetForeground(S.display, S.root_gc, pixel);
    XFillRectangle(S.display, d, S.root_gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

std::vector<XPoint> to_xpoints(int n, const Gpt *d, int shift = 0) {
    std::vector<XPoint> v(n > 0 ? static_cast<size_t>(n) : 0);
    for (int i = 0; i < n; ++i) {
        v[i].x = static_cast<short>(std::clamp(d[i].x + shift, -32000.0f, 32000.0f));
        v[i].y = static_cast<short>(std::clamp(d[i].y + shift, -32000.0f, 32000.0f));
    }
    return v;
}

// Window geometry from a geometry text ("WxH+X+Y", negative offsets from
// the right or bottom edge); sizes outside 1-8192 are refused.
void apply_x_geometry(const char *geom, int *x, int *y, int *w, int *h, bool *user) {
    if (!geom || !*geom) return;
    int gx = 0, gy = 0;
    unsigned gw = 0, gh = 0;
    int flags = XParseGeometry(geom, &gx, &gy, &gw, &gh);
    if (flags & (WidthValue | HeightValue)) {
        unsigned nw = (flags & WidthValue) ? gw : static_cast<unsigned>(*w);
        unsigned nh = (flags & HeightValue) ? gh : static_cast<unsigned>(*h);
        if (nw < 1 || nh < 1 || nw > kMaxSide || nh > kMaxSide) {
            MESS_print(192, "gopen_ws: geometry out of range: %s\n", geom);
        } else {
            *w = static_cast<int>(nw);
            *h = static_cast<int>(nh);
            *user = true;
        }
    }
    int sw = DisplayWidth(S.display, S.screen), sh = DisplayHeight(S.display, S.screen);
    if (flags & XValue) {
        *x = (flags & XNegative) ? sw + gx - *w - 10 : gx;
        *x = std::clamp(*x, -32000, 32000);
        *user = true;
    }
    if (flags & YValue) {
        *y = (flags & YNegative) ? sh + gy - *h - 10 : gy;
        *y = std::clamp(*y, -32000, 32000);
        *user = true;
    }
}

// Waits (at most a few seconds) for the window's first Expose or
// structure event.
void wait_first_event() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    XEvent ev;
    while (std::chrono::steady_clock::now() < until) {
        if (XCheckWindowEvent(S.display, S.root_window, ExposureMask | StructureNotifyMask, &ev)) {
            if (ev.type == Expose || ev.type == MapNotify || ev.type == ConfigureNotify ||
                ev.type == ReparentNotify)
                return;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool want_private_colormap() {
    return gget_local_colormap() || std::getenv("LOCAL_CMAP") || std::getenv("zuplocal_cmap");
}

void make_cursors() {
    for (int i = 0; i < kNumCursors; ++i)
        S.cursors[i] = XCreateFontCursor(S.display, kCursorShapes[i]);
}

void make_patterns() {
    for (int p = 0; p < GNUM_PATTERNS; ++p) {
        if (S.fill_pat[p]) continue;
        char rows[8];
        for (int k = 0; k < 8; ++k) rows[k] = static_cast<char>(gget_fill_pattern_row(p, k));
        Drawable on = S.root_window ? S.root_window : RootWindow(S.display, S.screen);
        S.fill_pat[p] = XCreateBitmapFromData(S.display, on, rows, 8, 8);
    }
}

void make_gcs() {
    Drawable on = S.base_window ? S.base_window : RootWindow(S.display, S.screen);
    if (!S.root_gc) S.root_gc = XCreateGC(S.display, on, 0, nullptr);
    for (GC &g : S.gc)
        if (!g) g = XCreateGC(S.display, on, 0, nullptr);
}

void free_x_resources() {
    Display *d = S.display;
    for (GC &g : S.gc) {
        if (g) XFreeGC(d, g);
        g = nullptr;
    }
    if (S.root_gc) XFreeGC(d, S.root_gc);
    S.root_gc = nullptr;
    for (Pixmap &p : S.fill_pat) {
        if (p) XFreePixmap(d, p);
        p = 0;
    }
    if (S.font) XFreeFont(d, S.font);
    S.font = nullptr;
}

class X11Device : public GksDevice {
public:
    int type() const override { return S.type; }
    int init_class() const override { return 0; }
    bool pixel_units() const override { return true; }

    int close() override;
    void clip(const Glim &r) override;
    void polyline(int n, const Gpt *d) override;
    void marker_begin(int n) override;
    void lines(int n, const Gpt *d) override;
    void fill_area(int n, const Gpt *d) override;
    void text_begin(const Gpt &w, const char *text) override;
    void text_end() override;
    long alloc_color(int index, float r, float g, float b) override;
    void clear_region(const Glim &d) override;
    void clear() override;
    int load_server_font(const char *name) override;
    void server_text(const Gpt &w, const char *text, int hor, int vert) override;
    void update() override { gupdate_window(); }
    void set_title(const char *title, const char *extra) override { set_names(title, extra, false); }
    int hold() override { return S.type == GWS_WIN ? ghold_window() : 0; }
    void init_plot(int cls) override;
    void background(const char *name) override;
    int get_image(IMG_report *img) override {
        return gimg_read_drawable(S.display, S.draw_window, S.root_window, S.visual, gget_colormap(), img);
    }
    void opened() override;
    const char *default_resource(const char *name) override { return x_default(name); }

private:
    enum Mode { kNone, kMarker, kText };
    Mode mode_ = kNone;
    std::vector<std::vector<XPoint>> strokes_;

    void set_pixel(int k, unsigned long pixel);
    void set_line(int k, float width, int type);
    void draw(int k, const std::vector<XPoint> &pts);
    void draw_shadowed(int k, int n, const Gpt *d, int depth, unsigned long pixel);
};

void X11Device::set_pixel(int k, unsigned long pixel) {
    if (S.cache[k].pixel == pixel) return;
    XSetForeground(S.display, S.gc[k], pixel);
    S.cache[k].pixel = pixel;
}

// Width and dash pattern of a context: type 1 solid, 2-5 the dash lists,
// any other type on-off dashes with the previous list.
void X11Device::set_line(int k, float width, int type) {
    static const char d2[] = {6, 6}, d3[] = {3, 6}, d4[] = {6, 6, 3, 6}, d5[] = {2, 2};
    GcCache &c = S.cache[k];
    int w = static_cast<int>(std::lround(std::clamp(width, 0.0f, 100.0f)));
    int style = type == 1 ? LineSolid : LineOnOffDash;
    if (style == LineOnOffDash && type != c.dash && type >= 2 && type <= 5) {
        const char *list[] = {d2, d3, d4, d5};
        const int len[] = {2, 2, 4, 2};
        XSetDashes(S.display, S.gc[k], 0, list[type - 2], len[type - 2]);
        c.dash = type;
    }
    if (w != c.width || style != c.style) {
        XSetLineAttributes(S.display, S.gc[k], static_cast<unsigned>(w), style, CapButt, JoinBevel);
        c.width = w;
        c.style = style;
    }
}

void X11Device::draw(int k, const std::vector<XPoint> &pts) {
    if (pts.empty()) return;
    Drawable d = S.draw_window;
    if (pts.size() == 1) XDrawPoint(S.display, d, S.gc[k], pts[0].x, pts[0].y);
    else XDrawLines(S.display, d, S.gc[k], const_cast<XPoint *>(pts.data()),
                    static_cast<int>(pts.size()), CoordModeOrigin);
}

// A figure first drawn depth times in black, one pixel further right and
// down each time, then in its own colour.
void X11Device::draw_shadowed(int k, int n, const Gpt *d, int depth, unsigned long pixel) {
    if (depth > 0) {
        set_pixel(k, BlackPixel(S.display, S.screen));
        for (int i = 0; i < depth; ++i) draw(k, to_xpoints(n, d, i));
    }
    set_pixel(k, pixel);
    draw(k, to_xpoints(n, d));
}

int X11Device::close() {
    if (!S.display) return -1;
    Display *d = S.display;
    if (S.type == GWS_WIN) {
        gdelete_all_frames();
        greset_zoom();
        gclear_objs();
        XUnmapWindow(d, S.root_window);
        XDestroyWindow(d, S.root_window);
        if (S.base_window) XFreePixmap(d, S.base_window);
        if (S.icon_pixmap) XFreePixmap(d, S.icon_pixmap);
        for (Cursor &c : S.cursors) {
            if (c) XFreeCursor(d, c);
            c = 0;
        }
    } else if (gget_pix_mode() == 9 && S.root_window) {
        // Tell the owner that this program is done with its window.
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = S.root_window;
        ev.xclient.message_type = XInternAtom(d, "ZUP_LOOP", False);
        ev.xclient.format = 8;
        ev.xclient.data.b[0] = 9;
        x_fails([&] { XSendEvent(d, S.root_window, False, NoEventMask, &ev); });
    }
    free_x_resources();
    ginit_event(-1);
    if (S.own_colormap && S.user_colormap) XFreeColormap(d, S.user_colormap);
    XSync(d, False);
    XCloseDisplay(d);
    int print = S.xerror_print;
    S = XState{};
    S.xerror_print = print;
    ginit_event(0);
    return 0;
}

void X11Device::clip(const Glim &r) {
    if (!S.display || !S.gc[0]) return;
    XRectangle rect;
    rect.x = static_cast<short>(std::clamp(r.x_min, -32000.0f, 32000.0f));
    rect.y = static_cast<short>(std::clamp(r.y_min, -32000.0f, 32000.0f));
    rect.width = static_cast<unsigned short>(std::clamp(r.x_max - r.x_min, 0.0f, 65000.0f));
    rect.height = static_cast<unsigned short>(std::clamp(r.y_max - r.y_min, 0.0f, 65000.0f));
    for (GC g : S.gc) XSetClipRectangles(S.display, g, 0, 0, &rect, 1, Unsorted);
}

void X11Device::polyline(int n, const Gpt *d) {
    mode_ = kNone;
    set_line(kLine, gget_linewidth(), gget_linetype());
    draw_shadowed(kLine, n, d, gget_line_drop(), colour_pixel(gget_line_colr()));
}

void X11Device::marker_begin(int) {
    mode_ = kMarker;
    set_line(kMark, gget_marker_width(), 1);
    set_pixel(kMark, colour_pixel(gget_marker_colr()));
}

void X11Device::lines(int n, const Gpt *d) {
    if (n < 1) return;
    if (mode_ == kText) {
        strokes_.push_back(to_xpoints(n, d));
        return;
    }
    draw_shadowed(kMark, n, d, gget_font_drop(), colour_pixel(gget_marker_colr()));
}

void X11Device::fill_area(int n, const Gpt *d) {
    mode_ = kNone;
    int style = gget_fill_int_style();
    GcCache &c = S.cache[kFill];
    int fill = (style == GPAT || style == GHATCH) ? FillStippled : FillSolid;
    if (fill == FillStippled) {
        int k = std::clamp(gget_fill_style_ind(), 0, GNUM_PATTERNS - 1);
        if (c.stipple != k) {
            XSetStipple(S.display, S.gc[kFill], S.fill_pat[k]);
            c.stipple = k;
        }
    }
    if (c.fill != fill) {
        XSetFillStyle(S.display, S.gc[kFill], fill);
        c.fill = fill;
    }
    set_pixel(kFill, colour_pixel(gget_fill_colr()));
    std::vector<XPoint> pts = to_xpoints(n, d);
    if (style != GHOLLOW)
        XFillPolygon(S.display, S.draw_window, S.gc[kFill], pts.data(), n, Complex, CoordModeOrigin);
    draw(kFill, pts);
}

void X11Device::text_begin(const Gpt &, const char *) {
    mode_ = kText;
    strokes_.clear();
    set_line(kText, gget_text_width(), 1);
}

// The strokes of one string: the whole shadow first, then the text.
void X11Device::text_end() {
    int depth = gget_font_drop();
    if (depth > 0) {
        set_pixel(kText, BlackPixel(S.display, S.screen));
        for (int i = 0; i < depth; ++i)
            for (const auto &s : strokes_) {
                std::vector<XPoint> v = s;
                for (XPoint &p : v) {
                    p.x = static_cast<short>(p.x + i);
                    p.y = static_cast<short>(p.y + i);
                }
                draw(kText, v);
            }
    }
    set_pixel(kText, colour_pixel(gget_text_colr()));
    for (const auto &s : strokes_) draw(kText, s);
    strokes_.clear();
    mode_ = kNone;
}

int X11Device::load_server_font(const char *name) {
    if (!S.display || !name || !*name) return -1;
    XFontStruct *f = XLoadQueryFont(S.display, name);
    if (!f) return -1;
    if (S.font) XFreeFont(S.display, S.font);
    S.font = f;
    if (S.gc[kText]) XSetFont(S.display, S.gc[kText], f->fid);
    return 0;
}

void X11Device::server_text(const Gpt &w, const char *text, int hor, int vert) {
    if (!S.font || !text) return;
    int n = static_cast<int>(std::strlen(text));
    int x = static_cast<int>(std::floor(xW_p(w.x) + 0.5f));
    int y = static_cast<int>(std::floor(yW_p(w.y) + 0.5f));
    int width = XTextWidth(S.font, text, n);
    if (hor == GCENTER_HOR) x -= width / 2;
    else if (hor == GRIGHT_HOR) x -= width;
    if (vert == GTOP_VERT || vert == GCAP_VERT) y += S.font->ascent;
    else if (vert == GHALF_VERT) y += S.font->ascent / 2;
    else if (vert == GBOTTOM_VERT) y -= S.font->descent;
    XSetFont(S.display, S.gc[kText], S.font->fid);
    int depth = gget_font_drop();
    if (depth > 0) {
        set_pixel(kText, BlackPixel(S.display, S.screen));
        for (int i = 0; i < depth; ++i)
            XDrawString(S.display, S.draw_window, S.gc[kText], x + i, y + i, text, n);
    }
    set_pixel(kText, colour_pixel(gget_text_colr()));
    XDrawString(S.display, S.draw_window, S.gc[kText], x, y, text, n);
}

// Colour cells: a read-write cell per index while the colormap allows it,
// else a shared colour; an index already bound keeps its cell.
long X11Device::alloc_color(int index, float r, float g, float b) {
    if (!S.display) return 0;
    Colormap cmap = gget_colormap();
    XColor c{};
    c.red = static_cast<unsigned short>(std::lround(r * 65535));
    c.green = static_cast<unsigned short>(std::lround(g * 65535));
    c.blue = static_cast<unsigned short>(std::lround(b * 65535));
    c.flags = DoRed | DoGreen | DoBlue;
    long old = gget_color_ind(index == GBACK_INDEX ? -1 : index);
    bool done = false;
    if (old >= 0 && S.rw_cells.count(static_cast<unsigned long>(old))) {
        c.pixel = static_cast<unsigned long>(old);
        XStoreColor(S.display, cmap, &c);
        done = true;
    } else if (old < 0 && gget_rw_colors()) {
        unsigned long pixel = 0;
        if (XAllocColorCells(S.display, cmap, False, nullptr, 0, &pixel, 1)) {
            c.pixel = pixel;
            XStoreColor(S.display, cmap, &c);
            S.rw_cells.insert(pixel);
            MESS_print(0x40000000, "Allocated RW Cells: %lu\n", pixel);
            done = true;
        } else {
            gset_rw_colors(0);
        }
    }
    if (!done) {
        if (old >= 0 && static_cast<unsigned long>(old) != S.fore_colr &&
            static_cast<unsigned long>(old) != S.back_colr) {
            unsigned long px = static_cast<unsigned long>(old);
            x_fails([&] { XFreeColors(S.display, cmap, &px, 1, 0); });
        }
        if (!XAllocColor(S.display, cmap, &c)) {
            gerr_printf("galloc_colr", "unable to allocate color: %d\n", index);
            return static_cast<long>(S.fore_colr);
        }
    }
    XQueryColor(S.display, cmap, &c);
    MESS_print(0x40000000, "Color %d: pixel %lu (%5d %5d %5d)\n", index, c.pixel, c.red, c.green,
               c.blue);
    return static_cast<long>(c.pixel);
}

void X11Device::clear_region(const Glim &d) {
    int x0 = static_cast<int>(std::min(d.x_min, d.x_max)), x1 = static_cast<int>(std::max(d.x_min, d.x_max));
    int y0 = static_cast<int>(std::min(d.y_min, d.y_max)), y1 = static_cast<int>(std::max(d.y_min, d.y_max));
    // The clip of the fill context bounds the region like any primitive.
    set_pixel(kFill, gget_back_color() >= 0 ? static_cast<unsigned long>(gget_back_color()) : S.back_colr);
    if (S.cache[kFill].fill != FillSolid) {
        XSetFillStyle(S.display, S.gc[kFill], FillSolid);
        S.cache[kFill].fill = FillSolid;
    }
    XFillRectangle(S.display, S.draw_window, S.gc[kFill], x0, y0, static_cast<unsigned>(x1 - x0 + 1),
                   static_cast<unsigned>(y1 - y0 + 1));
}

void X11Device::clear() {
    if (S.type != GWS_WIN) return;
    long bg = gget_back_color();
    fill_drawable(S.base_window, bg >= 0 ? static_cast<unsigned long>(bg) : S.back_colr, 0, 0,
                  S.root_width, S.root_height);
    gclear_objs();
}

void X11Device::init_plot(int) {
    make_gcs();
    make_patterns();
    for (int k = 0; k < kNumGc; ++k) {
        XSetLineAttributes(S.display, S.gc[k], 0, LineSolid, CapButt, JoinBevel);
        XSetFillStyle(S.display, S.gc[k], FillSolid);
        XSetFunction(S.display, S.gc[k], k == kLine ? S.line_gc_function : GXcopy);
        S.cache[k] = GcCache();
        S.cache[k].width = 0;
        S.cache[k].style = LineSolid;
        S.cache[k].fill = FillSolid;
    }
    if (S.font) XSetFont(S.display, S.gc[kText], S.font->fid);
    int x, y, w, h;
    gget_clip_rect(&x, &y, &w, &h);
    clip({static_cast<float>(x), static_cast<float>(x + w), static_cast<float>(y),
          static_cast<float>(y + h)});
    XSync(S.display, False);
}

// The background: a colour-table name or an X colour; "none", "def" and
// "over" (or no name) leave the screen's black (white in inverse video).
void X11Device::background(const char *name) {
    if (!name || !*name) name = x_default("background");
    bool given = name && *name && stricmp(name, "none") != 0 && stricmp(name, "def") != 0 &&
                 stricmp(name, "over") != 0;
    float r = gget_inverse() ? 1.0f : 0.0f, g = r, b = r;
    if (given) {
        int found = -1;
        for (int i = 0; i < CLR_get_num(); ++i)
            if (CLR_get_name(i) && stricmp(CLR_get_name(i), name) == 0) found = i;
        XColor xc{};
        if (found >= 0) {
            CLR_get_rgb(found, &r, &g, &b);
        } else if (XParseColor(S.display, gget_colormap(), name, &xc)) {
            r = xc.red / 65535.0f;
            g = xc.green / 65535.0f;
            b = xc.blue / 65535.0f;
        } else {
            gerr_printf("ginit_background", "unknown background color: %s\n", name);
            given = false;
        }
    }
    int pixel = galloc_colr(GBACK_INDEX, r, g, b);
    MESS_print(0x40000000, "Allocated BG Color: %d (%5d %5d %5d)\n", pixel,
               static_cast<int>(r * 65535), static_cast<int>(g * 65535), static_cast<int>(b * 65535));
    S.back_colr = static_cast<unsigned long>(gget_back_color());
    if (given && S.type == GWS_WIN) {
        XSetWindowBackground(S.display, S.root_window, S.back_colr);
        fill_drawable(S.base_window, S.back_colr, 0, 0, S.root_width, S.root_height);
        gupdate_window();
    }
}

void X11Device::opened() {
    if (S.type == GWS_PIX && gget_pix_mode() == 1) {
        int x, y, w, h;
        gget_win_offset(&x, &y);
        gget_win_size(&w, &h);
        fill_drawable(S.draw_window, S.back_colr, x, y, w, h);
        XSync(S.display, False);
    }
    if (S.type == GWS_WIN) {
        // The X default "redraw" of "no" keeps the display list off.
        const char *redraw = x_default("redraw");
        if (redraw && stricmp(redraw, "no") == 0) gset_redraw(0);
        gcheck_event();
        gset_cursor(1);
    }
}

// ---------------------------------------------------------------------------
// Opening

bool connect(const std::string &name) {
    XSetErrorHandler(Xerror_handler);
    XSetIOErrorHandler(XerrorIO_handler);
    int print = S.xerror_print;
    S = XState{};
    S.xerror_print = print;
    ginit_event(0);
    S.display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!S.display) {
        MESS_print(192, "gopen_ws: unable to connect to display\n");
        return false;
    }
    S.screen = DefaultScreen(S.display);
    S.depth = DefaultDepth(S.display, S.screen);
    S.visual = DefaultVisual(S.display, S.screen);
    S.def_colormap = DefaultColormap(S.display, S.screen);
    return true;
}

void close_display() {
    XCloseDisplay(S.display);
    S.display = nullptr;
}

std::unique_ptr<GksDevice> open_window(const std::string &name) {
    if (!connect(name)) return nullptr;
    S.type = GWS_WIN;
    Display *dpy = S.display;
    Window root = RootWindow(dpy, S.screen);
    int w = 0, h = 0;
    gget_win_size(&w, &h);
    if (w <= 0 || h <= 0) {
        w = 640;
        h = 512;
    }
    int x = 100, y = 100;
    bool user = false;
    const char *geom = gget_geometry();
    if (!geom || !*geom) geom = RES_get("geometry");
    if (!geom || !*geom) geom = x_default("geometry");
    apply_x_geometry(geom, &x, &y, &w, &h, &user);

    if (std::getenv("zupinverse")) gset_inverse(1);
    unsigned long black = BlackPixel(dpy, S.screen), white = WhitePixel(dpy, S.screen);
    S.back_colr = gget_inverse() ? white : black;
    S.fore_colr = gget_inverse() ? black : white;

    XSetWindowAttributes a{};
    a.background_pixel = S.back_colr;
    a.border_pixel = S.fore_colr;
    a.backing_store = Always;
    a.colormap = S.def_colormap;
    a.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                   EnterWindowMask | LeaveWindowMask | ButtonMotionMask | ExposureMask |
                   StructureNotifyMask | FocusChangeMask;
    bool bad = x_fails([&] {
        S.root_window = XCreateWindow(dpy, root, x, y, static_cast<unsigned>(w),
                                      static_cast<unsigned>(h), 5, S.depth, InputOutput, S.visual,
                                      CWBackPixel | CWBorderPixel | CWBackingStore | CWEventMask |
                                          CWColormap,
                                      &a);
    });
    if (bad || !S.root_window) {
        MESS_print(192, "gopen_ws: unable to open window\n");
        close_display();
        return nullptr;
    }
    set_names(gget_win_title(), nullptr, true);

    std::vector<unsigned char> bits = I.bits;
    int iw = I.width, ih = I.height;
    if (bits.empty()) {
        bits.resize(kIconSize * kIconSize / 8);
        default_icon(bits.data());
        iw = ih = kIconSize;
    }
    S.icon_pixmap = XCreatePixmapFromBitmapData(dpy, root, reinterpret_cast<char *>(bits.data()),
                                                static_cast<unsigned>(iw), static_cast<unsigned>(ih),
                                                S.fore_colr, S.back_colr,
                                                static_cast<unsigned>(S.depth));
    XWMHints wm{};
    wm.flags = IconPixmapHint | StateHint | InputHint;
    wm.icon_pixmap = S.icon_pixmap;
    wm.input = True;
    const char *iconic = x_default("iconic");
    bool start_iconic = gget_iconic() || (iconic && stricmp(iconic, "on") == 0) || RES_get("icon");
    wm.initial_state = start_iconic ? IconicState : NormalState;
    XSetWMHints(dpy, S.root_window, &wm);

    XSizeHints sh{};
    sh.flags = user ? (USPosition | USSize) : (PPosition | PSize);
    sh.x = x;
    sh.y = y;
    sh.width = w;
    sh.height = h;
    if (gget_fixed_size()) {
        sh.flags |= PMinSize | PMaxSize;
        sh.min_width = sh.max_width = w;
        sh.min_height = sh.max_height = h;
    }
    XSetWMNormalHints(dpy, S.root_window, &sh);
    XClassHint ch{};
    std::string prog = gget_prog_name();
    std::string cls = "Zup";
    ch.res_name = prog.data();
    ch.res_class = cls.data();
    XSetClassHint(dpy, S.root_window, &ch);
    S.wm_delete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, S.root_window, &S.wm_delete, 1);

    if (want_private_colormap()) {
        S.user_colormap = XCreateColormap(dpy, S.root_window, S.visual, AllocNone);
        S.own_colormap = true;
        XSetWindowColormap(dpy, S.root_window, S.user_colormap);
    }

    XMapWindow(dpy, S.root_window);
    wait_first_event();
    XWindowAttributes wa;
    if (XGetWindowAttributes(dpy, S.root_window, &wa) && wa.width > 0 && wa.height > 0) {
        w = wa.width;
        h = wa.height;
    }
    S.root_width = w;
    S.root_height = h;
    S.base_window = XCreatePixmap(dpy, S.root_window, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), static_cast<unsigned>(S.depth));
    S.own_pixmap = true;
    S.draw_window = S.base_window;
    make_gcs();
    gset_win_offset(0, 0);
    gset_win_size(w, h);
    XClearWindow(dpy, S.root_window);
    fill_drawable(S.base_window, S.back_colr, 0, 0, w, h);
    make_cursors();
    XSync(dpy, False);
    return std::make_unique<X11Device>();
}

}  // namespace

// ---------------------------------------------------------------------------
// Type 6: a window or pixmap of another process

int gparse_window_desc(const char *desc, Gwin_desc *out) {
    if (!desc || !out) return -1;
    *out = Gwin_desc{};
    unsigned long pix = 0;
    int n = 0;
    if (desc[0] == '+') {
        unsigned long win = 0, cmap = 0;
        int w = 0, h = 0;
        n = std::sscanf(desc + 1, "%lu:%lu:%dx%d:%lu", &win, &pix, &w, &h, &cmap);
        out->window = win;
        if (n >= 4) {
            out->width = w;
            out->height = h;
        }
        if (n == 5) out->colormap = cmap;
        if (n < 2) pix = 0;
    } else if (desc[0] == '0' && (desc[1] == 'x' || desc[1] == 'X')) {
        unsigned long cmap = 0;
        int w = 0, h = 0;
        n = std::sscanf(desc + 2, "%lx:%dx%d:%lu", &pix, &w, &h, &cmap);
        if (n >= 3) {
            out->width = w;
            out->height = h;
        }
        if (n == 4) out->colormap = cmap;
        if (n < 1) pix = 0;
    } else {
        unsigned long cmap = 0;
        int w = 0, h = 0;
        n = std::sscanf(desc, "%lu:%dx%d:%lu", &pix, &w, &h, &cmap);
        if (n >= 3) {
            out->width = w;
            out->height = h;
        }
        if (n == 4) out->colormap = cmap;
        if (n < 1) pix = 0;
    }
    out->pixmap = pix;
    if (out->width < 0 || out->height < 0 || out->width > 32767 || out->height > 32767)
        out->width = out->height = 0;
    return pix ? 0 : -1;
}

int gwindow_desc_file(const char *desc, char *file, int size) {
    if (!desc || !file || size < 2) return -1;
    file[0] = '\0';
    if (std::isdigit(static_cast<unsigned char>(desc[0])) || desc[0] == '+') return 0;
    char name[FILE_NAME_LEN];
    if ((desc[0] == 'w' || desc[0] == 'W') && desc[1] == '\0') {
        copy_field(name, "zuploop.win");
    } else if ((desc[0] == 'w' || desc[0] == 'W') && std::isdigit(static_cast<unsigned char>(desc[1]))) {
        std::snprintf(name, sizeof name, "zuploop.%d", std::atoi(desc + 1));
    } else {
        copy_field(name, desc);
    }
    copy_field(file, static_cast<size_t>(size), name);
    return 1;
}

namespace {

// The owner's window name without the trailing blanks.
std::string owner_title() {
    char *name = nullptr;
    std::string t;
    bool bad = x_fails([&] {
        if (XFetchName(S.display, S.root_window, &name) && name) t = name;
    });
    if (name) XFree(name);
    if (bad) return "\x01";
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}

// Asks the owner for a new frame and waits until its title drops the "+"
// marker (at most two minutes; a window that went away ends the wait).
void request_frame() {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = S.root_window;
    ev.xclient.message_type = XInternAtom(S.display, "ZUP_LOOP", False);
    ev.xclient.format = 8;
    ev.xclient.data.b[0] = 2;
    if (x_fails([&] { XSendEvent(S.display, S.root_window, False, NoEventMask, &ev); })) return;
    for (int i = 0; i < 600; ++i) {
        std::string t = owner_title();
        if (t == "\x01" || t.empty() || t.back() != '+') return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    MESS_print(192, "gopen_ws: no answer from the window owner\n");
}

std::unique_ptr<GksDevice> open_owned(const std::vector<std::string> &fields) {
    std::string desc = fields.size() > 1 ? fields[1] : "";
    if (desc.empty()) {
        const char *e = std::getenv("zupwindow");
        if (!e || !*e) e = std::getenv("WINDOW");
        if (e) desc = e;
    }
    if (desc.empty()) {
        MESS_print(192, "gopen_ws: window parameters not specified\n");
        return nullptr;
    }
    char file[FILE_NAME_LEN];
    if (gwindow_desc_file(desc.c_str(), file, sizeof file) == 1) {
        char path[FILE_NAME_LEN];
        FILE *f = gfind_file(file, path) ? FILE_open(path, "r") : nullptr;
        char line[256] = "";
        if (!f || !std::fgets(line, sizeof line, f)) {
            if (f) FILE_close(f);
            MESS_print(192, "gopen_ws: unable to open window id file\n");
            return nullptr;
        }
        FILE_close(f);
        line[std::strcspn(line, "\r\n")] = '\0';
        desc = line;
    }
    Gwin_desc ws;
    if (gparse_window_desc(desc.c_str(), &ws) != 0) {
        MESS_print(192, "gopen_ws: window id not specified\n");
        return nullptr;
    }
    if (!connect(fields.empty() ? "" : fields[0])) return nullptr;
    S.type = GWS_PIX;
    Window rootw = 0;
    int gx, gy;
    unsigned gw = 0, gh = 0, border, depth = 0;
    if (x_fails([&] { XGetGeometry(S.display, ws.pixmap, &rootw, &gx, &gy, &gw, &gh, &border, &depth); }) ||
        depth == 0) {
        MESS_print(192, "gopen_ws: unable to open window\n");
        close_display();
        return nullptr;
    }
    S.root_window = static_cast<Window>(ws.window);
    S.base_window = S.draw_window = static_cast<Pixmap>(ws.pixmap);
    S.depth = static_cast<int>(depth);
    int w = ws.width > 0 ? ws.width : static_cast<int>(gw);
    int h = ws.height > 0 ? ws.height : static_cast<int>(gh);
    S.root_width = w;
    S.root_height = h;
    if (ws.colormap) {
        S.user_colormap = static_cast<Colormap>(ws.colormap);
        S.own_colormap = false;
    }
    S.back_colr = BlackPixel(S.display, S.screen);
    S.fore_colr = WhitePixel(S.display, S.screen);
    if (S.root_window) {
        std::string t = owner_title();
        if (t != "\x01") {
            size_t cut = t.find(" [");
            if (cut != std::string::npos) t.resize(cut);
            if (!t.empty() && t.back() == '+') t.pop_back();
            gset_win_title(t.c_str());
        } else {
            S.root_window = 0;
        }
    }
    if (gget_pix_mode() == 2 && S.root_window) request_frame();
    // A geometry restricts the drawing area inside the owner's pixmap; a
    // panel geometry ("P") counts its rows from the top.
    int xo = 0, yo = 0, dw = w, dh = h;
    const char *geom = gget_geometry();
    if (!geom || !*geom) geom = RES_get("geometry");
    if (geom && *geom) {
        if (geom[0] == 'P' || geom[0] == 'p') {
            if (gapply_geometry(geom, 1.0f, 0, &dw, &dh, &xo, &yo)) yo = h - yo - dh;
        } else {
            int a = 0, b = 0, c = 0, d = 0;
            if (std::sscanf(geom, "%dx%d+%d+%d", &a, &b, &c, &d) == 4 && a > 0 && b > 0) {
                dw = std::min(a, w);
                dh = std::min(b, h);
                xo = std::clamp(c, 0, w - 1);
                yo = std::clamp(d, 0, h - 1);
            }
        }
    }
    make_gcs();
    gset_win_offset(xo, yo);
    gset_win_size(dw, dh);
    gset_redraw(0);
    return std::make_unique<X11Device>();
}

std::vector<std::string> split_fields(const char *text) {
    std::vector<std::string> out;
    std::string cur;
    for (const char *p = text ? text : ""; *p; ++p) {
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

}  // namespace

std::unique_ptr<GksDevice> gx11_make_device(const char *connection, int type) {
    std::vector<std::string> f = split_fields(connection);
    if (type == GWS_PIX) return open_owned(f);
    return open_window(f.empty() ? "" : f[0]);
}

// ---------------------------------------------------------------------------
// State queries

Display *gget_display() { return S.display; }
int gget_screen() { return S.screen; }
Window gget_root_window() { return S.root_window; }
Pixmap gget_base_window() { return S.base_window; }
int gset_base_window(Pixmap p) {
    if (S.draw_window == S.base_window) S.draw_window = p;
    S.base_window = p;
    return 0;
}
Drawable gget_draw_window() { return S.draw_window; }
int gset_draw_window(Drawable d) {
    S.draw_window = d ? d : S.base_window;
    return 0;
}
GC gget_root_gc() { return S.root_gc; }
Visual *gget_visual() { return S.visual; }
int gget_win_depth() { return S.depth; }
Colormap gget_colormap() { return S.user_colormap ? S.user_colormap : S.def_colormap; }
unsigned long gget_red_mask() { return S.visual ? S.visual->red_mask : 0; }
unsigned long gget_grn_mask() { return S.visual ? S.visual->green_mask : 0; }
unsigned long gget_blu_mask() { return S.visual ? S.visual->blue_mask : 0; }
unsigned long gget_fore_colr() { return S.fore_colr; }
int gget_x11_type() { return S.display ? S.type : 0; }
GC gget_line_gc() { return S.gc[kLine]; }
GC gget_marker_gc() { return S.gc[kMark]; }
GC gget_fill_gc() { return S.gc[kFill]; }
GC gget_text_gc() { return S.gc[kText]; }
int gget_line_gc_func() { return S.line_gc_function; }
int gset_line_gc_func(int f) {
    int old = S.line_gc_function;
    S.line_gc_function = f;
    if (S.display && S.gc[kLine]) XSetFunction(S.display, S.gc[kLine], f);
    return old;
}

int gxline(Drawable w, const XPoint *a, const XPoint *b) {
    if (!S.display || !S.gc[kLine] || !a || !b) return -1;
    XDrawLine(S.display, w, S.gc[kLine], a->x, a->y, b->x, b->y);
    return 0;
}

int gxrect(Drawable w, const XPoint *a, const XPoint *b) {
    if (!S.display || !S.gc[kLine] || !a || !b) return -1;
    int x = std::min(a->x, b->x), y = std::min(a->y, b->y);
    XDrawRectangle(S.display, w, S.gc[kLine], x, y, static_cast<unsigned>(std::abs(a->x - b->x)),
                   static_cast<unsigned>(std::abs(a->y - b->y)));
    return 0;
}

int gupdate_window() {
    if (!S.display) return -1;
    if (S.type == GWS_WIN && S.root_window && S.base_window)
        XCopyArea(S.display, S.base_window, S.root_window, S.root_gc, 0, 0,
                  static_cast<unsigned>(S.root_width), static_cast<unsigned>(S.root_height), 0, 0);
    XSync(S.display, False);
    return 0;
}

int gsync() {
    if (S.display) XSync(S.display, False);
    return 0;
}

int gset_cursor(int n) {
    int old = S.cursor;
    if (!S.display || S.type != GWS_WIN || n < 0 || n >= kNumCursors) return old;
    if (n != S.cursor && S.cursors[n]) XDefineCursor(S.display, S.root_window, S.cursors[n]);
    S.cursor = n;
    XFlush(S.display);
    return old;
}

int gset_cursor_type(int n) { return gset_cursor(n); }
int gget_cursor_type() { return S.cursor; }

int gbell(int percent) {
    if (!S.display) return -1;
    XBell(S.display, percent == 0 ? 50 : std::clamp(percent, -100, 100));
    XFlush(S.display);
    return 0;
}

int gset_icon_bitmap(const unsigned char *bits, int width, int height) {
    if (!bits || width < 1 || height < 1 || width > 256 || height > 256) {
        I = IconBits{};
        return -1;
    }
    I.bits.assign(bits, bits + static_cast<size_t>((width + 7) / 8) * static_cast<size_t>(height));
    I.width = width;
    I.height = height;
    return 0;
}

int gget_root_size(int *width, int *height) {
    if (width) *width = S.root_width;
    if (height) *height = S.root_height;
    return 0;
}

int gset_xsize(int width, int height) {
    if (width < 1 || height < 1) return -1;
    return gset_win_size(width, height);
}

int gset_xoff(int x, int y) {
    gset_win_offset(x, y);
    int w, h;
    gget_win_size(&w, &h);
    return gset_win_size(w, h);
}

int gget_window_width() { return S.root_width; }
int gget_window_height() { return S.root_height; }

// A new pixmap of the window's size holding as much of the old picture as
// fits; the rest is background.
int gx11_new_pixmap(int width, int height, bool keep) {
    if (!S.display || S.type != GWS_WIN) return -1;
    Pixmap p = XCreatePixmap(S.display, S.root_window, static_cast<unsigned>(width),
                             static_cast<unsigned>(height), static_cast<unsigned>(S.depth));
    long bg = gget_back_color();
    fill_drawable(p, bg >= 0 ? static_cast<unsigned long>(bg) : S.back_colr, 0, 0, width, height);
    if (keep && S.base_window)
        XCopyArea(S.display, S.base_window, p, S.root_gc, 0, 0,
                  static_cast<unsigned>(std::min(width, S.root_width)),
                  static_cast<unsigned>(std::min(height, S.root_height)), 0, 0);
    if (S.base_window) XFreePixmap(S.display, S.base_window);
    S.base_window = S.draw_window = p;
    S.root_width = width;
    S.root_height = height;
    return 0;
}

int gx11_fill(Drawable d, int x, int y, int width, int height) {
    if (!S.display || !d) return -1;
    long bg = gget_back_color();
    fill_drawable(d, bg >= 0 ? static_cast<unsigned long>(bg) : S.back_colr, x, y, width, height);
    return 0;
}

bool gx11_is_delete(const XEvent *ev) {
    return ev && ev->type == ClientMessage && S.wm_delete &&
           static_cast<Atom>(ev->xclient.data.l[0]) == S.wm_delete;
}

// ---------------------------------------------------------------------------
// X errors

int gset_xerror_print(int on) {
    int old = S.xerror_print;
    S.xerror_print = on;
    return old;
}

int gget_xerror() {
    int e = S.xerror;
    S.xerror = 0;
    return e;
}

int Xerror_handler(Display *d, XErrorEvent *e) {
    S.xerror = e->error_code;
    if (!S.xerror_print) return 0;
    char text[160] = "", num[16], req[160] = "";
    XGetErrorText(d, e->error_code, text, sizeof text);
    std::snprintf(num, sizeof num, "%d", e->request_code);
    XGetErrorDatabaseText(d, "XRequest", num, num, req, sizeof req);
    MESS_print(192, "X11 error: %s in %s\n", text, req);
    if (++S.num_error >= kMaxErrors) {
        // No requests may be made from here: the frames go with the
        // connection when the program ends.
        MESS_print(48, "X11 error: too many errors\n");
        S.dead = true;
        ZUP_exit(4);
    }
    return 0;
}

int XerrorIO_handler(Display *) {
    S.dead = true;
    MESS_print(48, "Fatal X11 Error\n");
    ZUP_exit(4);
    return 0;
}
