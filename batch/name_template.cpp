// Parsing and expanding output name templates.
#include "batch/name_template.h"

#include <utility>
#include <vector>

#include "pictures/upper_case.h"

namespace picbatch {

namespace {

enum class Token { Text, UpperStem, Stem, Width, Height, Number };

struct Piece {
    Token token;
    std::string text;  // Token::Text
};

// The template as pieces; nothing for an unknown token or an unbalanced brace.
std::optional<std::vector<Piece>> Parse(std::string_view nameTemplate)
{
    std::vector<Piece> pieces;
    std::string text;
    for (std::size_t i = 0; i < nameTemplate.size(); ++i) {
        const char c = nameTemplate[i];
        if (c == '}') {
            if (i + 1 < nameTemplate.size() && nameTemplate[i + 1] == '}') {
                text += '}';
                ++i;
                continue;
            }
            return std::nullopt;
        }
        if (c != '{') {
            text += c;
            continue;
        }
        if (i + 1 < nameTemplate.size() && nameTemplate[i + 1] == '{') {
            text += '{';
            ++i;
            continue;
        }
        const std::size_t close = nameTemplate.find('}', i);
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view name = nameTemplate.substr(i + 1, close - i - 1);
        Token token = Token::Text;
        if (name == "NAME")
            token = Token::UpperStem;
        else if (name == "name")
            token = Token::Stem;
        else if (name == "w")
            token = Token::Width;
        else if (name == "h")
            token = Token::Height;
        else if (name == "n")
            token = Token::Number;
        else
            return std::nullopt;
        if (!text.empty())
            pieces.push_back({Token::Text, std::exchange(text, {})});
        pieces.push_back({token, {}});
        i = close;
    }
    if (!text.empty())
        pieces.push_back({Token::Text, std::move(text)});
    return pieces;
}

bool Uses(std::string_view nameTemplate, Token a, Token b)
{
    const std::optional<std::vector<Piece>> pieces = Parse(nameTemplate);
    if (!pieces)
        return false;
    for (const Piece& piece : *pieces) {
        if (piece.token == a || piece.token == b)
            return true;
    }
    return false;
}

bool IsUsableName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
}

}  // namespace

bool IsUsableNameTemplate(std::string_view nameTemplate)
{
    const std::optional<std::vector<Piece>> pieces = Parse(nameTemplate);
    if (!pieces)
        return false;
    std::string literal;
    bool digits = false;
    bool stem = false;
    for (const Piece& piece : *pieces) {
        switch (piece.token) {
        case Token::Text:
            if (piece.text.find('/') != std::string::npos || piece.text.find('\0') != std::string::npos)
                return false;
            literal += piece.text;
            break;
        case Token::Width:
        case Token::Height:
        case Token::Number:
            digits = true;
            break;
        case Token::UpperStem:
        case Token::Stem:
            stem = true;
            break;
        }
    }
    // A number gives at least one digit; a stem is never empty and never starts with "." (the
    // listing leaves hidden names out). Text alone must itself be a name.
    if (digits || stem)
        return true;
    return IsUsableName(literal);
}

std::string UnusableNameTemplateMessage(std::string_view nameTemplate)
{
    return "输出文件名模板无法使用：“" + std::string(nameTemplate) + "”";
}

bool NameTemplateUsesSize(std::string_view nameTemplate)
{
    return Uses(nameTemplate, Token::Width, Token::Height);
}

bool NameTemplateUsesNumber(std::string_view nameTemplate)
{
    return Uses(nameTemplate, Token::Number, Token::Number);
}

std::optional<std::string> ExpandNameTemplate(std::string_view nameTemplate, const NameFields& fields)
{
    const std::optional<std::vector<Piece>> pieces = Parse(nameTemplate);
    if (!pieces)
        return std::nullopt;
    std::string name;
    for (const Piece& piece : *pieces) {
        switch (piece.token) {
        case Token::Text:
            name += piece.text;
            break;
        case Token::UpperStem:
            name += AsciiUpper(fields.stem);
            break;
        case Token::Stem:
            name += fields.stem;
            break;
        case Token::Width:
            name += std::to_string(fields.width);
            break;
        case Token::Height:
            name += std::to_string(fields.height);
            break;
        case Token::Number: {
            const std::string number = std::to_string(fields.number);
            const std::size_t width = std::to_string(fields.count).size();
            if (number.size() < width)
                name.append(width - number.size(), '0');
            name += number;
            break;
        }
        }
    }
    if (!IsUsableName(name))
        return std::nullopt;
    return name;
}

}  // namespace picbatch
