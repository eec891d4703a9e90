// The label store: formats, overlays, append mode and the "label" resource.
#include <gtest/gtest.h>

#include <string>

#include "zup.h"
#include "zupplt.h"
#include "zupresrc.h"

namespace {

class Labels : public ::testing::Test {
protected:
    void SetUp() override {
        PLT_reset_state();
        Date d = {2009, 5, 1, 121, 5, 12, 30, 0};
        PLT_label_date(&d);
        PLT_label_for_time(36);
        RES_put("label", "");
        DATE_reset_TZ();
    }
    std::string fmt(const char *f) {
        char out[PLT_LABEL_LEN];
        PLT_label_format(f, out);
        return out;
    }
};

}  // namespace

TEST_F(Labels, EveryFormatCode) {
    struct Case {
        const char *fmt;
        const char *want;
    };
    const Case cases[] = {
        {"%y%m%d/%h", "090501/12"},
        {"%b_%d_%n", "MAY 01 30"},
        {"%f", "36 hour"},
        {"%F", "1.5 day"},
        {"100%%", "100%"},
        {"a_b%q", "a b%q"},
        {"%D", "1230Z  1 MAY 09"},
        {"%V", "0Z SUN  3 MAY 09"},
        {"%W", "SUN  3 MAY 09"},
        {"trail%", "trail%"},
    };
    for (const Case &c : cases) EXPECT_EQ(fmt(c.fmt), c.want) << c.fmt;
    // missing date fields print nothing; a long format is cut to the field
    Date none;
    DATE_init(&none);
    PLT_label_date(&none);
    PLT_label_for_time(MISSING);
    EXPECT_EQ(fmt("[%y%m%h%f]"), "[]");
    // without them the labels take the data file's date and flag 6
    FLAG_set(6, 24);
    EXPECT_EQ(fmt("%f"), "24 hour");
    FLAG_set(6, MISSING);
    EXPECT_EQ(fmt(std::string(200, 'x').c_str()).size(), static_cast<size_t>(PLT_LABEL_LEN - 1));
}

TEST_F(Labels, PositionsOverlaysAndAppendMode) {
    PLT_label_low_left("first");
    EXPECT_STREQ(PLT_get_label(PLT_LOW_LEFT, 0), "first");
    EXPECT_EQ(PLT_next_overlay(), 1);
    EXPECT_EQ(PLT_get_num_over(), 2);
    PLT_label_low_left("second");
    EXPECT_STREQ(PLT_get_label(PLT_LOW_LEFT, 1), "second");
    EXPECT_STREQ(PLT_get_label(PLT_LOW_LEFT, 0), "first");

    // append mode: overlays add to line 0 after the base length
    PLT_init_labels();
    PLT_set_overlay(0);
    PLT_set_label_type(-1);
    PLT_label_up_center("T");
    PLT_next_overlay();
    EXPECT_EQ(PLT_get_label_type(), -2);
    PLT_label_up_center("Td");
    PLT_label_up_center("RH");  // replaces the appended part
    EXPECT_STREQ(PLT_get_label(PLT_UP_CENTER, 0), "T RH");
    EXPECT_EQ(PLT_label_strcat(PLT_UP_CENTER, std::string(59, 'x').c_str()), -1);

    // a negative overlay stores nothing; overlays clamp at 5
    PLT_set_label_type(0);
    PLT_set_overlay(-1);
    EXPECT_EQ(PLT_label_up_right("x"), -1);
    PLT_set_overlay(9);
    EXPECT_EQ(PLT_get_overlay(), 5);
    PLT_set_num_overlay(-2);
    EXPECT_EQ(PLT_get_num_over(), 2);
    EXPECT_EQ(PLT_label_strcpy(7, "x"), -1);
    EXPECT_STREQ(PLT_get_label(-1, 0), "");
}

TEST_F(Labels, LabelResource) {
    RES_put("label", "ll:%y%m%d/%h,ur2:line_two,lc:%f,zz:junk,ul9:bad");
    testing::internal::CaptureStderr();
    EXPECT_EQ(PLT_label_resource(), 3);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("PLT_label_resource: Unknown label item: zz:junk"), std::string::npos);
    EXPECT_NE(err.find("ul9:bad"), std::string::npos);
    EXPECT_STREQ(PLT_get_label(PLT_LOW_LEFT, 0), "090501/12");
    EXPECT_STREQ(PLT_get_label(PLT_UP_RIGHT, 2), "line two");
    EXPECT_STREQ(PLT_get_label(PLT_LOW_CENTER, 0), "36 hour");
    RES_put("label", "");
}
