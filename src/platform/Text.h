// Text: UTF-8 checks, the trimming of white space and line breaks, and
// hexadecimal digits. Pure
// functions over caller-owned bytes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// True for the characters that trimming removes: the Unicode space, line and
// paragraph separators (Zs, Zl, Zp), U+0009 to U+000D, and U+0085.
bool isWhitespaceOrNewline(char32_t c);

// `text` without the characters above at either end. Ill-formed bytes are
// never trimmed; they stay where they are.
std::string trimWhitespaceAndNewlines(std::string_view text);

// The value of a hexadecimal digit (0-9, a-f, A-F), or -1 for any other byte.
int hexDigitValue(char c);

} // namespace platform
