// plt_labl.cpp - the label store around the plot: six positions with up to
// six overlay lines each, label formats with date codes, the "label"
// resource and the drawing of the labels in the page margins.
#include <cstdio>
#include <cstring>
#include <string>

#include "colors.h"
#include "gks.h"
#include "gks_dev.h"
#include "zup.h"
#include "zupgks.h"
#include "zupplt.h"
#include "zupresrc.h"

namespace {

constexpr int kMaxLine = PLT_NUM_LINES - 1;  // highest overlay line
constexpr int kCopyLimit = 68;     // longest text a line may hold and be replaced
constexpr int kAppendLimit = 59;   // base length + appended text

struct LabelState {
    char label[PLT_NUM_POS][PLT_NUM_LINES][PLT_LABEL_LEN] = {};
    int label_ind[PLT_NUM_POS] = {};
    bool single[PLT_NUM_POS] = {};  // draw line 0 only
    int lab_type = 0;
    int overlay = 0;
    int num_over = 0;
    int over_base = 0;
    Date date = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    long fhour = MISSING;
};

LabelState L;

bool valid_pos(int pos) { return pos >= 0 && pos < PLT_NUM_POS; }

// The date and forecast hour of the labels: as set by the plot, else the
// date of the current data file and the forecast hour being processed.
Date label_date() {
    if (L.date.year != MISSING) return L.date;
    Date d;
    FILE_get_date(&d);
    return d;
}

long label_fhour() { return L.fhour != MISSING ? L.fhour : FLAG_getl(6); }

// Stores text at a position through the current overlay (the position
// functions).
int store(int pos, const char *text) {
    if (L.overlay < 0) return -1;
    if (L.lab_type < 0 && L.overlay > 0) return PLT_label_strcat(pos, text);
    return PLT_label_strcpy(pos, text);
}

int copy_line(int pos, int line, const char *text) {
    if (!valid_pos(pos) || line < 0 || line > kMaxLine) return -1;
    char *dst = L.label[pos][line];
    if (std::strlen(dst) > static_cast<std::size_t>(kCopyLimit)) return -1;
    copy_field(dst, PLT_LABEL_LEN, text ? text : "");
    return 0;
}

// "%2.2d" of a date field, nothing for a missing one.
void append_field(std::string &out, int v) {
    if (v == MISSING) return;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%2.2d", v);
    out += buf;
}

// Valid-time label of the label date and forecast hour; without the hour
// when hourly is false.
void append_valid(std::string &out, bool hourly) {
    char buf[DATE_LABEL_LEN] = "";
    Date d = label_date();
    int fh = static_cast<int>(label_fhour());
    if (!hourly) {
        // the valid day, then its label with the hour left out
        if (d.year != MISSING && d.hour != MISSING && fh != MISSING && fh != 0) {
            Date base = d;
            if (base.min == MISSING) base.min = 0;
            if (base.sec == MISSING) base.sec = 0;
            long t = DATE_num_sec(&base) + static_cast<long>(fh % 1000) * 3600L;
            DATE_get_gmdate(&t, &d);
        }
        d.hour = d.min = d.sec = MISSING;
        fh = 0;
    }
    DATE_make_label_valid_time(fh == MISSING ? 0 : fh, &d, buf);
    out += buf;
}

struct LabelItem {
    const char *name;
    int pos;
};
const LabelItem kLabelItems[] = {{"ul", PLT_UP_LEFT},  {"uc", PLT_UP_CENTER},
                                 {"ur", PLT_UP_RIGHT}, {"ll", PLT_LOW_LEFT},
                                 {"lc", PLT_LOW_CENTER}, {"lr", PLT_LOW_RIGHT}};

// One item of the "label" resource.  -> 1 stored, 0 not understood
int label_item(const char *item) {
    for (const LabelItem &li : kLabelItems) {
        if (strnicmp(item, li.name, 2) != 0) continue;
        const char *p = item + 2;
        char text[PLT_LABEL_LEN];
        if (*p == ':') {
            PLT_label_format(p + 1, text);
            copy_field(L.label[li.pos][0], PLT_LABEL_LEN, text);
            L.single[li.pos] = true;
            return 1;
        }
        if (*p >= '0' && *p <= '0' + kMaxLine && p[1] == ':') {
            PLT_label_format(p + 2, text);
            copy_field(L.label[li.pos][*p - '0'], PLT_LABEL_LEN, text);
            return 1;
        }
        return 0;
    }
    return 0;
}

}  // namespace

