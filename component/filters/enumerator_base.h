// What the framework's enumerators share: a stand-alone COM object with a
// reference count of its own (the creator's reference first) that answers for
// its one interface and IUnknown, and their creation for a caller.
#pragma once

#include <new>

#include "filters/unknown.h"
#include "platform/win32_api.h"

template <class Face, const IID& kFaceId> class CEnumeratorBase : public Face {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == kFaceId || iid == IID_IUnknown) {
            return HandOutInterface(static_cast<Face*>(this), object);
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG Release() override {
        const LONG count = InterlockedDecrement(&references_);
        if (count == 0) {
            delete this;
        }
        return static_cast<ULONG>(count);
    }

protected:
    CEnumeratorBase() = default;
    virtual ~CEnumeratorBase() = default;

private:
    volatile LONG references_ = 1;
};

// Makes a new enumerator and stores it, with the creator's reference, in the
// caller's pointer; E_OUTOFMEMORY and null when it cannot be made.
template <class Enumerator, class Face, class Owner>
HRESULT HandOutNewEnumerator(Face** out, Owner* owner, const Enumerator* copySource) {
    Enumerator* created = new (std::nothrow) Enumerator(owner, copySource);
    *out = created;
    return created != nullptr ? S_OK : E_OUTOFMEMORY;
}
