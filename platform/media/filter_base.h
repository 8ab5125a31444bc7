// The base of the platform's own filters: reference counting, state, reference
// clock, graph membership and posting events to the graph's event sink.
//
// A derived filter owns its pins and registers each one with AddPin() in its
// constructor. The filter tells its pins about state changes through the
// FilterPin interface, always under the filter lock:
//   stopped -> paused   Activate() on every pin, then OnPause(State_Stopped)
//   running -> paused   OnPause(State_Running)
//   paused  -> running  OnRun(start)   (a Run from stopped pauses first)
//   any     -> stopped  the state becomes stopped first (streaming calls that
//                       arrive from then on are refused), Deactivate() on every
//                       pin (each returns once no streaming call of the pin is in
//                       progress), then OnStop()
// A failed Activate() or OnPause() from stopped deactivates the pins again and
// leaves the filter stopped; a failed OnRun() leaves it paused. Stop always
// ends stopped and answers the first failure.
#pragma once

#include "core/com_object.h"
#include "core/com_ptr.h"
#include "platform/dshow.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace media {

// What a filter derived from FilterBase needs from each of its pins.
class FilterPin {
public:
    virtual IPin* AsPin() = 0;
    // The filter leaves the stopped state.
    virtual HRESULT Activate() = 0;
    // The filter has entered the stopped state. Returns once no streaming call
    // (Receive, EndOfStream, ...) of the pin is still running.
    virtual HRESULT Deactivate() = 0;

protected:
    ~FilterPin() = default;
};

// A new filter starts with one reference, owned by its creator.
class PLATFORM_API FilterBase
    : public com::Object<
          com::Interface<IBaseFilter, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist>> {
public:
    // Answers IUnknown, IPersist, IMediaFilter and IBaseFilter, then asks
    // QueryExtraInterface.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

    // IPersist, IMediaFilter
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    // Answers the state at once; transitions never stay intermediate.
    HRESULT STDMETHODCALLTYPE GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter. Pin identifiers are the pins' QueryId texts.
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** enumerator) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    // Stores the graph (no reference) and its event sink (no reference: the
    // graph holds the filter for as long as it is a member).
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* vendorInfo) override;

    // ---- For pins and derived filters -----------------------------------------
    FILTER_STATE State() const { return state_.load(); }
    bool IsStopped() const { return state_.load() == State_Stopped; }
    // Guards state changes and connections. Recursive.
    std::recursive_mutex& FilterLock() { return lock_; }
    REFERENCE_TIME StartTime() const;
    // The clock's time less the start time; VFW_E_NO_CLOCK without a clock.
    HRESULT StreamTime(REFERENCE_TIME* time);
    // Posts an event to the graph's event sink (E_NOTIMPL outside a graph).
    // For EC_COMPLETE the second parameter becomes this filter, as the graph
    // counts completions per filter. Safe from any thread; takes no filter lock.
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    // The graph the filter is in (no reference), or null.
    IFilterGraph* Graph() const { return graph_.load(); }
    int PinCount() const { return static_cast<int>(pins_.size()); }
    FilterPin* PinAt(int index) const;

protected:
    explicit FilterBase(REFCLSID classId);
    ~FilterBase() override;

    // Registers a pin the derived filter owns; call from the constructor only.
    void AddPin(FilterPin* pin) { pins_.push_back(pin); }

    // Further interfaces of the derived filter; hand out with a reference added.
    virtual HRESULT QueryExtraInterface(REFIID iid, void** object);
    // State hooks, called under the filter lock (see the top of this file).
    virtual HRESULT OnPause(FILTER_STATE previous);
    virtual HRESULT OnRun(REFERENCE_TIME start);
    virtual void OnStop();

private:
    HRESULT DeactivatePins();

    const CLSID classId_;
    mutable std::recursive_mutex lock_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    com::Ptr<IReferenceClock> clock_;
    REFERENCE_TIME start_ = 0;
    std::atomic<IFilterGraph*> graph_{nullptr};
    std::atomic<IMediaEventSink*> sink_{nullptr};
    std::u16string name_;
    std::vector<FilterPin*> pins_;
};

} // namespace media
