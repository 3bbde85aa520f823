#pragma once
// The host's own file-system calls, one implementation per platform (file_system_posix.cpp).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pellarin {

// True only for a regular file that this process can open for reading. Never blocks: a named
// pipe or a device in the file's place is not opened.
bool isReadableRegularFile(const std::string& path);

// A new file that only this process made, removed again when the object goes.
class TemporaryFile {
 public:
  // Makes a new, empty file in folder, named stem + "-" + six random characters + ending,
  // readable and writable by its owner only. It is made exclusively: never an existing file
  // (a stale one left by a killed run is simply not chosen) and never through a link. Nothing
  // when the folder does not let it be made.
  static std::unique_ptr<TemporaryFile> create(const std::filesystem::path& folder,
                                               std::string_view stem, std::string_view ending);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Writes all the bytes and closes the file; false when any of that failed.
  bool writeAndClose(std::span<const std::uint8_t> bytes);
  const std::filesystem::path& path() const { return path_; }

 private:
  TemporaryFile(std::filesystem::path path, std::intptr_t handle)
      : path_(std::move(path)), handle_(handle) {}
  void close();

  std::filesystem::path path_;
  std::intptr_t handle_;  // the platform's open file, -1 once closed
};

}  // namespace pellarin
