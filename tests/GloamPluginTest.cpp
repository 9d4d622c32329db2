#include "GloamPlugin.h"

#include "host/PluginLoader.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Image.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "umb/UMBImageOps.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::PropertyList;
using platform::Selector;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

const std::string kShippedBundle
    = std::string(GLOAM_SOURCE_DIR) + "/widget/Gloam.wdgt/GloamPlugin.widgetplugin";

std::string xmlPlist(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body
        + "\n</plist>\n";
}

// A widget folder in /tmp holding a plug-in bundle, registered under the
// plug-in's identifier; the zone, the locale and the clock are pinned.
class GloamPluginTest : public ::testing::Test {
protected:
    GloamPluginTest()
    {
        ScopedEnv::pinZoneAndLocale(m_env, "America/New_York");
        platform::setClockForTesting([] { return 1718452800.25; }); // 2024-06-15 12:00:00.25 UTC
        fs::create_directories(bundle() + "/Contents/Resources");
        platform::registerBundle(GloamPlugin::kBundleIdentifier, bundle());
    }
    ~GloamPluginTest() override
    {
        platform::setClockForTesting(nullptr);
        platform::clearBundleRegistryForTesting();
    }

    std::string bundle() const { return m_dir / "Gloam.wdgt/GloamPlugin.widgetplugin"; }
    std::string configuration() const { return bundle() + "/Contents/Resources/user.plist"; }

    void writeConfiguration(const std::string& body) const
    {
        std::string text = xmlPlist(body);
        ASSERT_TRUE(platform::writeFileAtomically(configuration(),
            std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
    }
    std::optional<double> storedLevel() const
    {
        auto list = PropertyList::readDictionary(configuration());
        return list ? list->number("shadowlevel") : std::nullopt;
    }

    TempDir m_dir;
    ScopedEnv m_env;
};

struct RecordingWindow : platform::WindowScriptObject {
    std::vector<std::pair<platform::ScriptObject*, std::string>> installs;
    void setValueForKey(platform::ScriptObject* value, const std::string& key) override
    {
        installs.emplace_back(value, key);
    }
};

} // namespace

TEST_F(GloamPluginTest, ScriptSeesExactlyThreeMethodsAndNoField)
{
    GloamPlugin plugin;
    const platform::ScriptClass& cls = plugin.scriptClass();
    EXPECT_EQ(cls.className(), "GloamPlugin");
    struct {
        Selector selector;
        std::optional<std::string> name;
    } cases[] = {
        {GloamPlugin::kGetCurrentComposite, "getCurrentComposite"},
        {GloamPlugin::kSetShadowLevel, "setShadowLevel"},
        {GloamPlugin::kGetShadowLevel, "getShadowLevel"},
        {GloamPlugin::kInitWithWebView, std::nullopt},
        {GloamPlugin::kWindowScriptObjectAvailable, std::nullopt},
        {GloamPlugin::kReadConfiguration, std::nullopt},
        {GloamPlugin::kWriteConfiguration, std::nullopt},
        {GloamPlugin::kDealloc, std::nullopt},
        {Selector {"description", {}, platform::ScriptType::String}, std::nullopt},
        {Selector {"setShadowLevel", {}, platform::ScriptType::Void}, std::nullopt},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(cls.webScriptNameForSelector(c.selector), c.name) << c.selector.name;
        std::string logged = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(logged, c.name ? "" : "\tUnknown Selector\n") << c.selector.name;
        EXPECT_EQ(cls.isSelectorExcludedFromWebScript(c.selector), !c.name) << c.selector.name;
    }
    std::vector<Selector> all = cls.selectors();
    EXPECT_EQ(all.size(), 8u);
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                  [&](const Selector& s) { return !cls.isSelectorExcludedFromWebScript(s); }),
        3);
    for (const std::string& key : cls.keys())
        EXPECT_TRUE(cls.isKeyExcludedFromWebScript(key)) << key;
    EXPECT_EQ(cls.keys(), (std::vector<std::string> {"appath", "alphalevel"}));
    EXPECT_TRUE(cls.isKeyExcludedFromWebScript("anything"));
}

TEST_F(GloamPluginTest, InstallsItselfOnEveryWindowObjectItIsGiven)
{
    GloamPlugin plugin;
    RecordingWindow window;
    plugin.windowScriptObjectAvailable(window);
    plugin.windowScriptObjectAvailable(window);
    ASSERT_EQ(window.installs.size(), 2u);
    for (const auto& [value, key] : window.installs) {
        EXPECT_EQ(value, &plugin);
        EXPECT_EQ(key, "GloamPlugin");
    }
}

