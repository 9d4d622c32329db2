// Files: path rules, whole-file reads and appends, and the atomic write under
// failure: every system call it makes fails in turn, a writer is killed in
// the middle, paths are links or hold a zero byte. Whatever happens, the
// target is the old file or the new one, whole, with its mode.
#include "platform/Files.h"

#include "support/HostileBytes.h"
#include "support/TempDir.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::appendToExistingFile;
using platform::readFile;
using platform::writeFileAtomically;
using testing_support::bytesOf;
using testing_support::TempDir;
using Names = std::vector<std::string>;

namespace {

Names namesIn(const fs::path& dir)
{
    Names names;
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
    static inline int failAt = 0, failErrno = 0, count = 0, fsyncs = 0;
    static inline bool shortWrites = false;

    static bool failNow()
    {
        if (++count != failAt)
            return false;
        errno = failErrno;
        return true;
    }
    static constexpr platform::FileSystemCalls table {
        [](const char* p, int f, mode_t m) { return failNow() ? -1 : ::open(p, f, m); },
        [](int fd, void* b, size_t n) { return failNow() ? -1 : ::read(fd, b, n); },
        [](int fd, const void* b, size_t n) {
            return failNow() ? -1 : ::write(fd, b, shortWrites && n > 1 ? 1 : n);
        },
        [](int fd) { return ++fsyncs, failNow() ? -1 : ::fsync(fd); },
        [](int fd, mode_t m) { return failNow() ? -1 : ::fchmod(fd, m); },
        // A failed close still releases the descriptor, as the system's does.
        [](int fd) { return failNow() | ::close(fd) ? -1 : 0; },
        [](const char* a, const char* b) { return failNow() ? -1 : ::rename(a, b); },
        [](const char* p) { return failNow() ? -1 : ::unlink(p); }};

    Injector(int at, int err, bool shortW = false)
    {
        failAt = at, failErrno = err, count = 0, fsyncs = 0, shortWrites = shortW;
        platform::setFileSystemCallsForTesting(&table);
    }
    ~Injector() { platform::setFileSystemCallsForTesting(nullptr); }
};

} // namespace

TEST(FilesTest, PathJoiningAndParentFollowTheUsualRules)
{
    struct {
        const char *dir, *comp, *out;
    } joins[] = {{"/a/b", "c", "/a/b/c"}, {"/a/b/", "c", "/a/b/c"}, {"", "c", "c"},
        {"/", "c", "/c"}, {"/a", "/c", "/a/c"}};
    for (auto j : joins)
        EXPECT_EQ(platform::joinPath(j.dir, j.comp), j.out) << j.dir << " + " << j.comp;
    struct {
        const char *in, *out;
    } parents[] = {{"/a/b/c", "/a/b"}, {"/a/b/c/", "/a/b"}, {"/a", "/"}, {"a", ""}, {"/", "/"},
        {"a/b", "a"}, {"//a", "/"}};
    for (auto p : parents)
        EXPECT_EQ(platform::parentPath(p.in), p.out) << p.in;
}

TEST(FilesTest, ReadsAndAppendsReportEveryFailure)
{
    TempDir dir;
    const std::string t = dir / "t";
    EXPECT_FALSE(appendToExistingFile(t, bytesOf("x"))) << "an append created a file";
    EXPECT_FALSE(readFile(t));
    EXPECT_FALSE(readFile(dir.path.string())) << "a folder was read";
    ASSERT_TRUE(writeFileAtomically(t, bytesOf("0123456789")));
    EXPECT_FALSE(readFile(t, 9)) << "over the limit";
    EXPECT_EQ(readFile(t, 10), bytesOf("0123456789"));
    for (int at = 1; at <= 2; ++at) {
        Injector inject(at, EIO); // the open, then the first read
        EXPECT_FALSE(readFile(t)) << "call " << at;
    }
    for (int at = 1; at <= 3; ++at) {
        Injector inject(at, ENOSPC); // the open, the write, the close
        EXPECT_FALSE(appendToExistingFile(t, bytesOf("ab"))) << "call " << at;
    }
    EXPECT_EQ(readFile(t), bytesOf("0123456789ab")) << "only the failed close's append is in";
    {
        Injector inject(0, 0, true); // every write takes one byte
        ASSERT_TRUE(writeFileAtomically(t, bytesOf("short writes")));
        EXPECT_TRUE(appendToExistingFile(t, bytesOf(", all of them")));
    }
    EXPECT_EQ(readFile(t), bytesOf("short writes, all of them"));
}

