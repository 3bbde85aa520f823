// The host's own file-system calls over Win32 file handles. Text paths are UTF-8 and go to the
// wide calls, so any name works.
#include <windows.h>

#include <algorithm>
#include <random>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/win32_security.h"
#include "host/core/file_system.h"

namespace pellarin {

bool isReadableRegularFile(const std::string& path) {
  const std::filesystem::path name = pathFromText(path);
  if (name.empty()) return false;
  // Opening returns at once whatever stands there; what it is is told by the open handle. A
  // folder cannot be opened this way, and a file another program holds against reading fails
  // the open.
  const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool regular = ::GetFileType(file) == FILE_TYPE_DISK &&
                       ::GetFileInformationByHandle(file, &information) &&
                       (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  ::CloseHandle(file);
  return regular;
}

std::unique_ptr<TemporaryFile> TemporaryFile::create(const std::filesystem::path& folder,
                                                     std::string_view stem,
                                                     std::string_view ending) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  win32::PrivateAccess access(win32::PrivateAccess::For::File);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(stem);
    name += '-';
    for (int i = 0; i < 6; ++i) name += kLetters[letter(random)];
    name += ending;
    const std::filesystem::path path = folder / pathFromText(name);
    // CREATE_NEW neither reuses a file (a stale one left by a killed run is simply not chosen)
    // nor follows a link.
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, access.attributes(),
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      return std::unique_ptr<TemporaryFile>(
          new TemporaryFile(path, reinterpret_cast<std::intptr_t>(file)));
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      debugLog("host: cannot make a temporary file in %s: error %lu\n", pathText(folder).c_str(),
               error);
      return nullptr;
    }
  }
  debugLog("host: no free temporary name in %s\n", pathText(folder).c_str());
  return nullptr;
}

TemporaryFile::~TemporaryFile() {
  close();
  ::DeleteFileW(path_.c_str());
}

void TemporaryFile::close() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

bool TemporaryFile::writeAndClose(std::span<const std::uint8_t> bytes) {
  if (handle_ == -1) return false;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD put = 0;
    ok = ::WriteFile(file, bytes.data() + done, want, &put, nullptr) && put > 0;
    done += put;
  }
  handle_ = -1;
  return ::CloseHandle(file) && ok;
}

}  // namespace pellarin
