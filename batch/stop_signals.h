// SIGINT and SIGTERM taken as requests to stop: their handler only writes the signal's number
// to a pipe, and the program reads it when it can, so that it can end its run and remove its
// temporaries instead of being ended wherever it stood.
#pragma once

#include <signal.h>

#include "pictures/files/file_descriptor.h"

namespace picbatch {

// One at a time in a process. A signal that the program was started to ignore (as a
// background job of a shell without job control ignores SIGINT) stays ignored.
class StopSignals {
public:
    StopSignals();
    // Gives the signals their earlier actions back.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable when a signal has come (poll, QSocketNotifier); negative when the signals could
    // not be taken over and keep their usual action.
    int Descriptor() const { return m_readEnd.Get(); }
    // The signal that has come (SIGINT or SIGTERM), or 0 when none has.
    int Take();

    // Ends the process as the signal's default action does: for a second signal, when the
    // user will not wait for the run to stop.
    [[noreturn]] static void DieOf(int signal);

    // The exit status of a program stopped by signal, as a shell reports it (130, 143).
    static int ExitStatusFor(int signal) { return 128 + signal; }

private:
    FileDescriptor m_readEnd{-1};
    FileDescriptor m_writeEnd{-1};
    struct sigaction m_previousInterrupt {};
    struct sigaction m_previousTerminate {};
};

}  // namespace picbatch
