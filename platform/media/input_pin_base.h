// The base of an input pin of the platform's own filters: the passive side of
// a connection (IPin) and the sample transport (IMemInputPin).
//
// Hooks for the derived pin:
//   CheckMediaType(type)       S_OK accepts a type offered by ReceiveConnection or
//                              QueryAccept; anything else refuses it.
//   GetMediaType(i, type)      fills the i-th type the pin proposes (S_OK) or
//                              answers VFW_S_NO_MORE_ITEMS; the default proposes
//                              none, so EnumMediaTypes gives an empty enumerator.
//   OnConnect(peer, type)      the type was accepted and stored; a failure undoes
//                              the connection. OnDisconnect() undoes OnConnect.
//   OnReceive(sample)          a sample while the filter is paused or running and
//                              not flushing. The pin holds no reference for the
//                              hook: AddRef the sample to keep it.
//   OnEndOfStream()            the end of the stream (once until the next
//                              flush or stop).
//   OnBeginFlush(), OnEndFlush(), OnNewSegment(start, stop, rate).
//   AllocatorRequirements(p)   what GetAllocatorRequirements answers
//                              (default E_NOTIMPL: no requirements).
// Receive, ReceiveMultiple and EndOfStream run the hooks under the pin's
// streaming lock and never under the filter lock. When the filter stops, the
// pin decommits the connection's allocator (so an upstream thread waiting for
// a buffer wakes up) and waits for a streaming hook in progress to return; the
// filter's OnStop therefore runs after the last OnReceive/OnEndOfStream.
// Streaming hooks must not take the filter lock (a stop holds it while it
// waits for them). Filter state changes are the filter's hooks (filter_base.h).
//
// The pin's reference count is its filter's. The pin holds a reference to its
// peer and to the allocator while connected.
#pragma once

#include "media/filter_base.h"

#include <atomic>
#include <mutex>
#include <string>

namespace media {

class PLATFORM_API InputPinBase
    : public com::Interfaces<com::Interface<IPin, IID_IPin>,
                             com::Interface<IMemInputPin, IID_IMemInputPin>>,
      public FilterPin {
public:
    InputPinBase(FilterBase* filter, LPCWSTR name);
    virtual ~InputPinBase();
    InputPinBase(const InputPinBase&) = delete;
    InputPinBase& operator=(const InputPinBase&) = delete;

    // The filter's reference count.
    ULONG STDMETHODCALLTYPE AddRef() override { return filter_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return filter_->Release(); }

    // IPin. An input pin only receives connections: Connect answers E_UNEXPECTED.
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector,
                                                const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
    // The pin's name, in task memory.
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                         double rate) override;

    // IMemInputPin. GetAllocator offers the connection's allocator, creating a
    // memory allocator the first time.
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    // VFW_E_WRONG_STATE while the filter is stopped, S_FALSE while flushing,
    // VFW_E_SAMPLE_REJECTED_EOS after the end of the stream; else OnReceive.
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, LONG count,
                                              LONG* processed) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    // FilterPin
    IPin* AsPin() override { return this; }
    HRESULT Activate() override;
    HRESULT Deactivate() override;

    // ---- For the derived pin and its filter ---------------------------------
    FilterBase* Filter() const { return filter_; }
    bool IsConnected() const;
    // The agreed type; valid while connected (it changes only while stopped).
    const AM_MEDIA_TYPE& ConnectedType() const { return type_; }
    bool IsFlushing() const { return flushing_.load(); }
    REFERENCE_TIME SegmentStart() const { return segmentStart_.load(); }
    REFERENCE_TIME SegmentStop() const { return segmentStop_.load(); }
    double SegmentRate() const { return segmentRate_.load(); }

    // Used by the media-type enumerator.
    HRESULT MediaTypeAt(int position, AM_MEDIA_TYPE* type) { return GetMediaType(position, type); }

protected:
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type);
    virtual HRESULT OnConnect(IPin* peer, const AM_MEDIA_TYPE* type);
    virtual void OnDisconnect();
    virtual HRESULT OnReceive(IMediaSample* sample) = 0;
    virtual HRESULT OnEndOfStream();
    virtual HRESULT OnBeginFlush();
    virtual HRESULT OnEndFlush();
    virtual HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    virtual HRESULT AllocatorRequirements(ALLOCATOR_PROPERTIES* props);

private:
    HRESULT CheckStreaming() const;
    void ReleaseConnection();

    FilterBase* const filter_;
    const std::u16string name_;
    com::Ptr<IPin> peer_;
    AM_MEDIA_TYPE type_;
    com::Ptr<IMemAllocator> allocator_;
    bool readOnly_ = false;
    std::mutex streamLock_;
    std::atomic<bool> flushing_{false};
    std::atomic<bool> endOfStream_{false};
    std::atomic<REFERENCE_TIME> segmentStart_{0};
    std::atomic<REFERENCE_TIME> segmentStop_{0x7FFFFFFFFFFFFFFF};
    std::atomic<double> segmentRate_{1.0};
};

} // namespace media
