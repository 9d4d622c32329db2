// The plug-in in a widget folder of its own: what script sees of it, the
// shadow level it keeps in user.plist, and the picture each request draws,
// from sound files and from damaged or hostile ones. Whatever the files, the
// request returns its text, current.png is the last whole picture, and a
// settings file that cannot be read is never rewritten.
#include "support/WidgetFixture.h"

#include "platform/Image.h"
#include "support/PngBytes.h"

#include <cmath>
#include <sys/stat.h>

namespace fs = std::filesystem;
using platform::PropertyList;
using platform::Selector;
using namespace testing_support;

namespace {

const std::string kShippedBundle
    = std::string(GLOAM_SOURCE_DIR) + "/widget/Gloam.wdgt/GloamPlugin.widgetplugin";

using GloamPluginTest = WidgetFixture;

// Whether current.png is a whole picture at the map's size.
bool whole(const std::string& path)
{
    auto png = platform::readFile(path);
    auto b = png ? std::optional<platform::Bitmap>(platform::decodePng(*png)) : std::nullopt;
    return b && b->width() == 64 && b->height() == 32;
}

} // namespace

TEST_F(GloamPluginTest, ScriptSeesExactlyThreeMethodsAndNoField)
{
    GloamPlugin plugin;
    const platform::ScriptClass& cls = plugin.scriptClass();
    EXPECT_EQ(cls.className(), "GloamPlugin");
    const struct {
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
        {Selector {"setShadowLevel", {}, platform::ScriptType::Void}, std::nullopt},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(cls.webScriptNameForSelector(c.selector), c.name) << c.selector.name;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.name ? "" : "\tUnknown Selector\n");
        EXPECT_EQ(cls.isSelectorExcludedFromWebScript(c.selector), !c.name) << c.selector.name;
    }
    EXPECT_EQ(cls.selectors().size(), 8u);
    EXPECT_EQ(cls.keys(), (std::vector<std::string> {"appath", "alphalevel"}));
    for (const char* key : {"appath", "alphalevel", "anything"})
        EXPECT_TRUE(cls.isKeyExcludedFromWebScript(key)) << key;

    struct RecordingWindow : platform::WindowScriptObject {
        std::vector<std::pair<platform::ScriptObject*, std::string>> installs;
        void setValueForKey(platform::ScriptObject* value, const std::string& key) override
        {
            installs.emplace_back(value, key);
        }
    } window;
    plugin.windowScriptObjectAvailable(window);
    plugin.windowScriptObjectAvailable(window);
    using Install = std::pair<platform::ScriptObject*, std::string>;
    EXPECT_EQ(window.installs, (std::vector<Install>(2, {&plugin, "GloamPlugin"})));
}

TEST_F(GloamPluginTest, InvokeRunsOnlyTheScriptMethods)
{
    writeLevel(0.75);
    GloamPlugin plugin;
    EXPECT_EQ(plugin.invoke(GloamPlugin::kGetShadowLevel, {}), platform::ScriptValue(0.75));
    EXPECT_EQ(plugin.invoke(GloamPlugin::kSetShadowLevel, {0.125}), platform::ScriptValue());
    EXPECT_EQ(plugin.getShadowLevel(), 0.125f);
    EXPECT_EQ(plugin.invoke(GloamPlugin::kGetCurrentComposite, {}),
        platform::ScriptValue(std::string(kPinnedText)));
    EXPECT_THROW(plugin.invoke(GloamPlugin::kWriteConfiguration, {}), std::invalid_argument);
    EXPECT_THROW(plugin.invoke(GloamPlugin::kSetShadowLevel, {}), std::invalid_argument);
    EXPECT_THROW(
        plugin.invoke(GloamPlugin::kSetShadowLevel, {std::string("0.5")}), std::invalid_argument);
    EXPECT_EQ(plugin.getShadowLevel(), 0.125f);
}

TEST_F(GloamPluginTest, LevelIsKeptInMemoryAndReachesTheFileAtTheNextRequest)
{
    writeLevel(0.75);
    GloamPlugin plugin;
    EXPECT_EQ(plugin.appath(), bundle());
    plugin.setShadowLevel(0.5f);
    EXPECT_EQ(plugin.getShadowLevel(), 0.5f);
    EXPECT_EQ(storedLevel(), 0.75);
    EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText);
    EXPECT_EQ(storedLevel(), 0.5);

    const struct {
        float set, kept;
    } levels[] = {{-0.25f, -0.25f}, {1.5f, 1.5f}, {NAN, 1.5f}, {INFINITY, 1.5f}, {0, 0}};
    for (auto l : levels) {
        plugin.setShadowLevel(l.set);
        EXPECT_EQ(plugin.getShadowLevel(), l.kept) << l.set;
        plugin.getCurrentComposite();
        EXPECT_EQ(storedLevel(), static_cast<double>(l.kept)) << l.set;
    }
}

