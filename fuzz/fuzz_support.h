#pragma once
// What the fuzz targets share: a failed check that libFuzzer records as a crash, and a private
// folder for the files a target reads and writes.

#include <sanitizer/common_interface_defs.h>
#include <stdlib.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace pellarin::fuzz {

// The private folder, once made: a process that dies on a finding removes it too, or a long run
// would leave one behind in memory for every crash.
inline std::filesystem::path& folderToRemove() {
  static std::filesystem::path path;
  return path;
}

inline void removePrivateFolder() {
  std::error_code error;
  if (!folderToRemove().empty()) std::filesystem::remove_all(folderToRemove(), error);
}

// Reports a broken promise and aborts, so the input is saved as a crash with its stack.
[[noreturn]] inline void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void fail(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::fputs("broken promise: ", stderr);
  std::vfprintf(stderr, format, arguments);
  std::fputc('\n', stderr);
  va_end(arguments);
  removePrivateFolder();
  std::abort();
}

#define FUZZ_CHECK(condition, ...)                         \
  do {                                                     \
    if (!(condition)) ::pellarin::fuzz::fail(__VA_ARGS__); \
  } while (false)

// A folder made once per process and removed at its end. Memory-backed when /dev/shm is
// there, since the settings engine syncs every file it writes.
inline const std::filesystem::path& privateFolder() {
  struct Folder {
    std::filesystem::path path;
    Folder() {
      std::error_code error;
      std::filesystem::path base = "/dev/shm";
      if (!std::filesystem::is_directory(base, error))
        base = std::filesystem::temp_directory_path();
      std::string pattern = (base / "pellarin-fuzz-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) fail("cannot make a folder in %s", base.c_str());
      path = pattern;
      folderToRemove() = path;
      __sanitizer_set_death_callback(removePrivateFolder);
    }
    ~Folder() { removePrivateFolder(); }
  };
  static const Folder folder;
  return folder.path;
}

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good(), "cannot write %s", file.c_str());
}

// The whole file, or nothing when it does not exist.
inline std::optional<std::string> readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace pellarin::fuzz
