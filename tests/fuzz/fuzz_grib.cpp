// GRIB editions 0, 1 and 2 read from memory, message after message:
// the header first, then the data, as the sounding scan reads them.
#include "fuzz.h"

#include "zupgrd.h"

RAZIVA_FUZZ_TARGET(grib) {
    fuzz::use_shipped_tables();
    int slot = fuzz::open_grid_memory(data, size, GRD_TYPE_GRIB);
    if (slot < 0) return 0;
    GRD_info info;
    GRD_getinfo(slot, &info);
    GRD_report rec;
    GRD_init(&rec);
    for (int m = 0; m < 32; ++m) {
        int num = m;
        int r = GRD_read(slot, &rec, 1, &num);
        if (r < 0) break;
        if (r > 0) continue;
        num = m;
        if (GRD_read(slot, &rec, 0, &num) != 0) continue;
        Domain dom = rec.domain;
        float x = 0, y = 0;
        GRD_get_value_domain(&rec, &dom, &x, &y);
    }
    GRD_free(&rec);
    GRD_close(slot);
    return 0;
}