int PLT_init_labels() {
    for (int p = 0; p < PLT_NUM_POS; ++p) {
        for (int l = 0; l < PLT_NUM_LINES; ++l) L.label[p][l][0] = '\0';
        L.label_ind[p] = 0;
        L.single[p] = false;
    }
    L.num_over = 0;
    return 0;
}

int PLT_set_overlay(int n) {
    if (n > kMaxLine) n = kMaxLine;
    L.overlay = n;
    if (n > L.num_over) L.num_over = n;
    return 0;
}

int PLT_set_overlay_base(int n) {
    if (n > kMaxLine) n = kMaxLine;
    L.over_base = n;
    if (n > L.num_over) L.num_over = n;
    return 0;
}

int PLT_set_num_overlay(int n) {
    if (n < 0) L.num_over = -n;
    else if (n > L.num_over) L.num_over = n;
    return 0;
}

int PLT_next_overlay() {
    if (L.overlay > kMaxLine) return -1;
    ++L.overlay;
    if (L.lab_type > 0) ++L.lab_type;
    else if (L.lab_type < 0) --L.lab_type;
    for (int p = 0; p < PLT_NUM_POS; ++p)
        L.label_ind[p] = static_cast<int>(std::strlen(L.label[p][0]));
    if (L.overlay + 1 > L.num_over) L.num_over = L.overlay + 1;
    return L.overlay;
}

int PLT_get_overlay() { return L.overlay; }
int PLT_get_overlay_base() { return L.over_base; }
int PLT_get_num_over() { return L.num_over; }
int PLT_get_label_type() { return L.lab_type; }

int PLT_set_label_type(int type) {
    L.lab_type = type;
    return 0;
}

int PLT_label_up_left(const char *text) { return store(PLT_UP_LEFT, text); }
int PLT_label_up_center(const char *text) { return store(PLT_UP_CENTER, text); }
int PLT_label_up_right(const char *text) { return store(PLT_UP_RIGHT, text); }
int PLT_label_low_left(const char *text) { return store(PLT_LOW_LEFT, text); }
int PLT_label_low_center(const char *text) { return store(PLT_LOW_CENTER, text); }
int PLT_label_low_right(const char *text) { return store(PLT_LOW_RIGHT, text); }

int PLT_label_strcpy(int pos, const char *text) { return copy_line(pos, L.overlay, text); }

int PLT_label_strcat(int pos, const char *text) {
    if (!valid_pos(pos)) return -1;
    if (!text) text = "";
    int base = L.label_ind[pos];
    if (base + static_cast<int>(std::strlen(text)) > kAppendLimit) return -1;
    char *dst = L.label[pos][0];
    dst[base] = ' ';
    copy_field(dst + base + 1, static_cast<std::size_t>(PLT_LABEL_LEN - base - 1), text);
    return 0;
}

const char *PLT_get_label(int pos, int line) {
    if (!valid_pos(pos) || line < 0 || line > kMaxLine) return "";
    return L.label[pos][line];
}

int PLT_label_date(const Date *date) {
    if (date) L.date = *date;
    else DATE_init(&L.date);
    return 0;
}

int PLT_get_label_date(Date *date) {
    if (date) *date = label_date();
    return 0;
}

long PLT_get_label_fhour() { return label_fhour(); }

int PLT_label_for_time(long fhour) {
    L.fhour = fhour;
    return 0;
}

