#include "platform/Text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace platform {

bool isValidUtf8(std::string_view bytes)
{
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    int32_t length = static_cast<int32_t>(bytes.size());
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
        // ICU's macros count in 32 bits; check a larger text in pieces that
        // end on character boundaries.
        size_t cut = static_cast<size_t>(INT32_MAX) - 4;
        while (cut > 0 && (s[cut] & 0xC0) == 0x80)
            --cut;
        return isValidUtf8(bytes.substr(0, cut)) && isValidUtf8(bytes.substr(cut));
    }
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

bool isWhitespaceOrNewline(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
        return true;
    int8_t type = u_charType(static_cast<UChar32>(c));
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

std::string trimWhitespaceAndNewlines(std::string_view text)
{
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    int32_t length = static_cast<int32_t>(text.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 c;
        U8_NEXT(s, next, length, c);
        if (c < 0 || !isWhitespaceOrNewline(static_cast<char32_t>(c)))
            break;
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t prev = end;
        UChar32 c;
        U8_PREV(s, start, prev, c);
        if (c < 0 || !isWhitespaceOrNewline(static_cast<char32_t>(c)))
            break;
        end = prev;
    }
    return std::string(text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
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
