// Drawing a frame against a real GL context: the render state it leaves, the crystals it skips,
// the departure, and the four-armed copies.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "renderer/scene/scene_drawing.h"
#include "renderer/shell/renderer_state.h"
#include "tests/renderer/scene/life/scene_gl_fixture.h"
#include "tools/render_scene/scene_snapshot.h"

using namespace pellarin;
using namespace pellarin::testing;

namespace {

long brightness(const std::vector<unsigned char>& frame) {
  long sum = 0;
  for (unsigned char v : frame) sum += v;
  return sum;
}

void expectMatrixNear(const GLfloat* actual, const GLfloat* expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;
}

TEST(Departure, IsNoneUpToHalfALifeThenFadesToNothingAtFifteen) {
  for (float age : {0.0f, 3.0f, 7.5f}) {
    const Departure d = departureAt(age, 1);
    EXPECT_EQ(d.alpha, 1.0f);
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) EXPECT_EQ(d.fallMatrix.m[i][j], i == j ? 1.0f : 0.0f);
  }
  EXPECT_LT(departureAt(7.5001f, 0).alpha, 1.0f);
  EXPECT_NEAR(departureAt(10.0f, 0).alpha, 2.0f / 3.0f, 1e-6);
  EXPECT_NEAR(departureAt(15.0f, 1).alpha, 0.0f, 1e-6);
  EXPECT_LT(departureAt(15.04f, 1).alpha, 0.0f);
}

TEST(Departure, FlagZeroMovesThenTurnsFlagOneTurnsThenMovesFaster) {
  const float t = 0.5f;
  const float c = std::cos(4 * t), s = std::sin(4 * t);
  // A spike's base: moved one unit per second along y, then turned about z with the spike.
  const Vec3 base0 = transformPoint({0, 0, 0}, departureAt(7.5f + t, 0).fallMatrix);
  EXPECT_NEAR(base0.x, t * s, 1e-5);
  EXPECT_NEAR(base0.y, t * c, 1e-5);
  // Turned in place, then moved five units per second straight along y.
  const Vec3 base1 = transformPoint({0, 0, 0}, departureAt(7.5f + t, 1).fallMatrix);
  EXPECT_NEAR(base1.x, 0.0f, 1e-5);
  EXPECT_NEAR(base1.y, 5 * t, 1e-5);
  // Both turn the spike by 4t radians about z: its tip direction (0, 1) goes to (s, c).
  const Vec3 tip = rotateVector({0, 1, 0}, departureAt(7.5f + t, 1).fallMatrix);
  EXPECT_NEAR(tip.x, s, 1e-5);
  EXPECT_NEAR(tip.y, c, 1e-5);
}

using SceneDrawing = SceneGlTest;

TEST_F(SceneDrawing, QuaternionRotationMatchesGlRotate) {
  glMatrixMode(GL_MODELVIEW);
  GLfloat actual[16], expected[16];
  const float half = 0.35f;  // 40 degrees about a tilted axis
  const Vec3 axis{0.6f, 0.0f, 0.8f};
  glLoadIdentity();
  applyQuaternionRotation({axis.x * std::sin(half), 0.0f, axis.z * std::sin(half), std::cos(half)});
  glGetFloatv(GL_MODELVIEW_MATRIX, actual);
  glLoadIdentity();
  glRotatef(40.107f, 0.6f, 0.0f, 0.8f);
  glGetFloatv(GL_MODELVIEW_MATRIX, expected);
  expectMatrixNear(actual, expected);
  // The identity and the zero quaternion are no rotation at all.
  const GLfloat identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (Quaternion q : {identityQuaternion(), Quaternion{}}) {
    glLoadIdentity();
    applyQuaternionRotation(q);
    glGetFloatv(GL_MODELVIEW_MATRIX, actual);
    expectMatrixNear(actual, identity);
  }
  glLoadIdentity();
}

TEST_F(SceneDrawing, AFrameRestoresTheStateItFound) {
  setUpScene(kFrameWidth, kFrameHeight);
  advanceScene(9.0);
  GLfloat before[16], after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  GLint depthBefore = 0, depthAfter = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  rendererState.polygonMode = GL_LINE;
  drawScene({3, 4, 30}, Quaternion{0.1f, 0.2f, 0.0f, 0.97f});
  rendererState.polygonMode = GL_FILL;
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
  expectMatrixNear(after, before);
  EXPECT_EQ(depthAfter, depthBefore);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
  GLboolean depthMask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  EXPECT_EQ(depthMask, GL_TRUE);
  GLint polygonMode[2] = {};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_EQ(polygonMode[0], GL_LINE) << "the shell's mode was applied";
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneDrawing, TheSecondCrystalAppearsOnlyAfterHalfALife) {
  setUpScene(kFrameWidth, kFrameHeight);
  advanceScene(7.5);
  EXPECT_EQ(currentScene().crystals[1]->birthTime, 7.5);
  // Without slot 0's crystal the frame shows slot 1 alone.
  std::unique_ptr<Crystal> first = std::move(sceneForTesting().crystals[0]);
  sceneForTesting().sceneClock = 7.5;  // exactly the birth: not drawn
  drawScene({0, 0, 35}, identityQuaternion());
  EXPECT_EQ(brightness(gl->readPixels()), 0);
  advanceScene(0.6);
  drawScene({0, 0, 35}, identityQuaternion());
  EXPECT_GT(brightness(gl->readPixels()), 0);
  sceneForTesting().crystals[0] = std::move(first);
}

TEST_F(SceneDrawing, ACrystalHasFourArmsOneUpAndThreeSpreadBelow) {
  // One unit spike straight up, fully grown: the copies alone make the four arms.
  GrowthPattern pattern(1);
  pattern.setLevel(0, BranchLevel{1.0f, 0.0f, 1, 0.0f});
  auto mesh = createMesh();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60.0, static_cast<double>(kFrameWidth) / kFrameHeight, 1.0, 1500.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0, 0, -35);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  drawCrystal(pattern, identityMatrix(), 1.5f, *mesh);
  EXPECT_EQ(mesh->triangleCount, 6);

  GLdouble model[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  const std::vector<unsigned char> frame = gl->readPixels();
  auto litAt = [&](double x, double y, double z) {
    GLdouble wx, wy, wz;
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    const int column = static_cast<int>(wx);
    const int row = kFrameHeight - 1 - static_cast<int>(wy);
    return frame[static_cast<size_t>(row * kFrameWidth + column) * 3] > 0;
  };
  // Halfway along each arm (the spikes are widest there): up, and tipped 120 degrees about x,
  // then turned 0, +120 and -120 degrees about y.
  EXPECT_TRUE(litAt(0, 5, 0));
  EXPECT_TRUE(litAt(0, -2.5, 4.33));
  EXPECT_TRUE(litAt(3.75, -2.5, -2.165));
  EXPECT_TRUE(litAt(-3.75, -2.5, -2.165));
  // Nothing between the arms.
  EXPECT_FALSE(litAt(-5, 5, 0));
  EXPECT_FALSE(litAt(5, 5, 0));
  glLoadIdentity();
}

}  // namespace
