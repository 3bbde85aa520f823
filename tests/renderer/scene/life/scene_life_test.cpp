// Scene set-up, update and teardown against a real GL context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/renderer/scene/life/scene_gl_fixture.h"
#include "tools/render_scene/scene_snapshot.h"

using namespace pellarin;
using namespace pellarin::testing;

namespace {

// What makes a crystal what it is, for comparing runs.
struct CrystalPrint {
  double birthTime;
  std::vector<float> numbers;
  friend bool operator==(const CrystalPrint&, const CrystalPrint&) = default;
};

CrystalPrint printOf(const Crystal& crystal) {
  CrystalPrint print{crystal.birthTime, {}};
  const GrowthPattern& pattern = *crystal.pattern;
  print.numbers.push_back(static_cast<float>(pattern.levelCount));
  for (int i = 0; i < pattern.levelCount; ++i) {
    const BranchLevel level = pattern.level(i);
    print.numbers.insert(print.numbers.end(), {level.scale, level.offset,
                                               static_cast<float>(level.branchCount), level.tilt});
  }
  print.numbers.insert(print.numbers.end(), {crystal.spin.x, crystal.spin.y, crystal.spin.z,
                                             static_cast<float>(crystal.fallFlag)});
  return print;
}

// Every crystal the scene shows during `seconds`, in order of birth.
std::vector<CrystalPrint> crystalsOfARun(double seconds) {
  setUpScene(kFrameWidth, kFrameHeight);
  std::vector<CrystalPrint> seen;
  // A replacement may reuse the old crystal's memory, so births are told apart by their time.
  double lastBirth[2] = {-1.0, -1.0};
  for (double t = 0; t < seconds; t += kLargestSceneStep) {
    for (int slot = 0; slot < 2; ++slot) {
      const Crystal& crystal = *currentScene().crystals[static_cast<size_t>(slot)];
      if (crystal.birthTime != lastBirth[slot]) seen.push_back(printOf(crystal));
      lastBirth[slot] = crystal.birthTime;
    }
    updateScene(kLargestSceneStep);
  }
  return seen;
}

using SceneLife = SceneGlTest;

TEST_F(SceneLife, CrystalsTakeTheFirstRandomNumbersThenTheFallbackTakesTheNoiseTables) {
  spawnCrystal(0.0);
  spawnCrystal(7.5);
  const std::uint32_t afterCrystals = randomState();
  for (int i = 0; i < 1536 + 256; ++i) nextRandom();
  const std::uint32_t afterTables = randomState();

  freshProcess();
  setUpScene(kFrameWidth, kFrameHeight);
  EXPECT_EQ(randomState(), afterTables) << "no picture: the fallback builds the noise tables";
  tearDownScene();

  freshProcess();
  putPicture(makeRedBlueJpeg(16, 16));
  setUpScene(kFrameWidth, kFrameHeight);
  EXPECT_EQ(randomState(), afterCrystals) << "with a picture nothing else draws numbers";
}

TEST_F(SceneLife, WithoutAPictureTheTextureIsTheFallbackPattern) {
  setUpScene(kFrameWidth, kFrameHeight);
  const Scene& scene = currentScene();
  ASSERT_NE(scene.environmentImage, nullptr);
  EXPECT_EQ(scene.environmentImage->width, 64);
  EXPECT_EQ(scene.environmentImage->height, 64);
  ASSERT_NE(scene.environmentTexture, 0u);
  EXPECT_EQ(scene.environmentTexture, scene.environmentImage->texture);
  EXPECT_TRUE(glIsTexture(scene.environmentTexture));

  glBindTexture(GL_TEXTURE_2D, scene.environmentTexture);
  std::vector<unsigned char> texels(64 * 64 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_TRUE(std::equal(texels.begin(), texels.end(), scene.environmentImage->pixels.get()));
  // The smallest mipmap level exists too.
  GLint side = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &side);
  EXPECT_EQ(side, 1);
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
  EXPECT_EQ(value, GL_CLAMP);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
  EXPECT_EQ(value, GL_CLAMP);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(SceneLife, APictureKeepsItsSizeAndBadPicturesFallBack) {
  putPicture(makeRedBlueJpeg(44, 128));
  setUpScene(kFrameWidth, kFrameHeight);
  ASSERT_NE(currentScene().environmentImage, nullptr);
  EXPECT_EQ(currentScene().environmentImage->width, 44);
  EXPECT_EQ(currentScene().environmentImage->height, 128);
  EXPECT_NE(currentScene().environmentTexture, 0u);

  Bytes good = makeRedBlueJpeg(64, 64);
  const Bytes bad[] = {
      {}, Bytes(good.begin(), good.begin() + 300), withDeclaredSize(good, 60000, 60000)};
  for (const Bytes& bytes : bad) {
    tearDownScene();
    freshProcess();
    putPicture(bytes);
    setUpScene(kFrameWidth, kFrameHeight);
    ASSERT_NE(currentScene().environmentImage, nullptr);
    EXPECT_EQ(currentScene().environmentImage->width, 64);
    EXPECT_EQ(currentScene().environmentImage->pixels[0], 0) << "the fallback has no red";
  }
}

TEST_F(SceneLife, WithoutMemoryForAnyImageTheSceneStillHasATexture) {
  const std::size_t saved = imageByteLimit();
  setImageByteLimitForTesting(16);
  putPicture(makeRedBlueJpeg(16, 16));
  EXPECT_TRUE(setUpScene(kFrameWidth, kFrameHeight));
  setImageByteLimitForTesting(saved);
  EXPECT_EQ(currentScene().environmentImage, nullptr);
  ASSERT_NE(currentScene().environmentTexture, 0u);
  EXPECT_TRUE(glIsTexture(currentScene().environmentTexture));
  // And frames still show the crystals.
  advanceScene(3.0);
  drawScene({0, 0, 35}, identityQuaternion());
  const std::vector<unsigned char> frame = gl->readPixels();
  EXPECT_TRUE(std::any_of(frame.begin(), frame.end(), [](unsigned char v) { return v > 0; }));
}

TEST_F(SceneLife, ThreeByteRowsAreUploadedWithoutRowPadding) {
  // 2 x 2 RGB: six-byte rows, which a four-byte row alignment would misread.
  auto image = makeImage(2, 2, GL_RGB);
  ASSERT_NE(image, nullptr);
  const unsigned char pixels[12] = {255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0};
  std::copy(std::begin(pixels), std::end(pixels), image->pixels.get());
  createTexture(*image);
  ASSERT_NE(image->texture, 0u);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), image->texture);
  unsigned char texels[12] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  EXPECT_TRUE(std::equal(std::begin(pixels), std::end(pixels), texels));
  GLuint name = image->texture;
  glDeleteTextures(1, &name);
}

