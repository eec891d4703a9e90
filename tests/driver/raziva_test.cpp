// The program as users run it: help, the grid-file prompt, "set" and "exit"
// at a prompt, end of input, resource precedence and exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

TEST_F(Program, HelpListsEveryResourceInOrder) {
    // Synopsis and help text of each accepted resource, in help order; the
    // three domain resources print their block text instead.
    struct Item {
        const char *synopsis, *help;
    };
    const Item kItems[] = {
        {"-h", "Print this help"},
        {"-ba", "Run program in batch mode"},
        {"-me level", "Message level to be displayed:"},
        {"-fp path", "File path"},
        {"-dp path", "Raw data path"},
        {"-cp path", "Converted data path"},
        {"-gp path", "Gridded data path"},
        {"-rp path", "Raw files path"},
        {"-ip path", "Image file path"},
        {"-wp path", "Watch file data path"},
        {"-tp path", "Text file path"},
        {"-mp path", "Model file path"},
        {"-sp path", "Satellite file path"},
        {"-cf file", "City database file name"},
        {"-mf file[,file]", "Map database files"},
        {"-nc type", "Naming convention file name"},
        {"-if type", "Input data file type"},
        {"-of type", "Output file type"},
        {"-pf param", "File parameters: use,calc,over,app"},
        {"-mo model", "Specific model to use"},
        {"-cu [hour]", "Use current data file"},
        {"-ho hour", "Actual hour of the file"},
        {"-nh hour[,step]", "Number of hours to view"},
        {"-gn number", "Specific grid index in file to use"},
        {"-gt number", "Specific grid type (number) to use"},
        {"-pd region or [proj],clat,clon[,nx,ny][,dx,dy]", nullptr},
        {"-gd region or [proj],clat,clon[,nx,ny][,dx,dy]", nullptr},
        {"-re region or [proj],clat,clon[,nx,ny][,dx,dy]", nullptr},
        {"-pr prior", "Priority of stations used in the plot"},
        {"-id ident", "Specific station identifier"},
        {"-ft time", "Forecast time to be plotted or contoured"},
        {"-pl type", "Plot type: cf,lcf,ln,dln,ndln,value,none"},
        {"-sc scale", "Text and wind vector scale factor"},
        {"-fm format", "Numeric format"},
        {"-pp param", "Plot parameters"},
        {"-dr param[,...]", "Draw components: text,data,sum,map,none"},
        {"-la label", "Plot labels"},
        {"-in intrvl", "Contour interval"},
        {"-cb base", "Color fill contour/vector base value"},
        {"-fl list", "List of fonts to use"},
        {"-ct file", "Color table file name"},
        {"-cot clr", "Text color"},
        {"-cod clr", "Data plotting color"},
        {"-com clr", "line map color"},
        {"-cogr clr", "grid color"},
        {"-coln clr", "Lat-lon line color"},
        {"-cocm clr", "Fill map color"},
        {"-coco clr", "Line contour color"},
        {"-cof clr[,...]", "Fill contour colors"},
        {"-cola clr", "Line label color"},
        {"-cocl clr", "Fill label color"},
        {"-coth pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram colors"},
        {"-cott pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram text colors"},
        {"-cowd clr", "Wind barb colors"},
        {"-cosd tclr,tdclr", "Sounding colors"},
        {"-coh dclr,sclr,hclr", "Hodograph colors"},
        {"-coht dclr,sclr,hclr", "Hodograph text colors"},
        {"-de dev[,name]", "Output device: d,p,q,w,m"},
        {"-ti title", "Window title"},
        {"-ic", "Open window iconified"},
        {"-bg clr", "Background color"},
        {"-ge wxh+x+y", "Window geometry"},
    };
    Result r = run("-h", "");
    EXPECT_EQ(r.status, 0);
    // The program's one-line description, then the usage line with the
    // version; no banner.
    EXPECT_EQ(r.out.rfind("raziva: This program contours existing grids on a background map\n"
                          "raziva syntax (version:5.59-LINUX-X11)\n",
                          0),
              0u);
    EXPECT_EQ(r.out.find("MODEL GRIDDED"), std::string::npos);
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    std::size_t at = 0;
    while (at < lines.size() && lines[at] != "Keyed options...") ++at;
    ASSERT_LT(at + 3, lines.size());
    EXPECT_EQ(lines[at + 1], " -df file    Resource/defaults file name");
    EXPECT_EQ(lines[at + 2], " -na name    Program name");
    at += 3;
    for (const Item &it : kItems) {
        ASSERT_LT(at, lines.size()) << it.synopsis;
        if (it.help) {
            char buf[200];
            std::snprintf(buf, sizeof buf, " %-10s  %s", it.synopsis, it.help);
            EXPECT_EQ(lines[at], buf);
            ++at;
            if (std::string(it.synopsis) == "-me level") {
                EXPECT_EQ(lines[at],
                          "             none,print,error,warn,mess,out1,*out2,out3,out4,debug");
                ++at;
            }
        } else {
            EXPECT_EQ(lines[at], std::string(" ") + it.synopsis);
            at += std::string(it.synopsis).rfind("-re", 0) == 0 ? 7 : 6;
        }
    }
    ASSERT_LT(at + 1, lines.size());
    EXPECT_EQ(lines[at], "Positional options...");
    EXPECT_EQ(lines[at + 1], " file [file...]  Input file names");
    EXPECT_EQ(lines.size(), at + 2);
}

