// files_io.h - test helpers shared by the files tests: dates built field by
// field and shown as text; answers to prompts and files read back come
// from the driver tests' helpers.
#ifndef FILES_IO_H
#define FILES_IO_H

#include <cstdio>
#include <string>

#include "driver/driver_io.h"
#include "zup.h"

namespace files_test {

inline Date make(int y, int mo, int d, int h = MISSING, int mi = MISSING, int s = MISSING) {
    Date x;
    DATE_init(&x);
    x.year = y;
    x.month = mo;
    x.day = d;
    x.hour = h;
    x.min = mi;
    x.sec = s;
    return x;
}

// "year/month/day hour:min:sec", missing fields as -9999: one comparison
// checks every field.
inline std::string ymd(const Date &d) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%d:%d", d.year, d.month, d.day, d.hour, d.min,
                  d.sec);
    return buf;
}

using driver_test::feed;
using driver_test::slurp;

}  // namespace files_test

#endif  // FILES_IO_H
