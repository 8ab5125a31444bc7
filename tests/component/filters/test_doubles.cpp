#include "test_doubles.h"

#include <cstring>

#include "filters/media_type.h"

namespace {

// A QueryInterface answer: `face` with a reference added when it answers the
// identifier asked for, otherwise E_NOINTERFACE.
template <class Face> HRESULT AnswerWith(Face* face, bool answers, void** object) {
    if (!answers) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = face;
    face->AddRef();
    return S_OK;
}

// IEnumMediaTypes over a copy of a list of types; deletes itself.
class TestTypeEnumerator final : public IEnumMediaTypes {
public:
    TestTypeEnumerator(const std::vector<AM_MEDIA_TYPE>& types, std::atomic<int>& live)
        : types_(types), live_(live) {
        ++live_;
    }
    ~TestTypeEnumerator() { --live_; }

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
        ULONG got = 0;
        while (got < count && position_ < types_.size()) {
            auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            CopyMediaRecord(record, types_[position_++]);
            types[got++] = record;
        }
        if (fetched != nullptr) {
            *fetched = got;
        }
        return got == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ += count;
        return position_ <= types_.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumMediaTypes**) override { return E_NOTIMPL; }

private:
    const std::vector<AM_MEDIA_TYPE>& types_;
    std::atomic<int>& live_;
    std::atomic<ULONG> references_{1};
    std::size_t position_ = 0;
};

} // namespace

// ---- TestSample ----

HRESULT TestSample::QueryInterface(REFIID iid, void** object) {
    return AnswerWith(static_cast<IMediaSample*>(this),
                      iid == IID_IUnknown || iid == IID_IMediaSample, object);
}

ULONG TestSample::Release() {
    ULONG left = --references_;
    if (left == 0) {
        owner_->Returned(this);
    }
    return left;
}

HRESULT TestSample::GetPointer(BYTE** buffer) {
    *buffer = buffer_.data();
    return S_OK;
}

HRESULT TestSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    *start = start_;
    *end = end_;
    return S_OK;
}

HRESULT TestSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    start_ = start != nullptr ? *start : 0;
    end_ = end != nullptr ? *end : 0;
    return S_OK;
}

HRESULT TestSample::SetSyncPoint(BOOL syncPoint) {
    syncPoint_ = syncPoint != FALSE;
    return S_OK;
}

HRESULT TestSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > GetSize()) {
        return VFW_E_BUFFER_OVERFLOW;
    }
    actualLength_ = length;
    return S_OK;
}

HRESULT TestSample::GetMediaType(AM_MEDIA_TYPE** type) {
    *type = nullptr;
    return S_FALSE;
}

void TestSample::Recycle() {
    start_ = end_ = 0;
    syncPoint_ = false;
    actualLength_ = 0;
    references_ = 1;
}

// ---- TestAllocator ----

TestAllocator::~TestAllocator() {
    for (TestSample* sample : all_) {
        delete sample;
    }
}

HRESULT TestAllocator::QueryInterface(REFIID iid, void** object) {
    return AnswerWith(static_cast<IMemAllocator*>(this),
                      iid == IID_IUnknown || iid == IID_IMemAllocator, object);
}

HRESULT TestAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
    std::lock_guard lock(mutex_);
    ++setPropertiesCalls;
    requested = *request;
    if (FAILED(setPropertiesResult)) {
        return setPropertiesResult;
    }
    actual_ = *request;
    if (grantBufferSize != -1) {
        actual_.cbBuffer = grantBufferSize;
    }
    for (TestSample* sample : all_) {
        delete sample;
    }
    all_.clear();
    free_.clear();
    for (LONG i = 0; i < actual_.cBuffers; ++i) {
        all_.push_back(new TestSample(this, actual_.cbBuffer));
        free_.push_back(all_.back());
    }
    *actual = actual_;
    return S_OK;
}

HRESULT TestAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
    std::lock_guard lock(mutex_);
    *properties = actual_;
    return S_OK;
}

HRESULT TestAllocator::Commit() {
    std::lock_guard lock(mutex_);
    committed_ = true;
    ++commits;
    return S_OK;
}

HRESULT TestAllocator::Decommit() {
    std::lock_guard lock(mutex_);
    ++decommits;
    if (FAILED(decommitResult)) {
        return decommitResult;
    }
    committed_ = false;
    freed_.notify_all();
    return S_OK;
}

HRESULT TestAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) {
    std::unique_lock lock(mutex_);
    ++waiting;
    // Blocks like the platform's allocator: until a buffer is free or a decommit.
    freed_.wait(lock, [this] { return !committed_ || !free_.empty(); });
    --waiting;
    if (!committed_) {
        *sample = nullptr;
        return VFW_E_NOT_COMMITTED;
    }
    TestSample* taken = free_.back();
    free_.pop_back();
    taken->Recycle();
    ++buffersHandedOut;
    *sample = taken;
    return S_OK;
}

HRESULT TestAllocator::ReleaseBuffer(IMediaSample*) {
    return S_OK;
}

void TestAllocator::Returned(TestSample* sample) {
    std::lock_guard lock(mutex_);
    free_.push_back(sample);
    freed_.notify_all();
}

