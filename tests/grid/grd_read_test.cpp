// Grid file table: format detection, slots, reading by message number,
// index files, file information and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "grd_test_util.h"
#include "zup.h"
#include "zupgrd.h"

using namespace grdtest;

namespace {

class GrdRead : public ::testing::Test {
protected:
    void SetUp() override {
        reset_resources();
        GRD_init(&rec);
    }
    void TearDown() override {
        GRD_free(&rec);
        for (int i = 0; i < GRD_MAX_FILES; ++i) GRD_close(i);
        GRD_use_hdr_file(1);
    }
    // Reads product n of a file into rec; num is the number it read.
    int read(int slot, int n, int mode = 0) {
        num = n;
        return GRD_read(slot, &rec, mode, &num);
    }
    GRD_report rec;
    int num = 0;
};

// Three small messages: temperature at 500 and 700 mb, then height at 500.
std::string three_messages() {
    return make_grib1(ramp(11, 100, 500, 250.0f)) + make_grib1(ramp(11, 100, 700, 270.0f)) +
           make_grib1(ramp(7, 100, 500, 5500.0f));
}

int open_grib(const std::string &path) {
    int type = 0;
    int slot = GRD_open(path.c_str(), 0, &type);
    EXPECT_EQ(type, GRD_TYPE_GRIB);
    return slot;
}

}  // namespace

// The format by the first bytes; "GRIB" counts within the first 200.
TEST_F(GrdRead, DetectsFormatsByTheirFirstBytes) {
    const std::pair<std::string, int> cases[] = {
        {"12 GRIB later", 1}, {" x", 1},        {"ZUPGRID4 rest", 4}, {"ZUPGRID rest", 2},
        {"CDF\x01", 11},      {"GRIB....", 21}, {"** heading", 21},
        {std::string("\x01\r\r\n", 4), 21}, {"GRID xx", 22}, {"hello world", -1}, {"", -1},
        {std::string(196, 'x') + "GRIB", 21}, {std::string(200, 'x') + "GRIB", -1},
    };
    for (const auto &[bytes, type] : cases)
        EXPECT_EQ(GRD_chktype(write_file("chk", bytes).c_str()), type) << bytes.substr(0, 20);
    EXPECT_EQ(GRD_chktype((scratch_dir() + "/does_not_exist").c_str()), -1);
}

TEST_F(GrdRead, OpensAtMostFifteenFilesAndFreesFailedSlots) {
    std::string path = write_file("three.grb", three_messages());
    std::vector<int> slots;
    for (int i = 0; i < GRD_MAX_FILES; ++i) {
        int s = open_grib(path);
        ASSERT_EQ(s, i);
        slots.push_back(s);
    }
    int type = 0;
    EXPECT_EQ(GRD_open(path.c_str(), 0, &type), -1);
    EXPECT_EQ(GRD_close(4), 0);
    type = 0;
    EXPECT_EQ(GRD_open(path.c_str(), 0, &type), 4);
    EXPECT_EQ(GRD_close(99), -1);
    EXPECT_EQ(GRD_close(-1), -1);
    for (int s : slots) GRD_close(s);
    EXPECT_EQ(GRD_close(3), 0);  // empty slot

    // unrecognised or missing files take no slot
    type = 0;
    EXPECT_EQ(GRD_open(write_file("junk", "hello").c_str(), 0, &type), -1);
    type = 0;
    EXPECT_EQ(GRD_open((scratch_dir() + "/missing.grb").c_str(), 0, &type), -1);
    type = 0;
    EXPECT_EQ(GRD_open(path.c_str(), 1, &type), -1);  // a new file needs a format
    type = 0;
    EXPECT_EQ(GRD_open(path.c_str(), 0, &type), 0);
}

TEST_F(GrdRead, StandardStreamForcesTheOwnTextFormat) {
    int type = 0;
    int s = GRD_open("-", 0, &type);
    ASSERT_GE(s, 0);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(GRD_close(s), 0);
    type = 21;
    s = GRD_open("", 0, &type);
    ASSERT_GE(s, 0);
    EXPECT_EQ(type, 21);
    GRD_close(s);
}

