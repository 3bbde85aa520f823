// Fuzzes the settings-file engine against a real file in a private folder.
//
// Input: the file's bytes, optionally followed by "\n==\n" and one operation per line:
//   r|section|key|default|size   readProfileString with a buffer of `size` bytes
//   i|section|key|default        readProfileInt
//   w|section|key|value          writeProfileString
//   x                            removes the file
// In a field, \r \n \0 \\ and \| stand for CR, LF, NUL, a backslash and a bar. Without the
// operation part, every name the file seems to hold is read and the writes the programs make
// are done.
//
// Checked on the way: reads leave the file alone and agree with each other (a shorter buffer
// gives a prefix, the string and number readers see the same key, a missing key gives the
// default less its trailing blanks, a UTF-16 file gives only defaults); a refused write changes
// nothing, and writes with a line break, an empty name or into a UTF-16 file are refused; a write
// that succeeded reads back as written (less the blanks at its ends and one pair of quotes, as
// every read gives it), leaves every other key's value as it was, changes no other line, leaves
// a file only its owner may read and write, and no temporary file behind.

#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/profile.h"
#include "fuzz/fuzz_support.h"

namespace pellarin {
namespace {

using fuzz::fail;

constexpr std::string_view kSeparator = "\n==\n";
// Larger than any value an input can hold, so a read with it is never cut.
constexpr std::size_t kWholeValue = 1 << 20;
// Two defaults no read returns for a present key unless the value is that very text.
const std::string kMissingA = "\x01missing a";
const std::string kMissingB = "\x01missing b";
// The characters the engine treats as blanks around names and values.
constexpr std::string_view kBlanks = " \t\v";
constexpr std::size_t kMostProbes = 32;

struct Name {
  std::string section;
  std::string key;
  bool operator<(const Name& other) const {
    return section != other.section ? section < other.section : key < other.key;
  }
};

struct Operation {
  char kind = 0;
  std::vector<std::string> fields;
  std::string field(std::size_t i) const { return i < fields.size() ? fields[i] : std::string(); }
  Name name() const { return {field(0), field(1)}; }
};

std::vector<std::string> splitFields(std::string_view line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '|') {
      fields.emplace_back();
    } else if (line[i] == '\\' && i + 1 < line.size()) {
      const char c = line[++i];
      fields.back() += c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : c;
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

std::vector<Operation> parseOperations(std::string_view text) {
  std::vector<Operation> operations;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty()) continue;
    Operation operation;
    operation.kind = line[0];
    if (line.size() > 1) operation.fields = splitFields(line.substr(line[1] == '|' ? 2 : 1));
    operations.push_back(std::move(operation));
  }
  return operations;
}

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The names a file seems to hold, found the simple way: "[section]" lines and "key=" lines.
std::vector<Name> namesInFile(std::string_view text) {
  std::vector<Name> names;
  std::string section;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty()) continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
    } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
      if (!section.empty()) names.push_back({section, std::string(line.substr(0, equals))});
    }
  }
  return names;
}

// True when the engine may take the two names for one. It is looser than the engine (every
// ASCII letter folded, the first 128 bytes rather than 128 characters), so a pair it calls
// different the engine must keep apart.
bool maySameName(std::string_view a, std::string_view b) {
  auto key = [](std::string_view name) {
    std::string folded(trim(trim(name).substr(0, 128)));
    for (char& c : folded) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
  };
  return key(a) == key(b);
}

// A file that starts with a UTF-16 byte-order mark holds two-byte text the engine cannot read.
bool isUtf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

bool holdsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// What a read gives for a value that was written: blanks at both ends and one pair of
// enclosing quotes removed.
std::string asRead(std::string_view value) {
  value = trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text.substr(0, 200)) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

class Session {
 public:
  explicit Session(std::vector<Name> probes)
      : file_(fuzz::privateFolder() / "Pellarin.ini"), probes_(std::move(probes)) {}

