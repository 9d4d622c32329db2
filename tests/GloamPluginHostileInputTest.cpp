// The plug-in's request over a bundle whose files are damaged or hostile:
// pictures that lie about their size, are cut short or corrupt; settings
// files that are not settings. The request always returns its text, the last
// current.png stays whole, and a settings file that cannot be read is never
// rewritten.
#include "GloamPlugin.h"

#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Image.h"
#include "platform/ImageCodec.h"
#include "support/PngBytes.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using platform::PropertyList;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

constexpr const char* kText = "06-15-2024 08:00:00 AM EDT";

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

std::string xmlPlist(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body
        + "\n</plist>\n";
}

platform::Bitmap picture(int w, int h, platform::PixelFormat format, double red)
{
    platform::Bitmap b(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setColorAt(x, y, platform::Color::deviceRGB(red, y / double(h), 0.4, 1));
    return b;
}

// A widget in /tmp with a small bundle: June's map (the pinned instant is in
// June), the sun and lights pictures, and the Images folder. The zone, the
// locale and the clock are pinned.
class GloamPluginHostileInputTest : public ::testing::Test {
protected:
    GloamPluginHostileInputTest()
    {
        ScopedEnv::pinZoneAndLocale(m_env, "America/New_York");
        platform::setClockForTesting([] { return 1718452800.25; }); // 2024-06-15 12:00 UTC
        fs::create_directories(images());
        fs::create_directories(bundle() + "/Contents/Resources");
        fs::create_directories(pictures());
        platform::registerBundle(GloamPlugin::kBundleIdentifier, bundle());
        m_map = *platform::encodeJpeg(picture(64, 32, platform::PixelFormat::RGB, 0.2), 85);
        put(pictures() + "/world_sm.6.jpg", m_map);
        put(pictures() + "/sun.png",
            *platform::encodePng(picture(6, 6, platform::PixelFormat::RGBA, 1.0)));
        put(pictures() + "/earth_lights_sm.png",
            *platform::encodePng(picture(64, 32, platform::PixelFormat::RGBA, 0.9)));
    }
    ~GloamPluginHostileInputTest() override
    {
        platform::setClockForTesting(nullptr);
        platform::clearBundleRegistryForTesting();
    }

    std::string bundle() const { return m_dir / "Gloam.wdgt/GloamPlugin.widgetplugin"; }
    std::string images() const { return m_dir / "Gloam.wdgt/Images"; }
    std::string current() const { return images() + "/current.png"; }
    std::string pictures() const { return bundle() + "/Contents/Resources/worldimages"; }
    std::string configuration() const { return bundle() + "/Contents/Resources/user.plist"; }

    static void put(const std::string& path, std::span<const uint8_t> bytes)
    {
        ASSERT_TRUE(platform::writeFileAtomically(path, bytes));
    }

    // A whole picture: decodes, at the map's size.
    static bool whole(const std::optional<std::vector<uint8_t>>& png)
    {
        if (!png)
            return false;
        auto b = platform::decodePng(*png);
        return b && b->width() == 64 && b->height() == 32;
    }

    TempDir m_dir;
    ScopedEnv m_env;
    std::vector<uint8_t> m_map;
};

std::vector<uint8_t> jpegClaiming(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            break;
        }
    }
    return jpeg;
}

std::vector<uint8_t> scanBomb(const std::vector<uint8_t>& progressive, int copies)
{
    const uint8_t sos[2] = {0xFF, 0xDA};
    auto first = std::search(progressive.begin(), progressive.end(), sos, sos + 2);
    std::vector<uint8_t> scans(first, progressive.end() - 2);
    std::vector<uint8_t> bomb(progressive.begin(), first);
    for (int i = 0; i < copies; ++i)
        bomb.insert(bomb.end(), scans.begin(), scans.end());
    bomb.insert(bomb.end(), {0xFF, 0xD9});
    return bomb;
}

} // namespace

