#include "media/system_clock.h"

#include <atomic>
#include <chrono>
#include <new>

namespace media {

namespace {

class SystemClock final : public IReferenceClock {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IReferenceClock) {
            AddRef();
            *object = static_cast<IReferenceClock*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override {
        if (time == nullptr)
            return E_POINTER;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        *time = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HANDLE,
                                         DWORD_PTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HANDLE,
                                             DWORD_PTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR) override { return E_NOTIMPL; }

private:
    ~SystemClock() = default;
    std::atomic<ULONG> references_{1};
};

} // namespace

HRESULT CreateSystemClock(IReferenceClock** clock) {
    if (clock == nullptr)
        return E_POINTER;
    *clock = new (std::nothrow) SystemClock;
    return *clock == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CreateSystemClockInstance(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    IReferenceClock* clock = nullptr;
    const HRESULT hr = CreateSystemClock(&clock);
    if (FAILED(hr))
        return hr;
    const HRESULT query = clock->QueryInterface(iid, object);
    clock->Release();
    return query;
}

} // namespace media
