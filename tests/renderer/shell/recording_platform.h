#pragma once
// A RendererPlatform that keeps to the seam's contract (creation sends kWmCreate and one
// kWmSize, destruction sends kWmDestroy, kWmClose destroys) and logs every call to callLog.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "renderer/shell/renderer_platform.h"
#include "tests/renderer/shell/scene_recorder.h"

namespace pellarin::testing {

class RecordingPlatform final : public RendererPlatform {
 public:
  std::int64_t frequency = 1'000'000;
  std::int64_t counter = 0;
  std::deque<WindowMessage> events;
  std::function<bool(WindowMessage&)> eventSource;  // asked when `events` is empty
  std::vector<PixelFormatDescriptor> descriptorsChosen;
  bool windowExists = false;
  int tokens[2] = {};
  DeviceContextHandle deviceContext = &tokens[0];
  RenderContextHandle renderContext = &tokens[1];

  std::int64_t counterFrequency() override { return frequency; }
  std::int64_t readCounter() override { return note("readCounter"), counter; }
  void showPointer(bool visible) override { note(visible ? "showPointer 1" : "showPointer 0"); }
  bool registerWindowClass(const char* name) override {
    return note("registerWindowClass " + std::string(name)), true;
  }
  bool createWindow(const char* className, const char* title, int x, int y, int width, int height,
                    WindowProcedure procedure) override {
    note("createWindow " + std::string(className) + "/" + title + " " + std::to_string(x) + "," +
         std::to_string(y) + " " + std::to_string(width) + "x" + std::to_string(height));
    procedure_ = procedure;
    windowExists = true;
    procedure(*this, WindowMessage{kWmCreate, 0, 0});
    procedure(*this, WindowMessage{kWmSize, 0, packWords(unsigned(width), unsigned(height))});
    return true;
  }
  void showWindow() override { note("showWindow"); }
  void destroyWindow() override {
    note("destroyWindow");
    if (!windowExists) return;
    procedure_(*this, WindowMessage{kWmDestroy, 0, 0});
    windowExists = false;
  }
  std::intptr_t defaultWindowProcedure(const WindowMessage& message) override {
    if (message.message == kWmClose) destroyWindow();
    return 0;
  }
  bool nextEvent(WindowMessage& message) override {
    if (events.empty()) return eventSource && eventSource(message);
    message = events.front();
    events.pop_front();
    return true;
  }
  DeviceContextHandle getDeviceContext() override {
    return note("getDeviceContext"), deviceContext;
  }
  int screenBitsPerPixel(DeviceContextHandle) override { return 24; }
  int choosePixelFormat(DeviceContextHandle, const PixelFormatDescriptor& descriptor) override {
    descriptorsChosen.push_back(descriptor);
    return note("choosePixelFormat"), 7;
  }
  bool setPixelFormat(DeviceContextHandle, int format, const PixelFormatDescriptor&) override {
    return note("setPixelFormat " + std::to_string(format)), true;
  }
  RenderContextHandle createRenderContext(DeviceContextHandle) override {
    return note("createRenderContext"), renderContext;
  }
  bool makeCurrent(DeviceContextHandle, RenderContextHandle context) override {
    return note(context == renderContext ? "makeCurrent" : "makeCurrent none"), true;
  }
  void deleteRenderContext(RenderContextHandle context) override {
    note(context == renderContext ? "deleteRenderContext" : "deleteRenderContext ?");
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
  static void note(const std::string& entry) { callLog.push_back(entry); }
  WindowProcedure procedure_ = nullptr;
};

}  // namespace pellarin::testing
