// StaticFiles: the files of a widget folder as the host serves them. Only
// regular files inside the folder are reached, never through a symbolic link
// that leaves it, never inside the folders it keeps private (the plug-in
// bundle), and never a listing. Holds the folder's paths, no files.
#pragma once

#include "platform/HttpServer.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace host {

class StaticFiles {
public:
    // `root` is served; `privateFolders` (paths inside it) are not.
    StaticFiles(const std::string& root, const std::vector<std::string>& privateFolders);

    // The answer to GET of `rawPath`, the path of a request target still
    // percent-encoded (the server leaves the body out for HEAD): 200 with
    // the file, 400 for a path
    // that is malformed or tries to climb (NUL, backslash, dot segments,
    // encoded dots or separators), 404 for anything that is not a file that
    // may be served.
    platform::HttpResponse get(std::string_view rawPath) const;

    // The identity of the file that `rawPath` names: the same text while it
    // is the same file, unwritten, another once it is replaced or rewritten,
    // and empty when there is no file that may be served. 400 for a path
    // that get() refuses as malformed.
    std::variant<std::string, int> identity(std::string_view rawPath) const;

    // The file that `rawPath` names, when it may be served; otherwise the
    // status (400 or 404) that refuses it.
    struct Resolved {
        std::string file;
        int status = 200;
    };
    Resolved resolve(std::string_view rawPath) const;

    // The Content-Type for a file name, by its extension.
    static std::string contentType(std::string_view fileName);

private:
    std::string m_root; // canonical
    std::vector<std::string> m_private; // canonical
};

} // namespace host
