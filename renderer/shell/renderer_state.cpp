#include "renderer/shell/renderer_state.h"

namespace pellarin {

RendererState rendererState;

}  // namespace pellarin
