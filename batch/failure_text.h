// Where errors become the texts the user reads: a run's failure and warning lists, the
// window's error box. One place, so that the same failure reads the same everywhere.
#pragma once

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "imaging/error.h"

namespace picbatch {

struct ConversionNotes;

// The warning of an entry whose source file ended early: converted all the same.
inline constexpr const char* kIncompleteSourceWarning = "源文件不完整，缺失部分已补为灰色或黑色";

// The warning text of a conversion's notes; nothing when there is nothing to tell.
std::optional<std::string> WarningOf(const ConversionNotes& notes);

// Runs work and gives the text of what it throws, or nothing when it succeeds: the
// exception's message, and the core's "Out of system resources" for exhausted memory
// wherever it happens.
template <class Work>
std::optional<std::string> FailureOf(Work&& work)
{
    try {
        work();
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::string(kOutOfSystemResources);
    } catch (const std::exception& error) {
        return std::string(error.what());
    }
}

}  // namespace picbatch
