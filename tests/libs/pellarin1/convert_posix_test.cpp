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
  for (mode_t mask : {mode_t{0}, mode_t{022}, mode_t{077}}) {
    const mode_t saved = ::umask(mask);
    const std::int16_t result = convert("in.bmp", "Pellarin.dat");
    ::umask(saved);
    ASSERT_EQ(result, kPellarin1Ok);
    EXPECT_EQ(modeOf("Pellarin.dat") & 07777, 0600u) << "umask " << std::oct << mask;
  }
}

TEST_F(ConverterPosixTest, ALinkUnderThePicturesNameIsReplacedNotWrittenThrough) {
  const Bytes victim = {'k', 'e', 'e', 'p'};
  put("victim", victim);
  const struct {
    const char* name;
    std::function<void()> plant;
  } rows[] = {
      {"a link to a file", [&] { fs::create_symlink(path("victim"), path("Pellarin.dat")); }},
      {"a link to a missing file",
       [&] { fs::create_symlink(path("created"), path("Pellarin.dat")); }},
      {"a second name of a file",
       [&] { fs::create_hard_link(path("victim"), path("Pellarin.dat")); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(path("Pellarin.dat"));
    row.plant();
    ASSERT_EQ(convert("in.bmp", "Pellarin.dat"), kPellarin1Ok);
    EXPECT_TRUE(S_ISREG(modeOf("Pellarin.dat")));
    EXPECT_EQ(readBytes(path("victim")), victim);
    EXPECT_FALSE(fs::exists(path("created")));
    expectQuadrants("Pellarin.dat", 8, 8);
  }
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
