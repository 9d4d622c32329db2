#include "platform/AtomicFile.h"

#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

ErrorOr<std::unique_ptr<AtomicFile>> AtomicFile::begin(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos || path.back() == '/')
        return Error(Error::Code::Invalid, "write", path, "not a file name");
    struct stat old;
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return Error::fromErrno("write", path, EISDIR);
    if (exists && !S_ISREG(old.st_mode)) // never replace a device
        return Error(Error::Code::Invalid, "write", path, "not a regular file");
    std::string dir = parentPath(path);
    const std::string name = path.substr(dir.empty() ? 0 : path.find_last_of('/') + 1);
    std::random_device seed;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temporary = joinPath(
            dir, "." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(seed()));
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::unique_ptr<AtomicFile>(new AtomicFile(
                path, std::move(temporary), fd, exists ? int(old.st_mode & 07777) : -1));
        if (errno != EEXIST)
            return Error::fromErrno("write", path);
    }
    return Error::fromErrno("write", path, EEXIST);
}

AtomicFile::AtomicFile(std::string target, std::string temporary, int fd, int mode)
    : target_(std::move(target))
    , temporary_(std::move(temporary))
    , fd_(fd)
    , mode_(mode)
{
}

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temporary_.c_str());
    }
}

bool AtomicFile::write(std::span<const uint8_t> bytes)
{
    while (!failure_ && !bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failure_ = n < 0 ? errno : ENOSPC;
        else
            bytes = bytes.subspan(size_t(n));
    }
    return !failure_;
}

ErrorOr<void> AtomicFile::commit(Durability durability)
{
    // The first failure is the reason; what follows it only cleans up.
    const bool sync = durability == Durability::Synced;
    int failure = failure_;
    if (!failure && sync && ::fsync(fd_) != 0)
        failure = errno;
    if (!failure && mode_ >= 0 && ::fchmod(fd_, mode_t(mode_)) != 0)
        failure = errno;
    if (::close(fd_) != 0 && !failure)
        failure = errno;
    fd_ = -1;
    if (!failure)
        failure = replaceName(temporary_, target_, durability);
    if (failure) {
        ::unlink(temporary_.c_str());
        return Error::fromErrno("write", target_, failure);
    }
    if (!sync)
        return {};
    std::string dir = parentPath(target_);
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

} // namespace platform
