// grd_points.h - decoding a product at a few grid points only, and the
// small pool of threads that decodes such products side by side.
//
// The reader (GRD_read_points) positions on a product like GRD_read and,
// instead of decoding its values, describes where they are: the packing,
// the file range of the packed values and of the bitmap, and the scanning
// of the grid.  The caller names the grid cells it needs (index nx*j + i
// of the placed grid, as GRD_report::grid holds them); GRD_run_point_job
// then decodes those values, bit-identical to the full decode, touching no
// module state, so that jobs can run on any thread.  Not part of the module
// interface.
#ifndef GRD_POINTS_H
#define GRD_POINTS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "unpack.h"
#include "zupgrd.h"

struct GRD_point_job {
    // Set by the reader.
    int edition = 2;
    int fd = -1;              // descriptor of the grid file
    long data_pos = 0;        // packed values: file position and length
    long data_len = 0;
    int nx = 0, ny = 0;       // placed grid
    int ydir = 1;             // +1: the message's rows run south to north
    bool xrev = false;        // rows run east to west
    bool jcons = false;       // consecutive points run along a column
    int xalt = 0;             // alternate rows (columns) turn
    // Edition 2.
    UNPACK_params drs{};
    bool constant = false;    // no bits per value: the reference everywhere
    bool bitmap = false;      // the bitmap applies
    long bm_pos = -1;         // its bits in the file
    long bm_len = 0;
    // Edition 1 (the bitmap is already read).
    int ed1_kind = 0;         // 0 simple packing, 1 second-order, 2 IEEE numbers
    float ref = 0, sfac = 1, dscale = 1;
    int bpval = 0;
    bool has_bm1 = false;
    std::vector<std::uint8_t> bm1;

    // Set by the caller: the cells wanted.
    std::vector<long> cells;

    // Results: one value per cell (-9999 missing), and a failure text with
    // its message level (the whole field is then missing, as it is when the
    // full decode fails).
    std::vector<float> values;
    std::string msg;
    long msg_level = 0;
};

// Reads product *num of a file as GRD_read(mode 0) would, but leaves the
// values in place where the partial path applies: *job is then described
// (*partial = true) and rec->grid is null.  Elsewhere (thinned rows, an
// unusual layout, standard input) the product is decoded whole into rec
// (*partial = false).  Returns as GRD_read.
int GRD_read_points(int slot, GRD_report *rec, int *num, GRD_point_job *job, bool *partial);

// Decodes the wanted cells of a described product.  Safe on any thread.
void GRD_run_point_job(GRD_point_job *job);

// Edition 2 and 1 halves of the description (grib2.cpp, grib.cpp): true
// when the partial path applies to the product just read by a planning
// read.
bool GRIB_point_job2(GRD_point_job *job);
// Edition 1: called where GRIB_BDB would be.  1 described (the stream is
// behind the data section), 0 not for the partial path (the stream is back
// at the data section), -1 short read.
int GRIB_point_job1(int slot, GRD_report *grid, GRD_point_job *job);

// A small pool of threads running jobs in the order given; results are
// taken back in that order, so output never depends on the timing.
class GRD_job_pool {
public:
    GRD_job_pool();
    ~GRD_job_pool();
    GRD_job_pool(const GRD_job_pool &) = delete;
    GRD_job_pool &operator=(const GRD_job_pool &) = delete;
    // Queues a job (run at once when the pool has no threads).
    void submit(GRD_point_job *job);
    // Waits until every job submitted so far is done.
    void wait_all();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Threads of the pool: the processor count, at most 4; 0 runs every job on
// the caller's thread (also while decoder traces are on).  A number set
// with GRD_set_pool_threads (>= 0) overrides the count; -1 restores it.
int GRD_pool_threads();
void GRD_set_pool_threads(int n);
// Switches the partial path off (0: GRD_read_points decodes every product
// whole) or back on; for comparisons and benchmarks.
void GRD_use_partial(int on);
bool grd_partial_on();

#endif  // GRD_POINTS_H
