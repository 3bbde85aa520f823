#pragma once
// How the host reads its command line: "/S", "/P <window>", "/C" and their variants.

#include <cstdint>
#include <string_view>

namespace pellarin {

// The second character of the command line, upper-cased; '\0' when there is none. The first
// character is never looked at, so "/s", "-s" and "xs" are alike. A character outside ASCII
// gives '?', which matches no mode.
char modeLetter(std::string_view commandLine);

// The preview's parent window: the text from the fourth character on, read as a leading number
// and rounded halves to even; 0 when there is no number or it does not fit in 32 bits.
std::int32_t previewWindowNumber(std::string_view commandLine);

}  // namespace pellarin
