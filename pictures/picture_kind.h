// The format a file name stands for, by its last four characters in any case.
#pragma once

#include <string_view>

#include "pictures/upper_case.h"

enum class PictureKind { None, Jpeg, Bmp };

// Jpeg for a name ending in ".JPG", Bmp for ".BMP" (letters in any case), None otherwise.
// Only the part after the last "/" counts: a folder named "x.jpg" decides nothing.
inline PictureKind PictureKindOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // The dot and a three-letter extension; in UTF-8 a name ending in any other character
    // cannot match these four ASCII bytes.
    if (name.size() < 4)
        return PictureKind::None;
    const std::string extension = AsciiUpper(name.substr(name.size() - 4));
    if (extension == ".JPG")
        return PictureKind::Jpeg;
    if (extension == ".BMP")
        return PictureKind::Bmp;
    return PictureKind::None;
}
