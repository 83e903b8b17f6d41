// Output names from a template: "{NAME}" (the source's stem in upper case, the default),
// "{name}" (the stem as it is), "{w}", "{h}" (the output's size), "{n}" (the picture's
// position in the listing, zero-padded to the width of the count), "{{" and "}}" for braces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace picbatch {

// False for an unknown token, an unbalanced brace, or a template that can give an empty
// name, a name holding "/", or the names "." and "..".
bool IsUsableNameTemplate(std::string_view nameTemplate);

// The refusal of an unusable template before a run starts: "输出文件名模板无法使用：“{x}”".
std::string UnusableNameTemplateMessage(std::string_view nameTemplate);

// Whether a usable template reads the output's size, or the picture's position.
bool NameTemplateUsesSize(std::string_view nameTemplate);
bool NameTemplateUsesNumber(std::string_view nameTemplate);

// What a template's tokens stand for, for one picture.
struct NameFields {
    std::string_view stem;  // the source's name without its extension
    int width = 0;
    int height = 0;
    std::uint64_t number = 0;  // 1-based position among the listing's pictures
    std::uint64_t count = 0;   // pictures in the listing: the width {n} is padded to
};

// The name the template gives (without extension); nothing for an unusable template, or when
// the result is empty, ".", ".." or holds a "/" or a NUL byte.
std::optional<std::string> ExpandNameTemplate(std::string_view nameTemplate, const NameFields& fields);

}  // namespace picbatch