TEST_F(GloamPluginTest, CreationFindsTheBundleAndReadsTheShippedLevel)
{
    fs::copy_file(kShippedBundle + "/Contents/Resources/user.plist", configuration());
    GloamPlugin plugin;
    EXPECT_EQ(plugin.appath(), bundle());
    EXPECT_EQ(plugin.getShadowLevel(), 0.75f);
}

TEST_F(GloamPluginTest, LevelIsKeptInMemoryAndReachesTheFileAtTheNextRequest)
{
    writeConfiguration("<dict><key>shadowlevel</key><real>0.75</real></dict>");
    GloamPlugin plugin;
    plugin.setShadowLevel(0.5f);
    EXPECT_EQ(plugin.getShadowLevel(), 0.5f);
    EXPECT_EQ(storedLevel(), 0.75);
    EXPECT_EQ(plugin.getCurrentComposite(), "06-15-2024 08:00:00 AM EDT");
    EXPECT_EQ(storedLevel(), 0.5);

    struct {
        float set, kept;
    } levels[] = {{-0.25f, -0.25f}, {1.5f, 1.5f}, {NAN, 1.5f}, {INFINITY, 1.5f}, {0, 0}};
    for (auto l : levels) {
        plugin.setShadowLevel(l.set);
        EXPECT_EQ(plugin.getShadowLevel(), l.kept) << l.set;
        plugin.getCurrentComposite();
        EXPECT_EQ(storedLevel(), static_cast<double>(l.kept)) << l.set;
    }
}

TEST_F(GloamPluginTest, WithoutAConfigurationNothingIsEverCreated)
{
    GloamPlugin plugin;
    EXPECT_EQ(plugin.getShadowLevel(), 0.0f);
    EXPECT_FALSE(plugin.readConfiguration());
    plugin.setShadowLevel(0.5f);
    EXPECT_EQ(plugin.getShadowLevel(), 0.5f);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(plugin.getCurrentComposite().empty());
    EXPECT_FALSE(fs::exists(configuration()));
    EXPECT_TRUE(fs::is_empty(bundle() + "/Contents/Resources"));
}

TEST_F(GloamPluginTest, WithoutARegisteredBundleNoFileIsTouched)
{
    platform::clearBundleRegistryForTesting();
    // A configuration where a path relative to the working directory would find it.
    fs::path cwd = fs::current_path();
    fs::current_path(bundle());
    writeConfiguration("<dict><key>shadowlevel</key><real>0.75</real></dict>");
    {
        GloamPlugin plugin;
        EXPECT_EQ(plugin.appath(), "");
        EXPECT_EQ(plugin.getShadowLevel(), 0.0f);
        EXPECT_FALSE(plugin.readConfiguration());
        plugin.setShadowLevel(0.5f);
        EXPECT_EQ(plugin.getCurrentComposite(), "06-15-2024 08:00:00 AM EDT");
    }
    fs::current_path(cwd);
    EXPECT_EQ(storedLevel(), 0.75);
}

TEST_F(GloamPluginTest, OtherKeysAndTheFileFormatSurviveARequest)
{
    for (auto format : {PropertyList::Format::Xml, PropertyList::Format::Binary}) {
        writeConfiguration("<dict><key>name</key><string>Gloam</string>"
                           "<key>shadowlevel</key><real>0.75</real>"
                           "<key>window</key><dict><key>x</key><integer>12</integer></dict>"
                           "<key>seen</key><date>2024-01-01T00:00:00Z</date></dict>");
        auto before = PropertyList::readDictionary(configuration());
        ASSERT_TRUE(before);
        before->setFormat(format);
        ASSERT_TRUE(before->writeToFile(configuration()));

        GloamPlugin plugin;
        plugin.setShadowLevel(0.25f);
        plugin.getCurrentComposite();

        auto after = PropertyList::readDictionary(configuration());
        ASSERT_TRUE(after);
        EXPECT_EQ(after->format(), format);
        EXPECT_EQ(after->number("shadowlevel"), 0.25);
        after->setReal("shadowlevel", 0.75);
        EXPECT_EQ(after->encoded(), before->encoded()) << "other keys changed";
    }
}

