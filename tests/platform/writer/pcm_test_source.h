// A small push source for graph tests: one output pin that offers a 16-bit PCM
// type, takes the downstream allocator and, while running, delivers the given
// PCM from a worker thread in samples with contiguous times, then the end of
// the stream.
#pragma once

#include "media/input_filter_base.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace writer_test {

struct PcmPlan {
    WAVEFORMATEX format{};
    std::vector<std::int16_t> pcm;
    int framesPerSample = 4096;
    // Hold after the last sample instead of ending the stream, until stopped.
    bool holdEnd = false;
};

class PcmTestSource final : public media::FilterBase {
public:
    // One reference, owned by the caller.
    static PcmTestSource* Create(PcmPlan plan);
    IPin* Output();
    // The first failure Receive answered (S_OK while none).
    HRESULT ReceiveFailure() const { return receiveFailure_.load(); }
    // Bounded wait until every sample was delivered (or delivery failed).
    bool WaitUntilDelivered(int milliseconds);

private:
    class OutputPin;
    explicit PcmTestSource(PcmPlan plan);
    ~PcmTestSource() override;
    void Work();

    PcmPlan plan_;
    std::unique_ptr<OutputPin> pin_;
    std::atomic<HRESULT> receiveFailure_{S_OK};
    std::mutex lock_;
    std::condition_variable changed_;
    bool delivered_ = false;
    bool stopping_ = false;
    friend class OutputPin;
};

} // namespace writer_test
