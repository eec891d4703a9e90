// The package's own grid files (text, binary, ZUPGRID4 with a data file
// next to it) and the GRID character code: the input is the file, read
// grid after grid, header then values.
#include "fuzz.h"

#include "zupgrd.h"

RAZIVA_FUZZ_TARGET(gridfile) {
    fuzz::use_shipped_tables();
    fuzz::read_grid_file(fuzz::put_file("fuzz.zup", data, size));
    return 0;
}
