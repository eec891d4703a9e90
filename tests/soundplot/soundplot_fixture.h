// soundplot_fixture.h - helpers of the sounding-plot tests: an observed
// sounding loaded into the package, plots written to the text metafile and
// the metafile's records read back.
#ifndef SOUNDPLOT_FIXTURE_H
#define SOUNDPLOT_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "gks/gks_fixture.h"
#include "sounding/sounding_io.h"
#include "zup.h"
#include "zupcty.h"
#include "zupplt.h"
#include "zupresrc.h"
#include "zupsnd.h"
#include "zupupa.h"

namespace soundplot_test {

// A file of the build's test directory private to the running test (tests
// of one program run in parallel under CTest).
inline std::string test_file(const std::string &name) {
    const testing::TestInfo *t = testing::UnitTest::GetInstance()->current_test_info();
    return out_path(std::string(t ? t->test_suite_name() : "") + "_" + (t ? t->name() : "") +
                    "_" + name);
}

// One record of the text metafile: its tag, points and text.
struct Rec {
    std::string tag;
    std::vector<Gpt> pts;
    std::string text;
};

// Reads "PL n x,y ..." (continued on indented lines), "TE x,y text",
// "ME text" and every other record as its tag and the rest as text.
inline std::vector<Rec> parse_meta(const std::string &meta) {
    std::vector<Rec> recs;
    std::istringstream in(meta);
    std::string line;
    auto points = [](Rec &r, std::istringstream &ss) {
        std::string w;
        while (ss >> w) {
            Gpt p;
            if (std::sscanf(w.c_str(), "%f,%f", &p.x, &p.y) == 2) r.pts.push_back(p);
        }
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == ' ' && !recs.empty()) {
            std::istringstream ss(line);
            points(recs.back(), ss);
            continue;
        }
        Rec r;
        std::istringstream ss(line);
        ss >> r.tag;
        if (r.tag == "PL" || r.tag == "PM" || r.tag == "FA") {
            int n = 0;
            ss >> n;
            points(r, ss);
        } else if (r.tag == "TE") {
            // "TE x,y text": the text starts after one blank.
            std::string at;
            ss >> at;
            Gpt p{};
            std::sscanf(at.c_str(), "%f,%f", &p.x, &p.y);
            r.pts.push_back(p);
            std::getline(ss, r.text);
            if (!r.text.empty() && r.text[0] == ' ') r.text.erase(0, 1);
        } else {
            std::getline(ss >> std::ws, r.text);
        }
        recs.push_back(r);
    }
    return recs;
}

// The records of tag ("PL", "PM", "TE"...) drawn between the status
// message mess (e.g. "Thermo Values") and the next status message.
inline std::vector<Rec> after(const std::vector<Rec> &recs, const std::string &mess, const char *tag) {
    std::vector<Rec> out;
    bool in = false;
    for (const Rec &r : recs) {
        if (r.tag == "ME") in = r.text == mess;
        else if (in && r.tag == tag) out.push_back(r);
    }
    return out;
}

inline std::vector<std::string> texts_after(const std::vector<Rec> &recs, const std::string &mess) {
    std::vector<std::string> out;
    for (const Rec &r : after(recs, mess, "TE")) out.push_back(r.text);
    return out;
}

inline bool has_text(const std::vector<std::string> &texts, const std::string &t) {
    for (const std::string &s : texts)
        if (s == t) return true;
    return false;
}

// Every value printed after a panel prefix ("CAPE:" -> "2950") in the
// order the panels were drawn.
inline std::vector<std::string> panel_values(const std::vector<Rec> &recs, const std::string &prefix) {
    std::vector<std::string> out;
    for (const std::string &s : texts_after(recs, "Thermo Values"))
        if (s.rfind(prefix, 0) == 0) out.push_back(s.substr(prefix.size()));
    return out;
}

// The last of them, "" if absent.
inline std::string panel_value(const std::vector<Rec> &recs, const std::string &prefix) {
    std::vector<std::string> v = panel_values(recs, prefix);
    return v.empty() ? "" : v.back();
}

// The observed Norman sounding of 22 May 2011 12Z, loaded as the package's
// temperature and wind levels and analysed.
inline std::vector<UPA_level> &oun_levels() {
    static std::vector<UPA_level> lev;
    return lev;
}

inline void load_levels(const std::vector<UPA_level> &levels, const char *id = "OUN",
                        int wmo = 72357) {
    oun_levels() = levels;
    std::vector<UPA_level> &lev = oun_levels();
    int n = static_cast<int>(lev.size());
    THERM_set_data(n ? lev[0].p : 1000.0f, lev.data(), n, lev.data(), n);
    THERM_set_id(id, wmo);
    UPA_set_datim("12Z SUN 22 MAY 11");
    THERM_calc();
}

inline void load_oun() {
    load_levels(sounding_test::levels_of(
        sounding_test::read_observed(sounding_test::data_path("20110522_OUN_12Z.txt"))));
}

// Start-up state of the plot modules with every plot part on and the
// shipped data files; the device writes the text metafile path.
inline void reset_plot_state(const std::string &path) {
    setenv("SOURCE_DATE_EPOCH", "0", 1);
    unsetenv("PSCOLOR");
    RES_clear();
    FLAG_reset(MISSING);
    FLAG_resetplot(1);
    PLT_reset_state();
    THERM_plot_reset();
    THERM_set_lines(50, 10, 10, 10, 0);
    THERM_set_data_style(THERM_PANEL_FULL);
    THERM_set_parcel_path(1);
    HODO_set_dir(-1);
    HODO_set_lines(45, 25);
    RES_put("file_path", RAZIVA_DATA_DIR);
    RES_put("device", ("m," + path).c_str());
    CLR_clear_table();
    gset_font_list("");
}

// Draws one plot of type into a fresh metafile and returns its records.
inline std::vector<Rec> plot_meta(int type, const std::string &name) {
    std::string path = test_file(name);
    RES_put("device", ("m," + path).c_str());
    FLAG_set(11, type);
    Domain d;
    DOM_init(&d);
    THERM_plot(&d);
    return parse_meta(read_all(path));
}

// Page NDC point of a plane point, from the last "WIN 2" and "VP 2" records.
inline Gpt plane_to_page(const std::vector<Rec> &recs, float x, float y) {
    float w[4] = {0, 0, 1, 1}, v[4] = {0, 0, 1, 1};
    for (const Rec &r : recs) {
        int n = 0;
        float a[4];
        if (std::sscanf(r.text.c_str(), "%d %f %f %f %f", &n, &a[0], &a[1], &a[2], &a[3]) != 5 ||
            n != 2)
            continue;
        if (r.tag == "WIN") std::copy(a, a + 4, w);
        if (r.tag == "VP") std::copy(a, a + 4, v);
    }
    return {v[0] + (x - w[0]) * (v[2] - v[0]) / (w[2] - w[0]),
            v[1] + (y - w[1]) * (v[3] - v[1]) / (w[3] - w[1])};
}

}  // namespace soundplot_test

#endif  // SOUNDPLOT_FIXTURE_H
