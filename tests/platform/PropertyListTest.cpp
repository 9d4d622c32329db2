// Property lists: which bytes give a settings dictionary (never a file cut
// short, nested without end, whose binary references loop, or that holds
// what libplist cannot write back), how entries read as numbers, and
// rewrites that keep everything else as it was.
#include "platform/PropertyList.h"

#include "platform/Files.h"
#include "support/HostileBytes.h"
#include "support/PlistBytes.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

using platform::PropertyList;
using testing_support::bytesOf;
using testing_support::TempDir;
using testing_support::xmlPlist;
namespace bp = testing_support::bplist;

namespace {

std::string repeat(const std::string& s, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

// {"a": [[...[0.5]...]]} with `depth` arrays.
std::vector<uint8_t> deepXml(size_t depth)
{
    return bytesOf(xmlPlist("<dict><key>a</key>" + repeat("<array>", depth) + "<real>0.5</real>"
        + repeat("</array>", depth) + "</dict>"));
}

// {"shadowlevel": 0.5, "a": [[...[]...]]} with `depth` arrays, in binary.
std::vector<uint8_t> deepBinary(size_t depth)
{
    std::vector<bp::Object> objects
        = {bp::dict({1, 2, 3, 4}), bp::ascii("shadowlevel"), bp::ascii("a"), bp::real(0.5)};
    for (size_t i = 0; i < depth; ++i)
        objects.push_back(bp::array(
            i + 1 < depth ? std::vector<uint64_t> {objects.size() + 1} : std::vector<uint64_t> {}));
    return bp::file(objects);
}

// {"a": chain}: `levels` arrays, each referring twice to the next. A few
// bytes each, they unfold into 2^levels values, since libplist copies each
// reference.
std::vector<uint8_t> diamond(uint64_t levels)
{
    std::vector<bp::Object> objects = {bp::dict({1, 2}), bp::ascii("a")};
    for (uint64_t i = 0; i < levels; ++i)
        objects.push_back(bp::array(
            i + 1 < levels ? std::vector<uint64_t> {i + 3, i + 3} : std::vector<uint64_t> {}));
    return bp::file(objects);
}

} // namespace

TEST(PropertyListTest, OnlyASoundDictionaryIsRead)
{
    const size_t limit = PropertyList::kMaxNesting;
    const std::string quiet = repeat("<!-- <array> --><true/>", 1000);
    PropertyList sample;
    sample.setReal("shadowlevel", 0.5);
    sample.setFormat(PropertyList::Format::Binary);
    const std::vector<uint8_t> binary = sample.encoded();
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
        bool readable;
    } cases[] = {
        {"dictionary", bytesOf(xmlPlist("<dict><key>a</key><real>1.5</real></dict>")), true},
        {"empty dictionary", bytesOf(xmlPlist("<dict/>")), true},
        {"array root", bytesOf(xmlPlist("<array><real>1</real></array>")), false},
        {"string root", bytesOf(xmlPlist("<string>x</string>")), false},
        {"cut short", bytesOf(xmlPlist("<dict><key>a</key><real>1.5</re")), false},
        {"binary cut short", std::vector<uint8_t>(binary.begin(), binary.end() - 1), false},
        {"nothing", {}, false},
        {"binary header alone", bytesOf("bplist00"), false},
        // libplist copied such a string only up to its first zero but kept
        // its whole length, and read past the copy when writing it back.
        {"XML string with zero bytes",
            bytesOf(xmlPlist(
                "<dict><key>a</key><string>0.5" + std::string(20, '\0') + "0.75</string></dict>")),
            false},
        // Nesting: libplist recurses once a level, and overflowed the stack
        // at some tens of thousands, well within the size limit.
        {"XML nested to the limit", deepXml(limit - 3), true},
        {"XML nested past the limit", deepXml(limit + 1), false},
        {"binary nested to the limit", deepBinary(limit - 3), true},
        {"binary nested past the limit", deepBinary(limit + 1), false},
        {"comments, CDATA and empty elements nest nothing",
            bytesOf(xmlPlist("<dict><key>a</key><array>" + quiet
                + "</array><key>b</key><string><![CDATA[<<<]]></string></dict>")),
            true},
        // Binary references.
        {"one array from two keys",
            bp::file({bp::dict({1, 2, 3, 3}), bp::ascii("a"), bp::ascii("b"), bp::array({})}),
            true},
        {"a cycle through the root", bp::file({bp::dict({1, 2}), bp::ascii("a"), bp::array({0})}),
            false},
        {"a reference past the objects", bp::file({bp::dict({1, 9}), bp::ascii("a")}), false},
        {"the top object past the objects", bp::file({bp::dict({}), bp::ascii("a")}, 5), false},
        {"a count larger than the file",
            bp::file({bp::raw({0xDF, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})}),
            false},
        {"a count written as an eight-byte integer",
            bp::file({bp::raw({0xDF, 0x13, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2}), bp::ascii("a"),
                bp::ascii("b")}),
            true},
        {"2^12 values unfolded", diamond(12), true},
        {"2^60 values unfolded", diamond(60), false},
        // Strings libplist's writer crashed on (a null pointer), writing
        // them back: a zero character, or more characters than the file.
        {"ASCII string with a zero byte",
            bp::file({bp::dict({1, 2}), bp::ascii("a"), bp::ascii(std::string("b\0c", 3))}), false},
        {"UTF-16 key with a zero unit",
            bp::file({bp::dict({1, 2}), bp::raw({0x62, 0x00, 0xE9, 0x00, 0x00}), bp::ascii("v")}),
            false},
        {"string running past the objects",
            bp::file({bp::dict({1, 2}), bp::ascii("a"), bp::raw({0x5F, 0x10, 0xFF, 'x'})}), false},
    };
    for (const auto& c : cases) {
        ASSERT_LE(c.bytes.size(), PropertyList::kMaxFileSize) << c.name;
        auto list = PropertyList::dictionaryFromBytes(c.bytes);
        EXPECT_EQ(list.has_value(), c.readable) << c.name;
        EXPECT_TRUE(!list || !list->contains("shadowlevel") || list->number("shadowlevel") == 0.5)
            << c.name;
    }
}

