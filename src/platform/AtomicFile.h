// AtomicFile: a file written piece by piece that appears under its name only
// when whole. The pieces go to a temporary beside the target, named as
// writeFileAtomically names its own (so that a killed writer's leftover is
// cleared the same way), and commit() renames it over the target. The object
// owns the temporary: dropped uncommitted, it removes it and the old file, if
// any, stays as it was.
#pragma once

#include "platform/Error.h"
#include "platform/Files.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

class AtomicFile {
public:
    // A new temporary for `path`; the error when the target is not a regular
    // file or its folder cannot take one.
    static ErrorOr<std::unique_ptr<AtomicFile>> begin(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends `bytes`; false once any write has failed.
    bool write(std::span<const uint8_t> bytes);
    // Renames the temporary over the target, keeping an old target's
    // permission bits, synced as `durability` says. The error of the first
    // write that failed, or of the rename; the temporary is then removed.
    ErrorOr<void> commit(Durability durability = Durability::Synced);

private:
    AtomicFile(std::string target, std::string temporary, int fd, int mode);
    std::string target_, temporary_;
    int fd_;
    int mode_; // the old target's permission bits, or -1 for a new file
    int failure_ = 0; // the errno of the first write that failed
};

} // namespace platform
