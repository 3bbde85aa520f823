#include "common/win32_security.h"

namespace pellarin::win32 {

namespace {

// A copy of the token's user (TokenUser) or default owner (TokenOwner); empty when unreadable.
std::vector<unsigned char> tokenSid(TOKEN_INFORMATION_CLASS which) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  ::GetTokenInformation(token, which, nullptr, 0, &size);
  std::vector<unsigned char> information(size);
  const bool read =
      size > 0 && ::GetTokenInformation(token, which, information.data(), size, &size);
  ::CloseHandle(token);
  if (!read) return {};
  PSID sid = which == TokenUser ? reinterpret_cast<TOKEN_USER*>(information.data())->User.Sid
                                : reinterpret_cast<TOKEN_OWNER*>(information.data())->Owner;
  if (sid == nullptr || !::IsValidSid(sid)) return {};
  const auto* first = static_cast<const unsigned char*>(sid);
  return std::vector<unsigned char>(first, first + ::GetLengthSid(sid));
}

std::vector<unsigned char> wellKnownSid(WELL_KNOWN_SID_TYPE type) {
  std::vector<unsigned char> sid(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(sid.size());
  if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
  sid.resize(size);
  return sid;
}

const std::vector<unsigned char>& processUser() {
  static const std::vector<unsigned char> sid = tokenSid(TokenUser);
  return sid;
}

const std::vector<unsigned char>& processOwner() {
  static const std::vector<unsigned char> sid = tokenSid(TokenOwner);
  return sid;
}

bool sameSid(PSID sid, const std::vector<unsigned char>& other) {
  return !other.empty() && ::EqualSid(sid, const_cast<unsigned char*>(other.data()));
}

}  // namespace

PrivateAccess::PrivateAccess(For what) {
  user_ = processUser();
  system_ = wellKnownSid(WinLocalSystemSid);
  if (user_.empty() || system_.empty()) return;
  const DWORD inherit = what == For::Folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
  const DWORD entrySize = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
  list_.resize(sizeof(ACL) + 2 * entrySize + user_.size() + system_.size());
  const auto list = reinterpret_cast<PACL>(list_.data());
  if (!::InitializeAcl(list, static_cast<DWORD>(list_.size()), ACL_REVISION) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, inherit, FILE_ALL_ACCESS, user_.data()) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, inherit, FILE_ALL_ACCESS, system_.data()) ||
      !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor_, TRUE, list, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
  valid_ = true;
}

bool isOwnSid(PSID sid) {
  return sid != nullptr && ::IsValidSid(sid) &&
         (sameSid(sid, processUser()) || sameSid(sid, processOwner()));
}

bool isPrivateList(const ACL* list) {
  if (list == nullptr) return false;
  static const std::vector<unsigned char> trusted[] = {
      wellKnownSid(WinLocalSystemSid), wellKnownSid(WinBuiltinAdministratorsSid),
      // Stands for whoever makes something inside; only the user can.
      wellKnownSid(WinCreatorOwnerSid)};
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(const_cast<ACL*>(list), i, &entry)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE || header->AceType == SYSTEM_AUDIT_ACE_TYPE) {
      continue;
    }
    // Any other kind of entry may let someone in; only plain grants are understood.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    bool known = isOwnSid(sid);
    for (const auto& other : trusted) known = known || sameSid(sid, other);
    if (!known) return false;
  }
  return true;
}

}  // namespace pellarin::win32
