#include "protocol/TextConversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnleaf {
namespace {

// ---------------------------------------------------------------------------------------------
// Leading-number reading

struct LeadingCase {
    const char* name;
    std::string text;
    double value;
};

class LeadingNumberReading : public ::testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumberReading, ReadsTheLongestLeadingNumber) {
    EXPECT_DOUBLE_EQ(LeadingNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LeadingNumberReading,
    ::testing::Values(
        LeadingCase{"TrailingLetters", "12abc", 12}, LeadingCase{"InnerBlank", "1 2", 12},
        LeadingCase{"Letters", "abc", 0}, LeadingCase{"Empty", "", 0},
        LeadingCase{"Hex", "&H1F", 31}, LeadingCase{"HexLowerCasePrefix", "&h1f", 31},
        LeadingCase{"HexStopsAtNonDigit", "&HFFzz", 255}, LeadingCase{"HexWithoutDigits", "&H", 0},
        LeadingCase{"LongHexIsNotNegative", "&HFFFFFFFF", 4294967295.0},
        LeadingCase{"NegativeFraction", "-3.5", -3.5}, LeadingCase{"PlusSign", "+7", 7},
        LeadingCase{"BlankAfterSign", "- 3", -3}, LeadingCase{"TabsAndLineFeeds", "\t1\n2\t", 12},
        LeadingCase{"CarriageReturnIsNotABlank", "1\r2", 1},
        LeadingCase{"LeadingPoint", ".5", 0.5}, LeadingCase{"TrailingPoint", "5.", 5},
        LeadingCase{"SecondPointEnds", "1.2.3", 1.2}, LeadingCase{"PointAlone", ".", 0},
        LeadingCase{"SignAlone", "-", 0}, LeadingCase{"DoubleSign", "--1", 0},
        LeadingCase{"CommaIsNotADecimalPoint", "1,5", 1},
        LeadingCase{"Exponent", "1e3", 1000}, LeadingCase{"ExponentUpperCase", "2.5E2", 250},
        LeadingCase{"NegativeExponent", "5e-1", 0.5}, LeadingCase{"ExponentWithoutDigits", "7e", 7},
        LeadingCase{"ExponentSignWithoutDigits", "7e+", 7},
        LeadingCase{"ExponentAfterLetters", "7x1e2", 7},
        LeadingCase{"BlanksInsideExponent", "1 e 2", 100},
        LeadingCase{"LeadingZeros", "000012", 12}, LeadingCase{"NegativeZero", "-0", 0},
        LeadingCase{"TinyUnderflowsToZero", "1e-999", 0},
        LeadingCase{"ManyZerosBeforeTheDigits", "0." + std::string(400, '0') + "1e401", 1},
        LeadingCase{"MaxDouble", "1.7976931348623157e308", std::numeric_limits<double>::max()}),
    [](const auto& p) { return std::string(p.param.name); });

// Numbers beyond a double's range never become infinity or NaN: they saturate.
class LeadingNumberExtremes : public ::testing::TestWithParam<std::string> {};

TEST_P(LeadingNumberExtremes, StaysFinite) {
    const double value = LeadingNumber(GetParam());
    EXPECT_TRUE(std::isfinite(value)) << value;
    EXPECT_FALSE(RoundHalfEven(value, INT64_MIN, INT64_MAX).has_value());
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingNumberExtremes,
                         ::testing::Values("1e999", "-1e999", "1e99999999999999999999999",
                                           std::string(5000, '9'), "&H" + std::string(5000, 'F'),
                                           "9." + std::string(400, '9') + "e400",
                                           "&H8000000000000000"));

TEST(LeadingNumberSigns, OverflowKeepsItsSign) {
    EXPECT_GT(LeadingNumber("1e999"), 0);
    EXPECT_LT(LeadingNumber("-1e999"), 0);
}

TEST(LeadingNumberSigns, InfinityAndNanTextsAreNotNumbers) {
    EXPECT_EQ(LeadingNumber("inf"), 0);
    EXPECT_EQ(LeadingNumber("-infinity"), 0);
    EXPECT_EQ(LeadingNumber("nan"), 0);
    EXPECT_EQ(LeadingNumber("0x1F"), 0);
}

// ---------------------------------------------------------------------------------------------
// Rounding

struct RoundCase {
    double value;
    std::int64_t rounded;
};

class HalfEvenRounding : public ::testing::TestWithParam<RoundCase> {};

TEST_P(HalfEvenRounding, RoundsToNearestAndHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(GetParam().value, INT64_MIN, INT64_MAX), GetParam().rounded);
}

