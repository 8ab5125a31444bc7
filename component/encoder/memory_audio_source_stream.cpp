#include "encoder/memory_audio_source_stream.h"

#include "encoder/memory_audio_source.h"
#include "encoder/sample_times.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The wave format's fields before its extra-size field. A block that holds
// them but not the extra size is taken with an extra size of 0.
constexpr ULONG kWaveFormatBaseSize = 16;

} // namespace

CMemoryAudioSourceStream::CMemoryAudioSourceStream(HRESULT* result, CMemoryAudioSource* filter)
    : CSourceStream("CMemoryAudioSourceStream", result, filter, u"CMemoryAudioSourceStream") {}

CMemoryAudioSourceStream::~CMemoryAudioSourceStream() = default;

HRESULT CMemoryAudioSourceStream::ValidateMediaType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    if (!(type->majortype == MEDIATYPE_Audio) || !(type->subtype == MEDIASUBTYPE_PCM) ||
        !(type->formattype == FORMAT_WaveFormatEx)) {
        return S_FALSE;
    }
    // Never read past the format block a peer hands over.
    if (type->pbFormat == nullptr || type->cbFormat < kWaveFormatBaseSize) {
        return S_FALSE;
    }
    WAVEFORMATEX format{};
    std::memcpy(&format, type->pbFormat, std::min<std::size_t>(type->cbFormat, sizeof format));
    waveFormat_ = format;
    return S_OK;
}

HRESULT CMemoryAudioSourceStream::MediaTypeAt(int position, AM_MEDIA_TYPE* type) {
    if (position != 0) {
        return VFW_S_NO_MORE_ITEMS;
    }
    if (type == nullptr) {
        return E_POINTER;
    }
    // The stored format has no extra bytes behind it.
    WAVEFORMATEX format = waveFormat_;
    format.cbSize = 0;
    return BuildAudioMediaType(&format, type, true);
}

HRESULT CMemoryAudioSourceStream::SizeBuffers(IMemAllocator* allocator,
                                              ALLOCATOR_PROPERTIES* request) {
    if (allocator == nullptr || request == nullptr) {
        return E_POINTER;
    }
    const long long bytes = static_cast<long long>(waveFormat_.nBlockAlign) * framesPerBuffer_;
    if (bytes <= 0 || bytes > std::numeric_limits<LONG>::max()) {
        return E_INVALIDARG;
    }
    request->cBuffers = 1;
    request->cbBuffer = static_cast<LONG>(bytes);
    request->cbAlign = 1;
    request->cbPrefix = 0;
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) {
        return hr;
    }
    if (actual.cBuffers < request->cBuffers || actual.cbBuffer < request->cbBuffer) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CMemoryAudioSourceStream::FillSample(IMediaSample* sample) {
    if (sample == nullptr) {
        return E_POINTER;
    }
    const LONG size = sample->GetSize();
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) {
        return hr;
    }
    std::unique_ptr<PcmBlock> block;
    hr = queue_.Pop(&block);
    if (FAILED(hr)) {
        return hr;
    }
    if (block == nullptr) {
        return S_FALSE; // the end marker
    }
    const std::size_t length = block->size();
    if (size < 0 || length > static_cast<std::size_t>(size) || data == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(data, block->data(), length);
    const DWORD rate = waveFormat_.nSamplesPerSec;
    REFERENCE_TIME start = FramesToReferenceTime(framesDelivered_, rate);
    if (waveFormat_.nBlockAlign != 0) {
        framesDelivered_ += length / waveFormat_.nBlockAlign; // whole frames only
    }
    REFERENCE_TIME end = FramesToReferenceTime(framesDelivered_, rate);
    sample->SetTime(&start, &end);
    sample->SetActualDataLength(static_cast<LONG>(length));
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

HRESULT CMemoryAudioSourceStream::PushLoop() {
    const HRESULT hr = CSourceStream::PushLoop();
    queue_.Close();
    return hr;
}

// Running again after a stop takes blocks again; what the earlier run left
// in the queue is dropped.
HRESULT CMemoryAudioSourceStream::OnActivate() {
    if (!HasWorker()) {
        queue_.Reopen();
    }
    return CSourceStream::OnActivate();
}

HRESULT CMemoryAudioSourceStream::OnDeactivate() {
    // A worker waiting for a block wakes with a failure once the queue closes;
    // that is the stop, not an error of the stream.
    MarkStopping();
    queue_.Close();
    return CSourceStream::OnDeactivate();
}
