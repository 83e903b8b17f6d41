// picbatch-cli's answer to SIGINT and SIGTERM: the first stops the run (no further picture is
// taken; those in flight are written or dropped, their temporaries removed) so that the
// summary is still printed; a second ends the program at once.
#pragma once

#include <atomic>
#include <optional>
#include <thread>

#include "batch/stop_signals.h"
#include "batch/stop_switch.h"
#include "pictures/files/file_descriptor.h"

namespace picbatch {

class Interruption {
public:
    // Listens on a thread of its own, flipping stop at the first signal.
    explicit Interruption(StopSwitch& stop);
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // The first signal that came, or 0.
    int Signal() const { return m_signal.load(); }

private:
    void Listen();

    std::optional<StopSignals> m_signals;  // none when they cannot be heard
    StopSwitch& m_stop;
    FileDescriptor m_wake;  // an eventfd that ends Listen
    std::atomic<int> m_signal{0};
    std::thread m_listener;
};

}  // namespace picbatch
