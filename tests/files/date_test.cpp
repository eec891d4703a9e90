// Seconds since 1970, calendar conversions, date and forecast labels, label
// decoding and the label time zone.
#include <gtest/gtest.h>

#include <string>

#include "files/files_io.h"
#include "zup.h"

using namespace files_test;

namespace {

std::string label(const Date &d) {
    char buf[DATE_LABEL_LEN];
    DATE_make_label(&d, buf);
    return buf;
}

std::string fhour(int h, int flag) {
    char buf[40];
    return DATE_fhour_label(buf, h, flag);
}

std::string forecast(int fh, const char *model, const Date &d) {
    char buf[DATE_LABEL_LEN];
    DATE_make_label_for_time_mod(fh, model, &d, buf);
    return buf;
}

class Dates : public testing::Test {
protected:
    void SetUp() override { DATE_reset_TZ(); }
    void TearDown() override { DATE_reset_TZ(); }
};

}  // namespace

TEST_F(Dates, SecondsSince1970) {
    // Two-digit and short years, and fields out of range (1980-01-01).
    const struct {
        Date d;
        long want;
    } cases[] = {
        {make(2000, 3, 1, 0, 0, 0), 951868800L},
        {make(1996, 2, 29, 12, 0, 0), 825595200L},
        {make(1970, 1, 1, 0, 0, 0), 0L},
        {make(99, 1, 15, 12), 916401600L},
        {make(5, 1, 1, 0, 0, 0), 1104537600L},
        {make(130, 1, 1, 0, 0, 0), 1893456000L},
        {make(-1, 13, 40, 25, 61, 99), 315532800L},
    };
    for (const auto &c : cases) EXPECT_EQ(DATE_num_sec(&c.d), c.want) << ymd(c.d);
}

TEST_F(Dates, AgreesWithTheCLibrary) {
    for (long t : {0L, 951868800L, 825595200L, 1234567890L, 4102444799L}) {
        Date d;
        DATE_get_gmdate(&t, &d);
        EXPECT_EQ(DATE_num_sec(&d), t);
        int jday = 0;
        DATE_monday_julian(d.year, d.month, d.day, &jday);
        EXPECT_EQ(jday, d.jday);
        int y, m, dd;
        DATE_days_date(static_cast<int>(t / 86400) + 1, &y, &m, &dd);
        EXPECT_EQ(y, d.year);
        EXPECT_EQ(m, d.month);
        EXPECT_EQ(dd, d.day);
    }
    Date d;
    long t = 951868800L;
    DATE_get_gmdate(&t, &d);
    EXPECT_EQ(d.wday, 3);  // a Wednesday
    EXPECT_EQ(d.jday, 61);
    struct tm b {};
    b.tm_year = 100;
    b.tm_mon = 2;
    b.tm_mday = 1;
    EXPECT_EQ(DATE_num_sec_tm(&b), 951868800L);
}

TEST_F(Dates, CalendarHelpers) {
    EXPECT_EQ(DATE_is_leap(2000), 1);
    EXPECT_EQ(DATE_is_leap(1900), 0);
    EXPECT_EQ(DATE_is_leap(1996), 1);
    EXPECT_EQ(DATE_is_leap(1999), 0);
    int m, d;
    DATE_julian_monday(2000, 60, &m, &d);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(d, 29);
    DATE_julian_monday(1999, 400, &m, &d);  // clamped to 365
    EXPECT_EQ(m, 12);
    EXPECT_EQ(d, 31);
    DATE_julian_monday(1999, 0, &m, &d);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(d, 1);
    int j;
    DATE_monday_julian(1999, 14, 1, &j);  // month clamped to 12
    EXPECT_EQ(j, 335);
    EXPECT_STREQ(DATE_month(1), "JAN");
    EXPECT_STREQ(DATE_month_lower(12), "dec");
    EXPECT_STREQ(DATE_month_long(9), "September");
    EXPECT_STREQ(DATE_month(13), "");
    EXPECT_STREQ(DATE_month(0), "");
}

TEST_F(Dates, LabelsStopAtTheFirstMissingField) {
    EXPECT_EQ(label(make(1999, MISSING, MISSING)), "99");
    EXPECT_EQ(label(make(1999, 1, MISSING)), "JAN 99");
    EXPECT_EQ(label(make(1999, 1, 5)), " 5 JAN 99");
    EXPECT_EQ(label(make(1999, 1, 15, 12)), "12Z 15 JAN 99");
    EXPECT_EQ(label(make(1999, 1, 15, 12, 30)), "1230Z 15 JAN 99");
    EXPECT_EQ(label(make(-5, 15, 40, 30)), "00Z  1 JAN 80");
    char *null = nullptr;
    Date d = make(1999, 1, 1);
    EXPECT_EQ(DATE_make_label(&d, null), -1);
}