TEST_F(GloamPluginHostileInputTest, ABadMapDrawsNothingAndTheLastPictureStaysWhole)
{
    GloamPlugin plugin;
    ASSERT_EQ(plugin.getCurrentComposite(), kText);
    const auto good = platform::readFile(current());
    ASSERT_TRUE(whole(good));

    std::vector<std::pair<std::string, std::vector<uint8_t>>> maps = {
        {"empty", {}},
        {"claims 65500 x 65500", jpegClaiming(m_map, 65500, 65500)},
        {"claims 16385 x 8", jpegClaiming(m_map, 16385, 8)},
        {"thousands of scans",
            scanBomb(
                *platform::encodeJpeg(picture(64, 32, platform::PixelFormat::RGB, 0.2), 85, true),
                400)},
        {"a PNG of 100000 x 100000", testing_support::pngClaiming(100000, 100000)},
        {"not a picture", bytesOf("GIF89a and then some")},
    };
    for (size_t keep : {size_t(2), size_t(100), m_map.size() / 2, m_map.size() - 2})
        maps.emplace_back("cut to " + std::to_string(keep),
            std::vector<uint8_t>(m_map.begin(), m_map.begin() + long(keep)));
    for (const auto& [name, bytes] : maps) {
        put(pictures() + "/world_sm.6.jpg", bytes);
        EXPECT_EQ(plugin.getCurrentComposite(), kText) << name;
        EXPECT_EQ(platform::readFile(current()), good) << name << ": the last picture changed";
    }
    // Nothing but current.png was ever written beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(images()), fs::directory_iterator()), 1);
}

TEST_F(GloamPluginHostileInputTest, BadSunOrLightsPicturesLeaveThoseLayersOut)
{
    GloamPlugin plugin;
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        testing_support::pngClaiming(100000, 100000),
        testing_support::pngClaiming(64, 32), // sound header, no pixels
        bytesOf("\x89PNG\r\n\x1a\n"),
        [] {
            auto png = *platform::encodePng(picture(8, 8, platform::PixelFormat::RGBA, 1));
            png.resize(png.size() - 20);
            return png;
        }(),
        [] {
            auto png = *platform::encodePng(picture(8, 8, platform::PixelFormat::RGBA, 1));
            png[png.size() / 2] ^= 0x40;
            return png;
        }(),
    };
    for (const char* layer : {"sun.png", "earth_lights_sm.png"}) {
        for (size_t i = 0; i < bad.size(); ++i) {
            put(pictures() + "/" + layer, bad[i]);
            fs::remove(current());
            EXPECT_EQ(plugin.getCurrentComposite(), kText) << layer << " #" << i;
            EXPECT_TRUE(whole(platform::readFile(current()))) << layer << " #" << i;
        }
        fs::remove(pictures() + "/" + layer);
        fs::remove(current());
        EXPECT_EQ(plugin.getCurrentComposite(), kText) << layer << " missing";
        EXPECT_TRUE(whole(platform::readFile(current()))) << layer << " missing";
    }
}

TEST_F(GloamPluginHostileInputTest, AnUnreadableConfigurationGivesLevelZeroAndIsNeverRewritten)
{
    std::string deep;
    for (int i = 0; i < 60000; ++i)
        deep += "<array>";
    // {"shadowlevel": 0.5, "a": [root]} in binary: the only value of "a" is
    // the dictionary itself.
    const std::vector<uint8_t> cycle
        = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD2, 1, 2, 3, 4, // dict: keys 1, 2; values 3, 4
            0x5B, 's', 'h', 'a', 'd', 'o', 'w', 'l', 'e', 'v', 'e', 'l', // "shadowlevel"
            0x51, 'a', // "a"
            0x23, 0x3F, 0xE0, 0, 0, 0, 0, 0, 0, // 0.5
            0xA1, 0, // [object 0]
            8, 13, 25, 27, 36, // offsets
            0, 0, 0, 0, 0, 0, 1, 1, // sizes
            0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 38};
    const std::string level = "<dict><key>shadowlevel</key><real>0.5</real></dict>";
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"truncated", bytesOf(xmlPlist(level).substr(0, 70))},
        {"garbage", bytesOf("shadowlevel = 0.5\n")},
        {"10 MB", bytesOf(xmlPlist(level + std::string(10 << 20, ' ')))},
        {"deeply nested",
            bytesOf(xmlPlist("<dict><key>shadowlevel</key><real>0.5</real>"
                             "<key>a</key>"
                + deep))},
        {"binary cycle", cycle},
        {"array root", bytesOf(xmlPlist("<array><real>0.5</real></array>"))},
    };
    for (const auto& c : cases) {
        put(configuration(), c.bytes);
        ::chmod(configuration().c_str(), 0644);
        struct stat before { };
        ::stat(configuration().c_str(), &before);
        GloamPlugin plugin;
        EXPECT_EQ(plugin.getShadowLevel(), 0.0f) << c.name;
        plugin.setShadowLevel(0.5f);
        EXPECT_EQ(plugin.getCurrentComposite(), kText) << c.name;
        EXPECT_EQ(plugin.getCurrentComposite(), kText) << c.name;
        struct stat after { };
        ::stat(configuration().c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name << ": the file was replaced";
        EXPECT_EQ(platform::readFile(configuration()), c.bytes) << c.name;
        EXPECT_EQ(std::distance(fs::directory_iterator(bundle() + "/Contents/Resources"),
                      fs::directory_iterator()),
            2)
            << c.name << ": user.plist and worldimages only";
    }
}

