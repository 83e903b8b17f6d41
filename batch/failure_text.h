// Where errors become the texts the user reads: a run's failure list, the window's error
// box. One place, so that the same failure reads the same everywhere.
#pragma once

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "imaging/error.h"

namespace picbatch {

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
