// NumberScanner: reads one plain decimal number from text, the same way in
// every locale. A pure function over caller-owned bytes; nothing is kept.
#pragma once

#include <optional>
#include <string_view>

namespace platform {

// The number that `text` holds, or nothing when it holds something else.
//
// Accepted: white space and line breaks (the set of isWhitespaceOrNewline),
// an optional "+" or "-", decimal digits with an optional "." and fraction
// digits (at least one digit in all: "5.", ".5" and "5" pass, "." does not),
// then nothing but white space and line breaks. "." is the separator in every
// locale, and there are no thousands separators.
//
// Not accepted: an exponent. "1e3" is not a number, because in coordinate
// text a letter after digits is a hemisphere or unit ("10E5" is ten degrees
// east and five minutes, never a million), and reading it as an exponent
// would turn such text into a wild value.
//
// The value is the double nearest the decimal text. A text whose magnitude is
// too large for a double is not a number (nothing is returned rather than an
// infinity); one too small for the smallest subnormal reads as a zero of its
// sign.
std::optional<double> scanDecimalNumber(std::string_view text);

} // namespace platform
