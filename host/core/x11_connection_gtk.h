#pragma once
// X11Connection over the default GDK display. gtk_init must have succeeded on an X display.

#include <memory>

#include "host/core/x11_connection.h"

namespace pellarin {

// Nothing when GDK's default display is not an X display.
std::unique_ptr<X11Connection> connectThroughGdk();

}  // namespace pellarin
