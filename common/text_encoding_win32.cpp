// Code page 932 and ANSI code page conversion through the system's own tables
// (MultiByteToWideChar and WideCharToMultiByte), by way of UTF-16; and UTF-16 itself for the
// wide calls (win32_text.h).
#include <windows.h>

#include <climits>

#include "common/text_encoding.h"
#include "common/win32_text.h"

namespace pellarin {

namespace {

constexpr UINT kCodePage932 = 932;

// The whole text in UTF-16, or nothing when a byte sequence is not valid in codePage.
std::optional<std::wstring> toWide(std::string_view text, UINT codePage) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(text.size());
  const int needed =
      ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                            needed) != needed) {
    return std::nullopt;
  }
  return wide;
}

// The whole text in codePage, or nothing when a character has no exact form there: the system
// would otherwise put a look-alike ("best fit") or "?" in its place.
std::optional<std::string> fromWide(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return std::string();
  if (wide.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(wide.size());
  // UTF-8 takes neither a default character nor the best-fit flag; it refuses half pairs.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* defaultFlag = utf8 ? nullptr : &usedDefault;
  const int needed =
      ::WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, defaultFlag);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string text(static_cast<std::size_t>(needed), '\0');
  if (::WideCharToMultiByte(codePage, flags, wide.data(), length, text.data(), needed, nullptr,
                            defaultFlag) != needed ||
      usedDefault) {
    return std::nullopt;
  }
  // A character that only maps one way would come back as another one.
  if (toWide(text, codePage) != wide) return std::nullopt;
  return text;
}

// Converts the whole text or nothing, never a guess.
std::optional<std::string> convert(std::string_view text, UINT from, UINT to) {
  const std::optional<std::wstring> wide = toWide(text, from);
  if (!wide) return std::nullopt;
  return fromWide(*wide, to);
}

}  // namespace

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
  return convert(utf8, CP_UTF8, kCodePage932);
}

std::optional<std::string> cp932ToUtf8(std::string_view cp932) {
  return convert(cp932, kCodePage932, CP_UTF8);
}

std::optional<std::string> utf8ToSystemCodePage(std::string_view utf8) {
  return convert(utf8, CP_UTF8, CP_ACP);
}

std::optional<std::string> systemCodePageToUtf8(std::string_view text) {
  return convert(text, CP_ACP, CP_UTF8);
}

namespace {

// Lenient: what has no form comes out as the code page's replacement.
std::wstring lenientWide(std::string_view text, UINT codePage) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), needed);
  return wide;
}

std::string lenientNarrow(std::wstring_view wide, UINT codePage) {
  if (wide.empty() || wide.size() > INT_MAX) return std::string();
  const int length = static_cast<int>(wide.size());
  const int needed =
      ::WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string text(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), length, text.data(), needed, nullptr, nullptr);
  return text;
}

}  // namespace

std::wstring wideText(std::string_view utf8) {
  return lenientWide(utf8, CP_UTF8);
}

std::string utf8Text(std::wstring_view wide) {
  return lenientNarrow(wide, CP_UTF8);
}

std::wstring wideFromSystemCodePage(std::string_view bytes) {
  return lenientWide(bytes, CP_ACP);
}

std::string systemCodePageLookAlike(std::string_view utf8) {
  if (std::optional<std::string> exact = utf8ToSystemCodePage(utf8)) return *exact;
  return lenientNarrow(wideText(utf8), CP_ACP);
}

}  // namespace pellarin