TEST(FilesTest, AFailureAtEveryStepOfAWriteLeavesTheOldFileOrTheNewOneWhole)
{
    const auto oldText = bytesOf(std::string(3000, 'o')), newText = bytesOf(std::string(5000, 'n'));
    int steps = 0; // calls one write makes, counted with nothing failing
    {
        TempDir dir;
        ASSERT_TRUE(writeFileAtomically(dir / "t", oldText));
        Injector count(0, 0);
        ASSERT_TRUE(writeFileAtomically(dir / "t", newText));
        steps = Injector::count;
        ASSERT_GE(steps, 6) << "open, write, fsync, fchmod, close, rename at least";
        EXPECT_EQ(Injector::fsyncs, 2) << "a synced write syncs the file and its folder";
        Injector replaced(0, 0);
        ASSERT_TRUE(writeFileAtomically(dir / "t", oldText, platform::Durability::Replaced));
        EXPECT_EQ(Injector::fsyncs, 0) << "a replaced file was synced";
        EXPECT_EQ(readFile(dir / "t"), oldText);
        EXPECT_EQ(namesIn(dir.path), Names {"t"}) << "the replaced file stayed";
    }
    for (int err : {ENOSPC, EIO}) {
        for (int at = 1; at <= steps; ++at) {
            TempDir dir;
            const std::string target = dir / "t";
            ASSERT_TRUE(writeFileAtomically(target, oldText));
            ::chmod(target.c_str(), 0604);
            platform::ErrorOr<void> written;
            {
                Injector inject(at, err);
                written = writeFileAtomically(target, newText);
            }
            const bool ok = written.has_value();
            const std::string step = "call " + std::to_string(at) + " of " + std::to_string(steps);
            // The failed step's errno is the reason, not the clean-up's.
            if (!ok) {
                EXPECT_EQ(written.error().errorNumber(), err) << step;
            }
            // Failing before the rename keeps the old file and says so;
            // after it (the folder's sync) the new file is in place.
            EXPECT_EQ(readFile(target), ok ? newText : oldText) << step;
            EXPECT_EQ(namesIn(dir.path), Names {"t"}) << "temporary left after " << step;
            EXPECT_EQ(modeOf(target), 0604u) << step;
        }
    }
    TempDir dir;
    EXPECT_FALSE(writeFileAtomically(dir / "missing/t", newText));
    EXPECT_EQ(namesIn(dir.path), Names {});
}

TEST(FilesTest, AWriterKilledMidWriteLeavesAWholeFileAndOnlyTheTemporariesOfTheGoneAreCleared)
{
    TempDir dir;
    const std::string target = dir / "t";
    // This process's own and a live parent's temporaries may be writes in
    // progress; another file's temporary is not ours to judge.
    const std::string pid = std::to_string(::getpid());
    Names keep = {".t.tmp-" + pid + "-1", ".t.tmp-" + std::to_string(::getppid()) + "-2",
        ".other.tmp-999999999-3", ".t.tmp-x-4", "t.tmp-999999999-5", "t"};
    for (const auto& name : keep)
        ASSERT_TRUE(writeFileAtomically(dir / name, bytesOf("?")));
    std::sort(keep.begin(), keep.end());
    // Large enough that the kill lands inside a write more often than not.
    const std::vector<uint8_t> a(1 << 20, 'a'), b(1 << 20, 'b');
    ASSERT_TRUE(writeFileAtomically(target, a));
    ::chmod(target.c_str(), 0640);
    for (int round = 0; round < 4; ++round) {
        pid_t child = ::fork();
        if (child == 0)
            for (int i = 0;; ++i)
                static_cast<void>(writeFileAtomically(target, i % 2 ? a : b));
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + 17 * round));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
        auto now = readFile(target);
        EXPECT_TRUE(now == a || now == b) << "round " << round;
        EXPECT_EQ(modeOf(target), 0640u);
        // Whether the child died holding one or not: the next write clears it.
        ASSERT_TRUE(writeFileAtomically(dir / (".t.tmp-" + std::to_string(child) + "-7"), a));
        ASSERT_TRUE(writeFileAtomically(target, a));
        EXPECT_EQ(namesIn(dir.path), keep) << "round " << round;
    }
}

TEST(FilesTest, LinksAreFollowedToAFileAndZeroBytesNameNoFile)
{
    TempDir dir;
    fs::create_directory(dir.path / "sub");
    // A link is followed to the file it names; that file is replaced and the
    // link stays. A dangling link gets the file it names. Loops and links to
    // folders are refused and change nothing.
    fs::create_symlink("sub/real", dir.path / "relative");
    ASSERT_TRUE(writeFileAtomically(dir / "sub/real", bytesOf("old")));
    ::chmod((dir / "sub/real").c_str(), 0600);
    EXPECT_TRUE(writeFileAtomically(dir / "relative", bytesOf("new")));
    EXPECT_EQ(readFile(dir / "sub/real"), bytesOf("new"));
    EXPECT_EQ(modeOf(dir / "sub/real"), 0600u);
    fs::create_symlink(dir.path / "sub/created", dir.path / "dangling");
    EXPECT_TRUE(writeFileAtomically(dir / "dangling", bytesOf("made")));
    EXPECT_EQ(readFile(dir / "sub/created"), bytesOf("made"));
    fs::create_symlink("loop-b", dir.path / "loop-a");
    fs::create_symlink("loop-a", dir.path / "loop-b");
    EXPECT_FALSE(writeFileAtomically(dir / "loop-a", bytesOf("x")));
    fs::create_symlink("sub", dir.path / "to-folder");
    EXPECT_FALSE(writeFileAtomically(dir / "to-folder", bytesOf("x")));
    for (auto link : {"relative", "dangling", "loop-a", "to-folder"})
        EXPECT_TRUE(fs::is_symlink(dir.path / link)) << link;
    EXPECT_EQ(namesIn(dir.path / "sub"), (Names {"created", "real"}));

    // Cut at the zero, each of these would name "sub/real" or "sub".
    for (const std::string& path :
        {dir / std::string("sub/real\0.png", 13), dir / std::string("sub/\0b", 6)}) {
        EXPECT_FALSE(writeFileAtomically(path, bytesOf("zero")));
        EXPECT_FALSE(appendToExistingFile(path, bytesOf("zero")));
        EXPECT_FALSE(readFile(path));
    }
    EXPECT_EQ(readFile(dir / "sub/real"), bytesOf("new"));
    EXPECT_EQ(namesIn(dir.path / "sub"), (Names {"created", "real"}));
}
