// The JPEG decoder behind the three record operations, on top of the TurboJPEG API.
#include "libs/kveld/kveld.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Marks a record that kveldInitialise prepared and kveldRelease has not yet released.
constexpr int32_t readyMark = 0x6C65566B;

// What the library keeps between calls, stored byte-wise in the record's working space.
struct WorkState {
  tjhandle decoder;
  unsigned char* fileData;  // the whole file, read by the parameter read
  unsigned long fileSize;
  int width;
  int height;
};
static_assert(sizeof(WorkState) <= KVELD_WORKSPACE_BYTES);

WorkState loadState(const DecoderProperties* record) {
  WorkState state;
  std::memcpy(&state, record->workspace, sizeof state);
  return state;
}

void storeState(DecoderProperties* record, const WorkState& state) {
  std::memcpy(record->workspace, &state, sizeof state);
}

void dropFile(WorkState& state) {
  std::free(state.fileData);
  state.fileData = nullptr;
  state.fileSize = 0;
  state.width = 0;
  state.height = 0;
}

// Reads a regular file of at most KVELD_MAX_FILE_BYTES into a new buffer.
int32_t readWholeFile(const char* path, unsigned char** data, unsigned long* size) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return KVELD_ERROR_FILE;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > KVELD_MAX_FILE_BYTES) {
    close(fd);
    return KVELD_ERROR_FILE;
  }
  if (info.st_size < 4) {  // too short to hold even the start and end markers
    close(fd);
    return KVELD_ERROR_NOT_JPEG;
  }
  auto expected = static_cast<unsigned long>(info.st_size);
  auto* buffer = static_cast<unsigned char*>(std::malloc(expected));
  if (buffer == nullptr) {
    close(fd);
    return KVELD_ERROR_MEMORY;
  }
  unsigned long done = 0;
  while (done < expected) {
    ssize_t got = read(fd, buffer + done, expected - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the file shrank under us or cannot be read
    done += static_cast<unsigned long>(got);
  }
  close(fd);
  if (done != expected) {
    std::free(buffer);
    return KVELD_ERROR_FILE;
  }
  *data = buffer;
  *size = expected;
  return KVELD_OK;
}

int32_t readParameters(DecoderProperties* record, WorkState& state) {
  dropFile(state);
  if (record->path == nullptr) return KVELD_ERROR_ARGUMENT;
  int32_t status = readWholeFile(record->path, &state.fileData, &state.fileSize);
  if (status != KVELD_OK) return status;
  if (state.fileData[0] != 0xFF || state.fileData[1] != 0xD8) {
    dropFile(state);
    return KVELD_ERROR_NOT_JPEG;
  }
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colourspace = 0;
  if (tjDecompressHeader3(state.decoder, state.fileData, state.fileSize, &width, &height,
                          &subsampling, &colourspace) != 0 ||
      width <= 0 || height <= 0) {
    dropFile(state);
    return KVELD_ERROR_NOT_JPEG;
  }
  // The caller allocates width x height pixels from what we report, so a header that declares
  // an absurd size must fail here, before anyone allocates.
  if (static_cast<long long>(width) * height > KVELD_MAX_PIXELS) {
    dropFile(state);
    return KVELD_ERROR_TOO_LARGE;
  }
  state.width = width;
  state.height = height;
  record->imageWidth = width;
  record->imageHeight = height;
  return KVELD_OK;
}

int32_t readImage(DecoderProperties* record, WorkState& state) {
  if (state.fileData == nullptr) {
    int32_t status = readParameters(record, state);
    if (status != KVELD_OK) return status;
  }
  // The destination must be exactly the image: the caller's buffer was sized from it.
  if (record->destPixels == nullptr || record->destChannels != 3 ||
      record->destColourOrder != KVELD_ORDER_RGB || record->destWidth != state.width ||
      record->destHeight != state.height) {
    return KVELD_ERROR_ARGUMENT;
  }
  // A warning (truncated or corrupt data) counts as a failure: the picture would be incomplete.
  if (tjDecompress2(state.decoder, state.fileData, state.fileSize, record->destPixels, state.width,
                    state.width * 3, state.height, TJPF_RGB, TJFLAG_STOPONWARNING) != 0) {
    return KVELD_ERROR_DECODE;
  }
  return KVELD_OK;
}

}  // namespace

extern "C" {

int32_t kveldInitialise(DecoderProperties* record) {
  if (record == nullptr) return KVELD_ERROR_ARGUMENT;
  // A live record would leak what it holds if prepared again.
  if (record->libraryState == readyMark) return KVELD_ERROR_ARGUMENT;
  WorkState state{};
  state.decoder = tjInitDecompress();
  if (state.decoder == nullptr) return KVELD_ERROR_MEMORY;
  storeState(record, state);
  record->libraryState = readyMark;
  return KVELD_OK;
}

int32_t kveldRead(DecoderProperties* record, int32_t mode) {
  if (record == nullptr) return KVELD_ERROR_ARGUMENT;
  if (record->libraryState != readyMark) return KVELD_ERROR_NOT_INITIALISED;
  WorkState state = loadState(record);
  int32_t status = KVELD_ERROR_ARGUMENT;
  if (mode == KVELD_MODE_PARAMETERS) {
    status = readParameters(record, state);
  } else if (mode == KVELD_MODE_IMAGE) {
    status = readImage(record, state);
  }
  storeState(record, state);
  return status;
}

int32_t kveldRelease(DecoderProperties* record) {
  if (record == nullptr) return KVELD_ERROR_ARGUMENT;
  if (record->libraryState != readyMark) return KVELD_ERROR_NOT_INITIALISED;
  WorkState state = loadState(record);
  dropFile(state);
  tjDestroy(state.decoder);
  std::memset(record->workspace, 0, sizeof record->workspace);
  record->libraryState = 0;
  return KVELD_OK;
}

}  // extern "C"
