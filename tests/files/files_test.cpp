// Naming conventions, typed names, current and latest files, the file
// prompt, listing, and the path utilities.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/files_io.h"
#include "zup.h"
#include "zupresrc.h"

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;
using namespace files_test;

namespace {

class Files : public testing::Test {
protected:
    fs::path dir, grid;
    void SetUp() override {
        dir = fs::path(testing::TempDir()) /
              ("files_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        grid = dir / "grid";
        fs::create_directories(grid);
        RES_clear();
        FILE_reset();
        MESS_reset();
        FLAG_reset(MISSING);
        unsetenv("zupcurtime");
        RES_put("file_path", dir.c_str());
        RES_put("grid_path", (grid.string() + "/").c_str());
        std::ofstream conv(dir / "name_conv");
        conv << "# kind template header minimum\n"
                "grib_six  %G%y%m%d%6h_six.grb  -  10\n"
                "grib_hdr  %G%y%m%d%h.grb  %G%y%m%d%h.idx  0\n"
                "grib      %G%y%m%d%h_%e.grb  -  10\n";
    }
    void TearDown() override {
        unsetenv("zupcurtime");
        RES_clear();
        FILE_reset();
        MESS_reset();
    }
    void touch(const std::string &name, int size = 100) {
        std::ofstream out(grid / name);
        out << std::string(static_cast<std::size_t>(size), 'x');
    }
};

}  // namespace

TEST_F(Files, NamingExample) {
    RES_put("grid_path", "/data/grid/");
    EXPECT_EQ(FILE_set_name("grib_eta"), 1);  // partial match on "grib"
    EXPECT_STREQ(FILE_get_ext(), "eta");
    EXPECT_STREQ(FILE_get_conv(), "%G%y%m%d%h_%e.grb");
    char name[FILE_NAME_LEN];
    Date d = make(1999, 1, 15, 12);
    EXPECT_EQ(FILE_set_date(&d, name), 0);
    EXPECT_STREQ(name, "/data/grid/99011512_eta.grb");
    EXPECT_EQ(FILE_get_late_off(), 3600);
    Date got;
    FILE_get_date(&got);
    EXPECT_EQ(got.year, 1999);
    EXPECT_EQ(got.hour, 12);
    // A grid path without the trailing slash gives the same name.
    RES_put("grid_path", "/data/grid");
    FILE_set_date(&d, name);
    EXPECT_STREQ(name, "/data/grid/99011512_eta.grb");
}

TEST_F(Files, TruncatedHourAndSpacing) {
    ASSERT_EQ(FILE_set_name("grib_six"), 1);
    char name[FILE_NAME_LEN];
    Date d = make(1999, 1, 15, 14);
    FILE_set_date(&d, name);
    EXPECT_EQ(fs::path(name).filename(), "99011512_six.grb");
    EXPECT_EQ(FILE_get_late_off(), 6 * 3600);
    Date used;
    FILE_get_date(&used);
    EXPECT_EQ(used.hour, 12);
}

TEST_F(Files, TemplateCodes) {
    FILE_set_name("@%Y/%j/%b%d_%%_%i_%3k_%q_%{model}{x} %n.%e");
    FILE_set_key('i', "New York");
    FILE_set_key("k", "abcdef");
    RES_put("model", "eta");
    char name[FILE_NAME_LEN];
    Date d = make(2000, 3, 1, 6, 45);
    FILE_set_date(&d, name);
    EXPECT_STREQ(name, "2000/061/mar01_%_New_York_abc_0_etax_45.");
    Date empty;
    DATE_init(&empty);
    FILE_set_date(&empty, name);
    EXPECT_STREQ(name, "0000/000/xxx00_%_New_York_abc_0_etax_00.");
    char key[30];
    EXPECT_EQ(FILE_get_key('i', key), 1);
    EXPECT_STREQ(key, "New_York");
    EXPECT_EQ(FILE_get_key('z', key), 0);
    // An unset directory resource is the current directory.
    FILE_set_name("@%R%y.dat");
    FILE_set_date(&d, name);
    EXPECT_STREQ(name, "./00.dat");
    EXPECT_EQ(FILE_set_key(300, "x"), -1);
    // Key values are cut to their 30-byte field.
    FILE_set_key('i', std::string(200, 'w').c_str());
    FILE_get_key('i', key);
    EXPECT_EQ(std::string(key), std::string(29, 'w'));
}

TEST_F(Files, ConventionSelection) {
    EXPECT_EQ(FILE_set_name("grib_hdr:m=eta:i=KDEN"), 1);
    char key[30];
    FILE_get_key('m', key);
    EXPECT_STREQ(key, "eta");
    FILE_get_key('i', key);
    EXPECT_STREQ(key, "KDEN");
    char name[FILE_NAME_LEN];
    Date d = make(1999, 1, 15, 12);
    FILE_set_date(&d, name);
    EXPECT_EQ(FILE_hdr_set_date(&d, name), 1);
    EXPECT_EQ(fs::path(name).filename(), "99011512.idx");
    EXPECT_EQ(fs::path(FILE_get_filename()).filename(), "99011512.grb");
    FILE_set_name("grib_six");
    EXPECT_EQ(FILE_hdr_set_date(&d, name), 0);
    EXPECT_EQ(FILE_set_name("GRIB_SIX"), 1);  // kinds in any case
    EXPECT_EQ(FILE_set_name("unknown_kind"), 0);
    EXPECT_STREQ(FILE_get_conv(), "unknown_kind");
    EXPECT_EQ(FILE_set_name("none"), 1);
    EXPECT_STREQ(FILE_get_conv(), "");
    RES_put("name_conv", "missing_file");
    CaptureStderr();
    EXPECT_EQ(FILE_set_name("grib_six"), 0);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("FILE_set_name: No file name convention file: "), std::string::npos);
    EXPECT_STREQ(FILE_get_conv(), "grib_six");
}

