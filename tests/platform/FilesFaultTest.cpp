// The atomic write under failure: every system call it makes is made to fail
// in turn, a writer is killed in the middle, and paths are hostile. Whatever
// happens, the target is the old file or the new one, whole, with its mode.
#include "platform/Files.h"
#include "support/TempDir.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

std::vector<std::string> namesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t modeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Counts every call made through the table and fails the one numbered
// `failAt` with `failErrno`; `shortWrites` makes each write take one byte.
struct Injector {
    static inline int failAt = 0;
    static inline int failErrno = 0;
    static inline int count = 0;
    static inline bool shortWrites = false;
    static inline std::vector<std::string> log;

    static bool failNow(const char* what)
    {
        log.push_back(what);
        if (++count == failAt) {
            errno = failErrno;
            return true;
        }
        return false;
    }
    static int open(const char* p, int f, mode_t m)
    {
        return failNow("open") ? -1 : platform::systemFileCalls().open(p, f, m);
    }
    static ssize_t read(int fd, void* b, size_t n)
    {
        return failNow("read") ? -1 : platform::systemFileCalls().read(fd, b, n);
    }
    static ssize_t write(int fd, const void* b, size_t n)
    {
        if (failNow("write"))
            return -1;
        return platform::systemFileCalls().write(fd, b, shortWrites && n > 1 ? 1 : n);
    }
    static int fsync(int fd)
    {
        return failNow("fsync") ? -1 : platform::systemFileCalls().fsync(fd);
    }
    static int fchmod(int fd, mode_t m)
    {
        return failNow("fchmod") ? -1 : platform::systemFileCalls().fchmod(fd, m);
    }
    static int close(int fd)
    {
        // A failed close still releases the descriptor, as the system's does.
        bool fail = failNow("close");
        int rc = platform::systemFileCalls().close(fd);
        return fail ? -1 : rc;
    }
    static int rename(const char* a, const char* b)
    {
        return failNow("rename") ? -1 : platform::systemFileCalls().rename(a, b);
    }
    static int unlink(const char* p)
    {
        return failNow("unlink") ? -1 : platform::systemFileCalls().unlink(p);
    }

    static constexpr platform::FileSystemCalls table {
        open, read, write, fsync, fchmod, close, rename, unlink};

    Injector(int at, int err, bool shortW = false)
    {
        failAt = at;
        failErrno = err;
        count = 0;
        shortWrites = shortW;
        log.clear();
        platform::setFileSystemCallsForTesting(&table);
    }
    ~Injector() { platform::setFileSystemCallsForTesting(nullptr); }
};

} // namespace

TEST(FilesFaultTest, AFailureAtEveryStepLeavesTheOldFileOrTheNewOneWhole)
{
    const std::string oldText(3000, 'o'), newText(5000, 'n');
    // How many calls one write makes, counted with nothing failing.
    int steps = 0;
    {
        TempDir dir;
        ASSERT_TRUE(platform::writeFileAtomically(dir / "t", bytesOf(oldText)));
        Injector count(0, 0);
        ASSERT_TRUE(platform::writeFileAtomically(dir / "t", bytesOf(newText)));
        steps = Injector::count;
        ASSERT_GE(steps, 6) << "open, write, fsync, fchmod, close, rename at least";
    }
    for (int err : {ENOSPC, EIO}) {
        for (int at = 1; at <= steps; ++at) {
            TempDir dir;
            const std::string target = dir / "t";
            ASSERT_TRUE(platform::writeFileAtomically(target, bytesOf(oldText)));
            ::chmod(target.c_str(), 0604);
            bool ok;
            std::string step;
            {
                Injector inject(at, err);
                ok = platform::writeFileAtomically(target, bytesOf(newText));
                step = Injector::log.at(size_t(at) - 1);
            }
            auto now = platform::readFile(target);
            ASSERT_TRUE(now) << step;
            std::string text(now->begin(), now->end());
            // Failing before the rename keeps the old file and reports it;
            // after it (the folder's sync) the new file is in place and the
            // write did succeed.
            EXPECT_EQ(text, ok ? newText : oldText) << "failed " << step << " (call " << at << ")";
            EXPECT_EQ(namesIn(dir.path), std::vector<std::string> {"t"})
                << "temporary left after a failed " << step;
            EXPECT_EQ(modeOf(target), 0604u) << step;
        }
    }
}

TEST(FilesFaultTest, ShortWritesStillWriteEverything)
{
    TempDir dir;
    std::string text(777, 'x');
    text[0] = 'a';
    text.back() = 'z';
    Injector inject(0, 0, true);
    ASSERT_TRUE(platform::writeFileAtomically(dir / "t", bytesOf(text)));
    EXPECT_EQ(platform::readFile(dir / "t"), bytesOf(text));
    EXPECT_TRUE(platform::appendToExistingFile(dir / "t", bytesOf("tail")));
    EXPECT_EQ(platform::readFile(dir / "t")->size(), 781u);
}

TEST(FilesFaultTest, FailedReadsAndAppendsReportFailure)
{
    TempDir dir;
    ASSERT_TRUE(platform::writeFileAtomically(dir / "t", bytesOf("abc")));
    for (int at = 1; at <= 2; ++at) {
        Injector inject(at, EIO); // the open, then the first read
        EXPECT_FALSE(platform::readFile(dir / "t")) << Injector::log.back();
    }
    {
        Injector inject(2, ENOSPC); // the write after the open
        EXPECT_FALSE(platform::appendToExistingFile(dir / "t", bytesOf("def")));
    }
    EXPECT_EQ(platform::readFile(dir / "t"), bytesOf("abc"));
}

