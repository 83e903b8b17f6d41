// Target sizes: the preset size texts, splitting a size text, and the integer conversion.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace picbatch {

struct TargetSize {
    int width = 0;
    int height = 0;
    std::string text;  // the size text the two numbers come from
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

// The standard conversion: leading blanks, optional sign, decimal digits or hexadecimal
// after "$", "x", "X", "0x" or "0X", nothing after the digits, 32-bit signed range.
// Throws Error "'<text>' is not a valid integer value".
int ParseInteger(std::string_view text);

// Splits text and converts the height text, then the width text, into a TargetSize that
// keeps text. Throws the conversion's Error; no range check beyond 32 bits.
TargetSize ConvertSizeText(std::string_view text);

}  // namespace picbatch
