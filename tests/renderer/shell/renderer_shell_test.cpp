// The renderer shell against a recording platform and a recording stand-in for the scene, both
// writing to one call log so that the order of everything the shell does can be checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "renderer/scene/scene.h"
#include "renderer/shell/renderer_shell.h"
#include "renderer/shell/renderer_state.h"

namespace pellarin {

namespace {

std::string callLog;  // entries, each followed by "|"
struct SceneRecord {
  std::vector<float> steps;  // updateScene arguments
  std::vector<Vec3> eyes;    // drawScene arguments
  std::vector<Quaternion> orientations;
  std::vector<unsigned> polygonModes;  // rendererState.polygonMode at each draw
  bool runningAtTearDown = true;
} scene;

void note(const std::string& entry) {
  callLog += entry + "|";
}

}  // namespace

// The scene's four entry points, resolved here instead of by the scene library.
bool setUpScene(int width, int height) {
  note("setUpScene " + std::to_string(width) + "x" + std::to_string(height));
  return true;
}
void updateScene(float seconds) {
  scene.steps.push_back(seconds);
}
void drawScene(Vec3 eye, Quaternion orientation) {
  scene.eyes.push_back(eye);
  scene.orientations.push_back(orientation);
  scene.polygonModes.push_back(rendererState.polygonMode);
}
void tearDownScene() {
  note("tearDownScene");
  scene.runningAtTearDown = rendererState.running;
}

namespace {

// Keeps to the platform's contract: creation sends kWmCreate and one kWmSize, destruction sends
// kWmDestroy, kWmClose destroys.
class RecordingPlatform final : public RendererPlatform {
 public:
  std::int64_t frequency = 1'000'000;
  std::int64_t counter = 0;
  std::function<bool(WindowMessage&)> eventSource;  // the next event, if any
  PixelFormatDescriptor descriptorChosen;
  int tokens[2] = {};

  std::int64_t counterFrequency() override { return frequency; }
  std::int64_t readCounter() override { return counter; }
  void showPointer(bool visible) override { note("showPointer " + std::to_string(visible)); }
  bool registerWindowClass(const char* name) override { return note(name), true; }
  bool createWindow(const char* className, const char* title, int x, int y, int width, int height,
                    WindowProcedure procedure) override {
    note(std::string(className) + "/" + title + " " + std::to_string(x) + "," + std::to_string(y) +
         " " + std::to_string(width) + "x" + std::to_string(height));
    procedure_ = procedure;
    procedure(*this, WindowMessage{kWmCreate, 0, 0});
    procedure(*this, WindowMessage{kWmSize, 0, packWords(unsigned(width), unsigned(height))});
    return true;
  }
  void showWindow() override { note("showWindow"); }
  void destroyWindow() override {
    note("destroyWindow");
    if (procedure_ != nullptr) procedure_(*this, WindowMessage{kWmDestroy, 0, 0});
    procedure_ = nullptr;
  }
  std::intptr_t defaultWindowProcedure(const WindowMessage& message) override {
    if (message.message == kWmClose) destroyWindow();
    return 0;
  }
  bool nextEvent(WindowMessage& message) override { return eventSource && eventSource(message); }
  DeviceContextHandle getDeviceContext() override { return &tokens[0]; }
  int screenBitsPerPixel(DeviceContextHandle) override { return 24; }
  int choosePixelFormat(DeviceContextHandle, const PixelFormatDescriptor& descriptor) override {
    descriptorChosen = descriptor;
    return 7;
  }
  bool setPixelFormat(DeviceContextHandle, int format, const PixelFormatDescriptor&) override {
    return note("setPixelFormat " + std::to_string(format)), true;
  }
  RenderContextHandle createRenderContext(DeviceContextHandle) override { return &tokens[1]; }
  bool makeCurrent(DeviceContextHandle dc, RenderContextHandle context) override {
    note(dc != &tokens[0] ? "makeCurrent ?" : context ? "makeCurrent" : "makeCurrent none");
    return true;
  }
  void deleteRenderContext(RenderContextHandle context) override {
    note(context == &tokens[1] ? "deleteRenderContext" : "deleteRenderContext ?");
  }
  void setViewport(int x, int y, int width, int height) override {
    note("setViewport " + std::to_string(x) + "," + std::to_string(y) + " " +
         std::to_string(width) + "x" + std::to_string(height));
  }
  void swapBuffers(DeviceContextHandle) override { note("swapBuffers"); }

  void advance(double seconds) {
    counter += static_cast<std::int64_t>(seconds * static_cast<double>(frequency) + 0.5);
  }

