#pragma once
// Texts of the host that only the host uses.

namespace pellarin {

// Caption of the host's message boxes.
inline constexpr const char* kProgramTitle = "Pellarin";

// Shown when a companion file is missing beside the host, in the order they are checked.
inline constexpr const char* kConverterMissingMessage =
    "Pellarin1.dll が同じﾌｫﾙﾀﾞに見つかりません！";
inline constexpr const char* kRendererMissingMessage =
    "Pellarin2.dll が同じﾌｫﾙﾀﾞに見つかりません！";
inline constexpr const char* kDecoderMissingMessage = "kVeld.dll が同じﾌｫﾙﾀﾞに見つかりません！";

// The bitmap that run mode writes into the work folder for a moment, under a name made unique
// per run: "Dumy-" + six random characters + ".bmp".
inline constexpr const char* kTemporaryBitmapStem = "Dumy";
inline constexpr const char* kTemporaryBitmapEnding = ".bmp";

// The file in the work folder whose lock decides which of several hosts plays the music.
inline constexpr const char* kMusicLockFileName = "Pellarin.music.lock";

// Title of the preview window (nobody looks it up).
inline constexpr const char* kPreviewWindowTitle = "Preview Window";

}  // namespace pellarin
