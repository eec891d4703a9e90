// var_tool.cpp - parameter numbers, level and time texts, the variable list,
// the edition 2 parameter table, model names and forecast-time texts.
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "zup.h"
#include "zupgrd.h"
#include "zupresrc.h"

namespace {

struct VarRow {
    int ind[5];
    std::string abbr;
    std::string name;
};

struct Grib2Row {
    int src, disc, cat, param;
    std::string name, units, lname;
};

struct ModelRow {
    int src;  // -1: any centre
    int model;
    std::string name;
};

struct VarState {
    bool vars_read = false;
    std::vector<VarRow> vars;

    bool g2_read = false;
    bool g2_found = false;
    std::string g2_path;
    std::vector<Grib2Row> g2;

    bool mod_read = false;
    bool mod_found = false;
    std::vector<ModelRow> models;
    int last_code = -9999;
    std::string last_name;

    GRIB_ens_info ens{};
    std::string model_str;
};

VarState &state() {
    static VarState s;
    return s;
}

// Label type of the plot labels: negative for short names, -1 to 1 with the
// level text first.  This program draws no grid plots, so its labels are
// always of type 0 (level text, then the long name).
constexpr int kLabelType = 0;
int label_type() { return kLabelType; }

// Appends formatted text to out (size bytes), never past its end.
void append(char *out, std::size_t size, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));
void append(char *out, std::size_t size, const char *fmt, ...) {
    std::size_t len = std::strlen(out);
    if (len + 1 >= size) return;
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(out + len, size - len, fmt, ap);
    va_end(ap);
}

std::string rtrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n' ||
                          s.back() == '\t'))
        s.pop_back();
    return s;
}

void read_varfile() {
    VarState &s = state();
    if (s.vars_read) return;
    s.vars_read = true;
    std::string path = grd_lookup_file("variable.lup");
    FilePtr f = FILE_open_ptr(path.c_str(), "r");
    if (!f) {
        MESS_print(64, "VAR_read_varfile: Unable to open file: %s\n", path.c_str());
        return;
    }
    std::string line;
    while (grd_read_line(f.get(), line) && s.vars.size() < 750) {
        line = rtrim(line);
        // numbers, blank, short name, blank, long name
        std::size_t p1 = line.find(' ');
        if (p1 == std::string::npos || p1 == 0) continue;
        std::size_t q = line.find_first_not_of(' ', p1);
        if (q == std::string::npos) continue;
        std::size_t p2 = line.find(' ', q);
        VarRow row;
        for (int &i : row.ind) i = MISSING;
        std::string nums = line.substr(0, p1);
        int k = 0;
        std::size_t pos = 0;
        bool ok = true;
        while (k < 5 && pos <= nums.size()) {
            std::size_t comma = nums.find(',', pos);
            std::string item = nums.substr(pos, comma == std::string::npos
                                                    ? std::string::npos
                                                    : comma - pos);
            char *end = nullptr;
            long v = std::strtol(item.c_str(), &end, 10);
            if (item.empty() || *end != '\0') {
                ok = false;
                break;
            }
            row.ind[k++] = static_cast<int>(v);
            if (comma == std::string::npos) break;
            pos = comma + 1;
        }
        if (!ok || k == 0) continue;
        row.abbr = line.substr(q, p2 == std::string::npos ? std::string::npos : p2 - q);
        if (row.abbr.size() > 9) row.abbr.resize(9);
        if (p2 != std::string::npos) {
            std::size_t r = line.find_first_not_of(' ', p2);
            if (r != std::string::npos) row.name = rtrim(line.substr(r));
        }
        if (row.name.size() > 49) row.name.resize(49);
        s.vars.push_back(row);
    }
}

const VarRow *find_var(int var) {
    read_varfile();
    int v = var % 1000;
    for (const VarRow &r : state().vars)
        if (r.ind[0] == v) return &r;
    return nullptr;
}

