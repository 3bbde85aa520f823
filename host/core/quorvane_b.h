#pragma once
// Quorvane_B: the host's shared variables and its settings helpers.
// One user-interface thread touches these; there are no locks.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pellarin::Quorvane_B {

// 0 none, 1 audio CD, 2 MP3 or WAV file.
inline std::int16_t musicKind = 0;
// CD track to keep repeating; 0 lets the disc play through.
inline std::int16_t cdRepeatTrack = 0;
// Full path of the music file; empty when none.
inline std::string musicFile;
// Folder the settings dialog's file dialog opens in.
inline std::string musicFolder;
// What hiding the pointer returned in run mode.
inline std::int32_t cursorHideResult = 0;
// Result of the latest recorded system call.
inline std::int32_t lastApiResult = 0;

// The settings helpers. Section and key names are UTF-8 here and go to the file in code page
// 932; values are UTF-8 here and stored in the system's code page (common/text_encoding.h: the
// ANSI code page on Windows, unchanged bytes on Linux).

// The value of key in section (blanks and one pair of quotes removed, at most 255 bytes);
// empty when the file, the section or the key is missing.
std::string readSetting(std::string_view section, std::string_view key,
                        const std::filesystem::path& file);

// Stores value; the result goes to lastApiResult (non-zero on success), nothing is reported.
// Names are cut to 128 characters. A value with no form in the system's code page is not
// written (lastApiResult 0).
void writeSetting(std::string_view section, std::string_view key, std::string_view value,
                  const std::filesystem::path& file);

// Fills musicKind, cdRepeatTrack, musicFile and musicFolder from the settings file.
void loadSettings();

// True only for a regular file that can be opened for reading; never blocks.
bool fileExists(std::string_view path);

// The folder part of a path, without a trailing separator; empty when there is none.
std::string folderOfPath(std::string_view path);

}  // namespace pellarin::Quorvane_B
