#include "platform/Files.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int sysOpen(const char* path, int flags, mode_t mode)
{
    return ::open(path, flags, mode);
}

const FileSystemCalls kSystemCalls = {
    sysOpen,
    ::read,
    ::write,
    ::fsync,
    ::fchmod,
    ::close,
    ::rename,
    ::unlink,
};

std::atomic<const FileSystemCalls*> gCalls {&kSystemCalls};

const FileSystemCalls& calls()
{
    return *gCalls.load(std::memory_order_acquire);
}

// 0 when every byte is written, else the errno of the write that failed.
int writeAll(int fd, std::span<const uint8_t> bytes)
{
    const uint8_t* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = calls().write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO; // a write that takes nothing would never end
        p += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

// Follows symbolic links from `path` to the name of the file that a write
// should replace. A dangling link resolves to the name it points at.
ErrorOr<std::string> resolveLinks(std::string path)
{
    const std::string given = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char target[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0)
            return Error::fromErrno("write", given);
        std::string next(target, static_cast<size_t>(n));
        if (next.empty())
            return Error::fromErrno("write", given, ENOENT);
        if (next[0] != '/')
            next = joinPath(parentPath(path), next);
        path = next;
    }
    return Error::fromErrno("write", given, ELOOP);
}

// The system's calls take C strings: a path with a zero byte inside would
// silently name a different, shorter path.
bool isUsablePath(const std::string& path)
{
    return !path.empty() && path.find('\0') == std::string::npos;
}

Error unusablePath(std::string what, const std::string& path)
{
    // The part before a zero byte is a path, but not the one asked for.
    return Error(Error::Code::Invalid, std::move(what), path.substr(0, path.find('\0')),
        path.empty() ? "no file named" : "the name holds a zero byte");
}

std::string temporaryPrefix(const std::string& base)
{
    return "." + base + ".tmp-";
}

// Removes the temporaries that writers of `base` in `dir` left behind when
// they were killed mid-write (nothing else ever leaves one). A temporary
// names its writer's process; one whose process is gone is no one's. Those of
// live processes, this one included, may be writes in progress and stay.
void removeStaleTemporaries(const std::string& dir, const std::string& base)
{
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    const std::string prefix = temporaryPrefix(base);
    while (dirent* entry = ::readdir(d)) {
        std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        size_t dash = name.find('-', prefix.size());
        if (dash == std::string::npos || dash == prefix.size())
            continue;
        long pid = 0;
        bool digits = true;
        for (size_t i = prefix.size(); i < dash && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9' && pid < 100000000;
            pid = pid * 10 + (name[i] - '0');
        }
        if (!digits || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            calls().unlink(joinPath(dir, name).c_str());
    }
    ::closedir(d);
}

std::string lastComponent(const std::string& path)
{
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return {};
    size_t start = path.find_last_of('/', end);
    return path.substr(start == std::string::npos ? 0 : start + 1,
        end - (start == std::string::npos ? 0 : start + 1) + 1);
}

} // namespace

const FileSystemCalls& systemFileCalls()
{
    return kSystemCalls;
}

void setFileSystemCallsForTesting(const FileSystemCalls* c)
{
    gCalls.store(c ? c : &kSystemCalls, std::memory_order_release);
}

ErrorOr<std::vector<uint8_t>> readFile(const std::string& path, size_t limit)
{
    if (!isUsablePath(path))
        return unusablePath("read", path);
    int fd = calls().open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return Error::fromErrno("read", path);
    auto fail = [&](Error error) {
        calls().close(fd);
        return error;
    };
    auto tooLarge = [&] {
        return fail(Error(Error::Code::TooLarge, "read", path,
            "larger than the " + std::to_string(limit) + " bytes allowed"));
    };
    std::vector<uint8_t> bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (static_cast<uint64_t>(st.st_size) > limit)
            return tooLarge();
        bytes.reserve(static_cast<size_t>(st.st_size));
    } else if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        return fail(Error::fromErrno("read", path, EISDIR));
    }
    uint8_t chunk[65536];
    for (;;) {
        ssize_t n = calls().read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(Error::fromErrno("read", path));
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > limit)
            return tooLarge();
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    calls().close(fd);
    return bytes;
}

