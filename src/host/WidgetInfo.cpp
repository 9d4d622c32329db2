#include "host/WidgetInfo.h"

#include "platform/PropertyList.h"

#include <filesystem>

namespace host {

namespace fs = std::filesystem;

namespace {

// A name that stays inside the widget folder: relative, no dot-dot, no NUL.
bool staysInside(const std::string& relative)
{
    if (relative.empty() || relative.find('\0') != std::string::npos || relative.front() == '/')
        return false;
    for (const auto& part : fs::path(relative)) {
        if (part == "..")
            return false;
    }
    return true;
}

} // namespace

WidgetInfo WidgetInfo::read(const std::string& widgetDir)
{
    std::error_code error;
    fs::path folder = fs::absolute(widgetDir, error).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path();
    if (error || !fs::is_directory(folder, error))
        throw WidgetError("no widget folder at " + widgetDir);
    auto info = platform::PropertyList::readDictionary((folder / "Info.plist").string());
    if (!info)
        throw WidgetError(info.error().message());

    WidgetInfo widget;
    widget.widgetDir = folder.string();
    auto entry = [&](const char* key) { return info->string(key).value_or(std::string()); };
    widget.displayName = entry("CFBundleDisplayName");
    if (widget.displayName.empty())
        widget.displayName = entry("CFBundleName");
    if (widget.displayName.empty())
        widget.displayName = folder.stem().string();

    widget.mainPage = entry("MainHTML");
    if (widget.mainPage.empty())
        throw WidgetError((folder / "Info.plist").string() + " names no MainHTML page");
    if (!staysInside(widget.mainPage) || !fs::is_regular_file(folder / widget.mainPage, error))
        throw WidgetError(
            "the main page " + widget.mainPage + " is not a file in " + widget.widgetDir);

    std::string plugin = entry("Plugin");
    if (!plugin.empty()) {
        if (!staysInside(plugin) || !fs::is_directory(folder / plugin, error))
            throw WidgetError(
                "the plug-in bundle " + plugin + " is not a folder in " + widget.widgetDir);
        widget.pluginBundle = (folder / plugin).lexically_normal().string();
    }
    return widget;
}

} // namespace host
