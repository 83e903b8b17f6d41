// A request to stop a run, from any thread.
#include "batch/stop_switch.h"

#include <utility>

namespace picbatch {

void StopSwitch::Flip()
{
    const std::lock_guard lock(m_mutex);
    m_flipped = true;
    if (m_stop)
        m_stop();
}

bool StopSwitch::Flipped() const
{
    const std::lock_guard lock(m_mutex);
    return m_flipped;
}

void StopSwitch::Attach(std::function<void()> stop)
{
    const std::lock_guard lock(m_mutex);
    m_stop = std::move(stop);
    if (m_flipped)
        m_stop();
}

void StopSwitch::Detach()
{
    const std::lock_guard lock(m_mutex);
    m_stop = nullptr;
}

}  // namespace picbatch