TEST_F(GrdRead, ReadsMessagesForwardSameAndBackward) {
    int s = open_grib(write_file("three.grb", three_messages()));
    ASSERT_GE(s, 0);
    ASSERT_EQ(read(s, 0), 0);
    EXPECT_EQ(num, 0);
    EXPECT_EQ(rec.var, 11);
    EXPECT_EQ(rec.level, 500);
    ASSERT_NE(rec.grid, nullptr);
    EXPECT_NEAR(rec.grid[0], 250.0f, 0.06f);
    EXPECT_NEAR(rec.grid[4 * 2 + 3], 273.0f, 0.06f);
    ASSERT_EQ(read(s, 1), 0);
    EXPECT_EQ(num, 1);
    EXPECT_EQ(rec.level, 700);
    EXPECT_NEAR(rec.grid[0], 270.0f, 0.06f);
    // the same number again decodes the same message
    ASSERT_EQ(read(s, 1), 0);
    EXPECT_EQ(rec.level, 700);
    EXPECT_NEAR(rec.grid[1], 271.0f, 0.06f);
    // skipping forward, then going back to the start
    ASSERT_EQ(read(s, 2), 0);
    EXPECT_EQ(rec.var, 7);
    ASSERT_EQ(read(s, 0), 0);
    EXPECT_EQ(rec.var, 11);
    EXPECT_EQ(rec.level, 500);
    ASSERT_EQ(read(s, 2, 1), 0);
    EXPECT_EQ(rec.var, 7);
    EXPECT_EQ(read(s, 3, 1), -1);
}

TEST_F(GrdRead, HeaderOnlyKeepsThePreviousValues) {
    int s = open_grib(write_file("three.grb", three_messages()));
    ASSERT_EQ(read(s, 0), 0);
    ASSERT_NE(rec.grid, nullptr);
    float first = rec.grid[0];
    ASSERT_EQ(read(s, 1, 1), 0);
    EXPECT_EQ(rec.level, 700);
    ASSERT_NE(rec.grid, nullptr);
    EXPECT_EQ(rec.grid[0], first);  // not decoded
    EXPECT_STREQ(rec.units, "K");
    EXPECT_EQ(rec.domain.nx, 4);
    EXPECT_EQ(rec.domain.ny, 3);
}

TEST_F(GrdRead, RewindStartsAgainAtTheFirstMessage) {
    int s = open_grib(write_file("three.grb", three_messages()));
    ASSERT_EQ(read(s, 2, 1), 0);
    EXPECT_EQ(GRD_rewind(s), 0);
    EXPECT_EQ(GRD_get_file(s)->num, 0);
    ASSERT_EQ(read(s, 0, 1), 0);
    EXPECT_EQ(rec.level, 500);
    EXPECT_EQ(rec.var, 11);
    EXPECT_EQ(GRD_rewind(15), -1);
}

TEST_F(GrdRead, FileInformationGivesTheReferenceDate) {
    int s = open_grib(write_file("three.grb", three_messages()));
    GRD_info info;
    ASSERT_EQ(GRD_getinfo(s, &info), 0);
    EXPECT_EQ(info.grid_type, 0);
    EXPECT_EQ(info.date.year, 2024);
    EXPECT_EQ(info.date.month, 5);
    EXPECT_EQ(info.date.day, 21);
    EXPECT_EQ(info.date.hour, 12);
    EXPECT_EQ(GRD_get_file(s)->date.year, 2024);
    EXPECT_EQ(GRD_get_file(s)->grid, 1);
    EXPECT_EQ(GRD_getinfo(20, &info), -1);
    // the file is rewound: the first message comes next
    ASSERT_EQ(read(s, 0, 1), 0);
    EXPECT_EQ(rec.level, 500);
}

