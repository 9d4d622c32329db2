#include "platform/Text.h"

#include <gtest/gtest.h>

TEST(TextTest, Utf8ValidityRejectsIllFormedBytes)
{
    struct {
        const char* bytes;
        bool valid;
    } cases[] = {
        {"", true}, {"abc", true}, {"h\xC3\xA9llo", true}, {"\xF0\x9F\x8C\x8D", true},
        {"\xFF", false}, {"\xC3", false}, // stray byte, truncated sequence
        {"\xC0\xAF", false}, // overlong slash
        {"\xED\xA0\x80", false}, // a surrogate
        {"\xF4\x90\x80\x80", false}, // above U+10FFFF
    };
    for (auto c : cases)
        EXPECT_EQ(platform::isValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(TextTest, TrimmingRemovesTheWhitespaceSetAtBothEndsOnly)
{
    struct {
        const char *in, *out;
    } cases[] = {
        {"  abc  ", "abc"}, {"\t\r\n abc\x0B\x0C", "abc"},
        {"\xC2\x85"
         "abc"
         "\xC2\xA0",
            "abc"}, // U+0085, no-break space (Zs)
        {"\xE2\x80\xA8"
         "a b"
         "\xE2\x80\xA9",
            "a b"}, // line and paragraph separators
        {"\xE3\x80\x80x", "x"}, // ideographic space
        {"   ", ""}, {"a\xE2\x80\x8B", "a\xE2\x80\x8B"}, // zero-width space is Cf: kept
        {"\xFF ", "\xFF"}, // ill-formed byte stays
    };
    for (auto c : cases)
        EXPECT_EQ(platform::trimWhitespaceAndNewlines(c.in), c.out) << c.in;
}
