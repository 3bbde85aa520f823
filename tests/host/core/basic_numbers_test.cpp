#include "host/core/basic_numbers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pellarin {
namespace {

using Maybe = std::optional<double>;

// Blanks, tabs and line feeds are skipped anywhere; reading stops at the first character that
// cannot continue the number; up to four hex digits are 16-bit, five to eight 32-bit; octal up to
// &O177777 is 16-bit, larger 32-bit.
TEST(BasicNumbers, LeadingNumberReadsTheLenientWay) {
  const std::pair<const char*, Maybe> cases[] = {
      {"12 34", 1234}, {" \t1\n2 3", 123}, {"- 5", -5},   {"1 . 5", 1.5}, {"1e 2", 100},
      {"1.5.3", 1.5},  {"12abc", 12},      {"+-5", 0},    {"7-3", 7},     {"1E+", 1},
      {"", 0},         {"abc", 0},         {".", 0},      {"&X12", 0},    {"&H", 0},
      {"2.5d2", 250},  {"5e-1", 0.5},      {"1E-400", 0}, {"1E400", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(leadingNumber(c.first), c.second) << c.first;
  const std::pair<const char*, Maybe> radix[] = {
      {"&HFFFF", -1},      {"&h7fff", 32767},  {"&H8000", -32768},      {"&H10000", 65536},
      {"&H0FFFF", 65535},  {"&HFFFFFFFF", -1}, {"&H4A0000Z", 0x4A0000}, {"&H F F", 255},
      {"&O17", 15},        {"&o177777", -1},   {"&O200000", 65536},     {"&O78", 7},
      {"&H123456789", {}},
  };
  for (const auto& c : radix) EXPECT_EQ(leadingNumber(c.first), c.second) << c.first;
}

TEST(BasicNumbers, WholeTextNumberRefusesLeftovers) {
  const std::pair<const char*, Maybe> cases[] = {
      {" 2", 2}, {"2.9", 2.9},  {"-0.5 ", -0.5},   {"+.5", 0.5},
      {"5.", 5}, {"1D-1", 0.1}, {"\t&HFFFF ", -1}, {"&O10", 8},
  };
  for (const auto& c : cases) EXPECT_EQ(wholeTextNumber(c.first), c.second) << c.first;
  for (const char* text : {"", "   ", "abc", "2x", "1.5.3", "1 2", "- 5", "1E", ".", "&HG", "2-",
                           "++2", "&H1 2", "1E999"}) {
    EXPECT_EQ(wholeTextNumber(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(BasicNumbers, RoundingAndRangeChecks) {
  for (const auto& [value, rounded] : std::initializer_list<std::pair<double, double>>{
           {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3}}) {
    EXPECT_EQ(roundHalfEven(value), rounded) << value;
  }
  EXPECT_EQ(roundToInt16(32767.5), std::nullopt);
  EXPECT_EQ(roundToInt16(-32768.5), -32768);
  EXPECT_EQ(roundToInt16(std::nan("")), std::nullopt);
  EXPECT_EQ(roundToInt32(2147483647.5), std::nullopt);
  // The integer part goes toward minus infinity.
  EXPECT_EQ(integerPartToInt16(2.9), 2);
  EXPECT_EQ(integerPartToInt16(-0.5), -1);
  EXPECT_EQ(integerPartToInt16(32768.0), std::nullopt);
  EXPECT_EQ(integerPartToInt16(-32768.5), std::nullopt);
  EXPECT_EQ(numberWithSign(1024), " 1024");
  EXPECT_EQ(numberWithSign(-32768), "-32768");
}

}  // namespace
}  // namespace pellarin
