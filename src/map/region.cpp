// region.cpp - plot domains written as text: the field forms, projection
// names, built-in regions, regions files, domain comparison and the station
// priority that goes with a domain's size.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mapfile.h"
#include "zupcty.h"
#include "zupresrc.h"

namespace {

constexpr float kUnset = -9999.0f;
constexpr int kDefNx = 25;
constexpr int kDefNy = 17;
constexpr float kDefSpacing = 1.2f;
constexpr int kMaxDepth = 8;  // regions files naming regions files

// The module state.
struct State {
    int base_prior = 6;  // station priority of the current domain
    int depth = 0;       // nesting of region decoding
    // The station looked up last during one decode (every form that holds
    // a clat field would otherwise search the database again).
    std::string station_text;
    bool station_found = false;
    float station_lat = 0.0f, station_lon = 0.0f;
};

State &state() {
    static State s;
    return s;
}

// Projection names; "la" comes after "lat" and "lamb" on purpose.
struct ProjName {
    const char *name;
    int code;
    bool whole;  // the whole text must match
};
const ProjName kProjNames[] = {
    {"polar", MAP_polar, false}, {"ps", MAP_polar, false},
    {"ll", MAP_latlon, false},   {"lat", MAP_latlon, false},
    {"me", MAP_mercator, false}, {"lamb", MAP_lambert, false},
    {"lc", MAP_lambert, false},  {"or", MAP_ortho, false},
    {"gn", MAP_gnomonic, false}, {"mo", MAP_mollweide, false},
    {"la", MAP_lambert_az, false}, {"sat", MAP_satellite, false},
    {"xy", MAP_xy, false},       {"xlogy", MAP_xlogy, false},
    {"xlogp", MAP_xlogy, false}, {"vert", MAP_xlogy, false},
    {"hodo", MAP_hodo, false},   {"cat", MAP_cat, false},
    {"xp", MAP_xp, true},        {"skewt", MAP_skewt, false},
    {"therm", MAP_skewt, false}, {"stuve", MAP_stuve, false},
    {"ema", MAP_emagram, false}, {"teph", MAP_teph, false},
    {"rteph", MAP_rteph, false}, {"zoom", MAP_zoom, false},
    {"size", MAP_size, false},   {"pix", MAP_pixel, false},
    {"miss", MAP_none, false},
};

struct BuiltIn {
    const char *name;
    float clat, clon, d;
};
const BuiltIn kRegions[] = {
    {"us", 39.0f, -97.0f, 2.3f},  {"ne", 42.0f, -76.0f, 0.9f},
    {"at", 37.0f, -82.0f, 0.9f},  {"se", 31.0f, -88.0f, 1.1f},
    {"mw", 43.0f, -93.0f, 1.1f},  {"sp", 32.5f, -100.0f, 1.2f},
    {"nw", 44.0f, -112.0f, 1.0f}, {"sw", 37.0f, -112.0f, 1.0f},
};

bool iequal(const std::string &a, const char *b) { return stricmp(a.c_str(), b) == 0; }

bool starts_with_i(const std::string &text, const char *prefix) {
    const std::size_t n = std::strlen(prefix);
    return text.size() >= n && strnicmp(text.c_str(), prefix, static_cast<int>(n)) == 0;
}

std::vector<std::string> split(const std::string &text, char delim) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find(delim, start);
        out.push_back(text.substr(start, pos == std::string::npos ? pos : pos - start));
        if (pos == std::string::npos) break;
        start = pos + 1;
    }
    return out;
}

