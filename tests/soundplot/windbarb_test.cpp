// Wind barbs read back from the metafile: staff, flags, full and half
// barbs for a west wind, whose staff points west and whose barbs lie on the
// north side.
#include "soundplot_fixture.h"

using namespace soundplot_test;

namespace {

struct Barb {
    std::vector<float> flags, full, half;  // staff fraction where each starts
    int staffs = 0;
    float staff_from = -1;
};

// Station at (0.5, 0.5), staff length 0.1: a point at fraction f of the
// staff of a west wind lies at x = 0.5 - 0.1 f; barbs rise 0.05 (full) or
// 0.025 (half) to the north.
Barb read_barb(const std::vector<Rec> &recs) {
    Barb b;
    auto frac = [](float x) { return std::round((0.5f - x) / 0.1f * 100.0f) / 100.0f; };
    for (const Rec &r : recs) {
        if (r.tag == "FA") {
            EXPECT_EQ(r.pts.size(), 3u);
            EXPECT_NEAR(r.pts[1].y - 0.5f, 0.05f, 1e-5);  // flag tip to the north
            b.flags.push_back(frac(r.pts[0].x));
        }
        if (r.tag != "PL" || r.pts.size() != 2) continue;
        float rise = r.pts[1].y - 0.5f;
        EXPECT_NEAR(r.pts[0].y, 0.5f, 1e-5);  // every line starts on the staff
        if (std::fabs(rise) < 1e-5) {
            ++b.staffs;
            b.staff_from = frac(r.pts[0].x);
            EXPECT_NEAR(frac(r.pts[1].x), 1.0f, 1e-4);
        } else if (std::fabs(rise - 0.05f) < 1e-5) {
            b.full.push_back(frac(r.pts[0].x));
            EXPECT_NEAR(frac(r.pts[1].x) - frac(r.pts[0].x), 0.12f, 1e-4);
        } else if (std::fabs(rise - 0.025f) < 1e-5) {
            b.half.push_back(frac(r.pts[0].x));
            EXPECT_NEAR(frac(r.pts[1].x) - frac(r.pts[0].x), 0.06f, 1e-4);
        } else {
            ADD_FAILURE() << "barb line rising " << rise;
        }
    }
    return b;
}

// Draws the barb of a west wind at the station into a fresh metafile;
// -> its lines and flags, WIND_barb's result in rc.
std::vector<Rec> draw(float spd, float offset = 0.0f, int *rc = nullptr) {
    std::string path = test_file("windbarb.meta");
    EXPECT_EQ(open_ws(GWS_META, path), 0);
    int r = WIND_barb(0.5f, 0.5f, 270.0f, spd, 0.1f, offset);
    if (rc) *rc = r;
    close_ws();
    std::vector<Rec> out;
    for (const Rec &rec : parse_meta(read_all(path)))
        if (rec.tag == "PL" || rec.tag == "FA") out.push_back(rec);
    return out;
}

}  // namespace

TEST(WindBarb, FlagsBarbsAndHalfBarbsBySpeed) {
    // Calm and missing draw nothing; speeds above 300 are cut to 300.
    const std::vector<float> six = {1.0f, 0.88f, 0.76f, 0.64f, 0.52f, 0.4f};
    struct Case {
        float spd;
        std::vector<float> flags, full, half;
    };
    const Case cases[] = {
        {0, {}, {}, {}},          {MISSING_F, {}, {}, {}},        {1, {}, {}, {}},
        {5, {}, {}, {0.88f}},     {10, {}, {1.0f}, {}},           {15, {}, {1.0f}, {0.88f}},
        {50, {1.0f}, {}, {}},     {65, {1.0f}, {0.76f}, {0.64f}}, {300, six, {}, {}},
        {480, six, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.spd);
        int rc = 0;
        std::vector<Rec> recs = draw(c.spd, 0, &rc);
        Barb b = read_barb(recs);
        const bool calm = c.spd == 0 || c.spd == MISSING_F;
        EXPECT_EQ(rc == -1, calm);
        EXPECT_EQ(recs.empty(), calm);
        EXPECT_EQ(b.staffs, calm ? 0 : 1);
        EXPECT_EQ(b.flags, c.flags);
        EXPECT_EQ(b.full, c.full);
        EXPECT_EQ(b.half, c.half);
    }
}

TEST(WindBarb, OffsetLeavesAGapAtTheStation) {
    Barb b = read_barb(draw(10, 0.02f));
    EXPECT_NEAR(b.staff_from, 0.2f, 1e-4);
}

TEST(WindBarbCounts, RoundToTheNearestFiveKnots) {
    struct Case {
        float spd;
        int flags, barbs, half;
    } const cases[] = {{2, 0, 0, 0}, {3, 0, 0, 1}, {7, 0, 0, 1}, {8, 0, 1, 0},
                       {48, 1, 0, 0}, {52, 1, 0, 0}, {53, 1, 0, 1}, {100, 2, 0, 0}};
    for (const Case &c : cases) {
        int f = 0, b = 0, h = 0;
        WIND_barb_counts(c.spd, &f, &b, &h);
        EXPECT_EQ(std::make_tuple(f, b, h), std::make_tuple(c.flags, c.barbs, c.half)) << c.spd;
    }
}
