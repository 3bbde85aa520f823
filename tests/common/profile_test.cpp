// The settings-file engine's text: every read and write rule once, then garbage and sheer size.
// What the file system can do to it is in profile_files_test.cpp.
#include "common/profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "common/system_names.h"
#include "common/text_encoding.h"
#include "temp_folder.h"

namespace pellarin {
namespace {

using namespace std::string_literals;

class Profile : public testing::TempFolderTest {
 protected:
  std::string read(const std::string& section, const std::string& key, std::size_t size = 256) {
    return readProfileString(section, key, "d", size, ini_);
  }
  bool write(const std::string& section, const std::string& key, const std::string& value) {
    return writeProfileString(section, key, value, ini_);
  }
};

std::string cp932(const char* utf8) {
  return utf8ToCp932(utf8).value();
}

TEST_F(Profile, ReadRules) {
  const struct {
    const char* rule;
    std::string file, section, key, expected;
  } rows[] = {
      {"case, blanks, text after ]", " \t[ sEtTiNgS ] x ]\r\n \tWIDTH \v = 1024 \r\n", "Settings",
       "width", "1024"},
      {"bare CR line ends", "[S]\rk=1\rj=2", "S", "j", "2"},
      {"bare LF line ends", "[S]\nk=1\nj=2", "S", "j", "2"},
      {"byte-order mark", "\xEF\xBB\xBF[S]\r\nk=1", "S", "k", "1"},
      {"comment is no key", "[S]\r\n; k=9\r\n", "S", "; k", "d"},
      {"line without = is no key", "[S]\r\nno key\r\n", "S", "no key", "d"},
      {"key before any section", "k=0\r\n[S]\r\n", "S", "k", "d"},
      {"first of duplicate keys", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
      {"first of duplicate sections", "[S]\r\n[T]\r\n[s]\r\nk=4\r\n", "S", "k", "d"},
      {"; inside a value", "[S]\r\nk=C:\\a;b", "S", "k", "C:\\a;b"},
      {"blanks then quotes", "[S]\r\nk= \t\v\"x y\" \t\r\n", "S", "k", "x y"},
      {"single quotes", "[S]\r\nk='q'", "S", "k", "q"},
      {"unmatched quotes", "[S]\r\nk=\"'m\"'", "S", "k", "\"'m\"'"},
      {"one pair only", "[S]\r\nk=\"\"t\"\"", "S", "k", "\"t\""},
      {"lone quote", "[S]\r\nk=\"", "S", "k", "\""},
      {"blanks inside quotes", "[S]\r\nk=' a '", "S", "k", " a "},
      {"NUL ends a value", "[S]\r\nk= ab\0cd"s, "S", "k", "ab"},
      {"missing section", "[S]\r\nk=1", "T", "k", "d"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rule);
    put(ini_, row.file);
    EXPECT_EQ(read(row.section, row.key), row.expected);
  }
  put(ini_, "[S]\r\nlong=" + std::string(300, 'v'));
  EXPECT_EQ(read("S", "long"), std::string(255, 'v'));
  EXPECT_EQ(read("S", "long", 4), "vvv");
  EXPECT_EQ(read("S", "long", 0), "");
}

// Blanks at the end of a default are dropped before it is cut to the buffer, as blanks around a
// stored value are; the default of a missing file is the same as that of a missing key.
TEST_F(Profile, TheDefaultLosesItsTrailingBlanksThenIsCutToTheBuffer) {
  put(ini_, "[S]\r\nk=1\r\n");
  const struct {
    std::string defaultValue;
    std::size_t size;
    std::string expected;
  } rows[] = {
      {"abc  ", 256, "abc"},   {" \tabc \t\v", 256, " \tabc"}, {"  ", 256, ""},
      {"a b", 256, "a b"},     {"abc  d  ", 6, "abc  "},       {"default", 4, "def"},
      {"ab \0cd"s, 256, "ab"},
  };
  for (const auto& row : rows) {
    for (const auto& file : {ini_, path("none.ini")}) {
      EXPECT_EQ(readProfileString("S", "none", row.defaultValue, row.size, file), row.expected)
          << '"' << row.defaultValue << "\" " << file;
    }
  }
}

TEST_F(Profile, IntegerIsTheLeadingNumberHeldAtTheIntLimits) {
  put(ini_,
      "[S]\r\na= 1024\r\nb=-5x\r\nc=+7\r\nd=abc\r\ne=\r\nf=2.9\r\ng=- 5\r\nh=\"12\"\r\n"
      "i=99999999999999999999999\r\nj=2147483648\r\nk=-99999999999999999999999\r\nl=-2147483648");
  const int expected[] = {1024, -5, 7, 0, 0, 2, 0, 12, INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (char key = 'a'; key <= 'l'; ++key) {
    EXPECT_EQ(readProfileInt("S", std::string(1, key), 768, ini_), expected[key - 'a']) << key;
  }
  EXPECT_EQ(readProfileInt("S", "none", 768, ini_), 768);
}

TEST_F(Profile, DoubleByteNamesNeverFoldTheirSecondByte) {
  // "ア" is 83 41 and "ヂ" 83 61: second bytes "A" and "a". "ゾ" is 83 5D: second byte "]".
  const std::string a = cp932("ア"), dzi = cp932("ヂ"), zo = cp932("ゾ");
  put(ini_, "[" + zo + "x]\r\n" + a + "b=1\r\n" + cp932(kRepeatTrackKey) + "=-3\r\n");
  EXPECT_EQ(read(zo + "X", a + "B"), "1");
  EXPECT_EQ(read(zo + "X", dzi + "b"), "d");
  EXPECT_EQ(readProfileInt(zo + "X", cp932("bgmﾘﾋﾟｰﾄ"), 9, ini_), -3);
}

TEST_F(Profile, WriteRules) {
  std::string key130;
  for (int i = 0; i < 130; ++i) key130 += cp932("ア");
  const struct {
    const char* rule;
    std::string before, section, key, value, after;
  } rows[] = {
      {"empty file", "", "Settings", "Width", " 1024", "[Settings]\r\nWidth= 1024\r\n"},
      {"only the value changes", ";c\n[settings]\r  wIDTH \t= 1\r\nH=2\n", "Settings", "Width",
       " 8;0 ", ";c\n[settings]\r  wIDTH \t= 8;0 \r\nH=2\n"},
      {"after the first section's last key", "[A]\nk=1\n\n;c\n[a]\r\n", "a", "n", "2",
       "[A]\nk=1\nn=2\r\n\n;c\n[a]\r\n"},
      {"section without keys", "[B]\r\n[C]\r\n", "B", "m", "3", "[B]\r\nm=3\r\n[C]\r\n"},
      {"last line without end", "[A]\nk=1", "A", "n", "2", "[A]\nk=1\r\nn=2\r\n"},
      {"missing section", "x\n[A]\rk=1", "B", "n", "2", "x\n[A]\rk=1\r\n[B]\r\nn=2\r\n"},
      {"no blank line added", "[A]\rk=1\r", "B", "n", "2", "[A]\rk=1\r[B]\r\nn=2\r\n"},
      {"NUL bytes elsewhere kept", "[S]\r\nk=a\0b\r\nx\0y=1\r\nz=2"s, "S", "z", "3",
       "[S]\r\nk=a\0b\r\nx\0y=1\r\nz=3"s},
      {"names cut to 128 characters", "", std::string(200, 's'), key130, "v",
       "[" + std::string(128, 's') + "]\r\n" + key130.substr(0, 256) + "=v\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rule);
    put(ini_, row.before);
    ASSERT_TRUE(write(row.section, row.key, row.value));
    EXPECT_EQ(get(ini_), row.after);
    EXPECT_EQ(entryCount(), 1);
  }
  EXPECT_EQ(read(std::string(150, 's'), key130), "v");
}

TEST_F(Profile, WriteRefusesWhatTheFormatCannotHoldAndChangesNothing) {
  put(ini_, "[S]\r\nk=1\r\n");
  // The last four end in a lead byte that would take the "]" of the header for its second byte
  // (the last one once it is cut to 128 characters and its final pair loses its blank).
  const std::string refused[][3] = {
      {"S", "k", "a\r\nb"}, {"S", "k", "a\nb"},     {"S", "k", "a\rb"},
      {"S", "k", "a\0b"s},  {"S", "k\r", "v"},      {"S\n", "k", "v"},
      {"S\0"s, "k", "v"},   {"S", "k\0x"s, "v"},    {"S", "a=b", "v"},
      {"S", "[k", "v"},     {"S", ";k", "v"},       {"a]b", "k", "v"},
      {"S", " \t", "v"},    {"", "k", "v"},         {"S\x83", "k", "v"},
      {"\x83", "k", "v"},   {"S\x83 \t", "k", "v"}, {std::string(127, 'a') + "\x83 zz", "k", "v"}};
  for (const auto& [section, key, value] : refused) {
    EXPECT_FALSE(write(section, key, value)) << section << "|" << key;
  }
  EXPECT_EQ(get(ini_), "[S]\r\nk=1\r\n");
  EXPECT_EQ(entryCount(), 1);
}

// Names that are stored must be found again, or every write would add another copy.
TEST_F(Profile, EveryNameAWriteAcceptsIsFoundAgainSoARepeatedWriteReplaces) {
  const std::string lead = "\x83", zo = cp932("ゾ");  // "ゾ" is 83 5D: second byte "]"
  const std::pair<std::string, std::string> names[] = {
      {"S", "k" + lead}, {"S", lead}, {zo + "x", "k"}, {"a" + lead + " b", "k"}, {"T" + zo, "k"}};
  for (const auto& [section, key] : names) {
    for (const char* value : {"1", "2"}) ASSERT_TRUE(write(section, key, value));
    EXPECT_EQ(read(section, key), "2");
  }
  EXPECT_EQ(get(ini_), "[S]\r\nk" + lead + "=2\r\n" + lead + "=2\r\n[" + zo + "x]\r\nk=2\r\n[a" +
                           lead + " b]\r\nk=2\r\n[T" + zo + "]\r\nk=2\r\n");
}

// Lines of one-byte text appended to a UTF-16 file would leave it in two encodings; its bytes
// also read as nothing this engine wrote.
TEST_F(Profile, AUtf16FileIsNeitherReadNorWritten) {
  const std::string text = "[S]\r\nk=1\r\n";
  std::string littleEndian = "\xFF\xFE", bigEndian = "\xFE\xFF";
  for (char c : text) {
    littleEndian += {c, '\0'};
    bigEndian += {'\0', c};
  }
  for (const std::string& before : {littleEndian, bigEndian, "\xFF\xFE" + text}) {
    put(ini_, before);
    EXPECT_EQ(read("S", "k"), "d");
    EXPECT_EQ(readProfileInt("S", "k", 5, ini_), 5);
    EXPECT_FALSE(write("S", "k", "2"));
    EXPECT_FALSE(write("T", "n", "2"));
    EXPECT_EQ(get(ini_), before);
    EXPECT_EQ(entryCount(), 1);
  }
}

// Garbage and sheer size: the reader finds nothing (or the one real key) and stays linear; the
// writer appends without touching a byte of what was there.
TEST_F(Profile, RandomBytesAndHundredMegabyteFilesAreReadAndAppendedTo) {
  std::mt19937 random(12345);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string big = "[Other]\r\nkey=a value padding this line to fifty.\r\n";  // 50 bytes
  while (big.size() < (100u << 20)) big += big;
  for (const std::string& before : {noise, big + "[S]\r\nk=found", std::string(100u << 20, 'x')}) {
    put(ini_, before);
    const bool hasKey = before.ends_with("found");
    EXPECT_EQ(read("S", "k"), hasKey ? "found" : "d");
    ASSERT_TRUE(write("S", "n", " 640"));
    const std::string after = get(ini_);
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(readProfileInt("S", "n", 0, ini_), 640);
  }
}

}  // namespace
}  // namespace pellarin
