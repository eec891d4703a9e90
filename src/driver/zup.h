// zup.h - shared types, the missing value and the module interfaces of the
// runtime services that every part of raziva uses.
#ifndef ZUP_H
#define ZUP_H

#include <cstddef>
#include <cstdio>
#include <cstring>

// The missing datum everywhere: grid points, sounding fields, indices, Date
// and Domain fields, program flags, attribute fields.
constexpr int MISSING = -9999;
constexpr float MISSING_F = -9999.0f;

inline bool is_missing(float v) { return v == MISSING_F; }
inline bool is_missing(int v) { return v == MISSING; }

// Fixed text-field sizes.
constexpr int FILE_NAME_LEN = 160;  // file names
constexpr int STATION_ID_LEN = 20;  // station identifiers

// The one bounded copy into a fixed-size text field: copies at most
// size-1 bytes and always terminates.  Returns dst.
inline char *copy_field(char *dst, std::size_t size, const char *src) {
    if (!dst || size == 0) return dst;
    if (!src) { dst[0] = '\0'; return dst; }
    std::size_t n = std::strlen(src);
    if (n >= size) n = size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
    return dst;
}
template <std::size_t N>
inline char *copy_field(char (&dst)[N], const char *src) {
    return copy_field(dst, N, src);
}

// One sounding level.  Arrays run from the bottom up (pressure decreasing).
struct UPA_level {
    float p;    // pressure, mb
    float h;    // height above sea level, m
    float t;    // temperature, C
    float td;   // dew point, C
    float dir;  // wind direction, degrees (from)
    float spd;  // wind speed, knots
};

// A broken-down UTC date; -9999 in a field means "not given".
struct Date {
    int year;
    int month;
    int day;
    int jday;   // day of the year from 1
    int wday;   // 0 = Sunday
    int hour;
    int min;
    int sec;
};

// A map projection, thermodynamic diagram, hodograph or x/y plot.
struct Domain {
    int proj;        // projection code; -9999 = no domain
    float plat;      // projection latitude; -9999 = take clat
    float plon;      // projection longitude; -9999 = take clon
    float param[5];  // projection parameters; -9999 = default
    float clat;      // centre latitude, or first corner in data units
    float clon;
    float dx;        // grid spacing in plane units, or data extent
    float dy;
    int nx;          // grid points, or plot size in units
    int ny;
    int ellipse;     // nonzero: ellipsoidal earth (satellite view)
};

// One entry of a numbered menu; a menu ends with an entry whose name is null.
struct MENU_item {
    const char *name;
    const char *abbr;
    int index;
    int disp[10];
};

#endif  // ZUP_H