void read_grib2file() {
    VarState &s = state();
    std::string path = grd_lookup_file("grib2_var.lup");
    if (s.g2_read && path == s.g2_path) return;
    s.g2_read = true;
    s.g2_path = path;
    s.g2.clear();
    FilePtr f = FILE_open_ptr(path.c_str(), "r");
    s.g2_found = static_cast<bool>(f);
    if (!f) return;
    std::string line;
    while (grd_read_line(f.get(), line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.size() > 200) line.resize(200);
        Grib2Row r;
        char name[20] = "", units[30] = "", lname[80] = "";
        int n = std::sscanf(line.c_str(), "%d %d %d %d %19s %29s %79[^\n]", &r.src,
                            &r.disc, &r.cat, &r.param, name, units, lname);
        if (n < 5) continue;
        r.name = name;
        r.units = units;
        r.lname = rtrim(lname);
        s.g2.push_back(r);
    }
}

void read_modfile() {
    VarState &s = state();
    if (s.mod_read) return;
    s.mod_read = true;
    std::string path = grd_lookup_file("mod_name.lup");
    FilePtr f = FILE_open_ptr(path.c_str(), "r");
    if (!f) {
        MESS_print(64, "VAR_model: Unable to open file: %s\n", path.c_str());
        return;
    }
    s.mod_found = true;
    std::string line;
    while (grd_read_line(f.get(), line)) {
        if (line.empty() || line[0] == '#') continue;
        ModelRow r;
        char name[100] = "";
        if (std::sscanf(line.c_str(), "%d:%d %99[^\n]", &r.src, &r.model, name) == 3) {
        } else if (std::sscanf(line.c_str(), "%d %99[^\n]", &r.model, name) == 2) {
            r.src = -1;
        } else {
            continue;
        }
        r.name = rtrim(name);
        s.models.push_back(r);
    }
}

int range_code(const char *kind) {
    static const struct {
        const char *word;
        int code;
    } kinds[] = {{"rng", 2000000},  {"avg", 3000000},   {"acc", 4000000},
                 {"dif", 5000000},  {"max", 6000000},   {"min", 7000000},
                 {"iavg", 13000000}, {"uavg", 23000000}, {"var", 18000000}};
    for (const auto &k : kinds)
        if (grd_same(kind, k.word)) return k.code;
    return 2000000;
}

// A simple number at the start of text: optional sign, digits, fraction.
bool lead_int(const char *text, int *value, const char **rest) {
    const char *p = text;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long v = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        if (v < 100000000) v = v * 10 + (*p - '0');
        ++p;
    }
    *value = static_cast<int>(v);
    *rest = p;
    return true;
}

// One character class "[...]" at pat; p points after '['.  Returns the
// position after ']' and whether c is in the class.
const char *char_class(const char *p, char c, bool *in) {
    *in = false;
    char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (*p && *p != ']') {
        char a = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        if (p[1] == '-' && p[2] && p[2] != ']') {
            char b = static_cast<char>(std::tolower(static_cast<unsigned char>(p[2])));
            if (lc >= a && lc <= b) *in = true;
            p += 3;
        } else {
            if (lc == a) *in = true;
            ++p;
        }
    }
    if (*p == ']') ++p;
    return p;
}

bool same_char(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// Matches one alternative (pattern from p to end) against the model string.
bool match_alt(const char *p, const char *end, const char *m, bool whole) {
    while (p < end) {
        char c = *p;
        if (c == '?' || c == '.') {
            if (!*m) return false;
            ++p;
            ++m;
        } else if (c == '*') {
            ++p;
            if (p >= end) {
                m += std::strlen(m);
            } else if (*p == '[' || *p == '?' || *p == '.' || *p == '*') {
                // no literal follows: the star takes nothing
            } else {
                while (*m && !same_char(*m, *p)) ++m;
                if (!*m) return false;
            }
        } else if (c == '[') {
            if (!*m) return false;
            bool in = false;
            p = char_class(p + 1, *m, &in);
            if (!in) return false;
            ++m;
        } else {
            if (!*m || !same_char(*m, c)) return false;
            ++p;
            ++m;
        }
    }
    return !whole || *m == '\0';
}

}  // namespace

bool grd_read_line(FILE *f, std::string &line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    return any;
}

// ---------------------------------------------------------------------------

bool grd_same(const char *a, const char *b) {
    if (!a || !b) return false;
    while (*a && *b) {
        if (!same_char(*a, *b)) return false;
        ++a;
        ++b;
    }
    return *a == *b;
}

