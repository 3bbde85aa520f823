#pragma once
// The characters at which the host splits a path into folder and name.

#include <string_view>

namespace pellarin {

#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "\\:";
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr std::string_view kPathSeparators = "/";
inline constexpr char kFolderSeparator = '/';
#endif

}  // namespace pellarin
