#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include "common/system_names.h"

namespace pellarin {
namespace {

TEST(TextEncoding, KeyNamesBecomeTheirCodePage932BytesAndBack) {
  // Half-width katakana are single bytes; kanji are two.
  EXPECT_EQ(utf8ToCp932(kMusicKindKey), "BGM\x8B\xE6\x95\xAA");
  EXPECT_EQ(utf8ToCp932(kRepeatTrackKey), "BGM\xD8\xCB\xDF\xB0\xC4");
  EXPECT_EQ(cp932ToUtf8("BGM\xCC\xA7\xB2\xD9"), kMusicFileKey);
  const std::string longText(5000, 'x');  // longer than one conversion buffer
  EXPECT_EQ(cp932ToUtf8(longText), longText);
}

TEST(TextEncoding, RefusesWhatCannotBeConverted) {
  EXPECT_EQ(utf8ToCp932("caf\xC3\xA9"), std::nullopt);  // U+00E9 has no form, not even as "e"
  EXPECT_EQ(utf8ToCp932("bad \xC3"), std::nullopt);     // cut UTF-8 sequence
  EXPECT_EQ(cp932ToUtf8("\x83"), std::nullopt);         // lead byte without trail byte
  EXPECT_EQ(cp932ToUtf8("\x81\x20"), std::nullopt);     // invalid trail byte
}

}  // namespace
}  // namespace pellarin
