#pragma once
// Run mode against one double of all its seams that logs every call that changes something.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/system_names.h"
#include "host/core/quorvane_s.h"
#include "host_test_support.h"
#include "libs/pellarin1/bitmap_reader.h"

namespace pellarin::testing {

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
    if (inspectBitmap) bitmapFacts = inspectBitmap(bitmap);
    const std::string bytes = readFile(bitmap);
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
  // What a platform's test wants to know of the bitmap while it is being converted.
  std::function<std::string(const fs::path&)> inspectBitmap;
  std::string bitmapFacts;
  std::map<long, FakeTimer*> byInterval;
  bool rendererWindow = false, rendererWindowInside = false, startWorks = true, running = false,
       pollActive = true, convertWorks = true, lockFree = true, lockHeld = false;
  int lockTries = 0;
};

inline std::vector<std::uint8_t> solid(int pixels, std::array<std::uint8_t, 3> rgb) {
  std::vector<std::uint8_t> bytes;
  while (pixels-- > 0) bytes.insert(bytes.end(), rgb.begin(), rgb.end());
  return bytes;
}

class RunModeTest : public IsolatedHostTest {
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

}  // namespace pellarin::testing
