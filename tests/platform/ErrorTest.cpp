// Each kind of platform failure reaches its caller as one line that names
// the operation, the file and the reason.
#include "platform/Error.h"
#include "platform/AtomicFile.h"
#include "platform/FileURL.h"
#include "platform/Files.h"
#include "platform/Image.h"
#include "platform/PropertyList.h"
#include "platform/SharedLibrary.h"

#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using platform::Error;
using testing_support::TempDir;

namespace {

template<class T> Error errorOf(const platform::ErrorOr<T>& result)
{
    if (result)
        return Error(Error::Code::Invalid, "<succeeded>", {}, {});
    return result.error();
}

} // namespace

TEST(ErrorTest, FailuresSayWhatFailedOnWhichFileAndWhy)
{
    TempDir dir;
    std::ofstream(dir / "text.png") << "not a picture";
    std::ofstream(dir / "array.plist") << "<plist version=\"1.0\"><array/></plist>";
    const std::vector<uint8_t> bytes {1, 2, 3};
    // A commit whose folder went away after begin keeps the rename's reason.
    std::filesystem::create_directory(dir.path / "gone");
    auto pending = platform::AtomicFile::begin(dir / "gone/x");
    ASSERT_TRUE(pending);
    std::filesystem::remove_all(dir.path / "gone");
    const auto libm = platform::SharedLibrary::open("libm.so.6");
    ASSERT_TRUE(libm);
    double (*missing)(double) = nullptr;
    struct {
        const char* name;
        Error error;
        Error::Code code;
        std::string message;
    } cases[] = {
        {"errno", Error::fromErrno("write", "/a/b.png", EACCES), Error::Code::System,
            "cannot write /a/b.png: Permission denied"},
        {"no path", Error(Error::Code::Corrupt, "decode", "", "PNG: bad CRC"), Error::Code::Corrupt,
            "cannot decode: PNG: bad CRC"},
        {"read", errorOf(platform::readFile(dir / "none")), Error::Code::System,
            "cannot read " + dir / "none" + ": No such file or directory"},
        {"write", errorOf(platform::writeFileAtomically(dir / "no/x.png", bytes)),
            Error::Code::System,
            "cannot write " + dir / "no/x.png" + ": No such file or directory"},
        {"write a folder", errorOf(platform::writeFileAtomically(dir.path.string(), bytes)),
            Error::Code::System, "cannot write " + dir.path.string() + ": Is a directory"},
        {"begin on a folder", errorOf(platform::AtomicFile::begin(dir.path.string())),
            Error::Code::System, "cannot write " + dir.path.string() + ": Is a directory"},
        {"begin in a missing folder", errorOf(platform::AtomicFile::begin(dir / "no/x")),
            Error::Code::System, "cannot write " + dir / "no/x" + ": No such file or directory"},
        {"commit", errorOf((*pending)->commit()), Error::Code::System,
            "cannot write " + dir / "gone/x" + ": No such file or directory"},
        {"decode a file", errorOf(platform::Image::fromFile(dir / "text.png")),
            Error::Code::UnknownFormat,
            "cannot decode " + dir / "text.png" + ": not a JPEG or PNG picture"},
        {"property list", errorOf(platform::PropertyList::readDictionary(dir / "array.plist")),
            Error::Code::Corrupt,
            "cannot read " + dir / "array.plist" + ": its root is not a dictionary"},
        {"URL", errorOf(platform::localPathForURL("http://host/a")), Error::Code::Invalid,
            "cannot resolve http://host/a: not a file URL"},
        {"library", errorOf(platform::SharedLibrary::open("libgloam-none.so.0")),
            Error::Code::Unavailable,
            "cannot load libgloam-none.so.0: libgloam-none.so.0: cannot open shared object file: "
            "No such file or directory"},
        {"function", errorOf(libm->bind(missing, "gloam_none")), Error::Code::Unavailable,
            "cannot load libm.so.6: it has no function gloam_none (an older version?)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error.message(), c.message) << c.name;
        EXPECT_EQ(c.error.code(), c.code) << c.name;
        EXPECT_EQ(c.error.errorNumber() != 0, c.code == Error::Code::System) << c.name;
    }
}
