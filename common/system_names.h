#pragma once
// The names and texts through which the two programs, the desktop and the user meet.
// Each appears here once; both programs include this header.

namespace pellarin {

// Files in the program folder.
inline constexpr const char* kHostFileName = "Pellarin";
inline constexpr const char* kConverterLibraryName = "Pellarin1.dll";
inline constexpr const char* kRendererFileName = "Pellarin2.dll";
inline constexpr const char* kDecoderLibraryName = "kVeld.dll";

// The work folder and the two hand-off files in it.
inline constexpr const char* kWorkFolderName = "k_veld_temp";
inline constexpr const char* kSettingsFileName = "Pellarin.ini";
inline constexpr const char* kPictureFileName = "Pellarin.dat";

// Settings file: one section; key names are UTF-8 here and stored in code page 932.
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kWidthKey = "Width";
inline constexpr const char* kHeightKey = "Height";
inline constexpr const char* kMusicKindKey = "BGM区分";
inline constexpr const char* kRepeatTrackKey = "BGMﾘﾋﾟｰﾄ";
inline constexpr const char* kMusicFileKey = "BGMﾌｧｲﾙ";

// Window titles looked up across processes.
inline constexpr const char* kRendererWindowTitle = "Quorvane_VC";
inline constexpr const char* kRunModeWindowTitle = "Quorvane_Main";
inline constexpr const char* kDialogTitle = "■Pellarin■";

}  // namespace pellarin