ErrorOr<void> writeFileAtomically(
    const std::string& path, std::span<const uint8_t> bytes, Durability durability)
{
    if (!isUsablePath(path))
        return unusablePath("write", path);
    ErrorOr<std::string> target = resolveLinks(path);
    if (!target)
        return target.error();
    std::string dir = parentPath(*target);
    if (dir.empty())
        dir = ".";
    std::string base = lastComponent(*target);
    if (base.empty())
        return Error::fromErrno("write", path, EISDIR);

    struct stat old;
    bool exists = ::stat(target->c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return Error::fromErrno("write", path, EISDIR);
    if (exists && !S_ISREG(old.st_mode)) // never replace a device
        return Error(Error::Code::Invalid, "write", path, "not a regular file");

    // Before anything is written: a killed writer's temporary may hold the
    // very space this write needs.
    removeStaleTemporaries(dir, base);

    static std::atomic<unsigned> counter {0};
    std::random_device seed;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tmp = joinPath(dir,
            temporaryPrefix(base) + std::to_string(::getpid()) + "-"
                + std::to_string(seed() ^ counter.fetch_add(1)));
        fd = calls().open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Error::fromErrno("write", path);
    }
    if (fd < 0)
        return Error::fromErrno("write", path, EEXIST);

    // The first failure is the reason; what follows it only cleans up.
    int failure = writeAll(fd, bytes);
    const bool sync = durability == Durability::Synced;
    if (!failure && sync && calls().fsync(fd) != 0)
        failure = errno;
    if (!failure && exists && calls().fchmod(fd, old.st_mode & 07777) != 0)
        failure = errno;
    if (calls().close(fd) != 0 && !failure)
        failure = errno;
    if (!failure)
        failure = replaceName(tmp, *target, durability);
    if (failure) {
        calls().unlink(tmp.c_str());
        return Error::fromErrno("write", path, failure);
    }
    if (!sync)
        return {};
    // The new name is in place; make it durable. A failure here cannot undo
    // the replacement, and the file under the name is whole either way.
    int dfd = calls().open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (dfd >= 0) {
        calls().fsync(dfd);
        calls().close(dfd);
    }
    return {};
}

int replaceName(const std::string& from, const std::string& to, Durability durability)
{
    // Renamed over an existing file, ext4 writes the new file's data at once
    // and frees the old one's blocks, on a discard mount waiting for the
    // device: most of a picture's write here (a millisecond for a map, a
    // second or two for a long animation). Swapping the two names and then
    // removing the old file does neither, and readers still see one file
    // or the other. Where names cannot be swapped (no file under `to`, an
    // older kernel or another file system), the rename it is.
    if (durability == Durability::Replaced
        && ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
        if (calls().unlink(from.c_str()) == 0 || errno != EISDIR)
            return 0;
        // A folder had taken the name since it was checked: it goes back, as
        // a rename over it would have refused to replace it.
        ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE);
        return EISDIR;
    }
    return calls().rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

ErrorOr<void> appendToExistingFile(const std::string& path, std::span<const uint8_t> bytes)
{
    if (!isUsablePath(path))
        return unusablePath("append to", path);
    int fd = calls().open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC, 0);
    if (fd < 0)
        return Error::fromErrno("append to", path);
    int failure = writeAll(fd, bytes);
    if (calls().close(fd) != 0 && !failure)
        failure = errno;
    if (failure)
        return Error::fromErrno("append to", path, failure);
    return {};
}

std::string joinPath(const std::string& dir, const std::string& component)
{
    if (dir.empty())
        return component;
    std::string head = dir;
    while (head.size() > 1 && head.back() == '/')
        head.pop_back();
    size_t skip = 0;
    while (skip < component.size() && component[skip] == '/')
        ++skip;
    if (head == "/")
        return "/" + component.substr(skip);
    return head + "/" + component.substr(skip);
}

std::string parentPath(const std::string& path)
{
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return path.empty() ? "" : "/";
    size_t slash = path.find_last_of('/', end);
    if (slash == std::string::npos)
        return "";
    size_t keep = path.find_last_not_of('/', slash);
    if (keep == std::string::npos)
        return "/";
    return path.substr(0, keep + 1);
}

} // namespace platform
