// A main for the fuzz targets without libFuzzer: feeds every file named on
// the command line, or found in a folder named there, to the target once.
// Lets any compiler replay the committed corpora as ordinary tests; a broken
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

namespace {

bool replay(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<uint8_t> bytes(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so that a read past its end is one
    // that AddressSanitizer sees, as under the fuzzer.
    std::vector<uint8_t> exact(bytes);
    exact.shrink_to_fit();
    LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        fs::path arg(argv[i]);
        std::vector<fs::path> files;
        std::error_code error;
        if (fs::is_directory(arg, error)) {
            for (const auto& entry : fs::directory_iterator(arg, error))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end()); // the same order every run
        } else {
            files.push_back(arg);
        }
        for (const auto& file : files) {
            if (!replay(file))
                return 1;
            ++count;
        }
    }
    // An empty or missing corpus would pass without testing anything.
    if (count == 0) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 1;
    }
    std::printf("replay: %zu inputs, no fault\n", count);
    return 0;
}
