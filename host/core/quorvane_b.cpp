#include "host/core/quorvane_b.h"

#include <optional>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/profile.h"
#include "common/system_names.h"
#include "common/text_encoding.h"
#include "common/work_folder.h"
#include "host/core/basic_numbers.h"
#include "host/core/file_system.h"
#include "host/core/path_separators.h"

namespace pellarin::Quorvane_B {

namespace {

constexpr std::size_t kValueBufferSize = 256;
constexpr std::size_t kNameFieldCharacters = 128;

// The first `count` characters of a UTF-8 text (a character is one code point).
std::string_view firstCharacters(std::string_view utf8, std::size_t count) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if ((byte & 0xC0) != 0x80) {
      if (characters == count) return utf8.substr(0, i);
      ++characters;
    }
  }
  return utf8;
}

// Names go to the file in code page 932. A name without a code page 932 form cannot be in the
// file, so it reads as missing and is never written.
std::optional<std::string> fileName(std::string_view utf8) {
  return utf8ToCp932(utf8);
}

// Sets target to the integer part of text; an empty text gives 0, a text that is not a number or
// does not fit leaves target as it was.
void setIntegerFromText(std::int16_t& target, const std::string& text) {
  if (text.empty()) {
    target = 0;
    return;
  }
  const std::optional<double> number = wholeTextNumber(text);
  if (!number) return;
  if (const std::optional<std::int16_t> whole = integerPartToInt16(*number)) target = *whole;
}

}  // namespace

std::string readSetting(std::string_view section, std::string_view key,
                        const std::filesystem::path& file) {
  const std::optional<std::string> sectionName = fileName(section);
  const std::optional<std::string> keyName = fileName(key);
  if (!sectionName || !keyName) return {};
  const std::string stored = readProfileString(*sectionName, *keyName, "", kValueBufferSize, file);
  // Values are in the system's code page, as the platform's own profile calls and earlier
  // versions wrote them; a value that is no text of it names nothing this program could use.
  std::optional<std::string> value = systemCodePageToUtf8(stored);
  if (!value) {
    debugLog("settings: the value of %s is not in the system's code page; read as empty\n",
             std::string(key).c_str());
    return {};
  }
  return std::move(*value);
}

void writeSetting(std::string_view section, std::string_view key, std::string_view value,
                  const std::filesystem::path& file) {
  const std::optional<std::string> sectionName =
      fileName(firstCharacters(section, kNameFieldCharacters));
  const std::optional<std::string> keyName = fileName(firstCharacters(key, kNameFieldCharacters));
  // A value with a character outside the system's code page could only be stored as a guess,
  // which would read back as another path: it is not written, like a name without its code
  // page 932 form.
  const std::optional<std::string> stored = utf8ToSystemCodePage(value);
  if (!stored) {
    debugLog("settings: the value for %s has no form in the system's code page; not written\n",
             std::string(key).c_str());
  }
  if (!sectionName || !keyName || !stored) {
    lastApiResult = 0;
    return;
  }
  lastApiResult = writeProfileString(*sectionName, *keyName, *stored, file) ? 1 : 0;
}

void loadSettings() {
  const std::filesystem::path file = settingsFilePath();
  setIntegerFromText(musicKind, readSetting(kSettingsSection, kMusicKindKey, file));
  setIntegerFromText(cdRepeatTrack, readSetting(kSettingsSection, kRepeatTrackKey, file));

  const std::string text = readSetting(kSettingsSection, kMusicFileKey, file);
  musicFile = text;
  if (text.empty() || !fileExists(text)) {
    musicFile.clear();
    if (musicKind == 2) musicKind = 0;
  }

  musicFolder = musicFile.empty() ? pathText(programFolder()) : folderOfPath(musicFile);
}

bool fileExists(std::string_view path) {
  std::string name(path);
  if (!name.empty() && name.back() == kFolderSeparator) name.pop_back();
  if (name.empty()) return false;
  return isReadableRegularFile(name);
}

std::string folderOfPath(std::string_view path) {
  const std::size_t last = path.find_last_of(kPathSeparators);
  if (last == std::string_view::npos) return {};
  std::string folder(path.substr(0, last + 1));
  // "/name" lies in the root folder, which has no shorter name than "/".
  if (folder.size() > 1 && folder.back() == kFolderSeparator) folder.pop_back();
  return folder;
}

}  // namespace pellarin::Quorvane_B
