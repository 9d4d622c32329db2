// Bundle: the registry of loaded bundles (identifier -> bundle directory) that
// a host fills as it loads plug-ins and a plug-in asks for its own directory,
// and the reading of a bundle's identifier from its Info.plist. The registry
// is process-wide (per loaded module) and guarded by a lock.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace platform {

// Records that the bundle with `identifier` is loaded from the directory
// `path`, replacing an earlier record of the same identifier.
void registerBundle(std::string_view identifier, std::string_view path);

// The directory of the loaded bundle with `identifier`; none when no bundle
// has been registered under it.
std::optional<std::string> bundlePathForIdentifier(std::string_view identifier);

// The CFBundleIdentifier of the bundle at `bundlePath`, read from
// `bundlePath`/Contents/Info.plist; the error when the file cannot be read or
// lacks the entry (Corrupt).
ErrorOr<std::string> readBundleIdentifier(const std::string& bundlePath);

// Forgets every registered bundle. For tests.
void clearBundleRegistryForTesting();

} // namespace platform
