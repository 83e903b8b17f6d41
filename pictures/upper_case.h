// Upper-casing as the run does it: a to z become A to Z, every other byte stays.
#pragma once

#include <string>
#include <string_view>

namespace picbatch {

inline std::string AsciiUpper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

}  // namespace picbatch
