// windbarb.cpp - the wind barb: a staff pointing into the wind with flags
// (50 knots), full barbs (10 knots) and a half barb (5 knots) on the side
// that lies clockwise of the staff.
#include <cmath>

#include "gks.h"
#include "zup.h"
#include "zupsnd.h"

namespace {

constexpr float kDegToRad = 0.017453292519943295f;
constexpr float kMaxSpeed = 300.0f;

}  // namespace

int WIND_barb_counts(float spd, int *flags, int *barbs, int *half) {
    float s = std::fmin(spd, kMaxSpeed) + 0.01f;
    int f = static_cast<int>(std::floor((s + 2.0f) / 50.0f));
    float rem = s - 50.0f * static_cast<float>(f);
    int b = static_cast<int>(std::floor((rem + 2.0f) / 10.0f));
    int h = static_cast<int>(std::floor((rem + 2.0f) / 5.0f)) % 2 != 0 ? 1 : 0;
    if (flags) *flags = f;
    if (barbs) *barbs = b;
    if (half) *half = h;
    return 0;
}

int WIND_barb(float x, float y, float dir, float spd, float size, float offset) {
    if (dir == MISSING_F || spd == MISSING_F || !(spd > 0.0f) || !std::isfinite(dir) ||
        !std::isfinite(size) || size <= 0.0f)
        return -1;
    int nflag = 0, nbarb = 0, half = 0;
    WIND_barb_counts(spd, &nflag, &nbarb, &half);

    // Along the staff (into the wind) and perpendicular to it.
    float a = dir * kDegToRad;
    float ux = std::sin(a), uy = std::cos(a);
    float px = std::cos(a), py = -std::sin(a);
    // The point at fraction f of the staff, moved by perp sizes sideways.
    auto at = [&](float f, float perp) -> Gpt {
        return {x + size * (f * ux + perp * px), y + size * (f * uy + perp * py)};
    };
    auto line = [](Gpt p1, Gpt p2) {
        Gpt seg[2] = {p1, p2};
        gpolyline(2, seg);
    };

    line(at(offset / size, 0.0f), at(1.0f, 0.0f));
    if (half && nflag == 0 && nbarb == 0) {
        line(at(0.88f, 0.0f), at(0.94f, 0.25f));
        return 0;
    }
    if (nflag > 0) {
        gset_fill_colr_ind(gget_line_colr());
        gset_fill_int_style(GSOLID);
    }
    for (int i = 0; i < nflag; ++i) {
        float f = 0.12f * static_cast<float>(i);
        Gpt tri[4] = {at(1.0f - f, 0.0f), at(1.0f - f, 0.5f), at(0.88f - f, 0.0f), at(1.0f - f, 0.0f)};
        gfill_area(3, tri);
        gpolyline(4, tri);
    }
    // Without flags the first barb sits on the tip (position -1).
    int base = nflag > 0 ? nflag : -1;
    for (int j = 0; j < nbarb; ++j) {
        float f = 0.12f * static_cast<float>(j + base);
        line(at(0.88f - f, 0.0f), at(1.0f - f, 0.5f));
    }
    if (half) {
        float f = 0.12f * static_cast<float>(nbarb + base);
        line(at(0.88f - f, 0.0f), at(0.94f - f, 0.25f));
    }
    return 0;
}
