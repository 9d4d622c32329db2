// Property lists that no settings file should be: cut short, nested without
// end, binary files whose references loop, megabytes of anything. Each gives
// no dictionary, quickly, and without touching the stack's or memory's ends.
#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "support/TempDir.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using platform::PropertyList;
using testing_support::TempDir;

namespace {

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

std::string xmlPlist(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body
        + "\n</plist>\n";
}

// A root dictionary {"a": [[[...[0.5]...]]]} with `depth` arrays.
std::string deepXml(size_t depth)
{
    std::string open, close;
    for (size_t i = 0; i < depth; ++i) {
        open += "<array>";
        close += "</array>";
    }
    return xmlPlist("<dict><key>a</key>" + open + "<real>0.5</real>" + close + "</dict>");
}

// A binary property list from a list of objects (each given its reference
// width), with the offset table and trailer the format asks for.
using Object = std::function<std::vector<uint8_t>(size_t refSize)>;

std::vector<uint8_t> bplist(const std::vector<Object>& objects, uint64_t top = 0)
{
    size_t refSize = objects.size() < 256 ? 1 : (objects.size() < 65536 ? 2 : 4);
    std::vector<uint8_t> out = bytesOf("bplist00");
    std::vector<uint64_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(out.size());
        auto bytes = o(refSize);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    size_t offsetSize = out.size() < 256 ? 1 : (out.size() < 65536 ? 2 : 4);
    uint64_t table = out.size();
    auto put = [&](uint64_t v, size_t width) {
        for (size_t k = width; k-- > 0;)
            out.push_back(uint8_t(v >> (8 * k)));
    };
    for (uint64_t o : offsets)
        put(o, offsetSize);
    out.insert(out.end(), 6, 0);
    out.push_back(uint8_t(offsetSize));
    out.push_back(uint8_t(refSize));
    put(objects.size(), 8);
    put(top, 8);
    put(table, 8);
    return out;
}

Object container(uint8_t kind, std::vector<uint64_t> refs)
{
    return [=](size_t refSize) {
        std::vector<uint8_t> o;
        size_t n = kind == 0xD ? refs.size() / 2 : refs.size();
        if (n < 15) {
            o.push_back(uint8_t(kind << 4 | n));
        } else {
            o.push_back(uint8_t(kind << 4 | 0xF));
            o.push_back(0x11); // a two-byte integer follows
            o.push_back(uint8_t(n >> 8));
            o.push_back(uint8_t(n));
        }
        for (uint64_t r : refs)
            for (size_t k = refSize; k-- > 0;)
                o.push_back(uint8_t(r >> (8 * k)));
        return o;
    };
}

Object ascii(const std::string& text)
{
    return [=](size_t) {
        std::vector<uint8_t> o(text.begin(), text.end());
        o.insert(o.begin(), uint8_t(0x50 | text.size()));
        return o;
    };
}

Object real(double v)
{
    return [=](size_t) {
        std::vector<uint8_t> o {0x23};
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        for (int k = 7; k >= 0; --k)
            o.push_back(uint8_t(bits >> (8 * k)));
        return o;
    };
}

// {"shadowlevel": 0.5, "a": [[...[]...]]} with `depth` arrays, in binary.
std::vector<uint8_t> deepBinary(size_t depth)
{
    std::vector<Object> objects
        = {container(0xD, {1, 2, 3, 4}), ascii("shadowlevel"), ascii("a"), real(0.5)};
    for (size_t i = 0; i < depth; ++i)
        objects.push_back(container(0xA,
            i + 1 < depth ? std::vector<uint64_t> {objects.size() + 1} : std::vector<uint64_t> {}));
    // The root's "a" is object 4, the first array.
    return bplist(objects);
}

} // namespace

TEST(PropertyListHostileTest, NestingBeyondTheLimitIsRefusedWithoutRecursing)
{
    // Within the size limit, but nested deep enough that a parser recursing
    // once a level would overflow the stack (tens of thousands are enough).
    struct {
        size_t depth;
        bool readable;
    } cases[] = {{10, true}, {PropertyList::kMaxNesting - 3, true},
        {PropertyList::kMaxNesting + 1, false}, {60000, false}};
    for (auto c : cases) {
        auto xml = bytesOf(deepXml(c.depth));
        ASSERT_LE(xml.size(), PropertyList::kMaxFileSize);
        auto list = PropertyList::dictionaryFromBytes(xml);
        EXPECT_EQ(list.has_value(), c.readable) << "XML, " << c.depth << " arrays";

        auto binary = deepBinary(c.depth);
        ASSERT_LE(binary.size(), PropertyList::kMaxFileSize);
        auto blist = PropertyList::dictionaryFromBytes(binary);
        ASSERT_EQ(blist.has_value(), c.readable) << "binary, " << c.depth << " arrays";
        if (blist) {
            EXPECT_EQ(blist->format(), PropertyList::Format::Binary);
            EXPECT_EQ(blist->number("shadowlevel"), 0.5);
        }
    }
    // Comments, CDATA and self-closing elements nest nothing.
    std::string quiet;
    for (int i = 0; i < 1000; ++i)
        quiet += "<!-- <array> --><true/>";
    auto list
        = PropertyList::dictionaryFromBytes(bytesOf(xmlPlist("<dict><key>a</key><array>" + quiet
            + "</array><key>b</key><string><![CDATA[<<<"
              "]]></string><key>shadowlevel</key><real>0.5</real></dict>")));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->number("shadowlevel"), 0.5);
}

