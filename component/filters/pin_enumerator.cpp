#include "filters/pin_enumerator.h"

#include <algorithm>

#include "filters/base_filter.h"
#include "filters/base_pin.h"
#include "platform/win32_api.h"

CPinEnumerator::CPinEnumerator(CBaseFilter* filter, const CPinEnumerator* copySource)
    : filter_(filter) {
    static_cast<IBaseFilter*>(filter_)->AddRef();
    if (copySource != nullptr) {
        position_ = copySource->position_;
        pinCount_ = copySource->pinCount_;
        version_ = copySource->version_;
        returned_.AppendAll(copySource->returned_);
    } else {
        version_ = filter_->PinListVersion();
        pinCount_ = filter_->PinCount();
    }
}

CPinEnumerator::~CPinEnumerator() {
    static_cast<IBaseFilter*>(filter_)->Release();
}

bool CPinEnumerator::OutOfSync() const {
    return filter_->PinListVersion() != version_;
}

void CPinEnumerator::Refresh() {
    version_ = filter_->PinListVersion();
    pinCount_ = filter_->PinCount();
    position_ = 0;
}

HRESULT CPinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (pins == nullptr) {
        return E_POINTER;
    }
    if (fetched != nullptr) {
        *fetched = 0;
    } else if (count > 1) {
        return E_INVALIDARG;
    }
    if (OutOfSync()) {
        // Pins handed out before the change are remembered and not handed out again.
        Refresh();
    }
    const ULONG left = static_cast<ULONG>(std::max(pinCount_ - position_, 0));
    ULONG wanted = std::min(left, count);
    if (wanted == 0) {
        return S_FALSE;
    }
    ULONG got = 0;
    while (wanted > 0 && position_ < pinCount_) {
        CBasePin* pin = filter_->PinAt(position_);
        ++position_;
        if (pin == nullptr) {
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        if (returned_.Find(pin) != nullptr) {
            continue;
        }
        if (returned_.Append(pin) == nullptr) {
            break;
        }
        IPin* face = pin;
        face->AddRef();
        pins[got++] = face;
        --wanted;
    }
    if (fetched != nullptr) {
        *fetched = got;
    }
    return got == count ? S_OK : S_FALSE;
}

HRESULT CPinEnumerator::Skip(ULONG count) {
    if (OutOfSync()) {
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    const ULONG left = static_cast<ULONG>(std::max(pinCount_ - position_, 0));
    if (count > left) {
        return S_FALSE;
    }
    position_ += static_cast<int>(count);
    return S_OK;
}

HRESULT CPinEnumerator::Reset() {
    Refresh();
    returned_.RemoveAll();
    return S_OK;
}

HRESULT CPinEnumerator::Clone(IEnumPins** copy) {
    if (copy == nullptr) {
        return E_POINTER;
    }
    if (OutOfSync()) {
        *copy = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    return HandOutNewEnumerator(copy, filter_, this);
}
