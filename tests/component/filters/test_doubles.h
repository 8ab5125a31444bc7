// Platform objects for the framework's tests: a downstream input pin with its
// memory input, an allocator whose GetBuffer blocks until a buffer is free or
// the allocator is decommitted, media samples, an event sink inside a graph,
// and a reference clock. They record the calls made on them and can be told to
// fail. The test owns them; their counts only show who still holds them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "bounded_wait.h"
#include "platform/dshow.h"

using test_support::WaitUntil;

class TestAllocator;

class TestSample final : public IMediaSample {
public:
    TestSample(TestAllocator* owner, LONG size) : owner_(owner), buffer_(size) {}

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override;
    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override { return static_cast<LONG>(buffer_.size()); }
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT IsSyncPoint() override { return syncPoint_ ? S_OK : S_FALSE; }
    HRESULT SetSyncPoint(BOOL syncPoint) override;
    HRESULT IsPreroll() override { return S_FALSE; }
    HRESULT SetPreroll(BOOL) override { return S_OK; }
    LONG GetActualDataLength() override { return actualLength_; }
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT IsDiscontinuity() override { return S_FALSE; }
    HRESULT SetDiscontinuity(BOOL) override { return S_OK; }
    HRESULT GetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }

    void Recycle();

private:
    TestAllocator* owner_;
    std::vector<BYTE> buffer_;
    std::atomic<ULONG> references_{0};
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME end_ = 0;
    bool syncPoint_ = false;
    LONG actualLength_ = 0;
};

class TestAllocator final : public IMemAllocator {
public:
    TestAllocator() = default;
    ~TestAllocator();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override { return --references_; }
    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                      DWORD flags) override;
    HRESULT ReleaseBuffer(IMediaSample* sample) override;

    void Returned(TestSample* sample);

    // Settings.
    LONG grantBufferSize = -1; // when not -1, the size granted whatever was asked
    HRESULT setPropertiesResult = S_OK;
    HRESULT decommitResult = S_OK;

    // Observations.
    std::atomic<ULONG> references_{0};
    std::atomic<int> commits{0};
    std::atomic<int> decommits{0};
    std::atomic<int> waiting{0};
    std::atomic<int> buffersHandedOut{0};
    ALLOCATOR_PROPERTIES requested{};
    int setPropertiesCalls = 0;
    bool committed() {
        std::lock_guard lock(mutex_);
        return committed_;
    }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    bool committed_ = false;
    ALLOCATOR_PROPERTIES actual_{};
    std::vector<TestSample*> all_;
    std::vector<TestSample*> free_;
};

// What a delivered sample carried.
struct ReceivedSample {
    LONG length;
    REFERENCE_TIME start;
    REFERENCE_TIME end;
    std::vector<BYTE> bytes;
};

class TestInputPin final : public IPin, public IMemInputPin {
public:
    explicit TestInputPin(PIN_DIRECTION direction = PINDIR_INPUT) : direction_(direction) {}
    ~TestInputPin();

    // IUnknown, shared by both faces.
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override { return --references_; }
    // IPin
    HRESULT Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    HRESULT QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // IMemInputPin
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveMultiple(IMediaSample**, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT ReceiveCanBlock() override { return S_FALSE; }

    // The types this pin proposes, in order (copies owned by the pin).
    void AddType(const AM_MEDIA_TYPE& type);
    // Gives back the samples kept by a holding Receive.
    void ReleaseHeldSamples();
    std::vector<ReceivedSample> Received();

    // Settings.
    bool offerMemoryInput = true;
    bool offerTypes = true;
    bool offerAllocator = true;
    bool holdSamples = false; // Receive keeps a reference, as a slow encoder would
    HRESULT receiveConnectionResult = S_OK;
    HRESULT notifyAllocatorResult = S_OK;
    IMemAllocator* refuseNotifyFor = nullptr; // NotifyAllocator fails for this one only
    HRESULT receiveResult = S_OK;
    bool hasRequirements = false;
    ALLOCATOR_PROPERTIES requirements{};
    TestAllocator allocator;

    // Observations.
    std::atomic<ULONG> references_{0};
    std::atomic<int> receiveCount{0}; // every Receive; only the first 1000 are kept
    std::atomic<int> endOfStreams{0};
    std::atomic<int> enumeratorsCreated{0};
    std::atomic<int> liveEnumerators{0};
    std::atomic<int> receiveConnections{0};
    std::atomic<int> disconnects{0};
    std::atomic<int> beginFlushes{0};
    std::atomic<int> endFlushes{0};
    std::vector<GUID> offeredSubtypes; // subtypes passed to ReceiveConnection, in order
    IMemAllocator* notifiedAllocator = nullptr;
    IPin* connector = nullptr;
    REFERENCE_TIME segmentStart = 0;

private:
    PIN_DIRECTION direction_;
    std::vector<AM_MEDIA_TYPE> types_;
    std::mutex mutex_;
    std::vector<ReceivedSample> received_;
    std::vector<IMediaSample*> held_;
};

struct GraphEvent {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
};

class TestEventSink final : public IMediaEventSink {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override { return --references_; }
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    std::vector<GraphEvent> Events();

    std::atomic<ULONG> references_{0};
    HRESULT notifyResult = S_OK;

private:
    std::mutex mutex_;
    std::vector<GraphEvent> events_;
};

class TestGraph final : public IFilterGraph {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override { return --references_; }
    HRESULT AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }

    bool offerSink = true;
    TestEventSink sink;
    std::atomic<ULONG> references_{0};
};

class TestClock final : public IReferenceClock {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override { return --references_; }
    HRESULT GetTime(REFERENCE_TIME* time) override;
    HRESULT AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HANDLE, DWORD_PTR*) override {
        return E_NOTIMPL;
    }
    HRESULT AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HANDLE, DWORD_PTR*) override {
        return E_NOTIMPL;
    }
    HRESULT Unadvise(DWORD_PTR) override { return E_NOTIMPL; }

    REFERENCE_TIME now = 0;
    HRESULT getTimeResult = S_OK;
    std::atomic<ULONG> references_{0};
};

// A 16-bit PCM wave format.
WAVEFORMATEX PcmFormat(WORD channels, DWORD rate);
