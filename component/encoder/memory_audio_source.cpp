#include "encoder/memory_audio_source.h"

#include "encoder/memory_audio_source_stream.h"

#include <memory>
#include <new>

CMemoryAudioSource::CMemoryAudioSource(HRESULT* result)
    : CSource(nullptr, nullptr, CLSID_MemoryAudioSource) {
    HRESULT created = S_OK;
    // The stream attaches itself to the filter, which then owns it.
    stream_ = new (std::nothrow) CMemoryAudioSourceStream(&created, this);
    if (stream_ == nullptr) {
        created = E_OUTOFMEMORY;
    }
    if (result != nullptr) {
        *result = created;
    }
}

CMemoryAudioSource::~CMemoryAudioSource() = default;

bool CMemoryAudioSource::IsOutputConnected() {
    return stream_ != nullptr && stream_->IsConnected();
}

HRESULT CMemoryAudioSource::SetWaveFormat(const WAVEFORMATEX* format) {
    if (stream_ == nullptr) {
        return E_UNEXPECTED;
    }
    if (format == nullptr) {
        return E_POINTER;
    }
    if (stream_->IsConnected()) {
        return VFW_E_ALREADY_CONNECTED;
    }
    stream_->SetWaveFormat(*format);
    return S_OK;
}

HRESULT CMemoryAudioSource::SetFramesPerBuffer(LONG frames) {
    if (stream_ == nullptr) {
        return E_UNEXPECTED;
    }
    if (stream_->IsConnected()) {
        return VFW_E_ALREADY_CONNECTED;
    }
    stream_->SetFramesPerBuffer(frames);
    return S_OK;
}

HRESULT CMemoryAudioSource::QueuePcm(const BYTE* data, DWORD byteCount) {
    if (!IsOutputConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    // An empty block carries nothing to deliver, and must never be mistaken
    // for the end marker.
    if (byteCount == 0) {
        return S_OK;
    }
    if (data == nullptr) {
        return E_POINTER;
    }
    std::unique_ptr<PcmBlock> block;
    try {
        block = std::make_unique<PcmBlock>(data, data + byteCount);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return stream_->Queue().Push(std::move(block));
}

HRESULT CMemoryAudioSource::QueueEndOfStream() {
    if (stream_ == nullptr) {
        return E_UNEXPECTED;
    }
    return stream_->Queue().Push(nullptr);
}
