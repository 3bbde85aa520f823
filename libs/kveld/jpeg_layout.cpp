#include "libs/kveld/jpeg_layout.h"

namespace pellarin::libs {

namespace {

constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;

// Frame headers the codecs decode: SOF0, 1, 2 (Huffman) and SOF9, 10 (arithmetic). Lossless
// and hierarchical frames are not decoded by them.
bool isDecodableFrame(std::uint8_t marker) {
  return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA;
}

// Every other SOFn (C0 to CF but for DHT C4, JPG C8 and DAC CC).
bool isFrame(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers without a length: restart markers and TEM.
bool standsAlone(std::uint8_t marker) {
  return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01;
}

class Walker {
 public:
  explicit Walker(std::span<const std::uint8_t> file) : file_(file) {}

  // The next marker's code, with `at_` just past it; nothing at the end of the file. Bytes that
  // are no marker are skipped; 0xFF fill bytes before a code belong to the marker.
  std::optional<std::uint8_t> nextMarker() {
    for (;;) {
      while (at_ < file_.size() && file_[at_] != 0xFF) ++at_;
      while (at_ < file_.size() && file_[at_] == 0xFF) ++at_;
      if (at_ >= file_.size()) return std::nullopt;
      const std::uint8_t code = file_[at_++];
      if (code != 0x00) return code;  // FF 00 is a stuffed data byte, not a marker
    }
  }

  // The segment that starts at `at_` (its two length bytes included), or nothing when its length
  // is impossible or it runs past the end of the file.
  std::optional<std::span<const std::uint8_t>> segment() {
    if (file_.size() - at_ < 2) return std::nullopt;
    const std::size_t length = std::size_t{file_[at_]} << 8 | file_[at_ + 1];
    if (length < 2 || length > file_.size() - at_) return std::nullopt;
    const auto bytes = file_.subspan(at_, length);
    at_ += length;
    return bytes;
  }

  // Steps over entropy-coded data up to the next real marker: FF 00 is a data byte and restart
  // markers sit inside the data. False when the file ends first.
  bool skipScanData() {
    while (at_ < file_.size()) {
      if (file_[at_] != 0xFF) {
        ++at_;
        continue;
      }
      std::size_t next = at_ + 1;
      while (next < file_.size() && file_[next] == 0xFF) ++next;
      if (next >= file_.size()) return false;
      if (file_[next] == 0x00 || (file_[next] >= 0xD0 && file_[next] <= 0xD7)) {
        at_ = next + 1;
        continue;
      }
      at_ = next - 1;  // on the marker's last 0xFF
      return true;
    }
    return false;
  }

 private:
  std::span<const std::uint8_t> file_;
  std::size_t at_ = 2;  // past the start marker
};

}  // namespace

std::optional<JpegLayout> readJpegLayout(std::span<const std::uint8_t> file) {
  if (file.size() < 2 || file[0] != 0xFF || file[1] != kStartOfImage) return std::nullopt;
  Walker walker(file);
  JpegLayout layout;
  bool haveFrame = false, haveScan = false;
  for (;;) {
    const std::optional<std::uint8_t> marker = walker.nextMarker();
    if (!marker) break;  // ended without an end marker
    if (*marker == kEndOfImage) {
      layout.complete = haveScan;
      break;
    }
    if (standsAlone(*marker)) continue;
    if (*marker == kStartOfImage) return std::nullopt;  // a second start: not one image
    const auto segment = walker.segment();
    if (!segment) break;  // cut inside a segment
    if (isFrame(*marker)) {
      // One frame per image; its size: precision, height, width, component count.
      if (haveFrame || !isDecodableFrame(*marker) || segment->size() < 8) return std::nullopt;
      layout.height = (*segment)[3] << 8 | (*segment)[4];
      layout.width = (*segment)[5] << 8 | (*segment)[6];
      if (layout.width == 0 || layout.height == 0) return std::nullopt;
      haveFrame = true;
    } else if (*marker == kStartOfScan) {
      if (!haveFrame) return std::nullopt;
      haveScan = true;
      if (!walker.skipScanData()) break;  // the image data runs to the end of the file
    }
  }
  // The parameters are known once the first scan's header was seen, as a decoder needs them.
  if (!haveScan) return std::nullopt;
  return layout;
}

}  // namespace pellarin::libs
