// grd_points.cpp - decoding a product at a few grid cells (see
// grd_points.h), and the pool of threads that runs such decodes.
#include "grd_points.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "gbits.h"
#include "zup.h"

namespace {

constexpr float MISS = -9999.0f;
constexpr std::size_t NONE = static_cast<std::size_t>(-1);

// Octets pos..pos+len of the file, mapped (only the pages touched are
// read) or read: where the file cannot be mapped, and where the decoder
// reads every byte (a JPEG 2000 code stream: one read beats faulting the
// pages in one by one and unmapping them after).
class FileRange {
public:
    FileRange(int fd, long pos, long len, bool whole = false) {
        if (fd < 0 || pos < 0 || len <= 0) return;
        const long page = sysconf(_SC_PAGESIZE);
        const long base = pos - pos % page;
        map_len_ = static_cast<std::size_t>(pos - base + len);
        void *m = whole ? MAP_FAILED : mmap(nullptr, map_len_, PROT_READ, MAP_PRIVATE, fd, base);
        if (m != MAP_FAILED) {
            map_ = m;
            data_ = static_cast<const std::uint8_t *>(m) + (pos - base);
            len_ = static_cast<std::size_t>(len);
            return;
        }
        try {
            copy_.resize(static_cast<std::size_t>(len));
        } catch (const std::bad_alloc &) {
            return;
        }
        if (pread(fd, copy_.data(), copy_.size(), pos) == static_cast<ssize_t>(copy_.size())) {
            data_ = copy_.data();
            len_ = copy_.size();
        }
    }
    ~FileRange() {
        if (map_) munmap(map_, map_len_);
    }
    FileRange(const FileRange &) = delete;
    FileRange &operator=(const FileRange &) = delete;
    // The file may be shorter than its messages claim: the range then does
    // not hold (a mapping past the end would fault).
    bool ok(int fd, long pos, long len) const {
        if (!data_) return false;
        if (!map_) return true;
        // (fstat, not lseek: the reader's stream shares the descriptor's offset)
        struct stat sb;
        return fstat(fd, &sb) == 0 && pos + len <= sb.st_size;
    }
    const std::uint8_t *data() const { return data_; }
    std::size_t size() const { return len_; }

private:
    void *map_ = nullptr;
    std::size_t map_len_ = 0;
    const std::uint8_t *data_ = nullptr;
    std::size_t len_ = 0;
    std::vector<std::uint8_t> copy_;
};

// Point k of the message (scan order) that lands on a cell of the placed
// grid, or NONE; n is the number of points placed.  The inverse of the
// placing of the full decode (place_points).
std::size_t scan_index(const GRD_point_job &j, long cell, std::size_t n) {
    const long nx = j.nx, ny = j.ny;
    if (cell < 0 || cell >= nx * ny) return NONE;
    const long r = cell / nx, c = cell % nx;
    const long row = j.ydir > 0 ? ny - 1 - r : r;
    if (!j.jcons) {
        const std::size_t start = static_cast<std::size_t>(row * nx);
        if (start >= n) return NONE;
        const long len = static_cast<long>(std::min<std::size_t>(static_cast<std::size_t>(nx), n - start));
        const bool rev = j.xrev != (j.xalt && row % 2 == 1);
        if (rev) {
            const long m = c - (nx - len);
            return m < 0 ? NONE : start + static_cast<std::size_t>(len - 1 - m);
        }
        return c >= len ? NONE : start + static_cast<std::size_t>(c);
    }
    const long i = j.xrev ? nx - 1 - c : c;
    const long jj = (j.xalt && i % 2 == 1) ? ny - 1 - row : row;
    const std::size_t k = static_cast<std::size_t>(i * ny + jj);
    return k < n ? k : NONE;
}

// Number of set bits before bit k of a bitmap; positions past its end count
// as `beyond`.
class BitCounter {
public:
    BitCounter(const std::uint8_t *bits, std::size_t len, bool beyond)
        : bits_(bits), len_(len), beyond_(beyond) {}
    bool bit(std::size_t k) const {
        return k / 8 < len_ ? ((bits_[k / 8] >> (7 - k % 8)) & 1) != 0 : beyond_;
    }
    // Set bits in [0, k); k must not decrease from call to call.
    std::size_t before(std::size_t k) {
        const std::size_t nbits = len_ * 8;
        while (at_ < k && at_ % 64 != 0 && at_ < nbits) count_ += bit(at_++);
        while (at_ + 64 <= k && at_ + 64 <= nbits) {
            std::uint64_t w;
            std::memcpy(&w, bits_ + at_ / 8, 8);
            count_ += static_cast<std::size_t>(__builtin_popcountll(w));
            at_ += 64;
        }
        while (at_ < k && at_ < nbits) count_ += bit(at_++);
        if (at_ < k) {
            if (beyond_) count_ += k - at_;
            at_ = k;
        }
        return count_;
    }

private:
    const std::uint8_t *bits_;
    std::size_t len_;
    bool beyond_;
    std::size_t at_ = 0;
    std::size_t count_ = 0;
};

// The value index of each cell (NONE for a missing point), and the sorted
// distinct indices to decode.
struct Choice {
    std::vector<std::size_t> of_cell;
    std::vector<std::size_t> wanted;
};

// Points k to value indices: through the bitmap when there is one.
Choice choose_cells(const GRD_point_job &j, std::size_t npts, std::size_t count,
                    const std::uint8_t *bits, std::size_t bits_len, bool beyond) {
    Choice ch;
    const std::size_t n = std::min(npts, static_cast<std::size_t>(j.nx) * static_cast<std::size_t>(j.ny));
    std::vector<std::pair<std::size_t, std::size_t>> order;  // (k, cell number)
    ch.of_cell.assign(j.cells.size(), NONE);
    for (std::size_t c = 0; c < j.cells.size(); ++c) {
        std::size_t k = scan_index(j, j.cells[c], n);
        if (k != NONE) order.emplace_back(k, c);
    }
    std::sort(order.begin(), order.end());
    BitCounter counter(bits, bits_len, beyond);
    for (const auto &[k, c] : order) {
        std::size_t v = k;
        if (bits) {
            if (!counter.bit(k)) continue;
            v = counter.before(k);
        }
        if (v >= count) continue;
        ch.of_cell[c] = v;
        if (ch.wanted.empty() || ch.wanted.back() != v) ch.wanted.push_back(v);
    }
    return ch;
}

void fail_job(GRD_point_job *job, const std::string &msg, long level) {
    job->values.assign(job->cells.size(), MISS);
    job->msg = msg;
    job->msg_level = level;
}

// Spreads the decoded values (one per wanted index) over the cells.
void spread(GRD_point_job *job, const Choice &ch, const std::vector<float> &vals) {
    job->values.assign(job->cells.size(), MISS);
    for (std::size_t c = 0; c < job->cells.size(); ++c) {
        const std::size_t v = ch.of_cell[c];
        if (v == NONE) continue;
        auto at = std::lower_bound(ch.wanted.begin(), ch.wanted.end(), v);
        job->values[c] = vals[static_cast<std::size_t>(at - ch.wanted.begin())];
    }
}

void run_edition2(GRD_point_job *job) {
    const std::size_t total = static_cast<std::size_t>(job->nx) * static_cast<std::size_t>(job->ny);
    const UNPACK_params &p = job->drs;
    std::unique_ptr<FileRange> bm;
    bool bm_failed = false;
    Choice ch;
    auto choose = [&](std::size_t count, const UNPACK_out &shape) {
        const bool use_bitmap = job->bitmap && !shape.miss_managed && shape.height <= 1;
        const std::uint8_t *bits = nullptr;
        std::size_t bits_len = 0;
        if (use_bitmap) {
            bm = std::make_unique<FileRange>(job->fd, job->bm_pos, job->bm_len);
            if (job->bm_len > 0 && !bm->ok(job->fd, job->bm_pos, job->bm_len)) {
                bm_failed = true;
                return std::vector<std::size_t>{};
            }
            bits = bm->data();
            bits_len = bm->size();
            static const std::uint8_t none = 0;
            if (!bits) bits = &none;  // an empty bitmap: every point missing
        }
        ch = choose_cells(*job, use_bitmap ? total : count, count, bits, bits_len, false);
        return ch.wanted;
    };
    UNPACK_out out;
    if (job->constant) {
        const std::size_t n = std::min<std::size_t>(p.data_pnts > 0 ? static_cast<std::size_t>(p.data_pnts) : total, total);
        out.width = static_cast<int>(n);
        out.height = 1;
        choose(n, out);
        out.values.assign(ch.wanted.size(), static_cast<float>(p.ref * p.dscale));
    } else {
        const bool j2k = p.drs_temp == DRS_JPEG2000 || p.drs_temp == DRS_JPEG2000_OLD;
        FileRange data(job->fd, job->data_pos, job->data_len, j2k);
        if (job->data_len > 0 && !data.ok(job->fd, job->data_pos, job->data_len)) {
            fail_job(job, "", 0);  // a short read: no values, as in the full decode
            return;
        }
        // an empty section is still a section (as the full decode hands it on)
        static const std::uint8_t empty[8] = {};
        const std::uint8_t *bytes = data.data() ? data.data() : empty;
        if (UNPACK_data_points(p, bytes, data.size(), total, choose, &out) < 0) {
            fail_job(job, out.msg, 192);
            return;
        }
    }
    if (bm_failed) {
        fail_job(job, "GRIB_DS: Bitmap cannot be read\n", 64);
        return;
    }
    spread(job, ch, out.values);
}

// Second-order packing and IEEE numbers of edition 1: one value per coded
// point (bitmap bit set), in stored order; a failure leaves the field missing
// with the decoder's message.
void run_edition1_packed(GRD_point_job *job, const FileRange &data, const std::uint8_t *bits,
                         std::size_t bits_len) {
    const std::size_t total = static_cast<std::size_t>(job->nx) * static_cast<std::size_t>(job->ny);
    const std::uint8_t *sec = data.data();
    const std::size_t len = data.size();
    Choice ch;
    auto choose = [&](std::size_t count, const UNPACK_out &) {
        ch = choose_cells(*job, total, count, bits, bits_len, true);
        return ch.wanted;
    };
    UNPACK_out out;
    int r;
    if (job->ed1_kind == 1) {
        // rows in alternate directions, as the section says (its extended flags)
        job->xalt = len >= 14 && (sec[13] & 0x04) ? 1 : 0;
        bool alt = false;
        r = UNPACK_grib1_second_order_points(sec, len, job->ref, job->sfac, job->dscale, total,
                                             choose, &out, &alt);
    } else {
        UNPACK_params p;
        UNPACK_clear_params(&p);
        BitCounter coded(bits, bits_len, true);
        p.data_pnts = static_cast<int>(bits ? coded.before(total) : total);
        p.precision = len > 11 ? sec[11] : -9999;
        r = len >= 12 ? UNPACK_ieee_points(p, sec + 12, len - 12, total, choose, &out) : -1;
        if (r < 0 && out.msg.empty()) out.msg = "GRIB_BDB: IEEE data section too short\n";
    }
    if (r < 0) {
        fail_job(job, out.msg, 192);
        return;
    }
    spread(job, ch, out.values);
}

void run_edition1(GRD_point_job *job) {
    const std::size_t total = static_cast<std::size_t>(job->nx) * static_cast<std::size_t>(job->ny);
    FileRange data(job->fd, job->data_pos, job->data_len);
    if (job->data_len > 0 && !data.ok(job->fd, job->data_pos, job->data_len)) {
        fail_job(job, "", 0);
        return;
    }
    // every point consumes a value unless the bitmap clears it; positions
    // past the end of the bitmap are set
    static const std::uint8_t none = 0;
    const std::uint8_t *bits = job->has_bm1 ? (job->bm1.empty() ? &none : job->bm1.data()) : nullptr;
    const std::size_t bits_len = job->has_bm1 ? job->bm1.size() : 0;
    if (job->ed1_kind != 0) {
        run_edition1_packed(job, data, bits, bits_len);
        return;
    }
    Choice ch = choose_cells(*job, total, total, bits, bits_len, true);
    std::vector<float> vals(ch.wanted.size(), MISS);
    const int nb = job->bpval;
    for (std::size_t w = 0; w < ch.wanted.size(); ++w) {
        std::uint32_t raw = 0;
        if (!gbits::get(data.data(), data.size(), static_cast<std::uint64_t>(ch.wanted[w]) * static_cast<unsigned>(nb), nb, &raw))
            break;  // the data run out: this point and every later one
        vals[w] = static_cast<float>((static_cast<long>(raw) * static_cast<double>(job->sfac) + job->ref) *
                                     job->dscale);
    }
    spread(job, ch, vals);
}

}  // namespace

