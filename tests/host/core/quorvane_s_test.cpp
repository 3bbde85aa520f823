#include "host/core/quorvane_s.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/system_names.h"
#include "host/core/host_texts.h"
#include "host/core/quorvane_b.h"
#include "host_test_support.h"
#include "libs/pellarin1/bitmap_reader.h"

namespace pellarin {
namespace {

using testing::readFile;
using Log = std::vector<std::string>;

class FakeWindows final : public WindowFinder {
 public:
  explicit FakeWindows(Log& log) : log_(log) {}
  bool windowWithTitleExists(std::string_view title) override {
    log_.push_back("find " + std::string(title));
    return rendererWindow;
  }
  bool rendererWindow = false;

 private:
  Log& log_;
};

class FakePointer final : public PointerControl {
 public:
  explicit FakePointer(Log& log) : log_(log) {}
  std::int32_t showCursor(bool show) override {
    log_.push_back(show ? "showCursor true" : "showCursor false");
    return show ? 0 : -1;
  }

 private:
  Log& log_;
};

// Records the conversion and what the bitmap held at that moment.
class FakeConverter final : public PictureConverter {
 public:
  explicit FakeConverter(Log& log) : log_(log) {}
  bool convertBmpToJpg(const std::filesystem::path& bitmap,
                       const std::filesystem::path& jpeg) override {
    log_.push_back("convert " + bitmap.filename().string() + " " + jpeg.string());
    const std::string bytes = readFile(bitmap);
    decoded =
        decodeBitmap(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return true;
  }
  std::optional<DecodedBitmap> decoded;

 private:
  Log& log_;
};

class FakeLauncher final : public ProcessLauncher {
 public:
  explicit FakeLauncher(Log& log) : log_(log) {}
  bool start(const std::filesystem::path& program) override {
    log_.push_back("start " + program.string());
    return startWorks;
  }
  bool startedProcessRunning() override { return running; }
  bool startWorks = true;
  bool running = false;

 private:
  Log& log_;
};

class FakeMusic final : public MusicPlayer {
 public:
  explicit FakeMusic(Log& log) : log_(log) {}
  void openCdAudio() override { log_.push_back("openCdAudio"); }
  void pollCdAudio() override { log_.push_back("pollCdAudio"); }
  bool cdPollActive() override { return pollActive; }
  void stopCdAudio() override { log_.push_back("stopCdAudio"); }
  void startMp3() override { log_.push_back("startMp3"); }
  void repeatMp3() override { log_.push_back("repeatMp3"); }
  void stopMp3() override { log_.push_back("stopMp3"); }
  void startWav() override { log_.push_back("startWav"); }
  void stopWav() override { log_.push_back("stopWav"); }
  bool pollActive = true;

 private:
  Log& log_;
};

class FakeTimer final : public Timer {
 public:
  explicit FakeTimer(std::function<void()> tick) : tick_(std::move(tick)) {}
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool enabled() const override { return enabled_; }
  // Fires like the event loop would: only while enabled.
  void fire() {
    if (enabled_) tick_();
  }

 private:
  std::function<void()> tick_;
  bool enabled_ = false;
};

class FakeTimers final : public TimerService {
 public:
  std::unique_ptr<Timer> createTimer(std::chrono::milliseconds interval,
                                     std::function<void()> tick) override {
    auto timer = std::make_unique<FakeTimer>(std::move(tick));
    byInterval[interval.count()] = timer.get();
    return timer;
  }
  std::map<long, FakeTimer*> byInterval;
};

class FakeEnd final : public ProgramEnd {
 public:
  explicit FakeEnd(Log& log) : log_(log) {}
  void endProgram() override { log_.push_back("end"); }

 private:
  Log& log_;
};

std::vector<std::uint8_t> solid(int width, int height, std::uint8_t r, std::uint8_t g,
                                std::uint8_t b) {
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {r, g, b});
  return pixels;
}

class RunModeTest : public testing::IsolatedHostTest {
 protected:
  void SetUp() override {
    IsolatedHostTest::SetUp();
    programFolder_ = root() / "program";
    std::filesystem::create_directories(programFolder_);
    Quorvane_B::cursorHideResult = -1;  // as "/S" leaves it
  }

  // Makes the form with a random number that picks `index`.
  void makeForm(int index, bool pointerHidden = true) {
    random_ = (index + 0.5) / 3.0;
    services_ = std::make_unique<RunModeServices>(RunModeServices{
        windows_, pointer_, converter_, launcher_, music_, timers_, end_, programFolder_,
        root() / "work" / "Pellarin.dat", [this] { return random_; }});
    form_ = std::make_unique<Quorvane_S>(
        *services_,
        std::array<PictureView, 3>{PictureView{4, 2, pictures_[0]}, PictureView{3, 3, pictures_[1]},
                                   PictureView{1, 5, pictures_[2]}},
        pointerHidden);
  }
  FakeTimer& timer1() { return *timers_.byInterval.at(1000); }
  FakeTimer& timer2() { return *timers_.byInterval.at(200); }
  FakeTimer& timer3() { return *timers_.byInterval.at(500); }
  std::string renderer() const { return (programFolder_ / kRendererFileName).string(); }