TEST_F(Files, NoTemplateUsesNamesAsTyped) {
    FILE_set_name("none");
    char name[FILE_NAME_LEN];
    FILE_set_file("some/file.grb", name);
    EXPECT_STREQ(name, "some/file.grb");
    Date d = make(1999, 1, 15, 12);
    EXPECT_EQ(FILE_set_date(&d, name), 1);
    EXPECT_STREQ(name, "some/file.grb");
    FILE_set_file("-", name);
    EXPECT_STREQ(name, "-");
    FILE_set_name("grib");
    FILE_set_file("@literal name", name);
    EXPECT_STREQ(name, "literal name");
}

TEST_F(Files, TypedNamesAgainstTheTemplate) {
    FILE_set_name("grib_eta");
    char name[FILE_NAME_LEN];
    // A bare date becomes that date's file.
    FILE_set_file("99011512", name);
    EXPECT_EQ(std::string(name), grid.string() + "/99011512_eta.grb");
    Date d;
    FILE_get_date(&d);
    EXPECT_EQ(ymd(d).substr(0, 12), "1999/1/15 12");
    // A full path keeps its directory and yields the date and extension.
    FILE_set_file("/other/dir/02030418_gfs.grb", name);
    EXPECT_STREQ(name, "/other/dir/02030418_gfs.grb");
    FILE_get_date(&d);
    EXPECT_EQ(ymd(d).substr(0, 11), "2002/3/4 18");
    EXPECT_STREQ(FILE_get_ext(), "gfs");
    // Any other name is completed with the template's directory.
    FILE_set_name("grib_eta");
    FILE_set_file("eta.grb", name);
    EXPECT_EQ(std::string(name), grid.string() + "/eta.grb");
    FILE_get_date(&d);
    EXPECT_EQ(d.year, MISSING);
    // Over-long answers are cut to the file-name size.
    FILE_set_file(std::string(1000, 'a').c_str(), name);
    EXPECT_LT(std::strlen(name), static_cast<std::size_t>(FILE_NAME_LEN));
}

