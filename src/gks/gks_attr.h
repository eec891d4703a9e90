// gks_attr.h - helpers shared by the attribute setters of the primitives.
#ifndef GKS_ATTR_H
#define GKS_ATTR_H

#include <cstdio>

#include "gks.h"
#include "gks_dev.h"

// Echoes a setter's record to a text metafile and hands the change to the
// redraw hook.
inline void gattr_echo(int code, const char *fmt, double a) {
    if (GksDevice *d = gdev()) {
        char buf[96];
        std::snprintf(buf, sizeof buf, fmt, a);
        d->record(buf);
    }
    float v = static_cast<float>(a);
    grecord(code, 0, sizeof v, &v);
}

inline void gattr_echo_int(int code, const char *fmt, int a) {
    if (GksDevice *d = gdev()) {
        char buf[96];
        std::snprintf(buf, sizeof buf, fmt, a);
        d->record(buf);
    }
    grecord(code, a, 0, nullptr);
}

#endif  // GKS_ATTR_H
