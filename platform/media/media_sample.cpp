#include "media/media_sample.h"

#include "media/media_type_util.h"
#include "media/memory_allocator.h"

namespace media {
namespace {

// A sample's flags answer S_OK when set and S_FALSE when not.
HRESULT FlagAnswer(bool flag) {
    return flag ? S_OK : S_FALSE;
}

HRESULT StoreFlag(bool& flag, BOOL value) {
    flag = value != FALSE;
    return S_OK;
}

} // namespace

MediaSample::MediaSample(MemoryAllocator* allocator, BYTE* buffer, LONG size)
    : allocator_(allocator), buffer_(buffer), size_(size), actual_(size) {}

MediaSample::~MediaSample() {
    ClearMediaType();
}

void MediaSample::ClearMediaType() {
    DeleteMediaType(type_);
    type_ = nullptr;
}

void MediaSample::PrepareForUse() {
    RestartReferences();
    actual_ = size_;
    timeValid_ = stopValid_ = mediaTimeValid_ = false;
    syncPoint_ = preroll_ = discontinuity_ = false;
    ClearMediaType();
}

void MediaSample::LastReleased() {
    // The allocator may free this sample while taking it back.
    MemoryAllocator* allocator = allocator_;
    allocator->ReturnSample(this);
    allocator->Release();
}

HRESULT MediaSample::GetPointer(BYTE** buffer) {
    if (buffer == nullptr)
        return E_POINTER;
    *buffer = buffer_;
    return S_OK;
}

LONG MediaSample::GetSize() {
    return size_;
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    if (start == nullptr || end == nullptr)
        return E_POINTER;
    if (!timeValid_)
        return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = start_;
    if (!stopValid_) {
        *end = start_ + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *end = end_;
    return S_OK;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    timeValid_ = start != nullptr;
    stopValid_ = timeValid_ && end != nullptr;
    start_ = timeValid_ ? *start : 0;
    end_ = stopValid_ ? *end : 0;
    return S_OK;
}

HRESULT MediaSample::IsSyncPoint() {
    return FlagAnswer(syncPoint_);
}
HRESULT MediaSample::SetSyncPoint(BOOL syncPoint) {
    return StoreFlag(syncPoint_, syncPoint);
}

HRESULT MediaSample::IsPreroll() {
    return FlagAnswer(preroll_);
}
HRESULT MediaSample::SetPreroll(BOOL preroll) {
    return StoreFlag(preroll_, preroll);
}

HRESULT MediaSample::IsDiscontinuity() {
    return FlagAnswer(discontinuity_);
}
HRESULT MediaSample::SetDiscontinuity(BOOL discontinuity) {
    return StoreFlag(discontinuity_, discontinuity);
}

LONG MediaSample::GetActualDataLength() {
    return actual_;
}

HRESULT MediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > size_)
        return VFW_E_BUFFER_OVERFLOW;
    actual_ = length;
    return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
    if (type == nullptr)
        return E_POINTER;
    *type = nullptr;
    if (type_ == nullptr)
        return S_FALSE;
    *type = CreateMediaTypeCopy(type_);
    return *type == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT MediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) {
        ClearMediaType();
        return S_OK;
    }
    AM_MEDIA_TYPE* copy = CreateMediaTypeCopy(type);
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    ClearMediaType();
    type_ = copy;
    return S_OK;
}

HRESULT MediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
    if (start == nullptr || end == nullptr)
        return E_POINTER;
    if (!mediaTimeValid_)
        return VFW_E_MEDIA_TIME_NOT_SET;
    *start = mediaStart_;
    *end = mediaEnd_;
    return S_OK;
}

HRESULT MediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
    if (start == nullptr) {
        mediaTimeValid_ = false;
        return S_OK;
    }
    if (end == nullptr)
        return E_POINTER;
    mediaTimeValid_ = true;
    mediaStart_ = *start;
    mediaEnd_ = *end;
    return S_OK;
}

} // namespace media
