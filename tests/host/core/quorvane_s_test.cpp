#include "host/core/quorvane_s.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "host/core/quorvane_b.h"
#include "run_mode_fixture.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using testing::Log;
using testing::RunModeTest;

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
