// grd_priv.h - helpers shared by the grid modules only.
#ifndef GRD_PRIV_H
#define GRD_PRIV_H

#include <string>

// Full name of a lookup file on the file_path resource directory (the name
// itself when file_path is unset).
std::string grd_lookup_file(const char *name);

// Case-insensitive equality of two texts (false when either is null).
bool grd_same(const char *a, const char *b);

// Units of an edition 1 parameter number (modulo 1000), as GRIB_units gives
// them for an edition 1 grid.
const char *grd_var_units(int var);

// Forget every lookup table read so far (the next use reads the files
// again) and reset the module state of the tables; for tests.
void VAR_reset();
void UNIT_reset();
// Back to the 50 mb sounding spacing; for tests.
void GRD_sound_reset();

#endif  // GRD_PRIV_H
