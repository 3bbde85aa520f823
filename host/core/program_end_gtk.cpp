#include "host/core/gtk_adapters.h"

namespace pellarin {

void ProgramEndGtk::endProgram() {
  ended_ = true;
  g_main_loop_quit(loop_);
}

}  // namespace pellarin
