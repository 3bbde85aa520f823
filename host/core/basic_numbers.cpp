#include "host/core/basic_numbers.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace pellarin {

namespace {

bool isLenientBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

int digitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// Reads one character at a time, optionally stepping over blanks first.
class Cursor {
 public:
  Cursor(std::string_view text, bool skipBlanks) : text_(text), skipBlanks_(skipBlanks) {}

  // The next character, or '\0' at the end.
  char peek() {
    skip();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void advance() {
    skip();
    if (pos_ < text_.size()) ++pos_;
  }
  bool atEnd() {
    skip();
    return pos_ >= text_.size();
  }
  std::size_t position() const { return pos_; }

 private:
  void skip() {
    while (skipBlanks_ && pos_ < text_.size() && isLenientBlank(text_[pos_])) ++pos_;
  }
  std::string_view text_;
  bool skipBlanks_;
  std::size_t pos_ = 0;
};

// "&H" / "&O" numbers. The cursor stands after the prefix. Nothing on overflow; with
// requireDigits a prefix without digits is no number.
std::optional<double> readRadixNumber(Cursor& cursor, int base, bool requireDigits) {
  std::uint64_t value = 0;
  int digits = 0;
  while (true) {
    const int digit = digitValue(cursor.peek(), base);
    if (digit < 0) break;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    ++digits;
    if (value > 0xFFFFFFFFu) return std::nullopt;
    cursor.advance();
  }
  if (digits == 0) return requireDigits ? std::nullopt : std::optional<double>(0.0);
  const bool sixteenBit = base == 16 ? digits <= 4 : value <= 0xFFFFu;
  if (sixteenBit) return static_cast<double>(static_cast<std::int16_t>(value));
  return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

// Decimal numbers. Collects the characters that make the number and converts them with strtod,
// so the value is the correctly rounded one. digitsSeen tells whether any mantissa digit came.
std::optional<double> readDecimalNumber(Cursor& cursor, bool& digitsSeen, bool& dangling) {
  std::string collected;
  if (cursor.peek() == '+' || cursor.peek() == '-') {
    collected += cursor.peek();
    cursor.advance();
  }
  bool pointSeen = false;
  digitsSeen = false;
  dangling = false;
  while (true) {
    const char c = cursor.peek();
    if (isDigit(c)) {
      collected += c;
      digitsSeen = true;
    } else if (c == '.' && !pointSeen) {
      collected += c;
      pointSeen = true;
    } else {
      break;
    }
    cursor.advance();
  }
  if (!digitsSeen) return 0.0;
  const char marker = cursor.peek();
  if (marker == 'E' || marker == 'e' || marker == 'D' || marker == 'd') {
    cursor.advance();
    std::string exponent = "e";
    if (cursor.peek() == '+' || cursor.peek() == '-') {
      exponent += cursor.peek();
      cursor.advance();
    }
    bool exponentDigits = false;
    while (isDigit(cursor.peek())) {
      exponent += cursor.peek();
      exponentDigits = true;
      cursor.advance();
    }
    if (exponentDigits) {
      collected += exponent;
    } else {
      dangling = true;  // "1E" or "1E+": the mantissa stands alone
    }
  }
  char* end = nullptr;
  const double value = std::strtod(collected.c_str(), &end);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> leadingNumber(std::string_view text) {
  Cursor cursor(text, true);
  if (cursor.peek() == '&') {
    cursor.advance();
    const char kind = cursor.peek();
    if (kind == 'H' || kind == 'h') {
      cursor.advance();
      return readRadixNumber(cursor, 16, false);
    }
    if (kind == 'O' || kind == 'o') {
      cursor.advance();
      return readRadixNumber(cursor, 8, false);
    }
    return 0.0;
  }
  bool digitsSeen = false;
  bool dangling = false;
  return readDecimalNumber(cursor, digitsSeen, dangling);
}

std::optional<double> wholeTextNumber(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  const std::string_view core = text.substr(first, last - first);
  if (core.empty()) return std::nullopt;

  Cursor cursor(core, false);
  std::optional<double> value;
  if (cursor.peek() == '&') {
    cursor.advance();
    const char kind = cursor.peek();
    if (kind != 'H' && kind != 'h' && kind != 'O' && kind != 'o') return std::nullopt;
    cursor.advance();
    value = readRadixNumber(cursor, kind == 'H' || kind == 'h' ? 16 : 8, true);
  } else {
    bool digitsSeen = false;
    bool dangling = false;
    value = readDecimalNumber(cursor, digitsSeen, dangling);
    if (!digitsSeen || dangling) return std::nullopt;
  }
  if (!value || !cursor.atEnd()) return std::nullopt;
  return value;
}

double roundHalfEven(double value) {
  // nearbyint follows the current rounding mode, which is round-to-nearest-even by default;
  // spelled out here so no caller depends on the floating-point environment.
  const double floorValue = std::floor(value);
  const double fraction = value - floorValue;
  if (fraction < 0.5) return floorValue;
  if (fraction > 0.5) return floorValue + 1.0;
  return std::fmod(floorValue, 2.0) == 0.0 ? floorValue : floorValue + 1.0;
}

std::optional<std::int16_t> roundToInt16(double value) {
  const double rounded = roundHalfEven(value);
  if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
        rounded <= std::numeric_limits<std::int16_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(rounded);
}

std::optional<std::int32_t> roundToInt32(double value) {
  const double rounded = roundHalfEven(value);
  if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
        rounded <= std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(rounded);
}

std::optional<std::int16_t> integerPartToInt16(double value) {
  const double floored = std::floor(value);
  if (!(floored >= std::numeric_limits<std::int16_t>::min() &&
        floored <= std::numeric_limits<std::int16_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(floored);
}

std::string numberWithSign(std::int64_t value) {
  std::string digits = std::to_string(value);
  return value < 0 ? digits : " " + digits;
}

}  // namespace pellarin
