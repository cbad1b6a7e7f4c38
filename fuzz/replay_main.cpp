// Runs a fuzz target over files without libFuzzer, so the ordinary build and ctest can replay
// the seed corpus and every saved crash. Arguments are files or folders of files.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace fs = std::filesystem;

namespace {

int replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << file << '\n';
        return 1;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int failures = 0, count = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> files;
        if (fs::is_directory(argv[i])) {
            for (const auto& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
        for (const fs::path& f : files) {
            failures += replay(f);
            ++count;
        }
    }
    std::cout << "replayed " << count << " inputs\n";
    // An empty corpus would make the replay pass without testing anything.
    return failures || count == 0 ? 1 : 0;
}
