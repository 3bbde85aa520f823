#include <windows.h>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/win32_security.h"
#include "host/core/win32_adapters.h"

namespace pellarin {

MusicLockWin32::~MusicLockWin32() {
  release();
}

bool MusicLockWin32::tryAcquire() {
  if (handle_ != -1) return true;
  // A link in the file's place is opened as itself, never followed, and then refused below.
  win32::PrivateAccess access(win32::PrivateAccess::For::File);
  const HANDLE file = ::CreateFileW(file_.c_str(), GENERIC_READ, 0, access.attributes(),
                                    OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // Held, sharing nothing, by another host.
    if (error == ERROR_SHARING_VIOLATION) return false;
    debugLog("host: cannot open the music lock %s (error %lu); playing\n", pathText(file_).c_str(),
             error);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
          0) {
    ::CloseHandle(file);
    debugLog("host: the music lock %s is no file; playing\n", pathText(file_).c_str());
    return true;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

void MusicLockWin32::release() {
  if (handle_ == -1) return;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing the only handle lets go of it
  handle_ = -1;
}

}  // namespace pellarin
