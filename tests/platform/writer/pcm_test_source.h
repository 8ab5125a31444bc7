// A small push source for graph tests: offers a 16-bit PCM type and, while
// running, delivers the given PCM in samples with contiguous times, then the
// end of the stream.
#pragma once

#include "push_source.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace writer_test {

struct PcmPlan {
    WAVEFORMATEX format{};
    std::vector<std::int16_t> pcm;
    int framesPerSample = 4096;
    // Hold after the last sample instead of ending the stream, until stopped.
    bool holdEnd = false;
};

class PcmTestSource final : public test_support::PushSource {
public:
    // One reference, owned by the caller.
    static PcmTestSource* Create(PcmPlan plan);
    // The first failure Receive answered (S_OK while none).
    HRESULT ReceiveFailure() const { return receiveFailure_.load(); }
    // Bounded wait until every sample was delivered (or delivery failed).
    bool WaitUntilDelivered(int milliseconds);

protected:
    HRESULT OutputType(const AM_MEDIA_TYPE* requested, AM_MEDIA_TYPE* type) override;
    ALLOCATOR_PROPERTIES Buffers() const override;
    void WorkerStarting() override;
    void Work() override;

private:
    explicit PcmTestSource(PcmPlan plan);
    ~PcmTestSource() override = default;

    PcmPlan plan_;
    std::atomic<HRESULT> receiveFailure_{S_OK};
    std::mutex lock_;
    std::condition_variable changed_;
    bool delivered_ = false;
};

} // namespace writer_test
