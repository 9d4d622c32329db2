// WidgetFixture: a widget folder in /tmp as the plug-in finds it: Gloam.wdgt
// with its Images folder and a plug-in bundle, registered under the plug-in's
// identifier, holding a small map for every month (64 x 32) and small sun and
// lights pictures. The zone (New York), the locale and the clock (2024-06-15
// 12:00:00.25 UTC, a Saturday morning in New York) are pinned for the test.
#pragma once

#include "GloamPlugin.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"
#include "platform/PropertyList.h"
#include "support/HostileBytes.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace testing_support {

// What the plug-in's request returns at the pinned instant.
inline constexpr const char* kPinnedText = "06-15-2024 08:00:00 AM EDT";

class WidgetFixture : public ::testing::Test {
protected:
    WidgetFixture()
    {
        ScopedEnv::pinZoneAndLocale(m_env, "America/New_York");
        platform::setClockForTesting([] { return 1718452800.25; });
        std::filesystem::create_directories(images());
        std::filesystem::create_directories(pictures());
        platform::registerBundle(GloamPlugin::kBundleIdentifier, bundle());
        m_map = *platform::encodeJpeg(gradient(64, 32, platform::PixelFormat::RGB, 0.2), 85);
        for (int month = 1; month <= 12; ++month)
            put(map(month), m_map);
        put(pictures() + "/sun.png",
            *platform::encodePng(gradient(6, 6, platform::PixelFormat::RGBA, 1)));
        put(pictures() + "/earth_lights_sm.png",
            *platform::encodePng(gradient(64, 32, platform::PixelFormat::RGBA, 0.9)));
    }
    ~WidgetFixture() override
    {
        platform::setClockForTesting(nullptr);
        platform::clearBundleRegistryForTesting();
    }

    std::string widget() const { return m_dir / "Gloam.wdgt"; }
    std::string bundle() const { return widget() + "/GloamPlugin.widgetplugin"; }
    std::string images() const { return widget() + "/Images"; }
    std::string current() const { return images() + "/current.png"; }
    std::string resources() const { return bundle() + "/Contents/Resources"; }
    std::string pictures() const { return resources() + "/worldimages"; }
    std::string map(int month) const
    {
        return pictures() + "/world_sm." + std::to_string(month) + ".jpg";
    }
    std::string configuration() const { return resources() + "/user.plist"; }

    static void put(const std::string& path, std::span<const uint8_t> bytes)
    {
        ASSERT_TRUE(platform::writeFileAtomically(path, bytes)) << path;
    }
    // user.plist holding the property list `body` ("<dict>...</dict>").
    void writeConfiguration(const std::string& body) const
    {
        put(configuration(), bytesOf(xmlPlist(body)));
    }
    void writeLevel(double level) const
    {
        writeConfiguration(
            "<dict><key>shadowlevel</key><real>" + std::to_string(level) + "</real></dict>");
    }
    std::optional<double> storedLevel() const
    {
        auto list = platform::PropertyList::readDictionary(configuration());
        return list ? list->number("shadowlevel") : std::nullopt;
    }
    // The built widget's page and Info.plist, and the plug-in module with
    // its bundle's Info.plist: for a widget that the `gloam` command loads.
    void installModule() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(GLOAM_BUILD_WIDGET_DIR))
            if (entry.is_regular_file())
                std::filesystem::copy(
                    entry.path(), widget() + "/" + entry.path().filename().string());
        const std::string built
            = std::string(GLOAM_BUILD_WIDGET_DIR) + "/GloamPlugin.widgetplugin/Contents";
        std::filesystem::copy(built + "/Info.plist", bundle() + "/Contents/Info.plist");
        std::filesystem::copy(built + "/Linux", bundle() + "/Contents/Linux",
            std::filesystem::copy_options::recursive);
    }

    TempDir m_dir;
    ScopedEnv m_env;
    std::vector<uint8_t> m_map;
};

} // namespace testing_support
