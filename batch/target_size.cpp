// Target sizes: the preset size texts, splitting a size text into width and height texts,
// and the standard text-to-integer conversion the run applies to them.
#include "batch/target_size.h"

#include <cstdint>

#include "imaging/error.h"

namespace picbatch {

const std::array<std::string_view, 16> kPresetSizeTexts = {
    "778 * 502  （杂志图片）",
    "1600 * 1200",
    "1200 * 840",
    "1024 * 768",
    "800 * 800",
    "800 * 600",
    "626 * 413",
    "600 * 600",
    "600 * 450",
    "567 * 390",
    "450 * 300",
    "413 * 295",
    "390 * 260",
    "300 * 200",
    "150 * 100",
    "100 * 80",
};

namespace {

// The full-width asterisk U+FF0A in UTF-8: one character, three bytes.
constexpr std::string_view kFullWidthAsterisk = "\xEF\xBC\x8A";

// The single-side and percentage texts around their number.
constexpr std::string_view kWidthOnlyPrefix = "宽 ";
constexpr std::string_view kWidthOnlySuffix = "，高按比例";
constexpr std::string_view kHeightOnlyPrefix = "高 ";
constexpr std::string_view kHeightOnlySuffix = "，宽按比例";
constexpr std::string_view kPercentSuffix = "%";

// Nine digits at most, so the value fits 32 bits; no sign and no leading zero, so that a
// number has one text only.
std::optional<int> PlainDecimal(std::string_view digits)
{
    if (digits.empty() || digits.size() > 9 || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The number between prefix and suffix of text, when text is exactly that.
std::optional<int> NumberBetween(std::string_view text, std::string_view prefix, std::string_view suffix)
{
    if (text.size() < prefix.size() + suffix.size() || !text.starts_with(prefix) || !text.ends_with(suffix))
        return std::nullopt;
    return PlainDecimal(text.substr(prefix.size(), text.size() - prefix.size() - suffix.size()));
}

// Every byte of code 32 or less is ASCII in UTF-8 (multi-byte sequences use bytes of 128
// and more), so trimming by bytes trims whole characters.
std::string TrimControlsAndBlanks(std::string_view text)
{
    const auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isTrimmed(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

SizeTexts SplitSizeText(std::string_view text)
{
    // Two blanks start the label, as in "778 * 502  （杂志图片）".
    const auto label = text.find("  ");
    if (label != std::string_view::npos)
        text = text.substr(0, label);

    std::size_t separator = text.find('*');
    std::size_t separatorLength = 1;
    if (separator == std::string_view::npos) {
        separator = text.find(kFullWidthAsterisk);
        separatorLength = kFullWidthAsterisk.size();
    }
    // Without a separator the width text is empty and the height text is all of it, so the
    // conversion of the width fails with that text.
    if (separator == std::string_view::npos)
        return {"", TrimControlsAndBlanks(text)};
    return {TrimControlsAndBlanks(text.substr(0, separator)),
            TrimControlsAndBlanks(text.substr(separator + separatorLength))};
}

std::string ComposeCustomSizeText(std::string_view width, std::string_view height)
{
    std::string text(width);
    text += " * ";
    text += height;
    text += "  （自定义尺寸）";
    return text;
}

std::string ComposeWidthOnlyText(int width)
{
    return std::string(kWidthOnlyPrefix) + std::to_string(width) + std::string(kWidthOnlySuffix);
}

std::string ComposeHeightOnlyText(int height)
{
    return std::string(kHeightOnlyPrefix) + std::to_string(height) + std::string(kHeightOnlySuffix);
}

std::string ComposePercentText(int percent)
{
    return std::to_string(percent) + std::string(kPercentSuffix);
}

std::optional<TargetSize> ParseSizeWords(std::string_view text)
{
    std::string_view words = text;
    if (const auto label = words.find("  "); label != std::string_view::npos)
        words = words.substr(0, label);
    TargetSize size;
    size.text = std::string(text);
    if (const std::optional<int> width = NumberBetween(words, kWidthOnlyPrefix, kWidthOnlySuffix)) {
        size.form = SizeForm::Width;
        size.width = *width;
    } else if (const std::optional<int> height = NumberBetween(words, kHeightOnlyPrefix, kHeightOnlySuffix)) {
        size.form = SizeForm::Height;
        size.height = *height;
    } else if (const std::optional<int> percent = NumberBetween(words, "", kPercentSuffix)) {
        size.form = SizeForm::Percent;
        size.percent = *percent;
    } else {
        return std::nullopt;
    }
    return size;
}

int ParseInteger(std::string_view text)
{
    const auto fail = [&]() -> int {
        throw Error("'" + std::string(text) + "' is not a valid integer value");
    };

    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return fail();

    // The magnitude may reach 2^31 for the most negative value; anything beyond fails at
    // once, so the 64-bit accumulator never overflows however many digits follow.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = base == 16 ? HexDigitValue(text[i])
                                     : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            return fail();
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit)
            return fail();
    }
    if (!negative && magnitude == kLimit)
        return fail();
    return static_cast<int>(negative ? -magnitude : magnitude);
}

TargetSize ConvertSizeText(std::string_view text)
{
    const SizeTexts parts = SplitSizeText(text);
    TargetSize size;
    size.text = std::string(text);
    // The height is converted first, so its message wins when both texts are bad.
    size.height = ParseInteger(parts.height);
    size.width = ParseInteger(parts.width);
    return size;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace picbatch
