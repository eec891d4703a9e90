// Decoding at a few grid cells: every packing, scanning order and bitmap
// gives bit for bit the values of the full decode, on one thread or many,
// and soundings made that way equal those made from whole fields.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "grd_points.h"
#include "grib2_test_util.h"

namespace {

struct Variant {
    const char *file;
    bool partial;  // products take the partial path (not thinned rows)
};

const Variant kVariants[] = {
    {"gfs_small_simple.grb", true},   {"gfs_small_complex.grb", true},
    {"gfs_small_jpeg.grb", true},     {"gfs_small_png.grb", true},
    {"gfs_small_ccsds.grb", true},    {"bitmap_simple.grb", true},
    {"bitmap_complex.grb", true},     {"bitmap_jpeg.grb", true},
    {"bitmap.grib1", true},           {"scan_east_west.grb", true},
    {"scan_south_north.grb", true},   {"scan_south_north.grib1", true},
    {"scan_both_jpeg.grb", true},     {"scanning_mode_with_bitmap.grib2", true},
    {"eta_grib1_part.grb", true},     {"safrica_part.grib2", true},
    {"ieee_bitmap.grib2", true},      {"reduced_latlon_surface.grib2", false},
    {"second_order_bitmap.grib1", true},  {"ieee_bitmap.grib1", true},
};

// Cells in every part of the grid: corners, both sides of row ends, the
// middle, the neighbours of missing points, and some at random.
std::vector<long> probe_cells(int nx, int ny, const std::vector<float> &full) {
    const long n = static_cast<long>(nx) * ny;
    std::set<long> c = {0, nx - 1L, static_cast<long>(nx), 2L * nx - 1, n / 2, n - nx, n - 1};
    int holes = 0;
    for (long k = 0; k < n && holes < 20; ++k)
        if (full[static_cast<std::size_t>(k)] == MISSING_F && (k == 0 || full[static_cast<std::size_t>(k - 1)] != MISSING_F)) {
            for (long d : {-nx - 1L, -1L, 1L, static_cast<long>(nx), nx + 1L})
                if (k + d >= 0 && k + d < n) c.insert(k + d);
            ++holes;
        }
    std::mt19937 rng(7);
    for (int i = 0; i < 40; ++i) c.insert(static_cast<long>(rng() % static_cast<unsigned>(n)));
    return {c.begin(), c.end()};
}

class PartialDecode : public testing::TestWithParam<Variant> {
protected:
    void SetUp() override { gribtest::reset_resources(); }
    void TearDown() override {
        GRD_set_pool_threads(-1);
        GRD_use_partial(1);
    }
};

TEST_P(PartialDecode, CellsEqualTheFullDecode) {
    const Variant v = GetParam();
    int type = 0;
    int slot = GRD_open(gribtest::fixture(v.file).c_str(), 0, &type);
    ASSERT_GE(slot, 0);
    GRD_report rec;
    GRD_init(&rec);
    std::vector<std::unique_ptr<GRD_point_job>> jobs, copies;
    std::vector<std::vector<float>> expect;
    int partial_count = 0;
    for (int m = 0;; ++m) {
        int num = m;
        if (GRD_read(slot, &rec, 0, &num) != 0) break;
        if (!rec.grid) continue;
        const int nx = rec.domain.nx, ny = rec.domain.ny;
        std::vector<float> full(rec.grid, rec.grid + static_cast<long>(nx) * ny);
        auto job = std::make_unique<GRD_point_job>();
        bool partial = false;
        int again = m;
        ASSERT_EQ(GRD_read_points(slot, &rec, &again, job.get(), &partial), 0) << v.file << " " << m;
        EXPECT_EQ(again, num);
        if (!partial) continue;
        ++partial_count;
        EXPECT_EQ(rec.grid, nullptr);
        job->cells = probe_cells(nx, ny, full);
        copies.push_back(std::make_unique<GRD_point_job>(*job));
        std::vector<float> want;
        for (long c : job->cells) want.push_back(full[static_cast<std::size_t>(c)]);
        GRD_run_point_job(job.get());
        ASSERT_EQ(job->values.size(), want.size());
        EXPECT_TRUE(job->msg.empty()) << job->msg;
        for (std::size_t i = 0; i < want.size(); ++i)
            EXPECT_EQ(std::memcmp(&job->values[i], &want[i], sizeof(float)), 0)
                << v.file << " product " << m << " cell " << job->cells[i] << ": "
                << job->values[i] << " != " << want[i];
        jobs.push_back(std::move(job));
        expect.push_back(want);
    }
    GRD_free(&rec);
    EXPECT_EQ(partial_count > 0, v.partial) << v.file;

    // the same jobs again, side by side on four threads
    GRD_set_pool_threads(4);
    {
        GRD_job_pool pool;
        for (auto &j : copies) pool.submit(j.get());
        pool.wait_all();
    }
    for (std::size_t k = 0; k < copies.size(); ++k)
        EXPECT_EQ(0, std::memcmp(copies[k]->values.data(), expect[k].data(), expect[k].size() * sizeof(float)))
            << v.file << " job " << k;
    GRD_close(slot);
}

// Soundings at points all over the grid: partial decodes on threads give the
// levels of whole-field decodes on one thread, bit for bit.
TEST_P(PartialDecode, SoundingsEqualWholeFieldSoundings) {
    const Variant v = GetParam();
    int type = 0;
    int slot = GRD_open(gribtest::fixture(v.file).c_str(), 0, &type);
    ASSERT_GE(slot, 0);
    FLAG_setl(6, MISSING);
    std::vector<GRD_sound> a(60), b(60);
    std::mt19937 rng(11);
    for (std::size_t s = 0; s < a.size(); ++s) {
        std::memset(&a[s], 0, sizeof a[s]);
        a[s].lat = static_cast<float>(-89.5 + (rng() % 17900) / 100.0);
        a[s].lon = static_cast<float>(-180.0 + (rng() % 36000) / 100.0);
        b[s] = a[s];
    }
    GRD_set_pool_threads(3);
    const int made_a = GRD_get_sounds(slot, a.data(), static_cast<int>(a.size()));
    GRD_set_pool_threads(0);
    GRD_use_partial(0);
    const int made_b = GRD_get_sounds(slot, b.data(), static_cast<int>(b.size()));
    GRD_close(slot);
    EXPECT_EQ(made_a, made_b);
    for (std::size_t s = 0; s < a.size(); ++s) {
        EXPECT_EQ(a[s].num, b[s].num) << s;
        EXPECT_EQ(0, std::memcmp(a[s].lev, b[s].lev, sizeof a[s].lev)) << v.file << " station " << s;
        EXPECT_STREQ(a[s].datim, b[s].datim);
    }
}

INSTANTIATE_TEST_SUITE_P(Packings, PartialDecode, testing::ValuesIn(kVariants),
                         [](const testing::TestParamInfo<Variant> &info) {
                             std::string name = info.param.file;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