std::string trimmed(const char *text) {
    std::string s = text ? text : "";
    const std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    const std::size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

// A whole field as a number ("%f" / "%d" over the complete text).
bool read_float(const std::string &f, float *v) {
    if (f.empty()) return false;
    int used = 0;
    float x;
    if (std::sscanf(f.c_str(), "%f%n", &x, &used) != 1 || used != static_cast<int>(f.size()))
        return false;
    if (!std::isfinite(x)) return false;
    *v = x;
    return true;
}
bool read_int(const std::string &f, int *v) {
    if (f.empty()) return false;
    int used = 0;
    long x;
    if (std::sscanf(f.c_str(), "%ld%n", &x, &used) != 1 || used != static_cast<int>(f.size()))
        return false;
    if (x < -1000000 || x > 1000000) return false;
    *v = static_cast<int>(x);
    return true;
}

// Projection field: name[:items].  With one item it is plon; otherwise
// [e:]plat:plon:param...; an empty item leaves its field unset.
bool read_proj(const std::string &f, Domain *dom) {
    const std::vector<std::string> items = split(f, ':');
    const int code = DOM_proj_str(items[0].c_str());
    if (code == -1) return false;
    dom->proj = code;
    if (items.size() == 1) return true;
    std::size_t i = 1;
    if (items.size() == 2 && !iequal(items[1], "e")) {
        return items[1].empty() || read_float(items[1], &dom->plon);
    }
    if (iequal(items[i], "e")) {
        dom->ellipse = 1;
        ++i;
    }
    float *targets[] = {&dom->plat, &dom->plon, &dom->param[0], &dom->param[1],
                        &dom->param[2], &dom->param[3]};
    for (std::size_t t = 0; i < items.size(); ++i, ++t) {
        if (t >= 6) return false;
        if (items[i].empty()) continue;
        if (!read_float(items[i], targets[t])) return false;
    }
    return true;
}

// "id:" station or "id:" file ":" station: the centre at the station.
bool read_station(const std::string &f, Domain *dom) {
    if (!starts_with_i(f, "id:")) return false;
    const std::string rest = f.substr(3);
    if (rest.empty()) return false;
    State &s = state();
    if (!s.station_text.empty() && s.station_text == rest) {
        if (!s.station_found) return false;
        dom->clat = s.station_lat;
        dom->clon = s.station_lon;
        return true;
    }
    CTY_data cty{};
    int found;
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string::npos && colon > 0 && colon + 1 < rest.size())
        found = CTY_get_file(rest.substr(colon + 1).c_str(), rest.substr(0, colon).c_str(), &cty);
    else
        found = CTY_get(rest.c_str(), &cty);
    s.station_text = rest;
    s.station_found = found != 0;
    s.station_lat = cty.lat;
    s.station_lon = cty.lon;
    if (!found) return false;
    dom->clat = cty.lat;
    dom->clon = cty.lon;
    return true;
}

const char *kFormNames[] = {
    "",
    "proj,plon,clat,clon,nx,ny,dx,dy",
    "proj,clat,clon,nx,ny,dx,dy",
    "proj,plon,clat,clon,dx,dy",
    "proj,clat,clon,nx,ny,dx",
    "clat,clon,nx,ny,dx,dy",
    "proj,clat,clon,dx,dy",
    "clat,clon,nx,ny,dx",
    "proj,clat,clon,dx",
    "clat,clon,nx,ny",
    "clat,clon,dx",
    "proj,clat,clon",
    "clat,clon",
    "id:station",
    "region",
};

// One line of a regions file: "name word number domain".  A line that
// holds only a name (or whose domain cannot be read) gives that word as its
// domain text.
struct RegionLine {
    char name[161];
    char text[161];
    bool bare;
};

// The next line of a regions file that is not a comment; false at the end.
bool read_region_line(FILE *fp, RegionLine *r) {
    char line[512];
    while (map_read_line(fp, line, sizeof line)) {
        if (line[0] == '#') continue;
        const int n = std::sscanf(line, "%160s %*s %*d %160s", r->name, r->text);
        if (n < 1) continue;
        r->bare = n < 2;
        if (r->bare) copy_field(r->text, r->name);
        return true;
    }
    return false;
}

// Menu of the regions of a file; the chosen region's domain text in out.
bool region_menu(const std::string &file, std::string *out) {
    char path[FILE_NAME_LEN];
    FILE_add_res_path("file_path", file.c_str(), path);
    FilePtr fp = map_open_data(path);
    if (!fp) {
        MESS_print(0x80000000L, "Unable to open region file: %s\n", path);
        return false;
    }
    std::vector<std::string> names, texts;
    RegionLine r;
    while (names.size() < 200 && read_region_line(fp.get(), &r)) {
        names.emplace_back(r.name);
        texts.emplace_back(r.text);
    }
    if (names.empty()) return false;
    std::vector<MENU_item> menu(names.size() + 2);
    menu[0] = MENU_item{"Return to main menu", "main", 0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}};
    for (std::size_t i = 0; i < names.size(); ++i)
        menu[i + 1] = MENU_item{names[i].c_str(), names[i].c_str(), static_cast<int>(i + 1),
                                {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}};
    menu[names.size() + 1] = MENU_item{nullptr, nullptr, 0, {0}};
    char answer[MENU_ANSWER_LEN] = "";
    const std::string title = "\n        Regions in " + file + "\n";
    const int idx = MENU_process(title.c_str(), menu.data(), 0, "Enter the region: ", answer, 2);
    if (idx < 1 || idx > static_cast<int>(names.size())) return false;
    *out = texts[idx - 1];
    return true;
}

