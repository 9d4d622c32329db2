// gloam request: one composite request to a widget's plug-in, made as the
// widget host makes it, without a browser. The plug-in draws its picture into
// the widget's Images/current.png; the command prints the text it returns.
#include "cli/Command.h"

#include "GloamPlugin.h"
#include "cli/WidgetLocation.h"
#include "host/PluginLoader.h"
#include "host/WidgetInfo.h"
#include "platform/Files.h"

#include <cstdio>
#include <optional>
#include <sys/stat.h>

namespace {

// Which file the picture is; none while there is none. The plug-in writes it
// atomically, to a new file that then replaces the old one, so a new picture
// is a new file even where the clock's tick is too coarse to tell two
// writes apart by their times.
struct PictureFile {
    dev_t device;
    ino_t inode;
    timespec modified;
    bool operator==(const PictureFile& o) const
    {
        return device == o.device && inode == o.inode && modified.tv_sec == o.modified.tv_sec
            && modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<PictureFile> pictureFile(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return PictureFile {info.st_dev, info.st_ino, info.st_mtim};
}

int request(const std::optional<std::string>& widget)
{
    const std::string widgetDir = cli::resolveWidgetDir(widget);
    host::WidgetInfo info;
    try {
        info = host::WidgetInfo::read(widgetDir);
    } catch (const host::WidgetError& e) {
        throw cli::UsageError(e.what());
    }
    if (!info.pluginBundle)
        throw cli::UsageError("the widget in " + info.widgetDir + " has no plug-in");
    // Where the plug-in puts its picture: beside its bundle.
    const std::string picture = GloamPlugin::picturePath(*info.pluginBundle);
    const std::optional<PictureFile> before = pictureFile(picture);
    try {
        // The loader registers the bundle under its identifier and creates
        // the plug-in, exactly as the host does before the page asks.
        host::PluginLoader loader(*info.pluginBundle);
        static const platform::Selector kRequest {
            "getCurrentComposite", {}, platform::ScriptType::String};
        platform::ScriptValue text = loader.plugin().invoke(kRequest, {});
        const std::string* line = std::get_if<std::string>(&text);
        if (!line) {
            std::fprintf(stderr, "gloam request: the plug-in returned no text\n");
            return cli::kExitFailure;
        }
        std::printf("%s\n", line->c_str());
        std::fflush(stdout);
        // The plug-in keeps quiet when it cannot draw or save, as the widget
        // needs; someone who asked for a picture is told there is none.
        const std::optional<PictureFile> after = pictureFile(picture);
        if (!after || after == before) {
            std::fprintf(stderr,
                "gloam request: no picture was written to %s (is the Images folder there and "
                "writable, and the month's map in the plug-in's worldimages?)\n",
                picture.c_str());
            return cli::kExitFailure;
        }
    } catch (const host::PluginLoadError& e) {
        std::fprintf(stderr, "gloam request: %s\n", e.what());
        return cli::kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gloam request: the plug-in failed: %s\n", e.what());
        return cli::kExitFailure;
    }
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "request",
    "Make one composite request to the widget's plug-in and print its text",
    [](CLI::App& app) -> std::function<int()> {
        auto widget = std::make_shared<std::optional<std::string>>();
        app.add_option("--widget", *widget,
               "Widget folder (default: the built widget, else the installed one)")
            ->type_name("DIR");
        app.footer(
            "The plug-in draws the day/night map of this instant over the base map of the\n"
            "current month (universal time) into the widget's Images/current.png and\n"
            "stores its shadow level in the plug-in's user.plist; the date and time it\n"
            "drew are printed. Exit status 2 for a folder that is no widget, 1 when the\n"
            "plug-in cannot be loaded or no picture was written (the text is still\n"
            "printed then).\n\n"
            "Example: gloam request --widget ~/Gloam.wdgt   (a copy of the installed widget)");
        return [widget] { return request(*widget); };
    },
}};

} // namespace
