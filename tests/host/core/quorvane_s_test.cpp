#include "host/core/quorvane_s.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <regex>
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

namespace fs = std::filesystem;
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

// Every seam of run mode in one double that logs each call that changes something, in order.
struct FakeSeams final : WindowFinder,
                         PointerControl,
                         PictureConverter,
                         ProcessLauncher,
                         MusicPlayer,
                         MusicLock,
                         TimerService,
                         ProgramEnd {
  bool windowWithTitleExists(std::string_view title) override {
    log.push_back("find " + std::string(title));
    return rendererWindow;
  }
  bool windowWithTitleExistsInside(WindowId ancestor, std::string_view title) override {
    log.push_back("find " + std::string(title) + " in " + std::to_string(ancestor));
    return rendererWindowInside;
  }
  bool windowExists(WindowId) override { return true; }
  WindowId rootWindow() override { return 1; }
  std::int32_t showCursor(bool show) override {
    log.push_back(show ? "showCursor true" : "showCursor false");
    return show ? 0 : -1;
  }
  // Records the conversion and what the bitmap was at that moment.
  bool convertBmpToJpg(const fs::path& bitmap, const fs::path& jpeg) override {
    log.push_back("convert " + jpeg.string());
    bitmapPath = bitmap;
    struct stat info {};
    bitmapMode = ::lstat(bitmap.c_str(), &info) == 0 ? static_cast<int>(info.st_mode) : -1;
    const std::string bytes = testing::readFile(bitmap);
    decoded =
        decodeBitmap(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return convertWorks;
  }
  bool start(const fs::path& program, const std::vector<std::string>& arguments) override {
    std::string entry = "start " + program.string();
    for (const std::string& argument : arguments) entry += ' ' + argument;
    log.push_back(entry);
    return startWorks;
  }
  bool startedProcessRunning() override { return running; }
  void endStartedProcess(std::chrono::milliseconds ownEnd,
                         std::chrono::milliseconds asked) override {
    log.push_back("endRenderer " + std::to_string(ownEnd.count()) + " " +
                  std::to_string(asked.count()));
  }
  void openCdAudio() override { log.push_back("openCdAudio"); }
  void pollCdAudio() override { log.push_back("pollCdAudio"); }
  bool cdPollActive() override { return pollActive; }
  void stopCdAudio() override { log.push_back("stopCdAudio"); }
  void startMp3() override { log.push_back("startMp3"); }
  void repeatMp3() override { log.push_back("repeatMp3"); }
  void stopMp3() override { log.push_back("stopMp3"); }
  void startWav() override { log.push_back("startWav"); }
  void stopWav() override { log.push_back("stopWav"); }
  bool tryAcquire() override {
    ++lockTries;
    lockHeld = lockHeld || lockFree;
    return lockHeld;
  }
  void release() override {
    log.push_back("releaseLock");
    lockHeld = false;
  }
  std::unique_ptr<Timer> createTimer(std::chrono::milliseconds interval,
                                     std::function<void()> tick) override {
    auto timer = std::make_unique<FakeTimer>(std::move(tick));
    byInterval[interval.count()] = timer.get();
    return timer;
  }
  void endProgram() override { log.push_back("end"); }

  Log log;
  std::optional<DecodedBitmap> decoded;
  fs::path bitmapPath;
  int bitmapMode = -1;
  std::map<long, FakeTimer*> byInterval;
  bool rendererWindow = false, rendererWindowInside = false, startWorks = true, running = false,
       pollActive = true, convertWorks = true, lockFree = true, lockHeld = false;
  int lockTries = 0;
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
    workFolder_ = root() / "work";
    fs::create_directories(programFolder_);
    fs::create_directories(workFolder_);
  }

  // A fresh form and doubles, loaded with a random number that picks `index`; the log then
  // holds only what comes after the load.
  void loadForm(int index = 0, bool pointerHidden = true, double random = -1) {
    RunModeOptions options;
    options.pointerHiddenAtStart = pointerHidden;
    loadForm(options, index, random);
  }
  void loadForm(const RunModeOptions& options, int index = 0, double random = -1) {
    form_.reset();
    fake_ = setup_;
    random_ = random >= 0 ? random : (index + 0.5) / 3.0;
    FakeSeams& f = fake_;
    services_ = std::make_unique<RunModeServices>(
        RunModeServices{f, f, f, f, f, f, f, f, programFolder_, workFolder_,
                        workFolder_ / "Pellarin.dat", [this] { return random_; }});
    form_ = std::make_unique<Quorvane_S>(
        *services_,
        std::array<PictureView, 3>{PictureView{4, 2, pictures_[0]}, PictureView{3, 3, pictures_[1]},
                                   PictureView{1, 5, pictures_[2]}},
        options);
    form_->load();
    loadLog_ = fake_.log;
    fake_.log.clear();
  }
  FakeTimer& mp3Timer() { return *fake_.byInterval.at(1000); }
  FakeTimer& cdTimer() { return *fake_.byInterval.at(200); }
  FakeTimer& watchTimer() { return *fake_.byInterval.at(500); }
  std::string renderer() const { return "start " + (programFolder_ / kRendererFileName).string(); }
  std::string convert() const { return "convert " + (workFolder_ / "Pellarin.dat").string(); }
  long entries(const fs::path& folder) const {
    return std::distance(fs::directory_iterator(folder), {});
  }

  std::array<std::vector<std::uint8_t>, 3> pictures_ = {
      solid(8, {255, 0, 0}), solid(9, {0, 255, 0}), solid(5, {0, 0, 255})};
  fs::path programFolder_, workFolder_;
  double random_ = 0;
  FakeSeams setup_, fake_;  // fake_ starts as a copy of setup_ at each load
  std::unique_ptr<RunModeServices> services_;
  std::unique_ptr<Quorvane_S> form_;
  Log loadLog_;
};

