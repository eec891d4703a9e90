// grd_plt.cpp - a vertical sounding out of the grids of one forecast time.
//
// The file is scanned once with header-only reads; a message is decoded
// only when its header is one of the ten wanted fields.  The raw values
// (K, %, u and v in m/s) are gathered per pressure level, the surface is
// inserted, and the levels are converted to dew point, direction and speed.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "grd_priv.h"
#include "zup.h"
#include "zupcty.h"
#include "zupgrd.h"
#include "zupresrc.h"
#include "zupupa.h"

namespace {

constexpr int NUM_WANTED = 10;

struct SoundState {
    float sound_dp = 50.0f;
};

SoundState &st() {
    static SoundState s;
    return s;
}

void blank_level(UPA_level &l, float p) {
    l.p = p;
    l.h = l.t = l.td = l.dir = l.spd = MISSING_F;
}

bool all_missing(const UPA_level &l) {
    return l.h == MISSING_F && l.t == MISSING_F && l.dir == MISSING_F && l.spd == MISSING_F;
}

// Fills a missing field of level i by linear interpolation in pressure
// between its neighbours.
void fill_between(UPA_level *lev, int i, float UPA_level::*field) {
    UPA_level &a = lev[i - 1];
    UPA_level &b = lev[i + 1];
    if (lev[i].*field != MISSING_F) return;
    if (a.*field == MISSING_F || b.*field == MISSING_F) return;
    if (a.p == MISSING_F || b.p == MISSING_F || a.p == b.p) return;
    lev[i].*field = b.*field + (a.*field - b.*field) * (lev[i].p - b.p) / (a.p - b.p);
}

}  // namespace

void GRD_set_sound_dp(float dp) {
    if (dp == 25.0f) st().sound_dp = 25.0f;
}

float GRD_get_sound_dp() { return st().sound_dp; }

void GRD_sound_reset() { st() = SoundState{}; }

void GRD_snd_param() {
    int count = 0;
    char **list = nullptr;
    RES_getvals("plot_param", &count, &list);
    for (int i = 0; i < count; ++i) {
        const char *item = list[i];
        if (strnicmp(item, "dpres", 5) == 0 && std::strlen(item) > 6)
            GRD_set_sound_dp(static_cast<float>(std::atof(item + 6)));
    }
    free_parsed_array(count, list);
}

int GRD_get_sound(int slot, float lat, float lon, UPA_level *lev, int *num, float *sfcp) {
    MESS_print(3840, "Searching file for grids...\n");
    const float dp = st().sound_dp;
    const int n = dp == 25.0f ? 40 : 20;
    if (num) *num = 0;
    if (!lev) return 0;
    for (int k = 0; k < n; ++k) blank_level(lev[k], 1000.0f - k * dp);
    blank_level(lev[n], MISSING_F);
    blank_level(lev[n + 1], MISSING_F);

    // the ten wanted fields for the selected forecast time
    long fhour = FLAG_getl(6);
    int time = fhour == MISSING ? MISSING : static_cast<int>(fhour);
    static const int kWant[NUM_WANTED][3] = {
        {100, MISSING, 7},  {100, MISSING, 11}, {100, MISSING, 52}, {100, MISSING, 33},
        {100, MISSING, 34}, {1, MISSING, 1},    {105, 2, 11},       {105, 2, 52},
        {105, 10, 33},      {105, 10, 34}};
    VAR_data want[NUM_WANTED];
    for (int k = 0; k < NUM_WANTED; ++k)
        GRD_set_params(&want[k], time, kWant[k][0], kWant[k][1], kWant[k][2]);
    int grid_type = MISSING;
    RES_getval("grid_type", &grid_type, CV_int);

    GRD_report rec;
    GRD_init(&rec);
    int count = 0;
    for (int m = 0;; ++m) {
        int msg = m;
        if (GRD_read(slot, &rec, 1, &msg) != 0) break;
        m = msg;
        bool have_data = false;
        for (int k = 0; k < NUM_WANTED; ++k) {
            if (!GRD_test(&rec, &want[k], grid_type)) continue;
            if (!have_data) {
                int again = m;
                if (GRD_read(slot, &rec, 0, &again) != 0) break;
                have_data = true;
            }
            float x = MISSING_F, y = MISSING_F;
            MAP_domain(&rec.domain);
            MAP_tran(lat, lon, &x, &y);
            float value = GRD_get_value_domain(&rec, nullptr, &x, &y);
            if (value == MISSING_F) continue;
            int e;
            if (k < 5) {
                float level = static_cast<float>(rec.level);
                if (!(level > 49.0f) || std::fmod(level, dp) != 0.0f || level > 1000.0f)
                    continue;
                e = static_cast<int>((1000.0f - level) / dp);
                if (e < 0 || e >= n) continue;
            } else {
                e = n + 1;
            }
            UPA_level &l = lev[e];
            switch (rec.var) {
            case 1: l.p = value / 100.0f; break;
            case 7: l.h = UNIT_cvt(value, rec.units, "m"); break;
            case 11: l.t = UNIT_cvt(value, rec.units, "K"); break;
            case 52: l.td = value; break;
            case 33: l.dir = value; break;
            case 34: l.spd = value; break;
            default:
                // a grid of parameter 0 matched through the open entries
                continue;
            }
            if (count == 0) UPA_set_datim(rec.datim);
            ++count;
        }
    }
    GRD_free(&rec);

    if (count < NUM_WANTED) {
        MESS_print(64, "GRD_get_sound: Too few grids to make sounding: %d\n", count);
        return 0;
    }

    int total;
    UPA_level &sfc = lev[n + 1];
    if (sfc.p == MISSING_F) {
        if (sfcp) *sfcp = 1000.0f;
        total = n;
    } else {
        float psfc = sfc.p;
        if (sfcp) *sfcp = psfc;
        int i = -1;
        for (int k = 0; k < 10 && k < n; ++k)
            if (lev[k].p != MISSING_F && lev[k].p < psfc) {
                i = k;
                break;
            }
        if (i >= 0) {
            for (int k = n; k > i; --k) lev[k] = lev[k - 1];
            lev[i] = sfc;
            if (i >= 1) {
                fill_between(lev, i, &UPA_level::t);
                fill_between(lev, i, &UPA_level::td);
                fill_between(lev, i, &UPA_level::dir);
                fill_between(lev, i, &UPA_level::spd);
            }
        }
        for (int k = 0; k < 10 && k < n; ++k)
            if (lev[k].p != MISSING_F && lev[k].p > psfc)
                lev[k].t = lev[k].td = lev[k].dir = lev[k].spd = MISSING_F;
        total = n + 1;
    }

    // drop levels with nothing in them
    for (int k = 0; k < total;) {
        if (all_missing(lev[k])) {
            for (int j = k; j < total - 1; ++j) lev[j] = lev[j + 1];
            --total;
        } else {
            ++k;
        }
    }

    for (int k = 0; k < total; ++k) {
        UPA_level &l = lev[k];
        l.td = dew_temp(l.t, l.td);
        float dir = MISSING_F, spd = MISSING_F;
        if (l.dir != MISSING_F && l.spd != MISSING_F) vect2wind(l.dir, l.spd, &dir, &spd);
        l.dir = dir;
        l.spd = spd;
        if (l.t != MISSING_F) l.t -= 273.15f;
        if (l.td != MISSING_F) l.td -= 273.15f;
        if (l.spd != MISSING_F) l.spd *= 1.944f;
    }
    UPA_calc_height(lev, total);
    if (num) *num = total;
    return 1;
}