std::string grd_lookup_file(const char *name) {
    char out[FILE_NAME_LEN];
    FILE_add_res_path("file_path", name, out);
    return out;
}

void VAR_reset() {
    VarState &s = state();
    s = VarState{};
}

// ---------------------------------------------------------------------------
// Units

const char *grd_var_units(int var) {
    int v = var % 1000;
    if (v < 0) v = -v;
    switch (v) {
    case 1: case 2: case 26: case 55: case 56: case 128: case 129: case 130:
        return "Pa";
    case 3: case 39:
        return "Pa/s";
    case 6: case 37: case 190:
        return "m^2/s^2";
    case 7: case 8: case 9: case 20: case 66: case 83: case 100: case 221:
        return "m";
    case 10:
        return "Dobson";
    case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 80: case 85:
    case 133:
        return "K";
    case 18: case 24: case 25: case 131: case 132:
        return "dK";
    case 19:
        return "K/m";
    case 21:
        return "Dbz";
    case 22: case 23: case 28: case 29: case 30: case 81: case 91: case 134: case 140:
    case 141: case 142: case 143: case 144: case 191: case 192: case 209:
        return "";
    case 27: case 222: case 230:
        return "gpm";
    case 31: case 47: case 107: case 571:
        return "deg";
    case 32: case 33: case 34: case 40: case 48: case 49: case 196: case 197:
        return "m/s";
    case 35: case 36:
        return "m^2/s";
    case 38: case 41: case 42: case 43: case 44: case 45: case 46: case 136:
        return "/s";
    case 50: case 51: case 53: case 76: case 153: case 154:
        return "kg/kg";
    case 52: case 60: case 71: case 84: case 193: case 194: case 195: case 201: case 207:
    case 213:
        return "%";
    case 54: case 57: case 58: case 61: case 62: case 63: case 65: case 86: case 90:
    case 223:
        return "kg/m^2";
    case 59: case 214:
        return "kg/m^2/s";
    case 77:
        return "kg/m^3";
    case 108:
        return "s";
    case 111: case 112: case 113: case 114: case 121: case 122: case 145: case 155:
    case 160: case 161: case 162: case 163: case 164: case 165: case 166: case 167:
    case 168: case 204: case 205: case 211: case 212:
        return "W/m^2";
    case 124: case 125: case 147: case 148: case 172: case 226: case 227:
        return "N/m^2";
    case 135:
        return "kg/kg/s";
    case 138:
        return "/s^2";
    case 139:
        return "/s/m";
    case 146: case 156: case 157: case 158:
        return "J/kg";
    case 149:
        return "m^2/s/kg";
    case 151:
        return "km/s";
    case 208:
        return "kg-m/m^2-s";
    case 216:
        return "K/s";
    case 491:
        return "dBZ";
    default:
        return "-";
    }
}