// Answers at the grid-file prompt and their exit statuses.
TEST_F(Program, SessionsAtTheFilePrompt) {
    const std::string huge(3000, 'x');
    const struct {
        const char *what;
        std::string args, input;
        int status;
        const char *out, *err;
    } cases[] = {
        {"exit", kData, "exit\n", 0, "      MODEL GRIDDED SOUNDING PLOTTING (Ver 5.59-LINUX-X11)\n\n",
         ""},
        {"end of input ends like exit", kData, "", 0, "Enter the grid filename: ", ""},
        {"four wrong names", kData, "no1\nno2\nno3\nno4\nno5\n", 10, "", "File not found: "},
        {"set at a prompt", kData + "-ti fromline", "set title=Hello\nset\nexit\n", 0,
         "Set resources\n", ""},
        {"batch leaves the next word positional", kData + "-ba word", "", 10, "",
         "File not found: ./word"},
        {"over-long command line and answers", kData + "-" + huge + "=" + huge + " -id " + huge,
         std::string(5000, 'y') + "\nexit\n", 0, "", ""},
    };
    for (const auto &c : cases) {
        Result r = run(c.args, c.input);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.what << ": " << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
        if (std::string(c.what) == "four wrong names") {
            std::size_t n = 0;
            for (std::size_t p = r.err.find("File not found: "); p != std::string::npos;
                 p = r.err.find("File not found: ", p + 1))
                ++n;
            EXPECT_EQ(n, 4u);
        }
        if (std::string(c.what) == "set at a prompt") {
            EXPECT_NE(r.out.find("title: Hello\n"), std::string::npos);
            EXPECT_EQ(r.out.find("title: fromline\n"), std::string::npos);
        }
    }
    // Batch mode hides the progress banner.
    EXPECT_EQ(run(kData + "-ba word", "").out.find("MODEL GRIDDED"), std::string::npos);
}

