// What only POSIX file systems let a test plant: the picture file's mode under any umask, links
// under its name, and a pipe in the bitmap's place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "tests/libs/pellarin1/converter_test_fixture.h"

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;

class ConverterPosixTest : public ConverterTest {
 protected:
  mode_t modeOf(const char* name) {
    struct stat info {};
    EXPECT_EQ(::lstat(path(name).c_str(), &info), 0) << name;
    return info.st_mode;
  }
};

TEST_F(ConverterPosixTest, ThePictureIsForItsOwnerAloneWhateverTheUmask) {
  const mode_t saved = ::umask(0);
  const std::int16_t result = convert("in.bmp", "Pellarin.dat");
  ::umask(saved);
  ASSERT_EQ(result, kPellarin1Ok);
  EXPECT_EQ(modeOf("Pellarin.dat") & 07777, 0600u);
}

TEST_F(ConverterPosixTest, ALinkUnderThePicturesNameIsReplacedNotWrittenThrough) {
  const Bytes victim = {'k', 'e', 'e', 'p'};
  put("victim", victim);
  for (const bool hard : {false, true}) {
    fs::remove(path("Pellarin.dat"));
    if (hard) {
      fs::create_hard_link(path("victim"), path("Pellarin.dat"));
    } else {
      fs::create_symlink(path("victim"), path("Pellarin.dat"));
    }
    ASSERT_EQ(convert("in.bmp", "Pellarin.dat"), kPellarin1Ok);
    EXPECT_TRUE(S_ISREG(modeOf("Pellarin.dat"))) << hard;
    EXPECT_EQ(readBytes(path("victim")), victim) << hard;
  }
  expectQuadrants("Pellarin.dat", 8, 8);
}

TEST_F(ConverterPosixTest, APipeAsTheBitmapIsRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(path("pipe.bmp").c_str(), 0600), 0);
  auto result = std::async(std::launch::async, [this] { return convert("pipe.bmp", "out.jpg"); });
  if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int writer = ::open(path("pipe.bmp").c_str(), O_RDWR | O_NONBLOCK);
    ADD_FAILURE() << "ConvertBMPtoJPG is waiting on its bitmap";
    result.wait();
    ::close(writer);
  }
  EXPECT_EQ(result.get(), kPellarin1BitmapUnreadable);
  EXPECT_FALSE(fs::exists(path("out.jpg")));
}

}  // namespace
}  // namespace pellarin::testing