TEST_F(GrdRead, IndexFileHeadersInBothTextForms) {
    std::string grib = three_messages();
    std::string path = write_file("idx.grb", grib);
    // offsets of the three messages
    std::size_t m1 = grib.find("GRIB", 4);
    std::size_t m2 = grib.find("GRIB", m1 + 4);
    std::string index = "0 ETA/ GRIB S7 M84 G255 T0 L100 H500 V11\n" + std::to_string(m1) +
                        " ETA/84 255 0 100 700 11\n" + std::to_string(m2) +
                        " ETA/7:84 255 6 100 500 7\n";
    std::string hdr = write_file("idx.hdr", index);
    int s = open_grib(path);
    ASSERT_EQ(GRD_hdr_open(s, hdr.c_str()), 0);
    ASSERT_EQ(read(s, 0, 2), 0);
    EXPECT_EQ(rec.source, 7);
    EXPECT_EQ(rec.model, 84);
    EXPECT_EQ(rec.var, 11);
    EXPECT_EQ(rec.level, 500);
    EXPECT_EQ(rec.version, 1);
    EXPECT_STREQ(rec.units, "K");
    EXPECT_NE(std::string(rec.info).find("500 mb"), std::string::npos);
    EXPECT_EQ(rec.grid, nullptr);

    ASSERT_EQ(read(s, 1, 1), 0);
    EXPECT_EQ(rec.model, 84);
    EXPECT_EQ(rec.type, 255);
    EXPECT_EQ(rec.time, 0);
    EXPECT_EQ(rec.level, 700);
    EXPECT_EQ(rec.info[0], '\0');  // labels only in mode 2

    ASSERT_EQ(read(s, 2, 1), 0);
    EXPECT_EQ(rec.source, 7);
    EXPECT_EQ(rec.time, 6);
    EXPECT_EQ(rec.var, 7);

    // data come from the grid file at the index offset
    ASSERT_EQ(read(s, 1), 0);
    ASSERT_NE(rec.grid, nullptr);
    EXPECT_EQ(rec.level, 700);
    EXPECT_NEAR(rec.grid[0], 270.0f, 0.06f);

    // backward and past the end
    ASSERT_EQ(read(s, 0, 1), 0);
    EXPECT_EQ(rec.level, 500);
    EXPECT_EQ(read(s, 3, 1), -1);
}

TEST_F(GrdRead, IndexFileNeedsGribAndTheSwitch) {
    std::string hdr = write_file("any.hdr", "0 X/ GRIB V11\n");
    int s = open_grib(write_file("three.grb", three_messages()));
    EXPECT_EQ(GRD_hdr_open(s, ""), -1);
    EXPECT_EQ(GRD_hdr_open(14, hdr.c_str()), -1);
    GRD_use_hdr_file(0);
    EXPECT_EQ(GRD_hdr_open(s, hdr.c_str()), -1);
    GRD_use_hdr_file(1);
    EXPECT_EQ(GRD_hdr_open(s, (scratch_dir() + "/no.hdr").c_str()), -1);
    EXPECT_EQ(GRD_hdr_open(s, hdr.c_str()), 0);
}

// Cuts at section boundaries and inside the sections of the first message,
// overstated lengths and zero-length sections: the reads end, in both
// modes, without a crash (the sanitizer build checks every access).
TEST_F(GrdRead, DamagedFilesEndTheReadWithoutCrashing) {
    const std::string good = three_messages();
    const std::size_t first_len = good.find("GRIB", 4);
    std::vector<std::string> damaged;
    for (std::size_t cut : {std::size_t{4}, std::size_t{8}, std::size_t{20}, std::size_t{36}, std::size_t{37},
                            std::size_t{60}, std::size_t{68}, std::size_t{69}, std::size_t{80}, first_len - 4,
                            first_len - 1})
        damaged.push_back(good.substr(0, cut));
    const std::pair<std::size_t, unsigned char> edits[] = {{4, 0xFF},  {8, 0x00},  {9, 0x00},  {10, 0x00},
                                                           {36, 0x00}, {37, 0xFF}, {68, 0xFF}, {68, 0x00},
                                                           {69, 0x00}, {70, 0x00}};
    for (auto [pos, byte] : edits) {
        damaged.push_back(good);
        damaged.back()[pos] = static_cast<char>(byte);
    }
    for (const std::string &bytes : damaged) {
        int type = 21;
        int s = GRD_open(write_file("bad.grb", bytes).c_str(), 0, &type);
        ASSERT_GE(s, 0);
        GRD_info info;
        GRD_getinfo(s, &info);
        for (int m = 0; m < 5 && read(s, m, m % 2) == 0; ++m) {
        }
        GRD_close(s);
    }
}

