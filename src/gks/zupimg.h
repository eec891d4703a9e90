// zupimg.h - raster images: the image record read back from the drawing
// target, and the GIF, PNG, X window dump and own-format writers.
#ifndef ZUPIMG_H
#define ZUPIMG_H

#include <cstdint>
#include <vector>

#include "zup.h"

struct IMG_color {  // one colour-table entry, channels 0-1
    float r;
    float g;
    float b;
};

// One raster image.  Rows run from the top; each row holds bytes_line
// bytes of pixels packed at bits_pixel bits.
struct IMG_report {
    int source = 0;
    int type = 0;
    int version = 0;
    char datim[50] = "";
    Date date = {-9999, -9999, -9999, -9999, -9999, -9999, -9999, -9999};
    char info[75] = "";        // description: the window title
    int width = 0;
    int height = 0;
    int depth = 0;
    float xres = 0, yres = 0, xoff = 0, yoff = 0;
    int bits_pixel = 0;        // 1, 4, 8, 16, 24 or 32
    int bytes_line = 0;
    int byte_order = 0;        // 0 least significant byte first, 1 most
    int color_type = 0;        // 1 indexed (colors), 0 true colour (masks)
    int num_colors = 0;
    unsigned int red = 0, grn = 0, blu = 0;   // channel masks
    std::vector<IMG_color> colors;            // per pixel value
    int trans_color = -1;      // pixel value of the background
    Domain domain = {-9999, -9999, -9999, {-9999, -9999, -9999, -9999, -9999},
                     -9999, -9999, -9999, -9999, -9999, -9999, 0};
    std::vector<unsigned char> data;          // height * bytes_line bytes
};

// The X window dump header: 25 fields written most significant byte first.
struct XWDFileHeader {
    uint32_t header_size, file_version, pixmap_format, pixmap_depth, pixmap_width,
        pixmap_height, xoffset, byte_order, bitmap_unit, bitmap_bit_order, bitmap_pad,
        bits_per_pixel, bytes_per_line, visual_class, red_mask, green_mask, blue_mask,
        bits_per_rgb, colormap_entries, ncolors, window_width, window_height, window_x,
        window_y, window_bdrwidth;
};

// Image types of the dump requests (plot framework numbering).
constexpr int IMG_TYPE_XWD = 1;
constexpr int IMG_TYPE_GIF = 2;
constexpr int IMG_TYPE_IMG = 3;
constexpr int IMG_TYPE_PNG = 4;

// Reads the picture of the open workstation (window pixmap, loop frame or
// off-screen raster).  -> 1 with the record filled, 0 on failure.
int gget_image(IMG_report *img);
// Empties the record's buffers.
void IMG_free(IMG_report *img);
// Date of the data stamped on the images read from now on (null clears).
void gset_image_date(const Date *date);

// gget_image, then the writer, then IMG_free.  -> 1 on success.
int GIF_dump(const char *file);
int PNG_dump(const char *file);
int XWD_dump(const char *file);
int IMG_dump(const char *file);

// Writers: -> 1 on success, 0 on failure (reported; no partial file kept).
int GIF_write(const char *file, IMG_report *img);
int PNG_write(const char *file, IMG_report *img);
int XWD_write(const char *file, IMG_report *img);
int IMG_write(const char *file, IMG_report *img, int compress);

// GIF encoder options.
int GIF_interlace(int flag);
int GIF_transparent(int flag);

// The image type written by gsave_image_file (1 XWD, 2 GIF, 3 own, 4 PNG).
int gset_save_image_type(int type);
int gget_save_image_type();
int gsave_image_file(const char *file);

// ---------------------------------------------------------------------------
// Shared by the writers (img_tool)

// Pixel value at column x of row y under the record's layout; 0 outside.
uint32_t IMG_pixel(const IMG_report *img, int x, int y);
// The pixel values of row y (width values) into out.
void IMG_row(const IMG_report *img, int y, uint32_t *out);
// Channel of a true-colour pixel scaled to 0-255 by its mask.
int IMG_channel(uint32_t value, uint32_t mask);

// The palette pass: every distinct pixel value gets the next index (at most
// 256; later new values take index 0); index holds one palette index per
// pixel, rows from the top.  trans is the index of the background pixel
// value (trans_color), -1 when it does not occur.
struct IMG_palette {
    int num_color = 0;
    unsigned char red[256] = {}, grn[256] = {}, blu[256] = {};
    int trans = -1;
    std::vector<unsigned char> index;
};
int IMG_make_palette(const IMG_report *img, IMG_palette *pal);

// A file written by a writer: opened through FILE_open; finish() flushes and
// closes and reports whether every write succeeded; a file that is not
// finished (or fails to finish) is removed when it is a plain file.
class IMG_outfile {
public:
    IMG_outfile(const char *name);
    ~IMG_outfile();
    IMG_outfile(const IMG_outfile &) = delete;
    IMG_outfile &operator=(const IMG_outfile &) = delete;
    FILE *get() const { return fp_; }
    bool write(const void *p, size_t n);
    bool finish();

private:
    void discard();
    void remove_plain();
    FILE *fp_ = nullptr;
    char name_[FILE_NAME_LEN] = "";
};

#endif  // ZUPIMG_H