TEST_F(GloamPluginTest, WithoutAConfigurationOrABundleNoSettingsFileIsTouched)
{
    {
        GloamPlugin plugin;
        EXPECT_EQ(plugin.getShadowLevel(), 0.0f);
        EXPECT_FALSE(plugin.readConfiguration());
        plugin.setShadowLevel(0.5f);
        EXPECT_EQ(plugin.getShadowLevel(), 0.5f);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText);
        EXPECT_FALSE(fs::exists(configuration()));
    }
    // Unregistered, with a configuration where a path relative to the
    // working directory would find it.
    platform::clearBundleRegistryForTesting();
    fs::path cwd = fs::current_path();
    fs::current_path(bundle());
    writeLevel(0.75);
    {
        GloamPlugin plugin;
        EXPECT_EQ(plugin.appath(), "");
        EXPECT_EQ(plugin.getShadowLevel(), 0.0f);
        EXPECT_FALSE(plugin.readConfiguration());
        plugin.setShadowLevel(0.5f);
        EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText);
    }
    fs::current_path(cwd);
    EXPECT_EQ(storedLevel(), 0.75);
}

TEST_F(GloamPluginTest, ShadowLevelEntriesFollowTheRuleAndAreRewrittenAsNumbers)
{
    // The entry's number (the property list's rule, tested there); no number,
    // or one that is not a finite 32-bit float, is 0. The next request writes
    // the entry back as a real of the level in use, and every other key stays.
    const struct {
        const char* entry; // null: no shadowlevel key
        float level;
    } cases[] = {
        {"<real>-2</real>", -2.0f},
        {"<string> 0.25 </string>", 0.25f},
        {"<real>nan</real>", 0.0f},
        {"<real>3.5e38</real>", 0.0f}, // past the float range
        {nullptr, 0.0f},
    };
    for (auto c : cases) {
        std::string entry = c.entry ? std::string("<key>shadowlevel</key>") + c.entry : "";
        writeConfiguration("<dict><key>name</key><string>Gloam</string>" + entry
            + "<key>z</key><integer>7</integer></dict>");
        const char* what = c.entry ? c.entry : "no entry";
        GloamPlugin plugin;
        EXPECT_EQ(plugin.getShadowLevel(), c.level) << what;
        EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText);
        auto after = PropertyList::readDictionary(configuration());
        ASSERT_TRUE(after) << what;
        EXPECT_EQ(after->number("shadowlevel"), double(c.level)) << what;
        EXPECT_FALSE(after->string("shadowlevel")) << what << ": still a string";
        EXPECT_EQ(after->string("name"), "Gloam") << what;
        EXPECT_EQ(after->number("z"), 7.0) << what;
    }
}

TEST_F(GloamPluginTest, AnUnreadableConfigurationGivesLevelZeroAndIsNeverRewritten)
{
    // A binary dictionary {"shadowlevel": 0.5, <two bytes that are not
    // UTF-8>: true}: what libplist would write back from it would not read,
    // so it is kept as it is even where its level can be read.
    const std::vector<uint8_t> badKey = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD2, 1, 2, 3, 4,
        0x5B, 's', 'h', 'a', 'd', 'o', 'w', 'l', 'e', 'v', 'e', 'l', 0x52, 0xC3, 0x28, 0x23, 0x3F,
        0xE0, 0, 0, 0, 0, 0, 0, 0x09, 8, 13, 25, 28, 37, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0,
        0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 38};
    const std::string level = "<dict><key>shadowlevel</key><real>0.5</real>";
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"truncated", bytesOf(xmlPlist(level + "</dict>").substr(0, 70))},
        {"garbage", bytesOf("shadowlevel = 0.5\n")},
        {"array root", bytesOf(xmlPlist("<array><real>0.5</real></array>"))},
        {"key not UTF-8", badKey},
    };
    for (const auto& c : cases) {
        put(configuration(), c.bytes);
        struct stat before { };
        ::stat(configuration().c_str(), &before);
        const bool readable = PropertyList::readDictionary(configuration()).has_value();
        GloamPlugin plugin;
        EXPECT_EQ(plugin.getShadowLevel(), readable ? 0.5f : 0.0f) << c.name;
        plugin.setShadowLevel(0.25f);
        EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText) << c.name;
        EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText) << c.name;
        struct stat after { };
        ::stat(configuration().c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name << ": the file was replaced";
        EXPECT_EQ(platform::readFile(configuration()), c.bytes) << c.name;
        EXPECT_EQ(std::distance(fs::directory_iterator(resources()), fs::directory_iterator()), 2)
            << c.name << ": user.plist and worldimages only";
    }
}

