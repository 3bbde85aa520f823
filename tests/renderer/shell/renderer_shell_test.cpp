#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "renderer/shell/renderer_shell.h"
#include "renderer/shell/renderer_state.h"
#include "tests/renderer/shell/recording_platform.h"

namespace pellarin {
namespace {

using testing::callLog;
using testing::sceneRecord;
RendererState& state = rendererState;

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", home_.c_str(), 1);  // no settings file: 1024 x 768
    resetRendererShell();
    sceneRecord = {};
    callLog.clear();
  }
  // As after start-up: the counter started at its current value and frames are allowed.
  void startRunning() {
    state.counterFrequency = platform.frequency;
    state.counterStart = platform.counter;
    state.running = true;
  }
  void send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
    RendererWindowProc(platform, WindowMessage{message, wParam, lParam});
  }
  void key(unsigned virtualKey) { send(kWmKeyDown, virtualKey); }
  void frame(double seconds) {
    platform.advance(seconds);
    send(kWmPaint);
  }
  bool logged(const std::string& entry) {
    return std::find(callLog.begin(), callLog.end(), entry) != callLog.end();
  }
  // The held navigation keys, as letters: End, Home, Left, Up, Right, Down.
  static std::string heldKeys() {
    std::string held;
    const bool flags[] = {state.keyEnd, state.keyHome,  state.keyLeft,
                          state.keyUp,  state.keyRight, state.keyDown};
    for (int i = 0; i < 6; ++i) held += flags[i] ? "EHLURD"[i] : '.';
    return held;
  }
  // Where the view puts the world origin: the orientation applied to (origin - eye).
  static Vec3 originSeenFromEye() {
    const Vec3 eye = sceneRecord.eyes.back();
    return Vec3{-eye.x, -eye.y, -eye.z} * toMatrix3(sceneRecord.orientations.back());
  }

  std::filesystem::path home_ =
      std::filesystem::temp_directory_path() / ("pellarin-shell-" + std::to_string(getpid()));
  testing::RecordingPlatform platform;
};

TEST_F(ShellTest, StartsUpInOrderAndEscapeEndsWithZeroAfterReleasingEverything) {
  platform.events = {WindowMessage{kWmKeyDown, kVkEscape, 0}};
  EXPECT_EQ(runRenderer(platform), 0);
  const std::vector<std::string> expected = {"showPointer 0",
                                             "registerWindowClass Quorvane_VC",
                                             "createWindow Quorvane_VC/Quorvane_VC 0,0 1024x768",
                                             "getDeviceContext",
                                             "choosePixelFormat",
                                             "setPixelFormat 7",
                                             "createRenderContext",
                                             "makeCurrent",
                                             "setViewport 0,0 1024x768",
                                             "showWindow",
                                             "readCounter",
                                             "setUpScene 1024x768",
                                             "destroyWindow",
                                             "makeCurrent none",
                                             "deleteRenderContext",
                                             "showPointer 1",
                                             "tearDownScene"};
  EXPECT_EQ(callLog, expected);
  EXPECT_FALSE(sceneRecord.runningAtTearDown);
  const PixelFormatDescriptor& chosen = platform.descriptorsChosen.at(0);
  EXPECT_EQ(
      std::vector<int>({int(chosen.flags), chosen.pixelType, chosen.colorBits, chosen.depthBits}),
      std::vector<int>({0x25, 0, 24, 16}));
}

TEST_F(ShellTest, LoopDrawsWheneverNothingIsPendingAndPaintBeforeRunningDrawsNothing) {
  platform.eventSource = [](WindowMessage& message) {
    message = WindowMessage{kWmKeyDown, kVkEscape, 0};
    return sceneRecord.eyes.size() == 5;
  };
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_EQ(std::count(callLog.begin(), callLog.end(), "swapBuffers"), 5);

  // A paint before running leaves the window invalid; a frame validates it.
  platform.eventSource = nullptr;
  resetRendererShell();
  invalidateWindow();
  send(kWmPaint);
  WindowMessage message;
  ASSERT_TRUE(peekMessage(platform, message, true));
  EXPECT_EQ(message.message, kWmPaint);
  startRunning();
  send(kWmPaint);
  EXPECT_FALSE(peekMessage(platform, message, true));
  postQuitMessage(7);
  EXPECT_EQ(runMessageLoop(platform), 7);
}

TEST_F(ShellTest, KeyTableActsOnEveryKeyDownAndKeyUpsOnlyReleaseNavigationKeys) {
  for (const unsigned repeat : {kVkW, kVkW, kVkW, kVkSpace, kVkSpace, kVkSpace}) key(repeat);
  EXPECT_TRUE(state.wireframe && state.paused);
  EXPECT_EQ(state.polygonMode, kPolygonModeLine);
  send(kWmKeyUp, kVkW);
  EXPECT_TRUE(state.wireframe);
  const std::pair<unsigned, std::int32_t> options[] = {
      {kVkM, 0x01}, {kVkS, 0x02}, {kVkH, 0x04}, {kVkF, 0x08}, {kVkN, 0x10}};
  for (const auto& [optionKey, bit] : options) {
    const std::int32_t before = getOptionBits();
    key(optionKey);
    EXPECT_EQ(getOptionBits(), before ^ bit) << optionKey;
  }
  EXPECT_EQ(heldKeys(), "......");
  const std::pair<unsigned, const char*> navigation[] = {{kVkEnd, "E....."},   {kVkHome, ".H...."},
                                                         {kVkLeft, "..L..."},  {kVkUp, "...U.."},
                                                         {kVkRight, "....R."}, {kVkDown, ".....D"}};
  for (const auto& [navigationKey, held] : navigation) {
    key(navigationKey);
    EXPECT_EQ(heldKeys(), held);
    send(kWmKeyUp, navigationKey);
  }
  key(0x41);  // A means nothing
  EXPECT_EQ(heldKeys(), "......");
  EXPECT_EQ(state.optionBits, 0x1E);
}

