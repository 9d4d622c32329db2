#include "cli/WidgetLocation.h"

#include "cli/Command.h"
#include "cli/UserWidgetCopy.h"

#include <cstdio>
#include <filesystem>

namespace cli {

namespace fs = std::filesystem;

namespace {

bool isWidget(const fs::path& folder)
{
    std::error_code error;
    return fs::is_regular_file(folder / "Info.plist", error);
}

fs::path selfDir()
{
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path();
}

// The built widget lies at <build>/widget/Gloam.wdgt, and the built gloam in
// <build> itself.
bool runsFromBuildTree()
{
    std::error_code error;
    fs::path buildDir = fs::path(GLOAM_BUILD_WIDGET_DIR).parent_path().parent_path();
    return fs::equivalent(selfDir(), buildDir, error);
}

// Found from where this gloam lies, so that an installed tree can be moved
// (a package installs under another prefix than a build's default).
fs::path installedWidget()
{
    fs::path beside = selfDir().parent_path() / GLOAM_INSTALL_WIDGET_SUBDIR;
    return isWidget(beside) ? beside : fs::path(GLOAM_INSTALL_WIDGET_DIR);
}

// The folder itself when the plug-in may write in it; else the user's copy.
std::string writableWidget(const fs::path& widget)
{
    std::error_code error;
    if (!fs::equivalent(widget, installedWidget(), error) && isWritableWidget(widget))
        return widget.string();
    const fs::path copy = userWidgetHome() / fs::absolute(widget).filename();
    CopyState state;
    try {
        state = updateUserCopy(widget, copy);
    } catch (const fs::filesystem_error& e) {
        throw std::runtime_error("cannot make your own copy of the read-only widget "
            + widget.string() + " at " + copy.string() + ": " + e.code().message());
    }
    const char* how = state == CopyState::Made ? " (made now)"
        : state == CopyState::Refreshed        ? " (refreshed from it now)"
                                               : "";
    std::fprintf(stderr, "gloam: %s is read-only; using your copy %s%s\n", widget.c_str(),
        copy.c_str(), how);
    return copy.string();
}

} // namespace

std::string resolveWidgetDir(const std::optional<std::string>& given)
{
    if (given) {
        if (!isWidget(*given))
            throw UsageError(*given + " is not a widget folder (it has no Info.plist)");
        return writableWidget(*given);
    }
    fs::path built = GLOAM_BUILD_WIDGET_DIR;
    fs::path installed = installedWidget();
    const fs::path& first = runsFromBuildTree() ? built : installed;
    const fs::path& second = &first == &built ? installed : built;
    if (isWidget(first))
        return writableWidget(first);
    if (isWidget(second))
        return writableWidget(second);
    throw UsageError("no widget found at " + built.string() + " or " + installed.string()
        + "; build it first or name one with --widget");
}

} // namespace cli