TEST_F(SceneLife, ProjectionUsesTheAspectRatioOfTheSize) {
  setUpScene(1024, 768);
  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  const float f = 1.0f / std::tan(static_cast<float>(kPi) / 6.0f);
  EXPECT_NEAR(projection[5], f, 1e-5);
  EXPECT_NEAR(projection[0], f / 1.3333334f, 1e-5);
  // near 1, far 1500
  EXPECT_NEAR(projection[10], -(1500.0f + 1.0f) / (1500.0f - 1.0f), 1e-5);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
  GLfloat ambient[4];
  glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
  EXPECT_FLOAT_EQ(ambient[0], 0.25f);
  // A zero height does not make the projection infinite.
  setUpScene(640, 0);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_TRUE(std::isfinite(projection[0]));
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(SceneLife, ACrystalIsReplacedAtTheFirstUpdateMoreThanALifePastItsBirth) {
  setUpScene(kFrameWidth, kFrameHeight);
  double clockBefore = 0;
  while (currentScene().crystals[0]->birthTime == 0.0) {
    ASSERT_LT(currentScene().sceneClock, 16.0) << "never replaced";
    clockBefore = currentScene().sceneClock;
    updateScene(kLargestSceneStep);
  }
  // The update that replaced it started with the clock past 15 s, the one before did not.
  EXPECT_GT(clockBefore, 15.0);
  EXPECT_LE(clockBefore - kLargestSceneStep, 15.0 + 1e-6);
  EXPECT_EQ(currentScene().crystals[0]->birthTime, clockBefore);
  EXPECT_EQ(currentScene().crystals[0]->orientation, identityQuaternion());
  EXPECT_EQ(currentScene().crystals[1]->birthTime, 7.5) << "slot 1 lives on";
}

TEST_F(SceneLife, NothingMovesOrIsReplacedWhilePaused) {
  setUpScene(kFrameWidth, kFrameHeight);
  advanceScene(14.9);
  const CrystalPrint prints[2] = {printOf(*currentScene().crystals[0]),
                                  printOf(*currentScene().crystals[1])};
  const Quaternion orientation = currentScene().crystals[0]->orientation;
  const double clock = currentScene().sceneClock;
  for (int frame = 0; frame < 20000; ++frame) updateScene(0.0f);
  EXPECT_EQ(currentScene().sceneClock, clock);
  EXPECT_EQ(printOf(*currentScene().crystals[0]), prints[0]);
  EXPECT_EQ(printOf(*currentScene().crystals[1]), prints[1]);
  EXPECT_EQ(currentScene().crystals[0]->orientation, orientation);
  // Slot 1 has been turning from the start, though it is not drawn yet.
  EXPECT_NE(currentScene().crystals[1]->orientation, identityQuaternion());
}

TEST_F(SceneLife, TheClockKeepsAdvancingAfterALongRun) {
  setUpScene(kFrameWidth, kFrameHeight);
  // About 48 days of scene time: a float clock would no longer move by 0.05 s steps.
  sceneForTesting().sceneClock = 4194304.0;
  sceneForTesting().crystals[0]->birthTime = 4194304.0 - 14.0;
  advanceScene(2.0);
  EXPECT_NEAR(currentScene().sceneClock, 4194306.0, 1e-3);
  EXPECT_GT(currentScene().crystals[0]->birthTime, 4194304.0) << "replaced on time";
}

TEST_F(SceneLife, TwoRunsShowTheSameCrystals) {
  const std::vector<CrystalPrint> first = crystalsOfARun(40.0);
  tearDownScene();
  freshProcess();
  const std::vector<CrystalPrint> second = crystalsOfARun(40.0);
  ASSERT_EQ(first.size(), 6u) << "two at set-up, then one every 15 s in each slot";
  EXPECT_EQ(first, second);

  tearDownScene();
  freshProcess();
  putPicture(makeRedBlueJpeg(16, 16));
  const std::vector<CrystalPrint> withPicture = crystalsOfARun(40.0);
  ASSERT_EQ(withPicture.size(), 6u);
  EXPECT_EQ(withPicture[0], first[0]);
  EXPECT_EQ(withPicture[1], first[1]);
  EXPECT_NE(withPicture[2], first[2]) << "the noise tables drew numbers in between";
}

}  // namespace