// Region form: returns true when the name was resolved into dom.
void decode_region(const std::string &f, Domain *dom) {
    State &s = state();
    dom->proj = -1;
    std::string text;
    bool found = false;
    if (starts_with_i(f, "fi:")) {
        char out[FILE_NAME_LEN];
        found = DOM_search_file(f.substr(3).c_str(), nullptr, out, sizeof out) == 1;
        if (found) text = out;
    } else if (f.find(':') != std::string::npos) {
        const std::size_t colon = f.find(':');
        const std::string file = f.substr(0, colon), region = f.substr(colon + 1);
        if (region.empty()) {
            found = region_menu(file, &text);
        } else {
            char out[FILE_NAME_LEN];
            found = DOM_search_file(file.c_str(), region.c_str(), out, sizeof out) == 1;
            if (found) text = out;
        }
    } else {
        char out[FILE_NAME_LEN];
        if (DOM_search_file("zup.reg", f.c_str(), out, sizeof out) == 1) {
            text = out;
            found = true;
        } else if (DOM_get_def_region(f.c_str(), dom)) {
            return;
        }
    }
    if (!found || s.depth >= kMaxDepth) return;
    // A region whose text is its own name would recurse for ever.
    if (stricmp(text.c_str(), f.c_str()) == 0) return;
    Domain sub;
    ++s.depth;
    const int r = DOM_decode(text.c_str(), &sub);
    --s.depth;
    if (r == 1 || r == 2) *dom = sub;
}

bool fill_form(int form, const std::vector<std::string> &f, Domain *d) {
    const int n = static_cast<int>(f.size());
    std::vector<const char *> v(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) v[i] = f[i].c_str();
    const char *const *a = v.data();
    switch (form) {
    case 1: return DOM_set_params(n, a, d, DOM_proj, DOM_plon, DOM_clat, DOM_clon, DOM_nx, DOM_ny, DOM_dx, DOM_dy) == 0;
    case 2: return DOM_set_params(n, a, d, DOM_proj, DOM_clat, DOM_clon, DOM_nx, DOM_ny, DOM_dx, DOM_dy) == 0;
    case 3: return DOM_set_params(n, a, d, DOM_proj, DOM_plon, DOM_clat, DOM_clon, DOM_dx, DOM_dy) == 0;
    case 4: return DOM_set_params(n, a, d, DOM_proj, DOM_clat, DOM_clon, DOM_nx, DOM_ny, DOM_dx) == 0;
    case 5: return DOM_set_params(n, a, d, DOM_clat, DOM_clon, DOM_nx, DOM_ny, DOM_dx, DOM_dy) == 0;
    case 6: return DOM_set_params(n, a, d, DOM_proj, DOM_clat, DOM_clon, DOM_dx, DOM_dy) == 0;
    case 7: return DOM_set_params(n, a, d, DOM_clat, DOM_clon, DOM_nx, DOM_ny, DOM_dx) == 0;
    case 8: return DOM_set_params(n, a, d, DOM_proj, DOM_clat, DOM_clon, DOM_dx) == 0;
    case 9: return DOM_set_params(n, a, d, DOM_clat, DOM_clon, DOM_nx, DOM_ny) == 0;
    case 10: return DOM_set_params(n, a, d, DOM_clat, DOM_clon, DOM_dx) == 0;
    case 11: return DOM_set_params(n, a, d, DOM_proj, DOM_clat, DOM_clon) == 0;
    // A station alone is form 13, not a clat field without its clon.
    case 12: return n == 2 && DOM_set_params(n, a, d, DOM_clat, DOM_clon) == 0;
    case 13: return DOM_set_params(n, a, d, DOM_station) == 0;
    default: return false;
    }
}

