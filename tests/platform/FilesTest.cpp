#include "platform/Files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/gloam-files-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

size_t entries(const fs::path& dir)
{
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

} // namespace

TEST(FilesTest, PathJoiningAndParentFollowTheUsualRules)
{
    struct {
        const char *dir, *comp, *out;
    } joins[] = {
        {"/a/b", "c", "/a/b/c"},
        {"/a/b/", "c", "/a/b/c"},
        {"", "c", "c"},
        {"/", "c", "/c"},
        {"/a", "/c", "/a/c"},
    };
    for (auto j : joins)
        EXPECT_EQ(platform::joinPath(j.dir, j.comp), j.out) << j.dir << " + " << j.comp;
    struct {
        const char *in, *out;
    } parents[] = {
        {"/a/b/c", "/a/b"},
        {"/a/b/c/", "/a/b"},
        {"/a", "/"},
        {"a", ""},
        {"/", "/"},
        {"a/b", "a"},
    };
    for (auto p : parents)
        EXPECT_EQ(platform::parentPath(p.in), p.out) << p.in;
}

TEST(FilesTest, AtomicWriteReplacesWholeKeepsModeAndLeavesNoTemporary)
{
    TempDir dir;
    std::string target = dir / "file.bin";
    ASSERT_TRUE(platform::writeFileAtomically(target, bytesOf("first")));
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(platform::writeFileAtomically(target, bytesOf("second, longer")));
    EXPECT_EQ(platform::readFile(target), bytesOf("second, longer"));
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(dir.path), 1u);
}

TEST(FilesTest, AtomicWriteIntoMissingFolderFailsAndCreatesNothing)
{
    TempDir dir;
    EXPECT_FALSE(platform::writeFileAtomically(dir / "missing/file", bytesOf("x")));
    EXPECT_EQ(entries(dir.path), 0u);
}

TEST(FilesTest, AtomicWriteFollowsSymbolicLinks)
{
    TempDir dir;
    std::string real = dir / "real";
    std::string link = dir / "link";
    ASSERT_TRUE(platform::writeFileAtomically(real, bytesOf("old")));
    fs::create_symlink("real", link);
    ASSERT_TRUE(platform::writeFileAtomically(link, bytesOf("new")));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(platform::readFile(real), bytesOf("new"));
}

TEST(FilesTest, AppendNeverCreatesAFile)
{
    TempDir dir;
    std::string target = dir / "log";
    EXPECT_FALSE(platform::appendToExistingFile(target, bytesOf("x")));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_TRUE(platform::writeFileAtomically(target, bytesOf("ab")));
    EXPECT_TRUE(platform::appendToExistingFile(target, bytesOf("cd")));
    EXPECT_EQ(platform::readFile(target), bytesOf("abcd"));
}

TEST(FilesTest, ReadRefusesMissingFilesFoldersAndOversizedFiles)
{
    TempDir dir;
    EXPECT_FALSE(platform::readFile(dir / "none"));
    EXPECT_FALSE(platform::readFile(dir.path.string()));
    std::string target = dir / "big";
    ASSERT_TRUE(platform::writeFileAtomically(target, bytesOf("0123456789")));
    EXPECT_FALSE(platform::readFile(target, 9));
    EXPECT_EQ(platform::readFile(target, 10)->size(), 10u);
}
