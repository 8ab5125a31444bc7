// Small filters for the media framework tests: a source that pushes numbered
// samples from a worker thread, and a renderer built on the input pin base.
#pragma once

#include "media/input_filter_base.h"
#include "push_source.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace media_test {

// Filters of the tests alive in the process (to check that graphs release them).
int LiveTestFilters();

// The 16-bit stereo PCM type the test filters agree on; its format block is
// owned by the returned record's holder (free with media::FreeMediaTypeContents).
AM_MEDIA_TYPE MakePcmType();

struct SourcePlan {
    int samples = 8;
    LONG sampleBytes = 256;
    LONG buffers = 2;
    // Pushes forever (no end of stream) until stopped.
    bool endless = false;
    // After this many samples, raise EC_ERRORABORT instead of going on (0: never).
    int abortAfter = 0;
};

// Offers MakePcmType() (or the type it is asked to connect with).
class TestSource final : public test_support::PushSource {
public:
    // One reference, owned by the caller.
    static TestSource* Create(const SourcePlan& plan);
    int Delivered() const { return delivered_.load(); }
    // Bounded wait until the worker has asked the allocator for a buffer at
    // least `count` times.
    bool WaitForBufferRequests(int count, int milliseconds);

protected:
    HRESULT OutputType(const AM_MEDIA_TYPE* requested, AM_MEDIA_TYPE* type) override;
    ALLOCATOR_PROPERTIES Buffers() const override;
    void Work() override;

private:
    explicit TestSource(const SourcePlan& plan);
    ~TestSource() override;

    SourcePlan plan_;
    std::atomic<int> delivered_{0};
    std::mutex progressLock_;
    std::condition_variable progress_;
    int bufferRequests_ = 0;
};

class TestRenderer final : public media::FilterBase {
public:
    // With `holdSamples` the renderer keeps every sample until it stops, so an
    // upstream allocator runs out of buffers.
    static TestRenderer* Create(bool holdSamples = false);
    IPin* Input();

    int SamplesReceived() const;
    std::vector<BYTE> Bytes() const;
    std::vector<REFERENCE_TIME> StartTimes() const;
    int EndOfStreams() const;
    REFERENCE_TIME RunStart() const;
    int Stops() const;
    bool WaitForSamples(int count, int milliseconds);

protected:
    HRESULT OnRun(REFERENCE_TIME start) override;
    void OnStop() override;

private:
    class InputPin;
    explicit TestRenderer(bool holdSamples);
    ~TestRenderer() override;
    HRESULT Take(IMediaSample* sample);
    void TakeEndOfStream();

    const bool holdSamples_;
    std::unique_ptr<InputPin> pin_;
    mutable std::mutex lock_;
    std::condition_variable received_;
    int samples_ = 0;
    std::vector<BYTE> bytes_;
    std::vector<REFERENCE_TIME> startTimes_;
    std::vector<IMediaSample*> held_;
    int endOfStreams_ = 0;
    REFERENCE_TIME runStart_ = -1;
    int stops_ = 0;
    friend class InputPin;
};

} // namespace media_test
