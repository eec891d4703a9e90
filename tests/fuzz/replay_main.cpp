// replay_main.cpp - feeds the files of a corpus to a fuzzing entry point
// without libFuzzer: every file of every folder named, in sorted order.
//   fuzz_replay KIND PATH...     (PATH a file or a folder)
//   fuzz_replay --list
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz.h"

namespace fs = std::filesystem;

int main(int argc, char **argv) {
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const std::string &n : fuzz::names()) std::printf("%s\n", n.c_str());
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s KIND PATH... | --list\n", argv[0]);
        return 2;
    }
    fuzz::Entry entry = fuzz::find(argv[1]);
    if (!entry) {
        std::fprintf(stderr, "%s: no fuzzing entry named %s\n", argv[0], argv[1]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int i = 2; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const auto &e : fs::recursive_directory_iterator(argv[i]))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (fs::is_regular_file(argv[i], ec)) {
            files.emplace_back(argv[i]);
        } else {
            std::fprintf(stderr, "%s: no such file or folder: %s\n", argv[0], argv[i]);
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path &p : files) {
        std::ifstream in(p, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay %s (%zu bytes)\n", p.c_str(), bytes.size());
        entry(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu files\n", files.size());
    return 0;
}
