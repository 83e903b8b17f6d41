// SIGINT and SIGTERM read from a signalfd.
#include "batch/stop_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace picbatch {

namespace {

sigset_t StopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

StopSignals::StopSignals()
{
    const sigset_t set = StopSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_fd = FileDescriptor(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    // Without the descriptor nobody would hear them: they keep their usual action.
    if (m_fd.Get() < 0)
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopSignals::~StopSignals()
{
    m_fd.Close();
    const sigset_t set = StopSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int StopSignals::Take()
{
    signalfd_siginfo info{};
    for (;;) {
        const ssize_t got = ::read(m_fd.Get(), &info, sizeof info);
        if (got == static_cast<ssize_t>(sizeof info))
            return static_cast<int>(info.ssi_signo);
        if (got < 0 && errno == EINTR)
            continue;
        return 0;
    }
}

void StopSignals::DieOf(int signal)
{
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    std::_Exit(ExitStatusFor(signal));  // only if the signal was ignored after all
}

}  // namespace picbatch
