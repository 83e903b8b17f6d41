// Bands of decoded rows handed from the decoding thread to a second thread that works on
// them, so that decoding and what follows it run side by side on two processor cores.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

namespace picbatch {

// The smallest picture, in pixels, whose decoding takes a second thread. Below it the thread
// costs more than it saves: a 640 x 480 JPEG converts no sooner on two threads, an 800 x 600
// one about a quarter sooner (bench/README.md, "A second thread").
inline constexpr std::int64_t kMinPixelsAlongside = 400'000;
// No picture is that large: no second thread.
inline constexpr std::int64_t kNeverAlongside = std::numeric_limits<std::int64_t>::max();

class BandPipeline {
public:
    // Band buffers the producer rotates through: band j is written into buffer j % kSlots,
    // so the consumer may work on one band while the next is decoded.
    static constexpr int kSlots = 3;

    using Consumer = std::function<void(const std::uint8_t* first, std::int64_t step, int count)>;

    // Starts the consumer thread, which calls consume for each band in order.
    explicit BandPipeline(Consumer consume);
    // Stops the consumer once its band is done (bands not taken yet are dropped) and joins it.
    ~BandPipeline();
    BandPipeline(const BandPipeline&) = delete;
    BandPipeline& operator=(const BandPipeline&) = delete;

    // Hands the next band over and returns once the buffer of the band after it is free:
    // the consumer is done with all but the last kSlots - 1 bands. Rethrows the consumer's
    // exception once it has failed; it then takes no more bands.
    void Push(const std::uint8_t* first, std::int64_t step, int count);

    // Waits until the consumer is done with every band handed over (or has failed).
    void WaitIdle() noexcept;

    // The consumer's exception, null while it has not failed.
    std::exception_ptr Failure();

private:
    struct Band {
        const std::uint8_t* first = nullptr;
        std::int64_t step = 0;
        int count = 0;
    };

    void Consume();

    Consumer m_consume;
    std::mutex m_mutex;
    std::condition_variable m_handed;  // a band was handed over, or the end came
    std::condition_variable m_done;    // the consumer finished a band
    Band m_bands[kSlots];
    std::int64_t m_pushed = 0;    // bands handed over
    std::int64_t m_consumed = 0;  // bands the consumer is done with
    bool m_stopping = false;
    std::exception_ptr m_failure;
    std::thread m_thread;  // last: starts once everything above is ready
};

}  // namespace picbatch
