// grd_own.cpp - the package's own grid files: text grids with or without
// the "ZUPGRID" magic line, 4-octet binary values, and "ZUPGRID4" files
// whose values may live in a separate data file.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "grib.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"

namespace {

constexpr long DEBUG = 0xF0000000L;
constexpr long WARN = 192;
// Largest grid accepted (points); a header asking for more is damaged.
constexpr long MAX_POINTS = 64L * 1024 * 1024;

// What a slot of an own grid file keeps beyond the GRD_file record.
struct OwnSlot {
    std::string name;        // the grid file's name (for data files next to it)
    bool seekable = true;    // false on standard input and pipes
    bool date_taken = false; // the first date line was read by GRD_getinfo
    // Unseekable streams are read grid after grid: the last grid read stays
    // here so that its header and then its values can be asked for in turn.
    bool cached = false;
    int cache_num = -1;
    GRD_report cache{};
    std::vector<float> cache_values;
};

OwnSlot own_slot[GRD_MAX_FILES];

// One line without its line end (and carriage return).
bool get_line(FILE *f, std::string &line) {
    if (!grd_read_line(f, line)) return false;
    while (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool starts_with(const std::string &s, const char *p) {
    return s.compare(0, std::strlen(p), p) == 0;
}

std::vector<std::string> words(const std::string &line) {
    std::vector<std::string> w;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        std::size_t b = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > b) w.push_back(line.substr(b, i - b));
    }
    return w;
}

bool to_float(const std::string &s, float &v) {
    char *end = nullptr;
    errno = 0;
    double d = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(d)) return false;
    v = static_cast<float>(d);
    return true;
}

bool to_int(const std::string &s, int &v) {
    char *end = nullptr;
    errno = 0;
    long l = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || *end != '\0' || errno == ERANGE || l < -2147483647L ||
        l > 2147483647L)
        return false;
    v = static_cast<int>(l);
    return true;
}

// Colon-separated numbers attached to a projection word ("LC:90:-95:25:25").
std::vector<float> colon_numbers(const std::string &word) {
    std::vector<float> v;
    std::size_t p = word.find(':');
    while (p != std::string::npos) {
        std::size_t q = word.find(':', p + 1);
        std::string item = word.substr(p + 1, q == std::string::npos ? q : q - p - 1);
        float x;
        v.push_back(to_float(item, x) ? x : MISSING_F);
        p = q;
    }
    return v;
}

bool bad_header(const char *what) {
    MESS_print(WARN, "GRD_read: Bad grid header: %s\n", grd_printable(what).c_str());
    return false;
}

