// Sounding extraction and analysis on a small GRIB file.  Input: a line
// "lat lon hour", then the file.
#include "fuzz.h"

#include <cstdio>

#include "zupgrd.h"
#include "zupupa.h"

RAZIVA_FUZZ_TARGET(sound) {
    std::string first;
    const std::uint8_t *rest = nullptr;
    std::size_t rest_size = 0;
    fuzz::split_first_line(data, size, &first, &rest, &rest_size);
    float lat = 40, lon = -100;
    int hour = 24;
    std::sscanf(first.c_str(), "%f %f %d", &lat, &lon, &hour);
    fuzz::use_shipped_tables();
    int slot = fuzz::open_grid_memory(rest, rest_size, GRD_TYPE_GRIB);
    if (slot < 0) return 0;
    FLAG_set(6, hour);
    static UPA_level lev[300];
    int num = 0;
    float sfcp = 1000;
    if (GRD_get_sound(slot, lat, lon, lev, &num, &sfcp) == 1) {
        THERM_set_data(sfcp, lev, num, lev, num);
        THERM_calc();
    }
    GRD_close(slot);
    return 0;
}
