// date.cpp - the broken-down UTC date: seconds since 1970, calendar tables,
// date and forecast labels, label decoding and the label time zone.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "zup.h"
#include "zupgrd.h"

namespace {

const char *const kMonUpper[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char *const kMonLower[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                 "jul", "aug", "sep", "oct", "nov", "dec"};
const char *const kMonLong[] = {"January", "February", "March",     "April",   "May",      "June",
                                "July",    "August",   "September", "October", "November", "December"};
const char *const kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
const int kCum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
const int kCumLeap[] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

struct TzState {
    char tz_str[7] = "Z";
    int tz_off = 0;
    int tz_pm = 0;
};
TzState tz;

bool missing(int v) { return v == MISSING; }

std::string fmt(const char *f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char *f, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

void put(char *str, const std::string &s) { copy_field(str, DATE_LABEL_LEN, s.c_str()); }

int year2(int year) {
    if (year < 0) year = 1980;
    return year % 100;
}

const char *mon_or_jan(int m) { return (m >= 1 && m <= 12) ? kMonUpper[m - 1] : kMonUpper[0]; }

// 12-hour clock text ("6 AM", "12:30 PM") without the zone.
std::string ampm(int hour, int min, bool with_min) {
    const char *half = hour >= 12 ? "PM" : "AM";
    int h = hour % 12;
    if (h == 0) h = 12;
    if (with_min) return fmt("%d:%2.2d %s", h, min, half);
    return fmt("%d %s", h, half);
}

// The hour part of a label.  utc_* is the unshifted time for the bracket.
std::string hour_text(int hour, int min, bool with_min, bool forecast, int utc_hour, int utc_min) {
    std::string s;
    if (tz.tz_pm == 0) {
        if (forecast)
            s = fmt("%d%s", hour, tz.tz_str);
        else if (with_min)
            s = fmt("%2.2d%2.2d%s", hour, min, tz.tz_str);
        else
            s = fmt("%2.2d%s", hour, tz.tz_str);
        return s;
    }
    s = ampm(hour, min, with_min) + tz.tz_str;
    if (tz.tz_pm == -1) {
        if (with_min)
            s += fmt(" [%2.2d%2.2dZ]", utc_hour, utc_min);
        else
            s += fmt(" [%2.2dZ]", utc_hour);
    }
    return s;
}

// Splits a packed forecast hour into its three parts.
void unpack_fhour(int fhour, int *a, int *b, int *c) {
    if (fhour == MISSING) {
        *a = 0;
        *b = 0;
        *c = MISSING;
        return;
    }
    *a = fhour / 1000000;
    *b = (fhour / 1000) % 1000;
    *c = fhour % 1000;
    if (*b == 800 || *b == 900) *b = 0;
    if (*c == 800 || *c == 900) *c = 0;
}

// The base date made complete for valid-time arithmetic.
Date complete(const Date *d) {
    Date x = *d;
    if (x.year < 0) x.year = 1980;
    if (x.month < 1 || x.month > 12) x.month = 1;
    if (x.day < 1 || x.day > 31) x.day = 1;
    if (x.hour < 0 || x.hour > 23) x.hour = 0;
    if (x.min < 0 || x.min > 59) x.min = 0;
    x.sec = 0;
    return x;
}

// Valid-time text: hour text, day name, day, month, year.  Without a base
// hour the forecast labels print the year with "%2d", the plain valid-time
// label with "%2.2d".
std::string valid_text(const Date &base, bool base_hour, int hours, bool padded_year = false) {
    long t = DATE_num_sec(&base) + 3600L * hours;
    Date utc;
    DATE_get_gmdate(&t, &utc);
    long lt = t + tz.tz_off;
    Date loc;
    DATE_get_gmdate(&lt, &loc);
    if (!base_hour)
        return fmt(padded_year ? "%3s %2d %3s %2.2d" : "%3s %2d %3s %2d", kDays[loc.wday],
                   loc.day, kMonUpper[loc.month - 1], loc.year % 100);
    std::string h = hour_text(loc.hour, loc.min, false, true, utc.hour, utc.min);
    return fmt("%s %3s %2d %3s %2.2d", h.c_str(), kDays[loc.wday], loc.day,
               kMonUpper[loc.month - 1], loc.year % 100);
}

std::string analysis_text(const Date &base, bool base_hour) {
    long t = DATE_num_sec(&base);
    Date utc;
    DATE_get_gmdate(&t, &utc);
    long lt = t + tz.tz_off;
    Date loc;
    DATE_get_gmdate(&lt, &loc);
    if (!base_hour)
        return fmt("%2d %3s %2d", loc.day, kMonUpper[loc.month - 1], loc.year % 100);
    std::string h = hour_text(loc.hour, loc.min, false, true, utc.hour, utc.min);
    return fmt("%s %2d %3s %2.2d", h.c_str(), loc.day, kMonUpper[loc.month - 1], loc.year % 100);
}

std::string fhour_text(int fhour, int flag) {
    char buf[40];
    DATE_fhour_label(buf, fhour, flag);
    return buf;
}

}  // namespace

int DATE_init(Date *date) {
    if (!date) return -1;
    date->year = date->month = date->day = date->jday = MISSING;
    date->wday = date->hour = date->min = date->sec = MISSING;
    return 0;
}

int DATE_print(long level, const Date *date) {
    if (!date) return -1;
    MESS_print(level, "%d/%d/%d %2.2d:%2.2d:%2.2d\n", date->year, date->month, date->day,
               date->hour, date->min, date->sec);
    return 0;
}

const char *DATE_month(int m) { return (m >= 1 && m <= 12) ? kMonUpper[m - 1] : ""; }
const char *DATE_month_lower(int m) { return (m >= 1 && m <= 12) ? kMonLower[m - 1] : ""; }
const char *DATE_month_long(int m) { return (m >= 1 && m <= 12) ? kMonLong[m - 1] : ""; }
const char *DATE_day_name(int wday) { return (wday >= 0 && wday <= 6) ? kDays[wday] : ""; }

int DATE_is_leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 1 : 0;
}

long DATE_num_sec(const Date *date) {
    if (!date) return 0;
    Date d = *date;
    if (d.year < 0) d.year = 1980;
    if (d.year < 50) d.year += 2000;
    if (d.year < 200) d.year += 1900;
    if (d.month < 1 || d.month > 12) d.month = 1;
    if (d.day < 0 || d.day > 31) d.day = 1;
    if (d.hour < 0 || d.hour > 23) d.hour = 0;
    if (d.min < 0 || d.min > 59) d.min = 0;
    if (d.sec < 0 || d.sec > 59) d.sec = 0;
    // Every fourth year is a leap year here (exact from 1901 to 2099).
    long leap = (d.year - 1900) / 4 - 17;
    if ((d.year - 1900) % 4 == 0 && d.month <= 2) --leap;
    long days = d.day - 1 + kCum[d.month - 1] + leap;
    return d.sec + 60L * d.min + 3600L * d.hour + 86400L * days + 31536000L * (d.year - 1970);
}

long DATE_num_sec_tm(const struct tm *t) {
    if (!t) return 0;
    Date d;
    DATE_init(&d);
    d.year = t->tm_year + 1900;
    d.month = t->tm_mon + 1;
    d.day = t->tm_mday;
    d.hour = t->tm_hour;
    d.min = t->tm_min;
    d.sec = t->tm_sec;
    return DATE_num_sec(&d);
}

long DATE_get_time(long *t) {
    long now = static_cast<long>(std::time(nullptr));
    if (t) *t = now;
    return now;
}

int DATE_get_gmdate(const long *t, Date *date) {
    if (!date) return -1;
    std::time_t secs = t ? static_cast<std::time_t>(*t) : std::time(nullptr);
    struct tm b {};
    if (!gmtime_r(&secs, &b)) {
        DATE_init(date);
        return -1;
    }
    date->year = b.tm_year + 1900;
    date->month = b.tm_mon + 1;
    date->day = b.tm_mday;
    date->jday = b.tm_yday + 1;
    date->wday = b.tm_wday;
    date->hour = b.tm_hour;
    date->min = b.tm_min;
    date->sec = b.tm_sec;
    return 0;
}

int DATE_get_current_gmdate(Date *date) { return DATE_get_gmdate(nullptr, date); }

int DATE_get_current_str(char *buf) {
    if (!buf) return -1;
    Date d;
    DATE_get_current_gmdate(&d);
    std::snprintf(buf, 32, "%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ", d.year % 100,
                  kMonUpper[d.month - 1], d.day, d.hour, d.min, d.sec);
    return 0;
}

int DATE_days_date(int days, int *year, int *month, int *day) {
    int y = 1970;
    auto length = [](int yr) { return yr % 4 == 0 ? 366 : 365; };
    while (days > length(y)) {
        days -= length(y);
        ++y;
    }
    const int *cum = y % 4 == 0 ? kCumLeap : kCum;
    int m = 1;
    while (m < 12 && days > cum[m]) ++m;
    if (year) *year = y;
    if (month) *month = m;
    if (day) *day = days - cum[m - 1];
    return 0;
}

int DATE_julian_monday(int year, int jday, int *month, int *day) {
    const int *cum = DATE_is_leap(year) ? kCumLeap : kCum;
    if (jday < 1) jday = 1;
    if (jday > cum[12]) jday = cum[12];
    int m = 1;
    while (m < 12 && cum[m] < jday) ++m;
    if (month) *month = m;
    if (day) *day = jday - cum[m - 1];
    return 0;
}

int DATE_monday_julian(int year, int month, int day, int *jday) {
    const int *cum = DATE_is_leap(year) ? kCumLeap : kCum;
    if (month < 1) month = 1;
    if (month > 12) month = 12;
    if (jday) *jday = cum[month - 1] + day;
    return 0;
}

int DATE_set_TZ(const char *text) {
    if (!text) return 0;
    const char *p = text;
    if (*p == '-') {
        tz.tz_pm = -1;
        ++p;
    } else if (*p == '+') {
        tz.tz_pm = 1;
        ++p;
    }
    char name[5] = "";
    float off = 0.0f;
    int n = std::sscanf(p, "%4[^:]:%f", name, &off);
    if (n >= 1) {
        std::string s = std::string(" ") + name;
        copy_field(tz.tz_str, s.c_str());
    }
    if (n >= 2) {
        // Offsets beyond a day either way are no time zone; keep them in range.
        double secs = static_cast<double>(off) * 3600.0;
        if (!(secs > -86400.0 * 2)) secs = secs < 0 ? -86400.0 * 2 : 0.0;
        if (secs > 86400.0 * 2) secs = 86400.0 * 2;
        tz.tz_off = static_cast<int>(secs);
    }
    return 0;
}

int DATE_get_tz_off() { return tz.tz_off; }
const char *DATE_get_tz_str() { return tz.tz_str; }
int DATE_get_tz_pm() { return tz.tz_pm; }
void DATE_reset_TZ() { tz = TzState{}; }

int DATE_make_label(const Date *date, char *str) {
    if (!str) return -1;
    if (!date) {
        str[0] = '\0';
        return -1;
    }
    const Date &d = *date;
    int yy = year2(d.year);
    if (missing(d.month)) {
        put(str, fmt("%2.2d", yy));
        return 0;
    }
    const char *mon = mon_or_jan(d.month);
    if (missing(d.day)) {
        put(str, fmt("%3s %2.2d", mon, yy));
        return 0;
    }
    int day = (d.day < 0 || d.day > 31) ? 1 : d.day;
    if (missing(d.hour)) {
        put(str, fmt("%2d %3s %2.2d", day, mon, yy));
        return 0;
    }
    bool with_min = !missing(d.min);
    int hour = (d.hour < 0 || d.hour > 23) ? 0 : d.hour;
    int min = (!with_min || d.min < 0 || d.min > 59) ? 0 : d.min;
    int uh = hour, um = min;
    if (tz.tz_off != 0) {
        Date c = d;
        c.day = day;
        c.hour = hour;
        c.min = min;
        c.sec = 0;
        long t = DATE_num_sec(&c) + tz.tz_off;
        Date loc;
        DATE_get_gmdate(&t, &loc);
        std::string h = hour_text(loc.hour, loc.min, with_min, false, uh, um);
        put(str, fmt("%s %2d %3s %2.2d", h.c_str(), loc.day, kMonUpper[loc.month - 1],
                     loc.year % 100));
        return 0;
    }
    std::string h = hour_text(hour, min, with_min, false, uh, um);
    put(str, fmt("%s %2d %3s %2.2d", h.c_str(), day, mon, yy));
    return 0;
}

int DATE_decode_month(const char *text) {
    if (!text || !text[0]) return 0;
    char c0 = text[0];
    switch (std::toupper(static_cast<unsigned char>(c0))) {
    case 'F': return 2;
    case 'S': return 9;
    case 'O': return 10;
    case 'N': return 11;
    case 'D': return 12;
    default: break;
    }
    // For J, M and A the letters compared must be all upper or all lower
    // case: the first with the second (JAN) or with the third (the rest).
    auto same_case = [](char x, char y) {
        unsigned char a = static_cast<unsigned char>(x), b = static_cast<unsigned char>(y);
        return (std::isupper(a) && std::isupper(b)) || (std::islower(a) && std::islower(b));
    };
    char a = static_cast<char>(std::toupper(static_cast<unsigned char>(c0)));
    if (a != 'J' && a != 'M' && a != 'A') return 0;
    if (!text[1]) return 0;
    if (a == 'J' && same_case(c0, text[1]) && std::toupper(static_cast<unsigned char>(text[1])) == 'A')
        return 1;
    if (!text[2] || !same_case(c0, text[2])) return 0;
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[2])));
    if (a == 'J') {
        if (c == 'N') return 6;
        if (c == 'L') return 7;
    } else if (a == 'M') {
        if (c == 'R') return 3;
        if (c == 'Y') return 5;
    } else {
        if (c == 'R') return 4;
        if (c == 'G') return 8;
    }
    return 0;
}

