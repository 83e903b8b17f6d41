// SIGINT and SIGTERM heard on a thread of their own, which stops the run.
#include "cli/interruption.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>

namespace picbatch {

Interruption::Interruption(StopSwitch& stop) : m_stop(stop), m_wake(::eventfd(0, EFD_CLOEXEC))
{
    m_signals.emplace();
    if (m_signals->Descriptor() < 0 || m_wake.Get() < 0) {
        m_signals.reset();
        return;
    }
    try {
        m_listener = std::thread([this] { Listen(); });
    } catch (const std::system_error&) {
        // No thread to be had (a container's process limit): nobody would hear the signals,
        // so they keep their usual action.
        m_signals.reset();
    }
}

Interruption::~Interruption()
{
    if (!m_listener.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake.Get(), &one, sizeof one);
    m_listener.join();
}

void Interruption::Listen()
{
    for (;;) {
        pollfd watched[2] = {{m_signals->Descriptor(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents != 0)
            return;
        const int signal = m_signals->Take();
        if (signal == 0)
            continue;
        if (m_signal.load() != 0)
            StopSignals::DieOf(signal);
        m_signal.store(signal);
        std::fputs("picbatch-cli: 正在停止：等待转换中的图片完成 / stopping: finishing the pictures in progress\n",
                   stderr);
        m_stop.Flip();
    }
}

}  // namespace picbatch