TEST(PropertyListTest, FilesMissingFoldersAndTenMegabytesAreRefusedUnread)
{
    TempDir dir;
    auto big
        = bytesOf(xmlPlist("<dict><key>a</key><real>0.5</real></dict>" + repeat(" ", 10 << 20)));
    ASSERT_TRUE(platform::writeFileAtomically(dir / "user.plist", big));
    static int reads;
    reads = 0;
    platform::FileSystemCalls counting = platform::systemFileCalls();
    counting.read = [](int fd, void* b, size_t n) {
        ++reads;
        return platform::systemFileCalls().read(fd, b, n);
    };
    platform::setFileSystemCallsForTesting(&counting);
    EXPECT_FALSE(PropertyList::readDictionary(dir / "user.plist"));
    platform::setFileSystemCallsForTesting(nullptr);
    EXPECT_EQ(reads, 0) << "the file was read before its size was checked";
    EXPECT_FALSE(PropertyList::dictionaryFromBytes(big));
    EXPECT_FALSE(PropertyList::readDictionary(dir / "missing.plist"));
    EXPECT_FALSE(PropertyList::readDictionary(dir.path.string()));
}

TEST(PropertyListTest, NumbersFromEveryNumericKindAndFromDecimalStrings)
{
    auto list = PropertyList::dictionaryFromBytes(bytesOf(xmlPlist(
        "<dict><key>real</key><real>0.75</real><key>negative</key><real>-2.5</real>"
        "<key>integer</key><integer>3</integer><key>negint</key><integer>-4</integer>"
        "<key>yes</key><true/><key>no</key><false/><key>numeric</key><string> 0.25 </string>"
        "<key>plus</key><string>+1e-1</string><key>plusminus</key><string>+-1</string>"
        "<key>words</key><string>half</string><key>trailing</key><string>0.5x</string>"
        "<key>emptystring</key><string></string><key>date</key><date>2024-01-01T00:00:00Z</date>"
        "<key>array</key><array><real>1</real></array><key>nan</key><real>nan</real></dict>")));
    ASSERT_TRUE(list);
    struct {
        const char* key;
        std::optional<double> value;
    } cases[] = {{"real", 0.75}, {"negative", -2.5}, {"integer", 3}, {"negint", -4}, {"yes", 1},
        {"no", 0}, {"numeric", 0.25}, {"plus", 0.1}, {"plusminus", std::nullopt},
        {"words", std::nullopt}, {"trailing", std::nullopt}, {"emptystring", std::nullopt},
        {"date", std::nullopt}, {"array", std::nullopt}, {"missing", std::nullopt}};
    for (auto c : cases)
        EXPECT_EQ(list->number(c.key), c.value) << c.key;
    EXPECT_TRUE(std::isnan(list->number("nan").value_or(0)));
}

TEST(PropertyListTest, RewriteKeepsOtherKeysTheirOrderAndTheFileFormat)
{
    TempDir dir;
    ASSERT_TRUE(platform::writeFileAtomically(dir / "user.plist",
        bytesOf(xmlPlist("<dict><key>first</key><string>é</string>"
                         "<key>shadowlevel</key><real>0.75</real>"
                         "<key>nested</key><dict><key>n</key><integer>7</integer></dict>"
                         "<key>blob</key><data>AAEC</data></dict>"))));
    for (auto format : {PropertyList::Format::Xml, PropertyList::Format::Binary}) {
        auto list = PropertyList::readDictionary(dir / "user.plist");
        ASSERT_TRUE(list);
        list->setFormat(format);
        // A copy is deep; setReal replaces a value of any type.
        PropertyList copy = *list;
        copy.setString("first", "changed");
        copy.setReal("shadowlevel", 0.5);
        ASSERT_TRUE(copy.writeToFile(dir / "copy.plist"));
        EXPECT_EQ(list->string("first"), "é");
        auto bytes = platform::readFile(dir / "copy.plist");
        ASSERT_TRUE(bytes);
        EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 8) == "bplist00",
            format == PropertyList::Format::Binary);

        auto reread = PropertyList::readDictionary(dir / "copy.plist");
        ASSERT_TRUE(reread);
        EXPECT_EQ(reread->format(), format);
        EXPECT_EQ(reread->number("shadowlevel"), 0.5);
        // The old values back: everything must be byte for byte what the
        // original encodes to, key order included.
        reread->setReal("shadowlevel", 0.75);
        reread->setReal("first", 1);
        EXPECT_FALSE(reread->string("first"));
        reread->setString("first", "é");
        EXPECT_EQ(reread->encoded(), list->encoded());
        // The same bytes again leave the file alone; other bytes replace it.
        auto inode = [&] {
            struct stat st { };
            ::stat((dir / "copy.plist").c_str(), &st);
            return st.st_ino;
        };
        const auto first = inode();
        ASSERT_TRUE(copy.writeToFile(dir / "copy.plist"));
        EXPECT_EQ(inode(), first) << "a file holding the very bytes was rewritten";
        ASSERT_TRUE(list->writeToFile(dir / "copy.plist"));
        EXPECT_NE(inode(), first) << "the file was not replaced";
        EXPECT_EQ(platform::readFile(dir / "copy.plist"), list->encoded());
    }
    PropertyList list;
    EXPECT_FALSE(list.writeToFile(dir / "missing-folder/user.plist"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}