TEST_F(Files, ForcedDateAfterHash) {
    FILE_set_name("grib_eta");
    char name[FILE_NAME_LEN];
    FILE_set_file("x#1999011506", name);
    Date f;
    FILE_get_time(&f);
    EXPECT_EQ(ymd(f).substr(0, 11), "1999/1/15 6");
    Date d = make(2001, 5, 5, 18);
    FILE_set_date(&d, name);
    EXPECT_EQ(fs::path(name).filename(), "99011506_eta.grb");
}

TEST_F(Files, LatestFileStepsBack) {
    FILE_set_name("grib_six");
    touch("99011506_six.grb");
    touch("99011512_six.grb", 5);  // too small to count
    setenv("zupcurtime", "#199901151900", 1);
    char name[FILE_NAME_LEN];
    EXPECT_EQ(FILE_set_current("la", name), 916380000L);  // 1999-01-15 06 UTC
    const struct {
        const char *current, *file;
    } cases[] = {
        {"la", "99011506_six.grb"},
        {"", "99011518_six.grb"},      // the current time's file as it is
        {"12", "99011506_six.grb"},    // no sign means back
        {"+1d", "99011618_six.grb"},
        {"#1998123100", "98123100_six.grb"},  // an absolute time
        {"la#2", "99011512_six.grb"},  // a limited search ends at the last step tried
    };
    for (const auto &c : cases) {
        FILE_set_current(c.current, name);
        EXPECT_EQ(fs::path(name).filename(), c.file) << c.current;
    }
    // Typed answers hand the count and an absolute time on as they are.
    FILE_set_file("la#2", name);
    EXPECT_EQ(fs::path(name).filename(), "99011512_six.grb");
    Date forced;
    FILE_get_time(&forced);
    EXPECT_EQ(forced.year, MISSING);
    FILE_set_file("cu#1998123100", name);
    EXPECT_EQ(fs::path(name).filename(), "98123100_six.grb");
}

TEST_F(Files, ForcedNegativeHourSteps) {
    FILE_set_name("grib");  // hourly template
    Date f;
    DATE_init(&f);
    f.hour = -6;
    FILE_set_time(&f);
    touch("99011500_x.grb");
    touch("99011503_x.grb");
    setenv("zupcurtime", "#1999011517", 1);
    char name[FILE_NAME_LEN];
    FILE_set_ext_info("x");
    FILE_set_current("la", name);
    // 12 and 06 are tried (not found), then 00; 03 is never a candidate.
    EXPECT_EQ(fs::path(name).filename(), "99011500_x.grb");
    EXPECT_EQ(FILE_get_late_off(), 6 * 3600);
}

TEST_F(Files, ForcedHourWithAnOffset) {
    // -1224: the 12 UTC file of each day; before 12 UTC it is yesterday's.
    FILE_set_name("grib");
    FILE_set_ext_info("x");
    Date f;
    DATE_init(&f);
    f.hour = -1224;
    FILE_set_time(&f);
    char name[FILE_NAME_LEN];
    Date d = make(1999, 1, 15, 5);
    FILE_set_date(&d, name);
    EXPECT_EQ(fs::path(name).filename(), "99011412_x.grb");
    Date used;
    FILE_get_date(&used);
    EXPECT_EQ(ymd(used).substr(0, 12), "1999/1/14 12");
    d = make(1999, 3, 1, 5);  // back across the end of February
    FILE_set_date(&d, name);
    EXPECT_EQ(fs::path(name).filename(), "99022812_x.grb");
    d = make(1999, 1, 15, 17);
    FILE_set_date(&d, name);
    EXPECT_EQ(fs::path(name).filename(), "99011512_x.grb");
    EXPECT_EQ(FILE_get_late_off(), 24 * 3600);
    // -1203: 12 plus multiples of 3, which never lies after the given hour.
    f.hour = -1203;
    FILE_set_time(&f);
    for (int h = 0; h < 24; ++h) {
        d = make(1999, 1, 15, h);
        FILE_set_date(&d, name);
        FILE_get_date(&used);
        EXPECT_EQ(used.day, 15) << h;
        EXPECT_EQ(used.hour, h / 3 * 3) << h;
    }
    // The latest file under the 12 UTC rule, searched from 05 UTC.
    f.hour = -1224;
    FILE_set_time(&f);
    touch("99011312_x.grb");
    setenv("zupcurtime", "#1999011505", 1);
    FILE_set_current("la", name);
    EXPECT_EQ(fs::path(name).filename(), "99011312_x.grb");
}