void GRIB_units(GRD_report *rec) {
    if (!rec) return;
    rec->units[0] = '\0';
    if (rec->source == 98 && rec->var >= 129) {
        // the centre's own parameter table
        struct Ecmwf {
            int from, to, ltype, level;
            const char *units;
        };
        static const Ecmwf table[] = {
            {129, 6, -1, -1, "m^2/s^2"}, {130, 11, -1, -1, "K"},   {139, 11, -1, -1, "K"},
            {131, 33, -1, -1, "m/s"},    {132, 34, -1, -1, "m/s"}, {134, 1, -1, -1, "Pa"},
            {135, 39, -1, -1, "Pa/s"},   {146, 122, -1, -1, "W/m^2"},
            {147, 121, -1, -1, "W/m^2"}, {151, 1, 102, 0, "Pa"},   {157, 52, -1, -1, "%"},
            {164, 71, 200, 0, "%"},      {165, 33, 105, 10, "m/s"},
            {166, 34, 105, 10, "m/s"},   {167, 11, 105, 2, "K"},   {168, 17, 105, 2, "K"},
            {172, 81, -1, -1, ""},       {176, 111, -1, -1, "W/m^2"},
            {177, 112, -1, -1, "W/m^2"}, {180, 326, -1, -1, "N/m^2"},
            {181, 327, -1, -1, "N/m^2"}, {228, 61, -1, -1, "m"}};
        for (const Ecmwf &e : table) {
            if (e.from != rec->var) continue;
            rec->var = e.to;
            if (e.ltype >= 0) {
                rec->ltype = e.ltype;
                rec->level = e.level;
            }
            copy_field(rec->units, e.units);
            return;
        }
        MESS_print(64, "Invalid GRIB variable: %d\n", rec->var);
        return;
    }
    if (rec->version == 0 && rec->source != 98) {
        struct Old {
            int from, to;
            const char *units;
        };
        static const Old table[] = {
            {1, 1, "hPa"},      {2, 7, "10 m"},     {3, 8, "10 m"},
            {4, 11, "C"},       {5, 15, "C"},       {6, 16, "C"},
            {8, 13, "C"},       {10, 17, "C"},      {11, 18, "dC"},
            {12, 51, ".1 g/kg"}, {13, 52, "%"},     {14, 53, ".1 g/kg"},
            {15, 131, "dC"},    {17, 132, "dC"},    {21, 32, "m/s"},
            {23, 33, "m/s"},    {24, 34, "m/s"},    {29, 35, "10^5 m^2/s"},
            {30, 43, "10^-5 /s"}, {31, 41, "10^-5 /s"}, {40, 38, "mb/s"},
            {44, 136, "m/s/km"}, {47, 54, "mm"},    {48, 63, "mm"},
            {50, 61, "mm"},     {51, 66, "cm"},     {55, 62, "mm"},
            {61, 80, ".1 C"},   {64, 100, ".5 m"},  {75, 107, "10 deg"},
            {76, 108, "s"}};
        for (const Old &o : table) {
            if (o.from != rec->var) continue;
            rec->var = o.to;
            copy_field(rec->units, o.units);
            return;
        }
        MESS_print(64, "Invalid GRIB variable: %d\n", rec->var);
        return;
    }
    // Edition 1 numbers (and the centre's low numbers, which are WMO ones)
    if (rec->version == 1 || (rec->version == 0 && rec->source == 98))
        copy_field(rec->units, grd_var_units(rec->var));
}

// ---------------------------------------------------------------------------
// Descriptions

void GRIB_set_ens(const GRIB_ens_info *ens) {
    if (ens)
        state().ens = *ens;
    else
        state().ens = GRIB_ens_info{};
}

