#pragma once
// Where the program's documentation lies: an installed copy keeps the programs in
// <prefix>/lib/pellarin/ and the README in <prefix>/share/doc/pellarin/; a build tree has the
// programs one level lower, in build/bin/, and the README in build/share/doc/pellarin/.

#include <filesystem>
#include <optional>

namespace pellarin {

// The README for the programs in programFolder: the first of the two places that holds a
// regular file under that name (a folder, a pipe or a dangling link there does not count).
std::optional<std::filesystem::path> findReadme(const std::filesystem::path& programFolder);

}  // namespace pellarin
