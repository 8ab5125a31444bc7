// The process-wide running object table: objects registered under monikers and
// found again by display name.
#include "com_object.h"
#include "com_ptr.h"
#include "item_moniker.h"

#include "platform/com.h"

#include <mutex>
#include <vector>

using namespace platform_core;

namespace {

struct Registration {
    DWORD token;
    std::u16string name;
    com::Ptr<IMoniker> moniker; // held until Revoke
    IUnknown* object;           // borrowed; one reference when keepsAlive
    bool keepsAlive;
    FILETIME changed{0, 0};
};

class RunningObjectTable final
    : public com::Object<com::Interface<IRunningObjectTable, IID_IRunningObjectTable>> {
public:
    HRESULT STDMETHODCALLTYPE Register(DWORD flags, IUnknown* object, IMoniker* name,
                                       DWORD* registration) override {
        if (registration)
            *registration = 0;
        if (!object || !name || !registration)
            return E_INVALIDARG;
        std::u16string displayName;
        if (!DisplayNameOf(name, &displayName))
            return E_INVALIDARG;
        const bool keepsAlive = (flags & ROTFLAGS_REGISTRATIONKEEPSALIVE) != 0;
        if (keepsAlive)
            object->AddRef();
        bool duplicate = false;
        {
            std::lock_guard lock(mutex_);
            for (const Registration& entry : entries_)
                duplicate = duplicate || entry.name == displayName;
            DWORD token = nextToken_++;
            if (token == 0) // 0 never names a registration
                token = nextToken_++;
            entries_.push_back({token, std::move(displayName), com::Ptr<IMoniker>::Share(name),
                                object, keepsAlive});
            *registration = token;
        }
        return duplicate ? MK_S_MONIKERALREADYREGISTERED : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Revoke(DWORD registration) override {
        Registration removed;
        {
            std::lock_guard lock(mutex_);
            const auto found = Find(registration);
            if (found == entries_.end())
                return E_INVALIDARG;
            removed = std::move(*found);
            entries_.erase(found);
        }
        // Released outside the lock: the object's destructor may use the table.
        removed.moniker.Reset();
        if (removed.keepsAlive)
            removed.object->Release();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE IsRunning(IMoniker* name) override {
        std::u16string displayName;
        if (!name || !DisplayNameOf(name, &displayName))
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        return FindName(displayName) != entries_.end() ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE GetObject(IMoniker* name, IUnknown** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        std::u16string displayName;
        if (!name || !DisplayNameOf(name, &displayName))
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        const auto found = FindName(displayName);
        if (found == entries_.end())
            return MK_E_UNAVAILABLE;
        // A registration without keep-alive is only valid while its owner keeps
        // the object alive; the owner revokes it before the object goes.
        found->object->AddRef();
        *object = found->object;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE NoteChangeTime(DWORD registration, FILETIME* time) override {
        if (!time)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        const auto found = Find(registration);
        if (found == entries_.end())
            return E_INVALIDARG;
        found->changed = *time;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IMoniker* name, FILETIME* time) override {
        std::u16string displayName;
        if (!time || !name || !DisplayNameOf(name, &displayName))
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        const auto found = FindName(displayName);
        if (found == entries_.end())
            return MK_E_UNAVAILABLE;
        *time = found->changed;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumRunning(IEnumMoniker** enumerator) override {
        if (enumerator)
            *enumerator = nullptr;
        return E_NOTIMPL;
    }

private:
    // The table lives as long as the process; references are counted only for
    // callers that check them.
    void LastReleased() override {}

    std::vector<Registration>::iterator Find(DWORD token) {
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry)
            if (entry->token == token)
                return entry;
        return entries_.end();
    }
    std::vector<Registration>::iterator FindName(const std::u16string& name) {
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry)
            if (entry->name == name)
                return entry;
        return entries_.end();
    }

    std::mutex mutex_;
    std::vector<Registration> entries_;
    DWORD nextToken_ = 1;
};

} // namespace

extern "C" HRESULT GetRunningObjectTable(DWORD reserved, IRunningObjectTable** table) {
    if (!table)
        return E_POINTER;
    *table = nullptr;
    if (reserved != 0)
        return E_INVALIDARG;
    // Never destroyed: registrations may still be revoked while the process exits.
    static RunningObjectTable* instance = new RunningObjectTable;
    instance->AddRef();
    *table = instance;
    return S_OK;
}
