// zupgks.h - the GPH_* convenience layer over the graphics kernel: device
// choice, page and panel layout, attribute records and simple figures.
#ifndef ZUPGKS_H
#define ZUPGKS_H

#include "gks.h"

int GPH_setup(int *ws, int *type, float aspect, Glim *view);
int GPH_begin(int *ws, const char *connection, int *type);
int GPH_end(int *ws);
int GPH_reset(int *ws, int *type, float aspect, Glim *view);
int GPH_panel(int *ws, int *type, float aspect, Glim *view);
int GPH_set_view_size(float sx, float sy, float ox, float oy);
int GPH_get_view_size(Glim *view);
float GPH_get_vert_win_size();
float GPH_get_horz_win_size();
int GPH_set_win_title();
int GPH_device_prompt(int *type);
int GPH_hold(int *ws);
int GPH_is_open();

int GPH_trans(int n);
int GPH_view(int n, const Glim *view);
int GPH_win(int n, const Glim *win);
int GPH_get_view(int n, Glim *view);
int GPH_get_win(int n, Glim *win);
int GPH_print_view(const Glim *view);

int GPH_line_attr(const Gattribs *attr);
int GPH_fill_attr(const Gattribs *attr);
int GPH_mark_attr(const Gattribs *attr, float size);
int GPH_text_attr(const Gattribs *attr, float size);
int GPH_text_font(const char *name);
int GPH_set_def_font(const char *name);
int GPH_text_align(int hor, int vert);
int GPH_get_text_align(int *hor, int *vert);
int GPH_text_rotate(float deg);
int GPH_set_color(int i, float r, float g, float b);

int GPH_line(float x1, float y1, float x2, float y2);
int GPH_mark(float x, float y);
int GPH_border(const Glim *rect);
int GPH_rect(float x1, float y1, float x2, float y2);
int GPH_frect(float x1, float y1, float x2, float y2);
int GPH_circle(float x, float y, float r);
int GPH_fcircle(float x, float y, float r);
int GPH_pprint(const Gpt *pt, const char *text);
int GPH_pprintf(const Gpt *pt, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
int GPH_printf(float x, float y, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

// The NDC page of the open workstation: [0, xvp] x [0, yvp].
int ginq_maxview(int ws, float *xvp, float *yvp);
// Fits a rectangle of aspect ax:ay into in; alignment 2 centres, 3 puts the
// result against the maximum edge, anything else against the minimum edge.
int gset_aspect(const Glim *in, Glim *out, float ax, float ay, int xalign, int yalign);

// The interactive hold of a window workstation (nothing on files).
int ghold(int ws);

#endif  // ZUPGKS_H
