#include "filters/base_pin.h"

#include <cstring>

#include "filters/base_filter.h"
#include "filters/media_type_enumerator.h"
#include "filters/wide_text.h"

namespace {
// Codes that only say "this type did not fit" and give way to a better reason.
bool MeansTypeDidNotFit(HRESULT hr) {
    return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED;
}

// What a type refused by ValidateMediaType is reported as: a plain refusal
// (a success other than S_OK, E_FAIL or E_INVALIDARG) says only that the type
// was not accepted; any other failure is kept as the reason.
HRESULT RefusedTypeResult(HRESULT validation) {
    return SUCCEEDED(validation) || validation == E_FAIL || validation == E_INVALIDARG
               ? VFW_E_TYPE_NOT_ACCEPTED
               : validation;
}
} // namespace

CBasePin::CBasePin(const char* objectName, CBaseFilter* filter, CLock* lock, HRESULT* /*result*/,
                   LPCWSTR pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr), name_(DuplicateWide(pinName)), direction_(direction),
      lock_(lock), filter_(filter) {}

CBasePin::~CBasePin() {
    delete[] name_;
    // A pin destroyed while still connected gives its peer back rather than
    // leaking it. The connection type frees its own format block and object.
    DropPeer();
}

HRESULT CBasePin::InnerQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IPin) {
        return HandOutInterface(static_cast<IPin*>(this), object);
    }
    if (iid == IID_IQualityControl) {
        return HandOutInterface(static_cast<IQualityControl*>(this), object);
    }
    return CUnknown::InnerQueryInterface(iid, object);
}

ULONG CBasePin::InnerAddRef() {
    return filter_->AddRef();
}

ULONG CBasePin::InnerRelease() {
    return filter_->Release();
}

HRESULT CBasePin::AdoptMediaType(const AM_MEDIA_TYPE* type) {
    HRESULT hr = connectionType_.AssignFrom(*type);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CBasePin::VetConnection(IPin* candidate) {
    PIN_DIRECTION theirs = PINDIR_INPUT;
    HRESULT hr = candidate->QueryDirection(&theirs);
    if (FAILED(hr)) {
        return hr;
    }
    return theirs == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::ReleaseConnection() {
    return S_OK;
}

HRESULT CBasePin::FinishConnection(IPin* /*peer*/) {
    return S_OK;
}

HRESULT CBasePin::MediaTypeAt(int /*position*/, AM_MEDIA_TYPE* /*type*/) {
    return E_UNEXPECTED;
}

void CBasePin::DropPeer() {
    if (peer_ != nullptr) {
        peer_->Release();
        peer_ = nullptr;
    }
}

HRESULT CBasePin::CanConnectNow() const {
    if (IsConnected()) {
        return VFW_E_ALREADY_CONNECTED;
    }
    if (!filter_->IsStopped() && !canReconnectWhenActive_) {
        return VFW_E_NOT_STOPPED;
    }
    return S_OK;
}

HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (receivePin == nullptr) {
        return E_POINTER;
    }
    CLockGuard guard(*lock_);
    HRESULT hr = CanConnectNow();
    if (FAILED(hr)) {
        return hr;
    }
    hr = NegotiateType(receivePin, type);
    if (SUCCEEDED(hr)) {
        return S_OK;
    }
    ReleaseConnection();
    return hr;
}

HRESULT CBasePin::NegotiateType(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (type != nullptr && MediaRecordFullySpecified(*type)) {
        return TryConnection(receivePin, type);
    }
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; ++pass) {
        IEnumMediaTypes* enumerator = nullptr;
        HRESULT got = pass == static_cast<int>(tryOwnTypesFirst_)
                          ? receivePin->EnumMediaTypes(&enumerator)
                          : EnumMediaTypes(&enumerator);
        if (FAILED(got) || enumerator == nullptr) {
            continue;
        }
        HRESULT hr = TryTypeList(receivePin, type, enumerator);
        enumerator->Release();
        if (SUCCEEDED(hr)) {
            return S_OK;
        }
        if (!MeansTypeDidNotFit(hr)) {
            failure = hr;
        }
    }
    return failure;
}

