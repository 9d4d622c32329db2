#include "platform/Text.h"

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `bytes`, with
// its character in `c`, or 0 when none starts there: Unicode's table of
// well-formed byte sequences, which leaves out overlong forms, surrogates and
// everything past U+10FFFF by the range of each lead byte's second byte.
size_t sequenceAt(std::string_view bytes, char32_t& c)
{
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t lead = s[0];
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    size_t length;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || s[1] < low || s[1] > high)
        return 0;
    c = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (s[i] & 0x3F);
    }
    return length;
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    char32_t c;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = sequenceAt(bytes.substr(i), c);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool isWhitespaceOrNewline(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
        return true;
    // Unicode's space separators (Zs), then its line (Zl) and paragraph (Zp)
    // separators; the set has not changed since Unicode 6.3.
    return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F
        || c == 0x205F || c == 0x3000 || c == 0x2028 || c == 0x2029;
}

std::string trimWhitespaceAndNewlines(std::string_view text)
{
    // One pass: the kept part runs from the first character that is not
    // white space to the end of the last, an ill-formed byte counting as kept.
    size_t start = text.size(), end = 0;
    char32_t c;
    for (size_t i = 0; i < text.size();) {
        size_t length = sequenceAt(text.substr(i), c);
        const bool kept = length == 0 || !isWhitespaceOrNewline(c);
        length = std::max<size_t>(length, 1);
        if (kept) {
            start = std::min(start, i);
            end = i + length;
        }
        i += length;
    }
    return start < end ? std::string(text.substr(start, end - start)) : std::string();
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace platform
