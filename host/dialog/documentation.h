#pragma once
// Where the program's documentation lies. Each platform has its own places
// (documentation_places_*.cpp): an installed Linux copy keeps the programs in
// <prefix>/lib/pellarin/ and the README in <prefix>/share/doc/pellarin/, a Linux build tree has
// the programs one level lower, in build/bin/, and the README in build/share/doc/pellarin/; on
// Windows the README lies beside the four files.

#include <filesystem>
#include <optional>
#include <vector>

namespace pellarin {

// The places where the README for the programs in programFolder may lie, the nearest first.
std::vector<std::filesystem::path> readmePlaces(const std::filesystem::path& programFolder);

// The README for the programs in programFolder: the first of its places that holds a regular
// file under that name (a folder, a pipe or a dangling link there does not count).
std::optional<std::filesystem::path> findReadme(const std::filesystem::path& programFolder);

}  // namespace pellarin
