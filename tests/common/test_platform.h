#pragma once
// What the tests do through the platform: the process environment, links. One implementation per
// platform (test_platform_posix.cpp, test_platform_win32.cpp).

#include <filesystem>
#include <string>

namespace pellarin::testing {

// Sets a variable where both the C library and the system calls of this process read it.
void setEnvironment(const std::string& name, const std::string& value);

// Points the work folder of this process into folder / "config" (and the home folder, where the
// platform has one that matters, to folder / "home"): the work folder is then
// folder / "config" / "k_veld_temp" on every platform.
void isolateWorkFolder(const std::filesystem::path& folder);

// Makes link a link to the folder target; false where this system lets the tests make none
// (Wine, or Windows without the right to make links).
bool makeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target);

}  // namespace pellarin::testing
