#pragma once
// The one debug channel of both programs: silent for the user; on stderr when PELLARIN_DEBUG=1,
// and on Windows in the debugger output as well (debug_output_win32.cpp).

namespace pellarin {

// True when debug output is switched on for this process.
bool debugLogEnabled();

// printf-style; the text is cut to 1023 bytes.
void debugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace pellarin
