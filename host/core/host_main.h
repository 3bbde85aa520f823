#pragma once
// Main: the host's start-up, from the command line to the mode's first form.

#include <filesystem>
#include <string_view>

#include "host/core/command_line.h"
#include "host/core/pointer_control.h"
#include "host/core/screen_metrics.h"
#include "host/core/start_up_forms.h"
#include "host/core/user_message.h"
#include "host/core/window_finder.h"

namespace pellarin::Quorvane_B {

struct MainServices {
  WindowFinder& windows;
  PointerControl& pointer;
  ScreenMetrics& screen;
  UserMessage& messages;
  StartUpForms& forms;
  // Where the host and its companion files lie.
  std::filesystem::path programFolder;
};

enum class MainResult {
  End,          // the program ends now
  KeepRunning,  // a form is loaded: the program lives on in its event loop
};

// arguments as readHostArguments made them; its commandLine is the text the mode letter comes
// from ("/S", "/p 1234", "/c:5678").
MainResult Main(const HostArguments& arguments, MainServices& services);

}  // namespace pellarin::Quorvane_B