TEST_F(ShellTest, SizeAndPointerMessagesReadUnsignedWordsAndNeverEndTheRenderer) {
  send(kWmSize, 0, packWords(0xFFFF, 0x8000) | (std::intptr_t{1} << 40));
  EXPECT_EQ(state.clientWidth, 65535);
  EXPECT_EQ(state.clientHeight, 32768);
  send(kWmSize, 0, packWords(640, 0));
  EXPECT_EQ(state.clientHeight, 0);
  EXPECT_EQ(callLog.back(), "setViewport 0,0 640x1");
  send(kWmLButtonDown, 0, packWords(0xFFFE, 3));
  EXPECT_EQ(std::make_tuple(state.mouseX, state.mouseY, state.mouseLeftDown),
            std::make_tuple(65534, 3, true));
  send(kWmMouseMove, 0, packWords(5, 5));
  send(kWmLButtonUp);
  EXPECT_FALSE(state.mouseLeftDown);
  WindowMessage message;
  EXPECT_FALSE(peekMessage(platform, message, true) || logged("destroyWindow"));
}

TEST_F(ShellTest, AutomaticFlipEveryHundredFramesUndoesAWPressedJustBeforeIt) {
  startRunning();
  for (int i = 0; i < 99; ++i) frame(0.01);
  key(kVkW);
  for (int i = 0; i < 100; ++i) frame(0.01);
  const auto& modes = sceneRecord.drawnPolygonModes;
  EXPECT_EQ(std::count(modes.begin(), modes.end(), kPolygonModeLine), 0);
  frame(0.01);
  EXPECT_EQ(modes.back(), kPolygonModeLine);
}

TEST_F(ShellTest, LeftAndRightCancelAndTheOriginStaysStraightAhead) {
  startRunning();
  key(kVkLeft);
  key(kVkRight);
  for (int i = 0; i < 50; ++i) frame(1.0 / 60);
  EXPECT_NEAR(state.cameraOrientation.y, 0.0f, 1e-6f);
  send(kWmKeyUp, kVkRight);
  frame(0.25);
  EXPECT_NEAR(state.cameraOrientation.y, std::sin(0.25f), 1e-6f);
  EXPECT_NEAR(state.cameraOrientation.w, std::cos(0.25f), 1e-6f);
  const Vec3 origin = originSeenFromEye();
  EXPECT_NEAR(std::abs(origin.x) + std::abs(origin.y) + std::abs(origin.z + 35.0f), 0.0f, 1e-4f);
}

TEST_F(ShellTest, LongFrameMovesTheCameraFullyButTheSceneByAtMostFiftyMilliseconds) {
  startRunning();
  key(kVkUp);
  key(kVkLeft);
  frame(0.2);
  EXPECT_FLOAT_EQ(sceneRecord.steps.back(), 0.05f);
  EXPECT_FLOAT_EQ(state.frameSeconds, 0.05f);
  EXPECT_NEAR(state.cameraDistance, 35.0f - 20.0f * 0.2f, 1e-4f);
  EXPECT_NEAR(state.cameraVelocity.z, -20.0f * 0.9f, 1e-4f);
  EXPECT_NEAR(state.cameraOrientation.y, std::sin(0.2f), 1e-6f);
  // Paused: the scene stands still, the camera still moves and frames are still drawn.
  key(kVkSpace);
  frame(0.01);
  EXPECT_EQ(sceneRecord.steps.back(), 0.0f);
  EXPECT_LT(state.cameraDistance, 31.0f);
  EXPECT_EQ(sceneRecord.eyes.size(), 2u);
}

TEST_F(ShellTest, HoldingUpCarriesTheEyeThroughTheOriginAndDampingCountsFrames) {
  startRunning();
  key(kVkUp);
  for (float previous = state.cameraDistance; state.cameraDistance > -5.0f;) {
    frame(1.0 / 60);
    ASSERT_LT(state.cameraDistance, previous);
    previous = state.cameraDistance;
  }
  EXPECT_GT(originSeenFromEye().z, 0.0f);  // behind the eye now
  send(kWmKeyUp, kVkUp);
  key(kVkHome);  // Home thrusts nowhere
  const float velocity = state.cameraVelocity.z;
  frame(0.5);
  EXPECT_NEAR(state.cameraVelocity.z, velocity * 0.9f, 1e-5f);
}

TEST_F(ShellTest, FrameTimeStaysExactAfterAWeekAtAThousandFramesPerSecond) {
  platform.frequency = 1'000'000'000;
  startRunning();
  for (const double start : {60.0, 86400.0, 604800.0, 4 * 604800.0}) {
    platform.counter = static_cast<std::int64_t>(start * 1e9);
    measureFrameTime(platform);
    sceneRecord.steps.clear();
    for (int i = 0; i < 2000; ++i) frame(0.001);
    const auto [lowest, highest] =
        std::minmax_element(sceneRecord.steps.begin(), sceneRecord.steps.end());
    EXPECT_NEAR(*lowest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(*highest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(state.elapsedSeconds, start + 2.0, 1e-6) << start;
  }
}

}  // namespace
}  // namespace pellarin
