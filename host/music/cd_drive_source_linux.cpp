#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "common/debug_log.h"
#include "host/music/cd_sector_source.h"
#include "host/music/cd_sector_source_linux.h"
#include "host/music/cue_sheet.h"

namespace pellarin {
namespace {

// Frames read from the drive per request.
constexpr std::uint32_t kFramesPerRead = 8;

class CdDriveSource final : public CdSectorSource {
 public:
  explicit CdDriveSource(int fd) : fd_(fd) {}
  ~CdDriveSource() override { ::close(fd_); }
  CdDriveSource(const CdDriveSource&) = delete;
  CdDriveSource& operator=(const CdDriveSource&) = delete;

  CdDiscState discState() override {
    int status = ::ioctl(fd_, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (status == CDS_TRAY_OPEN) return CdDiscState::trayOpen;
    return status == CDS_DISC_OK ? CdDiscState::ready : CdDiscState::noDisc;
  }

  std::vector<CdTrack> tracks() override {
    std::vector<CdTrack> result;
    cdrom_tochdr header = {};
    if (::ioctl(fd_, CDROMREADTOCHDR, &header) != 0) return result;
    std::vector<cdrom_tocentry> entries;
    for (int track = header.cdth_trk0; track <= header.cdth_trk1 + 1; ++track) {
      cdrom_tocentry entry = {};
      entry.cdte_track = static_cast<__u8>(track > header.cdth_trk1 ? CDROM_LEADOUT : track);
      entry.cdte_format = CDROM_LBA;
      if (::ioctl(fd_, CDROMREADTOCENTRY, &entry) != 0) return result;
      entries.push_back(entry);
    }
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
      auto start = static_cast<std::uint32_t>(std::max(0, entries[i].cdte_addr.lba));
      auto next = static_cast<std::uint32_t>(std::max(0, entries[i + 1].cdte_addr.lba));
      if (next < start) return {};
      result.push_back({start, next - start, (entries[i].cdte_ctrl & CDROM_DATA_TRACK) == 0});
    }
    return result;
  }

  bool read(std::uint32_t frame, std::uint32_t count, std::uint8_t* out) override {
    while (count > 0) {
      std::uint32_t now = std::min(count, kFramesPerRead);
      cdrom_read_audio request = {};
      request.addr.lba = static_cast<int>(frame);
      request.addr_format = CDROM_LBA;
      request.nframes = static_cast<int>(now);
      request.buf = out;
      if (::ioctl(fd_, CDROMREADAUDIO, &request) != 0) return false;
      frame += now;
      count -= now;
      out += std::size_t{now} * kCdFrameBytes;
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<CdSectorSource> openCdDriveSource(const std::string& devicePath) {
  int fd = ::open(devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    debugLog("cd: no drive at %s\n", devicePath.c_str());
    return nullptr;
  }
  if (::ioctl(fd, CDROM_GET_CAPABILITY, 0) < 0) {
    debugLog("cd: %s is no CD drive\n", devicePath.c_str());
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<CdDriveSource>(fd);
}

}  // namespace pellarin