TEST_F(Dates, TwelveHourClockAndZones) {
    DATE_set_TZ("+CST:0");
    EXPECT_EQ(DATE_get_tz_pm(), 1);
    EXPECT_STREQ(DATE_get_tz_str(), " CST");
    EXPECT_EQ(label(make(1999, 1, 15, 0)), "12 AM CST 15 JAN 99");
    EXPECT_EQ(label(make(1999, 1, 15, 13, 5)), "1:05 PM CST 15 JAN 99");
    DATE_set_TZ("+CST:-6");
    EXPECT_EQ(DATE_get_tz_off(), -21600);
    EXPECT_EQ(label(make(1999, 1, 15, 12)), "6 AM CST 15 JAN 99");
    EXPECT_EQ(label(make(1999, 1, 15, 3)), "9 PM CST 14 JAN 99");
    DATE_set_TZ("-EST:-5.5");
    EXPECT_EQ(DATE_get_tz_off(), -19800);
    EXPECT_EQ(label(make(1999, 1, 15, 12)), "6 AM EST [12Z] 15 JAN 99");
    EXPECT_EQ(label(make(1999, 1, 15, 12, 0)), "6:30 AM EST [1200Z] 15 JAN 99");
    DATE_set_TZ("MDT:-6");  // no sign keeps the clock style
    EXPECT_EQ(DATE_get_tz_pm(), -1);
    // Absurd offsets and over-long names stay in bounds.
    DATE_set_TZ("+LONGNAME:1");
    EXPECT_STREQ(DATE_get_tz_str(), " LONG");
    DATE_set_TZ("+ABC:1e30");
    EXPECT_GT(DATE_get_tz_off(), 0);
    EXPECT_LE(DATE_get_tz_off(), 2 * 86400);
    DATE_set_TZ("X:-nan");
    EXPECT_GE(DATE_get_tz_off(), -2 * 86400);
    EXPECT_FALSE(label(make(1999, 1, 15, 12)).empty());
}

TEST_F(Dates, ForecastHourText) {
    EXPECT_EQ(fhour(36, 1), "1.5 day");
    EXPECT_EQ(fhour(36, 0), "36 hour");
    EXPECT_EQ(fhour(72, 0), "3 day");
    EXPECT_EQ(fhour(84, 0), "3.5 day");
    EXPECT_EQ(fhour(0, 0), "");
    EXPECT_EQ(fhour(MISSING, 1), "");
    EXPECT_EQ(fhour(902, 0), "2 month");
    EXPECT_EQ(fhour(803, 0), "3 day");
    EXPECT_EQ(fhour(12, 1), "0.5 day");
    EXPECT_EQ(fhour(60, 0), "60 hour");
    EXPECT_EQ(fhour(66, 0), "66 hour");
}

TEST_F(Dates, ForecastLabels) {
    Date base = make(1999, 1, 15, 12);
    EXPECT_EQ(forecast(24, "eta", base), "24 hour eta valid 12Z SAT 16 JAN 99");
    EXPECT_EQ(forecast(0, "eta", base), "eta analysis for 12Z 15 JAN 99");
    EXPECT_EQ(forecast(0, "", base), "Analysis for 12Z 15 JAN 99");
    EXPECT_EQ(forecast(6, "", base), "6 hour  valid 18Z FRI 15 JAN 99");
    Date nohour = make(1999, 1, 15);
    EXPECT_EQ(forecast(36, "ngm", nohour), "1.5 day ngm valid SAT 16 JAN 99");
    // b >= 1 with c = 0: an analysis-valid label.
    EXPECT_EQ(forecast(6000, "eta", base), "eta analysis for 12Z 15 JAN 99");
    EXPECT_EQ(forecast(6006000, "eta", base), "6 hour eta analysis valid 12Z 15 JAN 99");
    DATE_set_TZ("+CST:-6");
    EXPECT_EQ(forecast(12, "eta", base), "12 hour eta valid 6 PM CST FRI 15 JAN 99");
    char buf[DATE_LABEL_LEN];
    DATE_reset_TZ();
    DATE_make_label_valid_time(6, &base, buf);
    EXPECT_STREQ(buf, "18Z FRI 15 JAN 99");
    DATE_make_label_valid_time(6, &nohour, buf);
    EXPECT_STREQ(buf, "FRI 15 JAN 99");
    // Without a base hour the plain valid-time label pads the year to two
    // digits; the forecast label does not.
    Date y2005 = make(2005, 1, 15);
    DATE_make_label_valid_time(0, &y2005, buf);
    EXPECT_STREQ(buf, "SAT 15 JAN 05");
    EXPECT_EQ(forecast(24, "eta", y2005), "1 day eta valid SUN 16 JAN  5");
    long t = DATE_num_sec(&base);
    DATE_make_label_for(24, 0, t, buf);
    EXPECT_STREQ(buf, "24 hour  valid 12Z SAT 16 JAN 99");
    DATE_make_label_for(0, 0, t, buf);
    EXPECT_STREQ(buf, " analysis for 1200Z 15 JAN 99");
    DATE_make_label_for(24, 0, 0, buf);
    EXPECT_STREQ(buf, "24 hour ");
}