HRESULT CBasePin::TryTypeList(IPin* receivePin, const AM_MEDIA_TYPE* partial,
                              IEnumMediaTypes* enumerator) {
    HRESULT hr = enumerator->Reset();
    if (FAILED(hr)) {
        return hr;
    }
    HRESULT failure = S_OK;
    for (;;) {
        AM_MEDIA_TYPE* candidate = nullptr;
        if (enumerator->Next(1, &candidate, nullptr) != S_OK || candidate == nullptr) {
            return failure == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : failure;
        }
        if (partial == nullptr || MediaRecordFitsPartial(*candidate, *partial)) {
            hr = TryConnection(receivePin, candidate);
            if (FAILED(hr) && SUCCEEDED(failure) && !MeansTypeDidNotFit(hr)) {
                failure = hr;
            }
        } else {
            hr = VFW_E_NO_ACCEPTABLE_TYPES;
        }
        DeleteMediaRecord(candidate);
        // Any success means the pins are connected now: trying on would
        // connect a second time over the first.
        if (SUCCEEDED(hr)) {
            return S_OK;
        }
    }
}

HRESULT CBasePin::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    HRESULT hr = VetConnection(receivePin);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }
    hr = ValidateMediaType(type);
    if (hr == S_OK) {
        peer_ = receivePin;
        peer_->AddRef();
        hr = AdoptMediaType(type);
        if (SUCCEEDED(hr)) {
            hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), type);
            if (SUCCEEDED(hr)) {
                hr = FinishConnection(receivePin);
                if (SUCCEEDED(hr)) {
                    return hr;
                }
                receivePin->Disconnect();
            }
        }
    } else {
        hr = RefusedTypeResult(hr);
    }
    ReleaseConnection();
    DropPeer();
    return hr;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (connector == nullptr || type == nullptr) {
        return E_POINTER;
    }
    CLockGuard guard(*lock_);
    HRESULT hr = CanConnectNow();
    if (FAILED(hr)) {
        return hr;
    }
    hr = VetConnection(connector);
    if (SUCCEEDED(hr)) {
        hr = ValidateMediaType(type);
        if (hr != S_OK) {
            ReleaseConnection();
            return RefusedTypeResult(hr);
        }
        peer_ = connector;
        peer_->AddRef();
        hr = AdoptMediaType(type);
        if (SUCCEEDED(hr)) {
            hr = FinishConnection(connector);
            if (SUCCEEDED(hr)) {
                return S_OK;
            }
        }
        DropPeer();
    }
    ReleaseConnection();
    return hr;
}

HRESULT CBasePin::Disconnect() {
    CLockGuard guard(*lock_);
    if (!filter_->IsStopped()) {
        return VFW_E_NOT_STOPPED;
    }
    if (!IsConnected()) {
        return S_FALSE;
    }
    HRESULT hr = ReleaseConnection();
    if (FAILED(hr)) {
        return hr;
    }
    DropPeer();
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) {
        return E_POINTER;
    }
    // Read without the lock: the peer changes only on the graph's thread,
    // which is the thread that asks.
    *pin = peer_;
    if (peer_ == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    peer_->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    CLockGuard guard(*lock_);
    if (IsConnected()) {
        return CopyMediaRecord(type, connectionType_);
    }
    SetEmptyMediaRecord(*type);
    return VFW_E_NOT_CONNECTED;
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    info->pFilter = filter_;
    if (filter_ != nullptr) {
        info->pFilter->AddRef();
    }
    info->dir = direction_;
    if (name_ != nullptr) {
        CopyWideBounded(info->achName, name_, MAX_PIN_NAME);
    } else {
        info->achName[0] = 0;
    }
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) {
        return E_POINTER;
    }
    *direction = direction_;
    return S_OK;
}

HRESULT CBasePin::QueryId(LPWSTR* id) {
    if (id == nullptr) {
        return E_POINTER;
    }
    const int length = name_ != nullptr ? WideLength(name_) : 0;
    auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (copy == nullptr) {
        *id = nullptr;
        return E_OUTOFMEMORY;
    }
    if (length > 0) {
        std::memcpy(copy, name_, length * sizeof(WCHAR));
    }
    copy[length] = 0;
    *id = copy;
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = ValidateMediaType(type);
    return FAILED(hr) ? S_FALSE : hr;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
    if (enumerator == nullptr) {
        return E_POINTER;
    }
    return HandOutNewEnumerator<CMediaTypeEnumerator>(enumerator, this, nullptr);
}

HRESULT CBasePin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) {
    return E_NOTIMPL;
}

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    segmentStart_ = start;
    segmentStop_ = stop;
    segmentRate_ = rate;
    return S_OK;
}

HRESULT CBasePin::Notify(IBaseFilter* /*self*/, Quality /*quality*/) {
    return E_NOTIMPL;
}

HRESULT CBasePin::SetSink(IQualityControl* sink) {
    CLockGuard guard(*lock_);
    qualitySink_ = sink;
    return S_OK;
}
