#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/work_folder.h"
#include "renderer/shell/gl_context.h"
#include "renderer/shell/renderer_shell.h"
#include "renderer/shell/renderer_state.h"
#include "tests/renderer/shell/recording_platform.h"

namespace pellarin {
namespace {

using testing::callLog;
using testing::sceneRecord;

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("PELLARIN_DEBUG", "1", 1);
    home_ =
        std::filesystem::temp_directory_path() / ("pellarin-shell-" + std::to_string(::getpid()));
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
    setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
    resetRendererShell();
    sceneRecord = {};
    callLog.clear();
  }
  void TearDown() override { std::filesystem::remove_all(home_); }

  void writeSettings(const std::string& text) {
    std::filesystem::create_directories(workFolder());
    std::ofstream(settingsFilePath(), std::ios::binary) << text;
  }
  // As after start-up: the counter started at its current value and frames are allowed.
  void startRunning() {
    rendererState.counterFrequency = platform.frequency;
    rendererState.counterStart = platform.counter;
    rendererState.running = true;
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

  std::filesystem::path home_;
  testing::RecordingPlatform platform;
};

// Where the view puts the world origin: orientation applied to (origin - eye).
Vec3 originSeenFromEye() {
  const Vec3 eye = sceneRecord.eyes.back();
  return Vec3{-eye.x, -eye.y, -eye.z} * toMatrix3(sceneRecord.orientations.back());
}

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
  const PixelFormatDescriptor& descriptor = platform.descriptorsChosen.at(0);
  EXPECT_EQ(descriptor.flags, 0x25u);
  EXPECT_EQ(descriptor.pixelType, 0);
  EXPECT_EQ(descriptor.colorBits, 24);
  EXPECT_EQ(descriptor.depthBits, 16);
}

TEST_F(ShellTest, SizesComeFromTheSettingsFileAndZeroMeansTheDefault) {
  readScreenSize();
  EXPECT_EQ(rendererState.screenWidth, 1024);
  EXPECT_EQ(rendererState.screenHeight, 768);
  writeSettings("[Settings]\r\nWidth= 800\r\nHeight= 600\r\n");
  readScreenSize();
  EXPECT_EQ(rendererState.screenWidth, 800);
  EXPECT_EQ(rendererState.screenHeight, 600);
  writeSettings("[Settings]\r\nWidth= 0\r\nHeight= 0\r\n");
  readScreenSize();
  EXPECT_EQ(rendererState.screenWidth, 1024);
  EXPECT_EQ(rendererState.screenHeight, 768);
  // Kept as read; only what reaches the window system is made usable.
  writeSettings("[Settings]\r\nWidth=-640\r\nHeight= 100000\r\n");
  platform.reportedWidth = 1;
  platform.reportedHeight = 32767;
  platform.events = {WindowMessage{kWmClose, 0, 0}};
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_EQ(rendererState.screenWidth, -640);
  EXPECT_EQ(rendererState.screenHeight, 100000);
  EXPECT_TRUE(logged("setUpScene 1x32767"));
}

TEST_F(ShellTest, FailedStartUpEndsWithZeroAtOnce) {
  platform.eventSource = [](WindowMessage&) {
    ADD_FAILURE() << "the message loop ran";
    return false;
  };
  platform.canRegister = false;
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_FALSE(logged("createWindow Quorvane_VC/Quorvane_VC 0,0 1024x768"));
  platform.canRegister = true;
  platform.canCreate = false;
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_FALSE(logged("setUpScene 1024x768"));
  platform.canCreate = true;
  sceneRecord.setUpResult = false;
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_TRUE(logged("setUpScene 1024x768"));
  EXPECT_FALSE(logged("tearDownScene"));
  EXPECT_FALSE(logged("showPointer 1"));
}

