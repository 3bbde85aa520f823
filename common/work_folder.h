#pragma once
// Where the programs find their files.
//
// The work folder holds the two hand-off files. It is used only when it is a real folder that
// belongs to the user, closed to everyone else; a link in its place, or a folder of another
// user, is refused, and then the programs read and write nothing there: they run with their
// defaults and the fallback picture.

#include <filesystem>
#include <optional>
#include <string_view>

namespace pellarin {

// $XDG_CONFIG_HOME/k_veld_temp, or $HOME/.config/k_veld_temp when XDG_CONFIG_HOME is unset, empty
// or relative (the account's home folder when HOME is unset or relative too). Only where it
// lies: whether it may be used is openWorkFolder's to say.
std::filesystem::path workFolder();

enum class WorkFolderUse {
  Create,    // the host: makes the folder when it is missing
  Existing,  // the renderer: reads what is there, makes nothing
};

// The one decision on the work folder, made by each program as it starts. The folder when it
// may be used: a real folder of the user's (made, outermost missing folder first, when it is
// missing and use is Create), closed to others (mode 0700; an existing folder with another
// mode is set to it). Nothing when it is missing, or refused with one debug line: a link,
// anything but a folder, a folder of another user.
std::optional<std::filesystem::path> openWorkFolder(WorkFolderUse use);

// openWorkFolder(WorkFolderUse::Create), as a yes or no.
bool createWorkFolder();

// A file in the work folder; an empty path when the folder is refused (a link, not a folder,
// another user's), so that a read of it finds nothing and a write of it fails. A folder that is
// merely missing still gives the path.
std::filesystem::path workFilePath(std::string_view name);

// The settings file and the picture file: workFilePath of their names.
std::filesystem::path settingsFilePath();
std::filesystem::path pictureFilePath();

// The folder of the running executable.
std::filesystem::path programFolder();

}  // namespace pellarin