TEST_F(GrdRead, OtherFormatsEndTheReadCleanly) {
    int type = 0;
    int s = GRD_open(write_file("text.grd", "1 2 3\n").c_str(), 0, &type);
    ASSERT_GE(s, 0);
    EXPECT_EQ(type, 1);
    // a text grid of one line: a date label and no grid behind it
    EXPECT_EQ(read(s, 0), -1);
    GRD_info info;
    EXPECT_EQ(GRD_getinfo(s, &info), 0);
    EXPECT_STREQ(info.datim, "1 2 3");
    EXPECT_EQ(GRD_read(s, &rec, 0, &num), -1);
    EXPECT_EQ(GRD_read(s, nullptr, 0, &num), -1);
    GRD_close(s);
}

// Edition 2 messages with several products: every product has a number of
// its own, read forward, again and backward.
TEST_F(GrdRead, EditionTwoProductsAreNumberedOneByOne) {
    std::string path = std::string(RAZIVA_TEST_DATA_DIR) + "/grib/eta_part.grb";
    std::string bytes = read_file(path);
    if (bytes.empty()) GTEST_SKIP() << "no edition 2 sample";
    std::size_t messages = 0;
    for (std::size_t p = bytes.find("GRIB"); p != std::string::npos; p = bytes.find("GRIB", p + 4))
        ++messages;
    int s = open_grib(path);
    ASSERT_GE(s, 0);
    struct Head {
        int var, ltype, level, time;
    };
    std::vector<Head> heads;
    for (int m = 0; m < 1000; ++m) {
        if (read(s, m, 1) != 0) break;
        EXPECT_EQ(num, m);
        heads.push_back({rec.var, rec.ltype, rec.level, rec.time});
    }
    EXPECT_GT(heads.size(), messages);  // some messages hold several products
    EXPECT_EQ(heads.size(), 42u);        // as grib_ls counts them
    auto same = [&](std::size_t k) {
        return rec.var == heads[k].var && rec.ltype == heads[k].ltype &&
               rec.level == heads[k].level && rec.time == heads[k].time;
    };
    // every product again, with data, in order
    for (std::size_t k = 0; k < heads.size(); ++k) {
        ASSERT_EQ(read(s, static_cast<int>(k), 0), 0) << k;
        EXPECT_TRUE(same(k)) << k;
        ASSERT_NE(rec.grid, nullptr);
        // the same number again: header, then data
        ASSERT_EQ(read(s, static_cast<int>(k), 1), 0);
        EXPECT_TRUE(same(k)) << k;
        ASSERT_EQ(GRD_read(s, &rec, 0, &num), 0);
        EXPECT_TRUE(same(k)) << k;
    }
    // backward, and jumps over several products
    for (std::size_t k = heads.size(); k-- > 0;) {
        ASSERT_EQ(read(s, static_cast<int>(k), 1), 0) << k;
        EXPECT_TRUE(same(k)) << k;
    }
    for (std::size_t k = 0; k < heads.size(); k += 3) {
        ASSERT_EQ(read(s, static_cast<int>(k), 0), 0) << k;
        EXPECT_TRUE(same(k)) << k;
    }
}

// The shipped sample is a 9 x 9 window of the NAM file: all 97 messages of
// both are read in turn, and every value of every message equals the
// original at a fixed offset.
TEST_F(GrdRead, SampleFileIsAWindowOfTheNamFile) {
    int a = open_grib(data_dir() + "/sample.grb");
    int b = open_grib(test_data("eta_grib1.grb"));
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    GRD_report cut, full;
    GRD_init(&cut);
    GRD_init(&full);
    int i0 = -1, j0 = -1, count = 0;
    for (int m = 0;; ++m) {
        int na = m, nb = m;
        int ra = GRD_read(a, &cut, 0, &na);
        int rb = GRD_read(b, &full, 0, &nb);
        ASSERT_EQ(ra, rb);
        if (ra != 0) break;
        EXPECT_EQ(na, m);
        EXPECT_EQ(nb, m);
        ASSERT_EQ(cut.var, full.var);
        ASSERT_EQ(cut.level, full.level);
        ASSERT_EQ(cut.domain.nx, 9);
        ASSERT_EQ(cut.domain.ny, 9);
        int NX = full.domain.nx, NY = full.domain.ny;
        auto fits = [&](int oi, int oj) {
            for (int j = 0; j < 9; ++j)
                for (int i = 0; i < 9; ++i)
                    if (cut.grid[j * 9 + i] != full.grid[(oj + j) * NX + oi + i]) return false;
            return true;
        };
        if (i0 < 0) {
            for (int oj = 0; oj + 9 <= NY && i0 < 0; ++oj)
                for (int oi = 0; oi + 9 <= NX; ++oi)
                    if (fits(oi, oj)) {
                        i0 = oi;
                        j0 = oj;
                        break;
                    }
            ASSERT_GE(i0, 0);
        }
        EXPECT_TRUE(fits(i0, j0)) << "message " << m;
        ++count;
    }
    EXPECT_EQ(count, 97);
    GRD_free(&cut);
    GRD_free(&full);
}