 private:
  WindowProcedure procedure_ = nullptr;
};

RendererState& state = rendererState;

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", "/nonexistent", 1);  // no settings file: 1024 x 768
    resetRendererShell();
    scene = {};
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
  // The held navigation keys, as letters: End, Home, Left, Up, Right, Down.
  static std::string heldKeys() {
    std::string held;
    const bool flags[] = {state.keyEnd, state.keyHome,  state.keyLeft,
                          state.keyUp,  state.keyRight, state.keyDown};
    for (int i = 0; i < 6; ++i) held += flags[i] ? "EHLURD"[i] : '.';
    return held;
  }

  RecordingPlatform platform;
};

TEST_F(ShellTest, StartsUpInOrderAndEscapeEndsWithZeroAfterReleasingEverything) {
  platform.eventSource = [](WindowMessage& message) {
    return message = WindowMessage{kWmKeyDown, kVkEscape, 0}, true;
  };
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_EQ(callLog,
            "showPointer 0|Quorvane_VC|Quorvane_VC/Quorvane_VC 0,0 1024x768|setPixelFormat 7|"
            "makeCurrent|setViewport 0,0 1024x768|showWindow|setUpScene 1024x768|"
            "destroyWindow|makeCurrent none|deleteRenderContext|showPointer 1|tearDownScene|");
  EXPECT_FALSE(scene.runningAtTearDown);
  const PixelFormatDescriptor& chosen = platform.descriptorChosen;
  EXPECT_EQ(
      std::vector<int>({int(chosen.flags), chosen.pixelType, chosen.colorBits, chosen.depthBits}),
      std::vector<int>({0x25, 0, 24, 16}));
  send(kWmSize, 0, packWords(640, 0));  // a height of 0 counts as 1
  EXPECT_EQ(callLog.substr(callLog.rfind("setViewport")), "setViewport 0,0 640x1|");
}

TEST_F(ShellTest, LoopDrawsWheneverNothingIsPendingAndPaintBeforeRunningDrawsNothing) {
  platform.eventSource = [](WindowMessage& message) {
    message = WindowMessage{kWmKeyDown, kVkEscape, 0};
    return scene.eyes.size() == 5;
  };
  EXPECT_EQ(runRenderer(platform), 0);
  EXPECT_EQ(scene.eyes.size(), 5u);

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
  EXPECT_EQ(callLog, "") << "no key but Escape ends the renderer";
}

TEST_F(ShellTest, AutomaticFlipEveryHundredFramesUndoesAWPressedJustBeforeIt) {
  startRunning();
  for (int i = 0; i < 99; ++i) frame(0.01);
  key(kVkW);
  for (int i = 0; i < 100; ++i) frame(0.01);
  EXPECT_EQ(std::count(scene.polygonModes.begin(), scene.polygonModes.end(), kPolygonModeLine), 0);
  frame(0.01);
  EXPECT_EQ(scene.polygonModes.back(), kPolygonModeLine);
}

TEST_F(ShellTest, LongFrameMovesTheCameraFullyButTheSceneByAtMostFiftyMilliseconds) {
  startRunning();
  key(kVkUp);
  key(kVkLeft);
  frame(0.2);
  EXPECT_FLOAT_EQ(scene.steps.back(), 0.05f);
  EXPECT_FLOAT_EQ(state.frameSeconds, 0.05f);
  EXPECT_NEAR(state.cameraDistance, 35.0f - 20.0f * 0.2f, 1e-4f);
  EXPECT_NEAR(state.cameraVelocity.z, -20.0f * 0.9f, 1e-4f);
  EXPECT_NEAR(state.cameraOrientation.y, std::sin(0.2f), 1e-6f);
  // The view, the orientation applied to (origin - eye), still has the origin straight ahead.
  const Vec3 eye = scene.eyes.back();
  const Vec3 origin = Vec3{-eye.x, -eye.y, -eye.z} * toMatrix3(scene.orientations.back());
  EXPECT_NEAR(std::abs(origin.x) + std::abs(origin.y) + std::abs(origin.z + 31.0f), 0.0f, 1e-4f);
  // Paused: the scene stands still, the camera still moves and frames are still drawn.
  key(kVkSpace);
  frame(0.01);
  EXPECT_EQ(scene.steps.back(), 0.0f);
  EXPECT_LT(state.cameraDistance, 31.0f);
  EXPECT_EQ(scene.eyes.size(), 2u);
}

TEST_F(ShellTest, FrameTimeStaysExactAfterAWeekAtAThousandFramesPerSecond) {
  platform.frequency = 1'000'000'000;
  startRunning();
  for (const double start : {60.0, 86400.0, 604800.0, 4 * 604800.0}) {
    platform.counter = static_cast<std::int64_t>(start * 1e9);
    measureFrameTime(platform);
    scene.steps.clear();
    for (int i = 0; i < 2000; ++i) frame(0.001);
    const auto [lowest, highest] = std::minmax_element(scene.steps.begin(), scene.steps.end());
    EXPECT_NEAR(*lowest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(*highest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(state.elapsedSeconds, start + 2.0, 1e-6) << start;
  }
}

}  // namespace
}  // namespace pellarin
