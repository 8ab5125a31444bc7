#include "pcm_test_source.h"

#include <chrono>
#include <cstring>

namespace writer_test {
namespace {

constexpr CLSID kPcmSourceClass = {0x6A1E0001, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 7}};

} // namespace

PcmTestSource* PcmTestSource::Create(PcmPlan plan) {
    return new PcmTestSource(std::move(plan));
}

PcmTestSource::PcmTestSource(PcmPlan plan) : PushSource(kPcmSourceClass), plan_(std::move(plan)) {}

HRESULT PcmTestSource::OutputType(const AM_MEDIA_TYPE*, AM_MEDIA_TYPE* type) {
    const WAVEFORMATEX& format = plan_.format;
    media::ResetMediaType(type);
    type->majortype = MEDIATYPE_Audio;
    type->subtype = MEDIASUBTYPE_PCM;
    type->formattype = FORMAT_WaveFormatEx;
    type->lSampleSize = format.nBlockAlign;
    type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof format));
    if (type->pbFormat == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(type->pbFormat, &format, sizeof format);
    type->cbFormat = sizeof format;
    return S_OK;
}

ALLOCATOR_PROPERTIES PcmTestSource::Buffers() const {
    return {2, plan_.framesPerSample * plan_.format.nBlockAlign, 1, 0};
}

void PcmTestSource::WorkerStarting() {
    std::lock_guard guard(lock_);
    delivered_ = false;
}

bool PcmTestSource::WaitUntilDelivered(int milliseconds) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                             [this] { return delivered_; });
}

void PcmTestSource::Work() {
    const auto& format = plan_.format;
    const std::size_t frameBytes = format.nBlockAlign;
    const std::size_t totalFrames = plan_.pcm.size() * 2 / frameBytes;
    std::size_t frame = 0;
    HRESULT hr = S_OK;
    while (frame < totalFrames && SUCCEEDED(hr)) {
        IMediaSample* sample = nullptr;
        hr = Allocator()->GetBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) {
            break; // decommitted: the filter stops
        }
        const std::size_t frames = std::min<std::size_t>(
            static_cast<std::size_t>(plan_.framesPerSample), totalFrames - frame);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, reinterpret_cast<const BYTE*>(plan_.pcm.data()) + frame * frameBytes,
                    frames * frameBytes);
        REFERENCE_TIME start = static_cast<REFERENCE_TIME>(frame) * 10000000 /
                               static_cast<REFERENCE_TIME>(format.nSamplesPerSec);
        REFERENCE_TIME end = static_cast<REFERENCE_TIME>(frame + frames) * 10000000 /
                             static_cast<REFERENCE_TIME>(format.nSamplesPerSec);
        sample->SetTime(&start, &end);
        sample->SetActualDataLength(static_cast<LONG>(frames * frameBytes));
        sample->SetSyncPoint(TRUE);
        hr = Downstream()->Receive(sample);
        sample->Release();
        frame += frames;
        if (FAILED(hr)) {
            receiveFailure_.store(hr);
        }
    }
    if (SUCCEEDED(hr) && !plan_.holdEnd) {
        DeliverEndOfStream();
    }
    {
        std::lock_guard guard(lock_);
        delivered_ = true;
    }
    changed_.notify_all();
}

} // namespace writer_test
