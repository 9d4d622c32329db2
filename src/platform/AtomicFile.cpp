#include "platform/AtomicFile.h"

#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::unique_ptr<AtomicFile> AtomicFile::begin(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos || path.back() == '/')
        return nullptr;
    struct stat old;
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return nullptr; // never replace a folder or a device
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
            return nullptr;
    }
    return nullptr;
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
    while (ok_ && !bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        ok_ = n > 0;
        if (ok_)
            bytes = bytes.subspan(size_t(n));
    }
    return ok_;
}

bool AtomicFile::commit()
{
    bool ok = ok_ && ::fsync(fd_) == 0;
    if (ok && mode_ >= 0)
        ok = ::fchmod(fd_, mode_t(mode_)) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok)
        ok = ::rename(temporary_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary_.c_str());
        return false;
    }
    std::string dir = parentPath(target_);
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace platform
