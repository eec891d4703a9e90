// Resource gathering (files, environment, command line), lookups,
// conversions, resource-file sections and help.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zup.h"
#include "zupcty.h"
#include "zupresrc.h"

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

const res_type kKeys[] = {RES_help,     RES_batch,      RES_message,  RES_file_path,
                          RES_grid_path, RES_file_param, RES_model,    RES_hour,
                          RES_plot_domain, RES_grid_type, RES_identifier, RES_plot_type,
                          RES_plot_scale, RES_draw,      RES_device,   RES_title,
                          RES_icon,     RES_null};
const res_type kPos[] = {RES_filenames, RES_null};

// Owns an argv for RES_init.
struct Args {
    std::vector<std::string> words;
    std::vector<char *> ptrs;
    explicit Args(std::vector<std::string> w) : words(std::move(w)) {
        for (std::string &s : words) ptrs.push_back(s.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words.size()); }
    char **argv() { return ptrs.data(); }
};

const char *kEnvVars[] = {"zupdefault", "zupmodel", "zuptitle", "zupsnd.model", "zupmessage",
                          "zupmess", "zupfile", "zuptz"};

class Resources : public testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        for (const char *v : kEnvVars) unsetenv(v);
        dir = fs::path(testing::TempDir()) /
              ("res_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        MESS_reset();
        FILE_reset();
    }
    void TearDown() override {
        for (const char *v : kEnvVars) unsetenv(v);
        RES_clear();
        MESS_reset();
        FILE_reset();
    }
    void write(const std::string &name, const std::string &text) {
        std::ofstream out(dir / name);
        out << text;
    }
    // Runs RES_init as program "snd" with the test directory as search list.
    void init(std::vector<std::string> extra, bool with_df = true) {
        std::vector<std::string> w = {"/usr/bin/snd"};
        if (with_df) {
            w.push_back("-df");
            w.push_back(dir.string());
        }
        for (std::string &e : extra) w.push_back(e);
        args_ = std::make_unique<Args>(w);
        RES_init(args_->argc(), args_->argv(), kKeys, kPos);
    }
    std::unique_ptr<Args> args_;
};

std::string get(const char *name) {
    const char *v = RES_get(name);
    return v ? v : "<unset>";
}

}  // namespace

TEST_F(Resources, CommandLineBeatsEnvironmentBeatsFile) {
    write("zup.cfg", "*model: filemodel\n*title: filetitle\n*grid_type: 7\n");
    setenv("zupmodel", "envmodel", 1);
    setenv("zuptitle", "envtitle", 1);
    init({"-mo", "cmdmodel"});
    EXPECT_EQ(get("model"), "cmdmodel");
    EXPECT_EQ(get("title"), "envtitle");
    EXPECT_EQ(get("grid_type"), "7");
    int gt = 0;
    EXPECT_EQ(RES_getval("grid_type", &gt, CV_int), 1);
    EXPECT_EQ(gt, 7);
}

TEST_F(Resources, EnvironmentForms) {
    // Per-program form first, then the row's own variable, then zup+name.
    setenv("zupsnd.model", "perprog", 1);
    setenv("zupmodel", "own", 1);
    setenv("zupfile_path", "/byname", 1);
    init({});
    EXPECT_EQ(get("model"), "perprog");
    EXPECT_EQ(get("file_path"), "/byname");
    unsetenv("zupfile_path");
}

TEST_F(Resources, BatchGivesTheNextWordBack) {
    init({"-ba", "word"});
    EXPECT_TRUE(FLAG_batch());
    EXPECT_EQ(get("batch"), "");
    EXPECT_EQ(get("filename"), "word");
    // Batch without an explicit message setting keeps print, errors, warnings.
    EXPECT_EQ(MESS_get(), 255);
}

