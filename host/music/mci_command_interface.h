#pragma once
// Seam: the platform's multimedia command-string interface.

#include <cstdint>

namespace pellarin {

class MciCommandInterface {
 public:
  virtual ~MciCommandInterface() = default;

  // Carries out one command. The reply goes into reply (at most replyLength characters including
  // the closing NUL); reply may be null when replyLength is 0. Returns 0 or an error code.
  virtual std::int32_t sendString(const char* command, char* reply, std::uint32_t replyLength) = 0;

  // The readable text of an error code, NUL-terminated in text (at most length characters).
  // False when there is none.
  virtual bool errorString(std::int32_t code, char* text, std::uint32_t length) = 0;
};

}  // namespace pellarin
