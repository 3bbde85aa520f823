#pragma once
// What the Windows tests look at that has no portable form: who an access list lets in, and
// the things planted for them by plant_links.sh.

#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace pellarin::testing {

inline std::string sidText(PSID sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) return "?";
  std::string result(text);
  ::LocalFree(text);
  return result;
}

// This process's user, as "S-1-5-...".
inline std::string userSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "?";
  unsigned char buffer[256];
  DWORD size = 0;
  const bool read = ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  ::CloseHandle(token);
  return read ? sidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : "?";
}

inline constexpr const char* kSystemSid = "S-1-5-18";

// Everyone the access list of path (the entry itself, not what a link leads to) lets in, "*"
// for a missing list (everyone); the owner as "owner:S-1-...".
inline std::set<std::string> letIn(const std::filesystem::path& path) {
  std::set<std::string> sids;
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {"unreadable"};
  }
  sids.insert("owner:" + sidText(owner));
  if (list == nullptr) sids.insert("*");
  for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
    void* entry = nullptr;
    if (::GetAce(list, i, &entry) &&
        static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      sids.insert(sidText(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart));
    }
  }
  ::LocalFree(descriptor);
  return sids;
}

// What a private entry of this user's lets in: the user and the system, nobody else.
inline std::set<std::string> privateToUser() {
  return {"owner:" + userSid(), userSid(), kSystemSid};
}

// True under Wine, which keeps what an existing file's Unix mode lets others do whatever access
// list is set on it later (only what is made with a list gets the list's mode).
inline bool underWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The folder plant_links.sh filled, as this program sees it; empty when the test was started
// without it (by hand, not by CTest).
inline std::filesystem::path plantedFolder() {
  const char* planted = std::getenv("PELLARIN_PLANTED");
  return planted == nullptr ? std::filesystem::path() : std::filesystem::path(planted);
}

}  // namespace pellarin::testing
