#pragma once
// The marker structure of a JPEG file, walked without decoding: the frame's size, and whether
// the file runs to its end marker. Both platforms' codecs get only files that pass this walk, so
// a size is known (and can be refused) before any codec allocates for it, and a file cut short
// is refused the same way everywhere.

#include <cstdint>
#include <optional>
#include <span>

namespace pellarin::libs {

struct JpegLayout {
  int width = 0;
  int height = 0;
  // The end-of-image marker follows the image data: nothing was cut off.
  bool complete = false;
};

// The layout of a JPEG with a start marker, a frame header of a kind the codecs decode
// (baseline, extended, progressive; Huffman or arithmetic coded) with a non-zero size, and the
// header of its first scan. Bytes between segments that are no marker are stepped over, as
// decoders do. Nothing for anything else.
std::optional<JpegLayout> readJpegLayout(std::span<const std::uint8_t> file);

}  // namespace pellarin::libs
