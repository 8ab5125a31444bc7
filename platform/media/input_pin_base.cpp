#include "media/input_pin_base.h"

#include "media/media_type_enumerator.h"
#include "media/media_type_util.h"
#include "media/memory_allocator.h"

#include <algorithm>

namespace media {

InputPinBase::InputPinBase(FilterBase* filter, LPCWSTR name)
    : filter_(filter), name_(name != nullptr ? name : u"") {
    ResetMediaType(&type_);
}

InputPinBase::~InputPinBase() {
    ReleaseConnection();
}

HRESULT InputPinBase::GetMediaType(int, AM_MEDIA_TYPE*) {
    return VFW_S_NO_MORE_ITEMS;
}
HRESULT InputPinBase::OnConnect(IPin*, const AM_MEDIA_TYPE*) {
    return S_OK;
}
void InputPinBase::OnDisconnect() {}
HRESULT InputPinBase::OnEndOfStream() {
    return S_OK;
}
HRESULT InputPinBase::OnBeginFlush() {
    return S_OK;
}
HRESULT InputPinBase::OnEndFlush() {
    return S_OK;
}
HRESULT InputPinBase::OnNewSegment(REFERENCE_TIME, REFERENCE_TIME, double) {
    return S_OK;
}
HRESULT InputPinBase::AllocatorRequirements(ALLOCATOR_PROPERTIES*) {
    return E_NOTIMPL;
}

bool InputPinBase::IsConnected() const {
    std::lock_guard guard(filter_->FilterLock());
    return static_cast<bool>(peer_);
}

// ---- Connection ---------------------------------------------------------------

HRESULT InputPinBase::Connect(IPin*, const AM_MEDIA_TYPE*) {
    return E_UNEXPECTED;
}

HRESULT InputPinBase::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (connector == nullptr || type == nullptr)
        return E_POINTER;
    std::lock_guard guard(filter_->FilterLock());
    if (peer_)
        return VFW_E_ALREADY_CONNECTED;
    if (!filter_->IsStopped())
        return VFW_E_NOT_STOPPED;
    PIN_DIRECTION direction = PINDIR_INPUT;
    HRESULT hr = connector->QueryDirection(&direction);
    if (FAILED(hr))
        return hr;
    if (direction != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    hr = CheckMediaType(type);
    if (hr != S_OK)
        return SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG ? VFW_E_TYPE_NOT_ACCEPTED : hr;
    hr = CopyMediaType(&type_, type);
    if (FAILED(hr))
        return hr;
    peer_ = com::Ptr<IPin>::Share(connector);
    hr = OnConnect(connector, type);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }
    return S_OK;
}

void InputPinBase::ReleaseConnection() {
    peer_.Reset();
    FreeMediaTypeContents(&type_);
}

HRESULT InputPinBase::Disconnect() {
    std::lock_guard guard(filter_->FilterLock());
    if (!filter_->IsStopped())
        return VFW_E_NOT_STOPPED;
    if (!peer_)
        return S_FALSE;
    OnDisconnect();
    ReleaseConnection();
    // The allocator belongs to the connection; the next one brings its own.
    allocator_.Reset();
    return S_OK;
}

HRESULT InputPinBase::ConnectedTo(IPin** pin) {
    if (pin == nullptr)
        return E_POINTER;
    std::lock_guard guard(filter_->FilterLock());
    *pin = peer_.Copy();
    return *pin != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT InputPinBase::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr)
        return E_POINTER;
    std::lock_guard guard(filter_->FilterLock());
    ResetMediaType(type);
    if (!peer_)
        return VFW_E_NOT_CONNECTED;
    return CopyMediaType(type, &type_);
}

HRESULT InputPinBase::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr)
        return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = PINDIR_INPUT;
    const std::size_t length =
        std::min<std::size_t>(name_.size(), static_cast<std::size_t>(MAX_PIN_NAME - 1));
    std::copy_n(name_.data(), length, info->achName);
    info->achName[length] = u'\0';
    return S_OK;
}

