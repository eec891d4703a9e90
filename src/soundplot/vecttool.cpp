// vecttool.cpp - wind vectors on the hodograph plane: a wind (direction it
// blows from, speed in knots) to its point and back, with the hodograph's
// orientation (points toward where the wind blows, or where it comes from).
#include <cmath>

#include "zup.h"
#include "zupcty.h"
#include "zupsnd.h"

int VECT_hodo_point(float dir, float spd, float *x, float *y) {
    if (dir == MISSING_F || spd == MISSING_F) {
        if (x) *x = MISSING_F;
        if (y) *y = MISSING_F;
        return 0;
    }
    return MAP_tran(dir, static_cast<float>(HODO_get_dir()) * spd, x, y);
}

int VECT_hodo_wind(float x, float y, float *dir, float *spd) {
    float d = 0, s = 0;
    if (MAP_untran(x, y, &d, &s) != 1) {
        if (dir) *dir = MISSING_F;
        if (spd) *spd = MISSING_F;
        return 0;
    }
    // A point opposite the wind's origin belongs to the wind from d + 180.
    if (HODO_get_dir() < 0 && s > 0.0f) d = std::fmod(d + 180.0f, 360.0f);
    if (dir) *dir = d;
    if (spd) *spd = s;
    return 1;
}
