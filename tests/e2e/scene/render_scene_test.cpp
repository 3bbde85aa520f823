// Frames of the scene rendered by the render_scene tool, judged by their properties: what is
// black, which colours appear, and how bright a crystal is as it departs.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "tests/common/temp_folder.h"
#include "tests/libs/support/lib_test_support.h"
#include "tools/render_scene/png_file.h"

namespace pellarin::testing {
namespace {

class RenderSceneTool : public TempFolderTest {
 protected:
  // A 320 x 240 frame from the tool, which must succeed.
  RgbPicture render(const std::string& arguments) {
    const std::string out = path("frame.png").string();
    const int status = std::system(
        (PELLARIN_BIN_DIR "/tools/render_scene --size 320x240 --out " + out + " " + arguments)
            .c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << arguments;
    RgbPicture picture;
    EXPECT_TRUE(readPng(out, picture));
    EXPECT_EQ(picture.width, 320);
    return picture;
  }
  std::string picture(const Bytes& jpeg) {
    writeBytes(path("picture.jpg"), jpeg);
    return " --picture " + path("picture.jpg").string();
  }
};

// Pixels whose channel `c` is above `threshold`.
long count(const RgbPicture& frame, int c, int threshold) {
  long n = 0;
  for (size_t i = 0; i < frame.pixels.size(); i += 3) n += frame.pixels[i + c] > threshold;
  return n;
}

TEST_F(RenderSceneTool, TheFallbackShowsBlueCrystalsOnBlack) {
  const RgbPicture frame = render("--time 3 --no-picture");
  EXPECT_EQ(count(frame, 0, 0) + count(frame, 1, 0), 0) << "red or green";
  EXPECT_GT(count(frame, 2, 0), 1000);
}

TEST_F(RenderSceneTool, TheCrystalsAloneCarryThePicturesColours) {
  // Red and green, no blue at all.
  const RgbPicture frame =
      render("--time 7" + picture(makeJpeg(128, 128, [](int c, int, unsigned char* p) {
               p[0] = c < 64 ? 200 : 0;
               p[1] = c < 64 ? 0 : 200;
               p[2] = 0;
             })));
  EXPECT_GT(count(frame, 0, 100), 200);
  EXPECT_GT(count(frame, 1, 100), 200);
  EXPECT_EQ(count(frame, 2, 40), 0);
  // Drawn as a backdrop as well, the picture would colour every pixel red or green.
  EXPECT_LT(count(frame, 0, 0) + count(frame, 1, 0), 320 * 240);
}

TEST_F(RenderSceneTool, ACrystalFadesAsItDeparts) {
  // A dark grey picture keeps the additive sums far from saturation.
  const std::string grey =
      picture(makeJpeg(64, 64, [](int, int, unsigned char* p) { p[0] = p[1] = p[2] = 40; }));
  const auto meanOfLit = [&](const char* time) {
    const RgbPicture frame = render("--only-slot 0 --time " + std::string(time) + grey);
    long sum = 0;
    for (size_t i = 0; i < frame.pixels.size(); i += 3) sum += frame.pixels[i];
    const long lit = count(frame, 0, 0);
    return lit == 0 ? 0.0 : static_cast<double>(sum) / static_cast<double>(lit);
  };
  const double atFive = meanOfLit("5"), atTen = meanOfLit("10");
  EXPECT_GT(atFive, 0.0);
  EXPECT_LT(atTen, atFive * 0.8);
}

}  // namespace
}  // namespace pellarin::testing
