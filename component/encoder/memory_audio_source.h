// A push source filter whose only input is memory: blocks of 16-bit PCM
// handed over by the producing thread are delivered downstream by the output
// pin's worker thread, one block per media sample.
#pragma once

#include "filters/source.h"

class CMemoryAudioSourceStream;

// {E193D673-55E7-4C9C-A45C-62C61E8438A7}
inline constexpr CLSID CLSID_MemoryAudioSource = {
    0xE193D673, 0x55E7, 0x4C9C, {0xA4, 0x5C, 0x62, 0xC6, 0x1E, 0x84, 0x38, 0xA7}};

class CMemoryAudioSource : public CSource {
public:
    // The result tells whether the output pin could be made and attached.
    explicit CMemoryAudioSource(HRESULT* result);
    ~CMemoryAudioSource() override;

    // Both refuse with VFW_E_ALREADY_CONNECTED once the pin is connected.
    HRESULT SetWaveFormat(const WAVEFORMATEX* format);
    HRESULT SetFramesPerBuffer(LONG frames);
    // Copies the bytes into a new block and queues it, waiting while the queue
    // is full. VFW_E_NOT_CONNECTED on an unconnected pin; S_OK without queueing
    // for zero bytes; VFW_E_WRONG_STATE once the worker takes no more blocks.
    HRESULT QueuePcm(const BYTE* data, DWORD byteCount);
    // Queues the end marker behind the waiting blocks; VFW_E_WRONG_STATE once
    // the worker takes no more blocks.
    HRESULT QueueEndOfStream();

    bool IsOutputConnected();
    CMemoryAudioSourceStream* Stream() const { return stream_; }

private:
    CMemoryAudioSourceStream* stream_ = nullptr;
};
