#include "common/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "common/ascii_text.h"
#include "common/debug_log.h"
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

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { close(); }
  int get() const { return fd_; }
  bool close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

enum class ReadOutcome { Read, Missing, Failed };

struct FileContent {
  ReadOutcome outcome = ReadOutcome::Failed;
  std::string bytes;
  struct stat status {};
};

// Reads a whole regular file. Anything else in the file's place (a folder, a device, a pipe)
// is a failure; O_NONBLOCK keeps a pipe from hanging the open.
FileContent readWholeFile(const std::filesystem::path& file) {
  FileContent content;
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) {
    content.outcome = (errno == ENOENT) ? ReadOutcome::Missing : ReadOutcome::Failed;
    if (content.outcome == ReadOutcome::Failed) {
      debugLog("profile: cannot open %s: %s", file.c_str(), std::strerror(errno));
    }
    return content;
  }
  if (::fstat(fd.get(), &content.status) != 0 || !S_ISREG(content.status.st_mode)) {
    debugLog("profile: %s is not a regular file", file.c_str());
    return content;
  }
  if (content.status.st_size > 0) {
    content.bytes.reserve(static_cast<std::size_t>(content.status.st_size));
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got > 0) {
      content.bytes.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      debugLog("profile: cannot read %s: %s", file.c_str(), std::strerror(errno));
      content.bytes.clear();
      return content;
    }
  }
  content.outcome = ReadOutcome::Read;
  return content;
}

// The raw text after "=" of the key, or nothing when the file, section or key is missing or
// the file cannot be read.
std::optional<std::string> findRawValue(std::string_view section, std::string_view key,
                                        const std::filesystem::path& file) {
  if (holdsLineBreakOrNul(section) || holdsLineBreakOrNul(key)) return std::nullopt;
  section = normaliseName(section);
  key = normaliseName(key);
  if (section.empty() || key.empty()) return std::nullopt;
  FileContent content = readWholeFile(file);
  if (content.outcome != ReadOutcome::Read) return std::nullopt;
  const Lookup found = lookUp(content.bytes, section, key);
  if (!found.keyFound) return std::nullopt;
  const Line& line = found.keyLine;
  return content.bytes.substr(line.valueBegin, line.contentEnd - line.valueBegin);
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

std::string cutToBuffer(std::string text, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  if (text.size() > bufferSize - 1) text.resize(bufferSize - 1);
  return text;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return true;
}

// The path that is actually replaced. A symbolic link is followed to the file it names, so the
// link stays a link and the settings go where it points; a link that names no existing file
// gives nothing, since creating a file at the end of an unknown chain is not a sound guess.
std::optional<std::filesystem::path> resolveTarget(const std::filesystem::path& file) {
  struct stat status {};
  if (::lstat(file.c_str(), &status) != 0) {
    if (errno == ENOENT) return file;
    return std::nullopt;
  }
  if (!S_ISLNK(status.st_mode)) return file;
  char* resolved = ::realpath(file.c_str(), nullptr);
  if (resolved == nullptr) {
    debugLog("profile: symbolic link %s leads nowhere", file.c_str());
    return std::nullopt;
  }
  std::filesystem::path target(resolved);
  std::free(resolved);
  return target;
}

// Creates a new, empty file beside target with the given permissions (the process's umask
// applies). O_EXCL makes sure an existing file is never reused.
int createSibling(const std::filesystem::path& target, mode_t mode, std::string& name) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    name = (folder /
            ("." + target.filename().string() + "." + std::to_string(::getpid()) + "." +
             std::to_string(counter.fetch_add(1)) + "." + std::to_string(now % 1000000) + ".tmp"))
               .string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes bytes to a new file beside target and renames it over target, so a crash, a kill or
// a full disk leaves either the old file or the new one, never a part of one.
bool replaceFile(const std::filesystem::path& target, std::string_view bytes,
                 const struct stat* oldStatus) {
  std::string temporary;
  // A new settings file gets the permissions any newly created file would get; a replacement
  // starts private and then takes the old file's permission bits and, where allowed, its owner.
  FileDescriptor fd(createSibling(target, oldStatus != nullptr ? 0600 : 0666, temporary));
  if (fd.get() < 0) {
    debugLog("profile: cannot create a file beside %s: %s", target.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = true;
  if (oldStatus != nullptr) {
    ok = ::fchmod(fd.get(), oldStatus->st_mode & 07777) == 0;
    if (ok && (oldStatus->st_uid != ::geteuid() || oldStatus->st_gid != ::getegid())) {
      if (::fchown(fd.get(), oldStatus->st_uid, oldStatus->st_gid) != 0) {
        debugLog("profile: owner of %s not kept: %s", target.c_str(), std::strerror(errno));
      }
    }
  }
  ok = ok && writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
  ok = fd.close() && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    debugLog("profile: cannot write %s: %s", target.c_str(), std::strerror(errno));
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; the new file is in place either way.
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() >= 0) ::fsync(folderFd.get());
  return true;
}

// Valid when the name survives a write and a read unchanged: no line break or NUL, not empty,
// and for a key nothing that would turn its line into a header, a comment or another key.
bool isStorableSection(std::string_view name) {
  return !name.empty() && findClosingBracket(name) == std::string_view::npos;
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
  if (!raw)
    return cutToBuffer(std::string(defaultValue.substr(0, defaultValue.find('\0'))), bufferSize);
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
    debugLog("profile: line break or NUL refused in a write to %s", file.c_str());
    return false;
  }
  section = normaliseName(section);
  key = normaliseName(key);
  if (!isStorableSection(section) || !isStorableKey(key)) {
    debugLog("profile: name that cannot be stored refused in a write to %s", file.c_str());
    return false;
  }

  if (!file.has_filename()) return false;
  const std::optional<std::filesystem::path> target = resolveTarget(file);
  if (!target) return false;
  FileContent content = readWholeFile(*target);
  if (content.outcome == ReadOutcome::Failed) return false;
  const bool exists = content.outcome == ReadOutcome::Read;
  // A file we may not write stays as it is, even though its folder would let us replace it.
  if (exists && ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) {
    debugLog("profile: %s is read-only", target->c_str());
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
  return replaceFile(*target, out, exists ? &content.status : nullptr);
}

}  // namespace pellarin
