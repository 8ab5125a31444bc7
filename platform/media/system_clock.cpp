#include "media/system_clock.h"

#include "core/com_object.h"

#include <chrono>

namespace media {

namespace {

class SystemClock final : public com::Object<com::Interface<IReferenceClock, IID_IReferenceClock>> {
public:
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
    ~SystemClock() override = default;
};

} // namespace

HRESULT CreateSystemClock(IReferenceClock** clock) {
    return com::CreateNew<SystemClock>(clock);
}

HRESULT CreateSystemClockInstance(IUnknown* outer, REFIID iid, void** object) {
    return com::CreateInstance<SystemClock>(outer, iid, object);
}

} // namespace media
