// Escaping what a terminal would act on.
#include "cli/terminal_text.h"

#include <cstdio>

namespace picbatch {

namespace {

// The length of the well-formed UTF-8 sequence starting at text[at] (a byte of 0x80 or
// more), or 0 when there is none: no overlong forms, surrogates or code points past U+10FFFF.
std::size_t SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned first = byte(at);
    std::size_t length = 0;
    unsigned low = 0x80;  // the allowed range of the second byte
    unsigned high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        low = first == 0xE0 ? 0xA0 : 0x80;
        high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

// The code point of the well-formed sequence of length bytes at text[at].
char32_t CodePointAt(std::string_view text, std::size_t at, std::size_t length)
{
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[at + i])); };
    char32_t point = byte(0) & (length == 2 ? 0x1FU : length == 3 ? 0x0FU : 0x07U);
    for (std::size_t i = 1; i < length; ++i)
        point = (point << 6) | (byte(i) & 0x3FU);
    return point;
}

// Unicode's invisible format characters: the bidirectional controls, which print a name's
// end before its start ("gpj.exe" shown for "exe.jpg"), the zero-width ones, and the rest
// of the kind, which make two different names look alike.
bool IsFormatCharacter(char32_t point)
{
    return point == 0x00AD || point == 0x061C || point == 0x180E || (point >= 0x200B && point <= 0x200F)
        || (point >= 0x202A && point <= 0x202E) || (point >= 0x2060 && point <= 0x2064)
        || (point >= 0x2066 && point <= 0x206F) || point == 0xFEFF || (point >= 0xFFF9 && point <= 0xFFFB)
        || point == 0xE0001 || (point >= 0xE0020 && point <= 0xE007F);
}

// A backslash followed by this would read as one of the escapes written here.
bool ReadsAsEscape(char next)
{
    return next == 'x' || next == 'n' || next == 'r' || next == 't' || next == '\\';
}

void AppendByteEscape(std::string& out, unsigned char byte)
{
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", byte);
    out += escape;
}

}  // namespace

std::string TerminalText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80) {
            const std::size_t length = SequenceLength(text, at);
            // U+0080 to U+009F are the C1 controls: 0xC2 followed by 0x80 to 0x9F.
            if (length == 0 || (byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F)) {
                AppendByteEscape(out, byte);
                ++at;
                if (length == 2)  // a C1 control: its second byte too
                    AppendByteEscape(out, static_cast<unsigned char>(text[at++]));
                continue;
            }
            if (IsFormatCharacter(CodePointAt(text, at, length))) {
                for (std::size_t i = 0; i < length; ++i)
                    AppendByteEscape(out, static_cast<unsigned char>(text[at + i]));
            } else {
                out.append(text.substr(at, length));
            }
            at += length;
            continue;
        }
        if (byte == '\n')
            out += "\\n";
        else if (byte == '\r')
            out += "\\r";
        else if (byte == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F)
            AppendByteEscape(out, byte);
        else if (byte == '\\' && at + 1 < text.size() && ReadsAsEscape(text[at + 1]))
            out += "\\\\";
        else
            out += static_cast<char>(byte);
        ++at;
    }
    return out;
}

}  // namespace picbatch
