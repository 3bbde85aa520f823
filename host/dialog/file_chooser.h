#pragma once
// Seam: the desktop's open-file dialog.

#include <optional>
#include <string>
#include <vector>

namespace pellarin {

struct FileChooserRequest {
  std::string title;
  std::string filterName;
  // Name patterns of the filter, matched in any letter case ("*.MP3").
  std::vector<std::string> patterns;
  std::string initialFolder;
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen file's full path; nothing when the user cancelled or the dialog failed.
  virtual std::optional<std::string> chooseFile(const FileChooserRequest& request) = 0;
};

}  // namespace pellarin
