// gks_font.cpp - the font table and the stroke-font reader.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gks.h"
#include "gks_dev.h"
#include "zup.h"
#include "zupresrc.h"

namespace {

struct FontEntry {
    char name[10];
    char file[106];
};

constexpr int kFontDbSize = 15000;

struct FontState {
    FontEntry table[GMAX_FONTS] = {};
    int num_fonts = 0;
    char font_list[80] = "";
    // Stroke data: x and y values; 255 (or more) ends a glyph.  Values are
    // kept as read, so descenders may go below zero.
    short font_db[kFontDbSize] = {};
    int font_index[256];
    unsigned char font_size[256] = {};
    int font_type = 0;
    FontState() { clear_glyphs(); }
    void clear_glyphs() {
        for (int &i : font_index) i = -1;
        std::memset(font_size, 0, sizeof font_size);
    }
};

FontState T;

void add_font(const char *name, const char *file) {
    if (T.num_fonts >= GMAX_FONTS) return;
    FontEntry &e = T.table[T.num_fonts++];
    copy_field(e.name, name ? name : "");
    copy_field(e.file, file ? file : "");
}

std::string trim(const std::string &s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

// "fi:" list file: up to 10 lines of font name and font file.
void read_list_file(const char *name) {
    char path[FILE_NAME_LEN];
    FILE *f = gfind_file(name, path) ? FILE_open(path, "r") : nullptr;
    if (!f) {
        MESS_print(192, "gsetup_fonts: unable to load font list file: %s\n", name);
        return;
    }
    char line[256];
    int n = 0;
    while (n < 10 && std::fgets(line, sizeof line, f)) {
        char a[64], b[160];
        if (std::sscanf(line, "%63s %159s", a, b) == 2) {
            add_font(a, b);
            ++n;
        }
    }
    FILE_close(f);
}

// The default list "zup.fnl": up to 40 lines of a name and a file name.
void read_default_list() {
    char path[FILE_NAME_LEN];
    if (!gfind_file("zup.fnl", path)) return;
    FILE *f = FILE_open(path, "r");
    if (!f) return;
    char line[256];
    while (T.num_fonts < GMAX_FONTS && std::fgets(line, sizeof line, f)) {
        char a[64], b[200];
        if (std::sscanf(line, "%63s %199[^\n]", a, b) == 2) {
            std::string file = trim(b);
            if (!file.empty()) add_font(a, file.c_str());
        }
    }
    FILE_close(f);
}

bool read_int(FILE *f, long *v) { return std::fscanf(f, "%ld", v) == 1; }

bool skip_token(FILE *f) {
    char tok[64];
    return std::fscanf(f, "%63s", tok) == 1;
}

}  // namespace

int gset_font_list(const char *list) {
    copy_field(T.font_list, list ? list : "");
    return 0;
}

int gsetup_fonts() {
    T.num_fonts = 0;
    const char *list = T.font_list[0] ? T.font_list : RES_get("font_list");
    if ((!list || !*list) && gdev()) list = gdev()->default_resource("font_list");
    if (list && *list) {
        if (strnicmp(list, "fi:", 3) == 0) {
            read_list_file(list + 3);
        } else {
            std::string cur;
            for (const char *p = list;; ++p) {
                if (*p == ',' || *p == '\0') {
                    std::string file = trim(cur);
                    if (!file.empty()) add_font("", file.c_str());
                    cur.clear();
                    if (!*p) break;
                } else {
                    cur += *p;
                }
            }
        }
    } else {
        read_default_list();
    }
    int cur = gget_font();
    if (T.num_fonts == 0) return read_font("modern.fnt");
    if (cur < 1 || cur > T.num_fonts) cur = 1;
    return read_font(T.table[cur - 1].file);
}

int read_font(const char *file) {
    T.clear_glyphs();
    T.font_type = 0;
    if (!file) return -1;
    if (file[0] == '#') {
        // Server fonts belong to the window device.
        GksDevice *d = gdev();
        if (d && file[1] && d->load_server_font(file + 1) == 0) {
            T.font_type = 2;
            return 0;
        }
        MESS_print(192, "read_font: unable to load font: %s\n", file + 1);
        return -1;
    }
    char path[FILE_NAME_LEN];
    FILE *f = gfind_file(file, path) ? FILE_open(path, "r") : nullptr;
    if (!f) {
        MESS_print(192, "read_font: unable to load font file: %s\n", file);
        return -1;
    }
    int n = 0;
    long v = 0;
    bool labelled = false;
    bool ok = read_int(f, &v);
    if (ok) {
        if (v == 255) {
            T.font_db[n++] = 255;
        } else {
            labelled = true;
            ok = skip_token(f);
        }
    }
    bool ended = false;
    while (ok && read_int(f, &v)) {
        if (v == 254) {
            if (n < kFontDbSize) T.font_db[n++] = 255;
            ended = true;
            break;
        }
        if (n >= kFontDbSize) {
            ok = false;
            break;
        }
        T.font_db[n++] = static_cast<short>(v);
        if (v == 255 && labelled && !skip_token(f)) ok = false;
    }
    for (int c = 0; ok && ended && c < 256; ++c) {
        if (!read_int(f, &v)) {
            ok = false;
            break;
        }
        T.font_index[c] = (v >= 0 && v < n) ? static_cast<int>(v) : -1;
    }
    FILE_close(f);
    if (!ok || !ended) {
        T.clear_glyphs();
        MESS_print(192, "read_font: unable to load font file: %s\n", file);
        return -1;
    }
    for (int c = 0; c < 256; ++c) {
        int p = T.font_index[c];
        if (p < 0) continue;
        int mx = 0;
        for (; p + 1 < n && T.font_db[p] < 255; p += 2) {
            int x = T.font_db[p] >= 128 ? T.font_db[p] - 128 : T.font_db[p];
            if (x > mx) mx = x;
        }
        T.font_size[c] = static_cast<unsigned char>(mx > 255 ? 255 : mx);
    }
    T.font_size[' '] = 40;
    T.font_type = 1;
    return 0;
}

int gget_font_index(const char *name) {
    if (!name || !*name) return 1;
    if (std::isdigit(static_cast<unsigned char>(name[0]))) return std::atoi(name);
    for (int i = 0; i < T.num_fonts; ++i)
        if (stricmp(T.table[i].name, name) == 0) return i + 1;
    return 1;
}

int gget_num_fonts() { return T.num_fonts; }

const char *gget_font_name(int n) {
    return (n >= 1 && n <= T.num_fonts) ? T.table[n - 1].name : nullptr;
}

const char *gget_font_file(int n) {
    return (n >= 1 && n <= T.num_fonts) ? T.table[n - 1].file : nullptr;
}

int gget_font_type() { return T.font_type; }

int gget_font_glyph(int c, int *width) {
    if (c < 0 || c > 255) {
        if (width) *width = 0;
        return -1;
    }
    if (width) *width = T.font_size[c];
    return T.font_index[c];
}

int gget_font_byte(int offset) {
    return (offset >= 0 && offset < kFontDbSize) ? T.font_db[offset] : 255;
}

bool gfind_file(const char *name, char *out) {
    if (!name || !*name || !out) return false;
    char buf[FILE_NAME_LEN];
    FILE_add_res_path("file_path", name, buf);
    if (std::strcmp(buf, name) != 0 && FILE_exist(buf)) {
        copy_field(out, FILE_NAME_LEN, buf);
        return true;
    }
    if (FILE_exist(name)) {
        copy_field(out, FILE_NAME_LEN, name);
        return true;
    }
    // Then the installed run-time files, or those of the source tree.
    const char *shipped = ZUP_install_dir("data");
#ifdef RAZIVA_DATA_DIR
    if (!*shipped) shipped = RAZIVA_DATA_DIR;
#endif
    if (name[0] != '/' && *shipped) {
        FILE_add_path(shipped, name, buf);
        if (FILE_exist(buf)) {
            copy_field(out, FILE_NAME_LEN, buf);
            return true;
        }
    }
    copy_field(out, FILE_NAME_LEN, name);
    return false;
}
