#ifndef PELLARIN_KVELD_H
#define PELLARIN_KVELD_H
/*
 * kVeld.dll: the JPEG decoder the renderer loads at start.
 *
 * Three operations, each taking the address of one DecoderProperties record and returning a
 * 32-bit status (0 = success). On Windows they are exported by ordinal only (kveld.def; callers
 * link the import library made from it); on Linux by the plain C names below:
 *
 *   ordinal 2  kveldInitialise(record)        prepares a zero-filled record
 *   ordinal 4  kveldRead(record, mode)        mode 0: read width and height of the file named by
 *                                             `path`; mode 2: decode the whole image into the
 *                                             destination described by the dest* fields
 *   ordinal 3  kveldRelease(record)           frees whatever the library holds for the record
 *
 * The record's layout is fixed by the 32-bit build of the library (every field four bytes, the
 * offsets given beside each field, 20,032 bytes in all). A 64-bit build keeps the same field order
 * with pointer-sized address fields and the compiler's natural alignment.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(KVELD_BUILDING)
#define KVELD_API /* kveld.def exports them, by ordinal only */
#else
#define KVELD_API __declspec(dllimport)
#endif
#else
#define KVELD_API __attribute__((visibility("default")))
#endif

/* Bytes of the record that belong to the library alone (offset 52 to the end in 32-bit). */
#define KVELD_WORKSPACE_BYTES 19980

typedef struct DecoderProperties {
  int32_t libraryState;      /*  0: library's; non-zero while initialised */
  unsigned char* destPixels; /*  4: destination buffer for mode 2 */
  int32_t destWidth;         /*  8: destination width in pixels */
  int32_t destHeight;        /* 12: destination height in pixels */
  int32_t reserved16;        /* 16: library's */
  int32_t destChannels;      /* 20: bytes per destination pixel; only 3 is supported */
  int32_t destColourOrder;   /* 24: 1 = red, green, blue; the only supported order */
  int32_t reserved28;        /* 28: library's */
  const char* path;          /* 32: zero-terminated path of the JPEG file */
  int32_t reserved36;        /* 36: library's */
  int32_t reserved40;        /* 40: library's */
  int32_t imageWidth;        /* 44: width of the image in the file, set by mode 0 */
  int32_t imageHeight;       /* 48: height of the image in the file, set by mode 0 */
  unsigned char workspace[KVELD_WORKSPACE_BYTES]; /* 52: library's working space */
} DecoderProperties;

#define KVELD_MODE_PARAMETERS 0
#define KVELD_MODE_IMAGE 2
#define KVELD_ORDER_RGB 1

/* Statuses. Callers only distinguish 0 from the rest; the codes help tests and debugging. */
#define KVELD_OK 0
#define KVELD_ERROR_ARGUMENT 1        /* null record, unknown mode, bad destination */
#define KVELD_ERROR_NOT_INITIALISED 2 /* record not prepared by kveldInitialise */
#define KVELD_ERROR_FILE 3            /* missing, unreadable, not a regular file, too big */
#define KVELD_ERROR_NOT_JPEG 4        /* no JPEG header could be read */
#define KVELD_ERROR_TOO_LARGE 5       /* the image declares more pixels than the library decodes */
#define KVELD_ERROR_DECODE 6          /* the codec cannot decode it, or the file is cut short */
#define KVELD_ERROR_MEMORY 7          /* the library could not obtain memory */

/* Largest image the library decodes: 64 Mi pixels (192 MiB of RGB). */
#define KVELD_MAX_PIXELS (64L * 1024L * 1024L)
/* Largest file the library reads. */
#define KVELD_MAX_FILE_BYTES (256L * 1024L * 1024L)

KVELD_API int32_t kveldInitialise(DecoderProperties* record);
KVELD_API int32_t kveldRead(DecoderProperties* record, int32_t mode);
KVELD_API int32_t kveldRelease(DecoderProperties* record);

#ifdef __cplusplus
}
#endif

/* The layout the renderer relies on. */
#ifdef __cplusplus
#include <cstddef>
#define KVELD_STATIC_ASSERT static_assert
#else
#include <stddef.h>
#define KVELD_STATIC_ASSERT _Static_assert
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
KVELD_STATIC_ASSERT(sizeof(DecoderProperties) == 20032, "record size");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destPixels) == 4, "destPixels offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destWidth) == 8, "destWidth offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destHeight) == 12, "destHeight offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destChannels) == 20, "destChannels offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destColourOrder) == 24, "destColourOrder offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, path) == 32, "path offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, imageWidth) == 44, "imageWidth offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, imageHeight) == 48, "imageHeight offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, workspace) == 52, "workspace offset");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destPixels) == 8, "destPixels offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destWidth) == 16, "destWidth offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destHeight) == 20, "destHeight offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destChannels) == 28, "destChannels offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, destColourOrder) == 32, "destColourOrder offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, path) == 40, "path offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, imageWidth) == 56, "imageWidth offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, imageHeight) == 60, "imageHeight offset");
KVELD_STATIC_ASSERT(offsetof(DecoderProperties, workspace) == 64, "workspace offset");
KVELD_STATIC_ASSERT(sizeof(DecoderProperties) == 20048, "record size");
#else
#error "kveld.h: unsupported pointer size"
#endif

#endif /* PELLARIN_KVELD_H */
