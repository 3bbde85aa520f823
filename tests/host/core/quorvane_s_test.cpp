#include "host/core/quorvane_s.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "common/system_names.h"
#include "host/core/host_texts.h"
#include "host/core/quorvane_b.h"
#include "host_test_support.h"
#include "libs/pellarin1/bitmap_reader.h"

namespace pellarin {
namespace {

using Log = std::vector<std::string>;

struct FakeTimer final : Timer {
  explicit FakeTimer(std::function<void()> onTick) : tick(std::move(onTick)) {}
  void setEnabled(bool enabled) override { on = enabled; }
  bool enabled() const override { return on; }
  void fire() {  // as the event loop would: only while enabled
    if (on) tick();
  }
  std::function<void()> tick;
  bool on = false;
};

// Every seam of run mode in one double that logs each call in order.
struct FakeSeams final : WindowFinder,
                         PointerControl,
                         PictureConverter,
                         ProcessLauncher,
                         MusicPlayer,
                         TimerService,
                         ProgramEnd {
  bool windowWithTitleExists(std::string_view title) override {
    log.push_back("find " + std::string(title));
    return rendererWindow;
  }
  std::int32_t showCursor(bool show) override {
    log.push_back(show ? "showCursor true" : "showCursor false");
    return show ? 0 : -1;
  }
  // Records the conversion and what the bitmap held at that moment.
  bool convertBmpToJpg(const std::filesystem::path& bitmap,
                       const std::filesystem::path& jpeg) override {
    log.push_back("convert " + bitmap.filename().string() + " " + jpeg.string());
    const std::string bytes = testing::readFile(bitmap);
    decoded =
        decodeBitmap(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return true;
  }
  bool start(const std::filesystem::path& program) override {
    log.push_back("start " + program.string());
    return startWorks;
  }
  bool startedProcessRunning() override { return running; }
  void openCdAudio() override { log.push_back("openCdAudio"); }
  void pollCdAudio() override { log.push_back("pollCdAudio"); }
  bool cdPollActive() override { return pollActive; }
  void stopCdAudio() override { log.push_back("stopCdAudio"); }
  void startMp3() override { log.push_back("startMp3"); }
  void repeatMp3() override { log.push_back("repeatMp3"); }
  void stopMp3() override { log.push_back("stopMp3"); }
  void startWav() override { log.push_back("startWav"); }
  void stopWav() override { log.push_back("stopWav"); }
  std::unique_ptr<Timer> createTimer(std::chrono::milliseconds interval,
                                     std::function<void()> tick) override {
    auto timer = std::make_unique<FakeTimer>(std::move(tick));
    byInterval[interval.count()] = timer.get();
    return timer;
  }
  void endProgram() override { log.push_back("end"); }

  Log log;
  std::optional<DecodedBitmap> decoded;
  std::map<long, FakeTimer*> byInterval;
  bool rendererWindow = false, startWorks = true, running = false, pollActive = true;
};

std::vector<std::uint8_t> solid(int pixels, std::array<std::uint8_t, 3> rgb) {
  std::vector<std::uint8_t> bytes;
  while (pixels-- > 0) bytes.insert(bytes.end(), rgb.begin(), rgb.end());
  return bytes;
}

class RunModeTest : public testing::IsolatedHostTest {
 protected:
  void SetUp() override {
    IsolatedHostTest::SetUp();
    programFolder_ = root() / "program";
    std::filesystem::create_directories(programFolder_);
  }

  // A fresh form and doubles, loaded with a random number that picks `index`; the log then
  // holds only what comes after the load.
  void loadForm(int index = 0, bool pointerHidden = true, double random = -1) {
    form_.reset();
    fake_ = setup_;
    random_ = random >= 0 ? random : (index + 0.5) / 3.0;
    FakeSeams& f = fake_;
    services_ = std::make_unique<RunModeServices>(
        RunModeServices{f, f, f, f, f, f, f, programFolder_, root() / "work" / "Pellarin.dat",
                        [this] { return random_; }});
    form_ = std::make_unique<Quorvane_S>(
        *services_,
        std::array<PictureView, 3>{PictureView{4, 2, pictures_[0]}, PictureView{3, 3, pictures_[1]},
                                   PictureView{1, 5, pictures_[2]}},
        pointerHidden);
    form_->load();
    loadLog_ = fake_.log;
    fake_.log.clear();
  }
  FakeTimer& mp3Timer() { return *fake_.byInterval.at(1000); }
  FakeTimer& cdTimer() { return *fake_.byInterval.at(200); }
  FakeTimer& watchTimer() { return *fake_.byInterval.at(500); }
  std::string renderer() const { return "start " + (programFolder_ / kRendererFileName).string(); }

  std::array<std::vector<std::uint8_t>, 3> pictures_ = {
      solid(8, {255, 0, 0}), solid(9, {0, 255, 0}), solid(5, {0, 0, 255})};
  std::filesystem::path programFolder_;
  double random_ = 0;
  FakeSeams setup_, fake_;  // fake_ starts as a copy of setup_ at each load
  std::unique_ptr<RunModeServices> services_;
  std::unique_ptr<Quorvane_S> form_;
  Log loadLog_;
};

TEST_F(RunModeTest, HandsThePictureOverBeforeTheRendererStartsAndTheMusicBegins) {
  Quorvane_B::musicKind = 1;
  loadForm(1);
  EXPECT_EQ(loadLog_, (Log{"convert Dumy.bmp " + (root() / "work" / "Pellarin.dat").string(),
                           renderer(), "openCdAudio"}));
  ASSERT_TRUE(fake_.decoded.has_value());
  EXPECT_EQ(std::pair(fake_.decoded->width, fake_.decoded->height), std::pair(3, 3));
  EXPECT_EQ(fake_.decoded->rgb, pictures_[1]);
  EXPECT_FALSE(std::filesystem::exists(programFolder_ / kTemporaryBitmapName));
  EXPECT_TRUE(watchTimer().enabled());

  // The random number picks each picture in thirds.
  for (const auto& [number, index] :
       {std::pair{0.3333, 0}, {0.3334, 1}, {0.6667, 2}, {0.99999, 2}}) {
    loadForm(0, true, number);
    EXPECT_EQ(form_->chosenPicture(), index) << number;
    EXPECT_EQ(fake_.decoded->rgb, pictures_[static_cast<std::size_t>(index)]) << number;
  }

  // Without a writable program folder the renderer still starts.
  std::filesystem::remove_all(programFolder_);
  Quorvane_B::musicKind = 0;
  loadForm();
  EXPECT_FALSE(fake_.decoded.has_value());
  EXPECT_EQ(loadLog_.back(), renderer());
}

TEST_F(RunModeTest, MusicFollowsTheKindAndTheFileEndingInAnyCase) {
  // Kind, file, what starts after the renderer and what stops first at unload ("" for nothing).
  const std::tuple<std::int16_t, const char*, std::string, std::string> cases[] = {
      {2, "/m/a.Wav", "startWav", "stopWav"},
      {2, "/m/song.Mp3", "startMp3", "stopMp3"},
      {1, "", "openCdAudio", "stopCdAudio"},
      {2, "/m/a.ogg", "", ""},
      {2, "/m/a.wave", "", ""},
      {2, "/m/a.MID", "", ""},
      {2, "", "", ""},
      {0, "/m/a.mp3", "", ""},
      {3, "/m/a.wav", "", ""}};
  for (const auto& [kind, file, started, stopped] : cases) {
    SCOPED_TRACE(std::to_string(kind) + ' ' + file);
    Quorvane_B::musicKind = kind;
    Quorvane_B::musicFile = file;
    loadForm();
    EXPECT_EQ(loadLog_.back(), started.empty() ? renderer() : started);
    EXPECT_EQ(mp3Timer().enabled(), started == "startMp3");
    EXPECT_EQ(cdTimer().enabled(), kind == 1);
    form_->requestUnload();
    Log unload{"showCursor true", "end"};
    if (!stopped.empty()) unload.insert(unload.begin(), stopped);
    EXPECT_EQ(fake_.log, unload);
    EXPECT_FALSE(mp3Timer().enabled() || cdTimer().enabled() || watchTimer().enabled());
  }
}

TEST_F(RunModeTest, Mp3RepeatsEverySecondAndCdPollsUntilThePollStops) {
  Quorvane_B::musicKind = 2;
  Quorvane_B::musicFile = "/m/song.mp3";
  loadForm();
  mp3Timer().fire();
  mp3Timer().fire();
  EXPECT_EQ(fake_.log, (Log{"repeatMp3", "repeatMp3"}));

  Quorvane_B::musicKind = 1;
  loadForm();
  cdTimer().fire();
  EXPECT_TRUE(cdTimer().enabled());
  fake_.pollActive = false;
  cdTimer().fire();
  cdTimer().fire();  // off for good: no more polls
  EXPECT_EQ(fake_.log, (Log{"pollCdAudio", "pollCdAudio"}));
  fake_.log.clear();
  form_->requestUnload();  // a poll that switched itself off leaves the CD device alone
  EXPECT_EQ(fake_.log, (Log{"showCursor true", "end"}));
}

TEST_F(RunModeTest, ThePointerIsShownAgainOnlyWhenTheStartHidIt) {
  for (const std::int32_t hideResult : {-1, 0}) {  // shown whatever hiding returned
    Quorvane_B::cursorHideResult = hideResult;
    loadForm(0, true);
    form_->requestUnload();
    EXPECT_EQ(fake_.log, (Log{"showCursor true", "end"}));
    EXPECT_EQ(Quorvane_B::cursorHideResult, 0);
  }
  Quorvane_B::cursorHideResult = -1;
  loadForm(0, false);
  form_->requestUnload();
  form_->requestUnload();  // a second request (a signal during the end) does nothing
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"end"}));
  EXPECT_EQ(Quorvane_B::cursorHideResult, -1);
}

