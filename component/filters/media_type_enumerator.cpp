#include "filters/media_type_enumerator.h"

#include <climits>

#include "filters/base_pin.h"
#include "filters/media_type.h"
#include "platform/win32_api.h"

CMediaTypeEnumerator::CMediaTypeEnumerator(CBasePin* pin, const CMediaTypeEnumerator* copySource)
    : pin_(pin) {
    static_cast<IPin*>(pin_)->AddRef();
    if (copySource != nullptr) {
        position_ = copySource->position_;
        version_ = copySource->version_;
    } else {
        version_ = pin_->TypeListVersion();
    }
}

CMediaTypeEnumerator::~CMediaTypeEnumerator() {
    static_cast<IPin*>(pin_)->Release();
}

bool CMediaTypeEnumerator::OutOfSync() const {
    return pin_->TypeListVersion() != version_;
}

HRESULT CMediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (types == nullptr) {
        return E_POINTER;
    }
    if (OutOfSync()) {
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    if (fetched != nullptr) {
        *fetched = 0;
    } else if (count > 1) {
        return E_INVALIDARG;
    }
    ULONG got = 0;
    while (count > 0) {
        CMediaDescriptor descriptor;
        HRESULT hr = pin_->MediaTypeAt(position_++, &descriptor);
        if (hr != S_OK) {
            break;
        }
        auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (record == nullptr) {
            break;
        }
        // The caller's record takes over the format block and object reference.
        *record = descriptor;
        descriptor.pbFormat = nullptr;
        descriptor.cbFormat = 0;
        descriptor.pUnk = nullptr;
        types[got++] = record;
        --count;
    }
    if (fetched != nullptr) {
        *fetched = got;
    }
    return count == 0 ? S_OK : S_FALSE;
}

HRESULT CMediaTypeEnumerator::Skip(ULONG count) {
    if (count == 0) {
        return S_OK;
    }
    if (OutOfSync()) {
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    // Saturates instead of wrapping for absurd counts.
    const long long advanced = static_cast<long long>(position_) + count;
    position_ = advanced > INT_MAX ? INT_MAX : static_cast<int>(advanced);
    CMediaDescriptor probe;
    return pin_->MediaTypeAt(position_ - 1, &probe) == S_OK ? S_OK : S_FALSE;
}

HRESULT CMediaTypeEnumerator::Reset() {
    position_ = 0;
    version_ = pin_->TypeListVersion();
    return S_OK;
}

HRESULT CMediaTypeEnumerator::Clone(IEnumMediaTypes** copy) {
    if (copy == nullptr) {
        return E_POINTER;
    }
    if (OutOfSync()) {
        *copy = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    return HandOutNewEnumerator(copy, pin_, this);
}
