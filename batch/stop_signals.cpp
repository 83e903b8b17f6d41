// SIGINT and SIGTERM through a pipe: the handler does nothing but an async-signal-safe write.
#include "batch/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace picbatch {

namespace {

// The pipe's write end for the handler; lock-free, so reading it in a handler is safe.
std::atomic<int> g_writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal)
{
    const int savedErrno = errno;  // the interrupted code may be about to read it
    const auto number = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal to act on: losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd.load(), &number, 1);
    errno = savedErrno;
}

// Takes signal over, keeping its earlier action in previous; one ignored before stays so.
void TakeOver(int signal, struct sigaction& previous)
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // other threads' system calls go on undisturbed
    ::sigaction(signal, &action, &previous);
    if (previous.sa_handler == SIG_IGN)
        ::sigaction(signal, &previous, nullptr);
}

}  // namespace

StopSignals::StopSignals()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readEnd = FileDescriptor(ends[0]);
    m_writeEnd = FileDescriptor(ends[1]);
    g_writeEnd.store(ends[1]);
    TakeOver(SIGINT, m_previousInterrupt);
    TakeOver(SIGTERM, m_previousTerminate);
}

StopSignals::~StopSignals()
{
    if (m_readEnd.Get() < 0)
        return;
    ::sigaction(SIGINT, &m_previousInterrupt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerminate, nullptr);
    g_writeEnd.store(-1);
}

int StopSignals::Take()
{
    unsigned char number = 0;
    for (;;) {
        const ssize_t got = ::read(m_readEnd.Get(), &number, 1);
        if (got == 1)
            return number;
        if (got < 0 && errno == EINTR)
            continue;
        return 0;
    }
}

void StopSignals::DieOf(int signal)
{
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    std::_Exit(ExitStatusFor(signal));  // only if the signal is blocked or ignored after all
}

}  // namespace picbatch
