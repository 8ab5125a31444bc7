// The platform's memory allocator (class CLSID_MemoryAllocator): a fixed set of
// equal buffers in one block, handed out as media samples that come back to the
// allocator on their last Release.
//
// - SetProperties is refused with VFW_E_ALREADY_COMMITTED while committed and
//   VFW_E_BUFFERS_OUTSTANDING while samples are out; the alignment must be a
//   power of two (0 counts as 1). The actual buffer size is the request rounded
//   up so that prefix plus buffer is a multiple of the alignment.
// - Commit allocates the block (VFW_E_SIZENOTSET before SetProperties).
// - Decommit wakes every GetBuffer waiter (they fail with VFW_E_NOT_COMMITTED);
//   the block is freed at once, or when the last outstanding sample comes back.
// - GetBuffer blocks until a buffer is free; with AM_GBF_NOWAIT it answers
//   VFW_E_TIMEOUT instead. Each outstanding sample holds a reference to the
//   allocator.
// - ReleaseBuffer(sample) hands back the caller's reference of one of this
//   allocator's samples, exactly like sample->Release().
#pragma once

#include "core/com_object.h"
#include "platform/dshow.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace media {

class MediaSample;

class MemoryAllocator final : public com::Object<com::Interface<IMemAllocator, IID_IMemAllocator>> {
public:
    MemoryAllocator() = default;

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request,
                                            ALLOCATOR_PROPERTIES* actual) override;
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT STDMETHODCALLTYPE Commit() override;
    HRESULT STDMETHODCALLTYPE Decommit() override;
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                        REFERENCE_TIME* end, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override;

    // A sample's last reference is gone: it becomes free again. May free the
    // sample itself (after a Decommit), so the caller must not touch it after.
    void ReturnSample(MediaSample* sample);

private:
    ~MemoryAllocator() override;
    // Frees the block and the samples; the lock is held and no sample is out.
    void FreeBuffers();

    std::mutex lock_;
    std::condition_variable bufferFreed_;
    ALLOCATOR_PROPERTIES properties_{};
    bool propertiesSet_ = false;
    bool committed_ = false;
    LONG outstanding_ = 0;
    BYTE* block_ = nullptr;
    std::vector<std::unique_ptr<MediaSample>> samples_;
    std::vector<MediaSample*> free_;
};

// Creates a memory allocator with one reference.
PLATFORM_API HRESULT CreateMemoryAllocator(IMemAllocator** allocator);

// Buffer blocks of all memory allocators of the process that are not freed yet.
PLATFORM_API long MemoryAllocatorBlocksInUse();

// The class factory function registered for CLSID_MemoryAllocator.
HRESULT CreateMemoryAllocatorInstance(IUnknown* outer, REFIID iid, void** object);

} // namespace media