int DATE_decode_label(const char *str, Date *date) {
    if (!date) return -1;
    DATE_init(date);
    if (!str) return -1;
    std::size_t len = std::strlen(str);
    char mon[4] = "";
    int hour = MISSING, min = MISSING, sec = MISSING, day = MISSING, year = MISSING;
    int month_num = MISSING;
    bool ok = std::sscanf(str, "%2dZ %2d %3s %2d", &hour, &day, mon, &year) == 4;
    if (!ok && len >= 15) {
        const char *t = str + len - 15;
        const char *f = t[0] == ' ' ? "%1d%2dZ %2d %3s %2d" : "%2d%2dZ %2d %3s %2d";
        ok = std::sscanf(t, f, &hour, &min, &day, mon, &year) == 5;
    }
    if (!ok && len >= 19) {
        ok = std::sscanf(str + len - 19, "%2d:%2d:%2dZ %2d %3s %2d", &hour, &min, &sec, &day, mon,
                         &year) == 6;
    }
    if (!ok && len >= 13) {
        min = sec = MISSING;
        ok = std::sscanf(str + len - 13, "%2dZ %2d %3s %2d", &hour, &day, mon, &year) == 4;
    }
    if (!ok) {
        // Last resort: year, month, day and hour as four numbers.
        hour = min = sec = MISSING;
        mon[0] = '\0';
        ok = std::sscanf(str, "%2d %2d %2d %2d", &year, &month_num, &day, &hour) == 4;
    }
    if (!ok) return -1;
    if (year < 50) year += 2000;
    if (year < 200) year += 1900;
    date->year = year;
    date->month = mon[0] ? DATE_decode_month(mon) : month_num;
    date->day = day;
    date->hour = hour;
    date->min = min;
    date->sec = sec;
    return 0;
}

