#include "host/core/command_line.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "common/ascii_text.h"
#include "host/core/basic_numbers.h"

namespace pellarin {

namespace {

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset of the character with the given zero-based index, or npos past the end.
std::size_t characterOffset(std::string_view text, std::size_t index) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isContinuationByte(text[i])) continue;
    if (seen == index) return i;
    ++seen;
  }
  return std::string_view::npos;
}

// Digits only, in the given base, at most 32 bits; nothing for an empty or longer text.
std::optional<std::uint32_t> unsignedNumber(std::string_view digits, unsigned base) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    unsigned digit = base;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    const char upper = asciiUpper(c);
    if (upper >= 'A' && upper <= 'F') digit = static_cast<unsigned>(upper - 'A' + 10);
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// A window number as daemons write it: decimal, or hexadecimal after "0x". 0 names no window.
std::optional<WindowId> windowNumber(std::string_view text) {
  std::optional<std::uint32_t> value;
  if (text.size() > 2 && text[0] == '0' && asciiUpper(text[1]) == 'X') {
    value = unsignedNumber(text.substr(2), 16);
  } else {
    value = unsignedNumber(text, 10);
  }
  if (!value || *value == 0) return std::nullopt;
  return WindowId{*value};
}

enum class DaemonOption { WindowId, Root, Delay, MaxFps };

struct OptionName {
  std::string_view name;
  DaemonOption option;
  bool takesValue;
};

constexpr std::array<OptionName, 4> kDaemonOptions = {{
    {"window-id", DaemonOption::WindowId, true},
    {"root", DaemonOption::Root, false},
    {"delay", DaemonOption::Delay, true},
    {"max-fps", DaemonOption::MaxFps, true},
}};

struct FoundOption {
  DaemonOption option;
  bool takesValue;
  std::optional<std::string_view> inlineValue;  // after "="
};

// "--name", "-name" or, for options with a value, "--name=value" / "-name=value".
std::optional<FoundOption> daemonOption(std::string_view argument) {
  if (argument.starts_with("--")) {
    argument.remove_prefix(2);
  } else if (argument.starts_with("-")) {
    argument.remove_prefix(1);
  } else {
    return std::nullopt;
  }
  const std::size_t equals = argument.find('=');
  const std::string_view name = argument.substr(0, equals);
  for (const OptionName& known : kDaemonOptions) {
    if (name != known.name) continue;
    if (equals == std::string_view::npos) return FoundOption{known.option, known.takesValue, {}};
    if (!known.takesValue) return std::nullopt;
    return FoundOption{known.option, true, argument.substr(equals + 1)};
  }
  return std::nullopt;
}

}  // namespace

char modeLetter(std::string_view commandLine) {
  const std::size_t offset = characterOffset(commandLine, 1);
  if (offset == std::string_view::npos) return '\0';
  const char c = commandLine[offset];
  if (static_cast<unsigned char>(c) >= 0x80) return '?';
  return asciiUpper(c);
}

std::int32_t previewWindowNumber(std::string_view commandLine) {
  const std::size_t offset = characterOffset(commandLine, 3);
  if (offset == std::string_view::npos) return 0;
  const std::optional<double> number = leadingNumber(commandLine.substr(offset));
  if (!number) return 0;
  return roundToInt32(*number).value_or(0);
}

std::string_view commandLineArguments(std::string_view wholeCommandLine) {
  std::size_t end = 0;
  if (wholeCommandLine.starts_with('"')) {
    // A quoted name runs to the closing mark; blanks inside it belong to it.
    end = wholeCommandLine.find('"', 1);
    end = end == std::string_view::npos ? wholeCommandLine.size() : end + 1;
  } else {
    end = std::min(wholeCommandLine.find_first_of(" \t"), wholeCommandLine.size());
  }
  std::string_view rest = wholeCommandLine.substr(end);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  return rest;
}

HostArguments readHostArguments(std::span<const std::string> arguments,
                                std::optional<std::string_view> daemonWindow) {
  HostArguments result;
  bool windowIdGiven = false;
  std::optional<WindowId> windowId;
  bool rootGiven = false;
  std::vector<std::string_view> rest;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::optional<FoundOption> found = daemonOption(arguments[i]);
    if (!found) {
      rest.push_back(arguments[i]);
      continue;
    }
    std::optional<std::string_view> value = found->inlineValue;
    if (found->takesValue && !value && i + 1 < arguments.size()) value = arguments[++i];
    switch (found->option) {
      case DaemonOption::WindowId:
        windowIdGiven = true;
        windowId = value ? windowNumber(*value) : std::nullopt;
        break;
      case DaemonOption::Root:
        rootGiven = true;
        break;
      case DaemonOption::Delay:
        result.pacing.delayMicroseconds = value ? unsignedNumber(*value, 10) : std::nullopt;
        break;
      case DaemonOption::MaxFps:
        result.pacing.maxFps = value ? unsignedNumber(*value, 10) : std::nullopt;
        if (result.pacing.maxFps == 0u) result.pacing.maxFps.reset();
        break;
    }
  }

  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (i > 0) result.commandLine += ' ';
    result.commandLine += rest[i];
  }

  // 0: no usable window number in the variable.
  const WindowId daemons = daemonWindow ? windowNumber(*daemonWindow).value_or(0) : 0;
  if (windowIdGiven) {
    if (windowId) {
      result.window = WindowTarget{false, *windowId};
    } else {
      result.unusableWindow = true;
    }
  } else if (rootGiven) {
    result.window = daemons != 0 ? WindowTarget{false, daemons} : WindowTarget{true, 0};
  } else if (rest.empty() && daemons != 0) {
    result.window = WindowTarget{false, daemons};
  }
  return result;
}

std::vector<std::string> rendererArguments(std::optional<WindowId> window,
                                           const RendererPacing& pacing) {
  std::vector<std::string> arguments;
  if (window) arguments.insert(arguments.end(), {"--window-id", std::to_string(*window)});
  if (pacing.delayMicroseconds) {
    arguments.insert(arguments.end(), {"--delay", std::to_string(*pacing.delayMicroseconds)});
  }
  if (pacing.maxFps)
    arguments.insert(arguments.end(), {"--max-fps", std::to_string(*pacing.maxFps)});
  return arguments;
}

}  // namespace pellarin
