#include "host/StaticFiles.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace host {

namespace fs = std::filesystem;

namespace {

// Widget files are pages, scripts and pictures; a larger file is not one.
constexpr size_t kLargestFile = 64u << 20;

std::string canonical(const std::string& path)
{
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::absolute(path).lexically_normal().string() : resolved.string();
}

// Which file it is and which write of it: an atomic replacement gives a new
// inode, a rewrite in place a new time or size.
std::optional<std::string> fileIdentity(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    char tag[128];
    std::snprintf(tag, sizeof tag, "%llx-%llx-%llx.%lx-%llx",
        static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino),
        static_cast<unsigned long long>(info.st_mtim.tv_sec),
        static_cast<unsigned long>(info.st_mtim.tv_nsec),
        static_cast<unsigned long long>(info.st_size));
    return tag;
}

bool isInside(const std::string& path, const std::string& folder)
{
    return path == folder
        || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0
            && (folder.back() == '/' || path[folder.size()] == '/'));
}

} // namespace

StaticFiles::StaticFiles(const std::string& root, const std::vector<std::string>& privateFolders)
    : m_root(canonical(root))
{
    for (const auto& folder : privateFolders)
        m_private.push_back(canonical(folder));
}

StaticFiles::Resolved StaticFiles::resolve(std::string_view rawPath) const
{
    if (rawPath.empty() || rawPath.front() != '/')
        return {{}, 400};
    // Decoded, a path segment could hide a separator, a dot-dot or a NUL; a
    // widget's own names never need them encoded.
    std::string decoded;
    for (size_t i = 0; i < rawPath.size(); ++i) {
        char c = rawPath[i];
        if (c == '\\' || c == '\0')
            return {{}, 400};
        if (c != '%') {
            decoded += c;
            continue;
        }
        int high = i + 2 < rawPath.size() ? platform::hexDigitValue(rawPath[i + 1]) : -1;
        int low = high >= 0 ? platform::hexDigitValue(rawPath[i + 2]) : -1;
        if (low < 0)
            return {{}, 400};
        char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0' || byte == '/' || byte == '\\' || byte == '.')
            return {{}, 400};
        decoded += byte;
        i += 2;
    }

    fs::path relative;
    size_t start = 1;
    while (start <= decoded.size()) {
        size_t end = decoded.find('/', start);
        if (end == std::string::npos)
            end = decoded.size();
        std::string segment = decoded.substr(start, end - start);
        if (segment == "." || segment == "..")
            return {{}, 400};
        // Empty segments ("//", a trailing "/") name folders; hidden files
        // are not the widget's to show.
        if (segment.empty() || segment.front() == '.')
            return {{}, 404};
        relative /= segment;
        start = end + 1;
    }
    if (relative.empty())
        return {{}, 404};

    std::error_code error;
    fs::path real = fs::canonical(fs::path(m_root) / relative, error);
    if (error)
        return {{}, 404};
    std::string file = real.string();
    if (!isInside(file, m_root) || file == m_root)
        return {{}, 404};
    if (std::any_of(m_private.begin(), m_private.end(),
            [&](const std::string& folder) { return isInside(file, folder); }))
        return {{}, 404};
    if (!fs::is_regular_file(real, error))
        return {{}, 404};
    return {file, 200};
}

platform::HttpResponse StaticFiles::get(std::string_view rawPath) const
{
    Resolved resolved = resolve(rawPath);
    if (resolved.status != 200)
        return platform::HttpResponse::text(resolved.status,
            resolved.status == 400 ? "This path is not one the widget host serves.\n"
                                   : "Not found.\n");
    auto bytes = platform::readFile(resolved.file, kLargestFile);
    if (!bytes)
        return platform::HttpResponse::text(404, "Not found.\n");
    platform::HttpResponse answer;
    answer.contentType = contentType(resolved.file);
    answer.body.assign(bytes->begin(), bytes->end());
    return answer;
}

std::variant<std::string, int> StaticFiles::identity(std::string_view rawPath) const
{
    Resolved resolved = resolve(rawPath);
    if (resolved.status == 400)
        return 400;
    if (resolved.status != 200)
        return std::string();
    return fileIdentity(resolved.file).value_or(std::string());
}

std::string StaticFiles::contentType(std::string_view fileName)
{
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json; charset=utf-8"},
        {".webmanifest", "application/manifest+json"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".txt", "text/plain; charset=utf-8"},
        {".plist", "application/xml"},
    };
    std::string name(fileName);
    std::transform(name.begin(), name.end(), name.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& [extension, type] : types) {
        std::string_view ext(extension);
        if (name.size() >= ext.size()
            && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
            return type;
    }
    return "application/octet-stream";
}

} // namespace host
