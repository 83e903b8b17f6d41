// Bands of decoded rows handed to a second thread.
#include "pictures/band_pipeline.h"

#include <utility>

namespace picbatch {

BandPipeline::BandPipeline(Consumer consume) : m_consume(std::move(consume)), m_thread([this] { Consume(); }) {}

BandPipeline::~BandPipeline()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_handed.notify_one();
    m_thread.join();
}

void BandPipeline::Push(const std::uint8_t* first, std::int64_t step, int count)
{
    std::unique_lock lock(m_mutex);
    if (m_failure)
        std::rethrow_exception(m_failure);
    m_bands[m_pushed % kSlots] = {first, step, count};
    ++m_pushed;
    m_handed.notify_one();
    m_done.wait(lock, [this] { return m_pushed - m_consumed <= kSlots - 1 || m_failure; });
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void BandPipeline::WaitIdle() noexcept
{
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_consumed == m_pushed; });
}

std::exception_ptr BandPipeline::Failure()
{
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

void BandPipeline::Consume()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_handed.wait(lock, [this] { return m_consumed < m_pushed || m_stopping; });
        if (m_stopping)
            return;
        const Band band = m_bands[m_consumed % kSlots];
        if (!m_failure) {
            lock.unlock();
            std::exception_ptr failure;
            try {
                m_consume(band.first, band.step, band.count);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            m_failure = failure;
        }
        ++m_consumed;
        m_done.notify_all();
    }
}

}  // namespace picbatch
