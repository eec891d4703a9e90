// gks_dev.h - the workstation interface every output device implements.
//
// The primitives convert coordinates and apply the kernel's attributes once
// and then call the open workstation through this interface; everything a
// device writes lives in that device's own source file.
#ifndef GKS_DEV_H
#define GKS_DEV_H

#include <memory>
#include <string>
#include <vector>

#include "gks.h"

struct IMG_report;

class GksDevice {
public:
    virtual ~GksDevice() = default;

    virtual int type() const = 0;         // workstation type (1, 3, 4, 5, 6)
    virtual int init_class() const = 0;   // ginit_plot class
    // true: points are pixels (y down, 16-bit range); false: file units.
    virtual bool pixel_units() const { return false; }
    // Device units per marker-size unit (points 0.72, plotter units 10.15).
    virtual float marker_scale() const { return 1.0f; }
    // Width of lines as stored by the setters (PostScript turns 0 into 1).
    virtual float adjust_width(float w) const { return w; }
    // true: the device keeps the kernel's own records (text metafile) and
    // takes world coordinates; the draw hooks below are not used.
    virtual bool records_world() const { return false; }
    // false: operations are not kept in the redraw display list.
    virtual bool keeps_display_list() const { return true; }

    virtual int close() = 0;

    // The clip rectangle changed: file devices get device units with the
    // corners in order; pixel devices the pixel rectangle x_min..x_max
    // (x + width) and y_min..y_max (y + height, y downwards).
    virtual void clip(const Glim &) {}
    // One record line of a kernel operation (text metafile only).
    virtual void record(const char *) {}
    // World-coordinate point records ("PL", "PM", "FA").
    virtual void record_points(const char *, int, const Gpt *) {}

    // Primitives in device units.
    virtual void polyline(int n, const Gpt *dev) = 0;
    virtual void marker_begin(int npts) = 0;   // width, colour, solid line
    virtual void lines(int n, const Gpt *dev) = 0;  // one marker figure or stroke
    virtual void fill_area(int n, const Gpt *dev) = 0;
    virtual void text_begin(const Gpt &world, const char *text) = 0;
    virtual void text_end() {}

    virtual void message(const char *) {}
    virtual void color_rep(int, float, float, float) {}
    // Binds a colour to an index; -> the device's pixel value (1 for files).
    virtual long alloc_color(int, float, float, float) { return 1; }
    virtual void clear_region(const Glim &dev) { (void)dev; }
    // Segment markers; -> -1 when the device writes them itself.
    virtual int segment(const char *, int) { return 0; }

    // A new picture: window devices clear to the background (gclear_ws).
    virtual void clear() {}
    // Fonts of the display server ("#name" in a font list): -> 0 when the
    // device loaded it; the text then goes to server_text at the world
    // point, aligned by the device with the given alignment.
    virtual int load_server_font(const char *) { return -1; }
    virtual void server_text(const Gpt &, const char *, int, int) {}

    // Window devices: show the finished picture, hold it interactively.
    virtual void update() {}
    // The window and icon name changed (title and the extra text).
    virtual void set_title(const char *, const char *) {}
    virtual int hold() { return 0; }
    // Devices that keep their picture in memory: fill the image record
    // (gget_image) -> 1, else 0.
    virtual int get_image(IMG_report *) { return 0; }
    // Window devices bind the background colour (entry 256) from a colour
    // name (null: none given) and clear a new window with a named one.
    virtual void background(const char *) {}
    // ginit_plot for the device class (window devices reset their
    // graphics contexts).
    virtual void init_plot(int) {}
    // The workstation is open and initialised (window devices process
    // pending events and set the normal cursor).
    virtual void opened() {}
    // The display's own default of a setting for this program (X
    // resources such as "font_list"), or null.
    virtual const char *default_resource(const char *) { return nullptr; }
    // The output file of a file device (null for windows); a batch run
    // locks it until the file is complete.
    virtual FILE *output_stream() { return nullptr; }
};

// The open workstation's device, or null.
GksDevice *gdev();
void gdev_set(std::unique_ptr<GksDevice> dev);
void gdev_close();
// Puts dev in place of the open device and hands back the one it replaces
// (the display list replays into a metafile through this).
std::unique_ptr<GksDevice> gdev_swap(std::unique_ptr<GksDevice> dev);

// The open CGM stream of the metafile workstation (null for the text form)
// and the CGM writer's framing elements.
FILE *gmeta_stream();
int gcgm_header();
int gcgm_begin_picture();
int gcgm_end();

// Device factories of the file writers (made by gopen_ws).
std::unique_ptr<GksDevice> gps_make_device();
std::unique_ptr<GksDevice> ghpgl_make_device();
std::unique_ptr<GksDevice> gmeta_make_device();

// The off-screen raster workstation (gks_cairo): a picture of the given
// size, and the stand-in for the window type when the fallback is on and no
// display answers (null otherwise).
std::unique_ptr<GksDevice> graster_make_device(int width, int height);
std::unique_ptr<GksDevice> graster_fallback(const char *connection);

// A factory for the window types (1, 6) registered by the window module.
using Gdevice_factory = std::unique_ptr<GksDevice> (*)(const char *connection, int type);
void gset_window_factory(Gdevice_factory f);

// true while a workstation is open; otherwise reports "GKS not opened".
bool gcheck_open(const char *func);

// Text for a one-line comment or record: control characters become blanks
// so that a stray line break cannot end the line early.
inline std::string gline_text(const char *text) {
    std::string s = text ? text : "";
    for (char &c : s)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
    return s;
}

// Clamp helper for device coordinates.
float gclamp(float v, float lim);

// World points to the device units of the open workstation (pixels get
// the half-pixel rounding of the window devices).
Gpt gto_device(const Gpt &w);
void gto_device(int n, const Gpt *w, std::vector<Gpt> &out);

// The colour check of the attribute setters; prints the error text.
bool gcheck_colr(const char *func, int i);

// A run-time file (font, font list, colour table) on the "file_path"
// resource, else in the shipped data directory.  out holds 160 bytes.
bool gfind_file(const char *name, char *out);

// The creation time stamped into file headers, in ctime form (taken from
// SOURCE_DATE_EPOCH when that is set, for reproducible output).
const char *gcreation_date();

#endif  // GKS_DEV_H
