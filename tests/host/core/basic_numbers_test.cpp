#include "host/core/basic_numbers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pellarin {
namespace {

TEST(LeadingNumber, SkipsBlanksTabsAndLineFeedsAnywhere) {
  EXPECT_EQ(leadingNumber("12 34"), 1234.0);
  EXPECT_EQ(leadingNumber(" \t1\n2 3"), 123.0);
  EXPECT_EQ(leadingNumber("- 5"), -5.0);
  EXPECT_EQ(leadingNumber("1 . 5"), 1.5);
}

TEST(LeadingNumber, StopsAtTheFirstCharacterThatCannotContinue) {
  EXPECT_EQ(leadingNumber("1234 x"), 1234.0);
  EXPECT_EQ(leadingNumber("1.5.3"), 1.5);
  EXPECT_EQ(leadingNumber("12abc"), 12.0);
  EXPECT_EQ(leadingNumber("+-5"), 0.0);
  EXPECT_EQ(leadingNumber("7-3"), 7.0);
}

TEST(LeadingNumber, NoNumberGivesZero) {
  EXPECT_EQ(leadingNumber(""), 0.0);
  EXPECT_EQ(leadingNumber("abc"), 0.0);
  EXPECT_EQ(leadingNumber("."), 0.0);
  EXPECT_EQ(leadingNumber("-"), 0.0);
  EXPECT_EQ(leadingNumber("&"), 0.0);
  EXPECT_EQ(leadingNumber("&X12"), 0.0);
}

TEST(LeadingNumber, ReadsExponentsWithEAndD) {
  EXPECT_EQ(leadingNumber("1E3"), 1000.0);
  EXPECT_EQ(leadingNumber("2.5d2"), 250.0);
  EXPECT_EQ(leadingNumber("5e-1"), 0.5);
  EXPECT_EQ(leadingNumber("1E"), 1.0);
  EXPECT_EQ(leadingNumber("1E+"), 1.0);
  EXPECT_EQ(leadingNumber("1e 2"), 100.0);
}

TEST(LeadingNumber, HexadecimalWidthFollowsTheDigitCount) {
  EXPECT_EQ(leadingNumber("&HFFFF"), -1.0);
  EXPECT_EQ(leadingNumber("&h7fff"), 32767.0);
  EXPECT_EQ(leadingNumber("&H8000"), -32768.0);
  EXPECT_EQ(leadingNumber("&H10000"), 65536.0);
  EXPECT_EQ(leadingNumber("&H0FFFF"), 65535.0);
  EXPECT_EQ(leadingNumber("&HFFFFFFFF"), -1.0);
  EXPECT_EQ(leadingNumber("&H4A0000Z"), 0x4A0000);
  EXPECT_EQ(leadingNumber("&H"), 0.0);
  EXPECT_EQ(leadingNumber("&H F F"), 255.0);
  EXPECT_EQ(leadingNumber("&H123456789"), std::nullopt);
}

TEST(LeadingNumber, OctalWidthFollowsTheValue) {
  EXPECT_EQ(leadingNumber("&O17"), 15.0);
  EXPECT_EQ(leadingNumber("&o177777"), -1.0);
  EXPECT_EQ(leadingNumber("&O200000"), 65536.0);
  EXPECT_EQ(leadingNumber("&O78"), 7.0);
}

TEST(LeadingNumber, OverflowIsNoNumber) {
  EXPECT_EQ(leadingNumber("1E400"), std::nullopt);
  EXPECT_EQ(leadingNumber("1E-400"), 0.0);
}

TEST(WholeTextNumber, AcceptsBlanksAroundSignPointAndExponent) {
  EXPECT_EQ(wholeTextNumber(" 2"), 2.0);
  EXPECT_EQ(wholeTextNumber("2.9"), 2.9);
  EXPECT_EQ(wholeTextNumber("-0.5 "), -0.5);
  EXPECT_EQ(wholeTextNumber("+.5"), 0.5);
  EXPECT_EQ(wholeTextNumber("5."), 5.0);
  EXPECT_EQ(wholeTextNumber("1.5E1"), 15.0);
  EXPECT_EQ(wholeTextNumber("1D-1"), 0.1);
  EXPECT_EQ(wholeTextNumber("\t&HFFFF "), -1.0);
  EXPECT_EQ(wholeTextNumber("&O10"), 8.0);
}

TEST(WholeTextNumber, FailsWhenAnythingIsLeftOver) {
  for (const char* text : {"", "   ", "abc", "2x", "1.5.3", "1 2", "- 5", "1E", "1E+", ".", "-",
                           "&H", "&HG", "&X1", "2-", "++2", "&H1 2"}) {
    EXPECT_EQ(wholeTextNumber(text), std::nullopt) << '"' << text << '"';
  }
  EXPECT_EQ(wholeTextNumber("1E999"), std::nullopt);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfEven(0.5), 0.0);
  EXPECT_EQ(roundHalfEven(1.5), 2.0);
  EXPECT_EQ(roundHalfEven(2.5), 2.0);
  EXPECT_EQ(roundHalfEven(-0.5), 0.0);
  EXPECT_EQ(roundHalfEven(-1.5), -2.0);
  EXPECT_EQ(roundHalfEven(-2.5), -2.0);
  EXPECT_EQ(roundHalfEven(2.4999), 2.0);
  EXPECT_EQ(roundHalfEven(2.5001), 3.0);
  EXPECT_EQ(roundHalfEven(-2.6), -3.0);
}

TEST(Rounding, SixteenAndThirtyTwoBitRangesAreCheckedAfterRounding) {
  EXPECT_EQ(roundToInt16(32767.4), 32767);
  EXPECT_EQ(roundToInt16(32767.5), std::nullopt);
  EXPECT_EQ(roundToInt16(-32768.5), -32768);
  EXPECT_EQ(roundToInt16(-32769.0), std::nullopt);
  EXPECT_EQ(roundToInt16(std::nan("")), std::nullopt);
  EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(roundToInt32(2147483647.5), std::nullopt);
  EXPECT_EQ(roundToInt32(-2147483648.0), -2147483647 - 1);
}

TEST(IntegerPart, RoundsTowardMinusInfinity) {
  EXPECT_EQ(integerPartToInt16(2.9), 2);
  EXPECT_EQ(integerPartToInt16(-0.5), -1);
  EXPECT_EQ(integerPartToInt16(-2.0), -2);
  EXPECT_EQ(integerPartToInt16(32767.9), 32767);
  EXPECT_EQ(integerPartToInt16(32768.0), std::nullopt);
  EXPECT_EQ(integerPartToInt16(-32768.5), std::nullopt);
}

TEST(NumberWithSign, ReservesAPositionForTheSign) {
  EXPECT_EQ(numberWithSign(1024), " 1024");
  EXPECT_EQ(numberWithSign(0), " 0");
  EXPECT_EQ(numberWithSign(-1), "-1");
  EXPECT_EQ(numberWithSign(-32768), "-32768");
}

}  // namespace
}  // namespace pellarin
