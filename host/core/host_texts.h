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

// The bitmap that run mode writes beside the host for a moment.
inline constexpr const char* kTemporaryBitmapName = "Dumy.bmp";

// Title of the preview window (nobody looks it up).
inline constexpr const char* kPreviewWindowTitle = "Preview Window";

}  // namespace pellarin
