// Files: whole-file reads, atomic whole-file writes, appends to existing
// files, and path joining. All functions are free and hold no state, except
// the table of system calls that tests may replace to inject failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/Error.h"

namespace platform {

// A path that holds a zero byte names no file: every function below refuses
// it (an Invalid error) rather than act on the part before the zero. A
// failed system call gives its errno and text (Error::fromErrno).

// All bytes of the file at `path`; an error when it cannot be opened or
// read, is a folder, or is larger than `limit` bytes (TooLarge, checked
// before reading).
ErrorOr<std::vector<uint8_t>> readFile(const std::string& path, size_t limit = SIZE_MAX);

// How far writeFileAtomically goes before it returns.
enum class Durability {
    // The file and then its folder are synced to the disk: for what a crash
    // must not take, such as settings.
    Synced,
    // Put in place unsynced: for a picture that is drawn again on the
    // next request or command. Readers still see the old file or the new
    // one, never part of one; a crash soon after may leave the old picture
    // under the name (or, on a file system that does not order data before
    // renames, an empty file). Syncing would cost more than drawing the map.
    Replaced,
};

// Writes `bytes` to a temporary file in the target's folder and renames it
// over the target, syncing both as `durability` says. On any failure the old
// file stays whole, no temporary is left, and the result is the error. An
// existing target keeps its permission bits; a new one gets 0666 less the
// umask. A target that is a symbolic link is followed: the file it points to
// is replaced and the link stays a link; a dangling link gets the file it
// names; a loop of links is refused, and so is a target that is a folder
// or a device. The temporary is named
// ".<name>.tmp-<pid>-<random>"; a writer killed mid-write cannot remove its
// own, so every write first removes those of writers that are gone.
ErrorOr<void> writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
    Durability durability = Durability::Synced);

// Puts the finished temporary file `from` under the name `to`, as the last
// step of an atomic write: 0, or the errno of the rename that failed.
int replaceName(const std::string& from, const std::string& to, Durability durability);

// Appends `bytes` to the end of an existing file. A file that does not exist
// or cannot be opened for writing is not created; the result is then the
// error.
ErrorOr<void> appendToExistingFile(const std::string& path, std::span<const uint8_t> bytes);

// `dir` + "/" + `component`, with no doubled separator; an empty `dir` gives
// `component` alone.
std::string joinPath(const std::string& dir, const std::string& component);

// The path without its last component ("/a/b/c" -> "/a/b", "/a" -> "/",
// "a" -> ""); trailing separators are ignored.
std::string parentPath(const std::string& path);

// The system calls behind the functions above. Tests install their own to
// make a given step fail; production code never touches this.
struct FileSystemCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buffer, size_t count);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
    int (*fsync)(int fd);
    int (*fchmod)(int fd, mode_t mode);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
};

const FileSystemCalls& systemFileCalls();
// Installs `calls` for every later file operation; nullptr restores the
// system's own. Not thread-safe: for tests only.
void setFileSystemCallsForTesting(const FileSystemCalls* calls);

} // namespace platform
