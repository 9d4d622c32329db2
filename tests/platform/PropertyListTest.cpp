#include "platform/PropertyList.h"

#include "platform/Files.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>

using platform::PropertyList;
using testing_support::TempDir;

namespace {

std::string xmlPlist(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n"
        + body + "\n</plist>\n";
}

void writeText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(platform::writeFileAtomically(
        path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
}

std::string head(const std::string& path, size_t n)
{
    auto bytes = platform::readFile(path);
    if (!bytes)
        return {};
    return std::string(
        bytes->begin(), bytes->begin() + static_cast<long>(std::min(n, bytes->size())));
}

} // namespace

TEST(PropertyListTest, OnlyADictionaryRootIsRead)
{
    TempDir dir;
    struct {
        const char* name;
        std::string content;
        bool readable;
    } cases[] = {
        {"dict.plist", xmlPlist("<dict><key>a</key><real>1.5</real></dict>"), true},
        {"empty-dict.plist", xmlPlist("<dict/>"), true},
        {"array.plist", xmlPlist("<array><real>1</real></array>"), false},
        {"string.plist", xmlPlist("<string>x</string>"), false},
        {"garbage.plist", "not a property list at all", false},
        {"truncated.plist", xmlPlist("<dict><key>a</key><real>1.5</re"), false},
        {"empty.plist", "", false},
        {"binary-junk.plist", std::string("bplist00\x01\x02\x03", 11), false},
    };
    for (const auto& c : cases) {
        writeText(dir / c.name, c.content);
        EXPECT_EQ(PropertyList::readDictionary(dir / c.name).has_value(), c.readable) << c.name;
    }
    EXPECT_FALSE(PropertyList::readDictionary(dir / "missing.plist"));
    EXPECT_FALSE(PropertyList::readDictionary(dir.path.string())); // a folder
}

TEST(PropertyListTest, FilesOverTheSizeLimitAreRefusedUnparsed)
{
    TempDir dir;
    std::string padding(PropertyList::kMaxFileSize, ' ');
    writeText(dir / "big.plist", xmlPlist("<dict><key>a</key><real>1</real></dict>" + padding));
    EXPECT_FALSE(PropertyList::readDictionary(dir / "big.plist"));
}

TEST(PropertyListTest, NumbersFromEveryNumericKindAndFromDecimalStrings)
{
    auto list = PropertyList::dictionaryFromBytes([] {
        std::string x = xmlPlist("<dict>"
                                 "<key>real</key><real>0.75</real>"
                                 "<key>negative</key><real>-2.5</real>"
                                 "<key>integer</key><integer>3</integer>"
                                 "<key>negint</key><integer>-4</integer>"
                                 "<key>yes</key><true/>"
                                 "<key>no</key><false/>"
                                 "<key>numeric</key><string> 0.25 </string>"
                                 "<key>plus</key><string>+1e-1</string>"
                                 "<key>words</key><string>half</string>"
                                 "<key>trailing</key><string>0.5x</string>"
                                 "<key>emptystring</key><string></string>"
                                 "<key>date</key><date>2024-01-01T00:00:00Z</date>"
                                 "<key>array</key><array><real>1</real></array>"
                                 "<key>nan</key><real>nan</real>"
                                 "</dict>");
        static std::vector<uint8_t> bytes;
        bytes.assign(x.begin(), x.end());
        return std::span<const uint8_t>(bytes);
    }());
    ASSERT_TRUE(list);
    struct {
        const char* key;
        std::optional<double> value;
    } cases[] = {
        {"real", 0.75},
        {"negative", -2.5},
        {"integer", 3},
        {"negint", -4},
        {"yes", 1},
        {"no", 0},
        {"numeric", 0.25},
        {"plus", 0.1},
        {"words", std::nullopt},
        {"trailing", std::nullopt},
        {"emptystring", std::nullopt},
        {"date", std::nullopt},
        {"array", std::nullopt},
        {"missing", std::nullopt},
    };
    for (auto c : cases)
        EXPECT_EQ(list->number(c.key), c.value) << c.key;
    ASSERT_TRUE(list->number("nan"));
    EXPECT_TRUE(std::isnan(*list->number("nan")));
}

TEST(PropertyListTest, RewriteKeepsOtherKeysTheirOrderAndTheFileFormat)
{
    TempDir dir;
    writeText(dir / "user.plist",
        xmlPlist("<dict><key>first</key><string>é</string>"
                 "<key>shadowlevel</key><real>0.75</real>"
                 "<key>nested</key><dict><key>n</key><integer>7</integer></dict>"
                 "<key>blob</key><data>AAEC</data></dict>"));
    for (auto format : {PropertyList::Format::Xml, PropertyList::Format::Binary}) {
        auto list = PropertyList::readDictionary(dir / "user.plist");
        ASSERT_TRUE(list);
        list->setFormat(format);
        ASSERT_TRUE(list->writeToFile(dir / "copy.plist"));

        auto copy = PropertyList::readDictionary(dir / "copy.plist");
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->format(), format);
        copy->setReal("shadowlevel", 0.5);
        ASSERT_TRUE(copy->writeToFile(dir / "copy.plist"));
        EXPECT_EQ(
            head(dir / "copy.plist", 8) == "bplist00", format == PropertyList::Format::Binary);

        auto reread = PropertyList::readDictionary(dir / "copy.plist");
        ASSERT_TRUE(reread);
        EXPECT_EQ(reread->format(), format);
        EXPECT_EQ(reread->number("shadowlevel"), 0.5);
        // Put the old value back: everything else must be byte for byte what
        // the original dictionary encodes to, key order included.
        reread->setReal("shadowlevel", 0.75);
        EXPECT_EQ(reread->encoded(), list->encoded());
    }
}

TEST(PropertyListTest, CopiesAreDeepAndSetRealReplacesAnyType)
{
    PropertyList original;
    original.setString("shadowlevel", "dark");
    PropertyList copy = original;
    copy.setReal("shadowlevel", 0.5);
    EXPECT_EQ(copy.number("shadowlevel"), 0.5);
    EXPECT_EQ(original.string("shadowlevel"), "dark");
    EXPECT_FALSE(copy.string("shadowlevel"));
    EXPECT_TRUE(copy.contains("shadowlevel"));
    EXPECT_FALSE(copy.contains("other"));
}

TEST(PropertyListTest, AFailedWriteLeavesTheOldFileWhole)
{
    TempDir dir;
    PropertyList list;
    list.setReal("a", 1);
    EXPECT_FALSE(list.writeToFile(dir / "missing-folder/user.plist"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}
