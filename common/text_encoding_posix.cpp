// Code page 932 conversion through iconv.
#include "common/text_encoding.h"

#include <iconv.h>

#include <cerrno>

#include "common/debug_log.h"

namespace pellarin {

namespace {

// Converts the whole text or nothing: a character without a form in the other encoding, or
// bytes that are not valid in the source encoding, give nothing rather than a guess.
std::optional<std::string> convert(std::string_view text, const char* to, const char* from) {
  iconv_t converter = ::iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    debugLog("text encoding: no converter from %s to %s", from, to);
    return std::nullopt;
  }
  std::string out;
  std::string input(text);
  char* in = input.data();
  std::size_t inLeft = input.size();
  char buffer[1024];
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = ::iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
    // glibc counts characters it replaced on its own as irreversible; there should be none.
    if (result != static_cast<std::size_t>(-1) && result > 0) {
      ok = false;
      break;
    }
  }
  if (ok) {
    // Flush any shift state the converter still holds.
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    if (::iconv(converter, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      ok = false;
    } else {
      out.append(buffer, sizeof buffer - outLeft);
    }
  }
  ::iconv_close(converter);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
  return convert(utf8, "CP932", "UTF-8");
}

std::optional<std::string> cp932ToUtf8(std::string_view cp932) {
  return convert(cp932, "UTF-8", "CP932");
}

// Paths and texts are bytes here, UTF-8 by convention: what is not UTF-8 stays as it is, as the
// file system keeps it.
std::optional<std::string> utf8ToSystemCodePage(std::string_view utf8) {
  return std::string(utf8);
}

std::optional<std::string> systemCodePageToUtf8(std::string_view text) {
  return std::string(text);
}

}  // namespace pellarin
