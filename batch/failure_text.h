// Where errors become the texts the user reads: a run's failure and warning lists, the
// window's error box. One place, so that the same failure reads the same everywhere.
#pragma once

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "imaging/error.h"

namespace picbatch {

struct ConversionNotes;

// The warning of an entry whose source file ended early: converted all the same.
inline constexpr const char* kIncompleteSourceWarning = "源文件不完整，缺失部分已补为灰色或黑色";
// The warning of an entry whose source held damaged data the decoder went past.
inline constexpr const char* kDamagedSourceWarning = "源文件已损坏，部分内容可能不正确";

// The warning text of a conversion's notes; nothing when there is nothing to tell.
std::optional<std::string> WarningOf(const ConversionNotes& notes);

// A short explanation of a failure's cause for the user; empty when the cause is unknown, or
// when only the part that raised it can explain it (Error::Explanation: which format a file
// is not, which of a format's kinds are not handled).
std::string_view ExplanationOf(FailureCause cause);

// The message, then in full-width brackets the error's own explanation (Error::Explanation)
// or else the explanation of its cause, where there is one: "JPEG error #53（文件内容不是
// JPEG 图片）".
std::string ExplainedFailure(const std::string& message, FailureCause cause, std::string_view ownExplanation = {});

// What was thrown: its message, its cause and its own explanation (Error::Explanation).
struct CaughtFailure {
    std::string message;
    FailureCause cause = FailureCause::Unknown;
    std::string_view explanation;
};

// The message of something thrown that is not an exception of the standard library's kinds
// (a library's own type, a bare `throw 42`).
inline constexpr const char* kUnexpectedException = "Unexpected exception";

// Runs work and gives what it throws, or nothing when it succeeds: the exception's message
// and, for the core's Error, its cause; the core's "Out of system resources" for exhausted
// memory wherever it happens; kUnexpectedException, an internal fault, for anything else.
template <class Work>
std::optional<CaughtFailure> CatchFailure(Work&& work)
{
    try {
        work();
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return CaughtFailure{kOutOfSystemResources, FailureCause::OutOfMemory, {}};
    } catch (const Error& error) {
        return CaughtFailure{error.what(), error.Cause(), error.Explanation()};
    } catch (const std::exception& error) {
        return CaughtFailure{error.what(), FailureCause::Unknown, {}};
    } catch (...) {
        return CaughtFailure{kUnexpectedException, FailureCause::Internal, {}};
    }
}

// The message of what work throws, as the error box shows it; nothing when it succeeds.
template <class Work>
std::optional<std::string> FailureOf(Work&& work)
{
    std::optional<CaughtFailure> failure = CatchFailure(work);
    if (!failure)
        return std::nullopt;
    return std::move(failure->message);
}

// The failure text of a run's entry, in the window's report and picbatch-cli's lines alike:
// the message with the explanation of its cause (ExplainedFailure); nothing on success.
template <class Work>
std::optional<std::string> EntryFailureOf(Work&& work)
{
    const std::optional<CaughtFailure> failure = CatchFailure(work);
    if (!failure)
        return std::nullopt;
    return ExplainedFailure(failure->message, failure->cause, failure->explanation);
}

}  // namespace picbatch
