// The listing's order of file names: by the collation of a locale, ignoring case, with ties
// broken by bytes. The same order as Qt 6.4's QCollator gives the window program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace picbatch {

struct IcuLibrary;

// Sorts names by the collation of locale (as CollationLocale gives it) at the strength that
// ignores case but not accents; for the empty locale (C) by case-folded UTF-16 code units.
// Names equal in that order (differing in case only) are ordered by their bytes, so the
// order is total. Fewer than two names never load ICU.
// Without ICU (LoadedIcu() gives nullptr) every locale orders as the C locale does, with
// only ASCII letters folded.
void SortNamesIn(std::vector<std::string>& names, const std::string& locale);

// SortNamesIn with the ICU functions given (nullptr: as without ICU), for tests of both.
void SortNamesWith(std::vector<std::string>& names, const std::string& locale, const IcuLibrary* icu);

// The UTF-16 text of a name as Qt decodes UTF-8: every byte that is not part of a
// well-formed sequence (also overlong forms and encoded surrogates) becomes one U+FFFD, and
// a byte order mark at the start is dropped.
std::u16string Utf16FromName(std::string_view name);

}  // namespace picbatch
