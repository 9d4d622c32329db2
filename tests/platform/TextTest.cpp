// UTF-8 checks and trimming on ICU: the white space set is Unicode's, and an
// ill-formed byte is kept, never trimmed or read as a character.
#include "platform/Text.h"

#include <gtest/gtest.h>

TEST(TextTest, Utf8ValidityRejectsIllFormedBytes)
{
    // Stray and truncated bytes, an overlong slash, a surrogate, past U+10FFFF.
    for (const char* valid : {"", "abc", "h\xC3\xA9llo", "\xF0\x9F\x8C\x8D"})
        EXPECT_TRUE(platform::isValidUtf8(valid)) << valid;
    for (const char* invalid : {"\xFF", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(platform::isValidUtf8(invalid)) << invalid;
}

TEST(TextTest, TrimmingRemovesTheWhitespaceSetAtBothEndsOnly)
{
    // U+0085, no-break space, line and paragraph separators and the
    // ideographic space go; a zero-width space (Cf) and a bad byte stay.
    struct {
        const char *in, *out;
    } cases[] = {{"  abc  ", "abc"}, {"\t\r\n abc\x0B\x0C", "abc"}, {"\u0085abc\u00A0", "abc"},
        {"\u2028a b\u2029", "a b"}, {"\u3000x", "x"}, {"   ", ""}, {"\x08x\x0E", "\x08x\x0E"},
        {"a\u200B", "a\u200B"}, {"\xFF ", "\xFF"}};
    for (auto c : cases)
        EXPECT_EQ(platform::trimWhitespaceAndNewlines(c.in), c.out) << c.in;
}
