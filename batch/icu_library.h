// The few ICU functions the name order uses, from the system's ICU loaded on first use: a
// command-line run over a folder of one picture never needs them, and loading ICU with the
// program would cost every run about half a millisecond of start-up.
#pragma once

#include <optional>
#include <string>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

namespace picbatch {

struct IcuLibrary {
    decltype(&::ucol_open) open;
    decltype(&::ucol_setAttribute) setAttribute;
    decltype(&::ucol_getSortKey) getSortKey;
    decltype(&::ucol_close) close;
    decltype(&::u_foldCase) foldCase;
    decltype(&::uloc_addLikelySubtags) addLikelySubtags;
};

// The functions of the ICU the program was built with, or nullptr when that library cannot
// be loaded; that is then said once on standard error (IcuMissingNotice). Loaded once per
// process and never unloaded; thread-safe.
const IcuLibrary* LoadedIcu();

// The functions from the collation library of that file name (as dlopen finds it), or
// nothing when it cannot be loaded or lacks one of them.
std::optional<IcuLibrary> LoadIcu(const char* libraryName);

// The ICU library LoadedIcu loads, and what is said when it cannot be loaded.
const char* IcuLibraryName();
std::string IcuMissingNotice();

}  // namespace picbatch
