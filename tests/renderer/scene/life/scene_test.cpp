// The scene against a real GL context on the test's virtual X server: set-up, the random draws,
// the texture, crystal life and replacement, and what a frame draws and leaves behind.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "common/work_folder.h"
#include "renderer/scene/scene.h"
#include "renderer/scene/scene_drawing.h"
#include "renderer/scene/scene_record.h"
#include "tests/common/temp_folder.h"
#include "tests/libs/support/lib_test_support.h"
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
    if (!picture.empty()) writeBytes(pictureFilePath(), picture);
  }
  static long brightness() {
    long sum = 0;
    for (unsigned char v : gl->readPixels()) sum += v;
    return sum;
  }
  static inline std::unique_ptr<OffscreenGl> gl;
};

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

// Zero-length (paused) updates move and replace nothing, however many there are.
TEST_F(SceneTest, ACrystalIsReplacedAtTheFirstUpdateMoreThanALifePastItsBirthButNotWhilePaused) {
  setUpScene(kWidth, kHeight);
  advanceScene(14.9);
  const Scene& s = currentScene();
  const auto snapshot = [&] {
    return std::make_tuple(s.sceneClock, printOf(*s.crystals[0]), printOf(*s.crystals[1]),
                           s.crystals[0]->orientation);
  };
  const auto before = snapshot();
  for (int frame = 0; frame < 20000; ++frame) updateScene(0.0f);
  EXPECT_EQ(snapshot(), before);
  double clockBefore = 0;
  while (s.crystals[0]->birthTime == 0.0) {
    ASSERT_LT(s.sceneClock, 16.0) << "never replaced";
    clockBefore = s.sceneClock;
    updateScene(kLargestSceneStep);
  }
  // The update that replaced it started with the clock past 15 s, the one before did not.
  EXPECT_GT(clockBefore, 15.0);
  EXPECT_LE(clockBefore - kLargestSceneStep, 15.0 + 1e-6);
  EXPECT_EQ(s.crystals[0]->birthTime, clockBefore);
  EXPECT_EQ(s.crystals[0]->orientation, identityQuaternion());
  EXPECT_EQ(s.crystals[1]->birthTime, 7.5) << "slot 1 lives on";
}

TEST_F(SceneTest, TwoRunsShowTheSameCrystals) {
  const auto first = crystalsOfARun(40.0);
  freshProcess();
  ASSERT_EQ(first.size(), 6u) << "two at set-up, then one every 15 s in each slot";
  EXPECT_EQ(crystalsOfARun(40.0), first);
  freshProcess(makeJpeg(16, 16, [](int, int, std::uint8_t* p) { p[0] = 255, p[1] = p[2] = 0; }));
  const auto withPicture = crystalsOfARun(40.0);
  ASSERT_EQ(withPicture.size(), 6u);
  EXPECT_EQ(withPicture[0], first[0]);
  EXPECT_EQ(withPicture[1], first[1]);
  EXPECT_NE(withPicture[2], first[2]) << "the noise tables drew numbers in between";
}

// A frame also leaves the modelview matrix and its stack as it found them.
TEST_F(SceneTest, OnlySlotZeroIsDrawnBeforeHalfALifeAndAFrameRestoresTheMatrices) {
  setUpScene(kWidth, kHeight);
  advanceScene(7.5);
  sceneForTesting().crystals[0].reset();
  sceneForTesting().sceneClock = 7.5;  // exactly the birth: not drawn
  drawScene({0, 0, 35}, identityQuaternion());
  EXPECT_EQ(brightness(), 0);
  advanceScene(0.6);
  GLfloat before[16], after[16];
  GLint depthBefore = 0, depthAfter = 0;
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  drawScene({3, 4, 30}, Quaternion{0.1f, 0.2f, 0.0f, 0.97f});
  EXPECT_GT(brightness(), 0);
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
  EXPECT_TRUE(std::equal(before, before + 16, after));
  EXPECT_EQ(depthAfter, depthBefore);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A flat grey picture makes every spike the same grey; a spike's two faces overlap, so most lit
// pixels show twice the picture's grey times the crystal's alpha. That most common value follows
// the fade: whole up to half a life, then falling evenly to nothing at 15 s.
TEST_F(SceneTest, ADepartingCrystalFadesEvenlyFromWholeAtHalfALifeToNothingAtFifteenSeconds) {
  const Bytes grey = makeJpeg(64, 64, [](int, int, unsigned char* p) { p[0] = p[1] = p[2] = 100; });
  const struct {
    double age;
    int value;  // 2 x 100 x alpha; 0 for nothing lit
  } cases[] = {{2.0, 200},   {7.5, 200},  {9.375, 150}, {11.25, 100},
               {13.125, 50}, {14.25, 20}, {15.0, 0}};
  for (const auto& c : cases) {
    freshProcess(grey);
    setUpScene(kWidth, kHeight);
    advanceScene(c.age);
    sceneForTesting().crystals[1].reset();
    // From farther away, so that the departing spikes stay in view.
    drawScene({0, 0, 100}, identityQuaternion());
    std::vector<long> counts(256);
    const std::vector<unsigned char> frame = gl->readPixels();
    for (size_t i = 0; i < frame.size(); i += 3) ++counts[frame[i]];
    counts[0] = 0;
    const long mostCommon = std::max_element(counts.begin(), counts.end()) - counts.begin();
    if (c.value == 0) {
      EXPECT_EQ(counts[static_cast<size_t>(mostCommon)], 0) << "lit at " << c.age;
    } else {
      EXPECT_NEAR(mostCommon, c.value, 2) << "at " << c.age;
    }
  }
}

TEST_F(SceneTest, ACrystalHasFourArmsOneUpAndThreeSpreadBelow) {
  // One unit spike straight up, fully grown, in white on black: the copies make the arms.
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
  // Halfway along each arm: up, and tipped 120 degrees about x then turned 0, +-120 about y.
  const double arms[][3] = {
      {0, 5, 0}, {0, -2.5, 4.33}, {3.75, -2.5, -2.165}, {-3.75, -2.5, -2.165}};
  for (const auto& a : arms) EXPECT_TRUE(litAt(a[0], a[1], a[2])) << a[0] << ',' << a[2];
  EXPECT_FALSE(litAt(5, 5, 0)) << "nothing between the arms";
}

}  // namespace
}  // namespace pellarin::testing