TEST(FilesFaultTest, AWriterKilledMidWriteLeavesAWholeFileAndItsTemporaryIsCleared)
{
    TempDir dir;
    const std::string target = dir / "picture.png";
    // Large enough that a write takes a while, so that the kill lands inside
    // one more often than not.
    const std::vector<uint8_t> a(1 << 20, 'a'), b(1 << 20, 'b');
    ASSERT_TRUE(platform::writeFileAtomically(target, a));
    ::chmod(target.c_str(), 0640);
    for (int round = 0; round < 5; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                platform::writeFileAtomically(target, i % 2 ? a : b);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + 17 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        auto now = platform::readFile(target);
        ASSERT_TRUE(now);
        EXPECT_TRUE(*now == a || *now == b) << "round " << round << ": " << now->size() << " bytes";
        EXPECT_EQ(modeOf(target), 0640u);
        // The child may have died holding a temporary; the next write of the
        // same file clears it away.
        ASSERT_TRUE(platform::writeFileAtomically(target, a));
        EXPECT_EQ(namesIn(dir.path), std::vector<std::string> {"picture.png"}) << "round " << round;
    }
}

TEST(FilesFaultTest, OnlyTemporariesOfWritersThatAreGoneAreCleared)
{
    TempDir dir;
    pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string stale = ".t.tmp-" + std::to_string(gone) + "-7";
    // This process's own and a live parent's temporaries may be writes in
    // progress; another file's temporary is not ours to judge.
    const std::vector<std::string> keep = {
        ".t.tmp-" + std::to_string(::getpid()) + "-1",
        ".t.tmp-" + std::to_string(::getppid()) + "-2",
        ".other.tmp-999999999-3",
        ".t.tmp-x-4",
        "t.tmp-999999999-5",
    };
    for (const auto& name : keep)
        ASSERT_TRUE(platform::writeFileAtomically(dir / name, bytesOf("?")));
    ASSERT_TRUE(platform::writeFileAtomically(dir / stale, bytesOf("?")));
    ASSERT_TRUE(platform::writeFileAtomically(dir / "t", bytesOf("new")));
    auto names = namesIn(dir.path);
    EXPECT_EQ(std::find(names.begin(), names.end(), stale), names.end());
    for (const auto& name : keep)
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

TEST(FilesFaultTest, SymbolicLinksFollowOneRule)
{
    TempDir dir;
    fs::create_directory(dir.path / "sub");
    // A link is followed to the file it names; that file is replaced and the
    // link stays. A dangling link gets the file it names. Loops and links to
    // folders are refused and change nothing.
    fs::create_symlink("sub/real", dir.path / "relative");
    ASSERT_TRUE(platform::writeFileAtomically(dir / "sub/real", bytesOf("old")));
    ::chmod((dir / "sub/real").c_str(), 0600);
    EXPECT_TRUE(platform::writeFileAtomically(dir / "relative", bytesOf("new")));
    EXPECT_TRUE(fs::is_symlink(dir.path / "relative"));
    EXPECT_EQ(platform::readFile(dir / "sub/real"), bytesOf("new"));
    EXPECT_EQ(modeOf(dir / "sub/real"), 0600u);
    EXPECT_EQ(namesIn(dir.path / "sub"), std::vector<std::string> {"real"});

    fs::create_symlink(dir.path / "sub/created", dir.path / "dangling");
    EXPECT_TRUE(platform::writeFileAtomically(dir / "dangling", bytesOf("made")));
    EXPECT_EQ(platform::readFile(dir / "sub/created"), bytesOf("made"));
    EXPECT_TRUE(fs::is_symlink(dir.path / "dangling"));

    fs::create_symlink("loop-b", dir.path / "loop-a");
    fs::create_symlink("loop-a", dir.path / "loop-b");
    EXPECT_FALSE(platform::writeFileAtomically(dir / "loop-a", bytesOf("x")));
    fs::create_symlink("sub", dir.path / "to-folder");
    EXPECT_FALSE(platform::writeFileAtomically(dir / "to-folder", bytesOf("x")));
    EXPECT_TRUE(fs::is_directory(dir.path / "sub"));
    EXPECT_EQ(namesIn(dir.path),
        (std::vector<std::string> {
            "dangling", "loop-a", "loop-b", "relative", "sub", "to-folder"}));
}

TEST(FilesFaultTest, PathsWithAZeroByteNameNoFile)
{
    TempDir dir;
    ASSERT_TRUE(platform::writeFileAtomically(dir / "a", bytesOf("old")));
    // Cut at the zero, each of these would name "a" (or the folder).
    const std::string withZero = dir / std::string("a\0.png", 6);
    const std::string folderZero = dir.path.string() + std::string("/\0b", 3);
    for (const auto& path : {withZero, folderZero}) {
        EXPECT_FALSE(platform::writeFileAtomically(path, bytesOf("new")));
        EXPECT_FALSE(platform::appendToExistingFile(path, bytesOf("more")));
        EXPECT_FALSE(platform::readFile(path));
    }
    EXPECT_EQ(platform::readFile(dir / "a"), bytesOf("old"));
    EXPECT_EQ(namesIn(dir.path), std::vector<std::string> {"a"});
}
