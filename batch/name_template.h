// Output name templates: which templates a run can name its outputs by.
#pragma once

#include <string_view>

namespace picbatch {

// Whether nameTemplate (tokens {NAME} {name} {w} {h} {n}, braces written {{ and }}) names
// every output: false for an unknown token, an unbalanced brace, and a template that can
// yield an empty name, "/", "." or "..".
bool IsUsableNameTemplate(std::string_view nameTemplate);

}  // namespace picbatch
