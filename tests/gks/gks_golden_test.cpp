// The bytes every file device writes for the test page, against stored
// copies.  Set RAZIVA_UPDATE_GOLDEN=1 to rewrite them after a deliberate
// change (and look at the rendered pages before committing).
#include <fstream>

#include "gks_fixture.h"
#include "test_page.h"

namespace {

std::string golden(const std::string &name) {
    return std::string(RAZIVA_TEST_DATA_DIR) + "/gks/" + name;
}

void check(int type, const std::string &name, const std::string &options) {
    std::string f = out_path("golden_" + name);
    ASSERT_EQ(open_ws(type, f + options), 0);
    draw_test_page();
    close_ws();
    std::string got = read_all(f);
    ASSERT_FALSE(got.empty());
    if (std::getenv("RAZIVA_UPDATE_GOLDEN")) {
        std::ofstream(golden(name), std::ios::binary) << got;
        return;
    }
    std::string want = read_all(golden(name));
    ASSERT_FALSE(want.empty()) << "missing " << golden(name);
    if (got == want) return;
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    ADD_FAILURE() << name << " differs from byte " << i << ": got \""
                  << got.substr(i > 40 ? i - 40 : 0, 80) << "\" want \""
                  << want.substr(i > 40 ? i - 40 : 0, 80) << "\"";
}

}  // namespace

TEST(Golden, PostScriptColour) { check(GWS_PS, "testpage.ps", ",color"); }
TEST(Golden, PostScriptGreyPortraitA4) { check(GWS_PS, "testpage_grey.ps", ",port,a4"); }
TEST(Golden, Hpgl) { check(GWS_HPGL, "testpage.hpgl", ",pcl"); }
TEST(Golden, TextMetafile) { check(GWS_META, "testpage.meta", ""); }
TEST(Golden, Cgm) { check(GWS_META, "testpage.cgm", ",cgm"); }