TEST_F(GloamPluginHostileInputTest, ADictionaryThatCannotBeWrittenBackIsKeptAsItIs)
{
    // A binary dictionary whose second key is not UTF-8: libplist reads it,
    // but what it writes back from it would not read. The level is read; the
    // file is left as it was rather than replaced by one that is lost.
    std::vector<uint8_t> file
        = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD2, 1, 2, 3, 4, // dict: keys 1, 2; values 3, 4
            0x5B, 's', 'h', 'a', 'd', 'o', 'w', 'l', 'e', 'v', 'e', 'l', // "shadowlevel"
            0x52, 0xC3, 0x28, // a "string" of two bytes that are not UTF-8
            0x23, 0x3F, 0xE0, 0, 0, 0, 0, 0, 0, // 0.5
            0x09, // true
            8, 13, 25, 28, 37, // offsets
            0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
            0, 0, 38};
    put(configuration(), file);
    auto read = PropertyList::readDictionary(configuration());
    if (!read)
        GTEST_SKIP() << "this libplist refuses the key itself, which is as safe";
    GloamPlugin plugin;
    EXPECT_EQ(plugin.getShadowLevel(), 0.5f);
    plugin.setShadowLevel(0.25f);
    EXPECT_EQ(plugin.getCurrentComposite(), kText);
    auto after = PropertyList::readDictionary(configuration());
    ASSERT_TRUE(after) << "the settings file was made unreadable";
    EXPECT_EQ(platform::readFile(configuration()), file);
}

TEST_F(GloamPluginHostileInputTest, OddShadowLevelsFollowTheRuleAndAreRewrittenAsNumbers)
{
    // The rule: a real or an integer is its value, a boolean 1 or 0, a string
    // holding just a decimal number that number; anything else, and anything
    // that is not a finite 32-bit float, is 0. The next request writes the
    // entry back as a real of the level in use, and every other key stays.
    struct {
        const char* entry;
        float level;
    } cases[] = {
        {"<string> 0.25 </string>", 0.25f},
        {"<string>dark</string>", 0.0f},
        {"<integer>-1</integer>", -1.0f},
        {"<false/>", 0.0f},
        {"<data>AAE=</data>", 0.0f},
        {"<dict><key>shadowlevel</key><real>0.5</real></dict>", 0.0f},
        {"<real>nan</real>", 0.0f},
        {"<real>-infinity</real>", 0.0f},
        {"<real>3.5e38</real>", 0.0f}, // past the float range
        {"<string>1e400</string>", 0.0f},
    };
    for (auto c : cases) {
        put(configuration(),
            bytesOf(xmlPlist(std::string("<dict><key>name</key><string>Gloam</string>"
                                         "<key>shadowlevel</key>")
                + c.entry + "<key>z</key><integer>7</integer></dict>")));
        GloamPlugin plugin;
        EXPECT_EQ(plugin.getShadowLevel(), c.level) << c.entry;
        EXPECT_EQ(plugin.getCurrentComposite(), kText);
        auto after = PropertyList::readDictionary(configuration());
        ASSERT_TRUE(after) << c.entry;
        EXPECT_EQ(after->number("shadowlevel"), double(c.level)) << c.entry;
        EXPECT_FALSE(after->string("shadowlevel")) << c.entry << ": still a string";
        EXPECT_EQ(after->string("name"), "Gloam") << c.entry;
        EXPECT_EQ(after->number("z"), 7.0) << c.entry;
    }
}
