// cty_read.cpp - the station database reader: one open file at a time,
// one station record per line.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "mapfile.h"
#include "zupcty.h"
#include "zupresrc.h"

namespace {

constexpr std::size_t kLineLen = 512;

// The module state: the open database file.
struct State {
    FilePtr file;
};

State &state() {
    static State s;
    return s;
}

}  // namespace

int CTY_open_file(const char *name) {
    State &s = state();
    s.file.reset();
    if (!name || !*name) {
        MESS_print(192, "CTY_open_file: Database file not found: %s\n", name ? name : "");
        return -1;
    }
    char path[FILE_NAME_LEN];
    FILE_add_res_path("file_path", name, path);
    s.file = map_open_data(path);
    if (!s.file) {
        MESS_print(192, "CTY_open_file: Database file not found: %s\n", path);
        return -1;
    }
    return 0;
}

int CTY_close_file() {
    state().file.reset();
    return 0;
}

int CTY_decode_line(const char *line, CTY_data *data) {
    if (!line || !data) return 0;
    char name[CTY_NAME_LEN] = "", st[CTY_STATE_LEN] = "", rg[CTY_REGION_LEN] = "";
    char id[CTY_ID_LEN] = "", pr[16] = "";
    float lat = MISSING_F, lon = MISSING_F, el = MISSING_F;
    int wmo = MISSING, num = MISSING;
    const int n = std::sscanf(line, "%20s %2s %2s %9s %15s %f %f %f %d %d", name, st, rg, id, pr,
                              &lat, &lon, &el, &wmo, &num);
    if (n < 7 || name[0] == '#') return 0;
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0f ||
        std::fabs(lon) > 360.0f)
        return 0;
    CTY_data d{};
    copy_field(d.name, name);
    copy_field(d.state, st);
    copy_field(d.region, rg);
    copy_field(d.id, id);
    // Priority field: ["*"]digit["*"].
    const char *p = pr;
    d.mos = ' ';
    d.ua = ' ';
    if (*p == '*') {
        d.mos = '*';
        ++p;
    }
    d.prior = (*p >= '0' && *p <= '9') ? *p - '0' : MISSING;
    if (*p) ++p;
    if (*p == '*') d.ua = '*';
    d.lat = lat;
    d.lon = lon;
    d.el = (n >= 8 && std::isfinite(el) && el <= 9000.0f) ? el : MISSING_F;
    d.wmo = n >= 9 ? wmo : MISSING;
    d.num = n >= 10 ? num : MISSING;
    *data = d;
    return 1;
}

int CTY_read(CTY_data *data) {
    State &s = state();
    if (!s.file || !data) return 0;
    char line[kLineLen];
    // Over-long lines are cut; a line that is not a record is skipped.
    while (map_read_line(s.file.get(), line, sizeof line))
        if (CTY_decode_line(line, data)) return 1;
    return 0;
}

int CTY_format_line(const CTY_data *data, char *out, std::size_t out_size) {
    if (!data || !out || out_size == 0) return -1;
    char pr[4];
    int k = 0;
    if (data->mos == '*') pr[k++] = '*';
    pr[k++] = (data->prior >= 0 && data->prior <= 9) ? static_cast<char>('0' + data->prior) : '9';
    if (data->ua == '*') pr[k++] = '*';
    pr[k] = '\0';
    const int n = std::snprintf(out, out_size, "%-20s %-2s %-2s %-9s %-3s %8.3f %9.3f %6.0f %6d %5d",
                                data->name, data->state[0] ? data->state : "--",
                                data->region[0] ? data->region : "--", data->id, pr, data->lat,
                                data->lon, data->el, data->wmo, data->num);
    return (n < 0 || static_cast<std::size_t>(n) >= out_size) ? -1 : 0;
}
