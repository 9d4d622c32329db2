#include "cli/WidgetLocation.h"

#include "cli/Command.h"

#include <filesystem>

namespace cli {

namespace fs = std::filesystem;

namespace {

bool isWidget(const fs::path& folder)
{
    std::error_code error;
    return fs::is_regular_file(folder / "Info.plist", error);
}

// The built widget lies at <build>/widget/Gloam.wdgt, and the built gloam in
// <build> itself.
bool runsFromBuildTree()
{
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return false;
    fs::path buildDir = fs::path(GLOAM_BUILD_WIDGET_DIR).parent_path().parent_path();
    return fs::equivalent(self.parent_path(), buildDir, error);
}

} // namespace

std::string resolveWidgetDir(const std::optional<std::string>& given)
{
    if (given) {
        if (!isWidget(*given))
            throw UsageError(*given + " is not a widget folder (it has no Info.plist)");
        return *given;
    }
    fs::path built = GLOAM_BUILD_WIDGET_DIR;
    fs::path installed = GLOAM_INSTALL_WIDGET_DIR;
    const fs::path& first = runsFromBuildTree() ? built : installed;
    const fs::path& second = &first == &built ? installed : built;
    if (isWidget(first))
        return first.string();
    if (isWidget(second))
        return second.string();
    throw UsageError("no widget found at " + built.string() + " or " + installed.string()
        + "; build it first or name one with --widget");
}

} // namespace cli
