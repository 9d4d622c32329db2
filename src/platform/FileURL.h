// FileURL: turns a URL or a plain path into the local path it names. Pure
// functions over caller-owned text; nothing is opened here.
#pragma once

#include <string>
#include <string_view>

#include "platform/Error.h"

namespace platform {

// The local file path that `url` names: a plain path as it stands, or a
// file: URL ("file:///a%20b", "file://localhost/a", "file:/a") with its query
// and fragment dropped and its percent-escapes decoded. An Invalid "resolve"
// error, on the URL, for any other scheme, a file: URL naming another host,
// a malformed escape, or a path that would hold a zero byte.
ErrorOr<std::string> localPathForURL(std::string_view url);

} // namespace platform
