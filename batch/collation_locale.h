// The locale whose collation orders file names, as the environment selects it.
#pragma once

#include <functional>
#include <string>

namespace picbatch {

// Reads one environment variable: its value, or nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The collation locale as the full name of the Qt locale that Qt matches with the name the
// environment gives ("de_Latn_DE", "zh_Hant_TW"); empty for the C locale. The first
// non-empty of LC_ALL, LC_MESSAGES and LANG gives it (LC_COLLATE is not read, as in Qt);
// the first entry of LANGUAGE replaces it when it names another language, script or
// territory. Codeset and modifier ("de_DE.UTF-8@euro") are ignored. "C", "POSIX",
// "C.UTF-8", names that do not parse and languages without locale data in Qt select the C
// locale. Loads ICU for its likely subtags.
std::string CollationLocale(const EnvironmentLookup& lookup);

}  // namespace picbatch
