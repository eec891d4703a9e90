// GRIB editions 0, 1 and 2 read from memory, message after message:
// the header first, then the data, as the sounding scan reads them.
#include "fuzz.h"

#include "zupgrd.h"

RAZIVA_FUZZ_TARGET(grib) {
    fuzz::use_shipped_tables();
    int slot = fuzz::open_grid_memory(data, size, GRD_TYPE_GRIB);
    if (slot < 0) return 0;
    fuzz::read_grids(slot);
    return 0;
}
