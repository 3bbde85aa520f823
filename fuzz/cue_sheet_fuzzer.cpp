// Fuzzes the cue-sheet reader with the input as the sheet's text.
//
// Checked for every sheet it accepts: one named data file, at least one track, tracks that start
// in strictly rising order at positions a "mm:ss:ff" time can give; and written out again in
// the plain form, the sheet reads back the same.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "host/music/cue_sheet.h"

namespace pellarin {
namespace {

// The latest start "9999:59:74" can give.
constexpr std::uint32_t kLastFrame = (9999u * 60 + 59) * 75 + 74;

std::string plainText(const CueSheet& sheet) {
  // A name without a quotation mark is quoted, so blanks in it survive; one that holds a
  // quotation mark cannot have been quoted, so it holds no blank either.
  const bool quote = sheet.dataFile.find('"') == std::string::npos;
  std::string text = "FILE " + std::string(quote ? "\"" : "") + sheet.dataFile +
                     (quote ? "\"" : "") + " BINARY\r\n";
  for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
    const std::uint32_t frame = sheet.tracks[i].startFrame;
    char line[96];
    std::snprintf(line, sizeof line, "  TRACK %02zu %s\r\n    INDEX 01 %02u:%02u:%02u\r\n", i + 1,
                  sheet.tracks[i].audio ? "AUDIO" : "MODE1/2352", frame / 75 / 60, frame / 75 % 60,
                  frame % 75);
    text += line;
  }
  return text;
}

}  // namespace
}  // namespace pellarin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pellarin;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<CueSheet> sheet = parseCueSheet(text);
  if (!sheet) return 0;

  FUZZ_CHECK(!sheet->dataFile.empty(), "sheet accepted without a data file");
  FUZZ_CHECK(!sheet->tracks.empty(), "sheet accepted without a track");
  for (std::size_t i = 0; i < sheet->tracks.size(); ++i) {
    const std::uint32_t start = sheet->tracks[i].startFrame;
    FUZZ_CHECK(start <= kLastFrame, "track %zu starts at frame %u", i + 1, start);
    if (i > 0) {
      FUZZ_CHECK(start > sheet->tracks[i - 1].startFrame, "track %zu starts at %u, before %u",
                 i + 1, start, sheet->tracks[i - 1].startFrame);
    }
  }

  const std::string again = plainText(*sheet);
  const std::optional<CueSheet> reread = parseCueSheet(again);
  FUZZ_CHECK(reread.has_value(), "the sheet written out again is refused:\n%s", again.c_str());
  FUZZ_CHECK(reread->dataFile == sheet->dataFile, "data file %s reads back as %s",
             sheet->dataFile.c_str(), reread->dataFile.c_str());
  FUZZ_CHECK(reread->tracks.size() == sheet->tracks.size(), "%zu tracks read back as %zu",
             sheet->tracks.size(), reread->tracks.size());
  for (std::size_t i = 0; i < sheet->tracks.size(); ++i) {
    FUZZ_CHECK(reread->tracks[i].startFrame == sheet->tracks[i].startFrame &&
                   reread->tracks[i].audio == sheet->tracks[i].audio,
               "track %zu reads back differently", i + 1);
  }
  return 0;
}