INSTANTIATE_TEST_SUITE_P(Values, HalfEvenRounding,
                         ::testing::Values(RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{0.5, 0},
                                           RoundCase{1.5, 2}, RoundCase{-0.5, 0},
                                           RoundCase{-1.5, -2}, RoundCase{-2.5, -2},
                                           RoundCase{2.4999, 2}, RoundCase{2.5001, 3},
                                           RoundCase{-2.6, -3}, RoundCase{255.4, 255},
                                           RoundCase{0.0, 0}, RoundCase{1e15 + 0.5, 1000000000000000}));

TEST(HalfEvenRoundingRange, ResultOutsideTheRangeHasNoValue) {
    EXPECT_EQ(RoundHalfEven(255.4, 0, 255), 255);
    EXPECT_FALSE(RoundHalfEven(255.5, 0, 255));
    EXPECT_EQ(RoundHalfEven(-0.5, 0, 255), 0);
    EXPECT_FALSE(RoundHalfEven(-0.6, 0, 255));
}

TEST(HalfEvenRoundingRange, NonFiniteAndHugeValuesHaveNoValue) {
    EXPECT_FALSE(RoundHalfEven(std::numeric_limits<double>::infinity(), INT64_MIN, INT64_MAX));
    EXPECT_FALSE(RoundHalfEven(-std::numeric_limits<double>::infinity(), INT64_MIN, INT64_MAX));
    EXPECT_FALSE(RoundHalfEven(std::numeric_limits<double>::quiet_NaN(), INT64_MIN, INT64_MAX));
    EXPECT_FALSE(RoundHalfEven(9223372036854775808.0, INT64_MIN, INT64_MAX));
    EXPECT_EQ(RoundHalfEven(-9223372036854775808.0, INT64_MIN, INT64_MAX), INT64_MIN);
    EXPECT_FALSE(RoundHalfEven(1e300, INT64_MIN, INT64_MAX));
}

// ---------------------------------------------------------------------------------------------
// Whole-number reading

struct WholeCase {
    const char* name;
    std::string text;
    std::int64_t min;
    std::int64_t max;
    std::optional<std::int64_t> value;
};

class WholeNumberReading : public ::testing::TestWithParam<WholeCase> {};

TEST_P(WholeNumberReading, AcceptsOneNumberInRange) {
    EXPECT_EQ(WholeNumber(GetParam().text, GetParam().min, GetParam().max), GetParam().value);
}

constexpr std::int64_t kI32Min = INT32_MIN;
constexpr std::int64_t kI32Max = INT32_MAX;

