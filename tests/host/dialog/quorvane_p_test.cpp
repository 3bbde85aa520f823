#include "host/dialog/quorvane_p.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/system_names.h"
#include "host/core/path_separators.h"
#include "host/core/quorvane_b.h"
#include "host/core/screen_metrics.h"
#include "host/dialog/documentation.h"
#include "tests/common/temp_folder.h"

namespace pellarin {
namespace {

namespace B = Quorvane_B;

// Every seam of the dialog in one recording double; the screen's size is the one the start-up
// measures, so the dialog and the start-up agree on the one size type.
class Fakes final : public ScreenMetrics,
                    public DialogView,
                    public SettingsWriter,
                    public FileChooser,
                    public BrowserOpener,
                    public PointerPosition {
 public:
  ScreenSize primaryScreenSize() override { return {1024, 768}; }
  ScreenSize screenSize() override { return primaryScreenSize(); }
  ScreenSize windowSize() override { return {503, 296}; }
  void moveWindow(int left, int top) override { moved = ScreenPoint{left, top}; }
  std::optional<ScreenRect> windowRect() override { return rect; }
  bool animationsEnabled() override { return animations; }
  void zoomWindow(const ScreenRect& from, const ScreenRect& to) override {
    zooms.emplace_back(from, to);
  }
  void setBusyPointer(bool busy) override { log.push_back(busy ? "busy" : "default pointer"); }
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
  void writeSetting(std::string_view key, std::string_view value) override {
    written.emplace_back(std::string(key), std::string(value));
  }
  std::optional<std::string> chooseFile(const FileChooserRequest& request) override {
    folders.push_back(request.initialFolder);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool openDocument(const std::filesystem::path& file) override {
    log.push_back("open " + file.string());
    return true;
  }
  std::optional<ScreenPoint> pointerPosition() override { return pointer; }

  Quorvane_P::Services services() { return {*this, *this, *this, *this, *this, programFolder}; }

  std::filesystem::path programFolder = "/nowhere/lib/pellarin";
  bool animations = true;
  std::optional<ScreenPoint> moved;
  std::optional<ScreenRect> rect = ScreenRect{260, 236, 763, 532};
  std::vector<std::pair<ScreenRect, ScreenRect>> zooms;
  std::array<bool, 3> marks{true, true, true};
  bool repeatEnabled = true, fileEnabled = true;
  std::string repeat = "unset", fileCaption = "unset";
  std::vector<std::string> entries, log, folders;
  std::vector<std::pair<std::string, std::string>> written;
  std::deque<std::optional<std::string>> answers;
  std::optional<ScreenPoint> pointer = ScreenPoint{300, 400};
};

using Marks = std::array<bool, 3>;

class DialogTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    B::musicKind = 0;
    B::cdRepeatTrack = 0;
    B::musicFile = "/home/u/old.mp3";
    B::musicFolder = "/home/u";
    B::lastApiResult = -7;
    form.Form_Load();
    f.log.clear();
  }

