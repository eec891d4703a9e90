// netCDF grid files in the package, model and CF layouts.
#include "fuzz.h"

RAZIVA_FUZZ_TARGET(netcdf) {
    fuzz::use_shipped_tables();
    fuzz::read_grid_file(fuzz::put_file("fuzz.nc", data, size));
    return 0;
}
