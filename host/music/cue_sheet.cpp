#include "host/music/cue_sheet.h"

#include <cctype>
#include <charconv>

#include "common/ascii_text.h"

namespace pellarin {
namespace {

// The words of one line; a quoted word may hold blanks.
std::vector<std::string> lineWords(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
    } else if (line[i] == '"') {
      std::size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) end = line.size();
      words.emplace_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      std::size_t end = i;
      while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
      words.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

std::optional<std::uint32_t> number(std::string_view text) {
  std::uint32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// "mm:ss:ff" as a count of CD frames.
std::optional<std::uint32_t> frames(std::string_view text) {
  if (text.size() < 8) return std::nullopt;
  std::size_t first = text.find(':');
  std::size_t second = text.find(':', first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos) return std::nullopt;
  auto m = number(text.substr(0, first));
  auto s = number(text.substr(first + 1, second - first - 1));
  auto f = number(text.substr(second + 1));
  if (!m || !s || !f || *s >= 60 || *f >= 75 || *m > 9999) return std::nullopt;
  return (*m * 60 + *s) * 75 + *f;
}

}  // namespace

std::optional<CueSheet> parseCueSheet(std::string_view text) {
  CueSheet sheet;
  bool haveFile = false;
  bool trackHasStart = true;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    std::vector<std::string> words = lineWords(line);
    if (words.empty()) continue;
    std::string command = asciiUpper(words[0]);
    if (command == "FILE") {
      if (haveFile || words.size() < 3 || asciiUpper(words[2]) != "BINARY") return std::nullopt;
      sheet.dataFile = words[1];
      haveFile = true;
    } else if (command == "TRACK") {
      if (!haveFile || words.size() < 3 || !trackHasStart) return std::nullopt;
      auto index = number(words[1]);
      if (!index || *index != sheet.tracks.size() + 1) return std::nullopt;
      sheet.tracks.push_back({0, asciiUpper(words[2]) == "AUDIO"});
      trackHasStart = false;
    } else if (command == "INDEX") {
      if (sheet.tracks.empty() || words.size() < 3) return std::nullopt;
      auto index = number(words[1]);
      auto start = frames(words[2]);
      if (!index || !start) return std::nullopt;
      if (*index != 1) continue;
      if (sheet.tracks.size() > 1 && *start <= sheet.tracks[sheet.tracks.size() - 2].startFrame) {
        return std::nullopt;
      }
      sheet.tracks.back().startFrame = *start;
      trackHasStart = true;
    }
  }
  if (!haveFile || sheet.dataFile.empty() || sheet.tracks.empty() || !trackHasStart) {
    return std::nullopt;
  }
  return sheet;
}

}  // namespace pellarin