TEST_F(Files, ListingFindsTemplateFiles) {
    FILE_set_name("grib_six");
    touch("99011506_six.grb");
    touch("99011512_six.grb");
    touch("notes.txt");
    CaptureStdout();
    FILE_list_file();
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("99011506_six.grb"), std::string::npos);
    EXPECT_NE(out.find("99011512_six.grb"), std::string::npos);
    EXPECT_EQ(out.find("notes.txt"), std::string::npos);
}

TEST_F(Files, PromptFindsATypedFile) {
    FILE_set_name("grib_six");
    touch("99011512_six.grb");
    feed("nothing\n99011512\n");
    char name[FILE_NAME_LEN];
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(FILE_get_file("Enter the grid filename: ", name), 1);
    std::string out = GetCapturedStdout();
    std::string err = GetCapturedStderr();
    EXPECT_EQ(std::string(name), grid.string() + "/99011512_six.grb");
    EXPECT_EQ(out.rfind("List of available files:\n", 0), 0u);
    EXPECT_NE(err.find("File not found: "), std::string::npos);
}

TEST_F(Files, FilenameResource) {
    FILE_set_name("grib_six");
    touch("99011512_six.grb");
    RES_put("filename", "99011512\nsecond");
    char name[FILE_NAME_LEN];
    EXPECT_EQ(FILE_get_file("? ", name), 1);
    EXPECT_EQ(fs::path(name).filename(), "99011512_six.grb");
    RES_put("filename", "99011518");
    EXPECT_EQ(FILE_get_file("? ", name), 0);
}

TEST_F(Files, PromptExitStatuses) {
    FILE_set_name("grib_six");
    EXPECT_EXIT(
        {
            feed("exit\n");
            char name[FILE_NAME_LEN];
            FILE_get_file("? ", name);
            std::exit(3);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            feed("a\nb\nc\nd\ne\n");
            char name[FILE_NAME_LEN];
            FILE_get_file("? ", name);
            std::exit(3);
        },
        testing::ExitedWithCode(10), "File not found");
    EXPECT_EXIT(
        {
            RES_put("filename", "list");
            FILE_get_file("? ", nullptr);
            std::exit(3);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            setenv("zupcurtime", "#1999011512", 1);
            FLAG_set_batch(1);
            char name[FILE_NAME_LEN];
            FILE_get_file("? ", name);
            std::exit(3);
        },
        testing::ExitedWithCode(10), "File not found: .*_six.grb");
}

TEST_F(Files, CurrentResourcePicksTheFile) {
    FILE_set_name("grib_six");
    touch("99011512_six.grb");
    setenv("zupcurtime", "#1999011513", 1);
    RES_put("current", "");
    char name[FILE_NAME_LEN];
    EXPECT_EQ(FILE_get_file("? ", name), 1);
    EXPECT_EQ(fs::path(name).filename(), "99011512_six.grb");
}

TEST_F(Files, SaveAndRestore) {
    FILE_set_name("grib_six");
    FILE_save_name_conv();
    FILE_set_name("grib_hdr");
    EXPECT_STREQ(FILE_get_conv(), "%G%y%m%d%h.grb");
    FILE_restore_name_conv();
    EXPECT_STREQ(FILE_get_conv(), "%G%y%m%d%6h_six.grb");
}