void GRD_run_point_job(GRD_point_job *job) {
    job->values.clear();
    job->msg.clear();
    job->msg_level = 0;
    if (job->edition == 1)
        run_edition1(job);
    else
        run_edition2(job);
    std::vector<std::uint8_t>().swap(job->bm1);  // jobs are kept until the scan ends
}

// ---------------------------------------------------------------------------
// The pool

namespace {

struct PointState {
    int threads = -1;     // set number of pool threads, -1 automatic
    bool partial = true;  // GRD_read_points may leave values undecoded
};

PointState &pst() {
    static PointState s;
    return s;
}

}  // namespace

void GRD_set_pool_threads(int n) { pst().threads = n < 0 ? -1 : std::min(n, 16); }
void GRD_use_partial(int on) { pst().partial = on != 0; }
bool grd_partial_on() { return pst().partial; }

int GRD_pool_threads() {
    // decoder traces print from the decoders: keep them on one thread
    if (MESS_check(unpack_detail::DEBUG)) return 0;
    if (pst().threads >= 0) return pst().threads;
    const unsigned hw = std::thread::hardware_concurrency();
    if (hw <= 1) return 0;
    return static_cast<int>(std::min(hw, 4u));
}

struct GRD_job_pool::Impl {
    std::vector<std::thread> threads;
    std::mutex mu;
    std::condition_variable work_cv, done_cv;
    std::deque<GRD_point_job *> queue;
    std::size_t busy = 0;
    bool stop = false;

