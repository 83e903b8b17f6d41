// The few ICU functions the name order uses, from the system's ICU loaded on first use: a
// command-line run over a folder of one picture never needs them, and loading ICU with the
// program would cost every run about half a millisecond of start-up.
#pragma once

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

struct IcuLibrary {
    decltype(&::ucol_open) open;
    decltype(&::ucol_setAttribute) setAttribute;
    decltype(&::ucol_getSortKey) getSortKey;
    decltype(&::ucol_close) close;
    decltype(&::u_foldCase) foldCase;
    decltype(&::uloc_addLikelySubtags) addLikelySubtags;
};

// The functions of the ICU the program was built with, or nullptr when that library cannot
// be loaded. Loaded once per process and never unloaded; thread-safe.
const IcuLibrary* LoadedIcu();
