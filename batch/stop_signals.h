// SIGINT and SIGTERM taken as requests to stop: read from a descriptor, so that a program can
// end its run and remove its temporaries, instead of being ended wherever it stood.
#pragma once

#include "pictures/file_descriptor.h"

namespace picbatch {

class StopSignals {
public:
    // Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it starts later,
    // and opens a descriptor that receives them. Make it before any other thread starts.
    StopSignals();
    // Unblocks them again; one still pending then acts as it would have.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable when a signal has come (poll, QSocketNotifier).
    int Descriptor() const { return m_fd.Get(); }
    // The signal that has come (SIGINT or SIGTERM), or 0 when none is pending.
    int Take();

    // Ends the process as the signal's default action does: for a second signal, when the
    // user will not wait for the run to stop.
    [[noreturn]] static void DieOf(int signal);

    // The exit status of a program stopped by signal, as a shell reports it (130, 143).
    static int ExitStatusFor(int signal) { return 128 + signal; }

private:
    FileDescriptor m_fd{-1};
};

}  // namespace picbatch
