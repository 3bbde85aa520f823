#pragma once
// Quorvane_P: the settings dialog's behaviour. It chooses the kind of background music, the
// CD track to repeat and the music file, writes them on "設定" and drops them on "ｷｬﾝｾﾙ".
// It works on the host's shared variables and talks to its window only through DialogView.

#include <cstdint>
#include <filesystem>

#include "host/dialog/browser_opener.h"
#include "host/dialog/dialog_view.h"
#include "host/dialog/file_chooser.h"
#include "host/dialog/pointer_position.h"
#include "host/dialog/settings_writer.h"

namespace pellarin {

class Quorvane_P {
 public:
  struct Services {
    DialogView& view;
    SettingsWriter& settings;
    FileChooser& files;
    BrowserOpener& browser;
    PointerPosition& pointer;
    // Where the running program lies; the documentation is found from there.
    std::filesystem::path programFolder;
  };

  // Ticks in one animation cycle: 24 frames in each box, then one idle tick.
  static constexpr int kFramesPerBox = 24;
  static constexpr int kCycleTicks = 2 * kFramesPerBox + 1;
  // Longest path the settings file and the music player take, in bytes.
  static constexpr std::size_t kLongestPath = 254;

  explicit Quorvane_P(Services services);

  void Form_Load();
  void Img_BGM_MouseDown(int index);
  void lbl_BGM_MouseDown(int index);
  void Cmd_File_Click();
  void Cmd_Set_Click();
  void Cmd_Can_Click();
  void Pic_m_Click(int index);
  void Timer1_Timer();
  // The close box, or the buttons: stops the animation, zooms back and takes the window away.
  void closeDialog();

  std::int16_t animationCounter() const { return animationCounter_; }
  std::int16_t animationPointX() const { return animationPointX_; }
  std::int16_t animationPointY() const { return animationPointY_; }
  bool closed() const { return closed_; }

 private:
  void chooseKind(int index);
  void showKindControls(int kind);
  // The window's rectangle when the zoom is to be drawn.
  std::optional<ScreenRect> zoomTarget();
  void Form_QueryUnload();
  void Form_Unload();

  Services services_;
  std::int16_t animationCounter_ = 0;
  std::int16_t animationPointX_ = 0;
  std::int16_t animationPointY_ = 0;
  bool closed_ = false;
};

// The track number as the track box shows it: empty for 0.
std::string trackText(std::int16_t track);
// The track the box's text stands for: a whole-text number rounded halves to even, or 0 when
// the text is no number or does not fit 16 bits.
std::int16_t trackFromText(std::string_view text);

}  // namespace pellarin