TEST_F(Files, PathJoining) {
    char out[FILE_NAME_LEN];
    EXPECT_STREQ(FILE_add_path("/data", "x.grb", out), "/data/x.grb");
    EXPECT_STREQ(FILE_add_path("/data/", "x.grb", out), "/data/x.grb");
    EXPECT_STREQ(FILE_add_path("/data", "/abs/x", out), "/abs/x");
    EXPECT_STREQ(FILE_add_path("/data", "./rel", out), "./rel");
    EXPECT_STREQ(FILE_add_path("/data", "~/x", out), "~/x");
    EXPECT_STREQ(FILE_add_path("/data", "-", out), "-");
    EXPECT_STREQ(FILE_add_path("", "x", out), "x");
    std::string longdir(300, 'd');
    FILE_add_path(longdir.c_str(), "x", out);
    EXPECT_EQ(std::strlen(out), static_cast<std::size_t>(FILE_NAME_LEN - 1));
    char buf[10] = "dir";
    EXPECT_STREQ(FILE_add_path_delim(buf), "dir/");
    EXPECT_STREQ(FILE_add_path_delim(buf), "dir/");
    EXPECT_TRUE(FILE_is_stdio(""));
    EXPECT_TRUE(FILE_is_stdio("STD"));
    EXPECT_TRUE(FILE_is_stdio("stdn"));
    EXPECT_FALSE(FILE_is_stdio("stdx"));
    EXPECT_TRUE(FILE_fullpath("~x"));
    EXPECT_FALSE(FILE_fullpath("x/y"));
}

TEST_F(Files, PathResources) {
    // "none" is the empty path, not a directory of that name; an unset
    // resource leaves the name alone.
    char out[FILE_NAME_LEN];
    EXPECT_EQ(std::string(FILE_add_res_path("file_path", "sao.cty", out)),
              dir.string() + "/sao.cty");
    RES_put("file_path", "NONE");
    EXPECT_STREQ(FILE_add_res_path("file_path", "sao.cty", out), "sao.cty");
    EXPECT_STREQ(FILE_add_res_path("model_path", "model.lup", out), "model.lup");
    // the naming-convention file is then looked for in the current directory
    EXPECT_EQ(FILE_set_name("grib_eta"), 0);
}

TEST_F(Files, StarTakesTheMatchedText) {
    std::ofstream(dir / "name_conv", std::ios::app) << "grib_star  %G%y%m%d%h_*.grb  -  0\n";
    FILE_set_name("grib_star");
    char name[FILE_NAME_LEN];
    FILE_set_file("99011512_nam218.grb", name);
    EXPECT_EQ(std::string(name), grid.string() + "/99011512_nam218.grb");
    // what a name matched is kept for the next name built from the template
    Date d = make(1999, 1, 15, 18);
    FILE_set_date(&d, name);
    EXPECT_EQ(fs::path(name).filename(), "99011518_nam218.grb");
    // a name that stops early keeps the rest as typed
    FILE_set_file("99011512_x", name);
    EXPECT_EQ(std::string(name), grid.string() + "/99011512_x");
}

TEST_F(Files, LatestAfterAFailedFullPath) {
    // "la" after a full path that was not found searches the data directory
    // again, not the folder of the failed path.
    FILE_set_name("grib_six");
    touch("99011512_six.grb");
    setenv("zupcurtime", "#199901151900", 1);
    feed("/elsewhere/99011512_six.grb\nla\n");
    char name[FILE_NAME_LEN];
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(FILE_get_file("Enter the grid filename: ", name), 1);
    GetCapturedStdout();
    std::string err = GetCapturedStderr();
    EXPECT_EQ(std::string(name), grid.string() + "/99011512_six.grb");
    EXPECT_NE(err.find("File not found: /elsewhere/99011512_six.grb"), std::string::npos);
}

