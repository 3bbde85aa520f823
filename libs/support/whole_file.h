#pragma once
// Whole-file reads and writes for the two libraries. A file is read only when it is a regular
// file, and opening it never waits (a named pipe or a device is refused, not read); a file is
// written whole or not at all, and never through a link planted under its name.
//
// One adapter per platform: whole_file_posix.cpp, whole_file_win32.cpp.

#include <cstdint>
#include <span>
#include <vector>

namespace pellarin::libs {

enum class FileReadStatus {
  ok,
  unreadable,  // missing, no permission, or it changed size while being read
  notRegular,  // a folder, a named pipe, a device
  tooLarge,    // more than the caller's limit
  noMemory,
};

// Reads the regular file at `path` (8-bit characters, as the platform's file calls take them)
// into `bytes`, when it holds at most `limit` bytes. `bytes` is empty unless the result is ok.
FileReadStatus readRegularFile(const char* path, std::uint64_t limit,
                               std::vector<std::uint8_t>& bytes);

// Replaces the file at `path` with `bytes`. They are written to a new file of an unused name
// beside it (created exclusively, readable and writable by its owner alone), flushed, and
// renamed over `path`: a link at `path` is replaced, not followed. On failure `path` is as it
// was and no temporary file is left.
bool replaceFileWhole(const char* path, std::span<const std::uint8_t> bytes);

}  // namespace pellarin::libs
