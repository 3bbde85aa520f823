#include "common/profile.h"

#include <climits>
#include <cstring>
#include <optional>
#include <system_error>

#include "common/ascii_text.h"
#include "common/debug_log.h"
#include "common/file_access.h"
#include "common/path_text.h"
#include "common/text_encoding.h"

namespace pellarin {

namespace {

// Longest section or key name, in characters (a double-byte character counts as one).
constexpr std::size_t kMaxNameCharacters = 128;

constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool isLead(char c) {
  return isCp932LeadByte(static_cast<unsigned char>(c));
}

// Compares names without regard to ASCII letter case. The second byte of a double-byte
// character is compared exactly: it may look like an ASCII letter, but folding it would make
// two different Japanese characters equal.
bool namesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    if (isLead(a[i]) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
    } else {
      if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
      ++i;
    }
  }
  return true;
}

// The first maxCharacters characters of name, never splitting a double-byte character.
std::string_view cutName(std::string_view name, std::size_t maxCharacters) {
  std::size_t i = 0;
  for (std::size_t count = 0; i < name.size() && count < maxCharacters; ++count) {
    i += (isLead(name[i]) && i + 1 < name.size()) ? 2 : 1;
  }
  return name.substr(0, i);
}

// A caller's name as it is matched against the file: blanks around it do not count.
std::string_view normaliseName(std::string_view name) {
  return trimBlanks(cutName(trimBlanks(name), kMaxNameCharacters));
}

bool holdsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Position of the first "]" that is a character of its own, not the second byte of a
// double-byte character.
std::size_t findClosingBracket(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isLead(text[i]) && i + 1 < text.size()) {
      ++i;
    } else if (text[i] == ']') {
      return i;
    }
  }
  return std::string_view::npos;
}

enum class LineKind { Other, Section, Key };

struct Line {
  std::size_t begin = 0;       // first byte of the line
  std::size_t contentEnd = 0;  // first byte of the line end (or the end of the text)
  std::size_t next = 0;        // first byte of the next line
  LineKind kind = LineKind::Other;
  std::string_view name;       // section or key name, blanks removed
  std::size_t valueBegin = 0;  // for a key line: the first byte after "="
};

// Walks the text line by line. A line ends at CR LF, at a bare CR or at a bare LF; the last
// line may have no end.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {
    // A UTF-8 byte-order mark written by some editors is not part of the first line.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") position_ = 3;
  }

  bool next(Line& line) {
    if (position_ >= text_.size()) return false;
    line.begin = position_;
    const char* start = text_.data() + position_;
    const std::size_t rest = text_.size() - position_;
    // memchr keeps this fast on very large files; look for the nearer of CR and LF.
    const void* lf = std::memchr(start, '\n', rest);
    const std::size_t lfAt =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : rest;
    const void* cr = std::memchr(start, '\r', lfAt);
    const std::size_t end =
        cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - start) : lfAt;
    line.contentEnd = position_ + end;
    std::size_t after = line.contentEnd;
    if (after < text_.size()) {
      if (text_[after] == '\r' && after + 1 < text_.size() && text_[after + 1] == '\n') {
        after += 2;
      } else {
        after += 1;
      }
    }
    line.next = after;
    position_ = after;
    classify(line);
    return true;
  }

 private:
  void classify(Line& line) const {
    std::string_view content = text_.substr(line.begin, line.contentEnd - line.begin);
    line.kind = LineKind::Other;
    line.name = {};
    std::size_t first = 0;
    while (first < content.size() && isBlank(content[first])) ++first;
    if (first == content.size() || content[first] == ';') return;
    if (content[first] == '[') {
      std::string_view inside = content.substr(first + 1);
      // A header without "]" names the rest of the line.
      inside = inside.substr(0, findClosingBracket(inside));
      line.kind = LineKind::Section;
      line.name = trimBlanks(inside);
      return;
    }
    const std::size_t equals = content.find('=', first);
    if (equals == std::string_view::npos) return;
    line.kind = LineKind::Key;
    line.name = trimBlanks(content.substr(first, equals - first));
    line.valueBegin = line.begin + equals + 1;
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

struct Lookup {
  bool sectionFound = false;
  bool keyFound = false;
  Line keyLine;         // the key's line, when found
  Line lastLineOfKeys;  // the section's header or its last key line, when the section is found
};

// Finds key in the first section named section. Only the first of duplicate sections is
// searched and the first of duplicate keys wins.
Lookup lookUp(std::string_view text, std::string_view section, std::string_view key) {
  Lookup result;
  LineReader reader(text);
  Line line;
  bool inSection = false;
  while (reader.next(line)) {
    if (line.kind == LineKind::Section) {
      if (inSection) break;
      if (namesEqual(line.name, section)) {
        inSection = true;
        result.sectionFound = true;
        result.lastLineOfKeys = line;
      }
    } else if (inSection && line.kind == LineKind::Key) {
      result.lastLineOfKeys = line;
      if (namesEqual(line.name, key)) {
        result.keyFound = true;
        result.keyLine = line;
        break;
      }
    }
  }
  return result;
}

// A UTF-16 file (one that starts with its byte-order mark) holds two-byte text: none of its
// lines is one this engine can read, and one-byte lines appended to it would leave the file in
// two encodings.
bool isUtf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

// The file's text; nothing when it is missing, cannot be read or is not one-byte text.
std::optional<std::string> readText(const std::filesystem::path& file) {
  file_access::FileBytes content = file_access::readRegularFile(file);
  if (content.outcome != file_access::ReadOutcome::Read) return std::nullopt;
  if (isUtf16(content.bytes)) {
    debugLog("profile: %s holds UTF-16 text; not read\n", pathText(file).c_str());
    return std::nullopt;
  }
  return std::move(content.bytes);
}

// The raw text after "=" of the key, or nothing when the file, section or key is missing or
// the file cannot be read.
std::optional<std::string> findRawValue(std::string_view section, std::string_view key,
                                        const std::filesystem::path& file) {
  if (holdsLineBreakOrNul(section) || holdsLineBreakOrNul(key)) return std::nullopt;
  section = normaliseName(section);
  key = normaliseName(key);
  if (section.empty() || key.empty()) return std::nullopt;
  const std::optional<std::string> text = readText(file);
  if (!text) return std::nullopt;
  const Lookup found = lookUp(*text, section, key);
  if (!found.keyFound) return std::nullopt;
  const Line& line = found.keyLine;
  return text->substr(line.valueBegin, line.contentEnd - line.valueBegin);
}

std::string cleanValue(std::string_view raw) {
  // A NUL ends the text, as it would for any C string reader.
  raw = raw.substr(0, raw.find('\0'));
  raw = trimBlanks(raw);
  if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
    raw = raw.substr(1, raw.size() - 2);
  }
  return std::string(raw);
}

