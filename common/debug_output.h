#pragma once
// Where the debug channel's lines go: one implementation per platform (debug_output_posix.cpp,
// debug_output_win32.cpp). debug_log.cpp formats; these only carry the text over.

namespace pellarin::debug_output {

// True when a line would reach anyone, so that nothing is formatted for nobody.
bool wanted();

// One formatted piece of text, written out at once.
void write(const char* text);

}  // namespace pellarin::debug_output
