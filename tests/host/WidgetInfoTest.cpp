#include "host/WidgetInfo.h"

#include "support/HostFixture.h"

#include <gtest/gtest.h>

namespace {

using testing_support::infoPlist;
using testing_support::ScratchWidget;

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
    const struct {
        const char* what;
        std::map<std::string, std::string> entries;
        const char* expected;
    } cases[] = {
        {"no main page", {{"Plugin", "BridgeProbe.widgetplugin"}}, "names no MainHTML"},
        {"missing page", {{"MainHTML", "gone.html"}}, "is not a file"},
        {"page outside", {{"MainHTML", "../outside.html"}}, "is not a file"},
        {"absolute page", {{"MainHTML", "/etc/hostname"}}, "is not a file"},
        {"missing bundle", {{"MainHTML", "probe.html"}, {"Plugin", "Gone.widgetplugin"}},
            "is not a folder"},
        {"bundle outside",
            {{"MainHTML", "probe.html"}, {"Plugin", "../Probe.wdgt/BridgeProbe.widgetplugin"}},
            "is not a folder"},
    };
    for (const auto& c : cases) {
        ScratchWidget scratch;
        testing_support::writeText(scratch.root() / "outside.html", "<p>outside</p>");
        testing_support::writeText(scratch.widget() / "Info.plist", infoPlist(c.entries));
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
    testing_support::writeText(
        scratch.widget() / "Info.plist", infoPlist({{"MainHTML", "probe.html"}}));
    auto info = host::WidgetInfo::read(scratch.widget().string());
    EXPECT_FALSE(info.pluginBundle);
    EXPECT_EQ(info.displayName, "Probe") << "falls back to the folder's name";
}

} // namespace