void GRIB_set_var(GRD_report *rec) {
    if (!rec) return;
    const GRIB_ens_info &e = state().ens;
    char level[70] = "";
    char param[70] = "";
    std::size_t size = sizeof(rec->info);
    if (e.ens && (e.ens_prod == 1 || e.ens_prod == 2 || e.ens_prod == 11 ||
                  e.ens_prod == 12)) {
        VAR_make_datalevel(rec->time, rec->ltype, rec->level, level, sizeof(level));
        VAR_str(param, rec->var, rec->units, sizeof(param));
        rec->info[0] = '\0';
        if (level[0]) append(rec->info, size, "%s ", level);
        int base = rec->var % 1000;
        if (e.ens_prod == 1) {
            static const char *const forms[] = {"Ens[%d] ", "Ens[-%d] ", "Ens[+%d] ",
                                                "Ens[c%d] ", "Ens[w%d] "};
            int t = (e.ens_type >= 1 && e.ens_type <= 5) ? e.ens_type : 1;
            char tag[32];
            std::snprintf(tag, sizeof(tag), forms[t - 1], e.ens_id);
            append(rec->info, size, "%s%s", tag, param);
            rec->var = 19300000 + (t - 1) * 20000 + e.ens_id * 1000 + base;
        } else if (e.ens_prod == 2) {
            append(rec->info, size, "Ens mean %s", param);
            rec->var = 19000000 + base;
        } else {
            append(rec->info, size, "Ens std dev %s", param);
            rec->var = 19001000 + base;
        }
        return;
    }
    if (rec->var == 191 || rec->var == 192) {
        int q = e.ens_prob_var;
        int kind = e.ens_prob_type;
        VAR_make_datalevel(rec->time, rec->ltype, rec->level, level, sizeof(level));
        rec->info[0] = '\0';
        if (level[0]) append(rec->info, size, "%s ", level);
        if (kind < 4)
            append(rec->info, size, "%s",
                   rec->var == 191 ? "Ens prob (%) " : "Ens norm prob (%) ");
        else
            append(rec->info, size, "Prob (%%) ");
        VAR_str(param, q, nullptr, sizeof(param));
        append(rec->info, size, "%s", param);
        float limit = 0;
        bool has_limit = true;
        switch (kind) {
        case 1: case 4:
            append(rec->info, size, " below %.2f", e.ens_prob_low);
            limit = e.ens_prob_low;
            break;
        case 2: case 5:
            append(rec->info, size, " above %.2f", e.ens_prob_up);
            limit = e.ens_prob_up;
            break;
        case 3: case 6:
            append(rec->info, size, " in %.2f-%.2f", e.ens_prob_low, e.ens_prob_up);
            limit = e.ens_prob_low;
            break;
        case 7:
            append(rec->info, size, " above %.2f", e.ens_prob_low);
            limit = e.ens_prob_low;
            break;
        case 8:
            append(rec->info, size, " below %.2f", e.ens_prob_up);
            limit = e.ens_prob_up;
            break;
        default:
            has_limit = false;
        }
        const char *qunits = grd_var_units(q);
        if (qunits[0]) append(rec->info, size, " %s", qunits);
        int code = has_limit ? float2int(limit) : 0;
        if (code < 0) code = 5000 - code;
        int k = (kind >= 0 && kind <= 9) ? kind : 0;
        rec->var = rec->var * 10000000 + (q % 1000) * 10000 + k * 1000 + code;
        copy_field(rec->units, "%");
        return;
    }
    VAR_make_datatype(rec->time, rec->ltype, rec->level, rec->var, rec->units,
                      rec->info, sizeof(rec->info));
}

void VAR_make_datatype(int time, int ltype, int level, int var, const char *units,
                       char *out, std::size_t size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    int lt = label_type();
    if (lt >= -1 && lt <= 1) {
        char lev[80] = "";
        VAR_make_datalevel(time, ltype, level, lev, sizeof(lev));
        if (lev[0]) append(out, size, "%s ", lev);
    }
    char param[80] = "";
    VAR_str(param, var, units, sizeof(param));
    append(out, size, "%s", param);
}