// Projection line of a file that is not "ZUPGRID4": an optional ":units"
// word, then a projection word and its numbers.
bool read_projection(const std::string &line, int hversion, GRD_report *rec) {
    std::vector<std::string> w = words(line);
    std::size_t k = 0;
    if (k < w.size() && w[k].size() > 1 && w[k][0] == ':') {
        copy_field(rec->units, w[k].c_str() + 1);
        ++k;
    }
    if (k >= w.size()) return bad_header("no projection");
    Domain &d = rec->domain;
    const std::string word = w[k];
    std::string head = word.substr(0, word.find(':'));
    for (char &c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    int proj = head == "LL" ? 2 : head == "PS" ? 1 : head == "LC" ? 4 : head == "ME" ? 3 : 0;
    std::vector<float> num;
    if (proj == 0) {
        // the old layout: centre latitude first, one spacing
        float clat;
        if (!to_float(word, clat)) {
            bad_header(("unknown projection " + word).c_str());
            clat = static_cast<float>(std::atof(word.c_str()));
        }
        if (w.size() - k < 5) return bad_header("short projection line");
        float clon, dx;
        int nx, ny;
        if (!to_float(w[k + 1], clon) || !to_float(w[k + 2], dx) || !to_int(w[k + 3], nx) ||
            !to_int(w[k + 4], ny))
            return bad_header("projection numbers");
        d.proj = 1;
        d.clat = clat;
        d.clon = clon;
        d.dx = d.dy = dx;
        d.nx = nx;
        d.ny = ny;
    } else {
        if (w.size() - k < 7) return bad_header("short projection line");
        if (!to_float(w[k + 1], d.clat) || !to_float(w[k + 2], d.clon) ||
            !to_float(w[k + 3], d.dx) || !to_float(w[k + 4], d.dy) || !to_int(w[k + 5], d.nx) ||
            !to_int(w[k + 6], d.ny))
            return bad_header("projection numbers");
        d.proj = proj;
        num = colon_numbers(word);
    }
    // version 1 headers count longitudes positive westward
    if (hversion == 1) d.clon = -d.clon;
    if (proj == 4) {
        if (num.size() == 1) {
            d.plon = num[0];
        } else {
            if (num.size() > 0) d.plat = num[0];
            if (num.size() > 1) d.plon = num[1];
            for (std::size_t i = 2; i < num.size() && i < 5; ++i) d.param[i - 2] = num[i];
        }
    } else if (proj == 1 || proj == 2) {
        d.plon = num.empty() ? d.clon : num[0];
    }
    return true;
}

// The fields of line 3: "source version model type ltype level time var:units".
bool read_line3(const std::string &line, GRD_report *rec) {
    int v[8];
    char units[64] = "";
    int n = std::sscanf(line.c_str(), "%d %d %d %d %d %d %d %d:%63s", &v[0], &v[1], &v[2],
                        &v[3], &v[4], &v[5], &v[6], &v[7], units);
    if (n < 8) return bad_header(line.c_str());
    rec->source = v[0];
    rec->version = v[1];
    rec->model = v[2];
    rec->type = v[3];
    rec->ltype = v[4];
    rec->level = v[5];
    rec->time = v[6];
    rec->var = v[7];
    copy_field(rec->units, units);
    return true;
}

bool valid_size(const Domain &d) {
    if (d.nx <= 0 || d.ny <= 0 || static_cast<long>(d.nx) * d.ny > MAX_POINTS) {
        MESS_print(WARN, "GRD_read: Invalid grid size: %d x %d\n", d.nx, d.ny);
        return false;
    }
    return true;
}

bool short_header() {
    MESS_print(WARN, "GRD_read: Grid header ends early\n");
    return false;
}

bool short_values() {
    MESS_print(WARN, "GRD_read: Grid values end early\n");
    return false;
}

// nx*ny text numbers into out (nullptr: skip them).
bool text_values(FILE *f, long n, float *out) {
    for (long i = 0; i < n; ++i) {
        float v;
        if (std::fscanf(f, "%f", &v) != 1) return short_values();
        if (out) out[i] = v;
    }
    return true;
}

// Version 3: big-endian 4-octet floats, then the line end.
bool binary_values(FILE *f, long n, float *out, bool seekable) {
    if (!out && seekable) {
        // a seek past the end goes unnoticed: the block's last octet must be there
        if (n > 0 && (std::fseek(f, n * 4 - 1, SEEK_CUR) != 0 || std::fgetc(f) == EOF))
            return short_values();
    } else {
        swap_setup(1);
        for (long i = 0; i < n; ++i) {
            float v;
            if (fread_long_swap(f, &v) != 1) return short_values();
            if (out) out[i] = v;
        }
    }
    int c = std::fgetc(f);
    if (c == '\r') c = std::fgetc(f);
    if (c != '\n' && c != EOF) std::ungetc(c, f);
    return true;
}

// Version 4: the values live in another file named by a reference line.
bool referenced_values(const OwnSlot &os, const std::string &ref, const Domain &d,
                       float *out) {
    char kind[64] = "", name[FILE_NAME_LEN] = "";
    long offset = 0;
    int rows = 1, cols = 1;
    int n = std::sscanf(ref.c_str(), "%63s %159s %ld %d %d", kind, name, &offset, &rows, &cols);
    if (n < 2 || offset < 0) return bad_header("reference line");
    FILE *f = FILE_open(name, "r");
    if (!f && name[0] != '/') {
        // a data file named without a directory sits next to the grid file
        std::size_t slash = os.name.rfind('/');
        if (slash != std::string::npos) {
            std::string path = os.name.substr(0, slash + 1) + name;
            f = FILE_open(path.c_str(), "r");
        }
    }
    if (!f) {
        MESS_print(192, "GRD_read: Unable to open grid file: %s\n", grd_printable(name).c_str());
        return false;
    }
    FilePtr keep(f);
    bool text = kind[0] == 'A' || kind[0] == 'a';
    if (offset > 0 && std::fseek(f, offset, SEEK_SET) != 0) return short_values();
    for (int r = 0; r < d.ny; ++r) {
        int j = rows == 1 ? r : d.ny - 1 - r;
        for (int c = 0; c < d.nx; ++c) {
            int i = cols == 1 ? c : d.nx - 1 - c;
            float v;
            if (text) {
                if (std::fscanf(f, "%f", &v) != 1) return short_values();
            } else if (std::fread(&v, 4, 1, f) != 1) {
                return short_values();
            }
            out[static_cast<long>(j) * d.nx + i] = v;
        }
    }
    return true;
}

// Reads the grid at the stream's position.  The values are read in mode 0
// (or always, when keep_values is set) and skipped otherwise.
int read_grid(GRD_file *f, OwnSlot &os, GRD_report *rec, int mode, bool first_std,
              bool keep_values) {
    FILE *fp = f->file;
    std::string line;
    // 1. date line
    if (first_std) {
        line = f->datim;
    } else {
        if (!get_line(fp, line)) return -1;
        if (starts_with(line, "ZUPGRID") && !get_line(fp, line)) return -1;
    }
    std::string datim = line;
    // 2. description line
    if (!get_line(fp, line)) return short_header() ? 0 : -1;
    int hversion = 0;
    std::string info = line;
    {
        const char *s = line.c_str();
        char *end = nullptr;
        long v = std::strtol(s, &end, 10);
        if (end != s && *end == '-' && v >= 0 && v < 1000) {
            hversion = static_cast<int>(v);
            info = end + 1;
        }
    }
    GRD_free(rec);
    GRD_init(rec);
    rec->source = 1;
    rec->model = 1;
    rec->type = 0;
    rec->ltype = rec->level = rec->time = rec->var = 0;
    rec->version = hversion;
    rec->units[0] = '\0';
    rec->date = f->date;
    DOM_init(&rec->domain);
    copy_field(rec->datim, datim.c_str());
    copy_field(rec->info, info.c_str());
    // 3. line 3
    if (hversion >= 2 && hversion <= 4) {
        if (!get_line(fp, line)) return short_header() ? 0 : -1;
        if (!read_line3(line, rec)) return -1;
    }
    // 4. projection
    if (!get_line(fp, line)) return short_header() ? 0 : -1;
    if (f->type == GRD_TYPE_ZUP4) {
        std::string dom = line;
        while (!dom.empty() && std::isspace(static_cast<unsigned char>(dom.back())))
            dom.pop_back();
        std::size_t b = dom.find_first_not_of(" \t");
        dom = b == std::string::npos ? std::string() : dom.substr(b);
        long flag5 = FLAG_get(5);
        int r = DOM_decode(dom.c_str(), &rec->domain);
        FLAG_set(5, flag5);
        if (r < 1 || rec->domain.proj < 0) return bad_header("domain") ? 0 : -1;
    } else if (!read_projection(line, hversion, rec)) {
        return -1;
    }
    if (rec->domain.proj == MISSING) rec->domain.proj = rec->model <= 9 ? 1 : 2;
    if (!valid_size(rec->domain)) return -1;
    if (rec->info[0] == '\0' && rec->var != 0)
        VAR_make_datatype(rec->time, rec->ltype, rec->level, rec->var, rec->units, rec->info,
                          sizeof(rec->info));
    // values: text, binary (version 3, or a "ZUPGRID4B" file) or elsewhere
    const long n = static_cast<long>(rec->domain.nx) * rec->domain.ny;
    const bool binary = hversion == 3 || (f->type == GRD_TYPE_ZUP4 && f->itype == 3);
    const bool want = mode == 0 || keep_values;
    if (want && !GRD_alloc(rec, n)) {
        MESS_print(WARN, "GRD_read: Out of memory for %ld values\n", n);
        return -1;
    }
    float *out = want ? rec->grid : nullptr;
    bool ok;
    if (hversion == 4) {
        std::string ref;
        ok = get_line(fp, ref);
        if (!ok) short_header();
        if (ok && want) ok = referenced_values(os, ref, rec->domain, out);
    } else if (binary) {
        ok = binary_values(fp, n, out, os.seekable);
    } else {
        ok = text_values(fp, n, out);
        // the rest of the last value line belongs to this grid
        if (ok) get_line(fp, line);
    }
    if (!ok) {
        GRD_free(rec);
        return -1;
    }
    MESS_print(DEBUG, "ZUPGRID: %d %d %d %d %d %dx%d\n", rec->var, rec->ltype, rec->level,
               rec->time, hversion, rec->domain.nx, rec->domain.ny);
    return 0;
}

// Unseekable stream: grids come one after the other; the last one is kept.
int read_stream(GRD_file *f, OwnSlot &os, GRD_report *rec, int mode, int p) {
    if (os.cached && p < os.cache_num) {
        MESS_print(WARN, "GRD_read: Cannot go back to grid %d on a stream\n", p);
        return -1;
    }
    while (!os.cached || os.cache_num < p) {
        bool first = !os.cached && os.date_taken;
        GRD_report tmp;
        GRD_init(&tmp);
        int r = read_grid(f, os, &tmp, 0, first, true);
        if (r != 0) {
            GRD_free(&tmp);
            return r;
        }
        os.cache_values.assign(tmp.grid, tmp.grid + static_cast<long>(tmp.domain.nx) *
                                                        tmp.domain.ny);
        GRD_free(&tmp);
        tmp.grid = nullptr;
        os.cache = tmp;
        os.cache_num = os.cached ? os.cache_num + 1 : 0;
        os.cached = true;
    }
    GRD_free(rec);
    *rec = os.cache;
    rec->grid = nullptr;
    if (mode == 0) {
        if (!GRD_alloc(rec, static_cast<long>(os.cache_values.size()))) return -1;
        std::memcpy(rec->grid, os.cache_values.data(), os.cache_values.size() * sizeof(float));
    }
    f->num = os.cache_num;
    return 0;
}

// Start of the first grid of a seekable file.
bool to_start(GRD_file *f) {
    if (std::fseek(f->file, 0, SEEK_SET) != 0) return false;
    if (f->type == GRD_TYPE_ZUP || f->type == GRD_TYPE_ZUP_W) {
        std::string line;
        get_line(f->file, line);
        if (!starts_with(line, "ZUPGRID")) std::fseek(f->file, 0, SEEK_SET);
    }
    return true;
}

}  // namespace

