// Size texts: the presets, splitting with either asterisk and a label, composing custom
// texts, and the integer conversion's accepted forms, failures and range.
#include "batch/target_size.h"

#include <gtest/gtest.h>

#include "batch/size_check.h"

#include <optional>

#include "imaging/error.h"

namespace picbatch {

TEST(PresetSizeTexts, AllSplitIntoPositiveSizesAndTheFirstHasItsLabel)
{
    EXPECT_EQ(kPresetSizeTexts.front(), "778 * 502  （杂志图片）");
    EXPECT_EQ(kPresetSizeTexts.back(), "100 * 80");
    for (std::string_view text : kPresetSizeTexts) {
        const TargetSize size = ConvertSizeText(text);
        EXPECT_GT(size.width, 0) << text;
        EXPECT_GT(size.height, 0) << text;
        EXPECT_EQ(size.text, text);
    }
    const TargetSize first = ConvertSizeText(kPresetSizeTexts[0]);
    EXPECT_EQ(first.width, 778);
    EXPECT_EQ(first.height, 502);
}

struct SplitCase {
    const char* name;
    std::string_view text;
    std::string_view width;
    std::string_view height;
};

// Test listings show the case's text instead of its bytes.
void PrintTo(const SplitCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class SplitSizeTextCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitSizeTextCases, GivesWidthAndHeightTexts)
{
    const SizeTexts parts = SplitSizeText(GetParam().text);
    EXPECT_EQ(parts.width, GetParam().width);
    EXPECT_EQ(parts.height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitSizeTextCases,
    ::testing::Values(
        SplitCase{"Plain", "1600 * 1200", "1600", "1200"},
        SplitCase{"Small", "100 * 80", "100", "80"},
        SplitCase{"LabelDropped", "778 * 502  （杂志图片）", "778", "502"},
        SplitCase{"CustomLabelDropped", "1024 * 768  （自定义尺寸）", "1024", "768"},
        // The whole three-byte character is the separator, not just its first byte.
        SplitCase{"FullWidthAsterisk", "640＊480", "640", "480"},
        SplitCase{"FullWidthWithBlanks", "640 ＊ 480  （自定义尺寸）", "640", "480"},
        SplitCase{"AsciiAsteriskWinsOverFullWidth", "1＊2 * 3", "1＊2", "3"},
        SplitCase{"ControlsTrimmed", "\t 12\x01*\n34 \x1f", "12", "34"},
        SplitCase{"NoSeparator", "800 x 600", "", "800 x 600"},
        SplitCase{"Empty", "", "", ""},
        SplitCase{"LabelBeforeSeparator", "800  * 600", "", "800"},
        SplitCase{"InnerBlanksKept", "1 2 * 3", "1 2", "3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComposeCustomSizeText, IsSplitBackIntoItsParts)
{
    const std::string text = ComposeCustomSizeText("1024", "768");
    EXPECT_EQ(text, "1024 * 768  （自定义尺寸）");
    const SizeTexts parts = SplitSizeText(text);
    EXPECT_EQ(parts.width, "1024");
    EXPECT_EQ(parts.height, "768");
}

struct ConversionCase {
    const char* name;
    std::string_view text;
    std::optional<int> value;  // nullopt: the conversion fails
};

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ParseIntegerCases : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ParseIntegerCases, ConvertsOrFailsWithTheText)
{
    const ConversionCase& c = GetParam();
    if (c.value) {
        EXPECT_EQ(ParseInteger(c.text), *c.value);
        return;
    }
    try {
        ParseInteger(c.text);
        ADD_FAILURE() << "no error for '" << c.text << "'";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "'" + std::string(c.text) + "' is not a valid integer value");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseIntegerCases,
    ::testing::Values(
        ConversionCase{"Decimal", "778", 778},
        ConversionCase{"LeadingZeros", "007", 7},
        ConversionCase{"Zero", "0", 0},
        ConversionCase{"LeadingBlanks", "   42", 42},
        ConversionCase{"Plus", "+5", 5},
        ConversionCase{"Minus", "-12", -12},
        ConversionCase{"Dollar", "$1F", 31},
        ConversionCase{"SmallX", "x10", 16},
        ConversionCase{"CapitalX", "Xff", 255},
        ConversionCase{"ZeroX", "0x7fffffff", 2147483647},
        ConversionCase{"ZeroCapitalX", "0XaB", 171},
        ConversionCase{"NegativeHex", "-$10", -16},
        ConversionCase{"Maximum", "2147483647", 2147483647},
        ConversionCase{"Minimum", "-2147483648", -2147483647 - 1},
        ConversionCase{"HexMinimum", "-$80000000", -2147483647 - 1},
        ConversionCase{"ManyLeadingZeros", "00000000000000000000001", 1},
        ConversionCase{"Empty", "", std::nullopt},
        ConversionCase{"OnlyBlanks", "   ", std::nullopt},
        ConversionCase{"TrailingBlank", "12 ", std::nullopt},
        ConversionCase{"ThousandsSeparator", "1,200", std::nullopt},
        ConversionCase{"BlankAfterSign", "- 5", std::nullopt},
        ConversionCase{"OnlySign", "-", std::nullopt},
        ConversionCase{"TwoSigns", "+-5", std::nullopt},
        ConversionCase{"OnlyDollar", "$", std::nullopt},
        ConversionCase{"OnlyZeroX", "0x", std::nullopt},
        ConversionCase{"HexDigitInDecimal", "12a", std::nullopt},
        ConversionCase{"NotHex", "$1G", std::nullopt},
        ConversionCase{"Fraction", "1.5", std::nullopt},
        ConversionCase{"LeadingTab", "\t5", std::nullopt},
        ConversionCase{"FullWidthDigit", "１２", std::nullopt},
        ConversionCase{"AboveMaximum", "2147483648", std::nullopt},
        ConversionCase{"BelowMinimum", "-2147483649", std::nullopt},
        ConversionCase{"HexAboveMaximum", "$80000000", std::nullopt},
        ConversionCase{"HexAllOnes", "$FFFFFFFF", std::nullopt},
        ConversionCase{"HugeDecimal", "99999999999999999999999999", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertSizeText, ReportsTheHeightBeforeTheWidth)
{
    try {
        ConvertSizeText("a * b");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "'b' is not a valid integer value");
    }
    try {
        ConvertSizeText("600");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "'' is not a valid integer value");
    }
}

// The size list's texts of one side or a percentage: composed, recognised and checked as a
// run checks them when it starts; any other text is split as width and height, as ever.
struct SizeWordsCase {
    const char* name;
    std::string_view text;
    SizeForm form;
    int width;
    int height;
    int percent;
    const char* refusal;  // nullptr: accepted
};

void PrintTo(const SizeWordsCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class SizeWordsCases : public ::testing::TestWithParam<SizeWordsCase> {};

TEST_P(SizeWordsCases, AreCheckedAsTheRunChecksThem)
{
    const SizeWordsCase& c = GetParam();
    try {
        const TargetSize size = CheckedSizeText(c.text);
        ASSERT_EQ(c.refusal, nullptr) << "accepted";
        EXPECT_EQ(size.form, c.form);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
        EXPECT_EQ(size.percent, c.percent);
    } catch (const Error& error) {
        ASSERT_NE(c.refusal, nullptr) << error.what();
        EXPECT_STREQ(error.what(), c.refusal);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeWordsCases,
    ::testing::Values(
        SizeWordsCase{"WidthOnly", "宽 1600，高按比例", SizeForm::Width, 1600, 0, 0, nullptr},
        SizeWordsCase{"HeightOnly", "高 1200，宽按比例", SizeForm::Height, 0, 1200, 0, nullptr},
        SizeWordsCase{"Percent", "50%", SizeForm::Percent, 0, 0, 50, nullptr},
        SizeWordsCase{"PercentLimits", "1000%", SizeForm::Percent, 0, 0, 1000, nullptr},
        SizeWordsCase{"LongestSide", "宽 65535，高按比例", SizeForm::Width, 65535, 0, 0, nullptr},
        SizeWordsCase{"LabelDropped", "高 7，宽按比例  （自定义尺寸）", SizeForm::Height, 0, 7, 0, nullptr},
        SizeWordsCase{"WidthZero", "宽 0，高按比例", SizeForm::Width, 0, 0, 0, kWidthBelowOne},
        SizeWordsCase{"ZeroPercent", "0%", SizeForm::Percent, 0, 0, 0, kPercentBelowOne},
        SizeWordsCase{"WidthAboveLimit", "宽 65536，高按比例", SizeForm::Width, 0, 0, 0, kWidthAboveLimit},
        SizeWordsCase{"HeightAboveLimit", "高 99999，宽按比例", SizeForm::Height, 0, 0, 0, kHeightAboveLimit},
        SizeWordsCase{"PercentAboveLimit", "1001%", SizeForm::Percent, 0, 0, 0, kPercentAboveLimit},
        // Not the list's own texts: split as width and height, and refused as before.
        SizeWordsCase{"LeadingZeroPercent", "050%", SizeForm::Box, 0, 0, 0, "'050%' is not a valid integer value"},
        SizeWordsCase{"SignedWidth", "宽 +5，高按比例", SizeForm::Box, 0, 0, 0,
                      "'宽 +5，高按比例' is not a valid integer value"},
        SizeWordsCase{"Box", "778 * 502  （杂志图片）", SizeForm::Box, 778, 502, 0, nullptr},
        SizeWordsCase{"BoxZero", "0 * 3", SizeForm::Box, 0, 0, 0, "图片的宽度和高度至少为 1 像素"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace picbatch