// ---- TestInputPin ----

TestInputPin::~TestInputPin() {
    ReleaseHeldSamples();
    for (AM_MEDIA_TYPE& type : types_) {
        FreeMediaRecord(type);
    }
}

HRESULT TestInputPin::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IMemInputPin && offerMemoryInput) {
        return AnswerWith(static_cast<IMemInputPin*>(this), true, object);
    }
    return AnswerWith(static_cast<IPin*>(this), iid == IID_IUnknown || iid == IID_IPin, object);
}

HRESULT TestInputPin::ReceiveConnection(IPin* from, const AM_MEDIA_TYPE* type) {
    ++receiveConnections;
    offeredSubtypes.push_back(type->subtype);
    if (FAILED(receiveConnectionResult)) {
        return receiveConnectionResult;
    }
    connector = from;
    connector->AddRef();
    return receiveConnectionResult;
}

HRESULT TestInputPin::Disconnect() {
    ++disconnects;
    if (connector == nullptr) {
        return S_FALSE;
    }
    connector->Release();
    connector = nullptr;
    return S_OK;
}

HRESULT TestInputPin::ConnectedTo(IPin** pin) {
    *pin = connector;
    if (connector == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    connector->AddRef();
    return S_OK;
}

HRESULT TestInputPin::QueryDirection(PIN_DIRECTION* direction) {
    *direction = direction_;
    return S_OK;
}

HRESULT TestInputPin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
    if (!offerTypes) {
        *enumerator = nullptr;
        return E_NOTIMPL;
    }
    ++enumeratorsCreated;
    *enumerator = new TestTypeEnumerator(types_, liveEnumerators);
    return S_OK;
}

HRESULT TestInputPin::EndOfStream() {
    ++endOfStreams;
    return S_OK;
}

HRESULT TestInputPin::BeginFlush() {
    ++beginFlushes;
    return S_OK;
}

HRESULT TestInputPin::EndFlush() {
    ++endFlushes;
    return S_OK;
}

HRESULT TestInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME, double) {
    segmentStart = start;
    return S_OK;
}

HRESULT TestInputPin::GetAllocator(IMemAllocator** out) {
    if (!offerAllocator) {
        *out = nullptr;
        return VFW_E_NO_ALLOCATOR;
    }
    allocator.AddRef();
    *out = &allocator;
    return S_OK;
}

HRESULT TestInputPin::NotifyAllocator(IMemAllocator* chosen, BOOL) {
    if (FAILED(notifyAllocatorResult)) {
        return notifyAllocatorResult;
    }
    if (refuseNotifyFor != nullptr && chosen == refuseNotifyFor) {
        return E_FAIL;
    }
    notifiedAllocator = chosen;
    return S_OK;
}

HRESULT TestInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) {
    if (!hasRequirements) {
        return E_NOTIMPL;
    }
    *properties = requirements;
    return S_OK;
}

HRESULT TestInputPin::Receive(IMediaSample* sample) {
    ReceivedSample copy{};
    copy.length = sample->GetActualDataLength();
    sample->GetTime(&copy.start, &copy.end);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    copy.bytes.assign(data, data + copy.length);
    std::lock_guard lock(mutex_);
    if (received_.size() < 1000) {
        received_.push_back(std::move(copy));
    }
    ++receiveCount;
    if (holdSamples) {
        sample->AddRef();
        held_.push_back(sample);
    }
    return receiveResult;
}

void TestInputPin::AddType(const AM_MEDIA_TYPE& type) {
    AM_MEDIA_TYPE copy;
    CopyMediaRecord(&copy, type);
    types_.push_back(copy);
}

void TestInputPin::ReleaseHeldSamples() {
    std::vector<IMediaSample*> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(held_);
    }
    for (IMediaSample* sample : held) {
        sample->Release();
    }
}

std::vector<ReceivedSample> TestInputPin::Received() {
    std::lock_guard lock(mutex_);
    return received_;
}

// ---- TestEventSink, TestGraph, TestClock ----

HRESULT TestEventSink::QueryInterface(REFIID iid, void** object) {
    return AnswerWith(static_cast<IMediaEventSink*>(this),
                      iid == IID_IUnknown || iid == IID_IMediaEventSink, object);
}

HRESULT TestEventSink::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    std::lock_guard lock(mutex_);
    events_.push_back({code, param1, param2});
    return notifyResult;
}

std::vector<GraphEvent> TestEventSink::Events() {
    std::lock_guard lock(mutex_);
    return events_;
}

HRESULT TestGraph::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IMediaEventSink && offerSink) {
        return AnswerWith(static_cast<IMediaEventSink*>(&sink), true, object);
    }
    return AnswerWith(static_cast<IFilterGraph*>(this),
                      iid == IID_IUnknown || iid == IID_IFilterGraph, object);
}

HRESULT TestClock::GetTime(REFERENCE_TIME* time) {
    if (FAILED(getTimeResult)) {
        return getTimeResult;
    }
    *time = now;
    return S_OK;
}

WAVEFORMATEX PcmFormat(WORD channels, DWORD rate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.cbSize = 0;
    return format;
}
