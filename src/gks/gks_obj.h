// gks_obj.h - the redraw display list: every kernel call recorded as an
// object so that a picture can be replayed (into a metafile with Alt-m).
#ifndef GKS_OBJ_H
#define GKS_OBJ_H

// Object codes.
enum Gobj_code {
    GOBJ_MESSAGE = 5,
    GOBJ_WS_VP = 10, GOBJ_WS_WIN = 11,
    GOBJ_SEL_TRAN = 15, GOBJ_VP = 16, GOBJ_WIN = 17,
    GOBJ_COLR_REP = 20, GOBJ_CLEAR_REGION = 25,
    GOBJ_POLYLINE = 30, GOBJ_LINE_TYPE = 33, GOBJ_LINE_WIDTH = 34, GOBJ_LINE_COLR = 35,
    GOBJ_LINE_BOLD = 36,
    GOBJ_POLYMARKER = 40, GOBJ_MARK_TYPE = 43, GOBJ_MARK_SIZE = 44, GOBJ_MARK_COLR = 45,
    GOBJ_MARK_WIDTH = 46,
    GOBJ_TEXT = 50, GOBJ_TEXT_SPACE = 53, GOBJ_TEXT_CHAR_SPACE = 54, GOBJ_TEXT_EXPAN = 55,
    GOBJ_TEXT_COLR = 56, GOBJ_TEXT_HEIGHT = 57, GOBJ_TEXT_UP = 58, GOBJ_TEXT_FONT = 59,
    GOBJ_TEXT_ALIGN = 60, GOBJ_TEXT_WIDTH = 61,
    GOBJ_FILL_AREA = 70, GOBJ_FILL_STYLE = 73, GOBJ_FILL_PAT = 74, GOBJ_FILL_COLR = 75,
    GOBJ_FILL_SOLID = 76,
    GOBJ_SEG_OPEN = 81, GOBJ_SEG_CLOSE = 82,
    GOBJ_FUNC = 999
};

using Gredraw_fn = void (*)(void *data);

int ginit_objs();
// Appends an object with a copy of size bytes of data (data null: an
// uninitialised block to be filled by the caller) -> the copy, or null when
// recording is off.
void *gnew_obj(int type, int values, int size, const void *data);
int gclear_objs();
int gdel_seg_objs(int n);
int gset_redraw(int on);   // -> previous
int gget_redraw();
int gset_cache(int on);    // event processing on the window
int gget_cache();
// A replay callback object; data (size bytes) is copied.
int gset_redraw_func(Gredraw_fn f, const void *data, int size);
int gget_num_objs();
// Code and values of object i (0-based) -> 0, -1 outside the list.
int gget_obj(int i, int *type, int *values);
int gobj_redraw_funcs(int i);   // replays object i
int gobj_redraw_all();          // replays the whole list, recording off
int gobj_print_meta();

#endif  // GKS_OBJ_H
