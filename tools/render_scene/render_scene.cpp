// Renders one frame of the scene at a chosen scene time to a PNG file.
//
//   render_scene --time SECONDS --out FILE.png [--picture FILE.jpg | --no-picture]
//                [--size WIDTHxHEIGHT] [--distance D] [--wireframe] [--only-slot 0|1]
//
// Without --picture or --no-picture the picture file of the current work folder is used, as the
// renderer would. Needs an X display with GLX ($DISPLAY); scripts/with-xvfb.sh provides one.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/work_folder.h"
#include "renderer/scene/scene.h"
#include "tools/render_scene/scene_snapshot.h"

namespace fs = std::filesystem;
using namespace pellarin;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: render_scene --time SECONDS --out FILE.png [--picture FILE | --no-picture]\n"
               "                    [--size WIDTHxHEIGHT] [--distance D] [--wireframe]\n"
               "                    [--only-slot 0|1]\n");
  return 2;
}

// A private work folder for this run, removed at the end.
class TemporaryWorkFolder {
 public:
  bool create() {
    std::string pattern = (fs::temp_directory_path() / "render_scene_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return false;
    root_ = pattern;
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    return createWorkFolder();
  }
  ~TemporaryWorkFolder() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }

 private:
  fs::path root_;
};

}  // namespace

int main(int argc, char** argv) {
  SnapshotOptions options;
  std::string out;
  std::string picture;
  bool noPicture = false;
  bool timeGiven = false;
  int width = 1024;
  int height = 768;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--time" && hasValue) {
      options.sceneTime = std::atof(argv[++i]);
      timeGiven = true;
    } else if (arg == "--out" && hasValue) {
      out = argv[++i];
    } else if (arg == "--picture" && hasValue) {
      picture = argv[++i];
    } else if (arg == "--no-picture") {
      noPicture = true;
    } else if (arg == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        return usage();
      }
    } else if (arg == "--distance" && hasValue) {
      options.cameraDistance = static_cast<float>(std::atof(argv[++i]));
    } else if (arg == "--wireframe") {
      options.wireframe = true;
    } else if (arg == "--only-slot" && hasValue) {
      options.onlySlot = std::atoi(argv[++i]);
    } else {
      return usage();
    }
  }
  if (!timeGiven || out.empty() || options.sceneTime < 0 || (noPicture && !picture.empty())) {
    return usage();
  }

  TemporaryWorkFolder folder;
  if (noPicture || !picture.empty()) {
    if (!folder.create()) {
      std::fprintf(stderr, "render_scene: cannot make a work folder\n");
      return 1;
    }
    std::error_code error;
    if (!picture.empty() && !fs::copy_file(picture, pictureFilePath(), error)) {
      std::fprintf(stderr, "render_scene: cannot copy %s: %s\n", picture.c_str(),
                   error.message().c_str());
      return 1;
    }
  }

  std::unique_ptr<OffscreenGl> gl = createOffscreenGl(width, height);
  if (!gl) {
    std::fprintf(stderr, "render_scene: no OpenGL context (is DISPLAY set?)\n");
    return 1;
  }
  const RgbPicture frame = renderSceneSnapshot(*gl, options);
  tearDownScene();
  if (!writePng(out, frame)) {
    std::fprintf(stderr, "render_scene: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