TEST_F(Resources, OptionValueForms) {
    init({"-fp=/data"});
    EXPECT_EQ(get("file_path"), "/data");
    const char *path = nullptr;
    EXPECT_EQ(RES_getval("file_path", &path, CV_path), 1);
    EXPECT_STREQ(path, "/data/");
    init({"-fp", "/data"});
    EXPECT_EQ(get("file_path"), "/data");
    init({"--fp", "none"});
    RES_getval("file_path", &path, CV_path);
    EXPECT_STREQ(path, "");
    init({"-file", "x"});  // the first row whose name begins with "file"
    EXPECT_EQ(get("file_path"), "x");
    EXPECT_EQ(get("file_param"), "<unset>");
    init({"-FILE_PARAM", "app"});  // option names are case-insensitive
    EXPECT_EQ(FLAG_get(15), 2);
}

TEST_F(Resources, NegativeNumbersAreValuesAndDoubleDashIsSkipped) {
    init({"-sc", "-5", "--", "-gt", "-12", "pos"});
    EXPECT_EQ(get("plot_scale"), "-5");
    EXPECT_EQ(get("grid_type"), "-12");
    EXPECT_EQ(get("filename"), "pos");
}

TEST_F(Resources, PositionalWordsJoinWithNewlines) {
    init({"a", "b", "c"});
    EXPECT_EQ(get("filename"), "a\nb\nc");
    int n = 0;
    char **list = nullptr;
    EXPECT_EQ(RES_getvals("filename", &n, &list), 3);
    ASSERT_EQ(n, 3);
    EXPECT_STREQ(list[2], "c");
    free_parsed_array(n, list);
}

TEST_F(Resources, UnknownOptionsAreKeptAsPlainResources) {
    init({"-zzz=1", "-qq"});
    EXPECT_EQ(get("zzz"), "1");
    EXPECT_EQ(get("qq"), "");
    EXPECT_EQ(get("nothing"), "<unset>");
}

TEST_F(Resources, SwitchesAndBooleans) {
    init({"-ic"});
    EXPECT_EQ(get("icon"), "");
    int v = 0;
    EXPECT_EQ(RES_getval("icon", &v, CV_bool), 1);
    EXPECT_EQ(v, 1);
    RES_put("icon", "off");
    EXPECT_EQ(RES_getval("icon", &v, CV_bool), 1);
    EXPECT_EQ(v, 0);
    RES_put("icon", "YES");
    RES_getval("icon", &v, CV_bool);
    EXPECT_EQ(v, 1);
    RES_put("icon", "maybe");  // unchanged
    RES_getval("icon", &v, CV_bool);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(RES_getval("not_set", &v, CV_bool), 0);
    EXPECT_EQ(RES_getval("icon", nullptr, CV_bool), 0);
}

TEST_F(Resources, QuotedValuesAndProgramPatterns) {
    write("zup.cfg",
          "# comment\n"
          "*title: \"two words\"\n"
          "snd.model eta\n"
          "s*.grid_path /g\n"
          "file_path /bare\n"          // no program part: matches nothing
          "other.identifier KDEN\n"    // another program's entry
          "*extra_thing: 5\n"          // not in the table, but for this program
          "*empty:\n");
    init({});
    EXPECT_EQ(get("title"), "two words");
    EXPECT_EQ(get("model"), "eta");
    EXPECT_EQ(get("grid_path"), "/g");
    EXPECT_EQ(get("file_path"), "<unset>");
    EXPECT_EQ(get("identifier"), "<unset>");
    EXPECT_EQ(get("extra_thing"), "5");
    EXPECT_EQ(get("empty"), "<unset>");
}

TEST_F(Resources, DirectoryFilesInOrder) {
    // zup.cfg wins over .zupdef in the same directory.
    write("zup.cfg", "*model: cfg\n");
    write(".zupdef", "*model: def\n*title: def\n");
    init({});
    EXPECT_EQ(get("model"), "cfg");
    EXPECT_EQ(get("title"), "<unset>");
    // A search-list element that names a file is read as one.
    write("plain.res", "*title: plain\n");
    std::string list = (dir / "plain.res").string() + ":" + dir.string();
    init({"-df", list}, false);
    EXPECT_EQ(get("title"), "plain");
    EXPECT_EQ(get("model"), "cfg");
}

