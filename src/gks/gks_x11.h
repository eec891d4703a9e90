// gks_x11.h - the X11 state of the window workstations (types 1 and 6):
// the display connection, the visible window, the pixmap drawn into, the
// visual and colormap, the graphics contexts, and the loop-frame pixmaps.
// Everything here is null / 0 while no window workstation is open.
#ifndef GKS_X11_H
#define GKS_X11_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

#include "gks_dev.h"
#include "gks_evnt.h"
#include "gks_loop.h"
#include "gks_zoom.h"

// The device of workstation types 1 (new window) and 6 (a window or pixmap
// owned by another process); the kernel's window factory.
std::unique_ptr<GksDevice> gx11_make_device(const char *connection, int type);

Display *gget_display();
int gget_screen();
Window gget_root_window();     // the visible window (type 6: the owner's)
Pixmap gget_base_window();     // the pixmap every picture is drawn into
int gset_base_window(Pixmap p);
Drawable gget_draw_window();   // current drawing target (base or a frame)
int gset_draw_window(Drawable d);
GC gget_root_gc();
Visual *gget_visual();
int gget_win_depth();
Colormap gget_colormap();      // the colormap in use (private or default)
unsigned long gget_red_mask();
unsigned long gget_grn_mask();
unsigned long gget_blu_mask();
unsigned long gget_fore_colr();

// Graphics contexts of the primitives.
GC gget_line_gc();
GC gget_marker_gc();
GC gget_fill_gc();
GC gget_text_gc();
int gget_line_gc_func();
int gset_line_gc_func(int f);

// One line / the rectangle between two pixel points, with the line context.
int gxline(Drawable w, const XPoint *a, const XPoint *b);
int gxrect(Drawable w, const XPoint *a, const XPoint *b);

// Loop frames: pixmap of frame n (frame arguments as in gks_loop.h; -3 the
// window's own pixmap), 0 when there is none.
Pixmap gget_frame_id(int n);
int gset_frame_id(int n, Pixmap p);

// A new window pixmap of the given size (keep: with the old picture) for
// the open type-1 window; it becomes the base and drawing target.
int gx11_new_pixmap(int width, int height, bool keep);
// Fills a rectangle of a drawable with the background colour.
int gx11_fill(Drawable d, int x, int y, int width, int height);
// true for the window manager's request to close the window.
bool gx11_is_delete(const XEvent *ev);
// The open window type (1 or 6), 0 without a window.
int gget_x11_type();

// A type-6 window description: "+win:pixmap:WxH:cmap",
// "0xpixmap:WxH:cmap" (hexadecimal) or "pixmap:WxH:cmap".
struct Gwin_desc {
    unsigned long window = 0;
    unsigned long pixmap = 0;
    int width = 0;
    int height = 0;
    unsigned long colormap = 0;
};
// -> 0, -1 when no pixmap is given.
int gparse_window_desc(const char *desc, Gwin_desc *out);
// The file that holds a description ("w" -> "zuploop.win", "w3" ->
// "zuploop.3", other text: the name itself) -> 1 and the name in file, 0
// when desc is a description itself.
int gwindow_desc_file(const char *desc, char *file, int size);

// Processes one X event of the window (see gks_evnt.h).
int gprocess_x11_event(XEvent *ev);

// X error handlers: messages, the error count and exit status 4.
int Xerror_handler(Display *d, XErrorEvent *e);
int XerrorIO_handler(Display *d);
// Error printing on or off (-> previous); the last error code (0 none),
// cleared by the call.
int gset_xerror_print(int on);
int gget_xerror();

#endif  // GKS_X11_H
