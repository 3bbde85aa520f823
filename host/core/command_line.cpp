#include "host/core/command_line.h"

#include <optional>

#include "common/ascii_text.h"
#include "host/core/basic_numbers.h"

namespace pellarin {

namespace {

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset of the character with the given zero-based index, or npos past the end.
std::size_t characterOffset(std::string_view text, std::size_t index) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isContinuationByte(text[i])) continue;
    if (seen == index) return i;
    ++seen;
  }
  return std::string_view::npos;
}

}  // namespace

char modeLetter(std::string_view commandLine) {
  const std::size_t offset = characterOffset(commandLine, 1);
  if (offset == std::string_view::npos) return '\0';
  const char c = commandLine[offset];
  if (static_cast<unsigned char>(c) >= 0x80) return '?';
  return asciiUpper(c);
}

std::int32_t previewWindowNumber(std::string_view commandLine) {
  const std::size_t offset = characterOffset(commandLine, 3);
  if (offset == std::string_view::npos) return 0;
  const std::optional<double> number = leadingNumber(commandLine.substr(offset));
  if (!number) return 0;
  return roundToInt32(*number).value_or(0);
}

}  // namespace pellarin