TEST_F(ShellTest, LoopDrawsWheneverNothingIsPendingButNotBeforeTheSceneIsSetUp) {
  platform.paintWhileShowing = true;
  platform.eventSource = [](WindowMessage& message) {
    if (sceneRecord.eyes.size() < 5) return false;
    message = WindowMessage{kWmKeyDown, kVkEscape, 0};
    return true;
  };
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_EQ(sceneRecord.eyes.size(), 5u);
  EXPECT_EQ(std::count(callLog.begin(), callLog.end(), "swapBuffers"), 5);
  const auto setUp = std::find(callLog.begin(), callLog.end(), "setUpScene 1024x768");
  EXPECT_LT(setUp, std::find(callLog.begin(), callLog.end(), "drawScene"));

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

TEST_F(ShellTest, ToggleKeysActOnEveryKeyDownAutoRepeatIncluded) {
  key(kVkW);
  EXPECT_EQ(rendererState.polygonMode, kPolygonModeLine);
  key(kVkW);
  EXPECT_EQ(rendererState.polygonMode, kPolygonModeFill);
  key(kVkW);
  EXPECT_TRUE(rendererState.wireframe);
  EXPECT_EQ(rendererState.polygonMode, kPolygonModeLine);
  send(kWmKeyUp, kVkW);
  EXPECT_TRUE(rendererState.wireframe);
  key(kVkSpace);
  key(kVkSpace);
  key(kVkSpace);
  EXPECT_TRUE(rendererState.paused);
  const struct {
    unsigned key;
    std::int32_t bit;
  } options[] = {{kVkM, 0x01}, {kVkS, 0x02}, {kVkH, 0x04}, {kVkF, 0x08}, {kVkN, 0x10}};
  for (const auto& option : options) {
    const std::int32_t before = getOptionBits();
    key(option.key);
    EXPECT_EQ(getOptionBits(), before ^ option.bit) << option.key;
  }
  EXPECT_EQ(rendererState.optionBits, 0x1E);
  EXPECT_FALSE(rendererState.keyUp || rendererState.keyDown || rendererState.keyLeft ||
               rendererState.keyRight || rendererState.keyHome || rendererState.keyEnd);
}

TEST_F(ShellTest, NavigationKeysAreHeldUntilAnyKeyUpOfTheirCode) {
  RendererState& s = rendererState;
  const struct {
    unsigned key;
    bool RendererState::*flag;
  } keys[] = {{kVkEnd, &RendererState::keyEnd},     {kVkHome, &RendererState::keyHome},
              {kVkLeft, &RendererState::keyLeft},   {kVkUp, &RendererState::keyUp},
              {kVkRight, &RendererState::keyRight}, {kVkDown, &RendererState::keyDown}};
  for (const auto& k : keys) {
    key(k.key);
    const int held = s.keyEnd + s.keyHome + s.keyLeft + s.keyUp + s.keyRight + s.keyDown;
    EXPECT_TRUE(s.*k.flag) << k.key;
    EXPECT_EQ(held, 1) << k.key;
    send(kWmKeyUp, k.key);
    EXPECT_FALSE(s.*k.flag) << k.key;
  }
  key(0x41);  // A: no meaning
  send(kWmKeyUp, 0x41);
  EXPECT_EQ(s.keyEnd + s.keyHome + s.keyLeft + s.keyUp + s.keyRight + s.keyDown, 0);
  EXPECT_FALSE(s.wireframe || s.paused);
  EXPECT_EQ(s.optionBits, 1);
}

TEST_F(ShellTest, SizeAndPointerMessagesReadUnsignedWordsAndNeverEndTheRenderer) {
  send(kWmSize, 0, packWords(0xFFFF, 0x8000) | (std::intptr_t{1} << 40));
  EXPECT_EQ(rendererState.clientWidth, 65535);
  EXPECT_EQ(rendererState.clientHeight, 32768);
  EXPECT_EQ(callLog.back(), "setViewport 0,0 65535x32768");
  send(kWmSize, 0, packWords(640, 0));
  EXPECT_EQ(rendererState.clientHeight, 0);
  EXPECT_EQ(callLog.back(), "setViewport 0,0 640x1");
  send(kWmLButtonDown, 0, packWords(0xFFFE, 3));
  EXPECT_EQ(rendererState.mouseX, 65534);
  EXPECT_EQ(rendererState.mouseY, 3);
  EXPECT_TRUE(rendererState.mouseLeftDown);
  send(kWmMouseMove, 0, packWords(5, 5));
  send(kWmLButtonUp);
  EXPECT_FALSE(rendererState.mouseLeftDown);
  WindowMessage message;
  EXPECT_FALSE(peekMessage(platform, message, true));
  EXPECT_FALSE(logged("destroyWindow"));
}

TEST_F(ShellTest, AutomaticFlipEveryHundredFramesUndoesAWPressedJustBeforeIt) {
  startRunning();
  for (int i = 0; i < 99; ++i) frame(0.01);
  key(kVkW);
  frame(0.01);
  EXPECT_EQ(rendererState.frameCounter, 0);
  EXPECT_EQ(rendererState.polygonMode, kPolygonModeFill);
  for (int i = 0; i < 99; ++i) frame(0.01);
  EXPECT_EQ(std::count(sceneRecord.drawnPolygonModes.begin(), sceneRecord.drawnPolygonModes.end(),
                       kPolygonModeLine),
            0);
  frame(0.01);
  EXPECT_EQ(sceneRecord.drawnPolygonModes.back(), kPolygonModeLine);
}

TEST_F(ShellTest, LeftAndRightCancelAndTheOriginStaysStraightAhead) {
  startRunning();
  key(kVkLeft);
  key(kVkRight);
  for (int i = 0; i < 50; ++i) frame(1.0 / 60);
  const Quaternion q = rendererState.cameraOrientation;
  EXPECT_NEAR(q.y, 0.0f, 1e-6f);
  EXPECT_NEAR(q.w, 1.0f, 1e-6f);
  send(kWmKeyUp, kVkRight);
  frame(0.25);
  EXPECT_NEAR(rendererState.cameraOrientation.y, std::sin(0.25f), 1e-6f);
  EXPECT_NEAR(rendererState.cameraOrientation.w, std::cos(0.25f), 1e-6f);
  const Vec3 origin = originSeenFromEye();
  EXPECT_NEAR(origin.x, 0.0f, 1e-4f);
  EXPECT_NEAR(origin.y, 0.0f, 1e-4f);
  EXPECT_NEAR(origin.z, -35.0f, 1e-4f);
}

TEST_F(ShellTest, LongFrameMovesTheCameraFullyButTheSceneByAtMostFiftyMilliseconds) {
  startRunning();
  key(kVkUp);
  key(kVkLeft);
  frame(0.2);
  EXPECT_FLOAT_EQ(sceneRecord.steps.back(), 0.05f);
  EXPECT_FLOAT_EQ(rendererState.frameSeconds, 0.05f);
  EXPECT_NEAR(rendererState.cameraDistance, 35.0f - 20.0f * 0.2f, 1e-4f);
  EXPECT_NEAR(rendererState.cameraVelocity.z, -20.0f * 0.9f, 1e-4f);
  EXPECT_NEAR(rendererState.cameraOrientation.y, std::sin(0.2f), 1e-6f);
  // Paused: the scene stands still, the camera still moves and frames are still drawn.
  key(kVkSpace);
  const float distance = rendererState.cameraDistance;
  frame(0.01);
  EXPECT_EQ(sceneRecord.steps.back(), 0.0f);
  EXPECT_LT(rendererState.cameraDistance, distance);
  EXPECT_EQ(sceneRecord.eyes.size(), 2u);
}

TEST_F(ShellTest, HoldingUpCarriesTheEyeThroughTheOriginAndDampingCountsFrames) {
  startRunning();
  key(kVkUp);
  float previous = rendererState.cameraDistance;
  for (int i = 0; i < 600 && rendererState.cameraDistance > -5.0f; ++i) {
    frame(1.0 / 60);
    ASSERT_LT(rendererState.cameraDistance, previous);
    previous = rendererState.cameraDistance;
  }
  EXPECT_LT(rendererState.cameraDistance, 0.0f);
  EXPECT_GT(originSeenFromEye().z, 0.0f);  // behind the eye now
  send(kWmKeyUp, kVkUp);
  key(kVkHome);  // Home thrusts nowhere
  const float velocity = rendererState.cameraVelocity.z;
  frame(0.5);
  EXPECT_NEAR(rendererState.cameraVelocity.z, velocity * 0.9f, 1e-5f);
}

TEST_F(ShellTest, FrameTimeStaysExactAfterAWeekAtAThousandFramesPerSecond) {
  platform.frequency = 1'000'000'000;
  startRunning();
  const double starts[] = {60.0, 86400.0, 604800.0, 4 * 604800.0};
  for (const double start : starts) {
    platform.counter = static_cast<std::int64_t>(start * 1e9);
    measureFrameTime(platform);
    sceneRecord.steps.clear();
    for (int i = 0; i < 2000; ++i) frame(0.001);
    const auto [lowest, highest] =
        std::minmax_element(sceneRecord.steps.begin(), sceneRecord.steps.end());
    EXPECT_NEAR(*lowest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(*highest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(rendererState.elapsedSeconds, start + 2.0, 1e-6) << start;
  }
}

TEST_F(ShellTest, PixelFormatIsReportedAndItsDescriptorFilledOnce) {
  platform.formatToChoose = 33;
  ::testing::internal::CaptureStderr();
  choosePixelFormat(platform, platform.deviceContext);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "PixelFormat Selected: 33\nBPP: 24\n");
  platform.bitsPerPixel = 16;
  ::testing::internal::CaptureStderr();
  choosePixelFormat(platform, platform.deviceContext);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "PixelFormat Selected: 33\nBPP: 16\n");
  EXPECT_EQ(platform.descriptorsChosen.at(1).colorBits, 24);
  ::testing::internal::CaptureStderr();
  debugPrint("%s", std::string(2000, 'x').c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), std::string(1023, 'x'));
}

}  // namespace
}  // namespace pellarin
