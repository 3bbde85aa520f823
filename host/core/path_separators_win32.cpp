#include "host/core/path_separators.h"

namespace pellarin {

// "D:loop.wav" lies in the current folder of drive D:.
const std::string_view kPathSeparators = "\\:";
const char kFolderSeparator = '\\';

}  // namespace pellarin
