#include "test_filters.h"

#include <chrono>
#include <thread>

namespace media_test {

namespace {

std::atomic<int> liveFilters{0};

constexpr CLSID kSourceClass = {0x5E1F0001, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};
constexpr CLSID kRendererClass = {0x5E1F0002, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 2}};

void CopyName(const char16_t* name, WCHAR* target) {
    std::size_t i = 0;
    for (; name[i] != u'\0'; ++i)
        target[i] = name[i];
    target[i] = u'\0';
}

} // namespace

int LiveTestFilters() {
    return liveFilters.load();
}

AM_MEDIA_TYPE MakePcmType() {
    AM_MEDIA_TYPE type;
    media::ResetMediaType(&type);
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    type.lSampleSize = 4;
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof format));
    std::memcpy(type.pbFormat, &format, sizeof format);
    type.cbFormat = sizeof format;
    return type;
}

// ---- Source -------------------------------------------------------------------------

// A minimal output pin: connects with the PCM type, takes the input pin's
// allocator, and runs the source's worker while the filter is not stopped.
class TestSource::OutputPin final : public IPin, public media::FilterPin {
public:
    explicit OutputPin(TestSource* filter) : filter_(filter) { media::ResetMediaType(&type_); }
    ~OutputPin() {
        ReleaseConnection();
        media::FreeMediaTypeContents(&type_);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IPin) {
            AddRef();
            *object = static_cast<IPin*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return filter_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return filter_->Release(); }

    HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override {
        std::lock_guard guard(filter_->FilterLock());
        if (peer_ != nullptr)
            return VFW_E_ALREADY_CONNECTED;
        if (!filter_->IsStopped())
            return VFW_E_NOT_STOPPED;
        AM_MEDIA_TYPE proposed = MakePcmType();
        if (type != nullptr)
            media::CopyMediaType(&proposed, type);
        HRESULT hr = receiver->ReceiveConnection(this, &proposed);
        if (SUCCEEDED(hr)) {
            media::CopyMediaType(&type_, &proposed);
            peer_ = receiver;
            peer_->AddRef();
            hr = SetUpAllocator();
            if (FAILED(hr)) {
                receiver->Disconnect();
                ReleaseConnection();
            }
        }
        media::FreeMediaTypeContents(&proposed);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
        return E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override {
        std::lock_guard guard(filter_->FilterLock());
        if (!filter_->IsStopped())
            return VFW_E_NOT_STOPPED;
        if (peer_ == nullptr)
            return S_FALSE;
        ReleaseConnection();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
        std::lock_guard guard(filter_->FilterLock());
        *pin = peer_;
        if (peer_ == nullptr)
            return VFW_E_NOT_CONNECTED;
        peer_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override {
        std::lock_guard guard(filter_->FilterLock());
        media::ResetMediaType(type);
        return peer_ == nullptr ? VFW_E_NOT_CONNECTED : media::CopyMediaType(type, &type_);
    }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
        info->pFilter = filter_;
        filter_->AddRef();
        info->dir = PINDIR_OUTPUT;
        CopyName(u"Out", info->achName);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
        *direction = PINDIR_OUTPUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(4 * sizeof(WCHAR)));
        CopyName(u"Out", *id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override {
        return S_OK;
    }

    IPin* AsPin() override { return this; }
    HRESULT Activate() override {
        if (peer_ == nullptr)
            return S_OK;
        const HRESULT hr = allocator_->Commit();
        if (FAILED(hr))
            return hr;
        stopping_.store(false);
        worker_ = std::thread([this] { filter_->Work(); });
        return S_OK;
    }
    HRESULT Deactivate() override {
        if (!worker_.joinable())
            return S_OK;
        // Decommitting first wakes a worker that waits for a buffer.
        allocator_->Decommit();
        stopping_.store(true);
        worker_.join();
        return S_OK;
    }

    bool Stopping() const { return stopping_.load(); }
    IPin* Peer() const { return peer_; }
    IMemInputPin* Input() const { return input_; }
    IMemAllocator* Allocator() const { return allocator_; }

private:
    HRESULT SetUpAllocator() {
        HRESULT hr = peer_->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input_));
        if (FAILED(hr))
            return hr;
        ALLOCATOR_PROPERTIES requirements{};
        input_->GetAllocatorRequirements(&requirements);
        hr = input_->GetAllocator(&allocator_);
        if (FAILED(hr))
            return hr;
        const SourcePlan& plan = filter_->plan_;
        ALLOCATOR_PROPERTIES wanted{plan.buffers, plan.sampleBytes, 1, 0};
        ALLOCATOR_PROPERTIES actual{};
        hr = allocator_->SetProperties(&wanted, &actual);
        if (SUCCEEDED(hr) &&
            (actual.cBuffers < wanted.cBuffers || actual.cbBuffer < wanted.cbBuffer))
            hr = E_FAIL;
        if (SUCCEEDED(hr))
            hr = input_->NotifyAllocator(allocator_, FALSE);
        return hr;
    }
    void ReleaseConnection() {
        if (allocator_ != nullptr)
            allocator_->Release();
        if (input_ != nullptr)
            input_->Release();
        if (peer_ != nullptr)
            peer_->Release();
        allocator_ = nullptr;
        input_ = nullptr;
        peer_ = nullptr;
    }

