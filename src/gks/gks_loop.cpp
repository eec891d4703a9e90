// gks_loop.cpp - loop frames: up to 128 pictures of the window's size kept
// as pixmaps, shown in turn (forward, backward or bouncing) with a delay
// per frame, or stepped through by keys and buttons.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "gks.h"
#include "gks_obj.h"
#include "gks_x11.h"
#include "zup.h"

namespace {

constexpr long kDebug = 0x40000000;

struct Images {
    char filename[50] = "";
    unsigned char data[50] = {};
    int data_size = 0;
    Pixmap pixmap = 0;
    Colormap colormap = 0;
    float delay = 0.5f;
    int flag = 1;
};

struct LoopState {
    Images images[GMAX_FRAMES];
    int looping = 0;
    int loop_direct = 1;
    float loop_pause = 1.0f;
    float loop_delay = 0.5f;
    int num_images = 0;
    int cur_image = -1;
    int loop_start = -1;
    int loop_end = -1;
    int loop_title = 1;
    std::chrono::steady_clock::time_point shown = std::chrono::steady_clock::now();
};

LoopState L;

// The pixmap a frame argument names; -3 the window's own pixmap.
Pixmap pixmap_of(int n) {
    if (n == GFRAME_WINDOW) return gget_base_window();
    int f = gframe_number(n);
    return f >= 0 ? L.images[f].pixmap : 0;
}

void set_delays() {
    for (int i = 0; i < L.num_images; ++i)
        L.images[i].delay = i == L.num_images - 1 ? L.loop_pause : L.loop_delay;
}

void frame_title() {
    if (!L.loop_title) return;
    if (L.num_images > 0 && L.cur_image >= 0) {
        char t[16];
        std::snprintf(t, sizeof t, "[%d]", L.cur_image);
        gset_win_title_extra(t);
    } else {
        gset_win_title_extra("");
    }
}

int first_frame() { return (L.loop_start >= 0 && L.loop_start < L.num_images) ? L.loop_start : 0; }
int last_frame() {
    return (L.loop_end >= 0 && L.loop_end < L.num_images) ? L.loop_end : L.num_images - 1;
}

}  // namespace

int gframe_number(int n) {
    if (n == GFRAME_LAST) n = L.num_images - 1;
    else if (n == GFRAME_CURRENT) n = L.cur_image;
    return (n >= 0 && n < L.num_images) ? n : -1;
}

int ginit_loop() {
    L.looping = 0;
    L.loop_direct = 1;
    L.loop_pause = 1.0f;
    L.loop_delay = 0.5f;
    L.loop_start = L.loop_end = -1;
    L.loop_title = 1;
    set_delays();
    return 0;
}

int gcreate_frame(int n) {
    Display *d = gget_display();
    if (!d || !gget_base_window() || !gget_root_window()) {
        gerr_printf("gcreate_frame", "no window to make frames for\n");
        return -1;
    }
    if (n < 0 || n > L.num_images) n = L.num_images;
    if (n >= GMAX_FRAMES) {
        gerr_printf("gcreate_frame", "too many frames: at most %d\n", GMAX_FRAMES);
        return -1;
    }
    Images &im = L.images[n];
    int w = gget_window_width(), h = gget_window_height();
    if (!im.pixmap) {
        im = Images{};
        im.pixmap = XCreatePixmap(d, gget_root_window(), static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), static_cast<unsigned>(gget_win_depth()));
    }
    gx11_fill(im.pixmap, 0, 0, w, h);
    if (n == L.num_images) ++L.num_images;
    set_delays();
    MESS_print(kDebug, "Created frame: %d-%ld\n", n, static_cast<long>(im.pixmap));
    return n;
}

int gclear_frame(int n) {
    Pixmap p = pixmap_of(n);
    if (!p) return -1;
    return gx11_fill(p, 0, 0, gget_window_width(), gget_window_height());
}

int gselect_frame(int n) {
    gset_redraw(0);
    if (n == GFRAME_WINDOW) {
        gset_draw_window(gget_base_window());
        MESS_print(kDebug, "Selected frame: %d\n", n);
        return 0;
    }
    Pixmap p = pixmap_of(n);
    if (!p) return -1;
    gset_draw_window(p);
    MESS_print(kDebug, "Selected frame: %d\n", gframe_number(n));
    return 0;
}

int gswitch_frame(int a, int b) {
    Pixmap pa = pixmap_of(a), pb = pixmap_of(b);
    if (!pa || !pb) return -1;
    Drawable draw = gget_draw_window();
    auto put = [](int n, Pixmap p) {
        if (n == GFRAME_WINDOW) gset_base_window(p);
        else L.images[gframe_number(n)].pixmap = p;
    };
    put(a, pb);
    put(b, pa);
    gset_draw_window(draw);
    return 0;
}

int gcopy_frame(int to, int from) {
    Display *d = gget_display();
    Pixmap pt = pixmap_of(to), pf = pixmap_of(from);
    if (!d || !pt || !pf) return -1;
    int x = 0, y = 0, w = 0, h = 0;
    gget_win_offset(&x, &y);
    gget_win_size(&w, &h);
    XCopyArea(d, pf, pt, gget_root_gc(), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), x, y);
    MESS_print(kDebug, "Copy frame: %d->%d\n", to, from);
    return 0;
}

