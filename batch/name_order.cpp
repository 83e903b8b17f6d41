// Sorting file names by locale with ICU, with exactly the conversions, collator attributes
// and comparisons of Qt 6.4's QCollator (qcollator_icu.cpp) and QString::compare.
#include "batch/name_order.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "batch/icu_library.h"

namespace picbatch {

namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point of a well-formed sequence starting at bytes[at] (a non-ASCII first byte),
// and its length; length 0 when the bytes do not form one.
struct Decoded {
    char32_t codePoint;
    std::size_t length;
};

Decoded DecodeSequence(std::string_view bytes, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned first = byte(at);
    std::size_t length = 0;
    char32_t smallest = 0;
    char32_t codePoint = 0;
    // 0x80-0xC1 start nothing (continuations, or overlong two-byte forms); above 0xF4 the
    // code point would pass U+10FFFF.
    if (first >= 0xC2 && first < 0xE0) {
        length = 2, smallest = 0x80, codePoint = first & 0x1F;
    } else if (first >= 0xE0 && first < 0xF0) {
        length = 3, smallest = 0x800, codePoint = first & 0x0F;
    } else if (first >= 0xF0 && first < 0xF5) {
        length = 4, smallest = 0x10000, codePoint = first & 0x07;
    } else {
        return {0, 0};
    }
    if (bytes.size() - at < length)
        return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return {0, 0};
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
    }
    if (codePoint < smallest || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
        return {0, 0};
    return {codePoint, length};
}

// Qt's case-insensitive comparison: code units after simple case folding, where the second
// unit of a surrogate pair stands for the folded code point of the whole pair.
char32_t FoldedUnit(const IcuLibrary* icu, char16_t unit, char32_t& previous)
{
    char32_t codePoint = unit;
    if (IsLowSurrogate(unit) && IsHighSurrogate(previous))
        codePoint = 0x10000 + ((previous - 0xD800) << 10) + (unit - 0xDC00);
    previous = unit;
    if (icu)
        return static_cast<char32_t>(icu->foldCase(static_cast<UChar32>(codePoint), U_FOLD_CASE_DEFAULT));
    // Without ICU only ASCII letters fold: right for ASCII names, a fallback for others.
    return codePoint >= 'A' && codePoint <= 'Z' ? codePoint + ('a' - 'A') : codePoint;
}

int CompareFolded(const IcuLibrary* icu, const std::u16string& a, const std::u16string& b)
{
    char32_t aPrevious = 0;
    char32_t bPrevious = 0;
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char32_t aFolded = FoldedUnit(icu, a[i], aPrevious);
        const char32_t bFolded = FoldedUnit(icu, b[i], bPrevious);
        if (aFolded != bFolded)
            return aFolded < bFolded ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// ICU counts in 32 bits. File names have at most 255 bytes; this guards other callers.
int32_t IcuLength(std::size_t size)
{
    if (size > static_cast<std::size_t>(INT32_MAX))
        throw std::length_error("name too long to collate");
    return static_cast<int32_t>(size);
}

struct CollatorCloser {
    const IcuLibrary* icu;
    void operator()(UCollator* collator) const { icu->close(collator); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

// A collator for locale with QCollator's settings for a case-insensitive order: normalised
// input, secondary strength (accents count, case does not), digits one by one, punctuation
// not ignored. Null when ICU cannot make one; all names are then equal to it.
Collator OpenCollator(const IcuLibrary& icu, const std::string& locale)
{
    UErrorCode status = U_ZERO_ERROR;
    Collator collator(icu.open(locale.c_str(), &status), CollatorCloser{&icu});
    if (U_FAILURE(status))
        return Collator(nullptr, CollatorCloser{&icu});
    const std::pair<UColAttribute, UColAttributeValue> settings[] = {
        {UCOL_NORMALIZATION_MODE, UCOL_ON},
        {UCOL_STRENGTH, UCOL_SECONDARY},
        {UCOL_NUMERIC_COLLATION, UCOL_OFF},
        {UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE},
    };
    for (const auto& [attribute, value] : settings) {
        // A setting ICU refuses leaves the collator's default, as in Qt.
        status = U_ZERO_ERROR;
        icu.setAttribute(collator.get(), attribute, value, &status);
    }
    return collator;
}

// The sort key of text: compared bytewise, keys order as the collator compares the texts.
std::string SortKey(const IcuLibrary& icu, const UCollator* collator, const std::u16string& text)
{
    const int32_t length = IcuLength(text.size());
    // Qt's first guess at the key's size; a longer key is asked for again.
    std::string key(16 + text.size() + text.size() / 4, '\0');
    const auto fill = [&] {
        return icu.getSortKey(collator, text.data(), length, reinterpret_cast<uint8_t*>(key.data()),
                              IcuLength(key.size()));
    };
    int32_t size = fill();
    if (static_cast<std::size_t>(size) > key.size()) {
        key.resize(static_cast<std::size_t>(size));
        size = fill();
    }
    key.resize(static_cast<std::size_t>(std::max<int32_t>(size, 0)));
    return key;
}

}  // namespace

std::u16string Utf16FromName(std::string_view name)
{
    std::u16string text;
    text.reserve(name.size());
    std::size_t at = 0;
    if (name.substr(0, 3) == "\xEF\xBB\xBF")
        at = 3;
    while (at < name.size()) {
        const auto first = static_cast<unsigned char>(name[at]);
        if (first < 0x80) {
            text.push_back(first);
            ++at;
            continue;
        }
        const Decoded decoded = DecodeSequence(name, at);
        if (decoded.length == 0) {
            // Only the first byte is replaced; the next ones are decoded afresh.
            text.push_back(kReplacementCharacter);
            ++at;
        } else if (decoded.codePoint < 0x10000) {
            text.push_back(static_cast<char16_t>(decoded.codePoint));
            at += decoded.length;
        } else {
            text.push_back(static_cast<char16_t>(0xD800 + ((decoded.codePoint - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((decoded.codePoint - 0x10000) & 0x3FF)));
            at += decoded.length;
        }
    }
    return text;
}

void SortNamesIn(std::vector<std::string>& names, const std::string& locale)
{
    if (names.size() < 2)
        return;
    // ASCII names fold without ICU, so C-locale runs over such names never load it.
    const bool ascii = std::all_of(names.begin(), names.end(), [](const std::string& name) {
        return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    });
    SortNamesWith(names, locale, locale.empty() && ascii ? nullptr : LoadedIcu());
}

void SortNamesWith(std::vector<std::string>& names, const std::string& locale, const IcuLibrary* icu)
{
    if (names.size() < 2)
        return;
    // Without ICU there is no collator: every locale orders as the C locale.
    const bool plainLocale = locale.empty() || !icu;
    Collator collator(nullptr, CollatorCloser{icu});
    if (!plainLocale)
        collator = OpenCollator(*icu, locale);

    struct Keyed {
        std::u16string text;
        std::string key;  // empty for the C locale, or without a collator
        std::string* name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        Keyed item{Utf16FromName(name), {}, &name};
        if (collator)
            item.key = SortKey(*icu, collator.get(), item.text);
        keyed.push_back(std::move(item));
    }
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        const int order = plainLocale ? CompareFolded(icu, a.text, b.text) : a.key.compare(b.key);
        return order != 0 ? order < 0 : *a.name < *b.name;
    });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (Keyed& item : keyed)
        sorted.push_back(std::move(*item.name));
    names = std::move(sorted);
}

}  // namespace picbatch
