// gks_img_x.h - reading a picture back from the X server into an image
// record (the X half of gget_image, used by the window device).
#ifndef GKS_IMG_X_H
#define GKS_IMG_X_H

#include <X11/Xlib.h>

#include "zupimg.h"

// Reads the whole drawable (window pixmap or loop frame) d; win is the
// window whose name becomes the description.  -> 1, or 0 after the message.
int gimg_read_drawable(Display *dpy, Drawable d, Window win, Visual *visual, Colormap cmap,
                       IMG_report *img);

#endif  // GKS_IMG_X_H
