// snd_priv.h - helpers shared by the sounding-plot modules: the one curve
// drawer that chains two-point segments through the diagram transform, the
// diagram's temperature and pressure range, attribute lists and the page
// position of points of the plot plane.
#ifndef SND_PRIV_H
#define SND_PRIV_H

#include <string>
#include <vector>

#include "gks.h"
#include "zup.h"

namespace snd {

// Normalization transformations: the page (NDC) and the plot plane.
constexpr int kPageTran = 1;
constexpr int kPlotTran = 2;

// A curve given in data coordinates (temperature and pressure, or wind
// direction and speed) drawn as a chain of two-point polylines, each end
// placed by MAP_tran, so the projection bends it.  A point without an
// image (or a missing value) breaks the chain.
class Curve {
public:
    void to(float a, float b);
    void lift() { have_ = false; }
    int segments() const { return segments_; }

private:
    bool have_ = false;
    Gpt last_ = {0, 0};
    int segments_ = 0;
};

// Temperature and pressure range of the current diagram: the corners of the
// plane limits transformed back (T_left from the top-left corner, T_right
// and p_bottom from the bottom-right one), and the loop bounds cut to whole
// multiples of 10 C and 50 mb.
struct DiagramRange {
    float t_left, t_right, p_bottom, p_top;  // as transformed back
    float tl, tr, pb, pt;                   // cut loop bounds
};
// -> false when the current domain has no drawable diagram range.
bool diagram_range(DiagramRange *r);

// The plane point on the left (right = false) or right edge of the plot at
// pressure p; diagrams whose height depends on the temperature are solved
// by transforming back and forth three times.  -> false without an image.
bool edge_point(float p, bool right, float *x, float *y);

// Items of a comma-separated attribute-list resource ("color_therm", ...).
class AttrList {
public:
    explicit AttrList(const char *resource);
    // Item i (from 0), or null when the list is shorter or the item empty.
    const char *item(int i) const;

private:
    std::vector<std::string> items_;
};

// Attributes: the preset fields, then the default text, then the list item.
Gattribs attrib(const AttrList &list, int i, const char *def, const Gattribs *preset = nullptr);
// A default colour name that becomes its inverse-video form on an inverse
// display ("white" / "black", "yellow" / "brown").
const char *inv(const char *normal, const char *inverse);
// true for an element switched "off" (no colour).
inline bool is_off(const Gattribs &a) { return a.color == -1; }

// The plot framework's view (the plot viewport in NDC).
Glim plot_view();
// Plane point of transformation 2 to the page (transformation 1).
Gpt to_page(float x, float y);
// Page point to the plane of transformation 2.
Gpt to_plane(float x, float y);

// Makes the domain current with the view of the plot framework and sets
// transformation 2 to the plane limits on that view.  -> false when the
// domain gives no usable plane (its message printed).
bool set_plot_domain(const Domain &dom);

// The numbers of a "%f:%f:..." item value: up to max of them into out
// (fields left out keep their values).  -> how many were read, or -1 when
// a field is not a number or there are more than max.
int colon_numbers(const char *text, float *out, int max);

// Starts the rubber band of a drag: lines from the anchors that exist (null
// when not) to the moving point; con 1 keeps its x, 2 its y, 0 neither.
void rubber_band(const Gpt *anchor1, const Gpt &moving, const Gpt *anchor2, int con);

// Redraws the current plot on the open workstation with the current
// domain (after an edit).  -> 0
int replot();
// Ends a pending hodograph drag.
void hodo_cancel_pick();

// Drawing of the values panel is shared by both plots; the wind column
// barb size and the pick tolerance are used by the callbacks.
constexpr float kBarbSize = 0.045f;
// Size of the level marks (marker size units).
constexpr float kMarkSize = 0.8f;

}  // namespace snd

#endif  // SND_PRIV_H