    void worker() {
        std::unique_lock<std::mutex> lock(mu);
        for (;;) {
            work_cv.wait(lock, [&] { return stop || !queue.empty(); });
            if (queue.empty()) return;
            GRD_point_job *job = queue.front();
            queue.pop_front();
            ++busy;
            lock.unlock();
            GRD_run_point_job(job);
            lock.lock();
            --busy;
            if (queue.empty() && busy == 0) done_cv.notify_all();
        }
    }
};

GRD_job_pool::GRD_job_pool() : impl_(std::make_unique<Impl>()) {
    const int n = GRD_pool_threads();
    for (int i = 0; i < n; ++i) {
        try {
            impl_->threads.emplace_back([this] { impl_->worker(); });
        } catch (const std::system_error &) {
            break;  // fewer threads, or none: jobs then run on the caller's
        }
    }
}

GRD_job_pool::~GRD_job_pool() {
    {
        std::lock_guard<std::mutex> lock(impl_->mu);
        impl_->stop = true;
    }
    impl_->work_cv.notify_all();
    for (std::thread &t : impl_->threads) t.join();
}

void GRD_job_pool::submit(GRD_point_job *job) {
    if (impl_->threads.empty()) {
        GRD_run_point_job(job);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(impl_->mu);
        impl_->queue.push_back(job);
    }
    impl_->work_cv.notify_one();
}

void GRD_job_pool::wait_all() {
    if (impl_->threads.empty()) return;
    std::unique_lock<std::mutex> lock(impl_->mu);
    impl_->done_cv.wait(lock, [&] { return impl_->queue.empty() && impl_->busy == 0; });
}
