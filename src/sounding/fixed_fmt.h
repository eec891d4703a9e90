// fixed_fmt.h - the report's "%W.Pf" columns without printf's
// arbitrary-precision conversion, which costs more than the analysis of a
// row once hundreds of stations are reported.
//
// A float times 10^P (P <= 6) is exact in a double, so rounding it to an
// integer with ties to even gives the digits printf prints; the sign of a
// negative value that rounds to zero is kept ("-0.0"), as printf keeps it.
// Anything else (flags, other conversions, infinities, huge values) goes to
// snprintf.  Not part of the module interface.
#ifndef FIXED_FMT_H
#define FIXED_FMT_H

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

// Appends v printed by format to *out: one conversion, optionally followed
// by plain text ("%5.1f ", "%7.2f").
inline void append_fixed(std::string *out, const char *format, float v) {
    const char *c = format;
    int width = 0, prec = -1;
    bool plain = *c++ == '%';
    while (plain && *c >= '0' && *c <= '9' && width < 100) width = width * 10 + (*c++ - '0');
    if (plain && *c == '.' && c[1] >= '0' && c[1] <= '6' && c[2] == 'f') {
        prec = c[1] - '0';
        c += 3;
    }
    plain = plain && prec >= 0 && !std::strchr(c, '%') && std::isfinite(v);
    static const double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    const double scaled = plain ? std::nearbyint(std::fabs(static_cast<double>(v)) * kPow10[prec]) : 0.0;
    if (!plain || scaled >= 1e15) {
        char buf[400];
        std::snprintf(buf, sizeof buf, format, static_cast<double>(v));
        *out += buf;
        return;
    }
    char digits[32];
    int n = 0;
    auto q = static_cast<unsigned long long>(scaled);
    for (int i = 0; i < prec; ++i, q /= 10) digits[n++] = static_cast<char>('0' + q % 10);
    if (prec > 0) digits[n++] = '.';
    do {
        digits[n++] = static_cast<char>('0' + q % 10);
        q /= 10;
    } while (q);
    if (std::signbit(v)) digits[n++] = '-';
    if (width > n) out->append(static_cast<std::size_t>(width - n), ' ');
    while (n) *out += digits[--n];
    *out += c;
}

#endif
