#include "common/work_folder.h"

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/system_names.h"
#include "common/work_folder_platform.h"

namespace pellarin {

namespace {

using work_folder_platform::FolderFacts;
using work_folder_platform::FolderKind;

// Why what stands in the work folder's place may not be used; nothing when it may (a missing
// folder included). A link could lead into anyone's folder, and another user's folder is theirs
// to fill with links and files that we would then read or overwrite.
const char* refusal(const FolderFacts& facts) {
  switch (facts.kind) {
    case FolderKind::Missing:
      return nullptr;
    case FolderKind::Folder:
      return facts.ownedByUser ? nullptr : "belongs to another user";
    case FolderKind::Link:
      return "is a link";
    case FolderKind::Other:
      return "is not a folder";
    case FolderKind::Unknown:
      break;
  }
  return "cannot be looked at";
}

}  // namespace

std::filesystem::path workFolder() {
  return work_folder_platform::parentOfWorkFolder() / kWorkFolderName;
}

std::optional<std::filesystem::path> openWorkFolder(WorkFolderUse use) {
  const std::filesystem::path folder = workFolder();
  FolderFacts facts = work_folder_platform::inspectFolder(folder);
  if (facts.kind == FolderKind::Missing) {
    if (use == WorkFolderUse::Existing) return std::nullopt;
    if (!work_folder_platform::createPrivateFolder(folder)) return std::nullopt;
    facts = work_folder_platform::inspectFolder(folder);
  }
  if (const char* reason = refusal(facts)) {
    debugLog("work folder: %s %s; nothing is read or written there\n", pathText(folder).c_str(),
             reason);
    return std::nullopt;
  }
  if (facts.kind != FolderKind::Folder) return std::nullopt;  // gone again meanwhile
  // A folder of ours that others may look into is closed; if that fails it is still ours, and
  // the files in it are private anyway.
  if (!facts.privateToOwner) work_folder_platform::makePrivate(folder);
  return folder;
}

bool createWorkFolder() {
  return openWorkFolder(WorkFolderUse::Create).has_value();
}

std::filesystem::path workFilePath(std::string_view name) {
  const std::filesystem::path folder = workFolder();
  if (refusal(work_folder_platform::inspectFolder(folder)) != nullptr) return {};
  return folder / name;
}

std::filesystem::path settingsFilePath() {
  return workFilePath(kSettingsFileName);
}

std::filesystem::path pictureFilePath() {
  return workFilePath(kPictureFileName);
}

std::filesystem::path programFolder() {
  return work_folder_platform::executableFolder();
}

}  // namespace pellarin
