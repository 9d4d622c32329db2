// gloam request: one composite request to a widget's plug-in, made as the
// widget host makes it, without a browser. The plug-in draws its picture into
// the widget's Images/current.png; the command prints the text it returns.
#include "cli/Command.h"
#include "cli/WidgetLocation.h"
#include "host/PluginLoader.h"
#include "host/WidgetInfo.h"

#include <cstdio>
#include <optional>

namespace {

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
        app.footer("The plug-in draws today's day/night map into the widget's Images/current.png\n"
                   "and stores its shadow level; the date and time it drew are printed.");
        return [widget] { return request(*widget); };
    },
}};

} // namespace
