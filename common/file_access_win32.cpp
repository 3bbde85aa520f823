// The settings-file engine's file access over Win32 file handles, wide paths throughout.
//
// A write's file is marked busy by its own handle: it is opened sharing nothing but deletion
// (so that the rename can take it), and a removal of an abandoned file first opens it sharing
// nothing at all, which fails for as long as any process holds the file. The system closes a
// handle when its process ends, however it ends.
//
// Missing against the POSIX adapter: a rewritten file does not keep another owner (changing an
// owner needs privileges the programs do not have); it is the user's, like the work folder.
// A file that another program holds open, even sharing everything, may not be replaceable
// (Wine and older Windows keep an open file's name): that write fails, and nothing is lost.
// Every reparse point counts as a link, as it does for the work folder.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>

#include "common/debug_log.h"
#include "common/file_access.h"
#include "common/path_text.h"
#include "common/win32_security.h"

namespace pellarin::file_access {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (open()) ::CloseHandle(handle_);
  }
  bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool isMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A file on a disk that is neither a folder nor a reparse point: a pipe, a console or a device
// is never read, since reading them waits or acts.
bool isPlainDiskFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information{};
  return ::GetFileType(handle) == FILE_TYPE_DISK &&
         ::GetFileInformationByHandle(handle, &information) &&
         (information.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool writeAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD done = 0;
    if (!::WriteFile(handle, bytes.data(), want, &done, nullptr) || done == 0) return false;
    bytes.remove_prefix(done);
  }
  return true;
}

// Removes the open file through its handle, so that it is that file which goes and never one
// put under its name since.
bool removeThroughHandle(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition);
}

// "\\?\C:\folder" as "C:\folder", "\\?\UNC\server\share" as "\\server\share".
std::wstring withoutLongPrefix(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\" + path.substr(7);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

}  // namespace

EntryKind entryKind(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return isMissingError(::GetLastError()) ? EntryKind::Missing : EntryKind::Unknown;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::Link;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? EntryKind::RegularFile : EntryKind::Other;
}

std::optional<std::filesystem::path> resolvedPath(const std::filesystem::path& path) {
  // Neither reading nor writing: enough to ask where the handle ends up.
  const Handle handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.open()) return std::nullopt;
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle.get(), name.data(), static_cast<DWORD>(name.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(withoutLongPrefix(std::move(name)));
    }
    name.resize(length);
  }
}

FileBytes readRegularFile(const std::filesystem::path& file) {
  FileBytes content;
  // Opening returns at once whatever stands there (a pipe's client end included); what it is
  // is told by the open handle, before anything is read.
  const Handle handle(::CreateFileW(file.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.open()) {
    const DWORD error = ::GetLastError();
    if (isMissingError(error)) {
      content.outcome = ReadOutcome::Missing;
    } else {
      debugLog("profile: cannot open %s: error %lu\n", pathText(file).c_str(), error);
    }
    return content;
  }
  LARGE_INTEGER size{};
  if (!isPlainDiskFile(handle.get()) || !::GetFileSizeEx(handle.get(), &size)) {
    debugLog("profile: %s is not a regular file\n", pathText(file).c_str());
    return content;
  }
  if (size.QuadPart > 0) content.bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[1 << 16];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr)) {
      debugLog("profile: cannot read %s: error %lu\n", pathText(file).c_str(), ::GetLastError());
      content.bytes.clear();
      return content;
    }
    if (got == 0) break;
    content.bytes.append(buffer, got);
  }
  content.outcome = ReadOutcome::Read;
  return content;
}

bool mayWrite(const std::filesystem::path& file) {
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return false;
  }
  // Opening for writing changes nothing; it fails where the access list forbids writing.
  const Handle handle(::CreateFileW(file.c_str(), FILE_WRITE_DATA, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return handle.open();
}

NewFile::NewFile(std::intptr_t handle, std::filesystem::path path)
    : handle_(handle), path_(std::move(path)) {}

NewFile::NewFile(NewFile&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = -1;
  other.path_.clear();
}

NewFile::~NewFile() {
  // Removed while still marked busy, so no one else can take the name meanwhile.
  if (handle_ != -1 && !path_.empty()) {
    removeThroughHandle(reinterpret_cast<HANDLE>(handle_));
  }
  release();
}

void NewFile::release() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

std::optional<NewFile> NewFile::createIn(const std::filesystem::path& folder,
                                         std::string_view prefix, std::string_view suffix) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path place = folder.empty() ? std::filesystem::path(".") : folder;
  win32::PrivateAccess access(win32::PrivateAccess::For::File);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name(prefix);
    name += std::to_string(::GetCurrentProcessId()) + "." + std::to_string(counter.fetch_add(1)) +
            "." + std::to_string(now % 1000000);
    name += suffix;
    const std::filesystem::path path = place / pathFromText(name);
    // CREATE_NEW fails on anything already there, a link included, so nothing is followed.
    // Busy from the first moment: no other open that shares nothing can succeed.
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, access.attributes(),
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      debugLog("profile: cannot create %s: error %lu\n", pathText(path).c_str(), error);
      return std::nullopt;
    }
    return NewFile(reinterpret_cast<std::intptr_t>(handle), path);
  }
  debugLog("profile: no free temporary name in %s\n", pathText(place).c_str());
  return std::nullopt;
}

bool NewFile::append(std::string_view bytes) {
  if (writeAll(reinterpret_cast<HANDLE>(handle_), bytes)) return true;
  debugLog("profile: cannot write %s: error %lu\n", pathText(path_).c_str(), ::GetLastError());
  return false;
}

bool NewFile::replace(const std::filesystem::path& target) {
  // The rename comes while the file is still marked busy; it replaces a link at target rather
  // than what the link leads to.
  if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) ||
      !::MoveFileExW(path_.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    debugLog("profile: cannot replace %s: error %lu\n", pathText(target).c_str(), ::GetLastError());
    return false;
  }
  path_.clear();
  release();
  return true;
}

bool removeIfAbandoned(const std::filesystem::path& file) {
  if (entryKind(file) != EntryKind::RegularFile) return false;
  // Sharing nothing: fails while the write that made the file still holds it.
  const Handle handle(::CreateFileW(file.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle.open()) return false;
  if (!isPlainDiskFile(handle.get()) || !removeThroughHandle(handle.get())) return false;
  debugLog("profile: removed %s, left by a write that did not finish\n", pathText(file).c_str());
  return true;
}

}  // namespace pellarin::file_access
