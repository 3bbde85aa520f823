#pragma once
// Ends the host program.

namespace pellarin {

class ProgramEnd {
 public:
  virtual ~ProgramEnd() = default;
  // Ends the program as soon as the current event routine returns; no further event runs.
  virtual void endProgram() = 0;
};

}  // namespace pellarin
