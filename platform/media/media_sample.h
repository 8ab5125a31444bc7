// One buffer of the memory allocator as an IMediaSample.
#pragma once

#include "core/com_object.h"
#include "platform/dshow.h"

namespace media {

class MemoryAllocator;

class MediaSample final : public com::Object<com::Interface<IMediaSample, IID_IMediaSample>> {
public:
    MediaSample(MemoryAllocator* allocator, BYTE* buffer, LONG size);
    ~MediaSample() override;

    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** buffer) override;
    LONG STDMETHODCALLTYPE GetSize() override;
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override;
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL syncPoint) override;
    HRESULT STDMETHODCALLTYPE IsPreroll() override;
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL preroll) override;
    LONG STDMETHODCALLTYPE GetActualDataLength() override;
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG length) override;
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override;
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL discontinuity) override;
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG* start, LONGLONG* end) override;
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG* start, LONGLONG* end) override;

    // Called by the allocator when it hands the sample out: one reference, no
    // times, flags or type, the whole buffer as data.
    void PrepareForUse();

private:
    // The last Release hands the sample back to its allocator.
    void LastReleased() override;
    void ClearMediaType();

    MemoryAllocator* const allocator_;
    BYTE* const buffer_;
    const LONG size_;
    LONG actual_ = 0;
    bool timeValid_ = false;
    bool stopValid_ = false;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME end_ = 0;
    bool mediaTimeValid_ = false;
    LONGLONG mediaStart_ = 0;
    LONGLONG mediaEnd_ = 0;
    bool syncPoint_ = false;
    bool preroll_ = false;
    bool discontinuity_ = false;
    AM_MEDIA_TYPE* type_ = nullptr;
};

} // namespace media
