// The settings-file engine's text rules; what the file system can do to it is in
// profile_files_*_test.cpp.
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
    std::string file, section, key, expected;
  } rows[] = {
      {" \t[ sEtTiNgS ] x ]\r\n \tWIDTH \v = 1024 \r\n", "Settings", "width", "1024"},
      {"[S]\rk=1\rj=2", "S", "j", "2"},
      {"[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
      {"[S]\r\nk= \t\v\"x y\" \t\r\n", "S", "k", "x y"},
      {"[S]\r\nk= ab\0cd"s, "S", "k", "ab"},
  };
  for (const auto& row : rows) {
    put(ini_, row.file);
    EXPECT_EQ(read(row.section, row.key), row.expected) << row.file;
  }
  put(ini_, "[S]\r\nlong=" + std::string(300, 'v'));
  EXPECT_EQ(read("S", "long"), std::string(255, 'v'));
  EXPECT_EQ(read("S", "long", 0), "");
}

// The blanks go first, then the cut: "abc  d  " in 6 bytes keeps its inner blanks.
TEST_F(Profile, TheDefaultLosesItsTrailingBlanksThenIsCutToTheBuffer) {
  put(ini_, "[S]\r\nk=1\r\n");
  for (const auto& file : {ini_, path("none.ini")}) {
    EXPECT_EQ(readProfileString("S", "none", "abc \t", 256, file), "abc") << file;
    EXPECT_EQ(readProfileString("S", "none", "abc  d  ", 6, file), "abc  ") << file;
  }
}

TEST_F(Profile, IntegerIsTheLeadingNumberHeldAtTheIntLimits) {
  put(ini_, "[S]\r\na= 1024\r\nb=-5x\r\nc=abc\r\nd=2147483648\r\ne=-99999999999999999999999");
  const int expected[] = {1024, -5, 0, INT_MAX, INT_MIN};
  for (char key = 'a'; key <= 'e'; ++key) {
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
    std::string before, section, key, value, after;
  } rows[] = {
      {"", "Settings", "Width", " 1024", "[Settings]\r\nWidth= 1024\r\n"},
      {";c\n[settings]\r  wIDTH \t= 1\r\nH=2\n", "Settings", "Width", " 8;0 ",
       ";c\n[settings]\r  wIDTH \t= 8;0 \r\nH=2\n"},
      {"[A]\nk=1\n\n;c\n[a]\r\n", "a", "n", "2", "[A]\nk=1\nn=2\r\n\n;c\n[a]\r\n"},
      {"x\n[A]\rk=1", "B", "n", "2", "x\n[A]\rk=1\r\n[B]\r\nn=2\r\n"},
      {"", std::string(200, 's'), key130, "v",
       "[" + std::string(128, 's') + "]\r\n" + key130.substr(0, 256) + "=v\r\n"},
  };
  for (const auto& row : rows) {
    put(ini_, row.before);
    ASSERT_TRUE(write(row.section, row.key, row.value)) << row.before;
    EXPECT_EQ(get(ini_), row.after);
    EXPECT_EQ(entryCount(), 1);
  }
  EXPECT_EQ(read(std::string(150, 's'), key130), "v");
}

TEST_F(Profile, WriteRefusesWhatTheFormatCannotHoldAndChangesNothing) {
  put(ini_, "[S]\r\nk=1\r\n");
  // The last three end in a lead byte that would take the "]" of the header for its second byte
  // (the last one once it is cut to 128 characters and its final pair loses its blank).
  const std::string refused[][3] = {
      {"S", "k", "a\nb"},     {"S", "k", "a\rb"},
      {"S", "a=b", "v"},      {"S", ";k", "v"},
      {"a]b", "k", "v"},      {"S\x83", "k", "v"},
      {"S\x83 \t", "k", "v"}, {std::string(127, 'a') + "\x83 zz", "k", "v"}};
  for (const auto& [section, key, value] : refused) {
    EXPECT_FALSE(write(section, key, value)) << section << "|" << key;
  }
  EXPECT_EQ(get(ini_), "[S]\r\nk=1\r\n");
  EXPECT_EQ(entryCount(), 1);
}

// Names that are stored must be found again, or every write would add another copy.
TEST_F(Profile, EveryNameAWriteAcceptsIsFoundAgainSoARepeatedWriteReplaces) {
  const std::string lead = "\x83", zo = cp932("ゾ");
  const std::pair<std::string, std::string> names[] = {
      {"S", "k" + lead}, {zo + "x", "k"}, {"a" + lead + " b", "k"}};
  for (const auto& [section, key] : names) {
    for (const char* value : {"1", "2"}) ASSERT_TRUE(write(section, key, value));
    EXPECT_EQ(read(section, key), "2");
  }
  EXPECT_EQ(get(ini_),
            "[S]\r\nk" + lead + "=2\r\n[" + zo + "x]\r\nk=2\r\n[a" + lead + " b]\r\nk=2\r\n");
}

// One-byte lines appended to a UTF-16 file would leave it in two encodings.
TEST_F(Profile, AUtf16FileIsNeitherReadNorWritten) {
  std::string littleEndian = "\xFF\xFE", bigEndian = "\xFE\xFF";
  for (char c : "[S]\r\nk=1\r\n"s) {
    littleEndian += {c, '\0'};
    bigEndian += {'\0', c};
  }
  for (const std::string& before : {littleEndian, bigEndian}) {
    put(ini_, before);
    EXPECT_EQ(read("S", "k"), "d");
    EXPECT_FALSE(write("T", "n", "2"));
    EXPECT_EQ(get(ini_), before);
    EXPECT_EQ(entryCount(), 1);
  }
}

// The reader finds nothing in noise (or the one real key after 100 MB) and the writer appends
// without touching a byte of what was there.
TEST_F(Profile, RandomBytesAndHundredMegabyteFilesAreReadAndAppendedTo) {
  std::mt19937 random(12345);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string big = "[Other]\r\nkey=a value padding this line to fifty.\r\n";
  while (big.size() < (100u << 20)) big += big;
  for (const std::string& before : {noise, big + "[S]\r\nk=found"}) {
    put(ini_, before);
    EXPECT_EQ(read("S", "k"), before.ends_with("found") ? "found" : "d");
    ASSERT_TRUE(write("S", "n", " 640"));
    EXPECT_EQ(get(ini_).substr(0, before.size()), before);
    EXPECT_EQ(readProfileInt("S", "n", 0, ini_), 640);
  }
}

}  // namespace
}  // namespace pellarin