void VAR_make_datalevel(int time, int ltype, int level, char *out, std::size_t size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    if (time != MISSING && time >= 1000000) {
        int r = time / 1000000;
        int end = time % 1000;
        int start = (time % 1000000) / 1000;
        if (r > 1) {
            int n = r > 9 ? end : std::abs(end - start);
            const char *unit = end > 899 ? "%d month " : (end >= 800 ? "%d day " : "%d hour ");
            char buf[32];
            std::snprintf(buf, sizeof(buf), unit, n);
            append(out, size, "%s", buf);
        }
        switch (r) {
        case 2: append(out, size, "rng "); break;
        case 3: append(out, size, "avg "); break;
        case 4: append(out, size, "acc "); break;
        case 5: append(out, size, "dif "); break;
        case 6: append(out, size, "max "); break;
        case 7: append(out, size, "min "); break;
        case 13: append(out, size, "iavg "); break;
        case 23: append(out, size, "uavg "); break;
        case 18: append(out, size, "var "); break;
        default: break;
        }
    }
    int L = level;
    switch (ltype) {
    case 0: case 9: break;
    case 1:
        if (L > 2000)
            append(out, size, "Surface[%d]", L - 2000);
        else if (L >= 1 && L <= 2000)
            append(out, size, "Surface[%d]", L);
        else
            append(out, size, "Surface");
        break;
    case 2: append(out, size, "Cloud base"); break;
    case 3: append(out, size, "Cloud top"); break;
    case 4: append(out, size, "Frz level"); break;
    case 5: append(out, size, "LCL"); break;
    case 6: append(out, size, "Max wind"); break;
    case 7: append(out, size, "Tropopause"); break;
    case 8: append(out, size, "Top"); break;
    case 100: append(out, size, "%d mb", L); break;
    case 101:
        if (L >= 1001) {
            int b = (L % 1000) * 10;
            int top = (L / 1000) * 10;
            if (b == 1900 || b == 2000)
                append(out, size, "sfc-%d mb", top);
            else if (b == 1950)
                append(out, size, "trop-%d mb", top);
            else if (b > 2000)
                append(out, size, "sfc[%d]-%d mb", b - 2000, top);
            else
                append(out, size, "%d-%d mb", b, top);
        } else if (L == 510) {
            append(out, size, "1000-500 mb");
        } else if (L == 508) {
            append(out, size, "850-500 mb");
        } else if (L == 599) {
            append(out, size, "SFC-500 mb");
        }
        break;
    case 102: append(out, size, "Sea level"); break;
    case 103: append(out, size, "%d m", L); break;
    case 104:
        if ((L % 1000) * 100 == 99500)
            append(out, size, "trop+%d m", (L / 1000) * 100);
        else
            append(out, size, "%d-%d mb", (L % 1000) * 100, (L / 1000) * 100);
        break;
    case 105: append(out, size, "%d m AG", L); break;
    case 106: append(out, size, "%d-%d m AG", (L % 1000) * 100, (L / 1000) * 100); break;
    case 107: append(out, size, "%3.2f sigma", L / 10000.0); break;
    case 108:
        append(out, size, "%3.2f-%3.2f sigma", (L % 1000) / 100.0, (L / 1000) / 100.0);
        break;
    case 109: append(out, size, "%d lev", L); break;
    case 111: append(out, size, "%d cm BG", L); break;
    case 112: append(out, size, "%d-%d cm BG", L % 1000, L / 1000); break;
    case 113: append(out, size, "%d K", L); break;
    case 114:
        append(out, size, "%3.0f-%3.0f K", static_cast<double>(L % 1000),
               static_cast<double>(L / 1000));
        break;
    case 115: append(out, size, "%d mb AG", L); break;
    case 116: append(out, size, "%d-%d mb AG", L % 1000, L / 1000); break;
    case 117: append(out, size, "%d*10^-6 Km2/kgs", L); break;
    case 119: append(out, size, "%3.2f Eta", L / 10000.0); break;
    case 120:
        append(out, size, "%3.2f-%3.2f Eta", (L % 1000) / 100.0, (L / 1000) / 100.0);
        break;
    case 200: append(out, size, "Whole atms"); break;
    case 204: append(out, size, "Top frz level"); break;
    case 206: append(out, size, "Grid cld bot lvl"); break;
    case 207: append(out, size, "Grid cld top lvl"); break;
    case 209: append(out, size, "Bound lyr cld bot"); break;
    case 210: append(out, size, "Bound lyr cld top"); break;
    case 211: append(out, size, "Bound lyr cld lyr"); break;
    case 212: append(out, size, "Low cld bot lvl"); break;
    case 213: append(out, size, "Low cld top lvl"); break;
    case 214: append(out, size, "Low cld lyr"); break;
    case 215: append(out, size, "Cld ceiling"); break;
    case 222: append(out, size, "Mid cld bot lvl"); break;
    case 223: append(out, size, "Mid cld top lvl"); break;
    case 224: append(out, size, "Mid cld lyr"); break;
    case 232: append(out, size, "High cld bot lvl"); break;
    case 233: append(out, size, "High cld top lvl"); break;
    case 234: append(out, size, "High cld lyr"); break;
    case 242: append(out, size, "Conv cld bot lvl"); break;
    case 243: append(out, size, "Conv cld top lvl"); break;
    case 244: append(out, size, "Conv cld lyr"); break;
    case 245: append(out, size, "Wet bulb zero lvl"); break;
    case 246: append(out, size, "Max eq pot temp lvl"); break;
    case 247: append(out, size, "Equilibrium lvl"); break;
    case 248: append(out, size, "Shal Conv cld bot lvl"); break;
    case 249: append(out, size, "Shal Conv cld top lvl"); break;
    case 251: append(out, size, "Deep Conv cld bot lvl"); break;
    case 252: append(out, size, "Deep Conv cld top lvl"); break;
    case 253: append(out, size, "Supercool liq wat bot"); break;
    case 254: append(out, size, "Supercool liq wat top"); break;
    default:
        if (ltype > 0) MESS_print(192, "VAR_make_datatype: no ltype: %d\n", ltype);
        break;
    }
}

