#pragma once
// Who may use the work folder and the files made in it, on Windows: the Win32 adapters' shared
// part (included by *_win32.cpp files only).
//
// Windows has no mode bits. "Private" is a protected access list (nothing passed on from the
// folder above) that lets in this process's user and the system alone: the same folder in the
// root of C: is otherwise open to every signed-in user, who could plant files and links in it.
// "The user's own" is a folder whose owner is this process's user, or the owner the process
// gives what it makes (the Administrators group, for an elevated administrator).
#include <windows.h>

#include <vector>

namespace pellarin::win32 {

// A security descriptor granting full access to the user and the system alone, not inheriting
// from the parent; for a folder, passed on to everything made inside it.
class PrivateAccess {
 public:
  enum class For { Folder, File };
  explicit PrivateAccess(For what);
  PrivateAccess(const PrivateAccess&) = delete;
  PrivateAccess& operator=(const PrivateAccess&) = delete;

  // False when this process's user could not be read; then attributes() is null and what is
  // made takes what its folder passes on.
  bool valid() const { return valid_; }
  SECURITY_ATTRIBUTES* attributes() { return valid_ ? &attributes_ : nullptr; }
  PACL accessList() { return valid_ ? reinterpret_cast<PACL>(list_.data()) : nullptr; }

 private:
  bool valid_ = false;
  std::vector<unsigned char> user_;
  std::vector<unsigned char> system_;
  std::vector<unsigned char> list_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
};

// True when sid is this process's user or the owner of what this process makes.
bool isOwnSid(PSID sid);

// True when the list lets no one in but the user and the system (SYSTEM, Administrators). A
// missing list lets everyone in.
bool isPrivateList(const ACL* list);

}  // namespace pellarin::win32
