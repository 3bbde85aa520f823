#pragma once
// The file-system calls of the settings-file engine. The engine decides what to read, what to
// write and what to refuse; an implementation (file_access_posix.cpp, one per platform) only
// carries the calls over. Nothing here blocks: a pipe or a device in a file's place is answered
// at once.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pellarin::file_access {

enum class EntryKind { Missing, RegularFile, Link, Other, Unknown };

// What stands at path, a link itself rather than what it leads to. Unknown when it cannot be
// told (no right to look into the folder, for example).
EntryKind entryKind(const std::filesystem::path& path);

// The path with every link and every "." and ".." resolved; nothing when it leads nowhere.
std::optional<std::filesystem::path> resolvedPath(const std::filesystem::path& path);

enum class ReadOutcome { Read, Missing, Failed };

struct FileBytes {
  ReadOutcome outcome = ReadOutcome::Failed;
  std::string bytes;
};

// The whole of a regular file, links followed. Anything else in its place (a folder, a pipe, a
// device) is Failed without being opened for reading; so is a file that cannot be read.
FileBytes readRegularFile(const std::filesystem::path& file);

// True when this process may change the bytes of the existing file (its permissions allow it).
bool mayWrite(const std::filesystem::path& file);

// A file of its own for one write: created new (never an existing file or a link), readable and
// writable by its owner alone, and marked busy for as long as this object holds it, so that
// removeIfAbandoned leaves it alone. Removed again unless it has replaced its target.
class NewFile {
 public:
  // "<folder>/<prefix><something unique><suffix>"; nothing when it cannot be created.
  static std::optional<NewFile> createIn(const std::filesystem::path& folder,
                                         std::string_view prefix, std::string_view suffix);
  NewFile(NewFile&& other) noexcept;
  NewFile& operator=(NewFile&&) = delete;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile();

  const std::filesystem::path& path() const { return path_; }
  bool append(std::string_view bytes);
  // Puts the file on the disk and then, in one step, in target's place: a reader sees the old
  // file or this one, whatever happens meanwhile. A link at target is replaced, never followed.
  // An existing target's owner is kept where the process may set it.
  bool replace(const std::filesystem::path& target);

 private:
  NewFile(std::intptr_t handle, std::filesystem::path path);
  void release();

  std::intptr_t handle_;
  std::filesystem::path path_;
};

// Removes a file that NewFile made for a write whose process ended before finishing it (killed,
// crashed). The file of a write still under way in any process stays, and so does anything that
// is not a regular file. True when it was removed.
bool removeIfAbandoned(const std::filesystem::path& file);

}  // namespace pellarin::file_access
