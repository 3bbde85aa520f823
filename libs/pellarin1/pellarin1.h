#pragma once
// Pellarin1.dll: the picture converter the host loads by path for its hand-off to the renderer.

#include <cstdint>

// Result codes of ConvertBMPtoJPG.
enum Pellarin1Result : std::int16_t {
  kPellarin1Ok = 0,
  kPellarin1BitmapUnreadable = 1,  // the bitmap file is missing, no regular file, or unreadable
  kPellarin1BitmapInvalid = 2,     // not a bitmap this library reads, or cut short
  kPellarin1BadArgument = 3,       // a null path or an option out of range
  kPellarin1EncodeFailed = 4,      // the JPEG encoder failed
  kPellarin1WriteFailed = 5,       // the JPEG file could not be written
};

// Option values the host passes.
inline constexpr std::int32_t kPellarin1DefaultSubsampling = -1;  // 4:4:4
inline constexpr std::int32_t kPellarin1DefaultQuality = -1;      // 90
inline constexpr std::int32_t kPellarin1DefaultFlags = -1;        // baseline
inline constexpr std::int32_t kPellarin1FlagProgressive = 1;

// The host's declaration of the call uses the system's calling convention (the same as the C
// one on x86-64). Windows exports the name through pellarin1.def.
#if defined(_WIN32)
#define PELLARIN1_CALL __stdcall
#define PELLARIN1_API
#else
#define PELLARIN1_CALL
#define PELLARIN1_API __attribute__((visibility("default")))
#endif

extern "C" {

// Reads the Windows bitmap at bmpPath (1, 4, 8, 24 or 32 bits per pixel, bottom-up or top-down)
// and writes it as a JPEG file at jpgPath. The JPEG file appears whole or not at all: it is
// written beside its final name, readable and writable by its owner alone, and renamed into
// place, replacing (never writing through) a link of that name; on any failure nothing is
// written and an existing file at jpgPath stays as it was.
//   subsampling: -1 for 4:4:4, or 0 4:4:4, 1 4:2:2, 2 4:2:0, 3 grey, 4 4:4:0, 5 4:1:1
//   quality:     -1 for 90, or 1 to 100
//   flags:       -1 or 0 for a baseline JPEG, kPellarin1FlagProgressive for a progressive one
// Returns kPellarin1Ok (0) on success, another Pellarin1Result otherwise.
PELLARIN1_API std::int16_t PELLARIN1_CALL ConvertBMPtoJPG(const char* bmpPath, const char* jpgPath,
                                                          std::int32_t subsampling,
                                                          std::int32_t quality, std::int32_t flags);
}
