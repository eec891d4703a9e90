// gks_evnt.cpp - events of the new window: named button and key events for
// the program's callback, the Alt keys, rubber bands, exposure and resize,
// the interactive hold with loop frames and the periodic refresh.
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/select.h>

#include "gks.h"
#include "gks_obj.h"
#include "gks_x11.h"
#include "zup.h"
#include "zupimg.h"
#include "zupresrc.h"

namespace {

constexpr float kNoLimit = -10000.0f;

struct EventState {
    int mapped = 0;
    int focused = 0;
    int Expose_cnt = 0;
    Gevent_fn mouse_CB = nullptr;
    int input_mode = 0;
    int user_event = 0;
    int rubber_band = 0;
    int rubber_band_con = 0;
    int rubber_band_num = 0;
    bool band_drawn = false;
    bool has_lim_x = false;
    bool has_lim_y = false;
    XPoint lim[2] = {};
    XPoint pts[5] = {};
    Grefresh_fn refresh_CB = nullptr;
    float refresh = 0;
    std::chrono::steady_clock::time_point last_refresh;
    GC band_gc = nullptr;
    Display *band_display = nullptr;
};

EventState E;

bool is_window() { return gget_x11_type() == GWS_WIN; }

XPoint to_window(const Gpt &w) {
    XPoint p;
    p.x = static_cast<short>(std::clamp(std::floor(xp_Z(xW_p(w.x)) + 0.5f), -32000.0f, 32000.0f));
    p.y = static_cast<short>(std::clamp(std::floor(yp_Z(yW_p(w.y)) + 0.5f), -32000.0f, 32000.0f));
    return p;
}

float world_x(int px) { return xp_W(xZ_p(static_cast<float>(px))); }
float world_y(int py) { return yp_W(yZ_p(static_cast<float>(py))); }

// Exclusive-or context of the rubber band on the visible window.
GC band_gc() {
    Display *d = gget_display();
    if (E.band_gc && E.band_display == d) return E.band_gc;
    XGCValues v{};
    v.function = GXxor;
    v.foreground = gget_fore_colr() ^ static_cast<unsigned long>(std::max(0L, gget_back_color()));
    if (v.foreground == 0) v.foreground = ~0UL;
    v.subwindow_mode = IncludeInferiors;
    v.line_width = 0;
    E.band_gc = XCreateGC(d, gget_root_window(), GCFunction | GCForeground | GCSubwindowMode | GCLineWidth, &v);
    E.band_display = d;
    return E.band_gc;
}

void draw_band() {
    Display *d = gget_display();
    if (!d || !E.rubber_band) return;
    GC gc = band_gc();
    Window w = gget_root_window();
    const XPoint &a = E.pts[0], &m = E.pts[1], &b = E.pts[2];
    switch (E.rubber_band) {
    case 1:
        XDrawLine(d, w, gc, a.x, a.y, m.x, m.y);
        break;
    case 2:
        XDrawRectangle(d, w, gc, std::min(a.x, m.x), std::min(a.y, m.y),
                       static_cast<unsigned>(std::abs(a.x - m.x)), static_cast<unsigned>(std::abs(a.y - m.y)));
        break;
    case 3:
        XDrawLine(d, w, gc, a.x, a.y, m.x, m.y);
        if (E.rubber_band_num >= 3) XDrawLine(d, w, gc, b.x, b.y, m.x, m.y);
        break;
    default:
        break;
    }
    E.band_drawn = !E.band_drawn;
    XFlush(d);
}

// The moving point follows the pointer, held on one axis and kept inside
// the limits.
void move_band(int x, int y) {
    XPoint &m = E.pts[1];
    if (E.rubber_band_con != 1) m.x = static_cast<short>(x);
    if (E.rubber_band_con != 2) m.y = static_cast<short>(y);
    if (E.has_lim_x)
        m.x = std::clamp(m.x, std::min(E.lim[0].x, E.lim[1].x), std::max(E.lim[0].x, E.lim[1].x));
    if (E.has_lim_y)
        m.y = std::clamp(m.y, std::min(E.lim[0].y, E.lim[1].y), std::max(E.lim[0].y, E.lim[1].y));
}

void end_band() {
    if (E.band_drawn) draw_band();
    E.band_drawn = false;
    E.rubber_band = 0;
    E.has_lim_x = E.has_lim_y = false;
}

void deliver(int kind, const char *name, float x, float y) {
    ++E.user_event;
    if (!E.mouse_CB) return;
    E.mouse_CB(kind, name, x, y);
    // Whatever the callback drew shows at once (a drawn band is gone then).
    if (gget_display() && is_window()) {
        gupdate_window();
        E.band_drawn = false;
    }
}

const char *button_text(unsigned b) {
    switch (b) {
    case Button1: return "B1";
    case Button2: return "B2";
    case Button3: return "B3";
    default: return nullptr;
    }
}

// Loop slower (button 1, "[") or faster (button 3, "]").
void loop_slower() { ginc_loop_delay(gget_loop_delay() < 0.09f ? 0.05f : 0.1f); }
void loop_faster() { ginc_loop_delay(gget_loop_delay() <= 0.11f ? -0.05f : -0.1f); }
bool loop_running() { return gget_looping() && gget_num_images() > 1; }

void button_press(XButtonEvent &b) {
    bool alt = b.state & Mod1Mask;
    if (!alt && gget_num_images() > 0) {
        if (b.button == Button1) {
            if (loop_running()) loop_slower();
            else ginc_frame(-1);
        } else if (b.button == Button2) {
            gtoggle_loop(2);
        } else if (b.button == Button3) {
            if (loop_running()) loop_faster();
            else ginc_frame(1);
        }
    }
    const char *t = button_text(b.button);
    if (!t) return;
    char name[32];
    gevent_name(name, sizeof name, (std::string(t) + "-P").c_str(), b.state);
    deliver(3, name, world_x(b.x), world_y(b.y));
}

void button_release(XButtonEvent &b) {
    const char *t = button_text(b.button);
    if (!t) return;
    int x = b.x, y = b.y;
    if (E.rubber_band) {
        if (E.band_drawn) draw_band();
        E.band_drawn = false;
        move_band(b.x, b.y);
        x = E.pts[1].x;
        y = E.pts[1].y;
        end_band();
    }
    char name[32];
    gevent_name(name, sizeof name, (std::string(t) + "-R").c_str(), b.state);
    deliver(3, name, world_x(x), world_y(y));
}

void motion(XEvent &ev) {
    Display *d = gget_display();
    XEvent next;
    while (XCheckTypedWindowEvent(d, ev.xmotion.window, MotionNotify, &next)) ev = next;
    if (!E.rubber_band) return;
    if (E.band_drawn) draw_band();
    move_band(ev.xmotion.x, ev.xmotion.y);
    draw_band();
}

// Image dumps of the window (Alt-g GIF, Alt-x XWD): the first five
// characters of the title, blanks made "_", on the "image_path" directory;
// with two or more frames every frame while looping, else the current one.
void dump_images(bool gif) {
    char stem[8];
    std::snprintf(stem, sizeof stem, "%.5s", gget_win_title());
    for (char *c = stem; *c; ++c)
        if (*c == ' ') *c = '_';
    const char *ext = gif ? "gif" : "xwd";
    int (*dump)(const char *) = gif ? GIF_dump : XWD_dump;
    auto path = [](const char *name, char *out) { FILE_add_res_path("image_path", name, out); };
    char name[64], file[FILE_NAME_LEN];
    auto write = [&](const char *f) {
        if (dump(f)) MESS_print(15, gif ? "Created GIF file: %s\n" : "Created XWD file: %s\n", f);
        else MESS_print(192, gif ? "gprocess_x11_event: Unable to write GIF file: %s\n"
                                 : "gprocess_x11_event: Unable to write XWD file: %s\n", f);
    };
    int n = gget_num_images();
    if (n < 2) {
        std::snprintf(name, sizeof name, "%s.%s", stem, ext);
        path(name, file);
        write(file);
        return;
    }
    Drawable draw = gget_draw_window();
    int cur = gget_cur_frame();
    if (gget_looping()) {
        MESS_print(15, gif ? "Creating GIF files:\n" : "Creating XWD files:\n");
        for (int i = 0; i < n; ++i) {
            std::snprintf(name, sizeof name, "%s-%2.2d.%s", stem, i, ext);
            path(name, file);
            gset_draw_window(gget_frame_id(i));
            write(file);
        }
    } else {
        std::snprintf(name, sizeof name, "%s-%2.2d.%s", stem, cur < 0 ? 0 : cur, ext);
        path(name, file);
        gset_draw_window(gget_frame_id(cur < 0 ? 0 : cur));
        write(file);
    }
    gset_draw_window(draw);
}

void key_press(XKeyEvent &k) {
    if (E.input_mode != 1 && E.input_mode != 2) return;
    char text[16] = "";
    KeySym sym = 0;
    int n = XLookupString(&k, text, sizeof text - 1, &sym, nullptr);
    text[n > 0 ? n : 0] = '\0';
    if (E.input_mode == 1) E.input_mode = 2;
    std::string base;
    if (sym == XK_Return || sym == XK_KP_Enter) {
        E.input_mode = 3;
        base = "Ret";
    } else {
        // Without Control the text is the key itself; with it, the key's
        // own character.
        if ((k.state & ControlMask) && sym >= 0x20 && sym < 0x7f) {
            text[0] = static_cast<char>(sym);
            text[1] = '\0';
        }
        if (!text[0] || static_cast<unsigned char>(text[0]) < 0x20) return;
        // Caps Lock alone does not change the key's name.
        if ((k.state & LockMask) && !(k.state & ShiftMask) && !text[1])
            text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
        base = text;
    }
    bool alt = k.state & Mod1Mask;
    bool call = true;
    if (alt && base.size() == 1) {
        switch (base[0]) {
        case 'q':
            E.input_mode = 3;
            break;
        case 'd':
            gdelete_frame(GFRAME_CURRENT);
            break;
        case 'z':
            gzoom(gget_num_images() > 0 ? GFRAME_CURRENT : GFRAME_WINDOW, k.x, k.y, -2, 0);
            break;
        case 'u':
            if (gget_zoom() > 1) {
                gunzoom();
                call = false;
            }
            break;
        case 'm':
            gobj_print_meta();
            break;
        case 'g':
        case 'x':
            dump_images(base[0] == 'g');
            break;
        case 'l':
            gtoggle_loop(2);
            break;
        case ']':
            if (loop_running()) loop_faster();
            else ginc_frame(1);
            break;
        case '[':
            if (loop_running()) loop_slower();
            else ginc_frame(-1);
            break;
        default:
            break;
        }
    }
    if (!call) return;
    char name[32];
    gevent_name(name, sizeof name, base.c_str(), k.state);
    deliver(2, name, world_x(k.x), world_y(k.y));
}

void client_message(XClientMessageEvent &c) {
    if (gx11_is_delete(reinterpret_cast<XEvent *>(&c))) {
        E.input_mode = 3;
        return;
    }
    if (c.format != 8) return;
    if (c.data.b[0] == 9) {
        E.input_mode = 3;
    } else if (c.data.b[0] == 2) {
        // Another process asks for a new frame to draw into.
        gset_win_title_extra("+");
        int n = gget_num_images();
        if (n > 0) {
            int f = gcreate_frame(-1);
            if (f >= 0) {
                gcopy_frame(f, n - 1);
                gclear_frame(n - 1);
            }
        } else {
            gcreate_frame(0);
            gset_looping(1);
        }
        gset_win_title_extra("");
    }
}

void configure() {
    if (gresize_window(-1, -1) != 1) return;
    ginit_plot(1);
    int old = gset_cursor(1);
    deliver(2, "size", static_cast<float>(gget_window_width()), static_cast<float>(gget_window_height()));
    gset_cursor(old);
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Waits up to timeout seconds for the X connection to have input.
bool wait_input(double timeout) {
    Display *d = gget_display();
    if (!d) return false;
    if (XPending(d)) return true;
    int fd = ConnectionNumber(d);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv;
    tv.tv_sec = static_cast<long>(timeout);
    tv.tv_usec = static_cast<long>((timeout - static_cast<double>(tv.tv_sec)) * 1e6);
    select(fd + 1, &set, nullptr, nullptr, &tv);
    return XPending(d) > 0;
}

bool holding() { return E.input_mode == 1 || E.input_mode == 2; }

}  // namespace

int gevent_name(char *out, std::size_t size, const char *base, unsigned int state) {
    if (!out || size == 0) return -1;
    std::string s = base ? base : "";
    if (state & Mod1Mask) s += "-Alt";
    if (state & ShiftMask) s += "-Shft";
    if (state & ControlMask) s += "-Cntrl";
    copy_field(out, size, s.c_str());
    return 0;
}

int ginit_event(int cls) {
    // Class -1: the window closes, the band's context goes with it; else a
    // new connection starts without one.
    if (cls == -1 && E.band_gc && E.band_display && E.band_display == gget_display())
        XFreeGC(E.band_display, E.band_gc);
    E.band_gc = nullptr;
    E.band_display = nullptr;
    E.Expose_cnt = 0;
    E.user_event = 0;
    E.rubber_band = 0;
    E.band_drawn = false;
    E.has_lim_x = E.has_lim_y = false;
    return 0;
}

Gevent_fn gset_mouse_callback(Gevent_fn f) {
    Gevent_fn old = E.mouse_CB;
    E.mouse_CB = f;
    return old;
}

Gevent_fn gget_mouse_callback() { return E.mouse_CB; }

int gset_input_mode(int mode) {
    E.input_mode = mode == 1 ? 1 : 0;
    return 0;
}

int gget_input_mode() { return E.input_mode; }
int gis_mapped() { return E.mapped; }
int gis_focused() { return E.focused; }

int gset_rubber_band(int type) {
    if (E.band_drawn && is_window()) draw_band();
    E.band_drawn = false;
    E.rubber_band = (type >= 1 && type <= 3) ? type : 0;
    if (!E.rubber_band) E.has_lim_x = E.has_lim_y = false;
    return 0;
}

int gget_rubber_band() { return E.rubber_band; }

int gset_rubber_band_points(const Gpt *pts, int n, int con) {
    if (!pts || n < 1) return -1;
    n = std::min(n, 3);
    E.rubber_band_num = n;
    E.rubber_band_con = (con == 1 || con == 2) ? con : 0;
    E.pts[0] = to_window(pts[0]);
    E.pts[1] = n >= 2 ? to_window(pts[1]) : E.pts[0];
    E.pts[2] = n >= 3 ? to_window(pts[2]) : E.pts[1];
    return 0;
}

int gset_rubber_band_limits(const Gpt *lim) {
    if (!lim) {
        E.has_lim_x = E.has_lim_y = false;
        return 0;
    }
    E.has_lim_x = lim[0].x != kNoLimit && lim[1].x != kNoLimit;
    E.has_lim_y = lim[0].y != kNoLimit && lim[1].y != kNoLimit;
    E.lim[0] = to_window(lim[0]);
    E.lim[1] = to_window(lim[1]);
    return 0;
}

int gprocess_x11_event(XEvent *ev) {
    if (!ev || !is_window() || !gget_cache()) return 0;
    int before = E.user_event;
    switch (ev->type) {
    case Expose:
        if (E.Expose_cnt == 0) {
            gupdate_window();
            E.band_drawn = false;
        }
        E.Expose_cnt = ev->xexpose.count;
        break;
    case ConfigureNotify:
        if (ev->xconfigure.window == gget_root_window()) configure();
        break;
    case MapNotify:
        E.mapped = 1;
        break;
    case UnmapNotify:
        E.mapped = 0;
        break;
    case FocusIn:
        E.focused = 1;
        break;
    case FocusOut:
        E.focused = 0;
        break;
    case DestroyNotify:
        E.input_mode = 3;
        break;
    case ClientMessage:
        client_message(ev->xclient);
        break;
    case ButtonPress:
        button_press(ev->xbutton);
        break;
    case ButtonRelease:
        button_release(ev->xbutton);
        break;
    case MotionNotify:
        motion(*ev);
        break;
    case KeyPress:
        key_press(ev->xkey);
        break;
    default:
        break;
    }
    return E.user_event - before;
}

int gcheck_event() {
    Display *d = gget_display();
    if (!d || !is_window()) return 0;
    int n = 0;
    while (gget_display() && XPending(d)) {
        XEvent ev;
        XNextEvent(d, &ev);
        n += gprocess_x11_event(&ev);
    }
    return n;
}

int gwait_event() {
    Display *d = gget_display();
    if (!d || !is_window()) return 0;
    XEvent ev;
    XNextEvent(d, &ev);
    int n = gprocess_x11_event(&ev);
    return n + gcheck_event();
}

int gcheck_expose() {
    Display *d = gget_display();
    if (!d || !is_window()) return 0;
    XEvent ev;
    int n = 0;
    while (XCheckTypedWindowEvent(d, gget_root_window(), Expose, &ev)) ++n;
    if (n) gupdate_window();
    return n;
}

int gset_refresh_callback(float seconds, Grefresh_fn f) {
    E.refresh = seconds > 0 ? seconds : 0;
    E.refresh_CB = f;
    E.last_refresh = std::chrono::steady_clock::now();
    return 0;
}

int ghold_window() {
    if (!is_window()) return 0;
    gupdate_window();
    gcheck_event();
    E.input_mode = 1;
    int quiet = 0;
    while (holding() && gget_display()) {
        if (gget_num_images() > 1 && gget_looping()) {
            gset_cursor(3);
            gloop_sleep();
            if (holding() && gget_looping()) ginc_frame(0);
            continue;
        }
        gset_cursor(gget_num_images() > 0 ? 4 : 6);
        if (E.refresh_CB && E.refresh > 0) {
            // Poll briskly for a while after each event, then slower.
            double slice = quiet < 50 ? 0.1 : 0.5;
            if (wait_input(slice) && gcheck_event() >= 0) quiet = 0;
            else ++quiet;
            if (holding() && seconds_since(E.last_refresh) >= E.refresh) {
                E.last_refresh = std::chrono::steady_clock::now();
                E.refresh_CB();
                gupdate_window();
            }
        } else {
            gwait_event();
        }
    }
    E.input_mode = 0;
    if (!gget_display()) return 0;
    end_band();
    gbell(50);
    gset_cursor(0);
    return 0;
}

int gresize_window(int width, int height) {
    Display *d = gget_display();
    if (!d || !is_window()) return -1;
    if (width > 0 && height > 0) {
        XResizeWindow(d, gget_root_window(), static_cast<unsigned>(width), static_cast<unsigned>(height));
        gx11_new_pixmap(width, height, true);
    } else {
        XWindowAttributes wa;
        if (!XGetWindowAttributes(d, gget_root_window(), &wa)) return -1;
        if (wa.width == gget_window_width() && wa.height == gget_window_height()) return 0;
        gx11_new_pixmap(wa.width, wa.height, width == -1);
    }
    if (E.band_gc && E.band_display == d) {
        XFreeGC(d, E.band_gc);
        E.band_gc = nullptr;
    }
    E.band_drawn = false;
    greset_zoom();
    gdelete_all_frames();
    gset_win_size(gget_window_width(), gget_window_height());
    return 1;
}
