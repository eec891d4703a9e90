// The program as users run it: help, the grid-file prompt, "set" and "exit"
// at a prompt, end of input, resource precedence and exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string program() {
    const char *bin = std::getenv("RAZIVA_BIN");
    if (bin && *bin) return fs::absolute(bin).string();
    return std::string(RAZIVA_BINARY_DIR) + "/raziva";
}

std::string slurp(const fs::path &p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs the program in a scratch directory with args and input; env is a
// prefix of variable settings for the shell.
Result run(const std::string &args, const std::string &input, const std::string &env = "") {
    fs::path dir = fs::path(testing::TempDir()) /
                   ("raziva_run_" +
                    std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
    fs::path in = dir / "in", out = dir / "out", err = dir / "err";
    {
        std::ofstream f(in);
        f << input;
    }
    std::string cmd = "cd '" + dir.string() + "' && env -u zupdefault -u zupmodel -u zuptitle " +
                      env + " '" + program() + "' " + args + " < '" + in.string() + "' > '" +
                      out.string() + "' 2> '" + err.string() + "'";
    int rc = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

const std::string kData = std::string("-fp ") + RAZIVA_DATA_DIR + " ";

class Program : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(program())) GTEST_SKIP() << "program not built: " << program();
    }
};

}  // namespace

TEST_F(Program, HelpFirstLineAndStatus) {
    Result r = run("-h", "");
    EXPECT_EQ(r.status, 0);
    // The program's one-line description, then the usage line with the version.
    EXPECT_EQ(r.out.rfind("raziva: This program contours existing grids on a background map\n"
                          "raziva syntax (version:5.59-LINUX-X11)\n",
                          0),
              0u);
    EXPECT_NE(r.out.find(" -ge wxh+x+y  Window geometry\nPositional options...\n"
                         " file [file...]  Input file names\n"),
              std::string::npos);
    // The banner is not printed with help.
    EXPECT_EQ(r.out.find("MODEL GRIDDED"), std::string::npos);
}

TEST_F(Program, ExitAtTheFilePrompt) {
    Result r = run(kData, "exit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("      MODEL GRIDDED SOUNDING PLOTTING (Ver 5.59-LINUX-X11)\n\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Enter the grid filename: "), std::string::npos);
}

TEST_F(Program, EndOfInputEndsLikeExit) {
    Result r = run(kData, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Enter the grid filename: "), std::string::npos);
}

TEST_F(Program, FourWrongNamesEndWithTen) {
    Result r = run(kData, "no1\nno2\nno3\nno4\nno5\n");
    EXPECT_EQ(r.status, 10);
    std::size_t n = 0;
    for (std::size_t p = r.err.find("File not found: "); p != std::string::npos;
         p = r.err.find("File not found: ", p + 1))
        ++n;
    EXPECT_EQ(n, 4u);
}

TEST_F(Program, SetAtAPromptChangesAResource) {
    Result r = run(kData + "-ti fromline", "set title=Hello\nset\nexit\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Set resources\n"), std::string::npos);
    EXPECT_NE(r.out.find("title: Hello\n"), std::string::npos);
    EXPECT_EQ(r.out.find("title: fromline\n"), std::string::npos);
}

TEST_F(Program, ResourcePrecedence) {
    fs::path cfg = fs::path(testing::TempDir()) / "raziva_cfg_precedence";
    fs::create_directories(cfg);
    {
        std::ofstream f(cfg / "zup.cfg");
        f << "*title: fromfile\n*model: fromfile\n*label: fromfile\n";
    }
    std::string df = "-df " + cfg.string() + " ";
    Result r = run(df + kData + "-ti fromline", "set\nexit\n",
                "zuptitle=fromenv zupmodel=fromenv");
    EXPECT_NE(r.out.find("title: fromline\n"), std::string::npos);
    EXPECT_NE(r.out.find("model: fromenv\n"), std::string::npos);
    EXPECT_NE(r.out.find("label: fromfile\n"), std::string::npos);
}

TEST_F(Program, BatchLeavesTheNextWordPositional) {
    Result r = run(kData + "-ba word", "");
    // "word" became the grid file name, which does not exist.
    EXPECT_EQ(r.status, 10);
    EXPECT_NE(r.err.find("File not found: ./word"), std::string::npos);
    // Batch mode hides the progress banner.
    EXPECT_EQ(r.out.find("MODEL GRIDDED"), std::string::npos);
}

TEST_F(Program, OverlongCommandLineAndAnswers) {
    std::string huge(3000, 'x');
    Result r = run(kData + "-" + huge + "=" + huge + " -id " + huge,
                std::string(5000, 'y') + "\nexit\n");
    EXPECT_EQ(r.status, 0);
}
