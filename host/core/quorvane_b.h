#pragma once
// Quorvane_B: the host's shared variables and its settings helpers.
// One user-interface thread touches these; there are no locks.

#include <cstdint>
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

}  // namespace pellarin::Quorvane_B