TEST_F(Files, HomeExpansion) {
    std::string old = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", dir.c_str(), 1);
    char out[FILE_NAME_LEN];
    FILE_add_user_path("~/a/b", out);
    EXPECT_EQ(std::string(out), dir.string() + "/a/b");
    FILE_add_user_path("~", out);
    EXPECT_EQ(std::string(out), dir.string());
    FILE_add_user_path("~root/x", out);
    EXPECT_STREQ(out, "/root/x");
    FILE_add_user_path("~no_such_user_here/x", out);
    EXPECT_STREQ(out, "~no_such_user_here/x");
    // Writing through "~" makes the missing directories.
    FILE *f = FILE_open("~/made/deeper/file.txt", "w");
    ASSERT_NE(f, nullptr);
    std::fputs("hi", f);
    FILE_close(f);
    EXPECT_EQ(slurp(dir / "made/deeper/file.txt"), "hi");
    EXPECT_TRUE(FILE_exist("~/made/deeper/file.txt"));
    EXPECT_EQ(FILE_size("~/made/deeper/file.txt"), 2);
    EXPECT_TRUE(FILE_is_dir("~/made"));
    EXPECT_EQ(FILE_delete("~/made/deeper/file.txt"), 0);
    EXPECT_FALSE(FILE_exist("~/made/deeper/file.txt"));
    EXPECT_EQ(FILE_delete("~/made/deeper/file.txt"), -1);
    setenv("HOME", old.c_str(), 1);
}

TEST_F(Files, StreamsAndPipes) {
    EXPECT_EQ(FILE_open("-", "r"), stdin);
    EXPECT_EQ(FILE_open("-", "w"), stdout);
    EXPECT_EQ(FILE_open("", "a"), stdout);
    EXPECT_EQ(FILE_close(stdout), 0);  // standard streams stay open
    fs::path out = dir / "piped.txt";
    std::string cmd = "|cat > " + out.string();
    FILE *p = FILE_open(cmd.c_str(), "w");
    ASSERT_NE(p, nullptr);
    std::fputs("through a pipe\n", p);
    EXPECT_EQ(FILE_close(p), 0);
    EXPECT_EQ(slurp(out), "through a pipe\n");
    FilePtr r = FILE_open_ptr("|echo hello", "r");
    ASSERT_TRUE(r);
    char line[161];
    EXPECT_EQ(fgetline(r.get(), line), 5);
    EXPECT_STREQ(line, "hello");
    EXPECT_EQ(FILE_open((dir / "missing.txt").c_str(), "r"), nullptr);
    EXPECT_EQ(FILE_make_dir((dir / "x/y/z").c_str()), 0);
    EXPECT_TRUE(FILE_is_dir((dir / "x/y/z").c_str()));
    EXPECT_EQ(FILE_size("/no/such/file"), -1);
}

TEST_F(Files, OddKindsAndAnswers) {
    EXPECT_EQ(FILE_set_name(":m"), 0);
    EXPECT_STREQ(FILE_get_conv(), "");
    EXPECT_EQ(FILE_set_name("@"), 1);
    std::string longkind(1000, 'k');
    EXPECT_EQ(FILE_set_name(longkind.c_str()), 0);
    EXPECT_EQ(std::strlen(FILE_get_conv()), static_cast<std::size_t>(FILE_NAME_LEN - 1));
    char name[FILE_NAME_LEN];
    Date d = make(1999, 1, 15, 12);
    FILE_set_date(&d, name);
    EXPECT_EQ(std::strlen(name), static_cast<std::size_t>(FILE_NAME_LEN - 1));
    // A template of nothing but codes and a huge width stays in bounds.
    FILE_set_name("@%99999i%99999Y%0h%");
    FILE_set_date(&d, name);
    EXPECT_LT(std::strlen(name), static_cast<std::size_t>(FILE_NAME_LEN));
    FILE_set_name("grib_eta");
    FILE_set_file("#", name);
    FILE_set_file("la#", name);
    FILE_set_file("cu+99999999d", name);
    FILE_set_file("x#", name);
    EXPECT_LT(std::strlen(name), static_cast<std::size_t>(FILE_NAME_LEN));
}
