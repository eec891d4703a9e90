// zupgrd.h - grid records, the table of open grid files, parameter, level
// and unit tables, and the extraction of a sounding from the grids of one
// forecast time.
//
// Parameter numbers and level types are those of GRIB edition 1 throughout;
// other tables are mapped onto them.  -9999 marks a missing or unset value.
#ifndef ZUPGRD_H
#define ZUPGRD_H

#include <cstddef>
#include <cstdio>
#include <vector>

#include "zup.h"

// ---------------------------------------------------------------------------
// Records

// One grid: header, projection and values.  The caller owns the record; the
// values belong to the record and are replaced by the next read.
struct GRD_report {
    int type;          // catalogued grid number (0 for own grids)
    int source;        // originating centre (1 for own grids)
    int version;       // format edition (GRIB 0, 1, 2)
    char datim[50];    // label of the valid time
    char info[70];     // description of the field
    Date date;         // reference (analysis) date
    int model;         // generating process
    int ltype;         // level type
    int level;         // level value in the units of the level type
    int time;          // encoded forecast time
    int var;           // parameter number
    char units[15];    // unit string of the values
    Domain domain;     // projection and grid geometry; nx, ny = grid size
    float *grid;       // nx*ny values, index nx*j + i; nullptr when none
};

// Information about a whole grid file.
struct GRD_info {
    char datim[40];    // label of the reference date
    int max_x;
    int max_y;
    int grid_type;     // 0 for GRIB and the own text formats
    Date date;
};

constexpr int GRD_MAX_FILES = 15;  // slots in the open-file table
constexpr int GRD_MAX_VARS = 15;   // netCDF data variables per file

// One open grid file.
struct GRD_file {
    FILE *file;        // data stream (nullptr for netCDF)
    FILE *hfile;       // GRIB index ("header") file, nullptr when none
    char datim[50];    // date label read from the file
    Date date;         // reference date of the file
    int fd;            // netCDF id; -1 closed slot, 1 stream files
    int grid;          // GRIB: edition of the first message, 10 for an
                       // edition-0 file from centre 98; netCDF: layout
    int type;          // format code (GRD_TYPE_*)
    int itype;         // sub-type: GRIB bulletin header kind 1-4, ...
    char var_nm[50];   // netCDF model variable wanted (GRIDVAR)
    int var[GRD_MAX_VARS];
    int var_num;
    int cur_var;       // -1 after rewind
    int num;           // number of the current message or grid
    long max_num, x_size, y_size, z_size, t_size;
    int x_dim, y_dim, z_dim, t_dim;
    int values_id[GRD_MAX_VARS];
    int x_coord_id, y_coord_id, proj_id, lat1_id, lat2_id, lon1_id, lon2_id,
        datim_id, info_id, source_id, version_id, model_id, type_id,
        ltype_id, level_id, time_id, var_id, dx_id, dy_id, nx_id, ny_id;
    bool is_std;       // the stream is standard input or output: never closed
};

// Format codes of GRD_file::type.
constexpr int GRD_TYPE_TEXT = 1;      // text grid without a magic line
constexpr int GRD_TYPE_ZUP = 2;       // own grid, text
constexpr int GRD_TYPE_ZUP_W = 3;     // own grid, written form
constexpr int GRD_TYPE_ZUP4 = 4;      // own grid, edition 4
constexpr int GRD_TYPE_NETCDF = 11;   // netCDF
constexpr int GRD_TYPE_GRIB = 21;     // GRIB editions 0, 1 and 2
constexpr int GRD_TYPE_GRID = 22;     // character GRID code

// A wanted field: up to five parameter numbers, level type, level and
// forecast time; -9999 in any of them means "any".
struct VAR_data {
    int var[5];
    int ltype;
    int level;
    int time;
};

// One entry of the edition 2 parameter table.
struct GribParam {
    int ind;           // parameter number in the program's numbering
    int ver;
    int src;           // centre, 0 for any
    int disc;
    int cat;
    int param;
    char name[20];
    char units[30];
    char lname[80];
};

// Ensemble and probability description of the product being decoded, handed
// over by the GRIB decoder (GRIB_set_ens) before it calls GRIB_set_var.
struct GRIB_ens_info {
    int ens;           // nonzero: the message carries ensemble information
    int ens_type;      // 1-5: ctl, -pert, +pert, cluster, whole
    int ens_id;        // member number
    int ens_prod;      // 1 member, 2 mean, 11/12 spread
    int ens_smooth;
    int ens_prob_var;  // parameter the probability is about
    int ens_prob_type; // probability kind 1-8
    float ens_prob_low;
    float ens_prob_up;
};

// ---------------------------------------------------------------------------
// Grid file access (grd_read.cpp)

// Opens a grid file; mode 0 read, 1 create; *type 0 asks for detection and
// receives the code used.  Returns the slot 0-14 or -1.
int GRD_open(const char *name, int mode, int *type);
// Format code of a file from its first 200 bytes, or -1.
int GRD_chktype(const char *name);
// Attaches a GRIB index file to an open GRIB file; 0 or -1.
int GRD_hdr_open(int slot, const char *name);
// Switches the use of index files on (nonzero) or off.
void GRD_use_hdr_file(int on);
int GRD_get_use_hdr_file();
// Reads the file-level information; 0 or -1.  Leaves the file rewound.
int GRD_getinfo(int slot, GRD_info *info);
// Reads message *num (0 = first).  mode 0 header and data, 1 header only,
// 2 header plus labels from an index file.  Returns 0 on success, -1 at end
// of file or on a read error, 1 when an edition-2 message has no product.
int GRD_read(int slot, GRD_report *rec, int mode, int *num);
int GRD_rewind(int slot);
int GRD_close(int slot);

