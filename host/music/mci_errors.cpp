#include "host/music/mci_errors.h"

namespace pellarin {

const char* mciErrorText(std::int32_t code) {
  switch (code) {
    case kMciErrorUnrecognizedCommand:
      return "The command or one of its words is not known.";
    case kMciErrorInvalidDeviceName:
      return "No device of that name or alias is open.";
    case kMciErrorCannotLoadDriver:
      return "The device cannot be used on this system.";
    case kMciErrorMissingParameter:
      return "The command lacks a value it needs.";
    case kMciErrorFileNotFound:
      return "The file does not exist.";
    case kMciErrorDeviceNotReady:
      return "The device is not ready.";
    case kMciErrorInternal:
      return "The device could not handle the file.";
    case kMciErrorOutOfRange:
      return "A value is out of range.";
    case kMciErrorDuplicateAlias:
      return "That alias is already in use.";
    default:
      return nullptr;
  }
}

}  // namespace pellarin
