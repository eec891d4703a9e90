// gks_evnt.h - the window workstation's interaction: named events for the
// program's callback, rubber bands, the hold, cursors, resize and refresh.
// Without a window these calls do nothing and return 0 (or -1 where noted).
#ifndef GKS_EVNT_H
#define GKS_EVNT_H

#include <cstddef>

#include "gks.h"

// Event callback: kind 2 keys and "size", 3 mouse buttons; the event name
// ("B1-P-Shft", "B3-R", "d-Alt", "Ret", "size", ...); x, y the position in
// world coordinates of the current transformation (for "size" the new
// width and height in pixels).
using Gevent_fn = void (*)(int kind, const char *name, float x, float y);
// Periodic refresh callback.
using Grefresh_fn = int (*)();

// Resets the event state (dev_class -1: the window is closing).
int ginit_event(int dev_class);
Gevent_fn gset_mouse_callback(Gevent_fn f);   // -> the previous one
Gevent_fn gget_mouse_callback();
int gset_input_mode(int mode);   // 1 waits for input, anything else idles
int gget_input_mode();           // 0 idle, 1 waiting, 2 key typed, 3 finished
int gis_mapped();
int gis_focused();
// The interactive hold of a finished picture on the new window: events go
// to the callback until Return, Alt-q or the owner's finish message.
int ghold_window();
// Copies the pixmap to the window after exposures (during long drawings).
int gcheck_expose();
int gcheck_event();   // processes pending events -> number of user events
int gwait_event();    // blocks for one event, then drains the queue

// Rubber bands, drawn in exclusive-or on the window while a button is held:
// type 0 off, 1 a line from the anchor to the pointer, 2 the rectangle
// spanned by anchor and pointer, 3 lines from one or two anchors.
int gset_rubber_band(int type);
int gget_rubber_band();
// World points: n = 1 the anchor (the moving point starts there); n = 2
// anchor and moving point; n = 3 anchor, moving point, second anchor.
// con 1 keeps the moving point's x, 2 its y.
int gset_rubber_band_points(const Gpt *pts, int n, int con);
// Two world points bounding the moving point (x = -10000: no limit); the
// limits hold until the band ends.
int gset_rubber_band_limits(const Gpt *lim);

// Event names: the button or key text with "-Alt", "-Shft", "-Cntrl"
// appended for the modifiers held (X modifier state bits).
int gevent_name(char *out, std::size_t size, const char *base, unsigned int state);

int gresize_window(int width, int height);   // -> 1 changed, 0 same, -1 none
int gupdate_window();                        // pixmap to window, sync
int gset_cursor(int n);        // 0-8; -> the previous number
int gset_cursor_type(int n);
int gget_cursor_type();
int gbell(int percent);        // 0 means 50
int gsync();
int gset_refresh_callback(float seconds, Grefresh_fn f);
// The 48 x 48 (or w x h) icon bitmap, rows of bytes, least significant bit
// leftmost.
int gset_icon_bitmap(const unsigned char *bits, int width, int height);
int gget_root_size(int *width, int *height);
int gset_xsize(int width, int height);
int gset_xoff(int x, int y);
int gget_window_width();
int gget_window_height();

#endif  // GKS_EVNT_H
