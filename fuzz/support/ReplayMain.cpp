// A main for the fuzz targets without libFuzzer: feeds every file named on
// the command line, or found in a folder named there, to the target once, so
// that any compiler replays the committed corpora as ordinary tests. A broken
// rule traps exactly as it does under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!fs::is_directory(argv[i], error))
            files.emplace_back(argv[i]);
        for (const auto& entry : fs::directory_iterator(argv[i], error))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end()); // the same order every run
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
            return 1;
        }
        // Exactly the input's size, so that AddressSanitizer sees a read past
        // its end, as under the fuzzer.
        std::vector<uint8_t> bytes(
            (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        bytes.shrink_to_fit();
        LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
    }
    // An empty or missing corpus would pass without testing anything.
    if (files.empty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 1;
    }
    std::printf("replay: %zu inputs, no fault\n", files.size());
    return 0;
}
