#include "host/dialog/quorvane_p.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "common/system_names.h"
#include "host/core/quorvane_b.h"

namespace pellarin {
namespace {

namespace B = Quorvane_B;

class RecordingView final : public DialogView {
 public:
  ScreenSize screenSize() override { return {1024, 768}; }
  ScreenSize windowSize() override { return {503, 296}; }
  void moveWindow(int left, int top) override { position = {left, top}; }
  std::optional<ScreenRect> windowRect() override { return rect; }
  void zoomWindow(const ScreenRect& from, const ScreenRect& to) override {
    zooms.emplace_back(from, to);
  }
  void setBusyPointer(bool busy) override { busyPointer.push_back(busy); }
  void setOptionMark(int index, bool selected) override { marks.at(index) = selected; }
  void setRepeatEnabled(bool enabled) override { repeatEnabled = enabled; }
  void setFileButtonEnabled(bool enabled) override { fileEnabled = enabled; }
  void setRepeatText(std::string_view text) override { repeat = text; }
  std::string repeatText() override { return repeat; }
  void addRepeatEntry(std::string_view text) override { entries.emplace_back(text); }
  void setFileNameCaption(std::string_view text) override { fileCaption = text; }
  void showAnimationFrame(int box, int frame) override {
    log.push_back("show " + std::to_string(box) + ":" + std::to_string(frame));
  }
  void clearAnimationBox(int box) override { log.push_back("clear " + std::to_string(box)); }
  void stopAnimationTimer() override { log.push_back("stop timer"); }
  void close() override { log.push_back("close"); }

  int selectedMarks() const { return marks[0] + marks[1] + marks[2]; }

  std::pair<int, int> position{-1, -1};
  std::optional<ScreenRect> rect = ScreenRect{260, 236, 763, 532};
  std::vector<std::pair<ScreenRect, ScreenRect>> zooms;
  std::vector<bool> busyPointer;
  std::array<bool, 3> marks{true, true, true};
  bool repeatEnabled = true;
  bool fileEnabled = true;
  std::string repeat = "unset";
  std::vector<std::string> entries;
  std::string fileCaption = "unset";
  std::vector<std::string> log;
};

class RecordingSettings final : public SettingsWriter {
 public:
  void writeSetting(std::string_view key, std::string_view value) override {
    written.emplace_back(std::string(key), std::string(value));
  }
  std::vector<std::pair<std::string, std::string>> written;
};

class ScriptedFiles final : public FileChooser {
 public:
  std::optional<std::string> chooseFile(const FileChooserRequest& request) override {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::optional<std::string>> answers;
  std::vector<FileChooserRequest> requests;
};

class RecordingBrowser final : public BrowserOpener {
 public:
  bool openAddress(std::string_view address) override {
    opened.emplace_back(address);
    return false;
  }
  std::vector<std::string> opened;
};

class FixedPointer final : public PointerPosition {
 public:
  std::optional<ScreenPoint> pointerPosition() override { return point; }
  std::optional<ScreenPoint> point = ScreenPoint{300, 400};
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    B::musicKind = 0;
    B::cdRepeatTrack = 0;
    B::musicFile = "/home/u/old.mp3";
    B::musicFolder = "/home/u";
    B::lastApiResult = -7;
  }
  Quorvane_P& load() {
    form.Form_Load();
    return form;
  }

