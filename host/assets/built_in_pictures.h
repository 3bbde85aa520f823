#pragma once
// The pictures built into the host. Their pixels are made at build time by
// tools/make_host_assets.

#include <array>

#include "host/core/picture.h"

namespace pellarin::assets {

// 256 x 256: a glowing cloud in blue, red and green on black.
PictureView nebulaPicture();
// 128 x 128: orange and yellow flames that tile without a seam.
PictureView flamesPicture();
// 44 x 128: the colour spectrum from top to bottom, shading to white and to black across.
PictureView spectrumPicture();
// The three the run mode picks from, in the order its choice numbers them.
inline std::array<PictureView, 3> runModePictures() {
  return {nebulaPicture(), flamesPicture(), spectrumPicture()};
}
// 152 x 112: thin violet, blue and white star-like strokes on black, for the preview.
PictureView previewPicture();

}  // namespace pellarin::assets
