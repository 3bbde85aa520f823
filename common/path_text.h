#pragma once
// Paths as text and back. Text in the programs is UTF-8 on every platform; a path's own narrow
// form is not (on Windows it is the ANSI code page, which cannot hold every name), so every
// conversion between the two goes through here.

#include <filesystem>
#include <string>
#include <string_view>

namespace pellarin {

// The path as UTF-8 text; empty for a path that has no such form (a name holding half of a
// UTF-16 pair).
std::string pathText(const std::filesystem::path& path);

// The path that UTF-8 text names. Bytes that are not UTF-8 stay as they are where the platform
// keeps paths as bytes; where it does not, the path is empty.
std::filesystem::path pathFromText(std::string_view utf8);

}  // namespace pellarin
