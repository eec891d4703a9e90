// colors.cpp - the colour table file, colour names and attribute strings.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "colors.h"
#include "gks_dev.h"
#include "zup.h"
#include "zupresrc.h"

namespace {

struct ColourTable {
    RGB colors[CLR_MAX] = {};
    int num_colors = 0;
    int num_fill = 0;
};

ColourTable T;

bool ieq(const char *a, const char *b) { return stricmp(a, b) == 0; }

bool iprefix(const char *text, const char *prefix) {
    return strnicmp(text, prefix, static_cast<int>(std::strlen(prefix))) == 0;
}

// A channel kept to 0-1; a value that is not a number counts as 0.
float channel(float v) {
    if (!(v >= 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

void set_entry(int slot, const char *name, float r, float g, float b) {
    RGB &e = T.colors[slot];
    copy_field(e.name, name);
    e.red = channel(r);
    e.grn = channel(g);
    e.blu = channel(b);
}

// One colour line (without a leading slot number).  -> true when parsed
bool parse_colour(const char *text, char *name, float *r, float *g, float *b) {
    unsigned hr = 0, hg = 0, hb = 0;
    if (std::sscanf(text, "%19s #%2X%2X%2X", name, &hr, &hg, &hb) == 4) {
        *r = hr / 255.0f;
        *g = hg / 255.0f;
        *b = hb / 255.0f;
        return true;
    }
    return std::sscanf(text, "%19s %f %f %f", name, r, g, b) == 4;
}

// Reads one table file into the slots from *slot on.  -> false if unreadable
bool read_file(const char *file, bool first, int *slot, int *end_pos) {
    char path[FILE_NAME_LEN];
    FILE *f = gfind_file(file, path) ? FILE_open(path, "r") : nullptr;
    if (!f) {
        MESS_print(192, "CLR_read_table: unable to open color table: %s\n", file);
        return false;
    }
    char line[128];
    while (std::fgets(line, sizeof line, f)) {
        size_t n = std::strlen(line);
        if (n > 0 && line[n - 1] != '\n' && !std::feof(f)) {
            // Over-long line: drop the rest of it.
            int c;
            while ((c = std::fgetc(f)) != EOF && c != '\n') {
            }
        }
        line[100] = '\0';
        n = std::strlen(line);
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r' || line[n - 1] == ' ' ||
                         line[n - 1] == '\t'))
            line[--n] = '\0';
        const char *p = line;
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0' || *p == '#') continue;
        if (ieq(p, "END")) {
            if (first) *end_pos = *slot;
            continue;
        }
        if (*slot >= CLR_MAX) break;
        if (std::isdigit(static_cast<unsigned char>(*p))) {
            while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        }
        char name[20] = "";
        float r = 0, g = 0, b = 0;
        if (!parse_colour(p, name, &r, &g, &b)) {
            MESS_print(192, "CLR_read_table: bad color line: %s\n", gline_text(line).c_str());
            continue;
        }
        set_entry((*slot)++, name, r, g, b);
    }
    FILE_close(f);
    return true;
}

float to_float(const char *s) { return static_cast<float>(std::atof(s)); }

int style_value(const char *s) {
    if (ieq(s, "sol")) return 1;
    if (ieq(s, "dsh")) return 2;
    if (ieq(s, "lsdsh")) return 3;
    if (ieq(s, "llsdsh")) return 4;
    if (ieq(s, "dot")) return 5;
    return std::atoi(s);
}

}  // namespace

int CLR_clear_table() {
    T = ColourTable();
    return 0;
}

int CLR_read_table(const char *files) {
    std::string list = files ? files : "";
    if (list.empty()) {
        const char *res = RES_get("color_table");
        list = (res && *res) ? res : "zup.clr";
    }
    for (int i = 16; i < CLR_MAX; ++i) T.colors[i] = RGB{};
    int slot = 0, end_pos = -1, read = 0;
    size_t start = 0;
    bool first = true;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string file = list.substr(start, comma == std::string::npos ? std::string::npos
                                                                          : comma - start);
        if (!file.empty() && read_file(file.c_str(), first, &slot, &end_pos)) ++read;
        first = false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    T.num_colors = slot;
    T.num_fill = end_pos >= 0 ? end_pos : (slot > 0 ? slot - 1 : 0);
    return read > 0 ? 0 : -1;
}

int CLR_get_num() { return T.num_colors; }
int CLR_get_num_fill() { return T.num_fill; }

const char *CLR_get_name(int i) {
    if (T.num_colors == 0) return "";
    if (i < 0) i = 0;
    if (i >= T.num_colors) i = T.num_colors - 1;
    return T.colors[i].name;
}

int CLR_get_rgb(int i, float *r, float *g, float *b) {
    if (T.num_colors == 0) {
        if (r) *r = 0;
        if (g) *g = 0;
        if (b) *b = 0;
        return -1;
    }
    if (i < 0) i = 0;
    if (i >= T.num_colors) i = T.num_colors - 1;
    if (r) *r = T.colors[i].red;
    if (g) *g = T.colors[i].grn;
    if (b) *b = T.colors[i].blu;
    return 0;
}

int CLR_add(const char *name, float r, float g, float b) {
    if (T.num_colors >= CLR_MAX) {
        MESS_print(192, "CLR_add: color table full: %s\n", name ? name : "");
        return -1;
    }
    int i = T.num_colors++;
    set_entry(i, name ? name : "", r, g, b);
    if (gchk_graphics()) {
        Gcolr_rep rep = {T.colors[i].red, T.colors[i].grn, T.colors[i].blu};
        gset_colr_rep(1, i, &rep);
    }
    return i;
}

int CLR_get_ind(const char *name) {
    if (!name || !*name) return -1;
    if (ieq(name, "end")) return -2;
    if (ieq(name, "none") || ieq(name, "off") || ieq(name, "back")) return -1;
    static const char *prints[] = {"pblk", "pbblk", "ptblk", "pwht", "pbwht",
                                   "ptwht", "pgry", "pbgry", "ptgry"};
    for (int k = 0; k < 9; ++k)
        if (ieq(name, prints[k])) return 500 + k;
    for (int i = 0; i < T.num_colors; ++i)
        if (ieq(name, T.colors[i].name)) return i;
    if (name[0] == '#') {
        size_t n = std::strlen(name + 1);
        unsigned r = 0, g = 0, b = 0;
        if (n == 6 && std::sscanf(name + 1, "%2x%2x%2x", &r, &g, &b) == 3)
            return CLR_add(name, r / 255.0f, g / 255.0f, b / 255.0f);
        if (n == 9 && std::sscanf(name + 1, "%3u%3u%3u", &r, &g, &b) == 3)
            return CLR_add(name, r / 255.0f, g / 255.0f, b / 255.0f);
        return -1;
    }
    if (std::isdigit(static_cast<unsigned char>(name[0]))) return std::atoi(name);
    return -1;
}

int ATTRIB_init(Gattribs *a) {
    if (!a) return -1;
    a->color = MISSING;
    a->width = MISSING_F;
    a->height = MISSING_F;
    a->expan = MISSING_F;
    a->style = MISSING;
    a->fill_pat = MISSING;
    a->font = MISSING;
    return 0;
}

int ATTR_parse_fill_pat(const char *s) {
    if (!s) return MISSING;
    static const struct { const char *name; int value; } names[] = {
        {"sol", 0}, {"st", 1},  {"ost", 2}, {"rst", 3}, {"lst", 4},  {"vln", 5},  {"||", 5},
        {"dlr", 6}, {"\\\\", 6}, {"drl", 7}, {"//", 7}, {"hln", 8},  {"--", 8},   {"hat", 9},
        {"XX", 9},  {"clr", 10}, {"0%", 10}, {"1%", 11}, {"2%", 12}, {"3%", 13}, {"4%", 14},
        {"5%", 15}, {"6%", 16}, {"7%", 17}, {"8%", 18}, {"9%", 19},
    };
    for (const auto &n : names)
        if (ieq(s, n.name)) return n.value;
    return std::atoi(s);
}

int ATTR_parse_marker(const char *s) {
    if (!s) return MISSING;
    static const struct { const char *name; int value; } names[] = {
        {"dot", 1},  {"plus", 2}, {"ast", 3},  {"star", 3}, {"cir", 4},   {"circle", 4},
        {"cro", 5},  {"cross", 5}, {"x", 5},   {"squ", 6},  {"square", 6}, {"box", 6},
        {"tri", 7},  {"triangle", 7}, {"pt", 8}, {"point", 8}, {"itri", 9}, {"inv", 9},
    };
    for (const auto &n : names)
        if (ieq(s, n.name)) return n.value;
    return std::atoi(s);
}

int ATTRIB_parse(const char *text, Gattribs *a) {
    if (!text || !a) return -1;
    std::vector<std::string> fields;
    std::string cur;
    for (const char *p = text;; ++p) {
        if (*p == ':' || *p == '\0') {
            fields.push_back(cur);
            cur.clear();
            if (!*p) break;
        } else {
            cur += *p;
        }
    }
    for (size_t k = 0; k < fields.size(); ++k) {
        const char *f = fields[k].c_str();
        if (!*f) continue;
        if (k == 0 && !std::strchr(f, '=')) {
            a->color = CLR_get_ind(f);
            continue;
        }
        if (iprefix(f, "co=")) a->color = CLR_get_ind(f + 3);
        else if (iprefix(f, "wi=")) a->width = to_float(f + 3);
        else if (iprefix(f, "st=")) a->style = style_value(f + 3);
        else if (iprefix(f, "fo=")) a->font = gget_font_index(f + 3);
        else if (iprefix(f, "fi=") || iprefix(f, "fp=")) a->fill_pat = ATTR_parse_fill_pat(f + 3);
        else if (iprefix(f, "sc=") || iprefix(f, "hi=")) a->height = to_float(f + 3);
        else if (iprefix(f, "te=")) a->expan = to_float(f + 3);
        else {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[0])));
            const char *v = f + 1;
            switch (c) {
            case 'w': a->width = to_float(v); break;
            case 's': a->style = std::atoi(v); break;
            case 't': a->font = std::atoi(v); break;
            case 'f': a->fill_pat = (*v == 'M' || *v == 'm') ? MISSING : std::atoi(v); break;
            case 'h': a->height = to_float(v); break;
            case 'e': a->expan = to_float(v); break;
            default: break;
            }
        }
    }
    return 0;
}

int ATTRIB_get(const char *resource, const char *def, Gattribs *a) {
    if (!a) return 0;
    if (def) ATTRIB_parse(def, a);
    const char *v = resource ? RES_get(resource) : nullptr;
    if (!v) return 0;
    ATTRIB_parse(v, a);
    return 1;
}

int ATTRIB_update(Gattribs *dst, const Gattribs *src) {
    if (!dst || !src) return -1;
    if (src->color != MISSING) dst->color = src->color;
    if (src->width != MISSING_F) dst->width = src->width;
    if (src->height != MISSING_F) dst->height = src->height;
    if (src->expan != MISSING_F) dst->expan = src->expan;
    if (src->style != MISSING) dst->style = src->style;
    if (src->fill_pat != MISSING) dst->fill_pat = src->fill_pat;
    if (src->font != MISSING) dst->font = src->font;
    return 0;
}

int ATTRIB_print(const Gattribs *a) {
    if (!a) return -1;
    MESS_print(15, "Color: %d Width: %.2f Height: %.2f Expan: %.2f Style: %d Fill: %d Font: %d\n",
               a->color, a->width, a->height, a->expan, a->style, a->fill_pat, a->font);
    return 0;
}
