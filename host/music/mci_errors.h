#pragma once
// Error codes of the multimedia command-string language (error base 256) and their texts.

#include <cstdint>

namespace pellarin {

inline constexpr std::int32_t kMciErrorUnrecognizedCommand = 261;
inline constexpr std::int32_t kMciErrorInvalidDeviceName = 263;
inline constexpr std::int32_t kMciErrorCannotLoadDriver = 266;
inline constexpr std::int32_t kMciErrorMissingParameter = 273;
inline constexpr std::int32_t kMciErrorFileNotFound = 275;
inline constexpr std::int32_t kMciErrorDeviceNotReady = 276;
inline constexpr std::int32_t kMciErrorInternal = 277;
inline constexpr std::int32_t kMciErrorOutOfRange = 282;
inline constexpr std::int32_t kMciErrorDuplicateAlias = 289;

// The readable text of one of the codes above; null for any other code.
const char* mciErrorText(std::int32_t code);

}  // namespace pellarin
