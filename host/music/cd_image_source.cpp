#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "common/debug_log.h"
#include "host/music/cd_sector_source.h"
#include "host/music/cue_sheet.h"

namespace pellarin {
namespace {

class CdImageSource final : public CdSectorSource {
 public:
  CdImageSource(std::FILE* data, std::vector<CdTrack> tracks)
      : data_(data), tracks_(std::move(tracks)) {}
  ~CdImageSource() override { std::fclose(data_); }
  CdImageSource(const CdImageSource&) = delete;
  CdImageSource& operator=(const CdImageSource&) = delete;

  CdDiscState discState() override { return CdDiscState::ready; }
  std::vector<CdTrack> tracks() override { return tracks_; }

  bool read(std::uint32_t frame, std::uint32_t count, std::uint8_t* out) override {
    std::lock_guard lock(mutex_);
    if (std::fseek(data_, static_cast<long>(std::uint64_t{frame} * kCdFrameBytes), SEEK_SET) != 0) {
      return false;
    }
    std::size_t size = std::size_t{count} * kCdFrameBytes;
    return std::fread(out, 1, size, data_) == size;
  }

 private:
  std::mutex mutex_;
  std::FILE* data_;
  std::vector<CdTrack> tracks_;
};

}  // namespace

std::unique_ptr<CdSectorSource> openCdImage(const std::string& cueSheetPath) {
  std::ifstream sheetFile(cueSheetPath, std::ios::binary);
  if (!sheetFile) {
    debugLog("cd image: cannot read %s\n", cueSheetPath.c_str());
    return nullptr;
  }
  std::ostringstream text;
  text << sheetFile.rdbuf();
  auto sheet = parseCueSheet(text.str());
  if (!sheet) {
    debugLog("cd image: %s is no usable cue sheet\n", cueSheetPath.c_str());
    return nullptr;
  }
  std::filesystem::path dataPath(sheet->dataFile);
  if (dataPath.is_relative())
    dataPath = std::filesystem::path(cueSheetPath).parent_path() / dataPath;
  std::error_code error;
  std::uintmax_t size = std::filesystem::file_size(dataPath, error);
  std::uint64_t totalFrames = error ? 0 : size / kCdFrameBytes;
  if (totalFrames <= sheet->tracks.back().startFrame) {
    debugLog("cd image: data file %s is missing or too short\n", dataPath.c_str());
    return nullptr;
  }
  std::FILE* data = std::fopen(dataPath.c_str(), "rb");
  if (data == nullptr) return nullptr;

  std::vector<CdTrack> tracks;
  for (std::size_t i = 0; i < sheet->tracks.size(); ++i) {
    std::uint64_t next =
        i + 1 < sheet->tracks.size() ? sheet->tracks[i + 1].startFrame : totalFrames;
    tracks.push_back({sheet->tracks[i].startFrame,
                      static_cast<std::uint32_t>(next - sheet->tracks[i].startFrame),
                      sheet->tracks[i].audio});
  }
  return std::make_unique<CdImageSource>(data, std::move(tracks));
}

}  // namespace pellarin