  void start(std::string_view content) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::privateFolder(), error)) {
      std::filesystem::remove_all(entry.path(), error);
    }
    fuzz::writeFile(file_, content);
  }

  void run(const Operation& operation) {
    switch (operation.kind) {
      case 'r':
        readString(operation);
        break;
      case 'i':
        readInt(operation);
        break;
      case 'w':
        write(operation.name(), operation.field(2));
        break;
      case 'x':
        std::filesystem::remove(file_);
        break;
      default:
        break;
    }
  }

  void write(const Name& name, const std::string& value) {
    const std::optional<std::string> before = fuzz::readFile(file_);
    const std::set<std::string> entriesBefore = entries();
    std::vector<std::optional<std::string>> probed;
    for (const Name& probe : probes_) probed.push_back(valueOf(probe));

    const bool written = writeProfileString(name.section, name.key, value, file_);
    const std::optional<std::string> after = fuzz::readFile(file_);

    if (holdsLineBreakOrNul(name.section) || holdsLineBreakOrNul(name.key) ||
        holdsLineBreakOrNul(value) || trim(name.section).empty() || trim(name.key).empty() ||
        (before && isUtf16(*before))) {
      FUZZ_CHECK(!written, "write of [%s] %s=%s accepted", printable(name.section).c_str(),
                 printable(name.key).c_str(), printable(value).c_str());
    }
    if (!written) {
      FUZZ_CHECK(after == before, "refused write of [%s] %s changed the file",
                 printable(name.section).c_str(), printable(name.key).c_str());
      FUZZ_CHECK(entries() == entriesBefore, "refused write left a file behind");
      return;
    }

    FUZZ_CHECK(after.has_value(), "written file is missing");
    struct stat status {};
    FUZZ_CHECK(::stat(file_.c_str(), &status) == 0 && (status.st_mode & 07777) == 0600,
               "written file has mode %o, not 600", status.st_mode & 07777);
    FUZZ_CHECK(entries() == std::set<std::string>{file_.filename().string()},
               "write left a file behind");
    const std::optional<std::string> readBack = valueOf(name);
    FUZZ_CHECK(readBack == asRead(value), "[%s] %s=%s reads back as %s",
               printable(name.section).c_str(), printable(name.key).c_str(),
               printable(value).c_str(), readBack ? printable(*readBack).c_str() : "(missing)");
    for (std::size_t i = 0; i < probes_.size(); ++i) {
      const Name& probe = probes_[i];
      if (maySameName(probe.section, name.section) && maySameName(probe.key, name.key)) continue;
      const std::optional<std::string> now = valueOf(probe);
      FUZZ_CHECK(now == probed[i], "write of [%s] %s changed [%s] %s from %s to %s",
                 printable(name.section).c_str(), printable(name.key).c_str(),
                 printable(probe.section).c_str(), printable(probe.key).c_str(),
                 probed[i] ? printable(*probed[i]).c_str() : "(missing)",
                 now ? printable(*now).c_str() : "(missing)");
    }
    checkOneLineChanged(before.value_or(std::string()), *after);
  }

 private:
  // The value of a key, or nothing when the engine finds none: a present key reads the same
  // whatever the default, a missing one gives each default unchanged.
  std::optional<std::string> valueOf(const Name& name) const {
    const std::optional<std::string> bytes = fuzz::readFile(file_);
    const bool unreadable = bytes && isUtf16(*bytes);
    const std::string a = readProfileString(name.section, name.key, kMissingA, kWholeValue, file_);
    const std::string b = readProfileString(name.section, name.key, kMissingB, kWholeValue, file_);
    FUZZ_CHECK(!unreadable || (a == kMissingA && b == kMissingB),
               "[%s] %s read from a UTF-16 file as %s", printable(name.section).c_str(),
               printable(name.key).c_str(), printable(a).c_str());
    if (a == b) return a;
    FUZZ_CHECK(a == kMissingA && b == kMissingB, "[%s] %s reads as %s and as %s",
               printable(name.section).c_str(), printable(name.key).c_str(), printable(a).c_str(),
               printable(b).c_str());
    return std::nullopt;
  }

  void readString(const Operation& operation) {
    const std::optional<std::string> before = fuzz::readFile(file_);
    const Name name = operation.name();
    const std::string defaultValue = operation.field(2);
    std::size_t size = 256;
    if (const std::string text = operation.field(3); !text.empty()) {
      size = static_cast<std::size_t>(std::strtoul(text.c_str(), nullptr, 10)) % (kWholeValue + 1);
    }
    const std::string cut = readProfileString(name.section, name.key, defaultValue, size, file_);
    const std::string whole =
        readProfileString(name.section, name.key, defaultValue, kWholeValue, file_);
    FUZZ_CHECK(whole.find('\0') == std::string::npos, "read gave a NUL");
    FUZZ_CHECK(cut == whole.substr(0, size == 0 ? 0 : size - 1),
               "a %zu-byte buffer gives %s, not the start of %s", size, printable(cut).c_str(),
               printable(whole).c_str());
    const std::optional<std::string> value = valueOf(name);
    if (value) {
      FUZZ_CHECK(whole == *value, "[%s] %s reads as %s and as %s", printable(name.section).c_str(),
                 printable(name.key).c_str(), printable(whole).c_str(), printable(*value).c_str());
    } else {
      // The default up to a NUL, less the blanks at its end.
      const std::string_view given =
          std::string_view(defaultValue).substr(0, defaultValue.find('\0'));
      const std::string_view kept = given.substr(0, given.find_last_not_of(kBlanks) + 1);
      FUZZ_CHECK(whole == kept, "missing [%s] %s reads as %s with default %s",
                 printable(name.section).c_str(), printable(name.key).c_str(),
                 printable(whole).c_str(), printable(defaultValue).c_str());
    }
    FUZZ_CHECK(fuzz::readFile(file_) == before, "a read changed the file");
  }

  void readInt(const Operation& operation) {
    const Name name = operation.name();
    const int defaultValue = static_cast<int>(std::strtol(operation.field(2).c_str(), nullptr, 10));
    const int number = readProfileInt(name.section, name.key, defaultValue, file_);
    const int other = readProfileInt(name.section, name.key, ~defaultValue, file_);
    const std::optional<std::string> value = valueOf(name);
    if (!value) {
      FUZZ_CHECK(number == defaultValue && other == ~defaultValue,
                 "missing [%s] %s reads as %d, not the default %d", printable(name.section).c_str(),
                 printable(name.key).c_str(), number, defaultValue);
      return;
    }
    FUZZ_CHECK(number == other, "present [%s] %s reads as the default",
               printable(name.section).c_str(), printable(name.key).c_str());
    // A plain number that fits reads as itself; a value that starts with no digit reads as 0.
    std::string_view digits = *value;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
    const std::size_t digitCount = std::min(digits.find_first_not_of("0123456789"), digits.size());
    if (digitCount == 0) {
      FUZZ_CHECK(number == 0, "%s reads as the number %d", printable(*value).c_str(), number);
    } else if (digitCount <= 9) {
      const long expected = std::stol(std::string(digits.substr(0, digitCount)));
      FUZZ_CHECK(number == (negative ? -expected : expected), "%s reads as the number %d",
                 printable(*value).c_str(), number);
    }
  }

  // A write changes one line's value or adds lines: the bytes it removed hold no line end.
  static void checkOneLineChanged(std::string_view before, std::string_view after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
      ++prefix;
    }
    std::size_t suffix = 0;
    const std::size_t room = std::min(before.size(), after.size()) - prefix;
    while (suffix < room &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
      ++suffix;
    }
    const std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
    FUZZ_CHECK(removed.find_first_of("\r\n") == std::string_view::npos,
               "a write removed %s from the file", printable(removed).c_str());
  }

  std::set<std::string> entries() const {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::privateFolder(), error)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  std::filesystem::path file_;
  std::vector<Name> probes_;
};

