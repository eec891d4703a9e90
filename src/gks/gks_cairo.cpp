// gks_cairo.cpp - the off-screen raster workstation: when a batch run asks
// for an image dump and no X display can be opened, the window type is
// served by a picture in memory drawn with cairo, at the window's size and
// with the window's colours, and the image writers read it back through
// gget_image.
//
// Rule (extension): the picture is 640 x 512 pixels unless the "geometry"
// resource (or gset_geometry) gives a size, the background is black (white
// in inverse video) unless gset_background or the "background" resource
// names a colour of the colour table, and drawing is not antialiased, so
// every pixel carries exactly one of the plot's colours, as in the window.
#include <X11/Xlib.h>
#include <cairo.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "colors.h"
#include "gks.h"
#include "gks_dev.h"
#include "zupimg.h"
#include "zupresrc.h"

namespace {

constexpr int kMaxSide = 32767;               // as an X pixmap
constexpr long kMaxPixels = 8192L * 8192L;    // 256 MB of 32-bit pixels

struct RasterState {
    int fallback = 0;   // serve the window type off-screen when no display
};

RasterState R;

// A channel as a 24-bit true-colour X server stores it: the 16-bit value
// of the colour request, top 8 bits kept.
unsigned char to8(float v) {
    float s = v * 65535.0f;
    long v16 = s <= 0 ? 0 : (s >= 65535 ? 65535 : std::lround(s));
    return static_cast<unsigned char>(v16 >> 8);
}

class RasterDevice : public GksDevice {
public:
    RasterDevice(int width, int height) : width_(width), height_(height) {
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cr_ = cairo_create(surface_);
        cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_BEVEL);
        cairo_set_source_rgb(cr_, 0, 0, 0);
        cairo_paint(cr_);
    }
    ~RasterDevice() override { release(); }

    bool ok() const {
        return surface_ && cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS && cr_ &&
               cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
    }

    int type() const override { return GWS_WIN; }
    int init_class() const override { return 0; }
    bool pixel_units() const override { return true; }
    int close() override {
        release();
        return 0;
    }

    void clip(const Glim &r) override {
        cairo_reset_clip(cr_);
        cairo_rectangle(cr_, r.x_min, r.y_min, r.x_max - r.x_min, r.y_max - r.y_min);
        cairo_clip(cr_);
    }

    void polyline(int n, const Gpt *d) override {
        mode_ = kNone;
        stroke_style(gget_linewidth(), gget_linetype());
        shadowed(n, d, gget_line_drop(), gget_line_colr());
    }

    void marker_begin(int) override {
        mode_ = kMarker;
        stroke_style(gget_marker_width(), 1);
    }

    void lines(int n, const Gpt *d) override {
        if (n < 1) return;
        if (mode_ == kText) {
            strokes_.emplace_back(d, d + n);
            return;
        }
        shadowed(n, d, gget_font_drop(), gget_marker_colr());
    }

    // The fill, then its outline with the same paint (as the window draws).
    void fill_area(int n, const Gpt *d) override {
        mode_ = kNone;
        int colour = gget_fill_colr();
        int style = gget_fill_int_style();
        cairo_pattern_t *stipple = nullptr;
        if (style == GPAT || style == GHATCH) {
            stipple = fill_pattern(colour, gget_fill_style_ind());
            cairo_set_source(cr_, stipple);
        } else {
            source(colour);
        }
        if (style != GHOLLOW) {
            path(n, d, 0.0, true);
            cairo_fill(cr_);
        }
        stroke_style(0.0f, 1);
        draw(n, d, 0);
        if (stipple) cairo_pattern_destroy(stipple);
    }

    // Strokes of one string: every shadow first, then the text.
    void text_begin(const Gpt &, const char *) override {
        mode_ = kText;
        strokes_.clear();
        stroke_style(gget_text_width(), 1);
    }

    void text_end() override {
        int depth = gget_font_drop();
        if (depth > 0) {
            cairo_set_source_rgb(cr_, 0, 0, 0);
            for (int i = 0; i < depth; ++i)
                for (const auto &st : strokes_) draw(static_cast<int>(st.size()), st.data(), i);
        }
        source(gget_text_colr());
        for (const auto &st : strokes_) draw(static_cast<int>(st.size()), st.data(), 0);
        strokes_.clear();
        mode_ = kNone;
    }

