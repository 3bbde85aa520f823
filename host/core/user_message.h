#pragma once
// Messages to the user.

#include <string_view>

namespace pellarin {

class UserMessage {
 public:
  virtual ~UserMessage() = default;
  // Shows text with an OK button only and the program's title as caption; returns once the
  // user has closed it.
  virtual void showMessage(std::string_view text) = 0;
  // Writes text, one line, to the program's error output: where a program that draws into
  // another program's window reports (a screen-saver daemon may show it on its screen). Returns
  // at once.
  virtual void printMessage(std::string_view text) = 0;
};

}  // namespace pellarin
