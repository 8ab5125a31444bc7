// The output pin of the memory audio source: it offers and accepts 16-bit PCM,
// asks for one buffer of a fixed number of frames, and on its worker thread
// moves each queued PCM block into one media sample stamped with times from
// the count of frames delivered so far.
#pragma once

#include "encoder/pcm_block_queue.h"
#include "filters/source_stream.h"

#include <cstdint>

class CMemoryAudioSource;

class CMemoryAudioSourceStream : public CSourceStream {
public:
    CMemoryAudioSourceStream(HRESULT* result, CMemoryAudioSource* filter);
    ~CMemoryAudioSourceStream() override;

    HRESULT FillSample(IMediaSample* sample) override;
    // Once the push loop has ended the worker takes no more blocks, so the
    // queue is closed and a waiting producer is released.
    HRESULT PushLoop() override;
    // Stopping closes the queue first: a worker waiting for a block wakes up
    // and answers the stop even when no end marker was queued.
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;

    HRESULT ValidateMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT MediaTypeAt(int position, AM_MEDIA_TYPE* type) override;
    HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

    // Set while the pin is unconnected, before the worker exists.
    void SetWaveFormat(const WAVEFORMATEX& format) { waveFormat_ = format; }
    void SetFramesPerBuffer(LONG frames) { framesPerBuffer_ = frames; }
    const WAVEFORMATEX& WaveFormat() const { return waveFormat_; }
    LONG FramesPerBuffer() const { return framesPerBuffer_; }
    // Written by the worker thread only; read it once the worker has ended.
    std::uint64_t FramesDelivered() const { return framesDelivered_; }

    PcmBlockQueue& Queue() { return queue_; }

private:
    PcmBlockQueue queue_{2};
    LONG framesPerBuffer_ = 256;
    WAVEFORMATEX waveFormat_{};
    std::uint64_t framesDelivered_ = 0;
};
