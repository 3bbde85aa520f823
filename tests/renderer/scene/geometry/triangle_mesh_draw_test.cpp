// Draws meshes for real through Mesa on the test's own X server and reads the pixels back.
// GoogleTest comes before the X headers, whose None and Bool macros would break it.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include "renderer/scene/triangle_mesh.h"

namespace pellarin {
namespace {

constexpr int kSize = 64;

// Clears to black, draws the mesh in white and counts the pixels that are not black.
int litPixels(const TriangleMesh& mesh) {
  glClear(GL_COLOR_BUFFER_BIT);
  drawMesh(mesh);
  static unsigned char rgba[kSize * kSize * 4];
  glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  int lit = 0;
  for (int i = 0; i < kSize * kSize; ++i) lit += rgba[i * 4] != 0;
  return lit;
}

TEST(MeshDrawTest, ZeroAreaTrianglesCoverNoPixels) {
  // The connection stays open: closing it unloads the GL driver before the leak check, which
  // then cannot attribute the driver's own leftovers to it.
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  int attributes[] = {GLX_RGBA, GLX_RED_SIZE, 8, GLX_DOUBLEBUFFER, None};
  XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
  ASSERT_NE(visual, nullptr);
  const Window root = RootWindow(display, visual->screen);
  XSetWindowAttributes windowAttributes{};
  windowAttributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  const Window window = XCreateWindow(display, root, 0, 0, kSize, kSize, 0, visual->depth,
                                      InputOutput, visual->visual, CWColormap, &windowAttributes);
  XMapWindow(display, window);
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  ASSERT_TRUE(glXMakeCurrent(display, window, context));
  glViewport(0, 0, kSize, kSize);
  glReadBuffer(GL_BACK);
  glColor3f(1, 1, 1);

  auto mesh = createMesh();
  EXPECT_EQ(litPixels(*mesh), 0);  // never held a triangle: no arrays at all
  for (int k = 0; k < 20; ++k)
    addTriangle(*mesh, {0.5f, 0.2f, 0}, {0.5f, 0.2f, 0}, {0.5f, 0.2f, 0});
  EXPECT_EQ(litPixels(*mesh), 0);
  // A quarter of the view, beyond a doubling of the arrays: half of 32 x 32 pixels.
  addTriangle(*mesh, {-1, -1, 0}, {0, -1, 0}, {-1, 0, 0});
  const int lit = litPixels(*mesh);
  EXPECT_GT(lit, 480);
  EXPECT_LT(lit, 560);
  EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  glXMakeCurrent(display, None, nullptr);
  glXDestroyContext(display, context);
  XDestroyWindow(display, window);
  XFreeColormap(display, windowAttributes.colormap);
  XFree(visual);
}

}  // namespace
}  // namespace pellarin
