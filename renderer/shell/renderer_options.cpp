#include "renderer/shell/renderer_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace pellarin {

namespace {

constexpr double kFallbackRefreshRate = 60.0;
constexpr double kMicrosecondsPerSecond = 1'000'000.0;

// The option's name without its one or two leading dashes; empty for a non-option.
std::string_view optionName(std::string_view argument) {
  if (argument.starts_with("--")) return argument.substr(2);
  if (argument.starts_with("-")) return argument.substr(1);
  return {};
}

// Plain numbers only: no sign, no blanks, nothing after the number.
bool plainNumber(std::string_view text) {
  return !text.empty() && text.front() != '-' && text.front() != '+';
}

template <typename Integer>
std::optional<Integer> parseInteger(std::string_view text, int base = 10) {
  Integer value{};
  if (!plainNumber(text)) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A whole or decimal number, finite.
std::optional<double> parseDecimal(std::string_view text) {
  double value = 0.0;
  if (!plainNumber(text)) return std::nullopt;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<NativeWindowId> parseWindowId(const std::string& text) {
  std::string_view digits = text;
  int base = 10;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    digits.remove_prefix(2);
    base = 16;
  }
  const std::optional<NativeWindowId> id = parseInteger<NativeWindowId>(digits, base);
  if (!id || *id == 0) return std::nullopt;
  return id;
}

RendererOptions parseRendererOptions(std::span<const char* const> arguments,
                                     const char* screenSaverWindow) {
  RendererOptions options;
  bool windowIdGiven = false;
  bool rootGiven = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i] != nullptr ? arguments[i] : "";
    const std::string_view name = optionName(argument);
    const bool takesValue = name == "window-id" || name == "delay" || name == "max-fps";
    if (name == "root") {
      rootGiven = true;
      continue;
    }
    if (!takesValue) {
      options.ignored.emplace_back(argument);
      continue;
    }
    const bool hasValue = i + 1 < arguments.size() && arguments[i + 1] != nullptr;
    const std::string value = hasValue ? arguments[++i] : "";
    if (name == "window-id") {
      // A window id that is missing or no number still asks for a window: drawing into a popup
      // of our own instead would take the keyboard from the daemon that asked.
      windowIdGiven = true;
      options.windowText = value;
      continue;
    }
    if (name == "delay") {
      const std::optional<std::int64_t> delay = parseInteger<std::int64_t>(value);
      if (delay) {
        options.delayMicroseconds = delay;
      } else {
        options.ignored.emplace_back(std::string(argument) + " " + value);
      }
      continue;
    }
    // max-fps: a whole or decimal number of frames per second.
    const std::optional<double> rate = parseDecimal(value);
    if (rate) {
      options.maxFramesPerSecond = rate;
    } else {
      options.ignored.emplace_back(std::string(argument) + " " + value);
    }
  }

  if (windowIdGiven) {
    options.target = WindowTarget::Given;
  } else if (rootGiven && screenSaverWindow != nullptr) {
    options.target = WindowTarget::Given;
    options.windowText = screenSaverWindow;
  } else if (rootGiven) {
    options.target = WindowTarget::ScreenRoot;
  }
  if (options.target == WindowTarget::Given) options.windowId = parseWindowId(options.windowText);
  return options;
}

std::int64_t frameIntervalMicroseconds(const RendererOptions& options, double refreshRate) {
  if (!options.delayMicroseconds && !options.maxFramesPerSecond) {
    if (options.target == WindowTarget::Popup) return 0;
    const double rate = refreshRate > 0.0 ? refreshRate : kFallbackRefreshRate;
    return std::llround(kMicrosecondsPerSecond / rate);
  }
  std::int64_t interval = options.delayMicroseconds.value_or(0);
  const double rate = options.maxFramesPerSecond.value_or(0.0);
  if (rate > 0.0) {
    // A rate below one frame in ~100 days would overflow; no screen saver means that.
    const double perFrame = std::min(kMicrosecondsPerSecond / rate, 1e13);
    interval = std::max(interval, static_cast<std::int64_t>(std::ceil(perFrame)));
  }
  return interval;
}

}  // namespace pellarin
