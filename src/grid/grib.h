// grib.h - GRIB decoding, editions 0, 1 and 2.
//
// The GRIB module finds messages in a grid file (bare, or behind one of four
// kinds of bulletin header), steps from message to message, and decodes one
// message (edition 0/1) or one product (edition 2) into a grid record.  It
// keeps the state of one message at a time; the grid-file table (zupgrd.h)
// owns the streams, which the module reaches through the slot number.
//
// Conventions: functions return 1 (or a positive count) on success, 0 for a
// refused or unusable message, -1 on a short read or at the end of the file,
// unless stated otherwise.  Grid values are floats with -9999 for missing,
// stored row after row with the northernmost row first.
#ifndef GRIB_H
#define GRIB_H

#include <cstdint>

#include "zup.h"

struct GRD_report;
struct GRD_info;

// Bulletin header kinds (the itype of a GRIB file).
constexpr int GRIB_HDR_ZUP = 1;     // "** " heading line
constexpr int GRIB_HDR_FEED = 2;    // SOH CR CR LF nnn CR CR LF heading CR CR LF
constexpr int GRIB_HDR_OLDZUP = 3;  // "GRIB: <length>" line, then a bulletin
constexpr int GRIB_HDR_RAW = 4;     // no header

// Largest message (edition 0/1) the stepper accepts, in octets.
constexpr long GRIB_MAX_SIZE = 2000000;

// ---- Finding and stepping over messages --------------------------------

// Finds the next message start after any bulletin header and positions the
// stream behind the indicator section.  >0 found, 0 none, -1 end of file.
int GRIB_header(int slot);
// Finds the next "GRIB"/"GRID"/"BUFR" mark and reads the rest of the
// indicator section; returns the number of octets read after the mark
// (4 for edition 0/1, 12 for edition 2), or -1 at the end of the file.
// The position behind them is recorded with GRD_set_new_pos.
int GRIB_search(int slot);
// Position of the next message (seeking there when move != 0); -1 or 0 on
// error.  Must follow GRIB_header for the current message.
long GRIB_next(int slot, int move);
// For the message just found by GRIB_header: 1 when its announced length
// runs past the end of the file (a cut message), with the octets present
// and announced in *have and *want; 0 when it is whole or its length cannot
// be known (edition 0, a stream that cannot seek).
int GRIB_cut_short(int slot, long *have, long *want);

int GRIB_get_version();
int GRIB_get_discipline();
// Bulletin heading of the current message.
const char *GRIB_get_wmo_header();

// Spike filter: more than max_bad jumps of half the packing range within a
// ring of 20 values marks the grid corrupt.  Below 1: filter off.
void GRIB_set_max_bad(int max_bad);
int GRIB_get_bad();

// Reference date of the first message into info; also sets the file's
// grid field (edition, or 10 for edition 0 from centre 98).  0 or -1.
int GRIB_get_info(int slot, GRD_info *info);

// ---- Edition 0 and 1 ----------------------------------------------------

// Indicator and product definition section: 1, or -1 on a short read.
int GRIB_PDB(int slot, GRD_report *grid, int mode);
// Decodes a product definition section held in pds (len octets, edition
// ver) into grid.  1, or -1 when the section is too short.
int GRIB_decode_PDB(const std::uint8_t *pds, int len, int ver, GRD_report *grid);
// Grid description section (when flagged): 1, 0 for a refused grid, -1 on
// a short read.
int GRIB_GDB(int slot, GRD_report *grid);
// Bitmap section (when flagged): 1, 0 when memory is short, -1 short read.
int GRIB_BMB(int slot, GRD_report *grid);
// Next bit of the bitmap (1 without a bitmap).
int GRIB_BMB_read();
// Binary data section: 1, 0 when memory is short, -1 on a short read.
int GRIB_BDB(int slot, GRD_report *grid);

// IBM single-precision float from 4 octets.
float GRIB_flt_conv(const std::uint8_t *p);
// 2 to the power of a 2-octet sign-and-magnitude exponent.
float GRIB_scl_conv(const std::uint8_t *p);
// IEEE big-endian single-precision float from 4 octets (0 when p[0] is 0).
float GRIB_ieee_float_conv(const std::uint8_t *p);
// Fills dom from the table of catalogued grids; 1 found, 0 not in table
// (dom unchanged).
int GRIB_set_domain(int grid_num, Domain *dom);

// ---- Edition 2 ------------------------------------------------------------

// Reads a section header (5 octets): 1 for sections 0-8, 0 at the end mark
// "7777" or on a short read (then sect is -1 and -2 respectively).
int GRIB_read_section(int slot);
// Skips the rest of the section just read: 1, or -1 on a seek failure.
int GRIB_skip_section(int slot);
int GRIB_get_sect();
int GRIB_get_slen();

int GRIB_IDS(int slot, GRD_report *grid);  // section 1
int GRIB_GDS(int slot, GRD_report *grid);  // section 3; 0 unusable grid
int GRIB_PDS(int slot, GRD_report *grid);  // section 4
int GRIB_DRS(int slot, GRD_report *grid);  // section 5
int GRIB_BMS(int slot);                    // section 6; 1 when a bitmap is in force
int GRIB_DS(int slot, GRD_report *grid);   // section 7; 0 when decoding failed

// The ensemble values of a product are handed to GRIB_set_ens (zupgrd.h)
// before the description is built.

// Reads one product of an edition 2 message from the current position
// (after the indicator section, or at a continuation position): header
// only in mode 1 and 2, header and values in mode 0; mode 3 (planning) reads
// the header and notes where the packed values are (GRIB_point_job2).  Result as for
// GRD_read: 0 read, 1 no product in the message ("No product found"),
// -1 short read, or the GRIB_GDS result when that is 0.  The continuation
// is recorded with GRD_set_cont/GRD_set_new_pos and also returned in *cont
// (may be nullptr): 1 when another product of the same message starts at
// the new position, 0 when the message ended (the new position is then
// just behind its end mark).
int GRIB_read_product(int slot, GRD_report *grid, int mode, int *cont);
// Walks over one product without decoding it (section 3 decoded for the
// domain, section 6 read, the others skipped); 0 done, -1 short read or no
// product.  *cont and the new position as for GRIB_read_product.
int GRIB_skip_product(int slot, int *cont);
// Drops the edition 2 bitmap kept for reuse (start of a new message).
void GRIB_clear_bitmap();

#endif  // GRIB_H
