#pragma once
// Number conversions of the host, with the rules of the classic BASIC runtime the settings file
// and the command line were designed around. Used by the start-up, the settings load and the
// settings dialog's track box.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellarin {

// The leading number of a text, read the lenient way: blanks, tabs and line feeds are skipped
// anywhere ("12 34" reads 1234), one sign, a decimal point (a second one ends the number), an
// exponent after "E" or "D", or "&H" / "&O" for hexadecimal and octal. Up to four hex digits
// make a 16-bit value ("&HFFFF" is -1), five to eight a 32-bit one; octal values up to
// &O177777 are 16-bit, larger ones 32-bit. Reading stops at the first character that cannot
// continue the number; a text without a number gives 0. Nothing when the number overflows.
std::optional<double> leadingNumber(std::string_view text);

// The whole text as a number: blanks around it, a sign, a decimal point, an exponent after
// "E" or "D", or "&H" / "&O". Nothing when any part of the text is left over or it overflows.
std::optional<double> wholeTextNumber(std::string_view text);

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double roundHalfEven(double value);

// Rounded halves to even and checked against the target range; nothing on overflow.
std::optional<std::int16_t> roundToInt16(double value);
std::optional<std::int32_t> roundToInt32(double value);

// The integer part, rounded toward minus infinity (-0.5 -> -1), checked against 16 bits.
std::optional<std::int16_t> integerPartToInt16(double value);

// Decimal digits with a sign position: " 1024", " 0", "-1".
std::string numberWithSign(std::int64_t value);

}  // namespace pellarin
