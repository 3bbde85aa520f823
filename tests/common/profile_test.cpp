#include "common/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "common/system_names.h"
#include "common/text_encoding.h"
#include "temp_folder.h"

namespace pellarin {
namespace {

using namespace std::string_literals;

class Profile : public testing::TempFolderTest {
 protected:
  std::string read(const std::string& section, const std::string& key) {
    return readProfileString(section, key, "d", 256, ini_);
  }
  // The values of the one-letter keys in keys, joined by "|".
  std::string values(const std::string& keys) {
    std::string joined;
    for (const char key : keys) joined += read("S", std::string(1, key)) + "|";
    return joined;
  }
  std::string integers(const std::string& keys) {
    std::string joined;
    for (const char key : keys)
      joined += std::to_string(readProfileInt("S", {&key, 1}, 768, ini_)) + "|";
    return joined;
  }
  bool write(const std::string& section, const std::string& key, const std::string& value) {
    return writeProfileString(section, key, value, ini_);
  }
};

std::string cp932(const char* utf8) {
  return utf8ToCp932(utf8).value();
}

TEST_F(Profile, ReadFindsKeysWhateverTheLineEndsCaseAndBlanks) {
  for (const std::string eol : {"\r\n", "\r", "\n"}) {
    put(ini_, " \t[ sEtTiNgS ]  ignored ] text" + eol + "; Width=9" + eol + "no key" + eol +
                  "  \tWIDTH \v =  1024 " + eol + "Path=C:\\a;b" + eol + "Last=end");
    SCOPED_TRACE(eol.size());
    EXPECT_EQ(read("Settings", "width"), "1024");
    EXPECT_EQ(read("SETTINGS", "path"), "C:\\a;b");
    EXPECT_EQ(read("settings", "LAST"), "end");
    EXPECT_EQ(read("Settings", "no key"), "d");
    EXPECT_EQ(read("Settings", "; Width"), "d");
  }
}

TEST_F(Profile, ReadTakesTheFirstKeyOfTheFirstSection) {
  put(ini_, "k=outside\r\n[S]\r\nk=1\r\nK=2\r\n[T]\r\nk=3\r\n[s]\r\nk=4\r\nonlyLater=5\r\n");
  EXPECT_EQ(read("S", "k"), "1");
  EXPECT_EQ(read("T", "k"), "3");
  EXPECT_EQ(read("S", "onlyLater"), "d");
}

TEST_F(Profile, ReadTrimsBlanksThenOnePairOfQuotesAndCutsToTheBuffer) {
  put(ini_,
      "[S]\r\na= \t\v\"x y\" \t\r\nb='q'\r\nc=\"'m\"'\r\nd=\"\"t\"\"\r\ne=\"\r\nf=' a '\r\n"
      "g=\r\nlong=" +
          std::string(300, 'v') + "\r\n");
  EXPECT_EQ(values("abcdefgz"), "x y|q|\"'m\"'|\"t\"|\"| a ||d|");
  EXPECT_EQ(read("S", "long"), std::string(255, 'v'));
  EXPECT_EQ(readProfileString("S", "long", "", 4, ini_), "vvv");
  EXPECT_EQ(readProfileString("S", "long", "", 0, ini_), "");
  EXPECT_EQ(readProfileString("S", "none", "default", 4, ini_), "def");
  EXPECT_EQ(readProfileString("None", "long", "dflt", 256, ini_), "dflt");
  EXPECT_EQ(readProfileString("S", "long", "dflt", 256, path("none.ini")), "dflt");
}

TEST_F(Profile, DoubleByteNamesNeverFoldTheirSecondByte) {
  // "ア" is 83 41 and "ヂ" 83 61: second bytes "A" and "a". "ゾ" is 83 5D: second byte "]".
  const std::string a = cp932("ア"), dzi = cp932("ヂ"), zo = cp932("ゾ");
  ASSERT_EQ(a, "\x83\x41");
  put(ini_, "[" + zo + "x]\r\n" + a + "b=1\r\n" + cp932(kMusicKindKey) + "= 2\r\n" +
                cp932(kRepeatTrackKey) + "=-3\r\n" + cp932(kMusicFileKey) + "=C:\\m.mp3\r\n");
  EXPECT_EQ(read(zo + "X", a + "B"), "1");
  EXPECT_EQ(read(zo + "X", dzi + "b"), "d");
  EXPECT_EQ(readProfileInt(zo + "X", cp932(kMusicKindKey), 9, ini_), 2);
  EXPECT_EQ(readProfileInt(zo + "X", cp932("bgmﾘﾋﾟｰﾄ"), 9, ini_), -3);
  ASSERT_TRUE(write(zo + "x", cp932("bGMﾌｧｲﾙ"), "/m.mp3"));
  EXPECT_EQ(read(zo + "X", cp932(kMusicFileKey)), "/m.mp3");
}

TEST_F(Profile, IntegerIsTheLeadingNumber) {
  put(ini_,
      "[S]\r\na= 1024\r\nb=-5x\r\nc=+7\r\nd=abc\r\ne=\r\nf=2.9\r\ng=- 5\r\nh=\"12\"\r\n"
      "i=99999999999999999999999\r\nj=-99999999999999999999999\r\nk=2147483647\r\n"
      "l=-2147483648\r\nm=2147483648\r\n");
  EXPECT_EQ(integers("abcdefghijklmz"),
            "1024|-5|7|0|0|2|0|12|2147483647|-2147483648|2147483647|"
            "-2147483648|2147483647|768|");
  EXPECT_EQ(readProfileInt("S", "a", 768, path("none.ini")), 768);
}

TEST_F(Profile, WriteMakesANewCrLfFileWithoutByteOrderMark) {
  ASSERT_TRUE(write("Settings", "Width", " 1024"));
  ASSERT_TRUE(write("Settings", "Height", " 768"));
  EXPECT_EQ(get(ini_), "[Settings]\r\nWidth= 1024\r\nHeight= 768\r\n");
  EXPECT_EQ(entryCount(), 1);
}

TEST_F(Profile, WriteReplacesOnlyTheValueOfAnExistingLine) {
  put(ini_, ";c\n[settings]\r  wIDTH \t= 1\r\nHeight=2\nother=x");
  ASSERT_TRUE(write("Settings", "Width", " 800"));
  ASSERT_TRUE(write("SETTINGS", "OTHER", " y;z "));
  EXPECT_EQ(get(ini_), ";c\n[settings]\r  wIDTH \t= 800\r\nHeight=2\nother= y;z ");
}

TEST_F(Profile, WriteAddsKeysAfterTheLastKeyOfTheFirstSection) {
  put(ini_, "[A]\nk=1\n\n;note\n[B]\r\n[a]\r\nz=1\r\n");
  ASSERT_TRUE(write("a", "n", "2"));
  ASSERT_TRUE(write("B", "m", "3"));
  EXPECT_EQ(get(ini_), "[A]\nk=1\nn=2\r\n\n;note\n[B]\r\nm=3\r\n[a]\r\nz=1\r\n");
  put(ini_, "[A]\nk=1");  // the last line has no end
  ASSERT_TRUE(write("A", "n", "2"));
  EXPECT_EQ(get(ini_), "[A]\nk=1\r\nn=2\r\n");
}

TEST_F(Profile, WriteAppendsAMissingSectionWithoutABlankLine) {
  put(ini_, "x\n[A]\rk=1");
  ASSERT_TRUE(write("B", "n", "2"));
  EXPECT_EQ(get(ini_), "x\n[A]\rk=1\r\n[B]\r\nn=2\r\n");
  put(ini_, "[A]\rk=1\r");
  ASSERT_TRUE(write("B", "n", "2"));
  EXPECT_EQ(get(ini_), "[A]\rk=1\r[B]\r\nn=2\r\n");
}

TEST_F(Profile, WriteCutsNamesTo128CharactersWithoutSplittingOne) {
  std::string key130, key128;
  for (int i = 0; i < 130; ++i) key130 += cp932("ア");
  key128 = key130.substr(0, 256);
  ASSERT_TRUE(write(std::string(200, 's'), key130, "v"));
  EXPECT_EQ(get(ini_), "[" + std::string(128, 's') + "]\r\n" + key128 + "=v\r\n");
  EXPECT_EQ(read(std::string(150, 's'), key130), "v");
}

TEST_F(Profile, WriteRefusesWhatTheFormatCannotHoldAndChangesNothing) {
  put(ini_, "[S]\r\nk=1\r\n");
  const std::string refused[][3] = {{"S", "k", "a\r\nb"}, {"S", "k", "a\nb"},  {"S", "k", "a\rb"},
                                    {"S", "k", "a\0b"s},  {"S", "k\r", "v"},   {"S\n", "k", "v"},
                                    {"S\0"s, "k", "v"},   {"S", "k\0x"s, "v"}, {"S", "a=b", "v"},
                                    {"S", "[k", "v"},     {"S", ";k", "v"},    {"a]b", "k", "v"},
                                    {"S", " \t", "v"},    {"", "k", "v"}};
  for (const auto& [section, key, value] : refused) {
    EXPECT_FALSE(write(section, key, value)) << section << "|" << key;
  }
  EXPECT_EQ(get(ini_), "[S]\r\nk=1\r\n");
  EXPECT_EQ(entryCount(), 1);
}

TEST_F(Profile, WriteKeepsPermissionBitsAndNewFilesFollowTheUmask) {
  put(ini_, "[S]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(ini_.c_str(), 0604), 0);
  ASSERT_TRUE(write("S", "k", "2"));
  const mode_t oldMask = ::umask(027);
  const bool written = writeProfileString("S", "k", "2", path("new.ini"));
  ::umask(oldMask);
  ASSERT_TRUE(written);
  struct stat old {
  }, created{};
  ASSERT_EQ(::stat(ini_.c_str(), &old) | ::stat(path("new.ini").c_str(), &created), 0);
  EXPECT_EQ(old.st_mode & 07777, 0604u);
  EXPECT_EQ(created.st_mode & 07777, 0640u);
}

}  // namespace
}  // namespace pellarin
