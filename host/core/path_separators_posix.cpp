#include "host/core/path_separators.h"

namespace pellarin {

const std::string_view kPathSeparators = "/";
const char kFolderSeparator = '/';

}  // namespace pellarin