// The caller's default as a value: up to its first NUL, without blanks at its end (those at its
// start are the caller's own).
std::string cleanDefault(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string cutToBuffer(std::string text, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  if (text.size() > bufferSize - 1) text.resize(bufferSize - 1);
  return text;
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// The file a write replaces: the file itself, or for a link the file it ends at, provided that
// lies in the link's own folder. A link out of the folder could make a settings write overwrite
// any file the user (or root) may change; a link to a file beside it is the user's own
// arrangement: the link stays and the file it names is replaced. A link that leads nowhere is
// refused, since creating a file at the end of an unknown chain is not a sound guess.
std::optional<std::filesystem::path> writeTarget(const std::filesystem::path& file) {
  switch (file_access::entryKind(file)) {
    case file_access::EntryKind::Missing:
    case file_access::EntryKind::RegularFile:
    case file_access::EntryKind::Other:  // refused by the read that follows
      return file;
    case file_access::EntryKind::Unknown:
      debugLog("profile: cannot look at %s\n", pathText(file).c_str());
      return std::nullopt;
    case file_access::EntryKind::Link:
      break;
  }
  const std::optional<std::filesystem::path> target = file_access::resolvedPath(file);
  const std::optional<std::filesystem::path> folder = file_access::resolvedPath(folderOf(file));
  if (!target || !folder) {
    debugLog("profile: link %s leads nowhere; not written\n", pathText(file).c_str());
    return std::nullopt;
  }
  if (target->parent_path() != *folder) {
    debugLog("profile: link %s leads out of its folder; not written\n", pathText(file).c_str());
    return std::nullopt;
  }
  return target;
}

// A write's temporary file is ".<file name>.<unique part>.tmp" beside the file.
constexpr std::string_view kTemporarySuffix = ".tmp";

std::string temporaryPrefix(const std::filesystem::path& target) {
  return "." + pathText(target.filename()) + ".";
}

// Temporary files that writes to the same file left when they were killed half-way; without
// this every such kill would leave one for good. Those of writes still under way stay.
void removeAbandonedTemporaries(const std::filesystem::path& folder, std::string_view prefix) {
  std::error_code error;
  std::filesystem::directory_iterator entry(folder, error);
  for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    const std::string name = pathText(entry->path().filename());
    if (name.size() > prefix.size() + kTemporarySuffix.size() && name.starts_with(prefix) &&
        name.ends_with(kTemporarySuffix)) {
      file_access::removeIfAbandoned(entry->path());
    }
  }
}

// Writes bytes to a new file beside target and puts it in target's place in one step, so a
// crash, a kill or a full disk leaves either the old file or the new one, never a part of one.
bool replaceFile(const std::filesystem::path& target, std::string_view bytes) {
  const std::filesystem::path folder = folderOf(target);
  const std::string prefix = temporaryPrefix(target);
  removeAbandonedTemporaries(folder, prefix);
  std::optional<file_access::NewFile> temporary =
      file_access::NewFile::createIn(folder, prefix, kTemporarySuffix);
  return temporary && temporary->append(bytes) && temporary->replace(target);
}

// True when the name's last byte is the lead byte of a double-byte character without its
// second byte. Before the "]" of a section header it would take the bracket for that byte.
// A key may end so: "=" is never a second byte.
bool endsInLoneLeadByte(std::string_view name) {
  bool lone = false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    lone = isLead(name[i]) && i + 1 == name.size();
    if (isLead(name[i])) ++i;
  }
  return lone;
}

