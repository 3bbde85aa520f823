// The JPEG decoder behind the three record operations. The record handling, the file checks and
// the JPEG structure are the same on every platform; only the codec differs.
#include "libs/kveld/kveld.h"

#include <cstring>
#include <new>
#include <vector>

#include "libs/kveld/jpeg_layout.h"
#include "libs/support/jpeg_codec.h"
#include "libs/support/whole_file.h"

namespace {

using pellarin::libs::FileReadStatus;

// Marks a record that kveldInitialise prepared and kveldRelease has not yet released.
constexpr int32_t readyMark = 0x6C65566B;

// What the library keeps between calls, stored byte-wise in the record's working space.
struct WorkState {
  std::vector<std::uint8_t>* file;  // the whole file, read by the parameter read
  int width;
  int height;
  bool complete;  // the file runs to its end marker
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
  delete state.file;
  state = WorkState{};
}

int32_t statusOf(FileReadStatus status) {
  return status == FileReadStatus::noMemory ? KVELD_ERROR_MEMORY : KVELD_ERROR_FILE;
}

int32_t readParameters(DecoderProperties* record, WorkState& state) {
  dropFile(state);
  if (record->path == nullptr) return KVELD_ERROR_ARGUMENT;
  auto* file = new (std::nothrow) std::vector<std::uint8_t>;
  if (file == nullptr) return KVELD_ERROR_MEMORY;
  const FileReadStatus read =
      pellarin::libs::readRegularFile(record->path, KVELD_MAX_FILE_BYTES, *file);
  if (read != FileReadStatus::ok) {
    delete file;
    return statusOf(read);
  }
  const std::optional<pellarin::libs::JpegLayout> layout = pellarin::libs::readJpegLayout(*file);
  if (!layout) {
    delete file;
    return KVELD_ERROR_NOT_JPEG;
  }
  // The caller allocates width x height pixels from what we report, so a header that declares
  // an absurd size must fail here, before anyone allocates.
  if (static_cast<long long>(layout->width) * layout->height > KVELD_MAX_PIXELS) {
    delete file;
    return KVELD_ERROR_TOO_LARGE;
  }
  state = WorkState{file, layout->width, layout->height, layout->complete};
  record->imageWidth = layout->width;
  record->imageHeight = layout->height;
  return KVELD_OK;
}

int32_t readImage(DecoderProperties* record, WorkState& state) {
  if (state.file == nullptr) {
    int32_t status = readParameters(record, state);
    if (status != KVELD_OK) return status;
  }
  // The destination must be exactly the image: the caller's buffer was sized from it.
  if (record->destPixels == nullptr || record->destChannels != 3 ||
      record->destColourOrder != KVELD_ORDER_RGB || record->destWidth != state.width ||
      record->destHeight != state.height) {
    return KVELD_ERROR_ARGUMENT;
  }
  // A file cut short would leave part of the picture made up by the codec. What a codec reads
  // past with a warning (stray bytes, a damaged stretch of data) is the user's picture.
  if (!state.complete ||
      !pellarin::libs::decodeJpeg(*state.file, state.width, state.height, record->destPixels)) {
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
  storeState(record, WorkState{});
  record->libraryState = readyMark;
  return KVELD_OK;
}

int32_t kveldRead(DecoderProperties* record, int32_t mode) {
  if (record == nullptr) return KVELD_ERROR_ARGUMENT;
  if (record->libraryState != readyMark) return KVELD_ERROR_NOT_INITIALISED;
  WorkState state = loadState(record);
  int32_t status = KVELD_ERROR_ARGUMENT;
  try {
    if (mode == KVELD_MODE_PARAMETERS) {
      status = readParameters(record, state);
    } else if (mode == KVELD_MODE_IMAGE) {
      status = readImage(record, state);
    }
  } catch (const std::bad_alloc&) {  // nothing may cross into a caller of another language
    status = KVELD_ERROR_MEMORY;
  }
  storeState(record, state);
  return status;
}

int32_t kveldRelease(DecoderProperties* record) {
  if (record == nullptr) return KVELD_ERROR_ARGUMENT;
  if (record->libraryState != readyMark) return KVELD_ERROR_NOT_INITIALISED;
  WorkState state = loadState(record);
  dropFile(state);
  std::memset(record->workspace, 0, sizeof record->workspace);
  record->libraryState = 0;
  return KVELD_OK;
}

}  // extern "C"
