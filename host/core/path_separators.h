#pragma once
// The characters at which the host splits a path into folder and name; one definition per
// platform (path_separators_posix.cpp, path_separators_win32.cpp).

#include <string_view>

namespace pellarin {

// Every character that ends a folder part.
extern const std::string_view kPathSeparators;
// The separator between a folder and what lies in it.
extern const char kFolderSeparator;

}  // namespace pellarin
