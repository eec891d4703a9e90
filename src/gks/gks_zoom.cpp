// gks_zoom.cpp - magnification of the window picture: each pixel of a part
// of the picture repeated zoom x zoom times over the whole window.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "gks.h"
#include "gks_x11.h"
#include "zup.h"

namespace {

constexpr int kMaxZoom = 1024;

// An X image whose pixel buffer belongs to us.
struct Image {
    XImage *img = nullptr;
    std::vector<char> data;
    Image() = default;
    Image(const Image &) = delete;
    Image &operator=(const Image &) = delete;
    ~Image() { reset(); }
    void reset() {
        if (img) {
            if (!data.empty()) img->data = nullptr;
            XDestroyImage(img);
        }
        img = nullptr;
        data.clear();
    }
};

struct MagnifyState {
    int zoom = 1;
    int zoom_x = 0;
    int zoom_y = 0;
    int centre_x = -1;
    int centre_y = -1;
    std::unique_ptr<Image> base_image;   // the unmagnified window picture
    Display *display = nullptr;
};

MagnifyState Z;

std::unique_ptr<Image> fetch(Drawable d, int w, int h) {
    auto im = std::make_unique<Image>();
    int print = gset_xerror_print(0);
    im->img = XGetImage(gget_display(), d, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                        AllPlanes, ZPixmap);
    gset_xerror_print(print);
    if (!im->img) return nullptr;
    return im;
}

// dst pixel (c, r) = src pixel (x0 + c / zoom, y0 + r / zoom).
template <class T>
void replicate(const XImage *src, XImage *dst, int x0, int y0, int zoom) {
    for (int r = 0; r < dst->height; ++r) {
        const T *s = reinterpret_cast<const T *>(src->data + static_cast<long>(y0 + r / zoom) * src->bytes_per_line);
        T *d = reinterpret_cast<T *>(dst->data + static_cast<long>(r) * dst->bytes_per_line);
        for (int c = 0; c < dst->width; ++c) d[c] = s[x0 + c / zoom];
    }
}

void replicate_any(XImage *src, XImage *dst, int x0, int y0, int zoom) {
    for (int r = 0; r < dst->height; ++r)
        for (int c = 0; c < dst->width; ++c)
            XPutPixel(dst, c, r, XGetPixel(src, x0 + c / zoom, y0 + r / zoom));
}

}  // namespace

int gzoom(int frame, int x, int y, int factor, int) {
    Display *d = gget_display();
    if (!d || gget_x11_type() != GWS_WIN) return -1;
    if (Z.display != d) greset_zoom();
    int next = factor == -2 ? Z.zoom * 2 : factor;
    if (Z.zoom >= kMaxZoom && next > Z.zoom) {
        MESS_print(192, "gzoom: Cannot zoom past 1024x\n");
        return -1;
    }
    if (next < 1) return -1;
    next = std::min(next, kMaxZoom);
    const int w = gget_window_width(), h = gget_window_height();
    if (w < 1 || h < 1) return -1;

    // The picture: a frame being shown, else the window's own, saved the
    // first time it is magnified.
    std::unique_ptr<Image> frame_image;
    XImage *src = nullptr;
    int f = frame == GFRAME_WINDOW ? -1 : gframe_number(frame);
    if (f >= 0 && gget_num_images() > 0) {
        frame_image = fetch(gget_frame_id(f), w, h);
        if (!frame_image) return -1;
        src = frame_image->img;
    } else {
        if (!Z.base_image) {
            Z.base_image = fetch(gget_base_window(), w, h);
            if (!Z.base_image) return -1;
            Z.display = d;
        }
        src = Z.base_image->img;
    }
    if (src->width < w || src->height < h) return -1;

    // Centre in unmagnified pixels: the pointer seen through the current
    // magnification, or the previous centre (first: the middle).
    if (x != -1) {
        Z.centre_x = static_cast<int>(xZ_p(static_cast<float>(x)));
        Z.centre_y = static_cast<int>(yZ_p(static_cast<float>(y)));
    } else if (Z.centre_x < 0) {
        Z.centre_x = w / 2;
        Z.centre_y = h / 2;
    }
    // The source rectangle covers the window once magnified and is moved
    // back inside the picture at the edges.
    int span_x = (w - 1) / next + 1, span_y = (h - 1) / next + 1;
    int xs = std::clamp(Z.centre_x - span_x / 2, 0, w - span_x);
    int ys = std::clamp(Z.centre_y - span_y / 2, 0, h - span_y);

    Image out;
    out.img = XCreateImage(d, gget_visual(), static_cast<unsigned>(src->depth), ZPixmap, 0, nullptr,
                           static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
    if (!out.img) return -1;
    out.data.assign(static_cast<size_t>(out.img->bytes_per_line) * static_cast<size_t>(h), 0);
    out.img->data = out.data.data();
    out.img->byte_order = src->byte_order;
    if (src->bits_per_pixel == 32 && out.img->bits_per_pixel == 32)
        replicate<uint32_t>(src, out.img, xs, ys, next);
    else if (src->bits_per_pixel == 16 && out.img->bits_per_pixel == 16)
        replicate<uint16_t>(src, out.img, xs, ys, next);
    else if (src->bits_per_pixel == 8 && out.img->bits_per_pixel == 8)
        replicate<uint8_t>(src, out.img, xs, ys, next);
    else
        replicate_any(src, out.img, xs, ys, next);
    XPutImage(d, gget_base_window(), gget_root_gc(), out.img, 0, 0, 0, 0, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    Z.zoom = next;
    Z.zoom_x = xs;
    Z.zoom_y = ys;
    gupdate_window();
    return 0;
}

int gunzoom() {
    Display *d = gget_display();
    if (Z.zoom == 1) return 0;
    Z.zoom = 1;
    Z.zoom_x = Z.zoom_y = 0;
    Z.centre_x = Z.centre_y = -1;
    if (!d || Z.display != d) {
        greset_zoom();
        return 0;
    }
    if (gget_num_images() > 0 && gget_cur_frame() >= 0) {
        gdisplay_frame(GFRAME_CURRENT);
    } else if (Z.base_image) {
        XImage *im = Z.base_image->img;
        XPutImage(d, gget_base_window(), gget_root_gc(), im, 0, 0, 0, 0, static_cast<unsigned>(im->width),
                  static_cast<unsigned>(im->height));
        gupdate_window();
    }
    greset_zoom();
    return 0;
}

int greset_zoom() {
    Z.base_image.reset();
    Z.display = nullptr;
    Z.zoom = 1;
    Z.zoom_x = Z.zoom_y = 0;
    Z.centre_x = Z.centre_y = -1;
    return 0;
}

int gget_zoom() { return Z.zoom; }

float xZ_p(float px) { return px / static_cast<float>(Z.zoom) + static_cast<float>(Z.zoom_x); }
float yZ_p(float py) { return py / static_cast<float>(Z.zoom) + static_cast<float>(Z.zoom_y); }
float xp_Z(float px) { return (px - static_cast<float>(Z.zoom_x)) * static_cast<float>(Z.zoom); }
float yp_Z(float py) { return (py - static_cast<float>(Z.zoom_y)) * static_cast<float>(Z.zoom); }
