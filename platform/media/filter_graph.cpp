#include "media/filter_graph.h"

#include "core/com_object.h"
#include "core/com_ptr.h"
#include "media/graph_events.h"
#include "media/graph_topology.h"
#include "media/snapshot_enumerator.h"
#include "media/system_clock.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace media {

namespace {

// Stream time 0 lies this far after the moment Run is called, so that every
// filter has been told before its first sample is due.
constexpr REFERENCE_TIME kStartDelay = 10 * 10000;

// Filters may add and drop references to the graph while they leave it on
// its destruction; com::Object keeps that from deleting it twice.
class FilterGraph final
    : public com::Object<com::Interface<IGraphBuilder, IID_IGraphBuilder, IID_IFilterGraph>,
                         com::Interface<IMediaControl, IID_IMediaControl, IID_IDispatch>,
                         com::Interface<IMediaEventEx, IID_IMediaEventEx, IID_IMediaEvent>,
                         com::Interface<IMediaFilter, IID_IMediaFilter, IID_IPersist>,
                         com::Interface<IMediaEventSink, IID_IMediaEventSink>> {
public:
    FilterGraph() { CreateSystemClock(clock_.Put()); }

    // ---- IFilterGraph -------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* filter) override;
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** enumerator) override;
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* output, IPin* input,
                                            const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Reconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin* pin) override {
        return pin == nullptr ? E_POINTER : pin->Disconnect();
    }
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override;

    // ---- IGraphBuilder --------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE Connect(IPin* output, IPin* input) override {
        return ConnectDirect(output, input, nullptr);
    }
    HRESULT STDMETHODCALLTYPE Render(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetLogFile(DWORD_PTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Abort() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShouldOperationContinue() override { return S_OK; }

    // ---- IDispatch (automation is not supported) ----------------------------------
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, LONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(LONG, REFIID, LCID, WORD, void*, void*, void*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // ---- IMediaControl and IMediaFilter ---------------------------------------------
    HRESULT STDMETHODCALLTYPE Run() override { return RunFrom(nullptr); }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override { return RunFrom(&start); }
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE StopWhenReady() override { return Stop(); }
    HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState* state) override {
        if (state == nullptr)
            return E_POINTER;
        std::lock_guard guard(lock_);
        *state = state_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
        if (state == nullptr)
            return E_POINTER;
        std::lock_guard guard(lock_);
        *state = state_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RenderFile(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override {
        if (classId == nullptr)
            return E_POINTER;
        *classId = CLSID_FilterGraph;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
        if (clock == nullptr)
            return E_POINTER;
        std::lock_guard guard(lock_);
        *clock = clock_.Copy();
        return S_OK;
    }

    // ---- IMediaEvent / IMediaEventEx ------------------------------------------------
    HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT* handle) override {
        return events_.GetEventHandle(handle);
    }
    HRESULT STDMETHODCALLTYPE GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2,
                                       LONG milliseconds) override {
        return events_.GetEvent(code, param1, param2, milliseconds);
    }
    HRESULT STDMETHODCALLTYPE WaitForCompletion(LONG milliseconds, LONG* code) override {
        return events_.WaitForCompletion(milliseconds, code);
    }
    HRESULT STDMETHODCALLTYPE CancelDefaultHandling(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(LONG) override { return E_NOTIMPL; }
    // Event parameters never own memory here.
    HRESULT STDMETHODCALLTYPE FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND, LONG, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetNotifyFlags(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNotifyFlags(LONG*) override { return E_NOTIMPL; }

    // ---- IMediaEventSink ------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override {
        return events_.Notify(code, param1, param2);
    }

private:
    struct Member {
        com::Ptr<IBaseFilter> filter;
        std::u16string name;
    };

    ~FilterGraph() override;

    Member* Find(const void* identity);
    bool NameTaken(const std::u16string& name) const;
    std::u16string UniqueName(LPCWSTR requested, bool* renamed);
    bool InGraph(IPin* pin);
    std::vector<IBaseFilter*> Ordered();
    void BeginStreaming();
    HRESULT PauseAll();
    HRESULT StopAll();
    HRESULT RunFrom(const REFERENCE_TIME* start);
    REFERENCE_TIME ClockTime();

    // Guards the members, the state and the clock. Filters are called with it
    // held; they call back only into the event sink, which has its own lock.
    std::recursive_mutex lock_;
    std::vector<Member> members_;
    FILTER_STATE state_ = State_Stopped;
    com::Ptr<IReferenceClock> clock_;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME pausedAt_ = 0;
    bool hasRun_ = false;
    unsigned generatedNames_ = 0;
    GraphEvents events_;
};

FilterGraph::~FilterGraph() {
    StopAll();
    for (Member& member : members_) {
        DisconnectPins(member.filter.Get());
        member.filter->SetSyncSource(nullptr);
        member.filter->JoinFilterGraph(nullptr, nullptr);
    }
    members_.clear(); // releases the filters while the rest of the graph still stands
}

FilterGraph::Member* FilterGraph::Find(const void* identity) {
    for (Member& member : members_)
        if (ObjectIdentity(member.filter.Get()) == identity)
            return &member;
    return nullptr;
}

bool FilterGraph::NameTaken(const std::u16string& name) const {
    for (const Member& member : members_)
        if (member.name == name)
            return true;
    return false;
}

std::u16string FilterGraph::UniqueName(LPCWSTR requested, bool* renamed) {
    constexpr std::size_t kLimit = MAX_FILTER_NAME - 1;
    *renamed = false;
    std::u16string base = requested != nullptr ? std::u16string(requested) : std::u16string();
    if (base.empty()) {
        base = u"Filter";
    } else if (base.size() > kLimit) {
        base.resize(kLimit);
    }
    if (requested != nullptr && *requested != u'\0' && !NameTaken(base))
        return base;
    *renamed = requested != nullptr && *requested != u'\0';
    // "<name> 0001", "<name> 0002", ...: the number keeps the name within the limit.
    for (;;) {
        char digits[16];
        std::snprintf(digits, sizeof digits, " %04u", ++generatedNames_);
        std::u16string suffix(digits, digits + std::strlen(digits));
        std::u16string name = base.substr(0, kLimit - suffix.size()) + suffix;
        if (!NameTaken(name))
            return name;
    }
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
    if (filter == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    if (Find(ObjectIdentity(filter)) != nullptr)
        return E_INVALIDARG;
    bool renamed = false;
    std::u16string unique = UniqueName(name, &renamed);
    const HRESULT hr = filter->JoinFilterGraph(this, unique.c_str());
    if (FAILED(hr))
        return hr;
    members_.push_back({com::Ptr<IBaseFilter>::Share(filter), std::move(unique)});
    filter->SetSyncSource(clock_.Get());
    return renamed ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
    if (filter == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    Member* member = Find(ObjectIdentity(filter));
    if (member == nullptr)
        return VFW_E_NOT_FOUND;
    if (state_ != State_Stopped)
        return VFW_E_NOT_STOPPED;
    const com::Ptr<IBaseFilter> removed = std::move(member->filter);
    members_.erase(members_.begin() + (member - members_.data()));
    DisconnectPins(removed.Get());
    removed->SetSyncSource(nullptr);
    removed->JoinFilterGraph(nullptr, nullptr);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** enumerator) {
    if (enumerator == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    std::vector<IBaseFilter*> filters;
    for (const Member& member : members_)
        filters.push_back(member.filter.Get());
    return com::CreateNew<FilterEnumerator>(enumerator, filters);
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
    if (filter == nullptr)
        return E_POINTER;
    *filter = nullptr;
    if (name == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    for (const Member& member : members_) {
        if (member.name == name) {
            *filter = member.filter.Copy();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

bool FilterGraph::InGraph(IPin* pin) {
    IBaseFilter* owner = OwnerOf(pin);
    return owner != nullptr && Find(ObjectIdentity(owner)) != nullptr;
}

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
    if (output == nullptr || input == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    if (!InGraph(output) || !InGraph(input))
        return VFW_E_NOT_IN_GRAPH;
    PIN_DIRECTION outDirection = PINDIR_INPUT;
    PIN_DIRECTION inDirection = PINDIR_OUTPUT;
    if (FAILED(output->QueryDirection(&outDirection)) ||
        FAILED(input->QueryDirection(&inDirection)) || outDirection != PINDIR_OUTPUT ||
        inDirection != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    return output->Connect(input, type);
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard guard(lock_);
    clock_ = com::Ptr<IReferenceClock>::Share(clock);
    for (const Member& member : members_)
        member.filter->SetSyncSource(clock);
    return S_OK;
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    com::Ptr<IReferenceClock> clock;
    const HRESULT hr = CreateSystemClock(clock.Put());
    if (FAILED(hr))
        return hr;
    return SetSyncSource(clock.Get());
}

std::vector<IBaseFilter*> FilterGraph::Ordered() {
    std::vector<IBaseFilter*> filters;
    for (const Member& member : members_)
        filters.push_back(member.filter.Get());
    return DownstreamFirst(filters);
}

REFERENCE_TIME FilterGraph::ClockTime() {
    REFERENCE_TIME now = 0;
    if (!clock_ || FAILED(clock_->GetTime(&now)))
        return 0;
    return now;
}

void FilterGraph::BeginStreaming() {
    std::vector<const void*> renderers;
    for (const Member& member : members_) {
        if (IsRenderer(member.filter.Get()))
            renderers.push_back(member.filter.Get());
        member.filter->SetSyncSource(clock_.Get());
    }
    events_.StartStreaming(std::move(renderers));
    hasRun_ = false;
}

HRESULT FilterGraph::PauseAll() {
    for (IBaseFilter* filter : Ordered()) {
        const HRESULT hr = filter->Pause();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT FilterGraph::StopAll() {
    HRESULT result = S_OK;
    for (IBaseFilter* filter : Ordered()) {
        const HRESULT hr = filter->Stop();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    if (state_ != State_Stopped)
        events_.StreamingStopped();
    state_ = State_Stopped;
    return result;
}

HRESULT FilterGraph::Pause() {
    std::lock_guard guard(lock_);
    if (state_ == State_Paused)
        return S_OK;
    if (state_ == State_Stopped)
        BeginStreaming();
    else
        pausedAt_ = ClockTime();
    const HRESULT hr = PauseAll();
    if (FAILED(hr)) {
        state_ = State_Paused;
        StopAll();
        return hr;
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT FilterGraph::RunFrom(const REFERENCE_TIME* start) {
    std::lock_guard guard(lock_);
    if (state_ == State_Running)
        return S_OK;
    if (state_ == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr))
            return hr;
    }
    if (start != nullptr)
        start_ = *start;
    else if (!clock_)
        start_ = 0;
    else if (hasRun_)
        start_ += ClockTime() - pausedAt_; // stream time goes on where it paused
    else
        start_ = ClockTime() + kStartDelay;
    for (IBaseFilter* filter : Ordered()) {
        const HRESULT hr = filter->Run(start_);
        if (FAILED(hr)) {
            StopAll();
            return hr;
        }
    }
    hasRun_ = true;
    state_ = State_Running;
    return S_OK;
}

HRESULT FilterGraph::Stop() {
    std::lock_guard guard(lock_);
    return StopAll();
}

} // namespace

HRESULT CreateFilterGraphInstance(IUnknown* outer, REFIID iid, void** object) {
    return com::CreateInstance<FilterGraph>(outer, iid, object);
}

} // namespace media