void VAR_str(char *out, int var, const char *units, std::size_t size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    const VarRow *row = find_var(var);
    if (row) {
        append(out, size, "%s", label_type() < 0 ? row->abbr.c_str() : row->name.c_str());
    } else {
        append(out, size, "v%d", var);
        MESS_print(0xF0000000L, "VAR_str: no var: %d\n", var);
    }
    if (units && units[0]) append(out, size, " (%s)", units);
}

int VAR_search_var_num(const char *abbr) {
    if (!abbr) return 0;
    read_varfile();
    for (const VarRow &r : state().vars)
        if (grd_same(r.abbr.c_str(), abbr)) return r.ind[0];
    return 0;
}

bool VAR_get_names(int var, const char **name, const char **abbr) {
    const VarRow *row = find_var(var);
    if (name) *name = row ? row->name.c_str() : "";
    if (abbr) *abbr = row ? row->abbr.c_str() : "";
    return row != nullptr;
}

// ---------------------------------------------------------------------------
// Edition 2 parameters

void GribParam_init(GribParam *gp) {
    if (!gp) return;
    gp->ind = MISSING;
    gp->ver = 2;
    gp->src = MISSING;
    gp->disc = MISSING;
    gp->cat = MISSING;
    gp->param = MISSING;
    gp->name[0] = gp->units[0] = gp->lname[0] = '\0';
}

void GRIB_get_ver2_param(GribParam *gp, int center, int disc, int cat, int param) {
    if (!gp) return;
    GribParam_init(gp);
    MESS_print(0xF0000000L, "get_ver2_param %d %d %d %d\n", center, disc, cat, param);
    read_grib2file();
    VarState &s = state();
    if (!s.g2_found) return;
    for (const Grib2Row &r : s.g2) {
        if ((r.src == 0 || r.src == center) && r.disc == disc && r.cat == cat &&
            r.param == param) {
            gp->src = r.src;
            gp->disc = disc;
            gp->cat = cat;
            gp->param = param;
            copy_field(gp->name, r.name.c_str());
            copy_field(gp->units, r.units.c_str());
            copy_field(gp->lname, r.lname.c_str());
            gp->ind = VAR_search_var_num(gp->name);
            MESS_print(0xF0000000L, "GPARAM: %s %s %d\n", gp->name, gp->units, gp->ind);
            return;
        }
    }
    gp->disc = disc;
    gp->cat = cat;
    gp->param = param;
    gp->src = center;
    gp->ind = disc * 1000000 + cat * 1000 + param;
    MESS_print(0xF0000000L, "VER2: %d %d %d %d\n", center, disc, cat, param);
}

// ---------------------------------------------------------------------------
// Forecast-time texts

namespace {

// Forecast hours beyond a century are no forecast time: refusing them keeps
// every encoded time (start * 1000 + end + range code) inside an int.
constexpr long long kMaxHours = 1000000;

// Hours from the digits at text (saturating instead of overflowing).
long long hours_at(const char *text) {
    errno = 0;
    long long v = std::strtoll(text, nullptr, 10);
    return errno == ERANGE ? kMaxHours + 1 : v;
}

}  // namespace

