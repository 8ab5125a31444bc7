#include "filters/unknown.h"

#include <algorithm>

#include "platform/win32_api.h"

LONG CBaseObject::liveObjects_ = 0;

CBaseObject::CBaseObject(const char* /*name*/) {
    InterlockedIncrement(&liveObjects_);
}

CBaseObject::~CBaseObject() {
    InterlockedDecrement(&liveObjects_);
}

LONG CBaseObject::LiveObjectCount() {
    return __atomic_load_n(&liveObjects_, __ATOMIC_SEQ_CST);
}

HRESULT HandOutInterface(IUnknown* object, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = object;
    object->AddRef();
    return S_OK;
}

CUnknown::CUnknown(const char* name, IUnknown* outer)
    : CBaseObject(name), outer_(outer != nullptr ? outer : &innerFace_) {}

HRESULT CUnknown::InnerQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown) {
        return HandOutInterface(&innerFace_, object);
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::InnerAddRef() {
    LONG count = InterlockedIncrement(&references_);
    return std::max<ULONG>(static_cast<ULONG>(count), 1);
}

ULONG CUnknown::InnerRelease() {
    LONG count = InterlockedDecrement(&references_);
    if (count == 0) {
        // A release made by the destructor itself must not reach zero again;
        // no other thread can hold a reference any more.
        references_ = references_ + 1;
        delete this;
        return 0;
    }
    return std::max<ULONG>(static_cast<ULONG>(count), 1);
}
