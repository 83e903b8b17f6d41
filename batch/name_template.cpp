// Output name templates: the check of a template before a run.
#include "batch/name_template.h"

#include <array>

namespace picbatch {

namespace {

constexpr std::array<std::string_view, 5> kTokens = {"{NAME}", "{name}", "{w}", "{h}", "{n}"};

}  // namespace

bool IsUsableNameTemplate(std::string_view nameTemplate)
{
    bool hasToken = false;  // a token never yields an empty text
    bool literalOnlyDots = true;
    std::size_t literalLength = 0;
    for (std::size_t i = 0; i < nameTemplate.size();) {
        const std::string_view rest = nameTemplate.substr(i);
        if (rest.starts_with("{{") || rest.starts_with("}}")) {
            literalOnlyDots = false;
            ++literalLength;
            i += 2;
            continue;
        }
        if (rest.front() == '{') {
            bool known = false;
            for (std::string_view token : kTokens)
                if (rest.starts_with(token)) {
                    known = true;
                    hasToken = true;
                    i += token.size();
                    break;
                }
            if (!known)
                return false;
            continue;
        }
        if (rest.front() == '}' || rest.front() == '/')
            return false;
        if (rest.front() != '.')
            literalOnlyDots = false;
        ++literalLength;
        ++i;
    }
    if (hasToken)
        return true;
    // Without tokens the name is the literal text: neither empty, "." nor "..".
    return literalLength > 0 && !(literalOnlyDots && literalLength <= 2);
}

}  // namespace picbatch
