// grd_gridcode.cpp - the character-form GRID code (WMO FM 47): numbered
// five-character groups describing a grid, followed by its values as whole
// numbers.
//
// A bulletin reads
//   GRID ssnnn xxxxx 6YYMM 7DDHH 1pp.. 2ll.. 8ttt. 4s... reference v v v ...
// where "GRID" opens a bulletin, ss is the source and nnn the grid number
// (70 is added), the groups are told by their first digit (1 parameter,
// 2 isobaric level, 3 other level, 6 year and month, 7 day and hour,
// 8 forecast hour, 4 the scale whose second digit selects the factor), the
// word after the scale group is the reference value, and the nx*ny values
// of the catalogued grid follow row after row from the north, each a signed
// whole number or a group of slashes for a missing value.  Words before the
// first group of a grid that are not groups ("xxxxx") and the bulletin end
// "NNNN" or "=" are passed over.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "grd_priv.h"
#include "grib.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"

namespace {

constexpr long WARN = 192;

// One blank-separated word; false at the end of the file.
bool word(FILE *f, std::string &w) {
    w.clear();
    int c;
    while ((c = std::fgetc(f)) != EOF && std::isspace(c)) {
    }
    while (c != EOF && !std::isspace(c)) {
        if (w.size() < 64) w.push_back(static_cast<char>(c));
        c = std::fgetc(f);
    }
    return !w.empty();
}

bool digits(const std::string &w, std::size_t from, std::size_t n, int &v) {
    if (w.size() < from + n) return false;
    v = 0;
    for (std::size_t i = from; i < from + n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(w[i]))) return false;
        v = v * 10 + (w[i] - '0');
    }
    return true;
}

bool is_group(const std::string &w) {
    return w.size() == 5 && std::isdigit(static_cast<unsigned char>(w[0]));
}

int full_year(int yy) { return yy < 50 ? 2000 + yy : 1900 + yy; }

void date_groups(const std::string &w, Date &d) {
    int a, b;
    if (!digits(w, 1, 2, a) || !digits(w, 3, 2, b)) return;
    if (w[0] == '6') {
        d.year = full_year(a);
        d.month = b;
    } else {
        d.day = a;
        d.hour = b;
        d.min = 0;
    }
    if (d.year != MISSING && d.month != MISSING && d.day != MISSING)
        DATE_monday_julian(d.year, d.month, d.day, &d.jday);
}

float scale_factor(int s) {
    static const float f[] = {1, 0.1f, 0.01f, 0.001f, 0.0001f, 10, 100, 1000, 10000, 100000};
    return s >= 0 && s <= 9 ? f[s] : 1;
}

// Per slot: the parameter given to each grid coded 22 (the wind components
// come as a pair of such grids, u first), by grid number.
std::map<int, int> wind_var[GRD_MAX_FILES];

