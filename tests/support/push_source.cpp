#include "push_source.h"

#include "core/com_object.h"
#include "core/com_ptr.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace test_support {

namespace {

constexpr char16_t kPinName[] = u"Out";

} // namespace

class PushSource::OutputPin final : public com::Interfaces<com::Interface<IPin, IID_IPin>>,
                                    public media::FilterPin {
public:
    explicit OutputPin(PushSource* filter) : filter_(filter) { media::ResetMediaType(&type_); }
    ~OutputPin() {
        ReleaseConnection();
        media::FreeMediaTypeContents(&type_);
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return filter_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return filter_->Release(); }

    HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* requested) override {
        std::lock_guard guard(filter_->FilterLock());
        if (peer_)
            return VFW_E_ALREADY_CONNECTED;
        if (!filter_->IsStopped())
            return VFW_E_NOT_STOPPED;
        AM_MEDIA_TYPE proposed;
        HRESULT hr = filter_->OutputType(requested, &proposed);
        if (SUCCEEDED(hr))
            hr = receiver->ReceiveConnection(this, &proposed);
        if (SUCCEEDED(hr)) {
            media::FreeMediaTypeContents(&type_);
            type_ = proposed;
            peer_ = com::Ptr<IPin>::Share(receiver);
            hr = SetUpAllocator();
            if (FAILED(hr)) {
                receiver->Disconnect();
                ReleaseConnection();
            }
        } else {
            media::FreeMediaTypeContents(&proposed);
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
        return E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override {
        std::lock_guard guard(filter_->FilterLock());
        if (!filter_->IsStopped())
            return VFW_E_NOT_STOPPED;
        if (!peer_)
            return S_FALSE;
        ReleaseConnection();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
        std::lock_guard guard(filter_->FilterLock());
        *pin = peer_.Copy();
        return *pin != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override {
        std::lock_guard guard(filter_->FilterLock());
        media::ResetMediaType(type);
        return peer_ ? media::CopyMediaType(type, &type_) : VFW_E_NOT_CONNECTED;
    }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
        info->pFilter = filter_;
        filter_->AddRef();
        info->dir = PINDIR_OUTPUT;
        std::copy(std::begin(kPinName), std::end(kPinName), info->achName);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
        *direction = PINDIR_OUTPUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof kPinName));
        std::copy(std::begin(kPinName), std::end(kPinName), *id);
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
        if (!peer_)
            return S_OK;
        const HRESULT hr = allocator_->Commit();
        if (FAILED(hr))
            return hr;
        stopping_.store(false);
        filter_->WorkerStarting();
        worker_ = std::thread([this] { filter_->Work(); });
        return S_OK;
    }
    HRESULT Deactivate() override {
        if (!worker_.joinable())
            return S_OK;
        allocator_->Decommit(); // wakes a worker that waits for a buffer
        stopping_.store(true);
        worker_.join();
        return S_OK;
    }

    bool Stopping() const { return stopping_.load(); }
    IPin* Peer() const { return peer_.Get(); }
    IMemInputPin* Input() const { return input_.Get(); }
    IMemAllocator* Allocator() const { return allocator_.Get(); }

private:
    HRESULT SetUpAllocator() {
        HRESULT hr = peer_->QueryInterface(IID_IMemInputPin, input_.PutVoid());
        if (FAILED(hr))
            return hr;
        hr = input_->GetAllocator(allocator_.Put());
        if (FAILED(hr))
            return hr;
        ALLOCATOR_PROPERTIES wanted = filter_->Buffers();
        ALLOCATOR_PROPERTIES actual{};
        hr = allocator_->SetProperties(&wanted, &actual);
        if (SUCCEEDED(hr) &&
            (actual.cBuffers < wanted.cBuffers || actual.cbBuffer < wanted.cbBuffer))
            hr = E_FAIL;
        return SUCCEEDED(hr) ? input_->NotifyAllocator(allocator_.Get(), FALSE) : hr;
    }
    void ReleaseConnection() {
        allocator_.Reset();
        input_.Reset();
        peer_.Reset();
    }

    PushSource* const filter_;
    AM_MEDIA_TYPE type_;
    com::Ptr<IPin> peer_;
    com::Ptr<IMemInputPin> input_;
    com::Ptr<IMemAllocator> allocator_;
    std::thread worker_;
    std::atomic<bool> stopping_{false};
};

PushSource::PushSource(REFCLSID classId)
    : FilterBase(classId), pin_(std::make_unique<OutputPin>(this)) {
    AddPin(pin_.get());
}

PushSource::~PushSource() = default;

IPin* PushSource::Output() {
    return pin_.get();
}

bool PushSource::Stopping() const {
    return pin_->Stopping();
}

IMemAllocator* PushSource::Allocator() const {
    return pin_->Allocator();
}

IMemInputPin* PushSource::Downstream() const {
    return pin_->Input();
}

HRESULT PushSource::DeliverEndOfStream() {
    return pin_->Peer()->EndOfStream();
}

} // namespace test_support