char *DATE_fhour_label(char *str, int fhour, int flag) {
    if (!str) return str;
    std::string s;
    if (fhour >= 901) {
        s = fmt("%d month", fhour - 900);
    } else if (fhour >= 801 && fhour <= 900) {
        s = fmt("%d day", fhour - 800);
    } else if (flag && (fhour == 12 || fhour == 24 || fhour == 36 || fhour == 48 || fhour == 60)) {
        static const char *const kHalf[] = {"0.5 day", "1 day", "1.5 day", "2 day", "2.5 day"};
        s = kHalf[fhour / 12 - 1];
    } else if (fhour > 60 && fhour % 24 == 0) {
        s = fmt("%d day", fhour / 24);
    } else if (fhour > 60 && fhour % 24 == 12) {
        s = fmt("%d.5 day", fhour / 24);
    } else if (fhour != 0 && fhour != MISSING) {
        s = fmt("%d hour", fhour);
    }
    copy_field(str, 40, s.c_str());
    return str;
}

int DATE_make_label_for_time_mod(int fhour, const char *model, const Date *date, char *str) {
    if (!str) return -1;
    if (!date) {
        str[0] = '\0';
        return -1;
    }
    const char *mod = model ? model : "";
    int a, b, c;
    unpack_fhour(fhour, &a, &b, &c);
    int shown = a < 6 ? c : b;
    bool base_hour = !missing(date->hour);
    std::string s = fhour_text(shown, base_hour ? 0 : 1);
    if (shown != 0 && shown != MISSING) s += " ";
    s += mod;
    if (a == 0 && (shown == 0 || shown == MISSING)) {
        s += mod[0] ? " analysis for " : "Analysis for ";
        char lab[DATE_LABEL_LEN];
        DATE_make_label(date, lab);
        s += lab;
        put(str, s);
        return 0;
    }
    bool valid = b < 1 || c != 0;
    if (valid)
        s += " valid";
    else
        s += mod[0] ? " analysis valid" : "Analysis valid";
    Date base = complete(date);
    s += " ";
    s += valid ? valid_text(base, base_hour, c == MISSING ? 0 : c)
               : analysis_text(base, base_hour);
    put(str, s);
    return 0;
}

