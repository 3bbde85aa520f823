#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "libs/pellarin1/bitmap_reader.h"
#include "libs/pellarin1/pellarin1.h"

namespace {

constexpr int kDefaultQuality = 90;
// Bitmaps larger than this are not read (the pixel limit of the reader is lower anyway).
constexpr off_t kMaxBitmapBytes = off_t{1} << 30;

bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxBitmapBytes;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        ok = false;
      } else {
        done += static_cast<std::size_t>(got);
      }
    }
  }
  ::close(fd);
  return ok;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Writes the bytes under a temporary name in the target's folder and renames it into place.
bool writeFileWhole(const std::string& target, const unsigned char* data, std::size_t size) {
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, data, size) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

extern "C" std::int16_t ConvertBMPtoJPG(const char* bmpPath, const char* jpgPath,
                                        std::int32_t subsampling, std::int32_t quality,
                                        std::int32_t flags) {
  if (bmpPath == nullptr || jpgPath == nullptr || *jpgPath == '\0') return kPellarin1BadArgument;
  if (subsampling == kPellarin1DefaultSubsampling) subsampling = TJSAMP_444;
  if (subsampling < 0 || subsampling >= TJ_NUMSAMP) return kPellarin1BadArgument;
  if (quality == kPellarin1DefaultQuality) quality = kDefaultQuality;
  if (quality < 1 || quality > 100) return kPellarin1BadArgument;
  if (flags == kPellarin1DefaultFlags) flags = 0;
  if ((flags & ~kPellarin1FlagProgressive) != 0) return kPellarin1BadArgument;

  std::vector<std::uint8_t> file;
  if (!readWholeFile(bmpPath, file)) return kPellarin1BitmapUnreadable;
  const std::optional<pellarin::DecodedBitmap> bitmap = pellarin::decodeBitmap(file);
  if (!bitmap) return kPellarin1BitmapInvalid;

  tjhandle encoder = tjInitCompress();
  if (encoder == nullptr) return kPellarin1EncodeFailed;
  unsigned char* jpeg = nullptr;
  unsigned long jpegSize = 0;
  const int tjFlags =
      TJFLAG_ACCURATEDCT | ((flags & kPellarin1FlagProgressive) != 0 ? TJFLAG_PROGRESSIVE : 0);
  const int status = tjCompress2(encoder, bitmap->rgb.data(), bitmap->width, 0, bitmap->height,
                                 TJPF_RGB, &jpeg, &jpegSize, subsampling, quality, tjFlags);
  std::int16_t result = kPellarin1Ok;
  if (status != 0) {
    result = kPellarin1EncodeFailed;
  } else if (!writeFileWhole(jpgPath, jpeg, jpegSize)) {
    result = kPellarin1WriteFailed;
  }
  tjFree(jpeg);
  tjDestroy(encoder);
  return result;
}
