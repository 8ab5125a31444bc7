// The base of every filter: the platform's filter interfaces over CUnknown,
// the state machine that activates and deactivates the pins, the reference
// clock, graph membership and the filter's name. Derived classes supply the
// pins through PinCount and PinAt.
#pragma once

#include <atomic>

#include "filters/lock.h"
#include "filters/unknown.h"
#include "platform/dshow.h"

class CBasePin;

// The setup record of self-registration; no filter of this system has one.
struct FilterSetupData;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    CBaseFilter(const char* name, IUnknown* outer, CLock* lock, REFCLSID classId);
    ~CBaseFilter() override;

    HRESULT InnerQueryInterface(REFIID iid, void** object) override;

    // Hooks of the inner table, in order.
    virtual HRESULT CurrentStreamTime(REFERENCE_TIME* time);
    virtual int PinListVersion();
    virtual int PinCount() = 0;
    // The pin without a reference added; null outside 0 .. PinCount() - 1.
    virtual CBasePin* PinAt(int index) = 0;
    virtual const FilterSetupData* SetupData();

    FILTERS_DELEGATE_UNKNOWN

    // IPersist
    HRESULT GetClassID(CLSID* classId) override;
    // IMediaFilter
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    HRESULT EnumPins(IEnumPins** enumerator) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT QueryVendorInfo(LPWSTR* vendorInfo) override;
    // IAMovieSetup
    HRESULT Register() override;
    HRESULT Unregister() override;

    // Paused or running, read under the lock.
    bool IsStreaming();
    bool IsStopped() { return !IsStreaming(); }
    // Posts an event to the graph's event sink; E_NOTIMPL outside a graph.
    HRESULT RaiseGraphEvent(LONG code, LONG_PTR param1, LONG_PTR param2);

private:
    template <typename Hook> HRESULT ForEachConnectedPin(Hook hook, bool stopAtFailure);

    std::atomic<FILTER_STATE> state_{State_Stopped};
    IReferenceClock* clock_ = nullptr;
    REFERENCE_TIME start_ = 0;
    CLSID classId_;
    CLock* lock_;
    WCHAR* name_ = nullptr;
    IFilterGraph* graph_ = nullptr;
    std::atomic<IMediaEventSink*> eventSink_{nullptr};
    int pinListVersion_ = 1;
};
