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
            out.append(text.substr(at, length));
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
