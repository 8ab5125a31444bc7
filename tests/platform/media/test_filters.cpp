#include "test_filters.h"

#include <chrono>
#include <thread>

namespace media_test {

namespace {

std::atomic<int> liveFilters{0};

constexpr CLSID kSourceClass = {0x5E1F0001, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};
constexpr CLSID kRendererClass = {0x5E1F0002, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 2}};

} // namespace

int LiveTestFilters() {
    return liveFilters.load();
}

AM_MEDIA_TYPE MakePcmType() {
    AM_MEDIA_TYPE type;
    media::ResetMediaType(&type);
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    type.lSampleSize = 4;
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof format));
    std::memcpy(type.pbFormat, &format, sizeof format);
    type.cbFormat = sizeof format;
    return type;
}

// ---- Source -------------------------------------------------------------------------

TestSource* TestSource::Create(const SourcePlan& plan) {
    return new TestSource(plan);
}

TestSource::TestSource(const SourcePlan& plan) : PushSource(kSourceClass), plan_(plan) {
    ++liveFilters;
}

TestSource::~TestSource() {
    --liveFilters;
}

HRESULT TestSource::OutputType(const AM_MEDIA_TYPE* requested, AM_MEDIA_TYPE* type) {
    *type = MakePcmType();
    return requested != nullptr ? media::CopyMediaType(type, requested) : S_OK;
}

ALLOCATOR_PROPERTIES TestSource::Buffers() const {
    return {plan_.buffers, plan_.sampleBytes, 1, 0};
}

bool TestSource::WaitForBufferRequests(int count, int milliseconds) {
    std::unique_lock guard(progressLock_);
    return progress_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                              [&] { return bufferRequests_ >= count; });
}

void TestSource::Work() {
    for (int index = 0; plan_.endless || index < plan_.samples;) {
        if (Stopping())
            return;
        {
            std::lock_guard guard(progressLock_);
            ++bufferRequests_;
        }
        progress_.notify_all();
        IMediaSample* sample = nullptr;
        if (FAILED(Allocator()->GetBuffer(&sample, nullptr, nullptr, 0))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        for (LONG k = 0; k < plan_.sampleBytes; ++k)
            data[k] = static_cast<BYTE>(index * plan_.sampleBytes + k);
        sample->SetActualDataLength(plan_.sampleBytes);
        REFERENCE_TIME start = index * 1000;
        REFERENCE_TIME end = start + 1000;
        sample->SetTime(&start, &end);
        sample->SetSyncPoint(TRUE);
        const HRESULT hr = Downstream()->Receive(sample);
        sample->Release();
        if (hr != S_OK)
            return; // refused downstream: stop quietly
        ++delivered_;
        ++index;
        if (plan_.abortAfter != 0 && index == plan_.abortAfter) {
            NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
            return;
        }
    }
    DeliverEndOfStream();
}

// ---- Renderer -----------------------------------------------------------------------

class TestRenderer::InputPin final : public media::InputPinBase {
public:
    explicit InputPin(TestRenderer* filter) : InputPinBase(filter, u"In"), owner_(filter) {}

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        return type->majortype == MEDIATYPE_Audio && type->subtype == MEDIASUBTYPE_PCM ? S_OK
                                                                                       : S_FALSE;
    }
    HRESULT OnReceive(IMediaSample* sample) override { return owner_->Take(sample); }
    HRESULT OnEndOfStream() override {
        owner_->TakeEndOfStream();
        return S_OK;
    }

private:
    TestRenderer* const owner_;
};

TestRenderer* TestRenderer::Create(bool holdSamples) {
    return new TestRenderer(holdSamples);
}

TestRenderer::TestRenderer(bool holdSamples)
    : FilterBase(kRendererClass), holdSamples_(holdSamples),
      pin_(std::make_unique<InputPin>(this)) {
    AddPin(pin_.get());
    ++liveFilters;
}

TestRenderer::~TestRenderer() {
    for (IMediaSample* sample : held_)
        sample->Release();
    --liveFilters;
}

IPin* TestRenderer::Input() {
    return pin_.get();
}

HRESULT TestRenderer::Take(IMediaSample* sample) {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    sample->GetTime(&start, &end);
    {
        std::lock_guard guard(lock_);
        bytes_.insert(bytes_.end(), data, data + sample->GetActualDataLength());
        startTimes_.push_back(start);
        ++samples_;
        if (holdSamples_) {
            sample->AddRef();
            held_.push_back(sample);
        }
    }
    received_.notify_all();
    return S_OK;
}

void TestRenderer::TakeEndOfStream() {
    {
        std::lock_guard guard(lock_);
        ++endOfStreams_;
    }
    NotifyEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT TestRenderer::OnRun(REFERENCE_TIME start) {
    std::lock_guard guard(lock_);
    runStart_ = start;
    return S_OK;
}

void TestRenderer::OnStop() {
    std::vector<IMediaSample*> held;
    {
        std::lock_guard guard(lock_);
        ++stops_;
        held.swap(held_);
    }
    for (IMediaSample* sample : held)
        sample->Release();
}

int TestRenderer::SamplesReceived() const {
    std::lock_guard guard(lock_);
    return samples_;
}
std::vector<BYTE> TestRenderer::Bytes() const {
    std::lock_guard guard(lock_);
    return bytes_;
}
std::vector<REFERENCE_TIME> TestRenderer::StartTimes() const {
    std::lock_guard guard(lock_);
    return startTimes_;
}
int TestRenderer::EndOfStreams() const {
    std::lock_guard guard(lock_);
    return endOfStreams_;
}
REFERENCE_TIME TestRenderer::RunStart() const {
    std::lock_guard guard(lock_);
    return runStart_;
}
int TestRenderer::Stops() const {
    std::lock_guard guard(lock_);
    return stops_;
}

bool TestRenderer::WaitForSamples(int count, int milliseconds) {
    std::unique_lock guard(lock_);
    return received_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                              [&] { return samples_ >= count; });
}

} // namespace media_test