TEST_F(Program, ResourcePrecedence) {
    fs::path cfg = fs::path(testing::TempDir()) / "raziva_cfg_precedence";
    fs::create_directories(cfg);
    std::ofstream(cfg / "zup.cfg") << "*title: fromfile\n*model: fromfile\n*label: fromfile\n";
    Result r = run("-df " + cfg.string() + " " + kData + "-ti fromline", "set\nexit\n",
                   "zuptitle=fromenv zupmodel=fromenv");
    EXPECT_NE(r.out.find("title: fromline\n"), std::string::npos);
    EXPECT_NE(r.out.find("model: fromenv\n"), std::string::npos);
    EXPECT_NE(r.out.find("label: fromfile\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Station lists ("@FILE")

namespace {

// (reports only: no plot after each sounding)
const std::string kReport = kData + "-ba -pl none -me mess,+out1,+out2,+out3 -ft h24 ";
const std::string kSample = std::string(RAZIVA_DATA_DIR) + "/sample.grb";

// The report blocks of a run, from each "Date:" line on, keyed by station.
std::vector<std::string> reports(const std::string &out) {
    std::vector<std::string> blocks;
    std::size_t at = out.find("Date:");
    while (at != std::string::npos) {
        std::size_t next = out.find("Date:", at + 1);
        blocks.push_back(out.substr(at, next == std::string::npos ? std::string::npos : next - at));
        at = next;
    }
    return blocks;
}

fs::path station_file(const std::string &name, const std::string &text) {
    fs::path p = fs::path(testing::TempDir()) / name;
    std::ofstream(p) << text;
    return p;
}

}  // namespace

TEST_F(Program, StationFileReportsEveryStationAndSkipsBadLines) {
    fs::path list = station_file("stations_mixed.txt",
                                 "# stations of the sample\n\n  KDDC  \n40,-100   # a point\n"
                                 "nowhere\n91,5\n" + std::string(600, 'x') + "\n41.5,-98\n");
    Result r = run(kReport + "-id @" + list.string() + " " + kSample, "");
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> got = reports(r.out);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_NE(got[0].find("Station: KDDC\n"), std::string::npos);
    EXPECT_NE(got[1].find("Station: 40,-100\n"), std::string::npos);
    EXPECT_NE(got[2].find("Station: 41.5,-98\n"), std::string::npos);
    for (const char *bad : {"nowhere (line 5", "91,5 (line 6", "xxxx"})
        EXPECT_NE((r.out + r.err).find(std::string("Station not found: ") + bad), std::string::npos)
            << bad;
}

TEST_F(Program, StationFileWithoutStationsEndsWith31) {
    fs::path empty = station_file("stations_none.txt", "# nothing\n\nnowhere\n");
    std::string listed = "@";
    listed += empty.string();
    for (const std::string &id : {listed, std::string("@/no/such/list")}) {
        Result r = run(kReport + "-id " + id + " " + kSample, "");
        EXPECT_EQ(r.status, 31) << id;
        EXPECT_NE((r.out + r.err).find("Station not found\n"), std::string::npos) << id;
        EXPECT_TRUE(reports(r.out).empty()) << id;
    }
}

TEST_F(Program, HundredStationsInOneRunEqualSingleRuns) {
    // a 10 x 10 block of points over the sample's grid
    std::string text;
    std::vector<std::string> ids;
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j) {
            char id[32];
            std::snprintf(id, sizeof id, "%.1f,%.1f", 38.0 + 0.4 * i, -102.0 + 0.4 * j);
            ids.push_back(id);
            text += std::string(id) + "\n";
        }
    fs::path list = station_file("stations_100.txt", text);
    Result all = run(kReport + "-id @" + list.string() + " " + kSample, "");
    ASSERT_EQ(all.status, 0);
    std::vector<std::string> got = reports(all.out);
    ASSERT_EQ(got.size(), 100u);
    for (int k : {0, 37, 99}) {
        Result one = run(kReport + "-id " + ids[static_cast<std::size_t>(k)] + " " + kSample, "");
        std::vector<std::string> single = reports(one.out);
        ASSERT_EQ(single.size(), 1u) << ids[static_cast<std::size_t>(k)];
        EXPECT_EQ(got[static_cast<std::size_t>(k)], single[0]) << ids[static_cast<std::size_t>(k)];
    }
}