// The writes the programs make: the screen size, the music keys (code page 932 names).
std::vector<Operation> programWrites(const std::vector<Name>& names) {
  std::vector<Operation> operations = {
      {'w', {"Settings", "Width", " 1024"}},
      {'w', {"Settings", "Height", " 768"}},
      {'w', {"Settings", "BGM\x8B\xE6\x95\xAA", " 2"}},
      {'w', {"Settings", "BGM\xCC\xA7\xB2\xD9", "C:\\Music\\loop.mp3"}},
  };
  for (const Name& name : names) {
    operations.push_back({'r', {name.section, name.key, "", "256"}});
    operations.push_back({'i', {name.section, name.key, "-3"}});
  }
  if (!names.empty()) operations.push_back({'w', {names[0].section, names[0].key, " \"x\" "}});
  return operations;
}

}  // namespace
}  // namespace pellarin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pellarin;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t separator = input.find(kSeparator);
  const std::string_view content = input.substr(0, separator);

  std::vector<Name> probes = namesInFile(content);
  std::vector<Operation> operations;
  if (separator == std::string_view::npos) {
    operations = programWrites(probes);
  } else {
    operations = parseOperations(input.substr(separator + kSeparator.size()));
  }
  for (const Operation& operation : operations) {
    if (operation.kind == 'r' || operation.kind == 'i' || operation.kind == 'w') {
      probes.push_back(operation.name());
    }
  }
  std::sort(probes.begin(), probes.end());
  probes.erase(std::unique(probes.begin(), probes.end(),
                           [](const Name& a, const Name& b) { return !(a < b) && !(b < a); }),
               probes.end());
  if (probes.size() > kMostProbes) probes.resize(kMostProbes);

  Session session(std::move(probes));
  session.start(content);
  for (const Operation& operation : operations) session.run(operation);
  return 0;
}
