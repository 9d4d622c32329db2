// TempDir: a fresh directory under /tmp for one test, removed with everything
// in it when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testing_support {

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char pattern[] = "/tmp/gloam-test-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

} // namespace testing_support