int gdisplay_frame(int n) {
    Display *d = gget_display();
    if (n < 0) n = L.cur_image;
    int f = gframe_number(n);
    if (!d || f < 0) return -1;
    L.cur_image = f;
    if (gget_zoom() >= 2) {
        gzoom(f, -1, -1, gget_zoom(), 1);
    } else {
        XCopyArea(d, L.images[f].pixmap, gget_base_window(), gget_root_gc(), 0, 0,
                  static_cast<unsigned>(gget_window_width()), static_cast<unsigned>(gget_window_height()),
                  0, 0);
        gupdate_window();
    }
    frame_title();
    L.shown = std::chrono::steady_clock::now();
    MESS_print(kDebug, "Display frame: %d\n", f);
    return 0;
}

int gdelete_frame(int n) {
    if (n > GMAX_FRAMES - 1) return 0;
    int f = gframe_number(n);
    if (f < 0) return -1;
    Display *d = gget_display();
    Pixmap p = L.images[f].pixmap;
    if (gget_draw_window() == p) gset_draw_window(gget_base_window());
    if (d && p) XFreePixmap(d, p);
    for (int i = f; i + 1 < L.num_images; ++i) L.images[i] = L.images[i + 1];
    L.images[--L.num_images] = Images{};
    set_delays();
    if (L.num_images == 0) {
        L.cur_image = -1;
        L.looping = 0;
        gx11_fill(gget_base_window(), 0, 0, gget_window_width(), gget_window_height());
        gupdate_window();
        frame_title();
        return 0;
    }
    if (L.cur_image > f) {
        --L.cur_image;
    } else if (L.cur_image == f) {
        gdisplay_frame(std::min(f, L.num_images - 1));
    }
    return 0;
}

int gdelete_all_frames() {
    Display *d = gget_display();
    for (int i = 0; i < L.num_images; ++i) {
        if (d && L.images[i].pixmap) {
            if (gget_draw_window() == L.images[i].pixmap) gset_draw_window(gget_base_window());
            XFreePixmap(d, L.images[i].pixmap);
        }
        L.images[i] = Images{};
    }
    bool had = L.num_images > 0;
    L.num_images = 0;
    L.cur_image = -1;
    L.looping = 0;
    if (had) frame_title();
    return 0;
}

int gget_num_images() { return L.num_images; }
int gget_cur_frame() { return L.cur_image; }

Pixmap gget_frame_id(int n) { return pixmap_of(n); }

int gset_frame_id(int n, Pixmap p) {
    if (n == GFRAME_WINDOW) return gset_base_window(p);
    int f = gframe_number(n);
    if (f < 0) return -1;
    L.images[f].pixmap = p;
    return 0;
}

int gloop_sleep() {
    if (L.cur_image < 0) return -1;
    double delay = L.images[L.cur_image].delay;
    for (;;) {
        double left = delay - std::chrono::duration<double>(std::chrono::steady_clock::now() - L.shown).count();
        if (left <= 0) break;
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(left, 0.2)));
        gcheck_event();
        int m = gget_input_mode();
        if (m == 3 || !L.looping || L.cur_image < 0) break;
    }
    return 0;
}

int ginc_frame(int step) {
    if (L.num_images == 0) return -1;
    int cur = L.cur_image < 0 ? 0 : L.cur_image;
    int first = first_frame(), last = last_frame();
    if (first > last) std::swap(first, last);
    int s = step != 0 ? step : (L.loop_direct % 2 == 1 ? 1 : -1);
    int next = cur + s;
    if (next > last) {
        if (L.loop_direct >= 2) {
            next = last - 1;
            L.loop_direct = 2;
        } else {
            next = first;
        }
    } else if (next < first) {
        if (L.loop_direct >= 2) {
            next = first + 1;
            L.loop_direct = 3;
        } else {
            next = last;
        }
    }
    next = std::clamp(next, first, last);
    MESS_print(kDebug, "INC: %d-%d %d-%d\n", cur, next, first, last);
    gdisplay_frame(next);
    return next;
}

int gset_looping(int on) {
    if (on != 0 && on != 1) on = !L.looping;
    L.looping = on;
    if (on) {
        MESS_print(15, "Looping initiated\n");
        gset_cursor(3);
    } else {
        MESS_print(15, "Looping stopped\n");
        gset_cursor(4);
    }
    L.shown = std::chrono::steady_clock::now();
    return 0;
}

int gget_looping() { return L.looping; }
int gtoggle_loop(int mode) { return gset_looping(mode); }

int gset_loop_direct(int d) {
    L.loop_direct = d;
    return 0;
}

int gget_loop_direct() { return L.loop_direct; }

int gset_loop_delay(int n, float seconds) {
    if (seconds < 0) seconds = 0;
    if (n == GFRAME_ALL) {
        L.loop_delay = seconds;
        for (int i = 0; i + 1 < L.num_images; ++i) L.images[i].delay = seconds;
        return 0;
    }
    int f = gframe_number(n);
    if (f < 0) return -1;
    L.images[f].delay = seconds;
    return 0;
}

int ginc_loop_delay(float step) {
    L.loop_delay = std::max(0.0f, L.loop_delay + step);
    for (int i = 0; i + 1 < L.num_images; ++i) L.images[i].delay = L.loop_delay;
    MESS_print(15, step >= 0 ? "Loop delay incremented to: %2.2f\n" : "Loop delay decremented to: %2.2f\n",
               L.loop_delay);
    return 0;
}

float gget_loop_delay() { return L.loop_delay; }

float gget_frame_delay(int n) {
    int f = gframe_number(n);
    return f >= 0 ? L.images[f].delay : -1.0f;
}

int gset_loop_title(int on) {
    L.loop_title = on;
    return 0;
}

int gset_loop_range(int start, int end) {
    L.loop_start = start;
    L.loop_end = end;
    return 0;
}