TEST_F(Resources, TagSections) {
    std::string text =
        "IF x\n*model: ifx\nELSE\n*model: other\nEND\n"
        "IF y\n*title: y\nELIF x\n*title: elifx\nELSE\n*title: none\nEND\n";
    write("zup.cfg", text);
    init({});
    EXPECT_EQ(get("model"), "other");
    EXPECT_EQ(get("title"), "none");
    init({"-df", "+x:" + dir.string()}, false);
    EXPECT_EQ(get("model"), "ifx");
    EXPECT_EQ(get("title"), "elifx");
    write("zup.cfg", "DEF x\n" + text + "UNDEF x\nIF x\n*identifier: still\nEND\n");
    init({});
    EXPECT_EQ(get("model"), "ifx");
    EXPECT_EQ(get("identifier"), "<unset>");
}

TEST_F(Resources, NestedSectionsAndStrayKeywords) {
    write("zup.cfg",
          "DEF a\nIF a\nIF b\n*model: ab\nELSE\n*model: a_only\nEND\nEND\n"
          "ELSE\nEND\nELIF q\n*title: kept\n");
    CaptureStderr();
    init({});
    std::string err = GetCapturedStderr();
    EXPECT_EQ(get("model"), "a_only");
    EXPECT_EQ(get("title"), "kept");
    EXPECT_NE(err.find("DEF_get: else without an if\n"), std::string::npos);
    EXPECT_NE(err.find("DEF_get: end without an if\n"), std::string::npos);
    EXPECT_NE(err.find("DEF_get: elif without an if\n"), std::string::npos);
}

TEST_F(Resources, DeepNestingIsBounded) {
    std::string text;
    for (int i = 0; i < 15; ++i) text += "IF t\n";
    text += "*model: deep\n";
    for (int i = 0; i < 15; ++i) text += "END\n";
    text += "*title: after\n";
    write("zup.cfg", text);
    init({"-df", "+t:" + dir.string()}, false);
    EXPECT_EQ(get("model"), "deep");
    EXPECT_EQ(get("title"), "after");
}

TEST_F(Resources, LoopWindowElementIsReportedAndSkipped) {
    write("zup.cfg", "*model: after_loop\n");
    CaptureStderr();
    init({"-df", "#3:" + dir.string()}, false);
    std::string err = GetCapturedStderr();
    EXPECT_EQ(err, "ZUPloop window: 3 not running or no message queue exists\n");
    EXPECT_EQ(get("model"), "after_loop");
}

TEST_F(Resources, NameOptionSelectsEntries) {
    write("zup.cfg", "mine.model: titled\nsnd.model: plain\nsnd.alt.title: plus\n");
    init({"-na", "mine"});
    EXPECT_EQ(get("model"), "titled");
    EXPECT_EQ(get("name"), "mine");
    init({"-name=+alt"});
    EXPECT_EQ(get("title"), "plus");
    EXPECT_EQ(get("model"), "<unset>");  // snd.model is not snd.alt.model
}

TEST_F(Resources, EntryPatterns) {
    DEF_set_prog("snd", "");
    EXPECT_TRUE(DEF_valid("*file_path", "file_path"));
    EXPECT_TRUE(DEF_valid("snd.file_path", "file_path"));
    EXPECT_TRUE(DEF_valid("s*.file_path", "file_path"));
    EXPECT_FALSE(DEF_valid("file_path", "file_path"));
    EXPECT_FALSE(DEF_valid("*path", "file_param"));
    EXPECT_TRUE(DEF_cmp("*", "anything"));
    EXPECT_FALSE(DEF_cmp("a*c", "abcd"));
    EXPECT_TRUE(DEF_cmp("a*c*d", "abcd"));
}

TEST_F(Resources, StartUpConversionsInFirstSetOrder) {
    write("zup.cfg", "*message: mess\n");
    init({"-ba"});
    // message was set first (explicit), so batch leaves the mask alone.
    EXPECT_FALSE(MESS_check(4096));
    EXPECT_TRUE(MESS_check(3840));
    EXPECT_TRUE(FLAG_batch());
    init({"-ba", "-me", "mess,+out1a"});
    EXPECT_TRUE(MESS_check(4096));
}

