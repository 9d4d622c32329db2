#include "host/WidgetInfo.h"

#include "host/ProbeWidget.h"

#include <gtest/gtest.h>

namespace {

using hosttest::infoPlist;
using hosttest::plistString;
using hosttest::ScratchWidget;

TEST(WidgetInfoTest, ResolvesTheMainPageAndThePluginBundle)
{
    ScratchWidget scratch;
    auto info = host::WidgetInfo::read(scratch.widget().string() + "/");
    EXPECT_EQ(info.widgetDir, scratch.widget().string());
    EXPECT_EQ(info.displayName, "Probe");
    EXPECT_EQ(info.mainPage, "probe.html");
    EXPECT_EQ(info.pluginBundle, scratch.bundle().string());
}

TEST(WidgetInfoTest, RefusesWidgetsThatPointOutsideOrAtNothing)
{
    struct Case {
        const char* what;
        std::string entries;
        const char* expected;
    };
    const std::string page = plistString("MainHTML", "probe.html");
    const Case cases[] = {
        {"no main page", plistString("Plugin", "BridgeProbe.widgetplugin"), "names no MainHTML"},
        {"missing page", plistString("MainHTML", "gone.html"), "is not a file"},
        {"page outside", plistString("MainHTML", "../outside.html"), "is not a file"},
        {"absolute page", plistString("MainHTML", "/etc/hostname"), "is not a file"},
        {"missing bundle", page + plistString("Plugin", "Gone.widgetplugin"), "is not a folder"},
        {"bundle outside", page + plistString("Plugin", "../Probe.wdgt/BridgeProbe.widgetplugin"),
            "is not a folder"},
    };
    for (const auto& c : cases) {
        ScratchWidget scratch;
        scratch.write(scratch.root() / "outside.html", "<p>outside</p>");
        scratch.write(scratch.widget() / "Info.plist", infoPlist(c.entries));
        try {
            host::WidgetInfo::read(scratch.widget().string());
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const host::WidgetError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST(WidgetInfoTest, AWidgetWithoutPluginHasNoBundle)
{
    ScratchWidget scratch;
    scratch.write(
        scratch.widget() / "Info.plist", infoPlist(plistString("MainHTML", "probe.html")));
    auto info = host::WidgetInfo::read(scratch.widget().string());
    EXPECT_FALSE(info.pluginBundle);
    EXPECT_EQ(info.displayName, "Probe") << "falls back to the folder's name";
}

} // namespace