int PLT_label_format(const char *fmt, char *out) {
    if (!out) return -1;
    std::string s;
    char buf[DATE_LABEL_LEN];
    for (const char *p = fmt ? fmt : ""; *p; ++p) {
        if (*p == '_') {
            s += ' ';
            continue;
        }
        if (*p != '%' || !p[1]) {
            s += *p;
            continue;
        }
        const Date d = label_date();
        const long fhour = label_fhour();
        switch (*++p) {
        case 'D':
            buf[0] = '\0';
            DATE_make_label(&d, buf);
            s += buf;
            break;
        case 'V': append_valid(s, true); break;
        case 'W': append_valid(s, false); break;
        case 'y': append_field(s, d.year == MISSING ? MISSING : d.year % 100); break;
        case 'm': append_field(s, d.month); break;
        case 'b': s += DATE_month(d.month); break;
        case 'h': append_field(s, d.hour); break;
        case 'd': append_field(s, d.day); break;
        case 'n': append_field(s, d.min); break;
        case 'f':
        case 'F':
            buf[0] = '\0';
            if (fhour != MISSING)
                DATE_fhour_label(buf, static_cast<int>(fhour), *p == 'F' ? 1 : 0);
            s += buf;
            break;
        case '%': s += '%'; break;
        default:
            s += '%';
            s += *p;
            break;
        }
    }
    copy_field(out, PLT_LABEL_LEN, s.c_str());
    return 0;
}

int PLT_label_resource() {
    int count = 0;
    char **items = nullptr;
    if (RES_getvals("label", &count, &items) <= 0) return 0;
    int stored = 0;
    for (int i = 0; i < count; ++i) {
        if (!items[i][0]) continue;
        if (label_item(items[i])) ++stored;
        else
            MESS_print(192, "PLT_label_resource: Unknown label item: %s\n",
                       gline_text(items[i]).c_str());
    }
    free_parsed_array(count, items);
    return stored;
}

int PLT_labels() {
    PLT_label_resource();
    Glim view;
    PLT_get_view(&view);
    Glim area;
    GPH_get_view_size(&area);
    float m = view.y_min - area.y_min * GPH_get_vert_win_size();
    if (PLT_get_full_lab()) m = 0.06f;

    GPH_trans(1);
    gmessage(1, "Labels");
    if (PLT_get_border() && FLAG_getplot(11)) {
        Gattribs frame;
        ATTRIB_init(&frame);
        ATTRIB_get("color_text", gget_inverse() ? "black" : "white", &frame);
        GPH_line_attr(&frame);
        GPH_border(&view);
    }
    if (m < 0.005f || !FLAG_getplot(0)) return -1;

    int n = L.lab_type < 0 ? 1 : (L.num_over > 1 ? L.num_over : 1);
    float lh = m / static_cast<float>(n);
    float lh_max = 0.03f * (view.y_max - view.y_min);
    if (lh > lh_max) lh = lh_max;
    float g = PLT_get_full_lab() ? -0.2f * lh - static_cast<float>(n) * lh : 0.2f * lh;

    Gattribs attr;
    ATTRIB_init(&attr);
    ATTRIB_get("color_text", gget_inverse() ? "black" : "white", &attr);
    GPH_text_attr(&attr, 0.75f * lh);
    GPH_text_rotate(0.0f);

    float width = view.x_max - view.x_min;
    const float xs[3] = {view.x_min + 0.01f * width, (view.x_min + view.x_max) / 2,
                         view.x_max - 0.01f * width};
    const int hor[3] = {GLEFT_HOR, GCENTER_HOR, GRIGHT_HOR};
    bool bar = PLT_get_params()->bar > 0;
    for (int pos = 0; pos < PLT_NUM_POS; ++pos) {
        if (!FLAG_getplot(pos + 1)) continue;
        bool upper = pos < PLT_LOW_LEFT;
        if (!upper && pos != PLT_LOW_RIGHT && bar) continue;
        GPH_text_align(hor[pos % 3], upper ? GBASE_VERT : GCAP_VERT);
        int lines = L.single[pos] ? 1 : n;
        for (int i = 0; i < lines && i < PLT_NUM_LINES; ++i) {
            const char *text = L.label[pos][i];
            if (!text[0]) continue;
            float step = static_cast<float>(L.over_base + i) * lh;
            float y = upper ? view.y_max + g + step
                            : view.y_min - g - static_cast<float>(n - 1) * lh + step;
            Gpt pt = {xs[pos % 3], y};
            gtext(&pt, text);
        }
    }
    return 0;
}