TEST_F(GloamPluginTest, ShadowLevelEntriesOfEveryKind)
{
    struct {
        const char* entry;
        float level;
    } cases[] = {
        {"<real>0.5</real>", 0.5f},
        {"<real>-2</real>", -2.0f},
        {"<integer>1</integer>", 1.0f},
        {"<true/>", 1.0f},
        {"<string>0.25</string>", 0.25f},
        {"<string>dark</string>", 0.0f},
        {"<date>2024-01-01T00:00:00Z</date>", 0.0f},
        {"<array><real>0.5</real></array>", 0.0f},
        {"<real>nan</real>", 0.0f},
        {"<real>+infinity</real>", 0.0f},
        {"<real>1e300</real>", 0.0f}, // no such float
        {"<string>inf</string>", 0.0f},
    };
    for (auto c : cases) {
        writeConfiguration(std::string("<dict><key>shadowlevel</key>") + c.entry + "</dict>");
        GloamPlugin plugin;
        EXPECT_EQ(plugin.getShadowLevel(), c.level) << c.entry;
    }
    writeConfiguration("<dict><key>other</key><real>0.5</real></dict>");
    EXPECT_EQ(GloamPlugin().getShadowLevel(), 0.0f);
    writeConfiguration("<array><real>0.5</real></array>");
    EXPECT_EQ(GloamPlugin().getShadowLevel(), 0.0f);
}

TEST_F(GloamPluginTest, InvokeRunsOnlyTheScriptMethods)
{
    writeConfiguration("<dict><key>shadowlevel</key><real>0.75</real></dict>");
    GloamPlugin plugin;
    EXPECT_EQ(plugin.invoke(GloamPlugin::kGetShadowLevel, {}), platform::ScriptValue(0.75));
    EXPECT_EQ(plugin.invoke(GloamPlugin::kSetShadowLevel, {0.125}), platform::ScriptValue());
    EXPECT_EQ(plugin.getShadowLevel(), 0.125f);
    EXPECT_EQ(plugin.invoke(GloamPlugin::kGetCurrentComposite, {}),
        platform::ScriptValue(std::string("06-15-2024 08:00:00 AM EDT")));

    EXPECT_THROW(plugin.invoke(GloamPlugin::kWriteConfiguration, {}), std::invalid_argument);
    EXPECT_THROW(plugin.invoke(GloamPlugin::kSetShadowLevel, {}), std::invalid_argument);
    EXPECT_THROW(
        plugin.invoke(GloamPlugin::kSetShadowLevel, {std::string("0.5")}), std::invalid_argument);
    EXPECT_EQ(plugin.getShadowLevel(), 0.125f);
}

TEST_F(GloamPluginTest, ShippedBundleCarriesTheIdentifierAndAnXmlConfiguration)
{
    EXPECT_EQ(platform::readBundleIdentifier(kShippedBundle), GloamPlugin::kBundleIdentifier);
    auto info = PropertyList::readDictionary(kShippedBundle + "/Contents/Info.plist");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->string("CFBundleExecutable"), "GloamPlugin.so");
    auto user = PropertyList::readDictionary(kShippedBundle + "/Contents/Resources/user.plist");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->format(), PropertyList::Format::Xml);
    EXPECT_EQ(user->number("shadowlevel"), 0.75);
}

TEST_F(GloamPluginTest, TheBuiltModuleFindsItsBundleThroughItsOwnRegistry)
{
    // A copy of the built bundle, so that the build tree's configuration stays as it is.
    fs::remove_all(bundle());
    fs::copy(std::string(GLOAM_BUILD_WIDGET_DIR) + "/GloamPlugin.widgetplugin", bundle(),
        fs::copy_options::recursive);
    writeConfiguration("<dict><key>shadowlevel</key><real>0.375</real></dict>");
    // The test's own registry does not reach into the module.
    platform::clearBundleRegistryForTesting();

    host::PluginLoader loader(bundle());
    EXPECT_EQ(loader.identifier(), GloamPlugin::kBundleIdentifier);
    platform::WebPlugin& plugin = loader.plugin();
    EXPECT_EQ(plugin.invoke(GloamPlugin::kGetShadowLevel, {}), platform::ScriptValue(0.375));
    plugin.invoke(GloamPlugin::kSetShadowLevel, {0.625});
    EXPECT_FALSE(
        std::get<std::string>(plugin.invoke(GloamPlugin::kGetCurrentComposite, {})).empty());
    EXPECT_EQ(storedLevel(), 0.625);
}

namespace {

// A base map of one colour, saved as the bundle's map of `month`.
void writeBaseMap(const std::string& bundle, int month, double red, double blue)
{
    platform::Bitmap bitmap(36, 18);
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 36; ++x)
            bitmap.setColorAt(x, y, platform::Color::deviceRGB(red, 0, blue, 1));
    fs::create_directories(bundle + "/Contents/Resources/worldimages");
    // A PNG under the map's name: the loader goes by content, not by suffix.
    ASSERT_TRUE(umb::UMBImageOps::saveImage(platform::Image(std::move(bitmap)),
        bundle + "/Contents/Resources/worldimages/world_sm." + std::to_string(month) + ".jpg"));
}

} // namespace