  RecordingView view;
  RecordingSettings settings;
  ScriptedFiles files;
  RecordingBrowser browser;
  FixedPointer pointer;
  Quorvane_P form{{view, settings, files, browser, pointer}};
};

TEST_F(DialogTest, LoadShowsTheStoredChoice) {
  load();
  EXPECT_EQ(view.marks, (std::array<bool, 3>{true, false, false}));
  EXPECT_FALSE(view.repeatEnabled);
  EXPECT_FALSE(view.fileEnabled);
  EXPECT_EQ(view.repeat, "");
  ASSERT_EQ(view.entries.size(), 31u);
  EXPECT_EQ(view.entries.front(), "");
  EXPECT_EQ(view.entries[1], "1");
  EXPECT_EQ(view.entries.back(), "30");
  EXPECT_EQ(view.fileCaption, "/home/u/old.mp3");
  EXPECT_EQ(view.position, (std::pair<int, int>{260, 157}));
  EXPECT_EQ(form.animationCounter(), 0);
  EXPECT_EQ(view.busyPointer, std::vector<bool>{false});
}

TEST_F(DialogTest, EachKindEnablesItsOwnControl) {
  struct Case {
    std::int16_t kind;
    std::array<bool, 3> marks;
    bool repeat;
    bool file;
  };
  const Case cases[] = {{1, {false, true, false}, true, false},
                        {2, {false, false, true}, false, true},
                        {3, {false, false, false}, false, false},
                        {-1, {false, false, false}, false, false}};
  for (const Case& c : cases) {
    RecordingView fresh;
    Quorvane_P dialog({fresh, settings, files, browser, pointer});
    B::musicKind = c.kind;
    B::cdRepeatTrack = 12;
    dialog.Form_Load();
    EXPECT_EQ(fresh.marks, c.marks) << c.kind;
    EXPECT_EQ(fresh.repeatEnabled, c.repeat) << c.kind;
    EXPECT_EQ(fresh.fileEnabled, c.file) << c.kind;
    EXPECT_EQ(fresh.repeat, "12");
  }
}

TEST_F(DialogTest, ChoosingAKindKeepsExactlyOneMark) {
  B::musicKind = 7;
  load();
  EXPECT_EQ(view.selectedMarks(), 0);
  view.repeat = "5";
  form.lbl_BGM_MouseDown(1);
  EXPECT_EQ(B::musicKind, 1);
  EXPECT_EQ(view.marks, (std::array<bool, 3>{false, true, false}));
  EXPECT_TRUE(view.repeatEnabled);
  EXPECT_FALSE(view.fileEnabled);
  form.Img_BGM_MouseDown(2);
  EXPECT_EQ(B::musicKind, 2);
  EXPECT_EQ(view.marks, (std::array<bool, 3>{false, false, true}));
  EXPECT_FALSE(view.repeatEnabled);
  EXPECT_TRUE(view.fileEnabled);
  form.Img_BGM_MouseDown(0);
  EXPECT_EQ(view.marks, (std::array<bool, 3>{true, false, false}));
  EXPECT_FALSE(view.repeatEnabled);
  EXPECT_FALSE(view.fileEnabled);
  // The file and the track stay as they were.
  EXPECT_EQ(view.repeat, "5");
  EXPECT_EQ(B::musicFile, "/home/u/old.mp3");
}

TEST_F(DialogTest, SaveWritesTheThreeKeysInOrderAndCloses) {
  load();
  form.lbl_BGM_MouseDown(1);
  view.repeat = "7";
  form.Cmd_Set_Click();
  using KV = std::pair<std::string, std::string>;
  EXPECT_EQ(settings.written, (std::vector<KV>{{kMusicKindKey, " 1"},
                                               {kRepeatTrackKey, " 7"},
                                               {kMusicFileKey, "/home/u/old.mp3"}}));
  EXPECT_EQ(B::cdRepeatTrack, 7);
  EXPECT_EQ(view.log, (std::vector<std::string>{"stop timer", "close"}));
  ASSERT_EQ(view.zooms.size(), 2u);
  EXPECT_EQ(view.zooms[1].first, *view.rect);
  EXPECT_EQ(view.zooms[1].second, (ScreenRect{300, 400, 300, 400}));
  EXPECT_TRUE(form.closed());
}

TEST_F(DialogTest, TrackTextConversion) {
  const std::pair<const char*, const char*> cases[] = {
      {"", " 0"},    {"7", " 7"},  {" 12 ", " 12"}, {"abc", " 0"},  {"7a", " 0"},   {"2.5", " 2"},
      {"3.5", " 4"}, {"-3", "-3"}, {"40000", " 0"}, {"1e1", " 10"}, {"&H1F", " 31"}};
  for (auto [text, stored] : cases) {
    RecordingView fresh;
    RecordingSettings written;
    Quorvane_P dialog({fresh, written, files, browser, pointer});
    dialog.Form_Load();
    fresh.repeat = text;
    dialog.Cmd_Set_Click();
    ASSERT_EQ(written.written.size(), 3u);
    EXPECT_EQ(written.written[1].second, stored) << '"' << text << '"';
  }
}

TEST_F(DialogTest, FileStaysStoredAfterChoosingNone) {
  load();
  files.answers.push_back("/music/new song.wav");
  form.Img_BGM_MouseDown(2);
  form.Cmd_File_Click();
  form.Img_BGM_MouseDown(0);
  form.Cmd_Set_Click();
  ASSERT_EQ(settings.written.size(), 3u);
  EXPECT_EQ(settings.written[0].second, " 0");
  EXPECT_EQ(settings.written[2].second, "/music/new song.wav");
}

TEST_F(DialogTest, FileDialogFollowsTheLastFile) {
  load();
  files.answers.push_back("/music/a/b.mp3");
  files.answers.push_back(std::nullopt);
  form.Cmd_File_Click();
  ASSERT_EQ(files.requests.size(), 1u);
  const FileChooserRequest& first = files.requests[0];
  EXPECT_EQ(first.title, "ﾌｧｲﾙを開く");
  EXPECT_EQ(first.filterName, "BGMﾌｧｲﾙ (MP3 WAV)");
  EXPECT_EQ(first.patterns, (std::vector<std::string>{"*.MP3", "*.WAV"}));
  EXPECT_EQ(first.initialFolder, "/home/u");
  EXPECT_EQ(B::musicFile, "/music/a/b.mp3");
  EXPECT_EQ(view.fileCaption, "/music/a/b.mp3");
  EXPECT_EQ(B::lastApiResult, 1);
  EXPECT_EQ(B::musicKind, 0);

  form.Cmd_File_Click();  // cancelled
  EXPECT_EQ(files.requests[1].initialFolder, "/music/a");
  EXPECT_EQ(B::musicFile, "/music/a/b.mp3");
  EXPECT_EQ(B::musicFolder, "/music/a");
  EXPECT_EQ(B::lastApiResult, 0);
}

TEST_F(DialogTest, PathsTheSettingsFileCannotHoldAreRefused) {
  load();
  const std::string longest = "/" + std::string(250, 'x') + ".mp3";  // 255 bytes
  ASSERT_EQ(longest.size(), 255u);
  for (const std::string& bad : {longest, std::string("/m/a\nb.mp3"), std::string("/m/a\rb.wav")}) {
    files.answers.push_back(bad);
    form.Cmd_File_Click();
    EXPECT_EQ(B::musicFile, "/home/u/old.mp3");
    EXPECT_EQ(B::musicFolder, "/home/u");
    EXPECT_EQ(view.fileCaption, "/home/u/old.mp3");
    EXPECT_EQ(B::lastApiResult, 0);
  }
  const std::string fits = longest.substr(1);
  files.answers.push_back(fits);
  form.Cmd_File_Click();
  EXPECT_EQ(B::musicFile, fits);
}

TEST_F(DialogTest, AnimationCycleOf49Ticks) {
  load();
  std::vector<int> counters;
  for (int tick = 0; tick < 50; ++tick) {
    form.Timer1_Timer();
    counters.push_back(form.animationCounter());
  }
  for (int i = 0; i < 48; ++i) EXPECT_EQ(counters[i], i + 1);
  EXPECT_EQ(counters[48], 0);
  EXPECT_EQ(counters[49], 1);
  ASSERT_EQ(view.log.size(), 2u * 48 + 2);
  EXPECT_EQ(view.log[0], "show 0:1");
  EXPECT_EQ(view.log[1], "clear 1");
  EXPECT_EQ(view.log[46], "show 0:24");
  EXPECT_EQ(view.log[48], "clear 0");
  EXPECT_EQ(view.log[49], "show 1:1");
  EXPECT_EQ(view.log[95], "show 1:24");
  EXPECT_EQ(view.log[96], "show 0:1");  // tick 49 drew nothing
}

TEST_F(DialogTest, OpeningZoomStartsAtThePointer) {
  load();
  ASSERT_EQ(view.zooms.size(), 1u);
  EXPECT_EQ(view.zooms[0].first, (ScreenRect{300, 400, 300, 400}));
  EXPECT_EQ(view.zooms[0].second, *view.rect);
  EXPECT_EQ(B::lastApiResult, 1);

  RecordingView fresh;
  fresh.rect.reset();
  pointer.point.reset();
  Quorvane_P blind({fresh, settings, files, browser, pointer});
  blind.Form_Load();
  EXPECT_EQ(blind.animationPointX(), 0);
  EXPECT_EQ(blind.animationPointY(), 0);
  EXPECT_EQ(B::lastApiResult, 0);
  EXPECT_TRUE(fresh.zooms.empty());
}

TEST_F(DialogTest, CancelAndCloseBoxWriteNothingAndCloseOnce) {
  load();
  form.lbl_BGM_MouseDown(2);
  form.Cmd_Can_Click();
  form.closeDialog();
  EXPECT_TRUE(settings.written.empty());
  EXPECT_EQ(view.log, (std::vector<std::string>{"stop timer", "close"}));
}

TEST_F(DialogTest, HomePageOpensUnderTheHourglass) {
  load();
  view.busyPointer.clear();
  form.Pic_m_Click(1);
  EXPECT_EQ(browser.opened, std::vector<std::string>{"https://example.org/pellarin/"});
  EXPECT_EQ(view.busyPointer, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace pellarin
