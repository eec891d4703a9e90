// Message classes, the message resource, routing to the two screen streams,
// message files and paging.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "driver/driver_io.h"
#include "zup.h"

using namespace driver_test;

namespace {

class Mess : public testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        FLAG_reset(MISSING);
    }
    void TearDown() override { MESS_reset(); }
};

}  // namespace

TEST_F(Mess, DefaultMaskShowsReportLinesButNotOut3) {
    EXPECT_EQ(MESS_get(), 0xFFFFF);
    EXPECT_TRUE(MESS_check(4096));
    EXPECT_TRUE(MESS_check(0x10000));
    EXPECT_FALSE(MESS_check(0x100000));
    EXPECT_FALSE(MESS_check(0x80000000L));
}

TEST_F(Mess, MessageResourceClasses) {
    MESS_set_str("mess");
    EXPECT_FALSE(MESS_check(4096));  // out1 lies above mess
    EXPECT_TRUE(MESS_check(3840));
    EXPECT_EQ(MESS_check_set(), 1);
    MESS_set_str("mess,+out1a");
    EXPECT_TRUE(MESS_check(4096));
    EXPECT_FALSE(MESS_check(8192));  // out1 sub-level b
    MESS_set_str("warnc");
    EXPECT_TRUE(MESS_check(64));
    EXPECT_FALSE(MESS_check(128));
    EXPECT_TRUE(MESS_check(15));
    EXPECT_TRUE(MESS_check(0x30));
    MESS_set_str("none");
    EXPECT_EQ(MESS_get(), 0);
    MESS_set_str("WARN,-error");  // any case; removal
    EXPECT_FALSE(MESS_check(0x30));
    EXPECT_TRUE(MESS_check(0xC0));
    MESS_set_str("debug");
    EXPECT_EQ(static_cast<unsigned long>(MESS_get()), 0xFFFFFFFFUL);
    MESS_set_str("bogus");  // an unknown word gives no bits
    EXPECT_EQ(MESS_get(), 0);
}

TEST_F(Mess, SetModesAndWeakSettings) {
    MESS_set(20, 0xFF);  // weak, nothing explicit yet: applies
    EXPECT_EQ(MESS_get(), 0xFF);
    EXPECT_EQ(MESS_check_set(), 0);
    MESS_set(0, 0x30);
    EXPECT_EQ(MESS_get(), 0x3F);
    EXPECT_EQ(MESS_check_set(), 1);
    MESS_set(21, 0xF00);  // weak after an explicit setting: ignored
    EXPECT_EQ(MESS_get(), 0x3F);
    MESS_set(1, 0xF000);
    EXPECT_EQ(MESS_get(), 0xF03F);
    MESS_set(-1, 0xF);
    EXPECT_EQ(MESS_get(), 0xF030);
    MESS_set(9, 0x30);
    EXPECT_EQ(MESS_get(), 0xF000);
}

TEST_F(Mess, ErrorsAndWarningsGoToStandardError) {
    Screen s = capture([] {
        EXPECT_EQ(MESS_print(15, "normal %d\n", 1), 1);
        EXPECT_EQ(MESS_print(64, "warned %s\n", "x"), 1);
        EXPECT_EQ(MESS_print(0x10, "error\n"), 1);
        EXPECT_EQ(MESS_print(0x100000, "hidden\n"), 0);
        EXPECT_EQ(MESS_print(4096, "report\n"), 1);
    });
    EXPECT_EQ(s.out, "normal 1\nreport\n");
    EXPECT_EQ(s.err, "warned x\nerror\n");
}

TEST_F(Mess, BatchHidesProgressButKeepsWarnings) {
    FLAG_set_batch(1);
    MESS_set(0, 255);
    Screen s = capture([] {
        MESS_print(3840, "progress\n");
        MESS_print(64, "Station not found\n");
    });
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "Station not found\n");
}

TEST_F(Mess, FileOnlyOutputGrowsWithEveryRun) {
    std::string path = temp_path("run.log");
    std::remove(path.c_str());
    for (int run = 0; run < 2; ++run) {
        MESS_reset();
        std::string item = "fi=" + path;
        MESS_set_str(item.c_str());
        Screen s = capture([] { EXPECT_EQ(MESS_print(15, "line\n"), 0); });
        EXPECT_EQ(s.out, "");
        MESS_reset();
    }
    EXPECT_EQ(slurp(path), "line\nline\n");
}

