// Prompts with their in-prompt commands, end of input, program exit and the
// elapsed-time clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "driver/driver_io.h"
#include "zup.h"
#include "zupresrc.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using namespace driver_test;

namespace {

class Prompts : public testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        RES_clear();
    }
    void TearDown() override {
        RES_clear();
        MESS_reset();
    }
};

}  // namespace

TEST_F(Prompts, WordPromptCutsToLength) {
    feed("  abcdefghij more\r\n");
    char buf[6] = "old";
    CaptureStdout();
    EXPECT_EQ(ZUP_prompts("Word: ", buf, 6), buf);
    EXPECT_EQ(GetCapturedStdout(), "Word: ");
    EXPECT_STREQ(buf, "abcde");
}

TEST_F(Prompts, EmptyLineKeepsTheBuffer) {
    feed("\n");
    char buf[20] = "keep";
    ZUP_prompts("", buf, 20);
    EXPECT_STREQ(buf, "keep");
    feed("   \n");
    ZUP_promptl("", buf);
    EXPECT_STREQ(buf, "keep");
    feed("\n");
    EXPECT_FLOAT_EQ(ZUP_promptf(""), 0.0f);
    feed("\n");
    EXPECT_EQ(ZUP_promptd(""), 0);
}

TEST_F(Prompts, SetCommandSetsAResourceAndAsksAgain) {
    feed("set title=Hello\nKDEN\n");
    char buf[20] = "";
    CaptureStdout();
    ZUP_prompts("Station: ", buf, 20);
    EXPECT_EQ(GetCapturedStdout(), "Station: Station: ");
    EXPECT_STREQ(buf, "KDEN");
    ASSERT_NE(RES_get("title"), nullptr);
    EXPECT_STREQ(RES_get("title"), "Hello");
    EXPECT_EQ(ZUP_set_command("SET  model = eta 2"), 1);
    EXPECT_STREQ(RES_get("model"), "eta 2");
    EXPECT_EQ(ZUP_set_command("answer"), 0);
}

TEST_F(Prompts, SetAloneListsResources) {
    RES_put("model", "eta");
    RES_new(MISSING, "icon", nullptr, CV_string);
    feed("set\n7\n");
    CaptureStdout();
    EXPECT_EQ(ZUP_promptd("N? "), 7);
    EXPECT_EQ(GetCapturedStdout(), "N? Set resources\nmodel: eta\nicon:\n\nN? ");
}

TEST_F(Prompts, NumbersRepeatUntilScanned) {
    feed("abc\n12.5\n");
    EXPECT_FLOAT_EQ(ZUP_promptf(""), 12.5f);
    feed("x\n-3\n");
    EXPECT_EQ(ZUP_promptd(""), -3);
}

TEST_F(Prompts, LongWordPromptTakesNineteen) {
    feed(std::string(200, 'z') + "\nnext\n");
    char buf[20];
    ZUP_promptl("", buf);
    EXPECT_EQ(std::string(buf), std::string(19, 'z'));
    // The rest of the over-long line was dropped with it.
    ZUP_promptl("", buf);
    EXPECT_STREQ(buf, "next");
    feed("word\n");
    char *own = ZUP_promptl("", nullptr);
    EXPECT_STREQ(own, "word");
    feed("abc\n");
    char *own2 = ZUP_prompts("", nullptr, 2);
    EXPECT_STREQ(own2, "a");
    // A caller's one-byte buffer is never written past its end.
    feed("abc\n");
    char tiny[1] = {'q'};
    ZUP_prompts("", tiny, 1);
    EXPECT_EQ(tiny[0], '\0');
    feed("abc\n");
    char *own3 = ZUP_prompts("", nullptr, 0);  // still at least one character
    EXPECT_STREQ(own3, "a");
}

TEST(PromptExit, ExitAtAPromptEndsWithZero) {
    EXPECT_EXIT(
        {
            feed("exit\n");
            char buf[20];
            ZUP_prompts("? ", buf, 20);
            std::exit(3);
        },
        testing::ExitedWithCode(0), "");
}

TEST(PromptExit, EndOfInputEndsWithZero) {
    EXPECT_EXIT(
        {
            feed("");
            ZUP_promptd("? ");
            std::exit(3);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            feed("no newline at the end");
            char buf[30];
            ZUP_prompts("", buf, 30);
            if (std::string(buf) != "no") std::exit(4);
            ZUP_prompts("", buf, 30);
            std::exit(3);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ProgramControl, ExitStatusAndClock) {
    EXPECT_EXIT(ZUP_exit(31), testing::ExitedWithCode(31), "");
    ZUP_init_time();
    EXPECT_EQ(ZUP_sleep(0), -1);
    EXPECT_EQ(ZUP_sleep(-1), -1);
    EXPECT_EQ(ZUP_sleep(0.01), 0);
    EXPECT_GE(ZUP_elapse_time(), 0.0);
}

TEST(ProgramControl, BackgroundChildGoesOn) {
    // The parent leaves with status 0; the child runs detached.
    std::string mark = std::string(testing::TempDir()) + "/back_mark";
    std::remove(mark.c_str());
    EXPECT_EXIT(
        {
            if (ZUP_back_proc() == 1) {
                std::FILE *f = std::fopen(mark.c_str(), "w");
                if (f) {
                    std::fputs("child", f);
                    std::fclose(f);
                }
                std::_Exit(0);
            }
            std::_Exit(5);
        },
        testing::ExitedWithCode(0), "");
    for (int i = 0; i < 200 && !std::ifstream(mark).good(); ++i) ZUP_sleep(0.01);
    std::ifstream in(mark);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "child");
}