int VAR_dec_time(const char *text, int *time) {
    int dummy;
    if (!time) time = &dummy;
    *time = 0;
    if (!text) text = "";
    char head[200] = "";
    char kind[200] = "";
    char digits[20] = "";
    int got = 0;
    if (text[0] != '-') {
        got = std::sscanf(text, "%199[^-]-%19[0-9]%199s", head, digits, kind);
    } else {
        got = std::sscanf(text, "-%19[0-9]%199s", digits, kind);
        if (got > 0) got += 1;
    }
    if (got < 0) got = 0;
    bool has_n = got >= 2;
    bool has_kind = got >= 3;
    long long n = has_n ? hours_at(digits) : 0;
    // trailing blanks of the head
    std::size_t hl = std::strlen(head);
    while (hl > 0 && head[hl - 1] == ' ') head[--hl] = '\0';

    // The time of a start and an end hour (a range when the kind is given),
    // or a refusal when an hour is out of range.
    auto store = [&](long long t, bool range, long long code, int result) {
        if (t < -kMaxHours || t > kMaxHours || n > kMaxHours) {
            MESS_print(64, "VAR_dec_time: Forecast time out of range: %s\n", text);
            *time = 0;
            return 0;
        }
        *time = static_cast<int>(range ? (t - n) * 1000 + t + code : t);
        return result;
    };

    if (grd_same(head, "miss")) {
        *time = MISSING;
        return 2;
    }
    if (grd_same(head, "init") || grd_same(head, "in")) {
        *time = 0;
        return 2;
    }
    if (grd_same(head, "anal")) {
        // an analysis range: the start hour n, ending at hour 0
        if (!(has_n && has_kind)) return store(0, false, 0, 2);
        if (n > kMaxHours) return store(0, false, 0, 2);
        *time = static_cast<int>(n * 1000 + range_code(kind));
        return 2;
    }
    char h0 = static_cast<char>(std::tolower(static_cast<unsigned char>(head[0])));
    bool digit1 = std::isdigit(static_cast<unsigned char>(head[1])) != 0;
    bool range = has_n && has_kind;
    if (h0 == 'h' && digit1)
        return store(hours_at(head + 1), range, range ? range_code(kind) : 0, 2);
    if ((h0 == 'd' || h0 == 'e') && digit1) {
        long long d = hours_at(head + 1);
        // the one-digit "d0" of the time menu is ten days
        if (d == 0 && head[2] == '\0') d = 10;
        if (d > kMaxHours) return store(d, false, 0, 2);
        return store(d * 24 + (h0 == 'e' ? 12 : 0), false, 0, 2);
    }
    if (std::isdigit(static_cast<unsigned char>(head[0]))) {
        int v = 0;
        const char *rest = head;
        lead_int(head, &v, &rest);
        long long t = v;
        if (grd_same(rest, "day") || grd_same(rest, "d"))
            t = t * 24;
        else if (grd_same(rest, ".5day") || grd_same(rest, "e"))
            t = t * 24 + 12;
        return store(t, range, range ? range_code(kind) : 0, 2);
    }
    if (grd_same(head, "time") || head[0] == '\0') {
        long flag6 = FLAG_getl(6);
        bool have = flag6 != MISSING;
        if (!have && head[0] == '\0' && text[0] == '\0') {
            *time = 0;
            return 2;
        }
        int cur = have ? static_cast<int>(flag6) : 0;
        int end = cur % 1000;
        if (range) return store(end, true, range_code(kind), 1);
        if (has_n) return store(end - n, false, 0, 1);
        *time = cur;
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Model names

void VAR_model(char *name, int code, std::size_t size) {
    if (!name || size == 0) return;
    name[0] = '\0';
    VarState &s = state();
    if (s.mod_read && code == s.last_code) {
        copy_field(name, size, s.last_name.c_str());
        return;
    }
    read_modfile();
    int src = -1;
    int model = code;
    if (code > 1000) {
        src = code / 1000;
        model = code % 1000;
    }
    std::string found;
    for (const ModelRow &r : s.models) {
        if (r.model == model && (r.src == -1 || r.src == src)) {
            found = r.name;
            break;
        }
    }
    s.last_code = code;
    s.last_name = found;
    copy_field(name, size, found.c_str());
}

int VAR_menu_display(const char *pattern, const char *model) {
    if (!pattern || !model || !*pattern || !*model) return 0;
    const char *p = pattern;
    while (true) {
        const char *bar = std::strchr(p, '|');
        const char *end = bar ? bar : p + std::strlen(p);
        bool last = bar == nullptr;
        bool neg = *p == '~';
        const char *start = neg ? p + 1 : p;
        bool m = match_alt(start, end, model, last);
        if (neg) m = !m;
        if (m) return 1;
        if (last) break;
        p = bar + 1;
    }
    return 0;
}

void VAR_set_model_str(const char *model) { state().model_str = model ? model : ""; }

const char *VAR_get_model_str() { return state().model_str.c_str(); }
