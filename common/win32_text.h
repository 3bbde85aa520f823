#pragma once
// UTF-8 text and the UTF-16 of the wide ("W") calls, for the Win32 adapters (included by
// *_win32.cpp files only). The wide calls show and find any text whatever the system's code
// page; conversion is lenient: what is not valid comes out as the replacement character.

#include <string>
#include <string_view>

namespace pellarin {

std::wstring wideText(std::string_view utf8);
std::string utf8Text(std::wstring_view wide);

// Bytes in the system's (ANSI) code page as the narrow calls read them.
std::wstring wideFromSystemCodePage(std::string_view bytes);
// The text for a narrow call: exact in the system's code page where it can be, else with the
// system's look-alikes or "?" for what has no form there.
std::string systemCodePageLookAlike(std::string_view utf8);

}  // namespace pellarin