TEST_F(RunModeTest, HandsThePictureOverBeforeTheRendererStartsAndTheMusicBegins) {
  Quorvane_B::musicKind = 1;
  loadForm(1);
  EXPECT_EQ(loadLog_, (Log{convert(), renderer(), "openCdAudio"}));
  ASSERT_TRUE(fake_.decoded.has_value());
  EXPECT_EQ(std::pair(fake_.decoded->width, fake_.decoded->height), std::pair(3, 3));
  EXPECT_EQ(fake_.decoded->rgb, pictures_[1]);
  EXPECT_TRUE(watchTimer().enabled());

  // The random number picks each picture in thirds.
  for (const auto& [number, index] :
       {std::pair{0.3333, 0}, {0.3334, 1}, {0.6667, 2}, {0.99999, 2}}) {
    loadForm(0, true, number);
    EXPECT_EQ(form_->chosenPicture(), index) << number;
    EXPECT_EQ(fake_.decoded->rgb, pictures_[static_cast<std::size_t>(index)]) << number;
  }

  // Without a work folder no picture arrives, and the renderer still starts.
  fs::remove_all(workFolder_);
  Quorvane_B::musicKind = 0;
  loadForm();
  EXPECT_FALSE(fake_.decoded.has_value());
  EXPECT_EQ(loadLog_, (Log{renderer()}));
}

