// The scene against a real GL context on the test's virtual X server: set-up, the random draws,
// the texture, crystal life and replacement, and what a frame draws and leaves behind.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "common/work_folder.h"
#include "renderer/scene/scene.h"
#include "renderer/scene/scene_drawing.h"
#include "renderer/scene/scene_record.h"
#include "renderer/shell/renderer_state.h"
#include "tests/common/temp_folder.h"
#include "tests/libs/kveld/jpeg_fixtures.h"
#include "tools/render_scene/scene_snapshot.h"

namespace pellarin::testing {
namespace {

constexpr int kWidth = 256;
constexpr int kHeight = 192;

// Every test starts as a fresh renderer process does: the generator's first state, unbuilt
// noise tables, and an empty work folder.
class SceneTest : public TempFolderTest {
 protected:
  static void SetUpTestSuite() { gl = createOffscreenGl(kWidth, kHeight); }
  static void TearDownTestSuite() { gl.reset(); }
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_NE(gl, nullptr) << "no GL context on DISPLAY";
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    ASSERT_TRUE(createWorkFolder());
    freshProcess();
  }
  void TearDown() override {
    tearDownScene();
    TempFolderTest::TearDown();
  }
  static void freshProcess(const Bytes& picture = {}) {
    tearDownScene();
    setRandomState(1);
    resetNoiseTablesForTesting();
    std::filesystem::remove(pictureFilePath());
    if (!picture.empty()) writeFile(pictureFilePath(), picture);
  }
  static long brightness() {
    long sum = 0;
    for (unsigned char v : gl->readPixels()) sum += v;
    return sum;
  }
  static inline std::unique_ptr<OffscreenGl> gl;
};

void expectNear(Vec3 a, Vec3 b) {
  EXPECT_NEAR(a.x, b.x, 1e-5);
  EXPECT_NEAR(a.y, b.y, 1e-5);
  EXPECT_NEAR(a.z, b.z, 1e-5);
}

// What makes a crystal what it is, for comparing runs.
std::vector<double> printOf(const Crystal& crystal) {
  std::vector<double> print{crystal.birthTime, crystal.spin.x, crystal.spin.y, crystal.spin.z,
                            double(crystal.fallFlag)};
  for (int i = 0; i < crystal.pattern->levelCount; ++i) {
    const BranchLevel level = crystal.pattern->level(i);
    print.insert(print.end(), {level.scale, level.offset, double(level.branchCount), level.tilt});
  }
  return print;
}

// Every crystal the scene shows during `seconds`, in order of birth.
std::vector<std::vector<double>> crystalsOfARun(double seconds) {
  setUpScene(kWidth, kHeight);
  std::vector<std::vector<double>> seen;
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

TEST_F(SceneTest, CrystalsTakeTheFirstRandomNumbersThenTheFallbackTakesTheNoiseTables) {
  spawnCrystal(0.0);
  spawnCrystal(7.5);
  const std::uint32_t afterCrystals = randomState();
  for (int i = 0; i < 1536 + 256; ++i) nextRandom();
  const std::uint32_t afterTables = randomState();
  freshProcess();
  setUpScene(kWidth, kHeight);
  EXPECT_EQ(randomState(), afterTables) << "no picture: the fallback builds the noise tables";
  freshProcess(makeRedBlueJpeg(16, 16));
  setUpScene(kWidth, kHeight);
  EXPECT_EQ(randomState(), afterCrystals) << "with a picture nothing else draws numbers";
}

TEST_F(SceneTest, TheTextureIsThePictureOrTheFallbackWithAllItsMipmaps) {
  const Bytes good = makeRedBlueJpeg(2, 2);  // six-byte rows: a four-byte alignment misreads them
  const Bytes bad[] = {
      {0xFF}, Bytes(good.begin(), good.begin() + 30), withDeclaredSize(good, 60000, 60000)};
  for (const Bytes& picture : {good, Bytes{}, bad[0], bad[1], bad[2]}) {
    const int side = picture == good ? 2 : 64;
    SCOPED_TRACE(picture.size());
    freshProcess(picture);
    setUpScene(kWidth, kHeight);
    const Image* image = currentScene().environmentImage.get();
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(std::make_pair(image->width, image->height), std::make_pair(side, side));
    ASSERT_EQ(currentScene().environmentTexture, image->texture);
    std::vector<unsigned char> texels(static_cast<size_t>(side * side * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_TRUE(std::equal(texels.begin(), texels.end(), image->pixels.get()));
    GLint smallest = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, side == 2 ? 1 : 6, GL_TEXTURE_WIDTH, &smallest);
    EXPECT_EQ(smallest, 1);
  }
}

TEST_F(SceneTest, WithoutMemoryForAnyImageTheCrystalsStillShow) {
  const std::size_t saved = imageByteLimit();
  setImageByteLimitForTesting(16);
  freshProcess(makeRedBlueJpeg(16, 16));
  EXPECT_TRUE(setUpScene(kWidth, kHeight));
  setImageByteLimitForTesting(saved);
  EXPECT_EQ(currentScene().environmentImage, nullptr);
  EXPECT_TRUE(glIsTexture(currentScene().environmentTexture));
  advanceScene(3.0);
  drawScene({0, 0, 35}, identityQuaternion());
  EXPECT_GT(brightness(), 0);
}

TEST_F(SceneTest, ACrystalIsReplacedAtTheFirstUpdateMoreThanALifePastItsBirth) {
  setUpScene(kWidth, kHeight);
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

TEST_F(SceneTest, NothingMovesOrIsReplacedWhilePaused) {
  setUpScene(kWidth, kHeight);
  advanceScene(14.9);
  const Scene& scene = currentScene();
  const auto before = std::make_tuple(scene.sceneClock, printOf(*scene.crystals[0]),
                                      printOf(*scene.crystals[1]), scene.crystals[0]->orientation);
  for (int frame = 0; frame < 20000; ++frame) updateScene(0.0f);
  EXPECT_EQ(std::make_tuple(scene.sceneClock, printOf(*scene.crystals[0]),
                            printOf(*scene.crystals[1]), scene.crystals[0]->orientation),
            before);
}

TEST_F(SceneTest, TheClockKeepsAdvancingAfterALongRun) {
  setUpScene(kWidth, kHeight);
  // About 48 days of scene time: a float clock would no longer move by 0.05 s steps.
  sceneForTesting().sceneClock = 4194304.0;
  sceneForTesting().crystals[0]->birthTime = 4194304.0 - 14.0;
  advanceScene(2.0);
  EXPECT_NEAR(currentScene().sceneClock, 4194306.0, 1e-3);
  EXPECT_GT(currentScene().crystals[0]->birthTime, 4194304.0) << "replaced on time";
}

TEST_F(SceneTest, TwoRunsShowTheSameCrystals) {
  const auto first = crystalsOfARun(40.0);
  freshProcess();
  ASSERT_EQ(first.size(), 6u) << "two at set-up, then one every 15 s in each slot";
  EXPECT_EQ(crystalsOfARun(40.0), first);
  freshProcess(makeRedBlueJpeg(16, 16));
  const auto withPicture = crystalsOfARun(40.0);
  ASSERT_EQ(withPicture.size(), 6u);
  EXPECT_EQ(withPicture[0], first[0]);
  EXPECT_EQ(withPicture[1], first[1]);
  EXPECT_NE(withPicture[2], first[2]) << "the noise tables drew numbers in between";
}

TEST_F(SceneTest, OnlySlotZeroIsDrawnBeforeHalfALife) {
  setUpScene(kWidth, kHeight);
  advanceScene(7.5);
  EXPECT_EQ(currentScene().crystals[1]->birthTime, 7.5);
  std::unique_ptr<Crystal> first = std::move(sceneForTesting().crystals[0]);
  sceneForTesting().sceneClock = 7.5;  // exactly the birth: not drawn
  drawScene({0, 0, 35}, identityQuaternion());
  EXPECT_EQ(brightness(), 0);
  advanceScene(0.6);
  drawScene({0, 0, 35}, identityQuaternion());
  EXPECT_GT(brightness(), 0);
  sceneForTesting().crystals[0] = std::move(first);
}

TEST(Departure, NoneUpToHalfALifeThenMovesAndFadesToNothingAtFifteen) {
  for (const float age : {0.0f, 7.5f}) {
    const Departure d = departureAt(age, 1);
    EXPECT_EQ(d.alpha, 1.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(d.fallMatrix.m[i / 4][i % 4], i % 5 == 0 ? 1 : 0);
  }
  EXPECT_NEAR(departureAt(10.0f, 0).alpha, 2.0f / 3.0f, 1e-6);
  EXPECT_NEAR(departureAt(15.0f, 1).alpha, 0.0f, 1e-6);
  const float t = 0.5f, c = std::cos(4 * t), s = std::sin(4 * t);
  // Flag 0: a spike's base moves one unit per second along y, then turns about z with it.
  expectNear(transformPoint({}, departureAt(7.5f + t, 0).fallMatrix), {t * s, t * c, 0});
  // Flag 1: turned in place, then moved five units per second straight along y.
  expectNear(transformPoint({}, departureAt(7.5f + t, 1).fallMatrix), {0, 5 * t, 0});
  // Both turn the spike by 4t radians about z: its tip direction (0, 1) goes to (s, c).
  expectNear(rotateVector({0, 1, 0}, departureAt(7.5f + t, 1).fallMatrix), {s, c, 0});
}

TEST_F(SceneTest, QuaternionRotationMatchesGlRotate) {
  GLfloat actual[16], expected[16];
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(40.107f, 0.6f, 0.0f, 0.8f);
  glGetFloatv(GL_MODELVIEW_MATRIX, expected);
  glLoadIdentity();
  const float half = 0.35f;  // 40.107 degrees about the same axis
  applyQuaternionRotation({0.6f * std::sin(half), 0.0f, 0.8f * std::sin(half), std::cos(half)});
  glGetFloatv(GL_MODELVIEW_MATRIX, actual);
  glLoadIdentity();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << i;
}

TEST_F(SceneTest, AFrameAppliesTheShellsPolygonModeAndRestoresTheStateItFound) {
  setUpScene(kWidth, kHeight);
  advanceScene(9.0);
  GLfloat before[16], after[16];
  GLint depthBefore = 0, depthAfter = 0, polygonMode[2] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  rendererState.polygonMode = GL_LINE;
  drawScene({3, 4, 30}, Quaternion{0.1f, 0.2f, 0.0f, 0.97f});
  rendererState.polygonMode = GL_FILL;
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_TRUE(std::equal(before, before + 16, after));
  EXPECT_EQ(depthAfter, depthBefore);
  EXPECT_EQ(polygonMode[0], GL_LINE);
  EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

TEST_F(SceneTest, ACrystalHasFourArmsOneUpAndThreeSpreadBelow) {
  // One unit spike straight up, fully grown, in plain white on black: the copies alone make
  // the four arms.
  GrowthPattern pattern(1);
  pattern.setLevel(0, BranchLevel{1.0f, 0.0f, 1, 0.0f});
  auto mesh = createMesh();
  setUpScene(kWidth, kHeight);
  glDisable(GL_LIGHTING);
  glColor3f(1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();
  glTranslatef(0, 0, -35);
  drawCrystal(pattern, identityMatrix(), 1.5f, *mesh);
  GLdouble model[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  const std::vector<unsigned char> frame = gl->readPixels();
  const auto litAt = [&](double x, double y, double z) {
    GLdouble wx, wy, wz;
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    const int row = kHeight - 1 - static_cast<int>(wy);
    return frame[static_cast<size_t>(row * kWidth + static_cast<int>(wx)) * 3] > 0;
  };
  // Halfway along each arm (the spikes are widest there): up, and tipped 120 degrees about x,
  // then turned 0, +120 and -120 degrees about y. Nothing between the arms.
  EXPECT_TRUE(litAt(0, 5, 0));
  EXPECT_TRUE(litAt(0, -2.5, 4.33));
  EXPECT_TRUE(litAt(3.75, -2.5, -2.165));
  EXPECT_TRUE(litAt(-3.75, -2.5, -2.165));
  EXPECT_FALSE(litAt(-5, 5, 0));
  EXPECT_FALSE(litAt(5, 5, 0));
  glEnable(GL_LIGHTING);
}

}  // namespace
}  // namespace pellarin::testing