// Access to the open-file table and the reader's positions for the format
// decoders: the record of a slot (nullptr when free or out of range), the
// start of the current message, the start of the next one (-1 = none) and
// the edition-2 continuation flags.
GRD_file *GRD_get_file(int slot);
long GRD_get_cur_pos();
void GRD_set_cur_pos(long pos);
long GRD_get_new_pos();
void GRD_set_new_pos(long pos);
int GRD_get_cont();
void GRD_set_cont(int cont);
int GRD_get_pcont();
void GRD_set_pcont(int pcont);

// ---------------------------------------------------------------------------
// Grid records, matching and interpolation (grd_tool.cpp)

void GRD_init(GRD_report *rec);
// Frees the values of a record (grid becomes nullptr).
void GRD_free(GRD_report *rec);
// Gives the record room for n values (contents undefined); false when the
// size is not positive or memory is short (the record then has no values).
bool GRD_alloc(GRD_report *rec, long n);
void GRD_set_params(VAR_data *var, int time, int ltype, int level, int param);
// 1 when the grid matches the wanted field (grid_type -9999 = any grid).
int GRD_test(const GRD_report *rec, const VAR_data *var, int grid_type);
// Bilinear value at grid coordinates (x along a row), or -9999.
float GRD_get_value(const GRD_report *rec, float x, float y);
// Value at a point in map coordinates of the display domain (nullptr: the
// current projection); the grid coordinates are written back.
float GRD_get_value_domain(GRD_report *rec, Domain *dom, float *x, float *y);
// Default input file name and format flags from the resources.
void GRD_in_file();
// The mosaic of grid files chosen from "model.lup" by GRD_in_file: the
// number of pieces (0 when none), the columns and rows, and piece k (file
// name pattern, column, row, grid number or -9999); 1 when piece k exists.
int GRD_get_mosaic(int *nx, int *ny);
int GRD_get_mosaic_piece(int k, char *pattern, std::size_t size, int *col, int *row,
                         int *grid);

// Station and forecast-time prompts of the grid programs.
// 2: "lat,lon" pair, 1: found in the station database, 0: not found.
int GRD_prompt_id(char *id, float *lat, float *lon);
struct GRD_sound;
// The station prompt for one station or, with an answer "@FILE", a file of
// stations (one per line: identifier, name, WMO number or "lat,lon"; '#'
// comments): appends what it names to *list (id, lat, lon) and returns how
// many; a line naming no station is reported and skipped.
int GRD_prompt_stations(std::vector<GRD_sound> *list);
int GRD_read_stations(const char *name, std::vector<GRD_sound> *list);
// 1 with program flag 6 set to the next forecast hour, 0 when done.
int GRD_prompt_time();
// 1 when the time-menu file was read, 0 when it cannot be opened.
int GRD_read_time_menu();
int GRD_set_prompt_time(int val);
// The time menu (entry 0 "back", ended by a null name).
const MENU_item *GRD_get_time_menu();

// ---------------------------------------------------------------------------
// Sounding extraction (grd_plt.cpp)

// Reads the pressure spacing from the plot_param resource ("dpres=25").
void GRD_snd_param();
// Accepts 25 mb; any other value is ignored (50 mb stays).
void GRD_set_sound_dp(float dp);
float GRD_get_sound_dp();
// Extracts the sounding at (lat, lon) for the forecast time of program
// flag 6.  lev needs room for 42 levels.  1 when made, 0 on too few grids.
int GRD_get_sound(int slot, float lat, float lon, UPA_level *lev, int *num,
                  float *sfcp);

// One station of a sounding extraction for many stations.
struct GRD_sound {
    char id[STATION_ID_LEN];  // the station as it was named
    float lat;            // its position
    float lon;
    UPA_level lev[42];    // the levels, as GRD_get_sound gives them
    int num;              // number of levels
    float sfcp;           // surface pressure (mb)
    char datim[50];       // valid-time label of the first grid used
    int made;             // 1 made, 0 too few grids
};
// GRD_get_sound for every station of snd[0..count-1] from one scan of the
// file, each matching grid decoded once.  Returns the number made.
int GRD_get_sounds(int slot, GRD_sound *snd, int count);

// ---------------------------------------------------------------------------
// Parameters, levels and units (var_tool.cpp, unittool.cpp)

void GRIB_units(GRD_report *rec);
void GRIB_set_ens(const GRIB_ens_info *ens);  // nullptr: no ensemble
void GRIB_set_var(GRD_report *rec);
void GribParam_init(GribParam *gp);
void GRIB_get_ver2_param(GribParam *gp, int center, int disc, int cat,
                         int param);
// Description "level parameter (units)"; out holds size bytes.
void VAR_make_datatype(int time, int ltype, int level, int var,
                       const char *units, char *out, std::size_t size = 70);
// Time-and-level text.
void VAR_make_datalevel(int time, int ltype, int level, char *out,
                        std::size_t size = 70);
// Parameter name (or abbreviation) with " (units)" when units are given.
void VAR_str(char *out, int var, const char *units, std::size_t size = 70);
// First parameter number of the row with this abbreviation, 0 when none.
int VAR_search_var_num(const char *abbr);
// Long name and abbreviation of a parameter number (modulo 1000); false
// when the variable list has no row for it.
bool VAR_get_names(int var, const char **name, const char **abbr);
float UNIT_cvt(float v, const char *in, const char *out);
// 2 explicit time, 1 relative to the current one, 0 no time.
int VAR_dec_time(const char *text, int *time);
// Model name for source*1000 + model (or model alone); "" when unknown.
void VAR_model(char *name, int code, std::size_t size = 80);
int VAR_menu_display(const char *pattern, const char *model);
void VAR_set_model_str(const char *model);
const char *VAR_get_model_str();

#endif  // ZUPGRD_H
