#pragma once
// Conversion between the UTF-8 of the source code and the code page 932 bytes of the settings file.

#include <optional>
#include <string>
#include <string_view>

namespace pellarin {

// UTF-8 to code page 932; nothing when a character has no code page 932 form.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// Code page 932 to UTF-8; nothing when the bytes are not valid code page 932.
std::optional<std::string> cp932ToUtf8(std::string_view cp932);

// True for a byte that starts a two-byte code page 932 character.
constexpr bool isCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace pellarin
