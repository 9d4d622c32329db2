// InfoDictionary: the string entries of a bundle's or widget's Info.plist
// (XML or binary property list), read once into a plain map. Only the
// top-level string values are kept; a host needs nothing else from them.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace platform {

using InfoDictionary = std::map<std::string, std::string>;

// The top-level string entries of the property list at `path`; none when the
// file cannot be read, is larger than 1 MiB, or its root is not a dictionary.
std::optional<InfoDictionary> readInfoDictionary(const std::string& path);

} // namespace platform
