// The work folder's platform part on Windows: "C:\k_veld_temp", closed to everyone but the user
// and the system by its access list (win32_security.h says why and what "private" means there).
//
// PELLARIN_WORK_FOLDER_PARENT, an absolute path, puts the work folder into another folder than
// the root of C:, so that tests, which may run side by side, each have their own.
//
// Missing against the POSIX adapter: closing an existing folder changes its own list only; what
// lies inside keeps its list until it is next written (every write makes a new, private file).
// Under Wine an existing folder keeps what its Unix mode lets others do whatever list it is
// given; folders made here are private from the start there too.
#include <windows.h>

#include <aclapi.h>

#include <string>
#include <vector>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/win32_security.h"
#include "common/work_folder_platform.h"

namespace pellarin::work_folder_platform {

namespace {

constexpr const wchar_t* kParentOverride = L"PELLARIN_WORK_FOLDER_PARENT";
constexpr const wchar_t* kDefaultParent = L"C:\\";

bool isMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring environmentVariable(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return {};
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

// A handle on the folder itself, never on what a link in its place leads to.
class FolderHandle {
 public:
  FolderHandle(const std::filesystem::path& path, DWORD access)
      : handle_(::CreateFileW(
            path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {}
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  ~FolderHandle() {
    if (open()) ::CloseHandle(handle_);
  }
  bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Still a real folder: the name may have been replaced since it was looked at.
  bool isRealFolder() const {
    BY_HANDLE_FILE_INFORMATION information{};
    return open() && ::GetFileInformationByHandle(handle_, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::filesystem::path parentOfWorkFolder() {
  const std::filesystem::path override = environmentVariable(kParentOverride);
  // Only absolute paths count: a relative one would put the settings wherever the program
  // happens to be started.
  if (override.is_absolute()) return override;
  return kDefaultParent;
}

FolderFacts inspectFolder(const std::filesystem::path& path) {
  FolderFacts facts;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    facts.kind = isMissingError(::GetLastError()) ? FolderKind::Missing : FolderKind::Unknown;
    return facts;
  }
  // Any reparse point counts: a symbolic link and a junction lead elsewhere, and what else
  // there is (a placeholder of a cloud folder, say) is no plain folder of the user's either.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    facts.kind = FolderKind::Link;
    return facts;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    facts.kind = FolderKind::Other;
    return facts;
  }
  const FolderHandle folder(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!folder.isRealFolder() ||
      ::GetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    facts.kind = FolderKind::Unknown;
    return facts;
  }
  facts.kind = FolderKind::Folder;
  facts.ownedByUser = win32::isOwnSid(owner);
  facts.privateToOwner = win32::isPrivateList(list);
  ::LocalFree(descriptor);
  return facts;
}

bool createPrivateFolder(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path folder = path; !folder.empty() && folder != folder.root_path();
       folder = folder.parent_path()) {
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES ||
        !isMissingError(::GetLastError())) {
      break;
    }
    missing.push_back(folder);
  }
  win32::PrivateAccess access(win32::PrivateAccess::For::Folder);
  if (!access.valid()) {
    debugLog("work folder: cannot read this process's user; %s not created\n",
             pathText(path).c_str());
    return false;
  }
  // Outermost first, each private from the moment it exists.
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (!::CreateDirectoryW(folder->c_str(), access.attributes()) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      debugLog("work folder: cannot create %s: error %lu\n", pathText(*folder).c_str(),
               ::GetLastError());
      return false;
    }
  }
  return true;
}

bool makePrivate(const std::filesystem::path& path) {
  win32::PrivateAccess access(win32::PrivateAccess::For::Folder);
  const FolderHandle folder(path, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES);
  DWORD result = folder.open() ? ERROR_DIRECTORY : ::GetLastError();
  if (access.valid() && folder.isRealFolder()) {
    // The folder's own list only: what lies inside was made private when it was made.
    result = ::SetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, access.accessList(), nullptr);
    if (result == ERROR_SUCCESS) return true;
  }
  debugLog("work folder: cannot close %s to others: error %lu\n", pathText(path).c_str(), result);
  return false;
}

std::filesystem::path executableFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
}

}  // namespace pellarin::work_folder_platform
