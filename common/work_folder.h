#pragma once
// Where the programs find their files.

#include <filesystem>

namespace pellarin {

// $XDG_CONFIG_HOME/k_veld_temp, or $HOME/.config/k_veld_temp when XDG_CONFIG_HOME is unset, empty
// or relative (the account's home folder when HOME is unset or relative too).
std::filesystem::path workFolder();

// Creates the work folder (and missing parents) with mode 0700. True when it exists afterwards.
bool createWorkFolder();

// The settings file and the picture file in the work folder.
std::filesystem::path settingsFilePath();
std::filesystem::path pictureFilePath();

// The folder of the running executable.
std::filesystem::path programFolder();

}  // namespace pellarin