// Two files read in turns keep their own places, edition 2 continuations
// included.
TEST_F(GrdRead, FilesReadInTurnsKeepTheirPlaces) {
    std::string ed2 = std::string(RAZIVA_TEST_DATA_DIR) + "/grib/eta_part.grb";
    if (read_file(ed2).empty()) GTEST_SKIP() << "no edition 2 sample";
    int a = open_grib(ed2);
    ASSERT_GE(a, 0);
    std::vector<int> vars, levels;
    for (int m = 0;; ++m) {
        if (read(a, m, 1) != 0) break;
        vars.push_back(rec.var);
        levels.push_back(rec.level);
    }
    ASSERT_GT(vars.size(), 3u);
    int b = open_grib(write_file("three.grb", three_messages()));
    ASSERT_GE(b, 0);
    for (std::size_t k = 0; k < vars.size(); ++k) {
        ASSERT_EQ(read(a, static_cast<int>(k), 0), 0) << k;
        EXPECT_EQ(rec.var, vars[k]) << k;
        EXPECT_EQ(rec.level, levels[k]) << k;
        int other = static_cast<int>(k % 3);
        ASSERT_EQ(GRD_read(b, &rec, k % 2, &other), 0) << k;
        EXPECT_EQ(rec.level, other == 1 ? 700 : 500) << k;
        EXPECT_EQ(rec.var, other == 2 ? 7 : 11) << k;
    }
}

// Index positioning: the same number again keeps its line, number 0 again
// reads the first line anew, each positioning case names itself in the
// debug trace, and a line without an offset ends the index.
TEST_F(GrdRead, IndexFileLinesByNumber) {
    std::string grib = three_messages();
    std::string path = write_file("idx2.grb", grib);
    std::size_t m1 = grib.find("GRIB", 4);
    std::string index = "0 ETA/84 255 0 100 500 11\n\n" + std::to_string(m1) +
                        " ETA/84 255 0 100 700 11\n"
                        "garbage here\n0 ETA/84 255 0 100 300 11\n";
    std::string hdr = write_file("idx2.hdr", index);
    int s = open_grib(path);
    ASSERT_EQ(GRD_hdr_open(s, hdr.c_str()), 0);

    MESS_set(1, MESS_DEBUG);
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(read(s, 0, 1), 0);  // first line
    EXPECT_EQ(rec.level, 500);
    ASSERT_EQ(read(s, 1, 1), 0);  // next line (the blank one passed over)
    EXPECT_EQ(rec.level, 700);
    ASSERT_EQ(read(s, 1, 1), 0);  // the same line again
    EXPECT_EQ(rec.level, 700);
    ASSERT_EQ(read(s, 0, 1), 0);  // back to the start
    EXPECT_EQ(rec.level, 500);
    EXPECT_EQ(num, 0);
    std::string text = ::testing::internal::GetCapturedStdout();
    MESS_set(-1, MESS_DEBUG);
    EXPECT_NE(text.find("GRIB HDR1: 1 ETA/84 255 0 100 700 11\n"), std::string::npos) << text;
    EXPECT_NE(text.find("GRIB HDR2: 1 ETA/84 255 0 100 700 11\n"), std::string::npos) << text;
    EXPECT_NE(text.find("GRIB HDR3: 0 ETA/84 255 0 100 500 11\n"), std::string::npos) << text;
    EXPECT_NE(text.find("GRIB HDR--84 255 0 100 700 11\n"), std::string::npos) << text;

    // the garbage line ends the index: the line behind it is never reached
    EXPECT_EQ(read(s, 2, 1), -1);
    EXPECT_EQ(read(s, 3, 1), -1);
}