TEST_F(GloamPluginTest, RequestDrawsTheUniversalTimeMonthsMap)
{
    writeConfiguration("<dict><key>shadowlevel</key><real>0</real></dict>");
    writeBaseMap(bundle(), 6, 1, 0); // June red
    writeBaseMap(bundle(), 7, 0, 1); // July blue
    fs::create_directories(m_dir / "Gloam.wdgt/Images");
    const std::string current = m_dir / "Gloam.wdgt/Images/current.png";
    GloamPlugin plugin;
    EXPECT_EQ(plugin.baseMapPath(12), bundle() + "/Contents/Resources/worldimages/world_sm.12.jpg");
    EXPECT_EQ(plugin.outputPath(), current);

    plugin.getCurrentComposite();
    std::optional<platform::Image> june = platform::Image::fromFile(current);
    ASSERT_TRUE(june);
    EXPECT_EQ(june->bitmap()->width(), 36);
    EXPECT_EQ(june->bitmap()->pixelAt(5, 5)[0], 255);

    // 02:00 UTC on 1 July is still 30 June in New York: the text shows the
    // local date, the map is July's.
    platform::setClockForTesting([] { return 1719799200.0; });
    EXPECT_EQ(plugin.getCurrentComposite(), "06-30-2024 10:00:00 PM EDT");
    std::optional<platform::Image> july = platform::Image::fromFile(current);
    ASSERT_TRUE(july);
    EXPECT_EQ(july->bitmap()->pixelAt(5, 5)[2], 255);
    EXPECT_EQ(july->bitmap()->pixelAt(5, 5)[0], 0);
}

TEST_F(GloamPluginTest, WithoutTheMonthsMapNothingIsDrawnButTheRestHappens)
{
    writeConfiguration("<dict><key>shadowlevel</key><real>0.75</real></dict>");
    writeBaseMap(bundle(), 7, 0, 1); // only July: June's map is missing
    fs::create_directories(m_dir / "Gloam.wdgt/Images");
    const std::string current = m_dir / "Gloam.wdgt/Images/current.png";
    const std::string old = "an earlier picture";
    ASSERT_TRUE(platform::writeFileAtomically(
        current, std::span(reinterpret_cast<const uint8_t*>(old.data()), old.size())));
    GloamPlugin plugin;
    plugin.setShadowLevel(0.25f);
    EXPECT_EQ(plugin.getCurrentComposite(), "06-15-2024 08:00:00 AM EDT");
    EXPECT_EQ(storedLevel(), 0.25);
    EXPECT_EQ(fs::file_size(current), old.size()); // the last picture stays

    // No Images folder: the save fails quietly, the request goes on.
    fs::remove_all(m_dir / "Gloam.wdgt/Images");
    writeBaseMap(bundle(), 6, 1, 0);
    plugin.setShadowLevel(0.5f);
    EXPECT_EQ(plugin.getCurrentComposite(), "06-15-2024 08:00:00 AM EDT");
    EXPECT_EQ(storedLevel(), 0.5);
    EXPECT_FALSE(fs::exists(m_dir / "Gloam.wdgt/Images"));
}

TEST_F(GloamPluginTest, TheShippedPicturesMakeADayAndNightMap)
{
    const std::string resources = bundle() + "/Contents/Resources";
    fs::copy(kShippedBundle + "/Contents/Resources", resources,
        fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::create_directories(m_dir / "Gloam.wdgt/Images");
    GloamPlugin plugin;
    EXPECT_EQ(plugin.getShadowLevel(), 0.75f);
    plugin.getCurrentComposite();
    std::optional<platform::Image> map
        = platform::Image::fromFile(m_dir / "Gloam.wdgt/Images/current.png");
    ASSERT_TRUE(map);
    const platform::Bitmap& b = *map->bitmap();
    ASSERT_EQ(b.width(), 1024);
    ASSERT_EQ(b.height(), 512);
    // 12:00 UTC in June: the Sun stands near longitude 0, latitude 23.3.
    // Compare the brightness of the ocean-and-land band at the equator on
    // the day side (longitudes -60..60) and the night side (120..180).
    auto brightness = [&](double lon0, double lon1) {
        double sum = 0;
        int n = 0;
        for (int y = 230; y < 282; ++y)
            for (int x = int((lon0 + 180) / 360 * 1024); x < int((lon1 + 180) / 360 * 1024);
                 ++x, ++n)
                sum += b.pixelAt(x, y)[0] + b.pixelAt(x, y)[1] + b.pixelAt(x, y)[2];
        return sum / n;
    };
    EXPECT_GT(brightness(-60, 60), 3 * brightness(120, 180));
}