int DATE_make_label_for_time(int fhour, int model, const Date *date, char *str) {
    char name[DATE_LABEL_LEN] = "";
    VAR_model(name, model, sizeof name);
    return DATE_make_label_for_time_mod(fhour, name, date, str);
}

int DATE_make_label_for(int fhour, int model, long seconds, char *str) {
    if (!str) return -1;
    char name[DATE_LABEL_LEN] = "";
    VAR_model(name, model, sizeof name);
    int a, b, c;
    unpack_fhour(fhour, &a, &b, &c);
    int shown = a < 6 ? c : b;
    std::string s = fhour_text(shown, 0);
    if (shown != 0 && shown != MISSING) s += " ";
    s += name;
    if (seconds != 0) {
        Date base;
        DATE_get_gmdate(&seconds, &base);
        if (a == 0 && b < 6 && (shown == 0 || shown == MISSING)) {
            s += " analysis for ";
            char lab[DATE_LABEL_LEN];
            DATE_make_label(&base, lab);
            s += lab;
            put(str, s);
            return 0;
        }
        bool valid = true;
        if (b >= 6 && c == 0) {
            s += " analysis valid";
            valid = false;
        } else if (c > 499) {
            s += " analysis starting";
            c = 0;
            valid = false;
        } else {
            s += " valid";
        }
        s += " ";
        s += valid ? valid_text(base, true, c == MISSING ? 0 : c) : analysis_text(base, true);
    }
    put(str, s);
    return 0;
}

int DATE_make_label_valid_time(int fhour, const Date *date, char *str) {
    if (!str) return -1;
    if (!date) {
        str[0] = '\0';
        return -1;
    }
    int a, b, c;
    unpack_fhour(fhour, &a, &b, &c);
    Date base = complete(date);
    put(str, valid_text(base, !missing(date->hour), c == MISSING ? 0 : c, true));
    return 0;
}