int read_grid(GRD_file *f, int slot, GRD_report *rec, int mode) {
    FILE *fp = f->file;
    std::string w;
    // the grid's first word: source and grid number
    do {
        if (!word(fp, w)) return -1;
    } while (w == "GRID" || w == "NNNN" || w == "=");
    int src, grid;
    if (!digits(w, 0, 2, src) || !digits(w, 2, 3, grid)) {
        MESS_print(WARN, "GRD_read: Bad GRID code group: %s\n", grd_printable(w).c_str());
        return -1;
    }
    GRD_free(rec);
    GRD_init(rec);
    rec->source = rec->model = src;
    rec->version = 1;
    rec->type = grid + 70;
    rec->date = f->date;
    rec->time = 0;
    rec->ltype = rec->level = 0;
    rec->var = 0;
    DOM_init(&rec->domain);
    if (GRIB_set_domain(rec->type, &rec->domain) <= 0) {
        MESS_print(WARN, "GRD_read: Unknown GRID grid number: %d\n", rec->type);
        return -1;
    }
    float factor = 1;
    bool scaled = false;
    int code = 0;
    while (!scaled) {
        if (!word(fp, w)) {
            MESS_print(WARN, "GRD_read: GRID code ends in the header\n");
            return -1;
        }
        if (!is_group(w)) continue;
        int a = 0;
        switch (w[0]) {
        case '1':
            if (digits(w, 1, 2, a)) code = a;
            break;
        case '2':
            if (digits(w, 1, 2, a)) {
                rec->ltype = 10;
                rec->level = a * 10;
            }
            break;
        case '3':
            if (digits(w, 1, 2, a)) {
                rec->ltype = a == 0 ? 12 : 13;
                rec->level = a * 10;
            }
            break;
        case '6':
        case '7':
            date_groups(w, rec->date);
            break;
        case '8':
            if (digits(w, 1, 3, a)) rec->time = a;
            break;
        case '4':
            factor = scale_factor(w[1] - '0');
            scaled = true;
            break;
        default:
            break;
        }
    }
    if (code == 22) {
        std::map<int, int> &wv = wind_var[slot];
        auto it = wv.find(f->num);
        if (it != wv.end()) {
            code = it->second;
        } else {
            auto prev = wv.find(f->num - 1);
            code = prev != wv.end() && prev->second == 23 ? 24 : 23;
            wv[f->num] = code;
        }
    }
    rec->var = code;
    if (!word(fp, w)) {
        MESS_print(WARN, "GRD_read: GRID code ends in the header\n");
        return -1;
    }
    char *end = nullptr;
    double ref = std::strtod(w.c_str(), &end);
    if (end == w.c_str() || !std::isfinite(ref)) {
        MESS_print(WARN, "GRD_read: Bad GRID reference value: %s\n", grd_printable(w).c_str());
        return -1;
    }
    if (code == 4) ref = -ref;
    // parameters and levels are of the old (edition 0) numbering: the units
    // and the description come from that numbering's table (10 isobaric,
    // 12 surface)
    GRD_report old;
    GRD_init(&old);
    old.version = 0;
    old.source = 7;
    old.var = rec->var;
    GRIB_units(&old);
    copy_field(rec->units, old.units);
    int lt = rec->ltype == 10 ? 100 : rec->ltype == 12 ? 1 : 0;
    VAR_make_datatype(rec->time, lt, rec->level, old.var, rec->units, rec->info,
                      sizeof(rec->info));
    char label[DATE_LABEL_LEN] = "";
    DATE_make_label_for_time(rec->time, rec->model, &rec->date, label);
    copy_field(rec->datim, label);
    const long n = static_cast<long>(rec->domain.nx) * rec->domain.ny;
    if (mode == 0 && !GRD_alloc(rec, n)) return -1;
    for (long i = 0; i < n; ++i) {
        if (!word(fp, w)) {
            MESS_print(WARN, "GRD_read: GRID code values end early\n");
            GRD_free(rec);
            return -1;
        }
        if (mode != 0) continue;
        if (w.find_first_not_of('/') == std::string::npos) {
            rec->grid[i] = MISSING_F;
            continue;
        }
        long v = std::strtol(w.c_str(), &end, 10);
        if (end == w.c_str() || *end != '\0') {
            MESS_print(WARN, "GRD_read: Bad GRID value: %s\n", grd_printable(w).c_str());
            GRD_free(rec);
            return -1;
        }
        rec->grid[i] = static_cast<float>(v * factor + ref);
    }
    return 0;
}

}  // namespace

void grd_gridcode_open(int slot) {
    if (slot >= 0 && slot < GRD_MAX_FILES) wind_var[slot].clear();
}

int grd_gridcode_getinfo(int slot, GRD_file *f, GRD_info *info) {
    FILE *fp = f->file;
    if (!fp || std::fseek(fp, 0, SEEK_SET) != 0) return -1;
    std::string w;
    for (int i = 0; i < 3; ++i)
        if (!word(fp, w)) return -1;
    DATE_init(&f->date);
    bool ym = false, dh = false;
    for (int i = 0; i < 50 && !(ym && dh) && word(fp, w); ++i) {
        if (!is_group(w) || (w[0] != '6' && w[0] != '7')) continue;
        date_groups(w, f->date);
        (w[0] == '6' ? ym : dh) = true;
    }
    if (!ym || !dh) {
        MESS_print(WARN, "GRD_getinfo: GRID code without its date groups\n");
        GRD_rewind(slot);
        return -1;
    }
    char label[DATE_LABEL_LEN] = "";
    DATE_make_label(&f->date, label);
    copy_field(f->datim, label);
    copy_field(info->datim, label);
    info->date = f->date;
    info->grid_type = 0;
    wind_var[slot].clear();
    GRD_rewind(slot);
    return 0;
}

int grd_gridcode_read(int slot, GRD_file *f, GRD_report *rec, int mode, int *num) {
    if (!f->file) return -1;
    int p = num ? *num : f->num + 1;
    if (p < 0) p = 0;
    auto to_start = [f] { return std::fseek(f->file, 0, SEEK_SET) == 0; };
    return grd_seek_read(
        f, p, to_start, [&](GRD_report *g, int m) { return read_grid(f, slot, g, m); }, rec,
        mode, num);
}