TEST_F(Resources, FlagConversions) {
    init({"-pl", "skewt", "-pf", "use", "-de", "p,out.ps", "-dr", "text,-text_ul,+map"});
    EXPECT_EQ(FLAG_get(11), 62);
    EXPECT_EQ(FLAG_get(15), 3);
    EXPECT_EQ(FLAG_get(2), MISSING);  // device needs a destination
    const char *name = nullptr;
    EXPECT_EQ(RES_getval("device", &name, CV_device), 1);
    EXPECT_EQ(FLAG_get(2), 4);
    EXPECT_STREQ(name, "out.ps");
    EXPECT_EQ(FLAG_getplot(1), 0);
    EXPECT_EQ(FLAG_getplot(2), 1);
    EXPECT_EQ(FLAG_getplot(11), 1);
    EXPECT_EQ(FLAG_getplot(8), 1);
    EXPECT_EQ(FLAG_getplot(7), 0);
    init({"-pl", "unknownword", "-dr", "none,+data"});
    EXPECT_EQ(FLAG_get(11), MISSING);
    EXPECT_EQ(FLAG_getplot(12), 1);
    EXPECT_EQ(RES_set_device("q"), 5);
    EXPECT_EQ(RES_set_device("Meta"), 3);
    EXPECT_EQ(RES_set_device("w"), 6);
    EXPECT_EQ(RES_set_device("d"), 1);
    RES_put("device", "");
    RES_getval("device", &name, CV_device);
    EXPECT_EQ(FLAG_get(2), 1);
}

TEST_F(Resources, NumericConversions) {
    init({});
    // Integers in any base C reads, kept on a failed conversion, clamped
    // (not wrapped) beyond the target's range.
    const struct {
        const char *text;
        DEF_convert conv;
        int want;
    } ints[] = {
        {"0x1F", CV_int, 31},
        {"abc", CV_int, 31},
        {"-42", CV_int, -42},
        {"99999999999999999999", CV_int, 2147483647},
        {"-99999999999999999999", CV_int, -2147483647 - 1},
        {"-99999999999999999999", CV_color, -2147483647 - 1},
    };
    int i = -1;
    for (const auto &c : ints) {
        RES_put("v", c.text);
        RES_getval("v", &i, c.conv);
        EXPECT_EQ(i, c.want) << c.text;
    }
    short s = 0;
    RES_put("v", "123");
    RES_getval("v", &s, CV_short);
    EXPECT_EQ(s, 123);
    long l = 0;
    RES_getval("v", &l, CV_long);
    EXPECT_EQ(l, 123L);
    float f = 0;
    RES_put("big", "1e300");
    RES_getval("big", &f, CV_float);
    EXPECT_GT(f, 3.0e38f);
    RES_new(MISSING, "bare", nullptr, CV_string);
    RES_getval("bare", &f, CV_float);
    EXPECT_FLOAT_EQ(f, 0.0f);
    RES_put("v", "2.5e1");
    RES_getval("v", &f, CV_float);
    EXPECT_FLOAT_EQ(f, 25.0f);
    const char *str = nullptr;
    RES_getval("v", &str, CV_string);
    EXPECT_STREQ(str, "2.5e1");
    EXPECT_EQ(str, RES_get("v"));  // the resource's own text
}

TEST_F(Resources, HourConversionForcesFileDate) {
    const int X = -12345;  // a field the form leaves unchecked
    const struct {
        const char *hour;
        int year, month, day, hour_, min;
    } cases[] = {
        {"-6", X, X, X, -6, X},
        {"#199901151230", 1999, 1, 15, 12, 30},
        {"011512", X, 1, 15, 12, X},
        {"1d6:30", X, X, 1, 6, 30},
        {"-0:30", X, X, X, MISSING, -30},
        {"515", X, X, 5, 15, X},
    };
    for (const auto &c : cases) {
        init({"-ho", c.hour});
        Date d;
        FILE_get_time(&d);
        const int got[] = {d.year, d.month, d.day, d.hour, d.min};
        const int want[] = {c.year, c.month, c.day, c.hour_, c.min};
        for (int i = 0; i < 5; ++i)
            if (want[i] != X) {
                EXPECT_EQ(got[i], want[i]) << c.hour << " field " << i;
            }
    }
}

