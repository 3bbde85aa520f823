#pragma once
// A real GL context on the test's virtual X server and a private work folder, shared by the
// scene tests. Every test starts from the generator's first state and unbuilt noise tables,
// as a fresh renderer process does.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "common/work_folder.h"
#include "renderer/scene/math/scene_math.h"
#include "renderer/scene/scene.h"
#include "renderer/scene/scene_record.h"
#include "tests/libs/kveld/jpeg_fixtures.h"
#include "tools/render_scene/offscreen_gl.h"

namespace pellarin::testing {

inline constexpr int kFrameWidth = 256;
inline constexpr int kFrameHeight = 192;

class SceneGlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = (std::filesystem::temp_directory_path() / "scene_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    ASSERT_TRUE(createWorkFolder());
    gl = createOffscreenGl(kFrameWidth, kFrameHeight);
    ASSERT_NE(gl, nullptr) << "no GL context on DISPLAY";
  }
  static void TearDownTestSuite() {
    tearDownScene();
    gl.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  void SetUp() override {
    ASSERT_NE(gl, nullptr);
    std::error_code ignored;
    std::filesystem::remove(pictureFilePath(), ignored);
    freshProcess();
  }
  void TearDown() override { tearDownScene(); }

  static void freshProcess() {
    setRandomState(1);
    resetNoiseTablesForTesting();
  }

  static void putPicture(const Bytes& jpeg) { writeFile(pictureFilePath(), jpeg); }

  static std::filesystem::path root;
  static std::unique_ptr<OffscreenGl> gl;
};

inline std::filesystem::path SceneGlTest::root;
inline std::unique_ptr<OffscreenGl> SceneGlTest::gl;

}  // namespace pellarin::testing
