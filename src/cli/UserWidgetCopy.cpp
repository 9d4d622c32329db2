#include "cli/UserWidgetCopy.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace cli {

namespace fs = std::filesystem;

namespace {

// Written into every copy: what it was made from. A package upgrade changes
// the sizes or the times of the files it replaces.
constexpr const char* kStampName = ".gloam-copied-from";

// The user's own files in a copy, never taken from the source.
bool isUsersOwn(const fs::path& relative)
{
    return relative.filename() == "user.plist" || *relative.begin() == "Images"
        || relative == kStampName;
}

std::string describe(const fs::path& source)
{
    std::ostringstream text;
    text << fs::absolute(source).lexically_normal().string() << "\n";
    std::vector<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        const fs::path relative = fs::relative(entry.path(), source);
        if (!entry.is_regular_file() || isUsersOwn(relative))
            continue;
        const auto modified = entry.last_write_time().time_since_epoch().count();
        lines.push_back(relative.string() + " " + std::to_string(entry.file_size()) + " "
            + std::to_string(modified));
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines)
        text << line << "\n";
    return text.str();
}

std::string contentsOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The copy's own files, carried from `from` into `to` at the same places.
void carryOver(const fs::path& from, const fs::path& to)
{
    if (!fs::exists(from))
        return;
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path relative = fs::relative(entry.path(), from);
        if (!entry.is_regular_file() || relative == kStampName || !isUsersOwn(relative))
            continue;
        fs::create_directories((to / relative).parent_path());
        fs::copy_file(entry.path(), to / relative, fs::copy_options::overwrite_existing);
    }
}

} // namespace

bool isWritableWidget(const fs::path& widget)
{
    if (::access(widget.c_str(), W_OK) != 0)
        return false;
    std::error_code error;
    for (fs::recursive_directory_iterator it(widget, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_directory() && ::access(it->path().c_str(), W_OK) != 0)
            return false;
    }
    return !error;
}

fs::path userWidgetHome()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/')
        return fs::path(dataHome) / "gloam";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : "/";
    }
    return fs::path(home) / ".local/share/gloam";
}

CopyState updateUserCopy(const fs::path& source, const fs::path& copy)
{
    const std::string stamp = describe(source);
    const bool exists = fs::exists(copy);
    if (exists && contentsOf(copy / kStampName) == stamp)
        return CopyState::Current;

    // Built beside the copy and renamed into place, so that a copy is
    // always whole, whatever stops this on the way.
    fs::create_directories(copy.parent_path());
    const std::string unique = std::to_string(::getpid());
    const fs::path fresh = copy.parent_path() / ("." + copy.filename().string() + ".new-" + unique);
    const fs::path old = copy.parent_path() / ("." + copy.filename().string() + ".old-" + unique);
    fs::remove_all(fresh);
    fs::create_directories(fresh);
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        const fs::path relative = fs::relative(entry.path(), source);
        if (entry.is_directory())
            fs::create_directories(fresh / relative);
        else if (entry.is_regular_file() && !(*relative.begin() == "Images"))
            fs::copy_file(entry.path(), fresh / relative);
    }
    fs::create_directories(fresh / "Images");
    // Installed files are read-only to the user; the copy is the user's.
    for (const auto& entry : fs::recursive_directory_iterator(fresh))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    carryOver(copy, fresh);
    std::ofstream(fresh / kStampName, std::ios::binary) << stamp;

    if (exists)
        fs::rename(copy, old);
    fs::rename(fresh, copy);
    if (exists)
        fs::remove_all(old);
    return exists ? CopyState::Refreshed : CopyState::Made;
}

} // namespace cli
