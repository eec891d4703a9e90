// gks_img.cpp - reading the picture of the open workstation into an image
// record, and the dump entries that read and write in one step.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

#include "gks.h"
#include "gks_dev.h"
#include "gks_img_x.h"
#include "gks_x11.h"
#include "zupcty.h"
#include "zupimg.h"

namespace {

struct ImageState {
    int save_type = IMG_TYPE_GIF;
    bool have_date = false;
    Date date = {-9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999};
    int x_error = 0;
};

ImageState S;

int catch_x_error(Display *, XErrorEvent *) {
    S.x_error = 1;
    return 0;
}

// Date, date text and map domain of the picture.
void stamp(IMG_report *img) {
    img->date = S.date;
    img->datim[0] = '\0';
    if (S.have_date) {
        char label[80] = "";
        DATE_make_label(&S.date, label);
        copy_field(img->datim, label);
    }
    Domain dom;
    MAP_get_domain(&dom);
    // Only map projections describe a picture's area.
    bool map = dom.proj >= 1 && dom.proj <= 9;
    if (map) img->domain = dom;
    else img->domain.proj = -9999;
}

// The window name: the title, with its extra text after a blank.
void window_name(IMG_report *img) {
    const char *t = gget_win_title(), *e = gget_win_title_extra();
    char name[160];
    if (e && *e) std::snprintf(name, sizeof name, "%s %s", t, e);
    else std::snprintf(name, sizeof name, "%s", t);
    copy_field(img->info, name);
}

using Writer = int (*)(const char *, IMG_report *);

int dump(const char *file, Writer w) {
    IMG_report img;
    if (!gget_image(&img)) return 0;
    int rc = w(file, &img);
    IMG_free(&img);
    return rc;
}

int write_own(const char *file, IMG_report *img) { return IMG_write(file, img, 1); }

}  // namespace

int gimg_read_drawable(Display *dpy, Drawable d, Window win, Visual *visual, Colormap cmap,
                       IMG_report *img) {
    if (!dpy || !d || !img) return 0;
    Window root;
    int x = 0, y = 0;
    unsigned int w = 0, h = 0, border = 0, depth = 0;
    XSync(dpy, False);
    S.x_error = 0;
    XErrorHandler old = XSetErrorHandler(catch_x_error);
    Status st = XGetGeometry(dpy, d, &root, &x, &y, &w, &h, &border, &depth);
    XSync(dpy, False);
    if (!st || S.x_error) {
        XSetErrorHandler(old);
        MESS_print(192, "gget_image: Can't get target window attributes\n");
        return 0;
    }
    char *name = nullptr;
    if (win && XFetchName(dpy, win, &name) && name) {
        // The window name is padded with blanks to the title field.
        copy_field(img->info, name);
        XFree(name);
        for (size_t n = std::strlen(img->info); n > 0 && img->info[n - 1] == ' '; --n)
            img->info[n - 1] = '\0';
    } else {
        window_name(img);
    }
    XImage *xi = XGetImage(dpy, d, 0, 0, w, h, AllPlanes, ZPixmap);
    XSync(dpy, False);
    XSetErrorHandler(old);
    if (!xi || S.x_error) {
        if (xi) XDestroyImage(xi);
        MESS_print(192, "gget_image: Unable to get image at %dx%d+%d+%d\n", static_cast<int>(w),
                   static_cast<int>(h), 0, 0);
        return 0;
    }
    img->width = xi->width;
    img->height = xi->height;
    img->depth = xi->depth;
    img->bits_pixel = xi->bits_per_pixel;
    img->bytes_line = xi->bytes_per_line;
    img->byte_order = xi->byte_order == MSBFirst ? 1 : 0;
    const size_t bytes = static_cast<size_t>(xi->bytes_per_line) * static_cast<size_t>(xi->height);
    try {
        img->data.assign(reinterpret_cast<unsigned char *>(xi->data),
                         reinterpret_cast<unsigned char *>(xi->data) + bytes);
    } catch (const std::bad_alloc &) {
        XDestroyImage(xi);
        MESS_print(192, "gget_image: Unable to allocate data buffer.\n");
        return 0;
    }
    XDestroyImage(xi);
    int cls = visual ? visual->c_class : TrueColor;
    if (cls == TrueColor || cls == DirectColor) {
        img->color_type = 0;
        img->red = static_cast<unsigned int>(visual ? visual->red_mask : 0xff0000);
        img->grn = static_cast<unsigned int>(visual ? visual->green_mask : 0x00ff00);
        img->blu = static_cast<unsigned int>(visual ? visual->blue_mask : 0x0000ff);
        img->num_colors = 0;
        img->colors.clear();
    } else {
        img->color_type = 1;
        int n = visual ? visual->map_entries : 0;
        std::vector<XColor> xc;
        try {
            xc.resize(static_cast<size_t>(n));
        } catch (const std::bad_alloc &) {
            MESS_print(192, "gget_image: Unable to allocate memory for Xcolors\n");
            return 0;
        }
        for (int i = 0; i < n; ++i) {
            xc[static_cast<size_t>(i)].pixel = static_cast<unsigned long>(i);
            xc[static_cast<size_t>(i)].flags = DoRed | DoGreen | DoBlue;
        }
        if (n > 0) XQueryColors(dpy, cmap, xc.data(), n);
        try {
            img->colors.resize(static_cast<size_t>(n));
        } catch (const std::bad_alloc &) {
            MESS_print(192, "gget_image: Unable to allocate memory for colors\n");
            return 0;
        }
        for (int i = 0; i < n; ++i)
            img->colors[static_cast<size_t>(i)] = {xc[static_cast<size_t>(i)].red / 65535.0f,
                                                   xc[static_cast<size_t>(i)].green / 65535.0f,
                                                   xc[static_cast<size_t>(i)].blue / 65535.0f};
        img->num_colors = n;
    }
    img->trans_color = static_cast<int>(gget_back_color());
    return 1;
}

int gget_image(IMG_report *img) {
    if (!img) return 0;
    GksDevice *d = gdev();
    if (!d || !gchk_graphics()) {
        MESS_print(192, "gget_image: Can't get target window attributes\n");
        return 0;
    }
    img->info[0] = '\0';
    int ok = d->get_image(img);
    // The X window types: the drawing target (window pixmap or the selected
    // loop frame) read back from the server.
    if (!ok && gget_x11_type() && gget_display()) {
        ok = gimg_read_drawable(gget_display(), gget_draw_window(), gget_root_window(),
                                gget_visual(), gget_colormap(), img);
        if (!ok) return 0;
    }
    if (!ok) {
        MESS_print(192, "gget_image: Can't get target window attributes\n");
        return 0;
    }
    if (!img->info[0]) window_name(img);
    stamp(img);
    return 1;
}

void gset_image_date(const Date *date) {
    S.have_date = date != nullptr;
    if (date) S.date = *date;
    else S.date = {-9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999};
}

int GIF_dump(const char *file) { return dump(file, GIF_write); }
int PNG_dump(const char *file) { return dump(file, PNG_write); }
int XWD_dump(const char *file) { return dump(file, XWD_write); }
int IMG_dump(const char *file) { return dump(file, write_own); }

int gset_save_image_type(int type) {
    S.save_type = type;
    return 0;
}

int gget_save_image_type() { return S.save_type; }

int gsave_image_file(const char *file) {
    switch (S.save_type) {
    case IMG_TYPE_XWD: return XWD_dump(file);
    case IMG_TYPE_IMG: return IMG_dump(file);
    case IMG_TYPE_PNG: return PNG_dump(file);
    default: return GIF_dump(file);
    }
}