TEST_F(Mess, FileVariants) {
    std::string a = temp_path("plus.log"), b = temp_path("stamp.log"), c = temp_path("each.log");
    std::remove(b.c_str());
    std::remove(c.c_str());
    std::ofstream(a) << "old\n";
    std::string item = "-fi=" + a;  // truncates, screen stays on
    MESS_set_str(item.c_str());
    Screen s = capture([] { MESS_print(15, "one\n"); });
    EXPECT_EQ(s.out, "one\n");
    MESS_reset();
    EXPECT_EQ(slurp(a), "one\n");

    item = "@fi=" + b;
    MESS_set_str(item.c_str());
    capture([] { MESS_print(15, "stamped\n"); });
    MESS_reset();
    std::string text = slurp(b);
    // "yy MON dd  hh:mm:ssZ -- stamped"
    ASSERT_GE(text.size(), 24u);
    EXPECT_EQ(text.substr(20, 4), " -- ");
    EXPECT_EQ(text.substr(19, 1), "Z");
    EXPECT_NE(text.find("stamped\n"), std::string::npos);

    item = "dfi=" + c;
    MESS_set_str(item.c_str());
    capture([] {
        MESS_print(15, "x\n");
        MESS_print(15, "y\n");
    });
    EXPECT_EQ(slurp(c), "x\ny\n");  // closed after every message
}

TEST_F(Mess, ExtraCopyFile) {
    std::string path = temp_path("copy.log");
    ASSERT_EQ(MESS_file(path.c_str(), "w"), 0);
    capture([] {
        MESS_print(15, "shown\n");
        MESS_print(0x100000, "not shown\n");
    });
    MESS_file_close();
    EXPECT_EQ(slurp(path), "shown\n");
    EXPECT_EQ(MESS_file("/nonexistent-dir/\x01/x", "r"), -1);
}

TEST_F(Mess, UnopenableMessageFileIsSilentlyAbsent) {
    MESS_set_str("+fi=/proc/no/such/dir/x.log");
    Screen s = capture([] { MESS_print(15, "still\n"); });
    EXPECT_EQ(s.out, "still\n");
}

TEST_F(Mess, PagingPausesAfterMaxLines) {
    feed("\n\n\n");
    MESS_set_str("page,line=3");
    EXPECT_EQ(MESS_get_max_lines(), 3);
    EXPECT_EQ(MESS_get_page(), 2);
    Screen s = capture([] {
        for (int i = 0; i < 4; ++i) MESS_print(15, "l\n");
    });
    EXPECT_EQ(s.out, "l\nl\nl\nl\nPress return to continue\n");
    MESS_set_str("line=0");
    EXPECT_EQ(MESS_get_max_lines(), 22);

    // No pause in batch mode, nor with paging off.
    FLAG_set_batch(1);
    s = capture([] {
        for (int i = 0; i < 30; ++i) MESS_print(15, "b\n");
    });
    EXPECT_EQ(s.out.find("Press"), std::string::npos);
    FLAG_set_batch(0);
    MESS_set_str("nopage");
    s = capture([] { MESS_hold(15, "wait\n"); });
    EXPECT_EQ(s.out, "");
}

TEST_F(Mess, DefaultPageLengthIs22) {
    feed("\n");
    MESS_set_page(2);
    Screen s = capture([] {
        for (int i = 0; i < 22; ++i) MESS_print(15, "x\n");
    });
    EXPECT_EQ(s.out.find("Press"), std::string::npos);
    s = capture([] { MESS_print(15, "x\n"); });  // the 23rd newline
    EXPECT_EQ(s.out, "x\nPress return to continue\n");
}

TEST_F(Mess, BannerAndVersion) {
    EXPECT_STREQ(ZUP_version(), "5.59-LINUX-X11");
    Screen s = capture([] { MESS_print_prog("MODEL GRIDDED SOUNDING PLOTTING"); });
    EXPECT_EQ(s.out, "      MODEL GRIDDED SOUNDING PLOTTING (Ver 5.59-LINUX-X11)\n\n");
}

TEST_F(Mess, LongMessagesAreNotCut) {
    for (std::size_t len : {510, 511, 512, 5000}) {
        std::string big(len, 'q');
        Screen s = capture([&] { MESS_print(15, "%s\n", big.c_str()); });
        EXPECT_EQ(s.out, big + "\n") << len;
    }
}