TEST(PropertyListHostileTest, BinaryReferencesThatLoopOrPointOutsideGiveNoDictionary)
{
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        // The root's only value is an array holding the root.
        {"cycle through the root",
            bplist({container(0xD, {1, 2}), ascii("a"), container(0xA, {0})})},
        {"array holding itself", bplist({container(0xD, {1, 2}), ascii("a"), container(0xA, {2})})},
        {"dictionary value is the dictionary", bplist({container(0xD, {1, 0}), ascii("a")})},
        {"reference past the objects", bplist({container(0xD, {1, 9}), ascii("a")})},
        {"top object past the objects", bplist({container(0xD, {}), ascii("a")}, 5)},
        // Strings holding a zero character: libplist's writer looked up a
        // node it had never stored, a null pointer, when writing them back.
        {"ASCII string with a zero byte",
            bplist({container(0xD, {1, 2}), ascii("a"), ascii(std::string("b\0c", 3))})},
        {"UTF-16 key with a zero unit",
            bplist({container(0xD, {1, 2}),
                [](size_t) {
                    return std::vector<uint8_t> {0x62, 0x00, 0xE9, 0x00, 0x00};
                },
                ascii("v")})},
        {"string running past the objects",
            bplist({container(0xD, {1, 2}), ascii("a"),
                [](size_t) {
                    return std::vector<uint8_t> {0x5F, 0x10, 0xFF, 'x'};
                }})},
        {"count larger than the file", bplist({[](size_t) {
             return std::vector<uint8_t> {
                 0xDF, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
         }})},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(PropertyList::dictionaryFromBytes(c.bytes)) << c.name;

    // Shared, not looping: one array reached from two keys is fine.
    auto shared
        = bplist({container(0xD, {1, 2, 3, 3}), ascii("a"), ascii("b"), container(0xA, {})});
    EXPECT_TRUE(PropertyList::dictionaryFromBytes(shared));
    // A chain of arrays, each referring twice to the next: n of them are a
    // few bytes each and unfold into 2^n values, since the parser copies
    // each reference. Twelve are fine; sixty would never finish.
    auto diamond = [](uint64_t levels) {
        std::vector<Object> objects = {container(0xD, {1, 2}), ascii("a")};
        for (uint64_t i = 0; i < levels; ++i)
            objects.push_back(i + 1 < levels ? container(0xA, {i + 3, i + 3})
                                             : container(0xA, std::vector<uint64_t> {}));
        return bplist(objects);
    };
    EXPECT_TRUE(PropertyList::dictionaryFromBytes(diamond(12)));
    EXPECT_FALSE(PropertyList::dictionaryFromBytes(diamond(60)));
}

TEST(PropertyListHostileTest, EveryCutOfAValidFileGivesNoDictionaryOrAWholeOne)
{
    PropertyList list(PropertyList::Format::Xml);
    list.setReal("shadowlevel", 0.5);
    list.setString("name", "Gloam");
    for (auto format : {PropertyList::Format::Xml, PropertyList::Format::Binary}) {
        list.setFormat(format);
        std::vector<uint8_t> whole = list.encoded();
        ASSERT_TRUE(PropertyList::dictionaryFromBytes(whole));
        for (size_t keep = 0; keep < whole.size(); ++keep) {
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(keep));
            auto back = PropertyList::dictionaryFromBytes(cut);
            // XML cut after its closing </dict> may still parse; if it does,
            // it is the whole dictionary.
            if (back) {
                EXPECT_EQ(back->number("shadowlevel"), 0.5) << keep;
            }
            if (format == PropertyList::Format::Binary) {
                EXPECT_FALSE(back) << "binary cut to " << keep << " of " << whole.size();
            }
        }
    }
}

TEST(PropertyListHostileTest, GarbageOfEveryKindGivesNoDictionary)
{
    std::vector<std::vector<uint8_t>> inputs = {
        {},
        bytesOf("\n"),
        bytesOf("bplist00"),
        bytesOf("bplist00" + std::string(40, '\xFF')),
        bytesOf("<plist><dict><key>a</key>"),
        bytesOf(std::string(4096, '<')),
        bytesOf(std::string(4096, '\0')),
        // A string with zero bytes inside: libplist copied it only up to the
        // first zero but kept its whole length, and read past the copy when
        // writing it back.
        bytesOf(xmlPlist("<dict><key>shadowlevel</key><string>0.5" + std::string(20, '\0')
            + "0.75</string></dict>")),
    };
    uint32_t seed = 7;
    for (int n = 0; n < 200; ++n) {
        std::vector<uint8_t> noise(size_t(n) * 37);
        for (auto& b : noise)
            b = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
        if (n % 2)
            std::memcpy(noise.data(), "bplist00", std::min<size_t>(8, noise.size()));
        inputs.push_back(std::move(noise));
    }
    for (const auto& in : inputs)
        EXPECT_FALSE(PropertyList::dictionaryFromBytes(in)) << in.size() << " bytes";
}

TEST(PropertyListHostileTest, TenMegabytesAreRefusedByTheirSizeUnread)
{
    TempDir dir;
    std::string padding(10 << 20, ' ');
    auto big = bytesOf(xmlPlist("<dict><key>shadowlevel</key><real>0.5</real></dict>" + padding));
    ASSERT_TRUE(platform::writeFileAtomically(dir / "user.plist", big));

    static int reads;
    reads = 0;
    platform::FileSystemCalls counting = platform::systemFileCalls();
    counting.read = [](int fd, void* b, size_t n) {
        ++reads;
        return platform::systemFileCalls().read(fd, b, n);
    };
    platform::setFileSystemCallsForTesting(&counting);
    auto list = PropertyList::readDictionary(dir / "user.plist");
    platform::setFileSystemCallsForTesting(nullptr);
    EXPECT_FALSE(list);
    EXPECT_EQ(reads, 0) << "the file was read before its size was checked";
    EXPECT_FALSE(PropertyList::dictionaryFromBytes(big));
}
