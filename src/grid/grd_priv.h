// grd_priv.h - helpers shared by the grid modules only.
#ifndef GRD_PRIV_H
#define GRD_PRIV_H

#include <cstdio>
#include <functional>
#include <string>

#include "zup.h"

// Full name of a lookup file on the file_path resource directory (the name
// itself when file_path is unset).
std::string grd_lookup_file(const char *name);

// One line of a text file of any length, without its line end, into line;
// false at the end of the file with nothing read.
bool grd_read_line(std::FILE *f, std::string &line);

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

// A text from a file as it can be shown in a message: control characters
// as "?", at most 60 characters.
std::string grd_printable(const std::string &text);

// Readers of the native formats, called by the grid file table for the
// slots of their format codes (grd_own.cpp, grd_gridcode.cpp,
// grd_netcdf.cpp).  getinfo and read follow GRD_getinfo and GRD_read.
struct GRD_file;
struct GRD_info;
struct GRD_report;
void grd_own_open(int slot, const char *name);
int grd_own_getinfo(int slot, GRD_file *f, GRD_info *info);
int grd_own_read(int slot, GRD_file *f, GRD_report *rec, int mode, int *num);
void grd_own_close(int slot);
// Reads grid p of a seekable stream of grids: forward from the next grid's
// position, the same grid again, or from the start (to_start) for an
// earlier one; read_at reads the grid at the stream's position (mode 1
// steps over its values).  Keeps num and the current and next positions.
int grd_seek_read(GRD_file *f, int p, const std::function<bool()> &to_start,
                  const std::function<int(GRD_report *, int)> &read_at, GRD_report *rec,
                  int mode, int *num);
void grd_gridcode_open(int slot);
int grd_gridcode_getinfo(int slot, GRD_file *f, GRD_info *info);
int grd_gridcode_read(int slot, GRD_file *f, GRD_report *rec, int mode, int *num);
// Opens (mode 0) or creates (mode 1) a netCDF file: its id, or -1.
int grd_nc_open(const char *name, int mode);
// Time a netCDF-4 file's header may take to read before the file is taken
// for damaged (milliseconds, 5000 unless set; the fuzzing programs shorten
// it).
void grd_nc_set_probe_limit(int ms);
void grd_nc_close(GRD_file *f);
int grd_nc_getinfo(GRD_file *f, GRD_info *info);
int grd_nc_read(GRD_file *f, GRD_report *rec, int mode, int *num);

// The four grid cells around grid coordinates (x along a row; index
// nx*j + i) and the weights of the bilinear interpolation of
// GRD_get_value; false when the point lies outside the grid.  GRD_blend
// gives the value from the cells' values, -9999 when one is missing.
struct GRD_cell {
    long idx[4];  // (i,j), (i+1,j), (i,j+1), (i+1,j+1), clamped at the edges
    float fx, fy;
};
// With wrap (a grid whose columns go round the whole circle, GRD_wraps),
// a point between the last and the first column takes both.
bool GRD_find_cell(int nx, int ny, float x, float y, GRD_cell *cell, bool wrap = false);
bool GRD_wraps(const Domain &d);

// Placement on grids that the map alone cannot place (grd_place.cpp).
// Grid coordinates (column from the west edge, row from the north edge) of a
// point on the record's grid, through its projection and, for Gaussian and
// rotated latitude-longitude grids, their rows and rotation.  Makes the
// record's domain current.  0, or -1 when the point has no place (both
// coordinates -9999).
int GRD_locate(const GRD_report *rec, float lat, float lon, float *gx, float *gy);
// The Gaussian parameter of a grid of ny rows: n (latitudes between a pole
// and the equator) when such a grid can exist (1 <= n <= 8000, 2n >= ny);
// otherwise a message and -9999, and the rows are taken as evenly spaced.
float GRD_gaussian_param(long n, long ny);
// Angle (radians, clockwise) from the grid's y axis to true north at the
// point when the grid's wind components are relative to its axes; 0 when
// they are already east and north.
float GRD_wind_angle(const GRD_report *rec, float lat, float lon);
// Turns grid-relative components (u along x, v along y) into east and north
// components by that angle; missing components stay as they are.
void GRD_turn_wind(float angle, float *u, float *v);
float GRD_blend(const GRD_cell &cell, const float c[4]);

#endif  // GRD_PRIV_H
