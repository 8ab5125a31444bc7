#include "media/memory_allocator.h"

#include "media/media_sample.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <new>

namespace media {

namespace {

std::atomic<long> blocksInUse{0};

bool IsPowerOfTwo(LONG value) {
    return value > 0 && (value & (value - 1)) == 0;
}

// Bytes from one buffer's prefix to the next one's.
std::int64_t Stride(const ALLOCATOR_PROPERTIES& p) {
    const std::int64_t raw = std::int64_t{p.cbPrefix} + p.cbBuffer;
    return (raw + p.cbAlign - 1) / p.cbAlign * p.cbAlign;
}

} // namespace

long MemoryAllocatorBlocksInUse() {
    return blocksInUse.load();
}

HRESULT CreateMemoryAllocator(IMemAllocator** allocator) {
    return com::CreateNew<MemoryAllocator>(allocator);
}

HRESULT CreateMemoryAllocatorInstance(IUnknown* outer, REFIID iid, void** object) {
    return com::CreateInstance<MemoryAllocator>(outer, iid, object);
}

MemoryAllocator::~MemoryAllocator() {
    FreeBuffers();
}

HRESULT MemoryAllocator::SetProperties(ALLOCATOR_PROPERTIES* request,
                                       ALLOCATOR_PROPERTIES* actual) {
    if (request == nullptr || actual == nullptr)
        return E_POINTER;
    ALLOCATOR_PROPERTIES wanted = *request;
    if (wanted.cbAlign == 0)
        wanted.cbAlign = 1;
    if (!IsPowerOfTwo(wanted.cbAlign))
        return VFW_E_BADALIGN;
    if (wanted.cBuffers < 0 || wanted.cbBuffer < 0 || wanted.cbPrefix < 0)
        return E_INVALIDARG;
    const std::int64_t stride = Stride(wanted);
    if (stride - wanted.cbPrefix > std::numeric_limits<LONG>::max())
        return E_INVALIDARG;
    std::lock_guard guard(lock_);
    if (committed_)
        return VFW_E_ALREADY_COMMITTED;
    if (outstanding_ > 0)
        return VFW_E_BUFFERS_OUTSTANDING;
    wanted.cbBuffer = static_cast<LONG>(stride - wanted.cbPrefix);
    properties_ = wanted;
    propertiesSet_ = true;
    *actual = properties_;
    return S_OK;
}

HRESULT MemoryAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
    if (properties == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    *properties = properties_;
    return S_OK;
}

HRESULT MemoryAllocator::Commit() {
    std::lock_guard guard(lock_);
    if (!propertiesSet_ || properties_.cBuffers <= 0 || properties_.cbBuffer <= 0)
        return VFW_E_SIZENOTSET;
    if (committed_)
        return S_OK;
    // After a Decommit with samples still out the old block lives on; reuse it.
    if (block_ == nullptr) {
        const std::int64_t stride = Stride(properties_);
        const std::int64_t total = stride * properties_.cBuffers + properties_.cbAlign;
        if (total > std::numeric_limits<std::int32_t>::max())
            return E_OUTOFMEMORY;
        block_ = new (std::nothrow) BYTE[static_cast<std::size_t>(total)];
        if (block_ == nullptr)
            return E_OUTOFMEMORY;
        ++blocksInUse;
        // First buffer's data (after its prefix) on an aligned address.
        const auto base = reinterpret_cast<std::uintptr_t>(block_) +
                          static_cast<std::uintptr_t>(properties_.cbPrefix);
        const auto align = static_cast<std::uintptr_t>(properties_.cbAlign);
        BYTE* data = block_ + ((align - base % align) % align) + properties_.cbPrefix;
        samples_.reserve(static_cast<std::size_t>(properties_.cBuffers));
        for (LONG i = 0; i < properties_.cBuffers; ++i) {
            auto sample = std::unique_ptr<MediaSample>(
                new (std::nothrow) MediaSample(this, data + i * stride, properties_.cbBuffer));
            if (sample == nullptr) {
                FreeBuffers();
                return E_OUTOFMEMORY;
            }
            free_.push_back(sample.get());
            samples_.push_back(std::move(sample));
        }
    }
    committed_ = true;
    return S_OK;
}

HRESULT MemoryAllocator::Decommit() {
    std::lock_guard guard(lock_);
    if (!committed_)
        return S_OK;
    committed_ = false;
    if (outstanding_ == 0)
        FreeBuffers();
    bufferFreed_.notify_all();
    return S_OK;
}

void MemoryAllocator::FreeBuffers() {
    free_.clear();
    samples_.clear();
    if (block_ != nullptr)
        --blocksInUse;
    delete[] block_;
    block_ = nullptr;
}

HRESULT MemoryAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*,
                                   DWORD flags) {
    if (sample == nullptr)
        return E_POINTER;
    *sample = nullptr;
    std::unique_lock guard(lock_);
    for (;;) {
        if (!committed_)
            return VFW_E_NOT_COMMITTED;
        if (!free_.empty())
            break;
        if ((flags & AM_GBF_NOWAIT) != 0)
            return VFW_E_TIMEOUT;
        bufferFreed_.wait(guard);
    }
    MediaSample* taken = free_.back();
    free_.pop_back();
    ++outstanding_;
    taken->PrepareForUse();
    AddRef();
    *sample = taken;
    return S_OK;
}

HRESULT MemoryAllocator::ReleaseBuffer(IMediaSample* sample) {
    if (sample == nullptr)
        return E_POINTER;
    {
        std::lock_guard guard(lock_);
        bool ours = false;
        for (const auto& own : samples_)
            ours = ours || own.get() == sample;
        if (!ours)
            return E_INVALIDARG;
    }
    sample->Release();
    return S_OK;
}

void MemoryAllocator::ReturnSample(MediaSample* sample) {
    std::lock_guard guard(lock_);
    free_.push_back(sample);
    --outstanding_;
    if (!committed_ && outstanding_ == 0)
        FreeBuffers();
    bufferFreed_.notify_one();
}

} // namespace media