// Defaults a form fills in once it fits.
void complete_form(int form, Domain *d) {
    const bool has_proj = form == 1 || form == 2 || form == 3 || form == 4 || form == 6 ||
                          form == 8 || form == 11;
    if (!has_proj) d->proj = MAP_polar;
    // "size,nx,ny" with numbers that are not whole: the centre fields hold
    // the plot size.
    if (form == 11 && d->proj == MAP_size) {
        d->nx = static_cast<int>(d->clat);
        d->ny = static_cast<int>(d->clon);
    }
    if (d->nx == MISSING) d->nx = kDefNx;
    if (d->ny == MISSING) d->ny = kDefNy;
    if (d->dx == kUnset) d->dx = (d->proj == MAP_zoom) ? 1.0f : kDefSpacing;
    if (d->dy == kUnset) d->dy = (d->dx != kUnset) ? d->dx : kDefSpacing;
}

}  // namespace

int DOM_init(Domain *dom) {
    if (!dom) return -1;
    dom->proj = MISSING;
    dom->nx = MISSING;
    dom->ny = MISSING;
    dom->plat = dom->plon = dom->clat = dom->clon = kUnset;
    dom->dx = dom->dy = kUnset;
    for (float &p : dom->param) p = kUnset;
    dom->ellipse = 0;
    return 0;
}

int DOM_proj_str(const char *name) {
    if (!name) return -1;
    const std::string text = trimmed(name);
    if (text.empty()) return -1;
    for (const ProjName &p : kProjNames) {
        if (p.whole ? iequal(text, p.name) : starts_with_i(text, p.name)) {
            // "rteph" must not be taken by a shorter name; none of the
            // others is a prefix of it.
            return p.code;
        }
    }
    return -1;
}

int DOM_set_params(int count, const char *const *fields, Domain *dom, int k1, int k2, int k3,
                   int k4, int k5, int k6, int k7, int k8) {
    const int kinds[8] = {k1, k2, k3, k4, k5, k6, k7, k8};
    if (!dom || count < 0 || (count > 0 && !fields)) return -1;
    int fi = 0;
    bool skip_clon = false;
    for (int ki = 0; ki < 8 && kinds[ki] != DOM_no_field; ++ki) {
        const int kind = kinds[ki];
        if (kind == DOM_clon && skip_clon) {
            skip_clon = false;
            continue;
        }
        if (fi >= count) return kind;
        const std::string f = trimmed(fields[fi++]);
        bool ok = false;
        switch (kind) {
        case DOM_proj: ok = read_proj(f, dom); break;
        case DOM_plon: ok = read_float(f, &dom->plon); break;
        case DOM_clat:
            ok = read_float(f, &dom->clat);
            if (!ok && starts_with_i(f, "id:")) ok = skip_clon = read_station(f, dom);
            break;
        case DOM_station: ok = read_station(f, dom); break;
        case DOM_clon: ok = read_float(f, &dom->clon); break;
        case DOM_nx: ok = read_int(f, &dom->nx) && dom->nx > 0; break;
        case DOM_ny: ok = read_int(f, &dom->ny) && dom->ny > 0; break;
        case DOM_dx: ok = read_float(f, &dom->dx); break;
        case DOM_dy: ok = read_float(f, &dom->dy); break;
        case DOM_region: ok = !f.empty(); break;
        default: ok = false; break;
        }
        if (!ok) return kind;
    }
    if (fi != count) return -1;  // fields left over
    return 0;
}

int DOM_get_def_region(const char *name, Domain *dom) {
    if (!name || !dom) return 0;
    const std::string text = trimmed(name);
    for (const BuiltIn &r : kRegions) {
        if (iequal(text, r.name)) {
            dom->proj = MAP_polar;
            dom->clat = r.clat;
            dom->clon = r.clon;
            dom->plon = r.clon;
            dom->dx = dom->dy = r.d;
            dom->nx = kDefNx;
            dom->ny = kDefNy;
            return 1;
        }
    }
    if (iequal(text, "var")) {
        dom->proj = MAP_polar;
        dom->clat = ZUP_promptf("Enter the central latitude: ");
        dom->clon = ZUP_promptf("Enter the central longitude: ");
        dom->plon = dom->clon;
        dom->dx = dom->dy = kDefSpacing;
        dom->nx = kDefNx;
        dom->ny = kDefNy;
        return 1;
    }
    return 0;
}

int DOM_search_file(const char *file, const char *region, char *out, std::size_t out_size) {
    if (!file || !*file) return 0;
    char path[FILE_NAME_LEN];
    FILE_add_res_path("file_path", file, path);
    FilePtr fp = map_open_data(path);
    if (!fp) {
        MESS_print(0x80000000L, "Unable to open region file: %s\n", path);
        return 0;
    }
    const bool any = !region || !*region;
    RegionLine r;
    while (read_region_line(fp.get(), &r)) {
        // A line with only a name is a domain text of its own and answers
        // whatever region is asked for (a file holding one domain).
        if (!r.bare && !any && stricmp(r.name, region) != 0) continue;
        if (out && out_size > 0) copy_field(out, out_size, r.text);
        return 1;
    }
    return 0;
}