  std::array<std::vector<std::uint8_t>, 3> pictures_ = {
      solid(4, 2, 255, 0, 0), solid(3, 3, 0, 255, 0), solid(1, 5, 0, 0, 255)};
  std::filesystem::path programFolder_;
  double random_ = 0;
  Log log_;
  FakeWindows windows_{log_};
  FakePointer pointer_{log_};
  FakeConverter converter_{log_};
  FakeLauncher launcher_{log_};
  FakeMusic music_{log_};
  FakeTimers timers_;
  FakeEnd end_{log_};
  std::unique_ptr<RunModeServices> services_;
  std::unique_ptr<Quorvane_S> form_;
};

TEST_F(RunModeTest, HandsThePictureOverBeforeTheRendererStartsAndTheMusicBegins) {
  Quorvane_B::musicKind = 1;
  makeForm(1);
  form_->load();
  EXPECT_EQ(log_, (Log{"convert Dumy.bmp " + (root() / "work" / "Pellarin.dat").string(),
                       "start " + renderer(), "openCdAudio"}));
  ASSERT_TRUE(converter_.decoded.has_value());
  EXPECT_EQ(converter_.decoded->width, 3);
  EXPECT_EQ(converter_.decoded->height, 3);
  EXPECT_EQ(converter_.decoded->rgb, pictures_[1]);
  EXPECT_FALSE(std::filesystem::exists(programFolder_ / kTemporaryBitmapName));
  EXPECT_TRUE(timer3().enabled());
  EXPECT_TRUE(timer2().enabled());
  EXPECT_FALSE(timer1().enabled());
}

TEST_F(RunModeTest, TheRandomNumberPicksEachPictureInThirds) {
  const std::pair<double, int> cases[] = {{0.0, 0},    {0.3333, 0}, {0.3334, 1},
                                          {0.6666, 1}, {0.6667, 2}, {0.99999, 2}};
  for (const auto& [number, index] : cases) {
    makeForm(0);
    random_ = number;
    form_->load();
    EXPECT_EQ(form_->chosenPicture(), index) << number;
    ASSERT_TRUE(converter_.decoded.has_value());
    EXPECT_EQ(converter_.decoded->rgb, pictures_[static_cast<std::size_t>(index)]);
  }
}

TEST_F(RunModeTest, AnUnwritableProgramFolderStillStartsTheRenderer) {
  std::filesystem::remove_all(programFolder_);
  makeForm(0);
  form_->load();
  EXPECT_FALSE(converter_.decoded.has_value());
  EXPECT_EQ(log_.back(), "start " + renderer());
}

TEST_F(RunModeTest, WavInAnyCaseUsesOnlyTheWavOperations) {
  Quorvane_B::musicKind = 2;
  for (const char* file : {"/m/a.wav", "/m/a.WAV", "/m/a.Wav"}) {
    log_.clear();
    Quorvane_B::musicFile = file;
    makeForm(0);
    form_->load();
    EXPECT_EQ(log_.back(), "startWav") << file;
    EXPECT_FALSE(timer1().enabled());
    EXPECT_FALSE(timer2().enabled());
    log_.clear();
    form_->requestUnload();
    EXPECT_EQ(log_, (Log{"stopWav", "showCursor true", "end"})) << file;
  }
}

TEST_F(RunModeTest, Mp3RepeatsEverySecondAndStopsAtUnload) {
  Quorvane_B::musicKind = 2;
  Quorvane_B::musicFile = "/m/song.Mp3";
  makeForm(2);
  form_->load();
  EXPECT_EQ(log_.back(), "startMp3");
  ASSERT_TRUE(timer1().enabled());
  log_.clear();
  timer1().fire();
  timer1().fire();
  EXPECT_EQ(log_, (Log{"repeatMp3", "repeatMp3"}));
  log_.clear();
  form_->requestUnload();
  EXPECT_EQ(log_, (Log{"stopMp3", "showCursor true", "end"}));
  EXPECT_FALSE(timer1().enabled());
}

TEST_F(RunModeTest, OtherEndingsAndKindsPlayNothingAndStopNothing) {
  const std::pair<std::int16_t, const char*> cases[] = {
      {2, "/m/a.ogg"}, {2, "/m/a.wave"}, {2, "/m/a.mid"}, {2, ""},
      {0, "/m/a.mp3"}, {3, "/m/a.wav"},  {-1, "/m/a.mp3"}};
  for (const auto& [kind, file] : cases) {
    Quorvane_B::musicKind = kind;
    Quorvane_B::musicFile = file;
    log_.clear();
    makeForm(0);
    form_->load();
    EXPECT_EQ(log_.back(), "start " + renderer()) << kind << ' ' << file;
    EXPECT_FALSE(timer1().enabled());
    EXPECT_FALSE(timer2().enabled());
    log_.clear();
    form_->requestUnload();
    EXPECT_EQ(log_, (Log{"showCursor true", "end"})) << kind << ' ' << file;
  }
}

TEST_F(RunModeTest, CdPollingCopiesThePollFlagIntoItsTimer) {
  Quorvane_B::musicKind = 1;
  makeForm(0);
  form_->load();
  log_.clear();
  timer2().fire();
  EXPECT_TRUE(timer2().enabled());
  music_.pollActive = false;
  timer2().fire();
  EXPECT_FALSE(timer2().enabled());
  timer2().fire();  // off for good: no more polls
  EXPECT_EQ(log_, (Log{"pollCdAudio", "pollCdAudio"}));
  log_.clear();
  form_->requestUnload();
  // A poll that switched itself off leaves the CD device alone.
  EXPECT_EQ(log_, (Log{"showCursor true", "end"}));
}

TEST_F(RunModeTest, UnloadStopsTheCdThenShowsThePointerThenEnds) {
  Quorvane_B::musicKind = 1;
  makeForm(0);
  form_->load();
  log_.clear();
  form_->requestUnload();
  EXPECT_EQ(log_, (Log{"stopCdAudio", "showCursor true", "end"}));
  EXPECT_FALSE(timer2().enabled());
  EXPECT_FALSE(timer3().enabled());
  log_.clear();
  form_->requestUnload();  // a second request (a signal during the end) does nothing
  timer3().fire();
  EXPECT_TRUE(log_.empty());
}

TEST_F(RunModeTest, ThePointerIsShownAgainOnlyWhenTheStartHidIt) {
  Quorvane_B::cursorHideResult = -1;
  makeForm(0, false);
  form_->load();
  log_.clear();
  form_->requestUnload();
  EXPECT_EQ(log_, (Log{"end"}));
  EXPECT_EQ(Quorvane_B::cursorHideResult, -1);

  makeForm(0, true);
  form_->load();
  log_.clear();
  form_->requestUnload();
  EXPECT_EQ(log_, (Log{"showCursor true", "end"}));
  EXPECT_EQ(Quorvane_B::cursorHideResult, 0);

  // Shown whatever the hiding call returned.
  Quorvane_B::cursorHideResult = 0;
  makeForm(0, true);
  form_->load();
  log_.clear();
  form_->requestUnload();
  EXPECT_EQ(log_, (Log{"showCursor true", "end"}));
}

TEST_F(RunModeTest, TheWatchEndsAtTheFirstLookWithoutTheRendererWindow) {
  Quorvane_B::musicKind = 2;
  Quorvane_B::musicFile = "/m/a.mp3";
  makeForm(0);
  form_->load();
  windows_.rendererWindow = true;
  log_.clear();
  timer3().fire();
  timer3().fire();
  EXPECT_EQ(log_, (Log{"find Quorvane_VC", "find Quorvane_VC"}));
  windows_.rendererWindow = false;
  launcher_.running = true;  // a renderer whose window is gone has ended its run
  log_.clear();
  timer3().fire();
  EXPECT_EQ(log_, (Log{"find Quorvane_VC", "stopMp3", "showCursor true", "end"}));
  EXPECT_FALSE(timer3().enabled());
}

TEST_F(RunModeTest, TheWatchWaitsForTheWindowOfARendererThatIsStillStarting) {
  makeForm(0);
  form_->load();
  launcher_.running = true;
  log_.clear();
  for (int tick = 1; tick < Quorvane_S::kRendererStartTicks; ++tick) timer3().fire();
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "end"), 0);
  windows_.rendererWindow = true;
  timer3().fire();
  windows_.rendererWindow = false;
  timer3().fire();
  EXPECT_EQ(log_.back(), "end");
}

TEST_F(RunModeTest, TheWatchGivesUpOnARendererThatNeverShowsAWindow) {
  makeForm(0);
  form_->load();
  launcher_.running = true;
  log_.clear();
  for (int tick = 0; tick < Quorvane_S::kRendererStartTicks; ++tick) timer3().fire();
  EXPECT_EQ(log_.back(), "end");
}

TEST_F(RunModeTest, ARendererThatEndedOrNeverStartedEndsTheWatchAtOnce) {
  launcher_.startWorks = false;
  Quorvane_B::musicKind = 1;
  makeForm(0);
  form_->load();
  log_.clear();
  timer3().fire();
  EXPECT_EQ(log_, (Log{"find Quorvane_VC", "stopCdAudio", "showCursor true", "end"}));
}

}  // namespace
}  // namespace pellarin
