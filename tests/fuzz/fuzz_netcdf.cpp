// netCDF grid files in the package, model and CF layouts.
#include "fuzz.h"

RAZIVA_FUZZ_TARGET(netcdf) {
    fuzz::use_shipped_tables();
    // The HDF5 layer under netCDF-4 keeps global state from its first use
    // to the end of the process: set it up before the first input, so that
    // it is not taken for a leak of that input.
    static const bool warm = [] {
        fuzz::read_grid_file(RAZIVA_TEST_DATA_DIR "/grid/nam_model4.nc");
        return true;
    }();
    (void)warm;
    fuzz::read_grid_file(fuzz::put_file("fuzz.nc", data, size));
    return 0;
}
