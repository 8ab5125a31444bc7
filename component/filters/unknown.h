// The common base of the framework's COM objects: a process-wide count of live
// objects, reference counting, and the inner (non-delegating) unknown through
// which an aggregating object reaches the object it contains.
#pragma once

#include "platform/com.h"

class CBaseObject {
public:
    explicit CBaseObject(const char* name);
    virtual ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    // Framework objects alive in this module right now.
    static LONG LiveObjectCount();

private:
    static LONG liveObjects_;
};

struct INonDelegatingUnknown {
    virtual HRESULT InnerQueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG InnerAddRef() = 0;
    virtual ULONG InnerRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};

// Stores the interface pointer in the out pointer with one reference added.
HRESULT HandOutInterface(IUnknown* object, void** out);

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    CUnknown(const char* name, IUnknown* outer);

    HRESULT InnerQueryInterface(REFIID iid, void** object) override;
    ULONG InnerAddRef() override;
    ULONG InnerRelease() override;
    ~CUnknown() override = default;

    // Where the public IUnknown methods of every implemented interface go: the
    // aggregating object, or this object's own inner unknown.
    IUnknown* Outer() const { return outer_; }
    // The inner unknown as an IUnknown, as handed out for IID_IUnknown.
    IUnknown* InnerUnknown() { return &innerFace_; }

private:
    // Presents the non-delegating methods through the IUnknown slots.
    class InnerFace final : public IUnknown {
    public:
        explicit InnerFace(CUnknown& owner) : owner_(owner) {}
        HRESULT QueryInterface(REFIID iid, void** object) override {
            return owner_.InnerQueryInterface(iid, object);
        }
        ULONG AddRef() override { return owner_.InnerAddRef(); }
        ULONG Release() override { return owner_.InnerRelease(); }

    private:
        CUnknown& owner_;
    };

    IUnknown* outer_;
    volatile LONG references_ = 0;
    InnerFace innerFace_{*this};
};

// The public IUnknown methods of a framework class: all forward to Outer().
#define FILTERS_DELEGATE_UNKNOWN                                                                   \
    HRESULT QueryInterface(REFIID iid, void** object) override {                                   \
        return Outer()->QueryInterface(iid, object);                                               \
    }                                                                                              \
    ULONG AddRef() override {                                                                      \
        return Outer()->AddRef();                                                                  \
    }                                                                                              \
    ULONG Release() override {                                                                     \
        return Outer()->Release();                                                                 \
    }
