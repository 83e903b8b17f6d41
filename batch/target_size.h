// Target sizes: the preset size texts, splitting a size text, the texts of sizes given by one
// side or a percentage, and the integer conversion.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "batch/conversion_request.h"

namespace picbatch {

struct TargetSize {
    int width = 0;     // 0 for SizeForm::Height and SizeForm::Percent
    int height = 0;    // 0 for SizeForm::Width and SizeForm::Percent
    std::string text;  // the size text the numbers come from
    SizeForm form = SizeForm::Box;  // Box, Width, Height or Percent
    int percent = 0;   // SizeForm::Percent
};

// The sixteen presets in list order; index 0 is selected at start.
extern const std::array<std::string_view, 16> kPresetSizeTexts;

struct SizeTexts {
    std::string width;
    std::string height;
};

// Cuts at the first two blanks, splits at the first "*" (else the first "＊") and trims
// every character of code 32 or less from both ends of each part. UTF-8 text.
SizeTexts SplitSizeText(std::string_view text);

// Width text, " * ", height text and "  （自定义尺寸）".
std::string ComposeCustomSizeText(std::string_view width, std::string_view height);

// The size list's texts of the single-side and percentage forms: "宽 1600，高按比例",
// "高 1200，宽按比例" and "50%", the numbers in plain decimal digits.
std::string ComposeWidthOnlyText(int width);
std::string ComposeHeightOnlyText(int height);
std::string ComposePercentText(int percent);

// The form and number of a text composed by one of the three functions above (a label after
// two blanks dropped); nothing for any other text, which is split as a width and a height.
// The number is as written, not range-checked: plain decimal digits, at most nine, no leading
// zero.
std::optional<TargetSize> ParseSizeWords(std::string_view text);

// A hexadecimal digit's value (either case); -1 for another character.
int HexDigitValue(char c);

// The standard conversion: leading blanks, optional sign, decimal digits or hexadecimal
// after "$", "x", "X", "0x" or "0X", nothing after the digits, 32-bit signed range.
// Throws Error "'<text>' is not a valid integer value".
int ParseInteger(std::string_view text);

// Splits text and converts the height text, then the width text, into a TargetSize that
// keeps text. Throws the conversion's Error; no range check beyond 32 bits.
TargetSize ConvertSizeText(std::string_view text);

}  // namespace picbatch
