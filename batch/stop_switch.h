// A request to stop a run that any thread may make, such as the thread that receives an
// interrupting signal.
#pragma once

#include <functional>
#include <mutex>

namespace picbatch {

class StopSwitch {
public:
    // Stops the attached run now, or the next one as soon as it is attached. Any thread.
    void Flip();
    bool Flipped() const;

    // While attached, Flip calls stop (at once when flipped already). Used by the run.
    void Attach(std::function<void()> stop);
    void Detach();

private:
    mutable std::mutex m_mutex;
    bool m_flipped = false;
    std::function<void()> m_stop;
};

}  // namespace picbatch
