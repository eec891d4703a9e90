// grib_priv.h - state shared by the edition 0/1 reader (grib.cpp) and the
// edition 2 section readers (grib2.cpp).  Not part of the module interface.
#ifndef GRIB_PRIV_H
#define GRIB_PRIV_H

#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

#include "unpack.h"
#include "zup.h"
#include "zupgrd.h"

namespace grib_detail {

// The state of the one message being decoded.
struct State {
    // Indicator section: octets 1-16 ("GRIB", then 5-8, then 9-16 for
    // edition 2); is_read is set once octets 5-8 have been read.
    std::uint8_t is[16] = {};
    bool is_read = false;
    long msg_start = -1;      // position of the "GRIB" mark
    int version = 1;
    int discipline = 0;
    char wmo_header[31] = "GRIB01 KXXX 010000";
    long grid_size = 0;       // message length, or end position (header kind 3)
    int grid_id = 0;

    // Geometry of the current grid.
    int ydir = 1;             // +1 rows south to north, -1 north to south
    bool xrev = false;        // rows run east to west
    bool jcons = false;       // consecutive points run along a column
    float lat = 0;            // latitude of the current row (pole rows)
    bool pole = false;
    std::vector<int> thin;    // row lengths of a thinned grid, empty when none
    Domain dom{};             // working domain
    int pds_flag = 0;         // edition 1 PDS octet 8

    // Scaling of the packed values.
    float dscale = 1, sfac = 1, ref = 0;
    int bpval = 0;

    // Edition 1 bitmap.
    std::vector<std::uint8_t> bmb;
    bool has_bmb = false;
    std::uint64_t bmoff = 0;

    // Spike filter.
    int bad_max = -1;
    long bad_limit = 0;
    int bad = 0;
    int bad_test = 0;
    std::uint8_t valid_data[20] = {};
    long prev_raw = -1;
    bool first_grid = true;

    GRIB_ens_info ens{};

    // Edition 2.
    int sect = -1;
    long slen = 0;
    long sect_start = -1;
    int xalt = 0;
    int centre = 0;
    Date ref_date{};
    UNPACK_params drs{};
    bool drs_ok = false;
    // Bitmap of edition 2: the section's position and length are noted in
    // header-only walks and the bits loaded when values are decoded.
    std::vector<std::uint8_t> bm2;
    bool bm2_loaded = false;
    long bm2_pos = -1;        // file position of the bits
    long bm2_len = 0;
    bool bm2_active = false;  // the product in hand uses a bitmap
    long ds_pos = -1;         // octets of the data section after its header,
    long ds_len = 0;          // noted by a planning read (mode 3)
    std::set<int> warned_drs; // templates already reported as unsupported
    std::set<int> warned_pds;
};

State &state();

// Stream of a slot, nullptr when the slot is not an open stream.
FILE *stream(int slot);
// Reads exactly n octets; false on a short read.
bool read_exact(FILE *fp, void *buf, std::size_t n);
// Whether n more octets can be in the stream: a section length taken from
// damaged octets is checked against the end of the file before a buffer of
// that size is made (streams that cannot seek pass).
bool can_read(FILE *fp, long n);
// Fills jday and wday of a date from its year, month and day.
void complete_date(Date *d);
// Sets record->datim from the time and model through the date labels.
void make_datim(GRD_report *grid);
// Places a stream of point values (scan order, one per point of the
// message) into grid->grid: rows reversed when they run south to north,
// alternate or reversed rows turned west to east, thinned rows stretched.
void place_points(const float *pts, std::size_t npts, GRD_report *grid, int xalt);
// Stretches one thinned row of n values to nx columns (linear).
void stretch_row(const float *in, int n, float *out, int nx);

}  // namespace grib_detail

#endif  // GRIB_PRIV_H