    long alloc_color(int, float r, float g, float b) override {
        return static_cast<long>(to8(r)) << 16 | static_cast<long>(to8(g)) << 8 | to8(b);
    }

    // Black (white in inverse video) unless a colour of the table is named;
    // "none", "def" and "over" name none.
    void background(const char *name) override {
        float r = 0, g = 0, b = 0;
        if (gget_inverse()) r = g = b = 1;
        if (name && *name && stricmp(name, "none") != 0 && stricmp(name, "def") != 0 &&
            stricmp(name, "over") != 0) {
            int i = CLR_get_ind(name);
            if (i >= 0) CLR_get_rgb(i, &r, &g, &b);
        }
        galloc_colr(GBACK_INDEX, r, g, b);
        clear();
    }

    void clear() override {
        cairo_save(cr_);
        cairo_reset_clip(cr_);
        source(-1);
        cairo_paint(cr_);
        cairo_restore(cr_);
    }

    // The rectangle in pixels, corners in any order.
    void clear_region(const Glim &r) override {
        double x0 = std::min(r.x_min, r.x_max), x1 = std::max(r.x_min, r.x_max);
        double y0 = std::min(r.y_min, r.y_max), y1 = std::max(r.y_min, r.y_max);
        source(-1);
        cairo_rectangle(cr_, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
        cairo_fill(cr_);
    }

    int get_image(IMG_report *img) override {
        if (!ok()) return 0;
        cairo_surface_flush(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        const unsigned char *p = cairo_image_surface_get_data(surface_);
        img->width = width_;
        img->height = height_;
        img->depth = 24;
        img->bits_pixel = 32;
        img->bytes_line = stride;
        img->byte_order = std::endian::native == std::endian::big ? 1 : 0;
        img->color_type = 0;
        img->red = 0xff0000;
        img->grn = 0x00ff00;
        img->blu = 0x0000ff;
        img->colors.clear();
        img->num_colors = 0;
        img->trans_color = static_cast<int>(gget_back_color());
        img->data.assign(p, p + static_cast<size_t>(stride) * static_cast<size_t>(height_));
        return 1;
    }

private:
    void release() {
        if (cr_) cairo_destroy(cr_);
        if (surface_) cairo_surface_destroy(surface_);
        cr_ = nullptr;
        surface_ = nullptr;
    }

    // The exact 8-bit colour of an index, so that each pixel value is the
    // one alloc_color gave that index; the print colours draw in colour 1.
    void source(int index) {
        if (index >= 500 && index <= 508) index = 1;
        float r = 0, g = 0, b = 0;
        gget_color_rgb(index, &r, &g, &b);
        cairo_set_source_rgb(cr_, to8(r) / 255.0, to8(g) / 255.0, to8(b) / 255.0);
    }

    // Line width in whole pixels (0 and 1 are one pixel with its end points)
    // and the dash patterns of the line types, as on the window.
    void stroke_style(float width, int type) {
        double w = std::max(1.0, std::round(static_cast<double>(std::clamp(width, 0.0f, 100.0f))));
        cairo_set_line_width(cr_, w);
        cairo_set_line_cap(cr_, w <= 1 ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
        static const double d2[] = {6, 6}, d3[] = {3, 6}, d4[] = {6, 6, 3, 6}, d5[] = {2, 2};
        switch (type) {
        case 2: cairo_set_dash(cr_, d2, 2, 0); break;
        case 3: cairo_set_dash(cr_, d3, 2, 0); break;
        case 4: cairo_set_dash(cr_, d4, 4, 0); break;
        case 5: cairo_set_dash(cr_, d5, 2, 0); break;
        default: cairo_set_dash(cr_, nullptr, 0, 0); break;
        }
    }

    // One stroke (a single point is one dot) moved by shift pixels.
    void draw(int n, const Gpt *d, int shift) {
        if (n == 1) {
            double w = cairo_get_line_width(cr_);
            double o = std::floor(w / 2);
            cairo_rectangle(cr_, d[0].x + shift - o, d[0].y + shift - o, w, w);
            cairo_fill(cr_);
            return;
        }
        path(n, d, 0.5 + shift, false);
        cairo_stroke(cr_);
    }

    // A drop shadow of depth pixels in black under the stroke.
    void shadowed(int n, const Gpt *d, int depth, int colour) {
        if (depth > 0) {
            cairo_set_source_rgb(cr_, 0, 0, 0);
            for (int i = 0; i < depth; ++i) draw(n, d, i);
        }
        source(colour);
        draw(n, d, 0);
    }

    void path(int n, const Gpt *d, double off, bool close) {
        cairo_new_path(cr_);
        cairo_move_to(cr_, d[0].x + off, d[0].y + off);
        for (int i = 1; i < n; ++i) cairo_line_to(cr_, d[i].x + off, d[i].y + off);
        if (close) cairo_close_path(cr_);
    }

    // An 8 x 8 stipple of the fill colour, anchored at the picture's origin
    // (least significant bit leftmost); the caller destroys the pattern.
    cairo_pattern_t *fill_pattern(int colour, int pat) {
        if (colour >= 500 && colour <= 508) colour = 1;
        cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        float r = 0, g = 0, b = 0;
        gget_color_rgb(colour, &r, &g, &b);
        uint32_t on = 0xff000000u | static_cast<uint32_t>(to8(r)) << 16 |
                      static_cast<uint32_t>(to8(g)) << 8 | to8(b);
        cairo_surface_flush(s);
        unsigned char *data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < 8; ++y) {
            unsigned char bits = gget_fill_pattern_row(std::clamp(pat, 0, GNUM_PATTERNS - 1), y);
            auto *row = reinterpret_cast<uint32_t *>(data + y * stride);
            for (int x = 0; x < 8; ++x) row[x] = ((bits >> x) & 1) ? on : 0;
        }
        cairo_surface_mark_dirty(s);
        cairo_pattern_t *p = cairo_pattern_create_for_surface(s);
        cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
        cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
        cairo_surface_destroy(s);
        return p;
    }

    enum Mode { kNone, kMarker, kText };
    Mode mode_ = kNone;
    std::vector<std::vector<Gpt>> strokes_;
    int width_;
    int height_;
    cairo_surface_t *surface_ = nullptr;
    cairo_t *cr_ = nullptr;
};

// Picture size: "[=]WxH..." of the geometry, else the window's default.
void picture_size(int *w, int *h) {
    *w = 640;
    *h = 512;
    const char *g = gget_geometry();
    if (!g || !*g) g = RES_get("geometry");
    if (!g || !*g) return;
    if (*g == '=') ++g;
    int a = 0, b = 0;
    if (std::sscanf(g, "%dx%d", &a, &b) == 2) {
        *w = a;
        *h = b;
    }
}

// Whether an X display answers (the connection's first field, else the
// default display).
bool display_reachable(const char *connection) {
    char name[FILE_NAME_LEN] = "";
    if (connection) {
        copy_field(name, connection);
        if (char *c = std::strchr(name, ',')) *c = '\0';
    }
    Display *dpy = XOpenDisplay(name[0] ? name : nullptr);
    if (!dpy) return false;
    XCloseDisplay(dpy);
    return true;
}

}  // namespace

int gset_raster_fallback(int on) {
    R.fallback = on ? 1 : 0;
    return 0;
}

int gget_raster_fallback() { return R.fallback; }

std::unique_ptr<GksDevice> graster_make_device(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        static_cast<long>(width) * height > kMaxPixels) {
        gerr_printf("gopen_ws", "picture of %dx%d pixels is too large (at most %dx%d)\n",
                    width, height, kMaxSide, kMaxSide);
        return nullptr;
    }
    auto d = std::make_unique<RasterDevice>(width, height);
    if (!d->ok()) return nullptr;
    return d;
}

std::unique_ptr<GksDevice> graster_fallback(const char *connection) {
    if (!R.fallback || display_reachable(connection)) return nullptr;
    int w = 640, h = 512;
    picture_size(&w, &h);
    MESS_print(3840, "No display: drawing the %dx%d picture off-screen\n", w, h);
    auto d = graster_make_device(w, h);
    if (!d) {
        gerr_printf("gopen_ws", "unable to open window\n");
        return nullptr;
    }
    gset_win_size(w, h);
    return d;
}
