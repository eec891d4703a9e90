// The shipped stroke fonts are exactly what the generator makes from the
// Hershey fonts of the hershey-fonts-data package.
#include <cstdlib>
#include <string>

#include "gks_fixture.h"

TEST(FontGenerator, ShippedFontsAreReproducible) {
    const std::string src = "/usr/share/hershey-fonts";
    if (std::system(("test -r " + src + "/rowmans.jhf").c_str()) != 0)
        GTEST_SKIP() << "hershey-fonts-data not installed";
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    std::string out = out_path("fonts_regen");
    std::string tool = std::string(RAZIVA_DATA_DIR) + "/../tools/make_fonts.py";
    ASSERT_EQ(std::system(("mkdir -p " + out + " && python3 " + tool + " " + src + " " + out +
                           " >/dev/null")
                              .c_str()),
              0);
    for (const char *f : {"modern.fnt", "serif.fnt", "script.fnt", "duplex.fnt"}) {
        std::string made = read_all(out + "/" + f);
        EXPECT_FALSE(made.empty()) << f;
        EXPECT_EQ(made, read_all(std::string(RAZIVA_DATA_DIR) + "/" + f)) << f;
    }
}
