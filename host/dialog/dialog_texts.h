#pragma once
// The settings dialog's own texts.

namespace pellarin::dialog_texts {

inline constexpr const char* kHeading = "BGM";
inline constexpr const char* kKindNone = "なし";
inline constexpr const char* kKindCd = "音楽CD";
inline constexpr const char* kKindFile = "MP3、WAV";
inline constexpr const char* kRepeatLabel = "曲目をﾘﾋﾟｰﾄ";
inline constexpr const char* kFileButton = "...";
inline constexpr const char* kSetButton = "設定";
inline constexpr const char* kCancelButton = "ｷｬﾝｾﾙ";
inline constexpr const char* kCreditLine = "Designed by Kiriha Ver.1.0.0";

inline constexpr const char* kFileDialogTitle = "ﾌｧｲﾙを開く";
inline constexpr const char* kFileFilterName = "BGMﾌｧｲﾙ (MP3 WAV)";
inline constexpr const char* kFileFilterPatterns[] = {"*.MP3", "*.WAV"};

}  // namespace pellarin::dialog_texts
