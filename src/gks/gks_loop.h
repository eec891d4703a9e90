// gks_loop.h - loop frames of the window workstation: pictures kept as
// separate pixmaps, shown one after another or stepped through.
//
// Frame arguments: n >= 0 a frame; -1 the last frame; -2 the current frame;
// -3 the window's own pixmap; -4 all frames (where stated).
#ifndef GKS_LOOP_H
#define GKS_LOOP_H

constexpr int GMAX_FRAMES = 128;
constexpr int GFRAME_LAST = -1;
constexpr int GFRAME_CURRENT = -2;
constexpr int GFRAME_WINDOW = -3;
constexpr int GFRAME_ALL = -4;

int ginit_loop();
int gcreate_frame(int n);          // -> the frame number, -1 failure
int gclear_frame(int n);
int gselect_frame(int n);
int gswitch_frame(int a, int b);
int gcopy_frame(int to, int from);
int gdisplay_frame(int n);
int gdelete_frame(int n);
int gdelete_all_frames();
int gget_num_images();
int gget_cur_frame();
int gloop_sleep();
int ginc_frame(int step);          // -> the frame shown, -1 without frames
// Frame number a frame argument stands for (-1 none).
int gframe_number(int n);

int gset_looping(int on);
int gget_looping();
int gtoggle_loop(int mode);        // 1 on, 0 off, other values toggle
int gset_loop_direct(int d);
int gget_loop_direct();
int gset_loop_delay(int n, float seconds);
int ginc_loop_delay(float step);
float gget_loop_delay();
float gget_frame_delay(int n);
int gset_loop_title(int on);
int gset_loop_range(int start, int end);

#endif  // GKS_LOOP_H
