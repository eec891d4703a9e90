// unittool.cpp - conversion of values between unit strings.
//
// A unit string may start with a factor ("10 m", ".1 g/kg", "10^-5 /s",
// "-"); names that differ after the factors are converted through the
// table "units.lup" (input name, output name, "*scale", "+offset" or
// "-offset").  The last pair converted is cached.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "grd_priv.h"
#include "zup.h"
#include "zupgrd.h"

namespace {

struct UnitRow {
    std::string in, out, conv;
    double scale, offset;
};

struct UnitState {
    bool table_read = false;
    bool table_found = false;
    std::string table_path;
    std::vector<UnitRow> table;

    bool cached = false;
    std::string cache_in, cache_out;
    double fi = 1, fo = 1, scale = 1, offset = 0;
};

UnitState &state() {
    static UnitState s;
    return s;
}

constexpr long DEBUG = 0xF0000000L;

std::string blanks_for_underscores(const char *s) {
    std::string r = s ? s : "";
    for (char &c : r)
        if (c == '_') c = ' ';
    return r;
}

std::string trim(const std::string &s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    std::size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

// A plain decimal number at p (sign, digits, fraction, exponent followed by
// a digit); returns the characters used, 0 when there is none.
std::size_t scan_number(const char *p, double *v) {
    const char *q = p;
    if (*q == '+' || *q == '-') ++q;
    bool digits = false;
    while (std::isdigit(static_cast<unsigned char>(*q))) {
        ++q;
        digits = true;
    }
    if (*q == '.') {
        ++q;
        while (std::isdigit(static_cast<unsigned char>(*q))) {
            ++q;
            digits = true;
        }
    }
    if (!digits) return 0;
    if ((*q == 'e' || *q == 'E') &&
        (std::isdigit(static_cast<unsigned char>(q[1])) ||
         ((q[1] == '-' || q[1] == '+') && std::isdigit(static_cast<unsigned char>(q[2]))))) {
        q += 2;
        while (std::isdigit(static_cast<unsigned char>(*q))) ++q;
    }
    std::string num(p, q);
    *v = std::strtod(num.c_str(), nullptr);
    return static_cast<std::size_t>(q - p);
}

// Cuts the leading factor from name; returns it.
double leading_factor(std::string &name, bool input) {
    const char *p = name.c_str();
    double base = 0, expo = 0, f = 1;
    std::size_t n = scan_number(p, &base);
    const char *tag = input ? "I" : "O";
    if (n > 0 && p[n] == '^') {
        std::size_t m = scan_number(p + n + 1, &expo);
        if (m > 0) {
            f = std::pow(base, expo);
            name = trim(name.substr(n + 1 + m));
            MESS_print(DEBUG, "%sSC^: %f^%f %f %s\n", tag, base, expo, f, name.c_str());
            return f;
        }
    }
    if (n > 0) {
        name = trim(name.substr(n));
        MESS_print(DEBUG, "%sSC: %f %s\n", tag, base, name.c_str());
        return base;
    }
    if (p[0] == '-') {
        name = trim(name.substr(1));
        MESS_print(DEBUG, "%sSC-: %f %s\n", tag, -1.0, name.c_str());
        return -1;
    }
    return 1;
}

void read_table(UnitState &s, const std::string &path) {
    s.table_read = true;
    s.table_path = path;
    s.table.clear();
    FilePtr f = FILE_open_ptr(path.c_str(), "r");
    s.table_found = static_cast<bool>(f);
    if (!f) return;
    char line[256];
    while (std::fgets(line, sizeof(line), f.get())) {
        char in[15] = "", out[64] = "", conv[64] = "";
        int got = std::sscanf(line, "%14s %63s %63s", in, out, conv);
        if (got < 2 || in[0] == '#') continue;
        UnitRow r;
        r.in = blanks_for_underscores(in);
        r.out = blanks_for_underscores(out);
        r.conv = conv;
        r.scale = 1;
        r.offset = 0;
        const char *c = conv;
        double v = 0;
        if (*c == '*') {
            std::size_t n = scan_number(c + 1, &v);
            if (n > 0) {
                r.scale = v;
                MESS_print(DEBUG, "SC: %f %s\n", v, c);
                c += 1 + n;
            }
        }
        if (*c == '+') {
            std::size_t n = scan_number(c + 1, &v);
            if (n > 0) {
                r.offset = v;
                MESS_print(DEBUG, "OF: %f %s\n", v, c);
            }
        } else if (*c == '-') {
            std::size_t n = scan_number(c + 1, &v);
            if (n > 0) {
                r.offset = -v;
                MESS_print(DEBUG, "OF-: %f %s\n", v, c);
            }
        }
        s.table.push_back(r);
    }
}

}  // namespace

void UNIT_reset() { state() = UnitState{}; }

float UNIT_cvt(float v, const char *in_units, const char *out_units) {
    if (v == MISSING_F) return MISSING_F;
    std::string a = blanks_for_underscores(in_units);
    std::string b = blanks_for_underscores(out_units);
    if (grd_same(a.c_str(), b.c_str())) return v;
    if (!a.empty() && b.empty()) return v;
    UnitState &s = state();
    if (!(s.cached && s.cache_in == a && s.cache_out == b)) {
        std::string an = trim(a);
        std::string bn = trim(b);
        double fi = leading_factor(an, true);
        double fo = leading_factor(bn, false);
        double scale = 1, offset = 0;
        if (!grd_same(an.c_str(), bn.c_str())) {
            std::string path = grd_lookup_file("units.lup");
            if (!s.table_read || s.table_path != path) read_table(s, path);
            if (!s.table_found) {
                MESS_print(DEBUG, "Unable to open units file: %s\n", path.c_str());
                return 0;
            }
            for (const UnitRow &r : s.table) {
                if (grd_same(r.in.c_str(), an.c_str()) && grd_same(r.out.c_str(), bn.c_str())) {
                    scale = r.scale;
                    offset = r.offset;
                    MESS_print(DEBUG, "%s %s %s %f %f\n", an.c_str(), bn.c_str(), r.conv.c_str(),
                               scale, offset);
                    break;
                }
            }
        }
        if (fo == 0) fo = 1;
        s.cached = true;
        s.cache_in = a;
        s.cache_out = b;
        s.fi = fi;
        s.fo = fo;
        s.scale = scale;
        s.offset = offset;
    }
    return static_cast<float>((s.fi * v * s.scale + s.offset) / s.fo);
}