TEST_F(GloamPluginTest, RequestDrawsTheUniversalTimeMonthsMap)
{
    writeLevel(0);
    auto plain = [&](int month, double red) {
        put(map(month), *platform::encodePng(gradient(36, 18, platform::PixelFormat::RGB, red)));
    };
    plain(6, 1);
    plain(7, 0);
    fs::remove(pictures() + "/sun.png");
    fs::remove(pictures() + "/earth_lights_sm.png");
    GloamPlugin plugin;
    EXPECT_EQ(plugin.outputPath(), current());
    plugin.getCurrentComposite();
    std::optional<platform::Image> june = platform::Image::fromFile(current());
    ASSERT_TRUE(june);
    EXPECT_EQ(june->bitmap()->width(), 36);
    EXPECT_EQ(june->bitmap()->pixelAt(5, 5)[0], 255);

    // 02:00 UTC on 1 July is still 30 June in New York: the text shows the
    // local date, the map is July's.
    platform::setClockForTesting([] { return 1719799200.0; });
    EXPECT_EQ(plugin.getCurrentComposite(), "06-30-2024 10:00:00 PM EDT");
    std::optional<platform::Image> july = platform::Image::fromFile(current());
    ASSERT_TRUE(july);
    EXPECT_EQ(july->bitmap()->pixelAt(5, 5)[0], 0);
}

TEST_F(GloamPluginTest, ABadOrMissingMapDrawsNothingAndTheLastPictureStaysWhole)
{
    writeLevel(0.75);
    GloamPlugin plugin;
    ASSERT_EQ(plugin.getCurrentComposite(), kPinnedText);
    const auto good = platform::readFile(current());
    ASSERT_TRUE(whole(current()));

    // One map of each kind the codec refuses (its tests hold the breadth).
    const std::pair<std::string, std::vector<uint8_t>> maps[] = {
        {"empty", {}},
        {"claims 65500 x 65500", jpegClaiming(m_map, 65500, 65500)},
        {"not a picture", bytesOf("GIF89a and then some")},
    };
    for (const auto& [name, bytes] : maps) {
        put(map(6), bytes);
        plugin.setShadowLevel(0.25f);
        EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText) << name;
        EXPECT_EQ(platform::readFile(current()), good) << name << ": the last picture changed";
        EXPECT_EQ(storedLevel(), 0.25) << name << ": the level is saved all the same";
        plugin.setShadowLevel(0.75f);
    }
    fs::remove(map(6));
    EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText);
    EXPECT_EQ(platform::readFile(current()), good);
    // Nothing but current.png was ever written beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(images()), fs::directory_iterator()), 1);

    // No Images folder: the save fails quietly, the request goes on.
    put(map(6), m_map);
    fs::remove_all(images());
    plugin.setShadowLevel(0.5f);
    EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText);
    EXPECT_EQ(storedLevel(), 0.5);
    EXPECT_FALSE(fs::exists(images()));
}

TEST_F(GloamPluginTest, BadSunOrLightsPicturesLeaveThoseLayersOut)
{
    GloamPlugin plugin;
    auto png = *platform::encodePng(gradient(8, 8, platform::PixelFormat::RGBA, 1));
    auto corrupt = png;
    corrupt[png.size() / 2] ^= 0x40;
    const std::vector<std::vector<uint8_t>> bad = {{}, pngClaiming(64, 32), corrupt};
    for (const char* layer : {"/sun.png", "/earth_lights_sm.png"}) {
        for (size_t i = 0; i <= bad.size(); ++i) {
            if (i < bad.size())
                put(pictures() + layer, bad[i]);
            else
                fs::remove(pictures() + layer);
            fs::remove(current());
            EXPECT_EQ(plugin.getCurrentComposite(), kPinnedText) << layer << " #" << i;
            EXPECT_TRUE(whole(current())) << layer << " #" << i;
        }
    }
}

TEST_F(GloamPluginTest, TheShippedBundleDrawsAMapOfItsOwnPictures)
{
    EXPECT_EQ(platform::readBundleIdentifier(kShippedBundle), GloamPlugin::kBundleIdentifier);
    auto info = PropertyList::readDictionary(kShippedBundle + "/Contents/Info.plist");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->string("CFBundleExecutable"), "GloamPlugin.so");
    auto user = PropertyList::readDictionary(kShippedBundle + "/Contents/Resources/user.plist");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->format(), PropertyList::Format::Xml);

    fs::copy(kShippedBundle + "/Contents/Resources", resources(),
        fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    GloamPlugin plugin;
    EXPECT_EQ(plugin.getShadowLevel(), 0.75f);
    plugin.getCurrentComposite();
    std::optional<platform::Image> map = platform::Image::fromFile(current());
    ASSERT_TRUE(map);
    // Its day and night sides are the render command's test of the same pictures.
    EXPECT_EQ(map->bitmap()->width(), 1024);
    EXPECT_EQ(map->bitmap()->height(), 512);
}
