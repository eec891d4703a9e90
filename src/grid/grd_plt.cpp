// grd_plt.cpp - a vertical sounding out of the grids of one forecast time.
//
// The file is scanned once with header-only reads; a message is decoded
// only when its header is one of the ten wanted fields at a level the
// sounding has a place for, and then only at the points the stations need
// where its packing allows.  The raw values (K, %, u and v in m/s) are
// gathered per pressure level, the surface is inserted, and the levels are
// converted to dew point, direction and speed.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "grd_points.h"
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

namespace {

// The ten wanted fields: level type, level, parameter.
const int kWant[NUM_WANTED][3] = {
    {100, MISSING, 7},  {100, MISSING, 11}, {100, MISSING, 52}, {100, MISSING, 33},
    {100, MISSING, 34}, {1, MISSING, 1},    {105, 2, 11},       {105, 2, 52},
    {105, 10, 33},      {105, 10, 34}};

// One product that matched, in file order, with its values at the stations.
struct Match {
    std::vector<int> wanted;  // entries of kWant it matches
    int var = 0;
    int level = 0;
    char units[15] = "";
    char datim[50] = "";
    std::unique_ptr<GRD_point_job> job;  // decoded at the stations' cells
    std::vector<GRD_cell> cells;         // per station
    std::vector<int> at;                 // per station: first cell of the job, -1 none
    std::vector<float> value;            // per station, when decoded whole
    std::vector<float> turn;             // per station: grid north to true north
};

// The value of a match at station s.
float match_value(const Match &m, std::size_t s) {
    if (!m.job) return m.value[s];
    if (m.at[s] < 0) return MISSING_F;
    const float *c = m.job->values.data() + m.at[s];
    return GRD_blend(m.cells[s], c);
}

// The entry of the station's levels that wanted field k of a product at
// this level fills, or -1 when the sounding has no place for it (pressure
// levels off its spacing or above its top).
int level_entry(int k, int at_level, float dp, int n) {
    if (k >= 5) return n + 1;  // the surface entry
    const float level = static_cast<float>(at_level);
    if (!(level > 49.0f) || std::fmod(level, dp) != 0.0f || level > 1000.0f) return -1;
    const int e = static_cast<int>((1000.0f - level) / dp);
    return e < 0 || e >= n ? -1 : e;
}

// Puts a value into the levels of a station; false when it is not used.
// turn: the station's angles from grid north to true north, per entry;
// angle: the product's at the station.
bool take_value(const Match &m, int k, float value, float dp, int n, UPA_level *lev,
                float *turn, float angle) {
    if (value == MISSING_F) return false;
    const int e = level_entry(k, m.level, dp, n);
    if (e < 0) return false;
    UPA_level &l = lev[e];
    switch (m.var) {
    case 1: l.p = value / 100.0f; break;
    case 7: l.h = UNIT_cvt(value, m.units, "m"); break;
    case 11: l.t = UNIT_cvt(value, m.units, "K"); break;
    case 52: l.td = value; break;
    case 33: l.dir = value; turn[e] = angle; break;
    case 34: l.spd = value; turn[e] = angle; break;
    default:
        // a grid of parameter 0 matched through the open entries
        return false;
    }
    return true;
}

// Inserts the surface, drops empty levels and converts the raw values of a
// station's levels; false when too few grids were found.
bool finish_sound(GRD_sound &snd, int count, int n) {
    UPA_level *lev = snd.lev;
    if (count < NUM_WANTED) {
        MESS_print(64, "GRD_get_sound: Too few grids to make sounding: %d\n", count);
        return false;
    }

    int total;
    UPA_level &sfc = lev[n + 1];
    if (sfc.p == MISSING_F) {
        snd.sfcp = 1000.0f;
        total = n;
    } else {
        float psfc = sfc.p;
        snd.sfcp = psfc;
        // High ground: every pressure entry is searched for the place of the
        // surface and masked below it, not only the first ten, so a surface
        // above 550 mb (50 mb spacing; 775 mb with 25 mb spacing) keeps its
        // level and the levels under it lose their temperatures and winds.
        // Surfaces below those pressures come out as before.
        int i = -1;
        for (int k = 0; k < n; ++k)
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
        for (int k = 0; k < n; ++k)
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
    snd.num = total;
    return true;
}

}  // namespace

// The file is scanned once; each product that matches is decoded once, at
// the cells around every station only where the packing allows (the
// decodes run side by side on the pool's threads while the scan goes on),
// and the values are taken in file order, so the result is that of decoding
// every product whole, station after station.
int GRD_get_sounds(int slot, GRD_sound *snd, int count) {
    MESS_print(3840, "Searching file for grids...\n");
    const float dp = st().sound_dp;
    const int n = dp == 25.0f ? 40 : 20;
    if (!snd || count <= 0) return 0;
    const std::size_t ns = static_cast<std::size_t>(count);
    for (std::size_t s = 0; s < ns; ++s) {
        UPA_level *lev = snd[s].lev;
        for (int k = 0; k < n; ++k) blank_level(lev[k], 1000.0f - k * dp);
        blank_level(lev[n], MISSING_F);
        blank_level(lev[n + 1], MISSING_F);
        snd[s].num = 0;
        snd[s].made = 0;
        snd[s].datim[0] = '\0';
    }

    // the ten wanted fields for the selected forecast time
    long fhour = FLAG_getl(6);
    int time = fhour == MISSING ? MISSING : static_cast<int>(fhour);
    VAR_data want[NUM_WANTED];
    for (int k = 0; k < NUM_WANTED; ++k)
        GRD_set_params(&want[k], time, kWant[k][0], kWant[k][1], kWant[k][2]);
    int grid_type = MISSING;
    RES_getval("grid_type", &grid_type, CV_int);

    std::vector<Match> matches;
    {
        GRD_job_pool pool;
        GRD_report rec;
        GRD_init(&rec);
        for (int m = 0;; ++m) {
            int msg = m;
            if (GRD_read(slot, &rec, 1, &msg) != 0) break;
            m = msg;
            Match mt;
            // a product whose level has no place in the sounding (975 mb
            // with 50 mb spacing, 10 mb) would be decoded for nothing
            for (int k = 0; k < NUM_WANTED; ++k)
                if (GRD_test(&rec, &want[k], grid_type) && level_entry(k, rec.level, dp, n) >= 0)
                    mt.wanted.push_back(k);
            if (mt.wanted.empty()) continue;
            auto job = std::make_unique<GRD_point_job>();
            bool partial = false;
            int again = m;
            if (GRD_read_points(slot, &rec, &again, job.get(), &partial) != 0) continue;
            mt.var = rec.var;
            mt.level = rec.level;
            copy_field(mt.units, rec.units);
            copy_field(mt.datim, rec.datim);
            mt.cells.resize(ns);
            mt.at.assign(ns, -1);
            mt.turn.assign(ns, 0.0f);
            if (!partial) mt.value.assign(ns, MISSING_F);
            const bool wrap = GRD_wraps(rec.domain);
            for (std::size_t s = 0; s < ns; ++s) {
                float gx = MISSING_F, gy = MISSING_F;
                GRD_locate(&rec, snd[s].lat, snd[s].lon, &gx, &gy);
                if (gx == MISSING_F || gy == MISSING_F) continue;
                if (rec.var == 33 || rec.var == 34)
                    mt.turn[s] = GRD_wind_angle(&rec, snd[s].lat, snd[s].lon);
                if (!partial) {
                    mt.value[s] = GRD_get_value(&rec, gx, gy);
                    continue;
                }
                if (!GRD_find_cell(rec.domain.nx, rec.domain.ny, gx, gy, &mt.cells[s], wrap)) continue;
                mt.at[s] = static_cast<int>(job->cells.size());
                job->cells.insert(job->cells.end(), mt.cells[s].idx, mt.cells[s].idx + 4);
            }
            if (partial) {
                mt.job = std::move(job);
                pool.submit(mt.job.get());
            }
            matches.push_back(std::move(mt));
        }
        GRD_free(&rec);
        pool.wait_all();
    }

    std::vector<int> found(ns, 0);
    std::vector<std::vector<float>> turn(ns, std::vector<float>(static_cast<std::size_t>(n + 2), 0.0f));
    for (const Match &mt : matches) {
        if (mt.job && !mt.job->msg.empty()) MESS_print(mt.job->msg_level, "%s", mt.job->msg.c_str());
        for (int k : mt.wanted)
            for (std::size_t s = 0; s < ns; ++s) {
                if (!take_value(mt, k, match_value(mt, s), dp, n, snd[s].lev, turn[s].data(), mt.turn[s]))
                    continue;
                if (found[s] == 0) copy_field(snd[s].datim, mt.datim);
                ++found[s];
            }
    }

    // Winds of grids whose components follow the grid's axes (Lambert,
    // polar stereographic and rotated grids flagged so) are turned to true
    // east and north at the point.
    for (std::size_t s = 0; s < ns; ++s)
        for (int e = 0; e < n + 2; ++e)
            GRD_turn_wind(turn[s][static_cast<std::size_t>(e)], &snd[s].lev[e].dir, &snd[s].lev[e].spd);

    int made = 0;
    for (std::size_t s = 0; s < ns; ++s) {
        snd[s].made = finish_sound(snd[s], found[s], n) ? 1 : 0;
        made += snd[s].made;
    }
    return made;
}

int GRD_get_sound(int slot, float lat, float lon, UPA_level *lev, int *num, float *sfcp) {
    if (num) *num = 0;
    if (!lev) return 0;
    auto one = std::make_unique<GRD_sound>();
    one->lat = lat;
    one->lon = lon;
    GRD_get_sounds(slot, one.get(), 1);
    std::copy(std::begin(one->lev), std::end(one->lev), lev);
    if (one->datim[0]) UPA_set_datim(one->datim);
    if (!one->made) return 0;
    if (sfcp) *sfcp = one->sfcp;
    if (num) *num = one->num;
    return 1;
}