int DOM_decode(const char *text, Domain *dom) {
    if (!dom) return -1;
    DOM_init(dom);
    const std::string t = trimmed(text);
    if (t.empty() || iequal(t, "miss")) {
        FLAG_set(5, MISSING);
        return MISSING;
    }
    const std::vector<std::string> fields = split(t, ',');
    if (state().depth == 0) state().station_text.clear();
    int result = -1;
    Domain d;
    if (fields.size() == 3 && iequal(trimmed(fields[0].c_str()), "size")) {
        DOM_init(&d);
        if (read_int(trimmed(fields[1].c_str()), &d.nx) &&
            read_int(trimmed(fields[2].c_str()), &d.ny)) {
            d.proj = MAP_size;
            *dom = d;
            result = 1;
            MESS_print(0x40000000L, "%2d %s\n", 11, "size,nx,ny");
        }
    }
    for (int form = 1; result == -1 && form <= 13; ++form) {
        DOM_init(&d);
        if (!fill_form(form, fields, &d)) continue;
        // "size" with centre fields: they must be usable as a plot size.
        if (form == 11 && d.proj == MAP_size &&
            !(std::fabs(d.clat) <= 1e6f && std::fabs(d.clon) <= 1e6f))
            continue;
        complete_form(form, &d);
        *dom = d;
        result = 1;
        MESS_print(0x40000000L, "%2d %s\n", form, kFormNames[form]);
    }
    if (result == -1 && fields.size() == 1 && !fields[0].empty()) {
        DOM_init(&d);
        decode_region(trimmed(fields[0].c_str()), &d);
        *dom = d;
        result = 2;
        MESS_print(0x40000000L, "%2d %s\n", 14, kFormNames[14]);
    }
    if (result == -1) {
        DOM_init(dom);
        MESS_print(192, "DOM_decode: Invalid plot domain\n");
    }
    FLAG_set(5, result);
    FILE_set_key("r", t.c_str());
    if (dom->ny != MISSING && dom->dy != kUnset)
        DOM_set_base_prior((dom->ny - 1) * dom->dy);
    return result;
}

int DOM_comp(const Domain *a, const Domain *b) {
    if (!a || !b) return 0;
    if (a == b) return 1;
    auto same_pole = [](float pa, float pb, float ca, float cb) {
        if (pa == pb) return true;
        if (pa == kUnset) return pb == ca;
        if (pb == kUnset) return pa == cb;
        return false;
    };
    if (a->proj != b->proj || a->clat != b->clat || a->clon != b->clon || a->dx != b->dx ||
        a->dy != b->dy || a->nx != b->nx || a->ny != b->ny || a->ellipse != b->ellipse)
        return 0;
    for (int i = 0; i < 5; ++i)
        if (a->param[i] != b->param[i]) return 0;
    if (!same_pole(a->plat, b->plat, a->clat, b->clat)) return 0;
    if (!same_pole(a->plon, b->plon, a->clon, b->clon)) return 0;
    return 1;
}

float DOM_aspect(const Domain *dom) {
    if (!dom || dom->nx < 2 || dom->ny < 2) return 1.0f;
    return static_cast<float>(dom->nx - 1) / static_cast<float>(dom->ny - 1);
}

int DOM_set_base_prior(float height) {
    int p;
    if (height > 50.0f) p = 1;
    else if (height > 25.0f) p = 2;
    else if (height > 12.5f) p = 3;
    else if (height > 6.25f) p = 4;
    else if (height > 3.0f) p = 5;
    else p = 6;
    const char *adj = RES_get("stat_prior");
    if (adj) {
        const std::string a = trimmed(adj);
        if (a.size() >= 2 && (a[0] == '+' || a[0] == '-') && a[1] >= '0' && a[1] <= '9')
            p += (a[0] == '+' ? 1 : -1) * (a[1] - '0');
        else if (!a.empty() && a[0] >= '0' && a[0] <= '9')
            p = a[0] - '0';
    }
    state().base_prior = p;
    return 0;
}

int DOM_get_base_prior() { return state().base_prior; }
