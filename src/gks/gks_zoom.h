// gks_zoom.h - magnification of the window picture by pixel replication.
#ifndef GKS_ZOOM_H
#define GKS_ZOOM_H

// frame: frame argument (gks_loop.h) or -3 for the window pixmap; (x, y) the
// centre in window pixels, x = -1 the previous centre; factor -2 doubles the
// magnification, a positive factor sets it; keep: keep the saved picture.
// -> 0, -1 refused.
int gzoom(int frame, int x, int y, int factor, int keep);
int gunzoom();
int greset_zoom();
int gget_zoom();
// Window pixel to unmagnified pixel.
float xZ_p(float px);
float yZ_p(float py);
// Unmagnified pixel to window pixel.
float xp_Z(float px);
float yp_Z(float py);

#endif  // GKS_ZOOM_H
