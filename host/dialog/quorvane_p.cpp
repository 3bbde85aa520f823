#include "host/dialog/quorvane_p.h"

#include <string>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/system_names.h"
#include "host/core/basic_numbers.h"
#include "host/core/quorvane_b.h"
#include "host/dialog/dialog_texts.h"
#include "host/dialog/documentation.h"

namespace pellarin {

namespace B = Quorvane_B;

std::string trackText(std::int16_t track) {
  return track == 0 ? std::string() : std::to_string(track);
}

std::int16_t trackFromText(std::string_view text) {
  const std::optional<double> number = wholeTextNumber(text);
  if (!number) return 0;
  // A number beyond 16 bits cannot name a track; it is stored like a non-number.
  return roundToInt16(*number).value_or(0);
}

Quorvane_P::Quorvane_P(Services services) : services_(services) {}

void Quorvane_P::showKindControls(int kind) {
  for (int i = 0; i < 3; ++i) services_.view.setOptionMark(i, i == kind);
  services_.view.setRepeatEnabled(kind == 1);
  services_.view.setFileButtonEnabled(kind == 2);
}

void Quorvane_P::Form_Load() {
  DialogView& view = services_.view;
  animationCounter_ = 0;

  const ScreenSize screen = view.screenSize();
  const ScreenSize window = view.windowSize();
  view.moveWindow((screen.width - window.width) / 2, (screen.height - window.height) / 3);

  showKindControls(B::musicKind);
  view.setRepeatText(trackText(B::cdRepeatTrack));
  for (std::int16_t track = 0; track <= 30; ++track) view.addRepeatEntry(trackText(track));
  view.setFileNameCaption(B::musicFile);

  const std::optional<ScreenPoint> pointer = services_.pointer.pointerPosition();
  B::lastApiResult = pointer ? 1 : 0;
  animationPointX_ = pointer ? static_cast<std::int16_t>(pointer->x) : 0;
  animationPointY_ = pointer ? static_cast<std::int16_t>(pointer->y) : 0;

  if (const std::optional<ScreenRect> rect = zoomTarget()) {
    view.zoomWindow({animationPointX_, animationPointY_, animationPointX_, animationPointY_},
                    *rect);
  }
  view.setBusyPointer(false);
}

void Quorvane_P::chooseKind(int index) {
  B::musicKind = static_cast<std::int16_t>(index);
  showKindControls(index);
}

void Quorvane_P::Img_BGM_MouseDown(int index) {
  chooseKind(index);
}

void Quorvane_P::lbl_BGM_MouseDown(int index) {
  chooseKind(index);
}

void Quorvane_P::Cmd_File_Click() {
  FileChooserRequest request;
  request.title = dialog_texts::kFileDialogTitle;
  request.filterName = dialog_texts::kFileFilterName;
  for (const char* pattern : dialog_texts::kFileFilterPatterns)
    request.patterns.emplace_back(pattern);
  request.initialFolder = B::musicFolder;
  const std::optional<std::string> chosen = services_.files.chooseFile(request);
  const std::string path = chosen.value_or(std::string());
  // A path the settings file cannot hold on one line, or longer than the music player takes,
  // fails like a cancelled dialog instead of being stored damaged.
  const bool usable = !path.empty() && path.size() <= kLongestPath &&
                      path.find_first_of("\r\n") == std::string::npos;
  B::lastApiResult = usable ? 1 : 0;
  if (!usable) return;
  B::musicFile = path;
  services_.view.setFileNameCaption(B::musicFile);
  B::musicFolder = B::folderOfPath(B::musicFile);
}

void Quorvane_P::Cmd_Set_Click() {
  services_.settings.writeSetting(kMusicKindKey, numberWithSign(B::musicKind));
  B::cdRepeatTrack = trackFromText(services_.view.repeatText());
  services_.settings.writeSetting(kRepeatTrackKey, numberWithSign(B::cdRepeatTrack));
  services_.settings.writeSetting(kMusicFileKey, B::musicFile);
  closeDialog();
}

void Quorvane_P::Cmd_Can_Click() {
  closeDialog();
}

void Quorvane_P::Pic_m_Click(int /*index*/) {
  // The project has no page of its own: the boxes open the documentation that comes with the
  // programs.
  const std::optional<std::filesystem::path> readme = findReadme(services_.programFolder);
  if (!readme) {
    debugLog("dialog: no README for the programs in %s\n",
             pathText(services_.programFolder).c_str());
    return;
  }
  services_.view.setBusyPointer(true);
  services_.browser.openDocument(*readme);
  services_.view.setBusyPointer(false);
}

void Quorvane_P::Timer1_Timer() {
  const int n = ++animationCounter_;
  if (n >= 1 && n <= kFramesPerBox) {
    services_.view.showAnimationFrame(0, n);
    services_.view.clearAnimationBox(1);
  } else if (n > kFramesPerBox && n < kCycleTicks) {
    services_.view.clearAnimationBox(0);
    services_.view.showAnimationFrame(1, n - kFramesPerBox);
  } else if (n >= kCycleTicks) {
    animationCounter_ = 0;
  }
}

void Quorvane_P::closeDialog() {
  if (closed_) return;
  closed_ = true;
  Form_QueryUnload();
  Form_Unload();
  services_.view.close();
}

void Quorvane_P::Form_QueryUnload() {
  services_.view.stopAnimationTimer();
}

std::optional<ScreenRect> Quorvane_P::zoomTarget() {
  // The user's choice of no animations holds for the dialog's zoom as for the desktop's own.
  if (!services_.view.animationsEnabled()) return std::nullopt;
  return services_.view.windowRect();
}

void Quorvane_P::Form_Unload() {
  if (const std::optional<ScreenRect> rect = zoomTarget()) {
    services_.view.zoomWindow(
        *rect, {animationPointX_, animationPointY_, animationPointX_, animationPointY_});
  }
}

}  // namespace pellarin
