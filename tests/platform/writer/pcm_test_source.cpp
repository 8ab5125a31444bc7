#include "pcm_test_source.h"

#include <chrono>
#include <cstring>

namespace writer_test {
namespace {

constexpr CLSID kPcmSourceClass = {0x6A1E0001, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 7}};

HRESULT MakeType(const WAVEFORMATEX& format, AM_MEDIA_TYPE* type) {
    media::ResetMediaType(type);
    type->majortype = MEDIATYPE_Audio;
    type->subtype = MEDIASUBTYPE_PCM;
    type->formattype = FORMAT_WaveFormatEx;
    type->lSampleSize = format.nBlockAlign;
    type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof format));
    if (type->pbFormat == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(type->pbFormat, &format, sizeof format);
    type->cbFormat = sizeof format;
    return S_OK;
}

void CopyName(const char16_t* name, WCHAR* target) {
    std::size_t i = 0;
    for (; name[i] != u'\0'; ++i) {
        target[i] = name[i];
    }
    target[i] = u'\0';
}

} // namespace

class PcmTestSource::OutputPin final : public IPin, public media::FilterPin {
public:
    explicit OutputPin(PcmTestSource* filter) : filter_(filter) {}
    ~OutputPin() { ReleaseConnection(); }

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

    HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE*) override {
        std::lock_guard guard(filter_->FilterLock());
        if (peer_ != nullptr) {
            return VFW_E_ALREADY_CONNECTED;
        }
        AM_MEDIA_TYPE type;
        HRESULT hr = MakeType(filter_->plan_.format, &type);
        if (SUCCEEDED(hr)) {
            hr = receiver->ReceiveConnection(this, &type);
        }
        media::FreeMediaTypeContents(&type);
        if (FAILED(hr)) {
            return hr;
        }
        peer_ = receiver;
        peer_->AddRef();
        hr = SetUpAllocator();
        if (FAILED(hr)) {
            receiver->Disconnect();
            ReleaseConnection();
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
        return E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override {
        std::lock_guard guard(filter_->FilterLock());
        if (peer_ == nullptr) {
            return S_FALSE;
        }
        ReleaseConnection();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
        std::lock_guard guard(filter_->FilterLock());
        *pin = peer_;
        if (peer_ == nullptr) {
            return VFW_E_NOT_CONNECTED;
        }
        peer_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override {
        return peer_ == nullptr ? VFW_E_NOT_CONNECTED : MakeType(filter_->plan_.format, type);
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
        if (peer_ == nullptr) {
            return S_OK;
        }
        const HRESULT hr = allocator_->Commit();
        if (FAILED(hr)) {
            return hr;
        }
        {
            std::lock_guard guard(filter_->lock_);
            filter_->stopping_ = false;
            filter_->delivered_ = false;
        }
        worker_ = std::thread([this] { filter_->Work(); });
        return S_OK;
    }
    HRESULT Deactivate() override {
        if (!worker_.joinable()) {
            return S_OK;
        }
        allocator_->Decommit(); // wakes a worker waiting for a buffer
        {
            std::lock_guard guard(filter_->lock_);
            filter_->stopping_ = true;
        }
        filter_->changed_.notify_all();
        worker_.join();
        return S_OK;
    }

    IPin* Peer() const { return peer_; }
    IMemInputPin* Input() const { return input_; }
    IMemAllocator* Allocator() const { return allocator_; }
    LONG BufferBytes() const { return bufferBytes_; }

private:
    HRESULT SetUpAllocator() {
        HRESULT hr = peer_->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input_));
        if (FAILED(hr)) {
            return hr;
        }
        hr = input_->GetAllocator(&allocator_);
        if (FAILED(hr)) {
            return hr;
        }
        const auto& plan = filter_->plan_;
        ALLOCATOR_PROPERTIES wanted{2, plan.framesPerSample * plan.format.nBlockAlign, 1, 0};
        ALLOCATOR_PROPERTIES actual{};
        hr = allocator_->SetProperties(&wanted, &actual);
        if (SUCCEEDED(hr) && actual.cbBuffer < wanted.cbBuffer) {
            hr = E_FAIL;
        }
        bufferBytes_ = actual.cbBuffer;
        return SUCCEEDED(hr) ? input_->NotifyAllocator(allocator_, FALSE) : hr;
    }
    void ReleaseConnection() {
        for (IUnknown* held : {static_cast<IUnknown*>(allocator_), static_cast<IUnknown*>(input_),
                               static_cast<IUnknown*>(peer_)}) {
            if (held != nullptr) {
                held->Release();
            }
        }
        allocator_ = nullptr;
        input_ = nullptr;
        peer_ = nullptr;
    }

    PcmTestSource* const filter_;
    IPin* peer_ = nullptr;
    IMemInputPin* input_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
    LONG bufferBytes_ = 0;
    std::thread worker_;
};

PcmTestSource* PcmTestSource::Create(PcmPlan plan) {
    return new PcmTestSource(std::move(plan));
}

PcmTestSource::PcmTestSource(PcmPlan plan)
    : FilterBase(kPcmSourceClass), plan_(std::move(plan)), pin_(std::make_unique<OutputPin>(this)) {
    AddPin(pin_.get());
}

PcmTestSource::~PcmTestSource() = default;

IPin* PcmTestSource::Output() {
    return pin_.get();
}

bool PcmTestSource::WaitUntilDelivered(int milliseconds) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                             [this] { return delivered_; });
}

void PcmTestSource::Work() {
    const auto& format = plan_.format;
    const std::size_t frameBytes = format.nBlockAlign;
    const std::size_t totalFrames = plan_.pcm.size() * 2 / frameBytes;
    std::size_t frame = 0;
    HRESULT hr = S_OK;
    while (frame < totalFrames && SUCCEEDED(hr)) {
        IMediaSample* sample = nullptr;
        hr = pin_->Allocator()->GetBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) {
            break; // decommitted: the filter stops
        }
        const std::size_t frames = std::min<std::size_t>(
            static_cast<std::size_t>(plan_.framesPerSample), totalFrames - frame);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, reinterpret_cast<const BYTE*>(plan_.pcm.data()) + frame * frameBytes,
                    frames * frameBytes);
        REFERENCE_TIME start = static_cast<REFERENCE_TIME>(frame) * 10000000 /
                               static_cast<REFERENCE_TIME>(format.nSamplesPerSec);
        REFERENCE_TIME end = static_cast<REFERENCE_TIME>(frame + frames) * 10000000 /
                             static_cast<REFERENCE_TIME>(format.nSamplesPerSec);
        sample->SetTime(&start, &end);
        sample->SetActualDataLength(static_cast<LONG>(frames * frameBytes));
        sample->SetSyncPoint(TRUE);
        hr = pin_->Input()->Receive(sample);
        sample->Release();
        frame += frames;
        if (FAILED(hr)) {
            receiveFailure_.store(hr);
        }
    }
    if (SUCCEEDED(hr) && !plan_.holdEnd) {
        pin_->Peer()->EndOfStream();
    }
    std::unique_lock guard(lock_);
    delivered_ = true;
    changed_.notify_all();
    changed_.wait(guard, [this] { return stopping_; });
}

} // namespace writer_test