// Every user of an installed copy: the program folder belongs to root, the work folder is the
// user's. The bitmap is the user's own new file there, gone again whatever the conversion did.
TEST_F(RunModeTest, TheBitmapIsAPrivateFileOfTheWorkFolderGoneAfterUse) {
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(::chmod(root().c_str(), 0755), 0);
  ASSERT_EQ(::chown(workFolder_.c_str(), kNobody, kNobody), 0);
  writeFile(workFolder_ / "Dumy.bmp", "stale");  // as a killed run of an older copy left it
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
    std::string seen;
    for (const bool converts : {true, false}) {
      setup_.convertWorks = converts;
      loadForm(2);
      const std::string name = fake_.bitmapPath.filename().string();
      seen += fake_.bitmapPath.parent_path() == workFolder_ ? "work " : "elsewhere ";
      seen +=
          std::regex_match(name, std::regex(R"(Dumy-[A-Za-z0-9]{6}\.bmp)")) ? "Dumy-*.bmp" : name;
      seen += ' ' + std::to_string(fake_.bitmapMode) + ' ';
      seen += fake_.decoded && fake_.decoded->rgb == pictures_[2] ? "picture " : "no-picture ";
      seen += fs::exists(fake_.bitmapPath) ? "left; " : "gone; ";
    }
    ::_exit(::write(report[1], seen.data(), seen.size()) == static_cast<ssize_t>(seen.size()) ? 0
                                                                                              : 1);
  }
  ::close(report[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  char buffer[512] = {};
  const ssize_t got = ::read(report[0], buffer, sizeof buffer - 1);
  ::close(report[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string once = "work Dumy-*.bmp " + std::to_string(S_IFREG | 0600) + " picture gone; ";
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), once + once);
  EXPECT_EQ(entries(workFolder_), 1);  // the stale file alone, untouched
  EXPECT_EQ(testing::readFile(workFolder_ / "Dumy.bmp"), "stale");
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
    // The lock is asked for only when there is music to play.
    EXPECT_EQ(fake_.lockTries, started.empty() ? 0 : 1);
    form_->requestUnload();
    Log unload{"showCursor true", "endRenderer 0 1000", "end"};
    if (!stopped.empty()) unload.insert(unload.begin(), {stopped, "releaseLock"});
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
  EXPECT_EQ(fake_.log, (Log{"releaseLock", "showCursor true", "endRenderer 0 1000", "end"}));
}

// Hosts on several monitors: the one that holds the lock plays; another takes over one look
// after the lock came free, and one that never played stops nothing.
TEST_F(RunModeTest, OnlyTheHostHoldingTheMusicLockPlays) {
  Quorvane_B::musicKind = 2;
  Quorvane_B::musicFile = "/m/loop.wav";
  setup_.running = true;
  setup_.rendererWindow = true;
  setup_.lockFree = false;
  loadForm();
  EXPECT_EQ(loadLog_.back(), renderer());
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC"}));
  fake_.lockFree = true;  // the host that played has ended
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC", "find Quorvane_VC"}));
  EXPECT_TRUE(fake_.lockHeld);
  fake_.log.clear();
  watchTimer().fire();
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC", "startWav", "find Quorvane_VC"}));
  fake_.log.clear();
  form_->requestUnload();
  EXPECT_EQ(fake_.log,
            (Log{"stopWav", "releaseLock", "showCursor true", "endRenderer 0 1000", "end"}));

  // Taken but not yet started when the end comes: nothing plays, the lock is given back.
  setup_.lockFree = false;
  loadForm();
  fake_.lockFree = true;
  watchTimer().fire();
  fake_.log.clear();
  form_->requestUnload();
  EXPECT_EQ(fake_.log, (Log{"releaseLock", "showCursor true", "endRenderer 0 1000", "end"}));

  // Never had it: the end neither stops music nor touches the lock.
  loadForm();
  watchTimer().fire();
  form_->requestUnload();
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC", "showCursor true", "endRenderer 0 1000", "end"}));
}

TEST_F(RunModeTest, ThePointerIsShownAgainOnlyWhenTheStartHidIt) {
  for (const std::int32_t hideResult : {-1, 0}) {  // shown whatever hiding returned
    Quorvane_B::cursorHideResult = hideResult;
    loadForm(0, true);
    form_->requestUnload();
    EXPECT_EQ(fake_.log, (Log{"showCursor true", "endRenderer 0 1000", "end"}));
    EXPECT_EQ(Quorvane_B::cursorHideResult, 0);
  }
  Quorvane_B::cursorHideResult = -1;
  loadForm(0, false);
  form_->requestUnload();
  form_->requestUnload();  // a second request (a signal during the end) does nothing
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"endRenderer 0 1000", "end"}));
  EXPECT_EQ(Quorvane_B::cursorHideResult, -1);
}

// However run mode ends, the renderer it started does not run on; one whose window has gone
// gets a moment to end by itself first.
TEST_F(RunModeTest, TheWatchEndsRunModeAndTheRendererWithIt) {
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
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC", "stopMp3", "releaseLock", "showCursor true",
                            "endRenderer 1000 1000", "end"}));
  EXPECT_FALSE(watchTimer().enabled());

  loadForm();  // a renderer that never shows a window is given up on, and ended
  fake_.running = true;
  for (int tick = 0; tick < Quorvane_S::kRendererStartTicks; ++tick) watchTimer().fire();
  EXPECT_EQ(Log(fake_.log.end() - 2, fake_.log.end()), (Log{"endRenderer 0 1000", "end"}));

  setup_.startWorks = false;  // one that never started ends the watch at the first look
  loadForm();
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"find Quorvane_VC", "stopMp3", "releaseLock", "showCursor true",
                            "endRenderer 0 1000", "end"}));
}

// Inside a given window: the renderer is told the window and the pacing, and the watch follows
// this host's renderer alone, not one that another monitor's host started.
TEST_F(RunModeTest, InsideAWindowTheWatchFollowsOnlyThisHostsRenderer) {
  RunModeOptions options;
  options.window = 4242;
  options.pacing.delayMicroseconds = 20000;
  options.pacing.maxFps = 30;
  setup_.rendererWindow = true;  // another monitor's renderer, anywhere on the display
  setup_.running = true;
  loadForm(options);
  EXPECT_EQ(loadLog_.back(), renderer() + " --window-id 4242 --delay 20000 --max-fps 30");

  const std::string look = "find Quorvane_VC in 4242";
  // Seen inside the window, then gone: the end, after a moment for the renderer to end itself.
  fake_.rendererWindowInside = true;
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{look}));
  fake_.log.clear();
  fake_.rendererWindowInside = false;
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{look, "endRenderer 1000 1000", "end"}));

  loadForm(options);
  fake_.rendererWindowInside = true;
  fake_.running = false;
  watchTimer().fire();
  EXPECT_EQ(fake_.log, (Log{"endRenderer 0 1000", "end"}));
}

}  // namespace
}  // namespace pellarin