HRESULT InputPinBase::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr)
        return E_POINTER;
    *direction = PINDIR_INPUT;
    return S_OK;
}

HRESULT InputPinBase::QueryId(LPWSTR* id) {
    if (id == nullptr)
        return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc((name_.size() + 1) * sizeof(WCHAR)));
    if (*id == nullptr)
        return E_OUTOFMEMORY;
    std::copy_n(name_.c_str(), name_.size() + 1, *id);
    return S_OK;
}

HRESULT InputPinBase::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr)
        return E_POINTER;
    return CheckMediaType(type) == S_OK ? S_OK : S_FALSE;
}

HRESULT InputPinBase::EnumMediaTypes(IEnumMediaTypes** enumerator) {
    return com::CreateNew<MediaTypeEnumerator>(enumerator, this, 0);
}

HRESULT InputPinBase::QueryInternalConnections(IPin**, ULONG*) {
    return E_NOTIMPL;
}

// ---- Allocator ------------------------------------------------------------------

HRESULT InputPinBase::GetAllocator(IMemAllocator** allocator) {
    if (allocator == nullptr)
        return E_POINTER;
    std::lock_guard guard(filter_->FilterLock());
    *allocator = nullptr;
    if (!allocator_) {
        const HRESULT hr = CreateMemoryAllocator(allocator_.Put());
        if (FAILED(hr))
            return hr;
    }
    *allocator = allocator_.Copy();
    return S_OK;
}

HRESULT InputPinBase::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (allocator == nullptr)
        return E_POINTER;
    std::lock_guard guard(filter_->FilterLock());
    allocator_ = com::Ptr<IMemAllocator>::Share(allocator);
    readOnly_ = readOnly != FALSE;
    return S_OK;
}

HRESULT InputPinBase::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
    if (props == nullptr)
        return E_POINTER;
    return AllocatorRequirements(props);
}

// ---- Streaming ------------------------------------------------------------------

HRESULT InputPinBase::CheckStreaming() const {
    if (filter_->IsStopped())
        return VFW_E_WRONG_STATE;
    if (flushing_.load())
        return S_FALSE;
    if (endOfStream_.load())
        return VFW_E_SAMPLE_REJECTED_EOS;
    return S_OK;
}

HRESULT InputPinBase::Receive(IMediaSample* sample) {
    if (sample == nullptr)
        return E_POINTER;
    std::lock_guard guard(streamLock_);
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK)
        return hr;
    return OnReceive(sample);
}

HRESULT InputPinBase::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
    if (samples == nullptr || processed == nullptr)
        return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK)
            break;
        ++*processed;
    }
    return hr;
}

HRESULT InputPinBase::ReceiveCanBlock() {
    return S_FALSE;
}

HRESULT InputPinBase::EndOfStream() {
    std::lock_guard guard(streamLock_);
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK)
        return hr;
    endOfStream_.store(true);
    return OnEndOfStream();
}

HRESULT InputPinBase::BeginFlush() {
    // Set before the hook so that streaming calls arriving meanwhile are dropped.
    flushing_.store(true);
    return OnBeginFlush();
}

HRESULT InputPinBase::EndFlush() {
    std::lock_guard guard(streamLock_);
    endOfStream_.store(false);
    flushing_.store(false);
    return OnEndFlush();
}

HRESULT InputPinBase::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    segmentStart_.store(start);
    segmentStop_.store(stop);
    segmentRate_.store(rate);
    return OnNewSegment(start, stop, rate);
}

HRESULT InputPinBase::Activate() {
    std::lock_guard guard(streamLock_);
    endOfStream_.store(false);
    flushing_.store(false);
    return S_OK;
}

HRESULT InputPinBase::Deactivate() {
    com::Ptr<IMemAllocator> allocator;
    {
        std::lock_guard guard(filter_->FilterLock());
        allocator = allocator_;
    }
    if (allocator)
        allocator->Decommit();
    // Waits for a Receive or EndOfStream that is still running.
    std::lock_guard guard(streamLock_);
    return S_OK;
}

} // namespace media
