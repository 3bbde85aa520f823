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

class MeshDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One connection for the whole program, never closed: closing it unloads the GL driver,
    // and the sanitizer could then no longer attribute the driver's own leftovers to it.
    static Display* const shared = XOpenDisplay(nullptr);
    display_ = shared;
    ASSERT_NE(display_, nullptr) << "no X server";
    int attributes[] = {GLX_RGBA, GLX_RED_SIZE,     8,   GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE,
                        8,        GLX_DOUBLEBUFFER, None};
    visual_ = glXChooseVisual(display_, DefaultScreen(display_), attributes);
    ASSERT_NE(visual_, nullptr);
    const Window root = RootWindow(display_, visual_->screen);
    XSetWindowAttributes windowAttributes{};
    windowAttributes.colormap = XCreateColormap(display_, root, visual_->visual, AllocNone);
    colormap_ = windowAttributes.colormap;
    window_ = XCreateWindow(display_, root, 0, 0, kSize, kSize, 0, visual_->depth, InputOutput,
                            visual_->visual, CWColormap, &windowAttributes);
    XMapWindow(display_, window_);
    XSync(display_, False);
    context_ = glXCreateContext(display_, visual_, nullptr, True);
    ASSERT_NE(context_, nullptr);
    ASSERT_TRUE(glXMakeCurrent(display_, window_, context_));
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
  }

  void TearDown() override {
    if (display_ == nullptr) return;
    glXMakeCurrent(display_, None, nullptr);
    if (context_ != nullptr) glXDestroyContext(display_, context_);
    if (window_ != 0) XDestroyWindow(display_, window_);
    if (colormap_ != 0) XFreeColormap(display_, colormap_);
    if (visual_ != nullptr) XFree(visual_);
    XSync(display_, False);
  }

  // Clears to black, draws the mesh in white and counts the pixels that are not black.
  int litPixelsAfterDrawing(const TriangleMesh& mesh) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    drawMesh(mesh);
    glFinish();
    static unsigned char pixels[kSize * kSize * 4];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    int lit = 0;
    for (int i = 0; i < kSize * kSize; ++i) {
      if (pixels[i * 4] != 0 || pixels[i * 4 + 1] != 0 || pixels[i * 4 + 2] != 0) ++lit;
    }
    return lit;
  }

  Display* display_ = nullptr;
  XVisualInfo* visual_ = nullptr;
  Colormap colormap_ = 0;
  Window window_ = 0;
  GLXContext context_ = nullptr;
};

TEST_F(MeshDrawTest, ZeroAreaTrianglesCoverNothingAndRealOnesDo) {
  auto mesh = createMesh();
  EXPECT_EQ(litPixelsAfterDrawing(*mesh), 0);  // never held a triangle: no arrays at all

  addTriangle(*mesh, {0.1f, 0.2f, 0}, {0.1f, 0.2f, 0}, {0.1f, 0.2f, 0});
  addTriangle(*mesh, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
  EXPECT_EQ(litPixelsAfterDrawing(*mesh), 0);

  // Lower-left quarter of the view: half of a 32 x 32 square.
  auto single = createMesh();
  addTriangle(*single, {-1, -1, 0}, {0, -1, 0}, {-1, 0, 0});
  const int alone = litPixelsAfterDrawing(*single);
  EXPECT_GT(alone, 400);
  EXPECT_LT(alone, 600);

  // The same triangle among collapsed ones, beyond a doubling of the arrays.
  for (int k = 0; k < 20; ++k)
    addTriangle(*mesh, {0.5f, 0.5f, 0}, {0.5f, 0.5f, 0}, {0.5f, 0.5f, 0});
  addTriangle(*mesh, {-1, -1, 0}, {0, -1, 0}, {-1, 0, 0});
  EXPECT_EQ(mesh->capacity, 32);
  EXPECT_EQ(litPixelsAfterDrawing(*mesh), alone);

  clearMesh(*mesh);
  EXPECT_EQ(litPixelsAfterDrawing(*mesh), 0);
}

TEST_F(MeshDrawTest, LeavesClientArraysEnabled) {
  auto mesh = createMesh();
  addTriangle(*mesh, {-1, -1, 0}, {1, -1, 0}, {-1, 1, 0});
  EXPECT_GT(litPixelsAfterDrawing(*mesh), 1500);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
}

}  // namespace
}  // namespace pellarin
