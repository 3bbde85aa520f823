#pragma once
// The platform's part of the work folder: where it lies, what stands in its place, and the
// calls that make it and close it to other users. work_folder.cpp decides what to use and what
// to refuse; an implementation (work_folder_posix.cpp, one per platform) only carries the calls
// over.

#include <filesystem>

namespace pellarin::work_folder_platform {

// The folder that holds the work folder.
std::filesystem::path parentOfWorkFolder();

enum class FolderKind { Missing, Folder, Link, Other, Unknown };

struct FolderFacts {
  FolderKind kind = FolderKind::Unknown;
  bool ownedByUser = false;     // a Folder that belongs to the user this process runs as
  bool privateToOwner = false;  // a Folder that its owner alone may list, enter and change
};

// What stands at path: a link itself, not what it leads to. Unknown when it cannot be told.
FolderFacts inspectFolder(const std::filesystem::path& path);

// Makes the folder, and any missing folder above it, private to the user. False (with a debug
// line) when it cannot; something already in its place is left for inspectFolder to judge.
bool createPrivateFolder(const std::filesystem::path& path);

// Closes an existing folder of the user's to everyone else, never through a link in its place.
// False (with a debug line) when it cannot.
bool makePrivate(const std::filesystem::path& path);

// The folder of the running executable.
std::filesystem::path executableFolder();

}  // namespace pellarin::work_folder_platform