    TestSource* const filter_;
    AM_MEDIA_TYPE type_;
    IPin* peer_ = nullptr;
    IMemInputPin* input_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
    std::thread worker_;
    std::atomic<bool> stopping_{false};
};

TestSource* TestSource::Create(const SourcePlan& plan) {
    return new TestSource(plan);
}

TestSource::TestSource(const SourcePlan& plan)
    : FilterBase(kSourceClass), plan_(plan), pin_(std::make_unique<OutputPin>(this)) {
    AddPin(pin_.get());
    ++liveFilters;
}

TestSource::~TestSource() {
    --liveFilters;
}

IPin* TestSource::Output() {
    return pin_.get();
}

bool TestSource::WaitForBufferRequests(int count, int milliseconds) {
    std::unique_lock guard(progressLock_);
    return progress_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                              [&] { return bufferRequests_ >= count; });
}

void TestSource::Work() {
    OutputPin& pin = *pin_;
    for (int index = 0; plan_.endless || index < plan_.samples;) {
        if (pin.Stopping())
            return;
        {
            std::lock_guard guard(progressLock_);
            ++bufferRequests_;
        }
        progress_.notify_all();
        IMediaSample* sample = nullptr;
        if (FAILED(pin.Allocator()->GetBuffer(&sample, nullptr, nullptr, 0))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        for (LONG k = 0; k < plan_.sampleBytes; ++k)
            data[k] = static_cast<BYTE>(index * plan_.sampleBytes + k);
        sample->SetActualDataLength(plan_.sampleBytes);
        REFERENCE_TIME start = index * 1000;
        REFERENCE_TIME end = start + 1000;
        sample->SetTime(&start, &end);
        sample->SetSyncPoint(TRUE);
        const HRESULT hr = pin.Input()->Receive(sample);
        sample->Release();
        if (hr != S_OK)
            return; // refused downstream: stop quietly
        ++delivered_;
        ++index;
        if (plan_.abortAfter != 0 && index == plan_.abortAfter) {
            NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
            return;
        }
    }
    pin.Peer()->EndOfStream();
}

// ---- Renderer -----------------------------------------------------------------------

class TestRenderer::InputPin final : public media::InputPinBase {
public:
    explicit InputPin(TestRenderer* filter) : InputPinBase(filter, u"In"), owner_(filter) {}

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        return type->majortype == MEDIATYPE_Audio && type->subtype == MEDIASUBTYPE_PCM ? S_OK
                                                                                       : S_FALSE;
    }
    HRESULT OnReceive(IMediaSample* sample) override { return owner_->Take(sample); }
    HRESULT OnEndOfStream() override {
        owner_->TakeEndOfStream();
        return S_OK;
    }

private:
    TestRenderer* const owner_;
};

TestRenderer* TestRenderer::Create(bool holdSamples) {
    return new TestRenderer(holdSamples);
}

TestRenderer::TestRenderer(bool holdSamples)
    : FilterBase(kRendererClass), holdSamples_(holdSamples),
      pin_(std::make_unique<InputPin>(this)) {
    AddPin(pin_.get());
    ++liveFilters;
}

TestRenderer::~TestRenderer() {
    for (IMediaSample* sample : held_)
        sample->Release();
    --liveFilters;
}

IPin* TestRenderer::Input() {
    return pin_.get();
}

HRESULT TestRenderer::Take(IMediaSample* sample) {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    sample->GetTime(&start, &end);
    {
        std::lock_guard guard(lock_);
        bytes_.insert(bytes_.end(), data, data + sample->GetActualDataLength());
        startTimes_.push_back(start);
        ++samples_;
        if (holdSamples_) {
            sample->AddRef();
            held_.push_back(sample);
        }
    }
    received_.notify_all();
    return S_OK;
}

void TestRenderer::TakeEndOfStream() {
    {
        std::lock_guard guard(lock_);
        ++endOfStreams_;
    }
    NotifyEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT TestRenderer::OnRun(REFERENCE_TIME start) {
    std::lock_guard guard(lock_);
    runStart_ = start;
    return S_OK;
}

void TestRenderer::OnStop() {
    std::vector<IMediaSample*> held;
    {
        std::lock_guard guard(lock_);
        ++stops_;
        held.swap(held_);
    }
    for (IMediaSample* sample : held)
        sample->Release();
}

int TestRenderer::SamplesReceived() const {
    std::lock_guard guard(lock_);
    return samples_;
}
std::vector<BYTE> TestRenderer::Bytes() const {
    std::lock_guard guard(lock_);
    return bytes_;
}
std::vector<REFERENCE_TIME> TestRenderer::StartTimes() const {
    std::lock_guard guard(lock_);
    return startTimes_;
}
int TestRenderer::EndOfStreams() const {
    std::lock_guard guard(lock_);
    return endOfStreams_;
}
REFERENCE_TIME TestRenderer::RunStart() const {
    std::lock_guard guard(lock_);
    return runStart_;
}
int TestRenderer::Stops() const {
    std::lock_guard guard(lock_);
    return stops_;
}

bool TestRenderer::WaitForSamples(int count, int milliseconds) {
    std::unique_lock guard(lock_);
    return received_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                              [&] { return samples_ >= count; });
}

} // namespace media_test
