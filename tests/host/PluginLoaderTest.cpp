#include "host/PluginLoader.h"

#include "platform/Bundle.h"
#include "support/HostFixture.h"

#include <gtest/gtest.h>

namespace {

using testing_support::infoPlist;
using testing_support::ScratchWidget;

platform::ScriptValue call(platform::WebPlugin& plugin, const std::string& name)
{
    for (const auto& selector : plugin.scriptClass().selectors()) {
        if (selector.name == name)
            return plugin.invoke(selector, {});
    }
    ADD_FAILURE() << "no selector " << name;
    return {};
}

TEST(PluginLoaderTest, LoadsABundleItKnowsOnlyThroughThePluginInterface)
{
    ScratchWidget scratch;
    host::PluginLoader loader(scratch.bundle().string() + "/");
    EXPECT_EQ(loader.identifier(), "org.gloam.tests.BridgeProbe");
    EXPECT_EQ(loader.bundlePath(), scratch.bundle().string()) << "trailing separator kept";
    EXPECT_EQ(loader.modulePath(), (scratch.bundle() / "Contents/Linux/BridgeProbe.so").string());
    EXPECT_EQ(loader.plugin().scriptClass().className(), "BridgeProbe");
    EXPECT_EQ(platform::bundlePathForIdentifier(loader.identifier()), loader.bundlePath())
        << "the host's own registry";
    // The module's own registry got the bundle, so the plug-in can find itself.
    EXPECT_EQ(std::get<std::string>(call(loader.plugin(), "bundlePath")), loader.bundlePath());
}

TEST(PluginLoaderTest, TwoLoadersOfOneModuleEachOwnTheirPlugin)
{
    ScratchWidget scratch;
    auto first = std::make_unique<host::PluginLoader>(scratch.bundle().string());
    host::PluginLoader second(scratch.bundle().string());
    EXPECT_NE(&first->plugin(), &second.plugin());
    first.reset();
    // The module stays open for the second loader.
    EXPECT_EQ(std::get<double>(call(second.plugin(), "level")), 0.25);
}

TEST(PluginLoaderTest, FindsTheOnlyModuleWhenNoExecutableIsNamed)
{
    ScratchWidget scratch;
    testing_support::writeText(scratch.bundle() / "Contents/Info.plist",
        infoPlist({{"CFBundleIdentifier", "org.gloam.tests.BridgeProbe"}}));
    host::PluginLoader loader(scratch.bundle().string());
    EXPECT_EQ(loader.modulePath(), (scratch.bundle() / "Contents/Linux/BridgeProbe.so").string());
}

TEST(PluginLoaderTest, RefusesBrokenBundlesWithAReason)
{
    const std::string id = "org.gloam.tests.BridgeProbe";
    const struct {
        const char* what;
        std::string info; // replaces Contents/Info.plist; empty removes it
        const char* extraFile; // written into Contents/Linux
        const char* expected; // part of the message
    } cases[] = {
        {"no Info.plist", "", nullptr, "is missing or not a dictionary"},
        {"not a dictionary", "<plist version=\"1.0\"><array/></plist>", nullptr,
            "is missing or not a dictionary"},
        {"no identifier", infoPlist({{"CFBundleExecutable", "BridgeProbe"}}), nullptr,
            "has no CFBundleIdentifier"},
        {"missing executable",
            infoPlist({{"CFBundleIdentifier", id}, {"CFBundleExecutable", "Nothing"}}), nullptr,
            "does not exist"},
        {"executable outside",
            infoPlist({{"CFBundleIdentifier", id}, {"CFBundleExecutable", "../Linux/BridgeProbe"}}),
            nullptr, "is not a file name"},
        {"two modules", infoPlist({{"CFBundleIdentifier", id}}), "Other.so", "several modules"},
        {"not a module", infoPlist({{"CFBundleIdentifier", id}, {"CFBundleExecutable", "Fake"}}),
            "Fake.so", "cannot load"},
    };
    for (const auto& c : cases) {
        ScratchWidget scratch;
        auto infoPath = scratch.bundle() / "Contents/Info.plist";
        if (c.info.empty())
            std::filesystem::remove(infoPath);
        else
            testing_support::writeText(infoPath, c.info);
        if (c.extraFile)
            testing_support::writeText(
                scratch.bundle() / "Contents/Linux" / c.extraFile, "not an ELF file");
        try {
            host::PluginLoader loader(scratch.bundle().string());
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const host::PluginLoadError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
    EXPECT_THROW(host::PluginLoader("/nonexistent/Nothing.widgetplugin"), host::PluginLoadError);
}

} // namespace
