// Frames of the scene rendered by the render_scene tool, judged by their properties: what is
// black, which colours appear, how bright a crystal is at two ages, where its arms go.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "tests/libs/kveld/jpeg_fixtures.h"
#include "tools/render_scene/png_file.h"

namespace fs = std::filesystem;
using namespace pellarin;
using namespace pellarin::testing;

namespace {

class RenderSceneTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "render_scene_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  // Runs the tool; returns its exit status.
  int run(const std::string& arguments) {
    const std::string command =
        std::string(PELLARIN_BIN_DIR) + "/tools/render_scene " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  RgbPicture render(const std::string& arguments) {
    static int count = 0;
    const fs::path out = folder / ("frame" + std::to_string(++count) + ".png");
    EXPECT_EQ(run("--size 320x240 --out " + out.string() + " " + arguments), 0) << arguments;
    RgbPicture picture;
    EXPECT_TRUE(readPng(out, picture));
    return picture;
  }

  std::string picture(const std::string& name, const Bytes& jpeg) {
    writeFile(folder / name, jpeg);
    return "--picture " + (folder / name).string();
  }

  fs::path folder;
};

const unsigned char* pixelAt(const RgbPicture& p, int column, int row) {
  return &p.pixels[static_cast<size_t>(row * p.width + column) * 3];
}

bool lit(const unsigned char* p) {
  return p[0] > 0 || p[1] > 0 || p[2] > 0;
}

TEST_F(RenderSceneTool, TheFallbackShowsBlueCrystalsOnBlack) {
  const RgbPicture frame = render("--time 3 --no-picture");
  ASSERT_EQ(frame.width, 320);
  long blue = 0;
  for (size_t i = 0; i < frame.pixels.size(); i += 3) {
    ASSERT_EQ(frame.pixels[i], 0) << "red at " << i / 3;
    ASSERT_EQ(frame.pixels[i + 1], 0) << "green at " << i / 3;
    blue += frame.pixels[i + 2] > 0;
  }
  EXPECT_GT(blue, 1000);
}

TEST_F(RenderSceneTool, ThePictureIsSeenOnlyOnTheCrystals) {
  // All white: drawn as a backdrop it would fill the frame.
  const std::string white = picture(
      "white.jpg", makeJpeg(64, 64, [](int, int, unsigned char* p) { p[0] = p[1] = p[2] = 255; }));
  const RgbPicture frame = render("--time 3 " + white);
  long litCount = 0;
  for (int r = 0; r < frame.height; ++r)
    for (int c = 0; c < frame.width; ++c) litCount += lit(pixelAt(frame, c, r));
  EXPECT_GT(litCount, 1000);
  EXPECT_LT(litCount, frame.width * frame.height / 2);
  for (int r = 0; r < 12; ++r) {
    for (int c = 0; c < 12; ++c) {
      EXPECT_FALSE(lit(pixelAt(frame, c, r)));
      EXPECT_FALSE(lit(pixelAt(frame, frame.width - 1 - c, frame.height - 1 - r)));
    }
  }
}

TEST_F(RenderSceneTool, TheCrystalsCarryThePicturesColours) {
  // Red and green, no blue at all.
  const std::string redGreen =
      picture("rg.jpg", makeJpeg(128, 128, [](int c, int, unsigned char* p) {
                p[0] = c < 64 ? 200 : 0;
                p[1] = c < 64 ? 0 : 200;
                p[2] = 0;
              }));
  const RgbPicture frame = render("--time 7 " + redGreen);
  long red = 0, green = 0, blue = 0;
  for (size_t i = 0; i < frame.pixels.size(); i += 3) {
    red += frame.pixels[i] > 100;
    green += frame.pixels[i + 1] > 100;
    blue += frame.pixels[i + 2] > 40;
  }
  EXPECT_GT(red, 200);
  EXPECT_GT(green, 200);
  EXPECT_EQ(blue, 0);
}

TEST_F(RenderSceneTool, ACrystalFadesAsItDeparts) {
  // A dark grey picture keeps the additive sums far from saturation.
  const std::string grey = picture(
      "grey.jpg", makeJpeg(64, 64, [](int, int, unsigned char* p) { p[0] = p[1] = p[2] = 40; }));
  auto meanOfLit = [](const RgbPicture& frame) {
    long sum = 0, count = 0;
    for (size_t i = 0; i < frame.pixels.size(); i += 3) {
      if (frame.pixels[i] > 0) {
        sum += frame.pixels[i];
        ++count;
      }
    }
    return count == 0 ? 0.0 : static_cast<double>(sum) / static_cast<double>(count);
  };
  const double atFive = meanOfLit(render("--time 5 --only-slot 0 " + grey));
  const double atTen = meanOfLit(render("--time 10 --only-slot 0 " + grey));
  const double atFourteen = meanOfLit(render("--time 14.5 --only-slot 0 " + grey));
  EXPECT_GT(atFive, 0.0);
  EXPECT_LT(atTen, atFive * 0.8);
  EXPECT_LT(atFourteen, atTen);
}

TEST_F(RenderSceneTool, EveryRunRendersTheSameFrame) {
  const RgbPicture first = render("--time 11 --no-picture");
  const RgbPicture second = render("--time 11 --no-picture");
  EXPECT_EQ(first.pixels, second.pixels);
  // Slot 1 is not drawn before 7.5 s.
  const RgbPicture early = render("--time 7.4 --no-picture --only-slot 1");
  bool any = false;
  for (unsigned char v : early.pixels) any = any || v > 0;
  EXPECT_FALSE(any);
}

}  // namespace
