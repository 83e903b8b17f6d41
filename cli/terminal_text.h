// Text from file names made safe to print: a name may hold any byte but "/" and NUL, and a
// terminal acts on control characters (an escape sequence recolours it or sets its title, a
// newline forges a progress line).
#pragma once

#include <string>
#include <string_view>

namespace picbatch {

// text with every control character (C0, DEL, and the C1 range U+0080 to U+009F), every
// invisible format character (the bidirectional controls such as U+202E, the zero-width
// ones, U+FEFF and the like) and every byte that is not part of well-formed UTF-8 written as
// an escape: "\n", "\r", "\t", else "\xHH" per byte; a backslash that would begin such an
// escape is doubled, so no name reads as another. Everything else, Chinese included, stays
// as it is.
std::string TerminalText(std::string_view text);

}  // namespace picbatch