TEST_F(Dates, DecodingLabels) {
    const struct {
        const char *text, *want;
    } cases[] = {
        {"12Z 15 JAN 99", "1999/1/15 12:-9999:-9999"},
        {"Valid 1230Z 15 JAN 99", "1999/1/15 12:30:-9999"},
        {"x  930Z  5 MAR 01", "2001/3/5 9:30:-9999"},
        {"at 12:34:56Z 15 dec 99", "1999/12/15 12:34:56"},
        {"Run of 06Z 15 JUL 99", "1999/7/15 6:-9999:-9999"},
        {"99 01 15 12", "1999/1/15 12:-9999:-9999"},
    };
    Date d;
    for (const auto &c : cases) {
        ASSERT_EQ(DATE_decode_label(c.text, &d), 0) << c.text;
        EXPECT_EQ(ymd(d), c.want) << c.text;
    }
    EXPECT_EQ(DATE_decode_label("garbage", &d), -1);
    EXPECT_EQ(d.year, MISSING);
    // Labels made here decode back.
    Date in = make(2004, 8, 3, 18, 45);
    ASSERT_EQ(DATE_decode_label(label(in).c_str(), &d), 0);
    EXPECT_EQ(ymd(d), "2004/8/3 18:45:-9999");
}

TEST_F(Dates, MonthNames) {
    EXPECT_EQ(DATE_decode_month("Jun"), 0);
    EXPECT_EQ(DATE_decode_month("JUN"), 6);
    EXPECT_EQ(DATE_decode_month("jun"), 6);
    EXPECT_EQ(DATE_decode_month("jul"), 7);
    EXPECT_EQ(DATE_decode_month("Feb"), 2);
    EXPECT_EQ(DATE_decode_month("MAR"), 3);
    EXPECT_EQ(DATE_decode_month("may"), 5);
    EXPECT_EQ(DATE_decode_month("APR"), 4);
    EXPECT_EQ(DATE_decode_month("aug"), 8);
    EXPECT_EQ(DATE_decode_month("sept"), 9);
    EXPECT_EQ(DATE_decode_month("Ja"), 0);
    // Only the letters compared must agree in case: J with A for January,
    // the first with the third for the others.
    EXPECT_EQ(DATE_decode_month("JA"), 1);
    EXPECT_EQ(DATE_decode_month("JAn"), 1);
    EXPECT_EQ(DATE_decode_month("jAN"), 0);
    EXPECT_EQ(DATE_decode_month("JuN"), 6);
    EXPECT_EQ(DATE_decode_month("mAy"), 5);
    EXPECT_EQ(DATE_decode_month("May"), 0);
    EXPECT_EQ(DATE_decode_month("Aug"), 0);
    EXPECT_EQ(DATE_decode_month("AuG"), 8);
    EXPECT_EQ(DATE_decode_month("oct"), 10);
    EXPECT_EQ(DATE_decode_month("M"), 0);
    EXPECT_EQ(DATE_decode_month(""), 0);
    EXPECT_EQ(DATE_decode_month("xyz"), 0);
}

TEST_F(Dates, CurrentTimeText) {
    char buf[40];
    DATE_get_current_str(buf);
    std::string s = buf;
    ASSERT_EQ(s.size(), 20u);
    EXPECT_EQ(s[19], 'Z');
    EXPECT_EQ(s.substr(9, 2), "  ");
    Date now;
    DATE_get_current_gmdate(&now);
    EXPECT_EQ(s.substr(3, 3), DATE_month(now.month));
    long t1 = DATE_get_time(nullptr);
    long t2 = 0;
    DATE_get_time(&t2);
    EXPECT_LE(t1, t2);
}
