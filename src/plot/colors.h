// colors.h - colour tables, colour names and drawing-attribute strings.
#ifndef COLORS_H
#define COLORS_H

#include "gks.h"

struct RGB {
    char name[20];
    float red;
    float grn;
    float blu;
};

constexpr int CLR_MAX = 256;

// Loads the comma-separated colour-table files (null or empty: the resource
// "color_table", else "zup.clr").  -> 0, or -1 when no file could be read.
int CLR_read_table(const char *files);
// Colour index of a name, number or "#rrggbb" / "#rrrgggbbb" text.
int CLR_get_ind(const char *name);
// Colour of entry i (past the end: the last entry).  -> 0, -1 when empty
int CLR_get_rgb(int i, float *r, float *g, float *b);
const char *CLR_get_name(int i);
int CLR_get_num();
int CLR_get_num_fill();
int CLR_clear_table();
// Appends an entry and sets it on the open workstation.  -> its index or -1
int CLR_add(const char *name, float r, float g, float b);

int ATTRIB_init(Gattribs *attr);
int ATTRIB_parse(const char *text, Gattribs *attr);
// Parses def, then the resource's value on top.  -> 1 when the resource exists
int ATTRIB_get(const char *resource, const char *def, Gattribs *attr);
// Copies the given (not -9999) fields of src into dst.
int ATTRIB_update(Gattribs *dst, const Gattribs *src);
int ATTRIB_print(const Gattribs *attr);
int ATTR_parse_fill_pat(const char *text);
int ATTR_parse_marker(const char *text);

#endif  // COLORS_H
