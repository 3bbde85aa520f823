#pragma once
// Conversion between the UTF-8 of the programs' own text and the encodings of what lies outside:
// the code page 932 key names of the settings file, and the system's code page of its values and
// of the narrow ("A") system calls.

#include <optional>
#include <string>
#include <string_view>

namespace pellarin {

// UTF-8 to code page 932; nothing when a character has no code page 932 form.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// Code page 932 to UTF-8; nothing when the bytes are not valid code page 932.
std::optional<std::string> cp932ToUtf8(std::string_view cp932);

// UTF-8 to the system's code page for narrow text: the ANSI code page on Windows, in which the
// settings file holds its values and the narrow system calls take their texts; on Linux narrow
// text is UTF-8 already, and the bytes pass unchanged. Nothing when a character has no form
// there.
std::optional<std::string> utf8ToSystemCodePage(std::string_view utf8);

// The system's code page to UTF-8 (unchanged on Linux); nothing when the bytes are not valid
// text of that code page.
std::optional<std::string> systemCodePageToUtf8(std::string_view text);

// True for a byte that starts a two-byte code page 932 character.
constexpr bool isCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace pellarin