// Valid when the name survives a write and a read unchanged: no line break or NUL, not empty,
// and nothing that would turn its line into a header, a comment or another key, or its header
// into one that never closes.
bool isStorableSection(std::string_view name) {
  return !name.empty() && findClosingBracket(name) == std::string_view::npos &&
         !endsInLoneLeadByte(name);
}

bool isStorableKey(std::string_view name) {
  return !name.empty() && name.front() != '[' && name.front() != ';' &&
         name.find('=') == std::string_view::npos;
}

}  // namespace

std::string readProfileString(std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferSize,
                              const std::filesystem::path& file) {
  const std::optional<std::string> raw = findRawValue(section, key, file);
  if (!raw) return cutToBuffer(cleanDefault(defaultValue), bufferSize);
  return cutToBuffer(cleanValue(*raw), bufferSize);
}

int readProfileInt(std::string_view section, std::string_view key, int defaultValue,
                   const std::filesystem::path& file) {
  const std::optional<std::string> raw = findRawValue(section, key, file);
  if (!raw) return defaultValue;
  const std::string value = cleanValue(*raw);
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  // Counted in 64 bits and held at the int limits, so no string of digits can overflow.
  long long magnitude = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (value[i] - '0');
    if (magnitude > limit) {
      magnitude = limit;
      break;
    }
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::filesystem::path& file) {
  if (holdsLineBreakOrNul(section) || holdsLineBreakOrNul(key) || holdsLineBreakOrNul(value)) {
    debugLog("profile: line break or NUL refused in a write to %s\n", pathText(file).c_str());
    return false;
  }
  section = normaliseName(section);
  key = normaliseName(key);
  if (!isStorableSection(section) || !isStorableKey(key)) {
    debugLog("profile: name that cannot be stored refused in a write to %s\n",
             pathText(file).c_str());
    return false;
  }

  if (!file.has_filename()) return false;
  const std::optional<std::filesystem::path> target = writeTarget(file);
  if (!target) return false;
  const file_access::FileBytes content = file_access::readRegularFile(*target);
  if (content.outcome == file_access::ReadOutcome::Failed) return false;
  const bool exists = content.outcome == file_access::ReadOutcome::Read;
  if (exists && isUtf16(content.bytes)) {
    debugLog("profile: %s holds UTF-16 text; not written\n", pathText(*target).c_str());
    return false;
  }
  // A file we may not write stays as it is, even though its folder would let us replace it.
  if (exists && !file_access::mayWrite(*target)) {
    debugLog("profile: %s is read-only\n", pathText(*target).c_str());
    return false;
  }

  const std::string_view text = content.bytes;
  const Lookup found = lookUp(text, section, key);
  std::string out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (found.keyFound) {
    // Only the value changes; the key keeps its spelling and the line its own end.
    const Line& line = found.keyLine;
    out.append(text.substr(0, line.valueBegin));
    out.append(value);
    out.append(text.substr(line.contentEnd));
  } else if (found.sectionFound) {
    const Line& last = found.lastLineOfKeys;
    out.append(text.substr(0, last.next));
    if (last.next == last.contentEnd) out.append(kLineEnd);  // the file's last line had no end
    out.append(key).append("=").append(value).append(kLineEnd);
    out.append(text.substr(last.next));
  } else {
    out.append(text);
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') out.append(kLineEnd);
    out.append("[").append(section).append("]").append(kLineEnd);
    out.append(key).append("=").append(value).append(kLineEnd);
  }
  return replaceFile(*target, out);
}

}  // namespace pellarin
