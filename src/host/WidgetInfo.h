// WidgetInfo: what a widget folder's Info.plist says the host needs, its main
// page and the plug-in bundle beside it, with both resolved against the
// folder. A plain value; reading it checks that the files are there.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace host {

struct WidgetError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct WidgetInfo {
    std::string widgetDir; // absolute, no trailing separator
    std::string displayName; // CFBundleDisplayName, else CFBundleName, else the folder's name
    std::string mainPage; // MainHTML, relative to widgetDir
    std::optional<std::string>
        pluginBundle; // absolute path of the Plugin bundle, when one is named

    // Reads `widgetDir`/Info.plist. Throws WidgetError when the folder or the
    // file is missing, the main page is not a file in the folder, or the named
    // plug-in bundle is not a folder in it.
    static WidgetInfo read(const std::string& widgetDir);
};

} // namespace host
