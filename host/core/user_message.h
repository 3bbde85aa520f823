#pragma once
// A modal message to the user.

#include <string_view>

namespace pellarin {

class UserMessage {
 public:
  virtual ~UserMessage() = default;
  // Shows text with an OK button only and the program's title as caption; returns once the
  // user has closed it.
  virtual void showMessage(std::string_view text) = 0;
};

}  // namespace pellarin
