#pragma once
// The local clock, read through the platform (local_time_posix.cpp, local_time_win32.cpp).

namespace pellarin {

// Seconds since midnight, local time: 0 to 86399.
unsigned secondsSinceLocalMidnight();

}  // namespace pellarin