TEST_F(RunModeTest, TheWatchEndsRunModeOnceTheRendererWindowIsGone) {
  Quorvane_B::musicKind = 2;
  Quorvane_B::musicFile = "/m/a.mp3";
  loadForm();
  fake_.running = true;
  // A renderer still starting gets kRendererStartTicks looks to open its window.
  for (int tick = 1; tick < Quorvane_S::kRendererStartTicks; ++tick) watchTimer().fire();
  fake_.rendererWindow = true;
  watchTimer().fire();
  watchTimer().fire();
  EXPECT_EQ(std::count(fake_.log.begin(), fake_.log.end(), "end"), 0);
  fake_.rendererWindow = false;  // a window seen and gone ends at once, running or not
  fake_.log.clear();
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC", "stopMp3", "showCursor true", "end"}));
  EXPECT_FALSE(watchTimer().enabled());

  loadForm();  // a renderer that never shows a window is given up on
  fake_.running = true;
  for (int tick = 0; tick < Quorvane_S::kRendererStartTicks; ++tick) watchTimer().fire();
  EXPECT_EQ(fake_.log.back(), "end");

  setup_.startWorks = false;  // one that never started ends the watch at the first look
  loadForm();
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC", "stopMp3", "showCursor true", "end"}));
}

}  // namespace
}  // namespace pellarin
