#pragma once
// ASCII letter case, independent of the C locale: names, keywords, mode letters and file endings
// compare the same way whatever language the desktop runs in, and bytes of other characters
// (code page 932 or UTF-8) are never changed.

#include <string>
#include <string_view>

namespace pellarin {

constexpr char asciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = asciiUpper(c);
  return result;
}

inline std::string asciiLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = asciiLower(c);
  return result;
}

}  // namespace pellarin
