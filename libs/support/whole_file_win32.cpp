// Whole-file reads and writes over Win32 file handles.
//
// Missing against the POSIX adapter: the new file is not narrowed to its owner; it takes the
// permissions its folder passes on (the work folder's).
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "libs/support/whole_file.h"

namespace pellarin::libs {

namespace {

// Win32 calls move at most 4 GiB - 1 at a time.
constexpr std::size_t kChunk = 1u << 30;

bool readAll(HANDLE file, std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const DWORD want = static_cast<DWORD>(std::min(size - done, kChunk));
    DWORD got = 0;
    if (!::ReadFile(file, data + done, want, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

bool writeAll(HANDLE file, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const DWORD want = static_cast<DWORD>(std::min(size - done, kChunk));
    DWORD put = 0;
    if (!::WriteFile(file, data + done, want, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

// A name beside `path` that nobody can guess ahead of us.
std::string temporaryName(const char* path) {
  unsigned char random[8] = {};
  if (!BCRYPT_SUCCESS(
          ::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    const ULONGLONG fallback = ::GetTickCount64() ^ (ULONGLONG{::GetCurrentProcessId()} << 32);
    std::memcpy(random, &fallback, sizeof random);
  }
  char suffix[2 * sizeof random + 2] = ".";
  for (std::size_t i = 0; i < sizeof random; ++i) {
    std::snprintf(suffix + 1 + 2 * i, 3, "%02x", random[i]);
  }
  return std::string(path) + suffix;
}

}  // namespace

FileReadStatus readRegularFile(const char* path, std::uint64_t limit,
                               std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  // Opening the client end of a named pipe returns at once; only reading it would wait, and
  // anything but a disk file is refused before that.
  const HANDLE file =
      ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileReadStatus::unreadable;
  FileReadStatus status = FileReadStatus::ok;
  LARGE_INTEGER size{};
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    status = FileReadStatus::notRegular;
  } else if (!::GetFileSizeEx(file, &size)) {
    status = FileReadStatus::unreadable;
  } else if (static_cast<std::uint64_t>(size.QuadPart) > limit) {
    status = FileReadStatus::tooLarge;
  } else {
    try {
      bytes.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
      status = FileReadStatus::noMemory;
    }
    if (status == FileReadStatus::ok && !readAll(file, bytes.data(), bytes.size())) {
      status = FileReadStatus::unreadable;
    }
  }
  ::CloseHandle(file);
  if (status != FileReadStatus::ok) std::vector<std::uint8_t>().swap(bytes);
  return status;
}

bool replaceFileWhole(const char* path, std::span<const std::uint8_t> bytes) {
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  // CREATE_NEW fails on any existing entry, a link included, so nothing planted is followed.
  for (int attempt = 0; attempt < 8 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = temporaryName(path);
    file = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = writeAll(file, bytes.data(), bytes.size()) && ::FlushFileBuffers(file);
  ok = ::CloseHandle(file) && ok;
  // Replacing renames over the entry at `path`; a link there is replaced, not followed.
  if (ok) {
    ok = ::MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!ok) ::DeleteFileA(temporary.c_str());
  return ok;
}

}  // namespace pellarin::libs