TEST_F(Resources, PutNewAppendList) {
    init({});
    RES_put("title", "Hello");
    EXPECT_EQ(get("title"), "Hello");
    RES_append(MISSING, "title", "World", CV_string);
    EXPECT_EQ(get("title"), "Hello\nWorld");
    RES_new(MISSING, "title", nullptr, CV_string);
    EXPECT_EQ(get("title"), "");
    CaptureStdout();
    MESS_set(0, 0xF);
    RES_list();
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("title:\n"), std::string::npos);
    EXPECT_NE(out.find("default: "), std::string::npos);
}

TEST_F(Resources, ProgramName) {
    init({});
    char buf[FILE_NAME_LEN];
    EXPECT_STREQ(RES_get_progname(buf), "snd");
    EXPECT_STREQ(RES_get_progname(nullptr), "snd");
    EXPECT_STREQ(RES_get_prog(), "/usr/bin/snd");
}

TEST_F(Resources, HelpText) {
    init({"-h", "x"});
    EXPECT_TRUE(FLAG_help());
    EXPECT_EQ(get("filename"), "x");
    CaptureStdout();
    RES_help_print("snd", kKeys, kPos);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out.substr(0, out.find('\n')), "snd syntax (version:5.59-LINUX-X11)");
    EXPECT_NE(out.find("   snd [options...]\nKeyed options...\n"
                       " -df file    Resource/defaults file name\n"
                       " -na name    Program name\n"
                       " -h          Print this help\n"
                       " -ba         Run program in batch mode\n"),
              std::string::npos);
    EXPECT_NE(out.find(" -pd region or [proj],clat,clon[,nx,ny][,dx,dy]\n"
                       "             Output plot domain\n"
                       "               region=predefined region:\n"),
              std::string::npos);
    EXPECT_NE(out.find("Positional options...\n file [file...]  Input file names\n"),
              std::string::npos);
    CaptureStdout();
    RES_help_item(RES_age);  // an identifier without a row
    EXPECT_EQ(GetCapturedStdout(), "1\n");
}

TEST_F(Resources, OverlongInputIsCutOrKept) {
    std::string huge(5000, 'v');
    std::string longname(300, 'n');
    write("zup.cfg", "*title: " + huge + "\n*" + longname + ": x\n*model: " +
                         std::string(400, 'm') + "\"\n*identifier: ok\n");
    init({"-" + longname + "=1", "-gp", huge});
    // Resource-file lines are read up to 249 characters.
    std::string title = get("title");
    EXPECT_LT(title.size(), 250u);
    EXPECT_EQ(get("identifier"), "ok");
    EXPECT_EQ(get("grid_path"), huge);
    EXPECT_EQ(get(std::string(49, 'n').c_str()), "1");  // option names cut to 49
    char buf[FILE_NAME_LEN];
    RES_getval("grid_path", buf, CV_strcpy);
    EXPECT_EQ(std::string(buf), huge.substr(0, FILE_NAME_LEN - 1));
}

TEST_F(Resources, EmptySearchListMeansDotZupdef) {
    // An empty element reads .zupdef from the current directory.
    fs::path cwd = fs::current_path();
    fs::current_path(dir);
    write(".zupdef", "*model: cwd\n");
    init({"-df", ""}, false);
    fs::current_path(cwd);
    EXPECT_EQ(get("model"), "cwd");
}

TEST_F(Resources, DomainResources) {
    init({"-pd", "40,-100"});
    Domain d;
    DOM_init(&d);
    EXPECT_EQ(RES_getval("plot_domain", &d, CV_domain), 1);
    EXPECT_FLOAT_EQ(d.clat, 40.0f);
    EXPECT_FLOAT_EQ(d.clon, -100.0f);
    init({"-pd"});
    DOM_init(&d);
    EXPECT_EQ(RES_getval("plot_domain", &d, CV_domain), 0);
    EXPECT_EQ(d.proj, MISSING);
}

TEST_F(Resources, TimeZoneFromTheEnvironment) {
    setenv("zuptz", "+CST:-6", 1);
    init({});
    EXPECT_EQ(DATE_get_tz_off(), -6 * 3600);
    EXPECT_EQ(DATE_get_tz_pm(), 1);
    DATE_reset_TZ();
}