INSTANTIATE_TEST_SUITE_P(
    Texts, WholeNumberReading,
    ::testing::Values(
        WholeCase{"Plain", "42", 0, 255, 42}, WholeCase{"BlanksAround", " \t42 \t", 0, 255, 42},
        WholeCase{"Negative", "-7", kI32Min, kI32Max, -7}, WholeCase{"PlusSign", "+7", 0, 255, 7},
        WholeCase{"HalfRoundsToEven", "2.5", 0, 255, 2}, WholeCase{"OtherHalf", "3.5", 0, 255, 4},
        WholeCase{"Exponent", "1e2", 0, 255, 100}, WholeCase{"Hex", "&H1F", 0, 255, 31},
        WholeCase{"HexLowerCase", "&hff", 0, 255, 255},
        WholeCase{"HexIsNonNegative", "&HFFFFFFFF", 0, 4294967295LL, 4294967295LL},
        WholeCase{"HexBeyondSignedLong", "&HFFFFFFFF", kI32Min, kI32Max, std::nullopt},
        WholeCase{"HexOverlong", "&H" + std::string(40, 'F'), INT64_MIN, INT64_MAX, std::nullopt},
        WholeCase{"HexBeyondInt64", "&H8000000000000000", INT64_MIN, INT64_MAX, std::nullopt},
        WholeCase{"HexWithoutDigits", "&H", 0, 255, std::nullopt},
        WholeCase{"HexWithJunk", "&H1G", 0, 255, std::nullopt},
        WholeCase{"SignedHex", "-&H1", kI32Min, kI32Max, std::nullopt},
        WholeCase{"Empty", "", 0, 255, std::nullopt}, WholeCase{"Blank", "   ", 0, 255, std::nullopt},
        WholeCase{"Letters", "abc", 0, 255, std::nullopt},
        WholeCase{"TrailingLetters", "12abc", 0, 255, std::nullopt},
        WholeCase{"InnerBlank", "1 2", 0, 255, std::nullopt},
        WholeCase{"ThousandsSeparator", "1,000", 0, 5000, std::nullopt},
        WholeCase{"CommaDecimal", "1,5", 0, 255, std::nullopt},
        WholeCase{"ExponentWithoutDigits", "1e", 0, 255, std::nullopt},
        WholeCase{"PointAlone", ".", 0, 255, std::nullopt},
        WholeCase{"SignAlone", "-", 0, 255, std::nullopt},
        WholeCase{"AboveRange", "256", 0, 255, std::nullopt},
        WholeCase{"BelowRange", "-1", 0, 65535, std::nullopt},
        WholeCase{"RoundsOutOfRange", "255.5", 0, 255, std::nullopt},
        WholeCase{"RoundsIntoRange", "-0.5", 0, 255, 0},
        WholeCase{"Int32Limits", "-2147483648", kI32Min, kI32Max, kI32Min},
        WholeCase{"Int32Overflow", "2147483648", kI32Min, kI32Max, std::nullopt},
        WholeCase{"Int64Exact", "9007199254740993", INT64_MIN, INT64_MAX, 9007199254740993LL},
        WholeCase{"Int64Min", "-9223372036854775808", INT64_MIN, INT64_MAX, INT64_MIN},
        WholeCase{"Int64Overflow", "9223372036854775808", INT64_MIN, INT64_MAX, std::nullopt},
        WholeCase{"OverlongDigits", std::string(5000, '9'), INT64_MIN, INT64_MAX, std::nullopt},
        WholeCase{"HugeExponent", "1e99999", INT64_MIN, INT64_MAX, std::nullopt},
        WholeCase{"TinyExponent", "1e-99999", 0, 255, 0},
        WholeCase{"Infinity", "inf", INT64_MIN, INT64_MAX, std::nullopt},
        WholeCase{"Nan", "nan", INT64_MIN, INT64_MAX, std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Storing into a byte

struct ByteCase {
    const char* name;
    std::string text;
    std::optional<std::uint8_t> value;
};

class ByteTarget : public ::testing::TestWithParam<ByteCase> {};

TEST_P(ByteTarget, StoresTheRoundedLeadingNumberOrFails) {
    EXPECT_EQ(ConvertTextToByte(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ByteTarget,
    ::testing::Values(ByteCase{"Seven", "7", 7}, ByteCase{"Empty", "", 0},
                      ByteCase{"Letters", "abc", 0}, ByteCase{"HalfDown", "2.5", 2},
                      ByteCase{"HalfUp", "3.5", 4}, ByteCase{"JustBelowLimit", "255.4", 255},
                      ByteCase{"RoundsTo256", "255.5", std::nullopt},
                      ByteCase{"TooBig", "300", std::nullopt},
                      ByteCase{"Negative", "-1", std::nullopt},
                      ByteCase{"SmallNegativeRoundsToZero", "-0.4", 0},
                      ByteCase{"Hex", "&HFF", 255}, ByteCase{"HexTooBig", "&H100", std::nullopt},
                      ByteCase{"Huge", "1e999", std::nullopt},
                      ByteCase{"LeadingPart", "12abc", 12}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// ASCII helpers: bytes of an 8-bit code page pass untouched.

TEST(AsciiHelpers, UpperCaseChangesOnlyAsciiLetters) {
    EXPECT_EQ(ToUpperAscii("abcXYZ09-_"), "ABCXYZ09-_");
    EXPECT_EQ(ToUpperAscii("\xE4\xFF\xB0"), "\xE4\xFF\xB0");
}

TEST(AsciiHelpers, EqualsIgnoreCaseComparesAsciiLettersOnly) {
    EXPECT_TRUE(EqualsIgnoreCase("BootFile", "bootfile"));
    EXPECT_TRUE(EqualsIgnoreCase("", ""));
    EXPECT_FALSE(EqualsIgnoreCase("bf", "bfx"));
    EXPECT_FALSE(EqualsIgnoreCase("\xE4", "\xC4"));  // Latin-1 umlauts are not folded
    EXPECT_FALSE(EqualsIgnoreCase("@", "`"));
}

TEST(AsciiHelpers, TrimSpacesRemovesOnlyTheSpaceCharacter) {
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
    EXPECT_EQ(TrimSpaces("    "), "");
    EXPECT_EQ(TrimSpaces(""), "");
}

TEST(AsciiHelpers, TrimBlanksRemovesSpacesAndTabs) {
    EXPECT_EQ(TrimBlanks(" \ta b\t "), "a b");
    EXPECT_EQ(TrimBlanks("\r\na\r\n"), "\r\na\r\n");
    EXPECT_EQ(TrimBlanks(" \t "), "");
}

}  // namespace
}  // namespace tarnleaf