  Fakes f;
  Quorvane_P form{f.services()};
};

// Marks and enabled controls per stored kind are in the table below.
TEST_F(DialogTest, LoadShowsTheStoredChoiceAndZoomsFromThePointer) {
  // The outer size centred across the screen, a third of the free height above it.
  EXPECT_EQ(f.moved, (ScreenPoint{(1024 - 503) / 2, (768 - 296) / 3}));
  EXPECT_EQ(f.repeat, "");              // track 0: an empty box
  std::vector<std::string> tracks{""};  // no track, then 1 to 30
  for (int track = 1; track <= 30; ++track) tracks.push_back(std::to_string(track));
  EXPECT_EQ(f.entries, tracks);
  EXPECT_EQ(f.fileCaption, "/home/u/old.mp3");
  EXPECT_EQ(f.zooms, (std::vector{std::pair(ScreenRect{300, 400, 300, 400}, *f.rect)}));
}

TEST_F(DialogTest, NoZoomWhenTheDesktopHasAnimationsOffOrTheWindowCannotBeFound) {
  // Whether animations are on, whether the window's rectangle is known, and the zooms drawn
  // on opening and closing.
  const std::tuple<bool, bool, std::size_t> cases[] = {
      {true, true, 2}, {false, true, 0}, {true, false, 0}};
  for (const auto& [animations, known, zooms] : cases) {
    SCOPED_TRACE(::testing::Message() << animations << known);
    Fakes fresh;
    fresh.animations = animations;
    if (!known) fresh.rect.reset();
    Quorvane_P dialog(fresh.services());
    dialog.Form_Load();
    dialog.Cmd_Can_Click();
    EXPECT_EQ(fresh.zooms.size(), zooms);
    EXPECT_TRUE(dialog.closed());
  }
}

TEST_F(DialogTest, EachKindShowsOneMarkAndEnablesItsOwnControl) {
  // The kind, its marks, and whether the track box and the file button are enabled.
  const std::tuple<std::int16_t, Marks, bool, bool> cases[] = {
      {1, {false, true, false}, true, false},
      {2, {false, false, true}, false, true},
      {0, {true, false, false}, false, false},
      {3, {false, false, false}, false, false}};
  f.repeat = "5";
  for (const auto& [kind, marks, repeatOn, fileOn] : cases) {
    SCOPED_TRACE(kind);
    // As loaded from the stored kind.
    Fakes fresh;
    Quorvane_P dialog(fresh.services());
    B::musicKind = kind;
    B::cdRepeatTrack = 12;
    dialog.Form_Load();
    EXPECT_EQ(fresh.marks, marks);
    EXPECT_EQ(fresh.repeatEnabled, repeatOn);
    EXPECT_EQ(fresh.fileEnabled, fileOn);
    EXPECT_EQ(fresh.repeat, "12");
    if (kind > 2) continue;
    // As chosen by a click on the label or the mark of an open dialog.
    B::musicKind = -5;
    kind == 1 ? form.lbl_BGM_MouseDown(kind) : form.Img_BGM_MouseDown(kind);
    EXPECT_EQ(B::musicKind, kind);
    EXPECT_EQ(f.marks, marks);
    EXPECT_EQ(f.repeatEnabled, repeatOn);
    EXPECT_EQ(f.fileEnabled, fileOn);
  }
  // Choosing a kind leaves the track and the file as they were.
  EXPECT_EQ(f.repeat, "5");
  EXPECT_EQ(B::musicFile, "/home/u/old.mp3");
}

TEST_F(DialogTest, SaveWritesTheThreeKeysInOrderAndCloses) {
  form.lbl_BGM_MouseDown(1);
  f.repeat = "7";
  form.Cmd_Set_Click();
  using KV = std::pair<std::string, std::string>;
  EXPECT_EQ(f.written, (std::vector<KV>{{kMusicKindKey, " 1"},
                                        {kRepeatTrackKey, " 7"},
                                        {kMusicFileKey, "/home/u/old.mp3"}}));
  EXPECT_EQ(B::cdRepeatTrack, 7);
  EXPECT_EQ(f.log, (std::vector<std::string>{"stop timer", "close"}));
  ASSERT_EQ(f.zooms.size(), 2u);
  EXPECT_EQ(f.zooms[1], std::pair(*f.rect, ScreenRect{300, 400, 300, 400}));
  EXPECT_TRUE(form.closed());
}

TEST_F(DialogTest, TrackTextConversion) {
  const std::pair<const char*, const char*> cases[] = {
      {"", " 0"}, {" 12 ", " 12"}, {"7a", " 0"}, {"2.5", " 2"}, {"3.5", " 4"}, {"40000", " 0"}};
  for (auto [text, stored] : cases) {
    Fakes fresh;
    Quorvane_P dialog(fresh.services());
    dialog.Form_Load();
    fresh.repeat = text;
    dialog.Cmd_Set_Click();
    ASSERT_EQ(fresh.written.size(), 3u);
    EXPECT_EQ(fresh.written[1].second, stored) << '"' << text << '"';
  }
}

TEST_F(DialogTest, ChosenFileIsKeptWithKindNoneAndItsFolderReused) {
  // The platform's own separators, at which the folder is split off.
  std::string chosen = "/music/a/new song.wav";
  std::replace(chosen.begin(), chosen.end(), '/', kFolderSeparator);
  f.answers = {chosen, std::nullopt};
  form.Cmd_File_Click();
  EXPECT_EQ(B::musicFile, chosen);
  EXPECT_EQ(f.fileCaption, chosen);
  EXPECT_EQ(B::lastApiResult, 1);
  EXPECT_EQ(B::musicKind, 0);  // choosing a file does not choose the kind
  form.Cmd_File_Click();       // cancelled
  EXPECT_EQ(f.folders, (std::vector<std::string>{"/home/u", chosen.substr(0, 8)}));
  EXPECT_EQ(B::musicFile, chosen);
  EXPECT_EQ(B::lastApiResult, 0);
  form.Cmd_Set_Click();
  ASSERT_EQ(f.written.size(), 3u);
  EXPECT_EQ(f.written[0].second, " 0");
  EXPECT_EQ(f.written[2].second, chosen);
}

TEST_F(DialogTest, PathsTheSettingsFileCannotHoldAreRefused) {
  const std::string longest = "/" + std::string(250, 'x') + ".mp3";  // 255 bytes
  for (const std::string& bad : {longest, std::string("/m/a\nb.mp3")}) {
    f.answers.push_back(bad);
    form.Cmd_File_Click();
    EXPECT_EQ(B::musicFile, "/home/u/old.mp3");
    EXPECT_EQ(f.fileCaption, "/home/u/old.mp3");
    EXPECT_EQ(B::lastApiResult, 0);
  }
  f.answers.push_back(longest.substr(1));
  form.Cmd_File_Click();
  EXPECT_EQ(B::musicFile, longest.substr(1));
}

TEST_F(DialogTest, AnimationCycleOf49Ticks) {
  for (int tick = 1; tick <= 50; ++tick) {
    form.Timer1_Timer();
    EXPECT_EQ(form.animationCounter(), tick % 49) << tick;
  }
  ASSERT_EQ(f.log.size(), 2u * 48 + 2);
  EXPECT_EQ(f.log[0], "show 0:1");
  EXPECT_EQ(f.log[1], "clear 1");
  EXPECT_EQ(f.log[46], "show 0:24");
  EXPECT_EQ(f.log[48], "clear 0");
  EXPECT_EQ(f.log[49], "show 1:1");
  EXPECT_EQ(f.log[95], "show 1:24");
  EXPECT_EQ(f.log[96], "show 0:1");  // tick 49 drew nothing
}

TEST_F(DialogTest, AnAnimationBoxOpensTheReadmeUnderTheBusyPointerOrDoesNothing) {
  f.programFolder = folder_ / "build" / "bin";
  Quorvane_P dialog(f.services());
  dialog.Pic_m_Click(1);
  EXPECT_EQ(f.log, std::vector<std::string>{});

  // The farthest of the platform's places: the nearer ones hold nothing.
  const std::filesystem::path readme = readmePlaces(f.programFolder).back();
  std::filesystem::create_directories(readme.parent_path());
  put(readme, "# Pellarin\n");
  dialog.Pic_m_Click(0);
  EXPECT_EQ(f.log,
            (std::vector<std::string>{"busy", "open " + readme.string(), "default pointer"}));
}

}  // namespace
}  // namespace pellarin
