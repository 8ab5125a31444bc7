// The platform's COM objects share one QueryInterface and one reference count.
//
// A class lists what it hands out as Interface<I, iid...> entries: the
// interface and every identifier answered with it. IUnknown is answered with
// the first entry's interface, so every IUnknown of an object is the same.
//
//   class Clock final : public com::Object<com::Interface<IReferenceClock,
//                                                          IID_IReferenceClock>> { ... };
//
// com::Object counts references atomically and deletes the object on the last
// Release (a class overrides LastReleased to do otherwise). com::Interfaces
// answers QueryInterface only, for objects whose count is another object's
// (a pin counts on its filter).
#pragma once

#include "platform/com.h"

#include <atomic>
#include <initializer_list>
#include <new>
#include <utility>

namespace com {

template <class I, const IID&... iids> struct Interface {
    using Type = I;
    static bool Answers(REFIID iid) { return ((iid == iids) || ...); }
};

template <class Entry, class Object> void* Match(Object* self, REFIID iid) {
    return Entry::Answers(iid) ? static_cast<typename Entry::Type*>(self) : nullptr;
}

// Answers `iid` from the entries, with a reference added.
template <class First, class... Rest, class Object>
HRESULT QueryEntries(Object* self, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    void* found = iid == IID_IUnknown ? static_cast<typename First::Type*>(self) : nullptr;
    for (void* candidate : {Match<First>(self, iid), Match<Rest>(self, iid)...})
        found = found != nullptr ? found : candidate;
    *object = found;
    if (found == nullptr)
        return E_NOINTERFACE;
    static_cast<typename First::Type*>(self)->AddRef();
    return S_OK;
}

template <class... Entries> class Interfaces : public Entries::Type... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return QueryEntries<Entries...>(this, iid, object);
    }

protected:
    Interfaces() = default;
    ~Interfaces() = default;
};

template <class... Entries> class Object : public Interfaces<Entries...> {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            LastReleased();
        return left;
    }

protected:
    // A new object holds one reference, its creator's.
    Object() = default;
    virtual ~Object() = default;

    // The count is set back to one before the object goes, so that references
    // taken and dropped while it is destroyed do not delete it a second time.
    virtual void LastReleased() {
        references_.store(1);
        delete this;
    }
    // For objects that are used again after their last Release.
    void RestartReferences() { references_.store(1); }

private:
    std::atomic<ULONG> references_{1};
};

// Stores a new object, with its creator's reference, in the caller's pointer;
// E_POINTER without a pointer, E_OUTOFMEMORY when the object cannot be made.
template <class T, class Face, class... Args> HRESULT CreateNew(Face** out, Args&&... args) {
    if (out == nullptr)
        return E_POINTER;
    *out = new (std::nothrow) T(std::forward<Args>(args)...);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The class function of a class that cannot be aggregated: a new object asked
// for `iid`, which then holds the only reference.
template <class T> HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    T* created = new (std::nothrow) T;
    if (created == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

} // namespace com