std::string grd_printable(const std::string &text) {
    std::string shown;
    for (char c : text) {
        if (shown.size() >= 60) break;
        shown += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return shown;
}

void grd_own_open(int slot, const char *name) {
    if (slot < 0 || slot >= GRD_MAX_FILES) return;
    OwnSlot &os = own_slot[slot];
    os.cache_values.clear();
    os = OwnSlot{};
    os.name = name ? name : "";
    GRD_file *f = GRD_get_file(slot);
    os.seekable = f && f->file && !f->is_std && std::fseek(f->file, 0, SEEK_CUR) == 0;
}

int grd_own_getinfo(int slot, GRD_file *f, GRD_info *info) {
    OwnSlot &os = own_slot[slot];
    FILE *fp = f->file;
    if (!fp) return -1;
    if (os.seekable && std::fseek(fp, 0, SEEK_SET) != 0) return -1;
    std::string line;
    if (!get_line(fp, line)) return -1;
    if (starts_with(line, "ZUPGRID4")) {
        // a "ZUPGRID4" file given as another code (standard input) is read as one
        f->type = GRD_TYPE_ZUP4;
        f->itype = line.size() > 8 && line[8] == 'B' ? 3 : 0;
        if (!get_line(fp, line)) return -1;
    } else if (starts_with(line, "ZUPGRID")) {
        if (!get_line(fp, line)) return -1;
    }
    copy_field(info->datim, line.c_str());
    copy_field(f->datim, line.c_str());
    DATE_decode_label(line.c_str(), &f->date);
    info->date = f->date;
    info->grid_type = 0;
    GRD_set_cur_pos(0);
    GRD_set_new_pos(-1);
    if (os.seekable) {
        GRD_rewind(slot);
    } else {
        os.date_taken = true;
        os.cached = false;
    }
    return 0;
}

int grd_own_read(int slot, GRD_file *f, GRD_report *rec, int mode, int *num) {
    OwnSlot &os = own_slot[slot];
    if (!f->file) return -1;
    int p = num ? *num : f->num + 1;
    if (p < 0) p = 0;
    if (!os.seekable) {
        int r = read_stream(f, os, rec, mode, p);
        if (r == 0 && num) *num = f->num;
        return r;
    }
    return grd_seek_read(
        f, p, [f] { return to_start(f); },
        [&](GRD_report *r, int m) { return read_grid(f, os, r, m, false, false); }, rec, mode,
        num);
}

int grd_seek_read(GRD_file *f, int p, const std::function<bool()> &to_start,
                  const std::function<int(GRD_report *, int)> &read_at, GRD_report *rec,
                  int mode, int *num) {
    long cur = GRD_get_cur_pos();
    long next = GRD_get_new_pos();
    if (p == f->num + 1 && next >= 0) {
        cur = next;
        ++f->num;
    } else if (p < f->num) {
        if (!to_start()) return -1;
        cur = std::ftell(f->file);
        next = -1;
        f->num = 0;
    }
    // further ahead: step over the grids between
    while (f->num < p) {
        if (std::fseek(f->file, cur, SEEK_SET) != 0) return -1;
        GRD_report skip;
        GRD_init(&skip);
        int r = read_at(&skip, 1);
        GRD_free(&skip);
        if (r != 0) return -1;
        cur = std::ftell(f->file);
        ++f->num;
    }
    if (cur < 0 || std::fseek(f->file, cur, SEEK_SET) != 0) return -1;
    GRD_set_cur_pos(cur);
    int r = read_at(rec, mode);
    if (r != 0) return r;
    GRD_set_new_pos(std::ftell(f->file));
    if (num) *num = f->num;
    return 0;
}

void grd_own_close(int slot) {
    if (slot < 0 || slot >= GRD_MAX_FILES) return;
    own_slot[slot] = OwnSlot{};
}
