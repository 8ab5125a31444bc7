#include "media/filter_graph.h"

#include "media/graph_events.h"
#include "media/graph_topology.h"
#include "media/snapshot_enumerator.h"
#include "media/system_clock.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace media {

namespace {

// Stream time 0 lies this far after the moment Run is called, so that every
// filter has been told before its first sample is due.
constexpr REFERENCE_TIME kStartDelay = 10 * 10000;

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaFilter,
                          public IMediaEventSink {
public:
    FilterGraph() { CreateSystemClock(&clock_); }

    // ---- IUnknown ---------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IFilterGraph || iid == IID_IGraphBuilder)
            *object = static_cast<IGraphBuilder*>(this);
        else if (iid == IID_IMediaControl || iid == IID_IDispatch)
            *object = static_cast<IMediaControl*>(this);
        else if (iid == IID_IMediaEvent || iid == IID_IMediaEventEx)
            *object = static_cast<IMediaEventEx*>(this);
        else if (iid == IID_IMediaFilter || iid == IID_IPersist)
            *object = static_cast<IMediaFilter*>(this);
        else if (iid == IID_IMediaEventSink)
            *object = static_cast<IMediaEventSink*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            // Filters may add and drop references while they leave the graph.
            references_.store(1);
            delete this;
        }
        return left;
    }

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
        *clock = clock_;
        if (clock_ != nullptr)
            clock_->AddRef();
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
        IBaseFilter* filter;
        std::u16string name;
    };

    ~FilterGraph();

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

    std::atomic<ULONG> references_{1};
    // Guards the members, the state and the clock. Filters are called with it
    // held; they call back only into the event sink, which has its own lock.
    std::recursive_mutex lock_;
    std::vector<Member> members_;
    FILTER_STATE state_ = State_Stopped;
    IReferenceClock* clock_ = nullptr;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME pausedAt_ = 0;
    bool hasRun_ = false;
    unsigned generatedNames_ = 0;
    GraphEvents events_;
};

FilterGraph::~FilterGraph() {
    StopAll();
    for (Member& member : members_) {
        DisconnectPins(member.filter);
        member.filter->SetSyncSource(nullptr);
        member.filter->JoinFilterGraph(nullptr, nullptr);
    }
    for (Member& member : members_)
        member.filter->Release();
    if (clock_ != nullptr)
        clock_->Release();
}

FilterGraph::Member* FilterGraph::Find(const void* identity) {
    for (Member& member : members_)
        if (ObjectIdentity(member.filter) == identity)
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
    filter->AddRef();
    members_.push_back({filter, std::move(unique)});
    filter->SetSyncSource(clock_);
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
    IBaseFilter* removed = member->filter;
    members_.erase(members_.begin() + (member - members_.data()));
    DisconnectPins(removed);
    removed->SetSyncSource(nullptr);
    removed->JoinFilterGraph(nullptr, nullptr);
    removed->Release();
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** enumerator) {
    if (enumerator == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    std::vector<IBaseFilter*> filters;
    for (const Member& member : members_)
        filters.push_back(member.filter);
    *enumerator = new (std::nothrow) FilterEnumerator(std::move(filters));
    return *enumerator == nullptr ? E_OUTOFMEMORY : S_OK;
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
            *filter = member.filter;
            (*filter)->AddRef();
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
    if (clock != nullptr)
        clock->AddRef();
    if (clock_ != nullptr)
        clock_->Release();
    clock_ = clock;
    for (const Member& member : members_)
        member.filter->SetSyncSource(clock_);
    return S_OK;
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    IReferenceClock* clock = nullptr;
    const HRESULT hr = CreateSystemClock(&clock);
    if (FAILED(hr))
        return hr;
    SetSyncSource(clock);
    clock->Release();
    return S_OK;
}

std::vector<IBaseFilter*> FilterGraph::Ordered() {
    std::vector<IBaseFilter*> filters;
    for (const Member& member : members_)
        filters.push_back(member.filter);
    return DownstreamFirst(filters);
}

REFERENCE_TIME FilterGraph::ClockTime() {
    REFERENCE_TIME now = 0;
    if (clock_ == nullptr || FAILED(clock_->GetTime(&now)))
        return 0;
    return now;
}

void FilterGraph::BeginStreaming() {
    std::vector<const void*> renderers;
    for (const Member& member : members_) {
        if (IsRenderer(member.filter))
            renderers.push_back(member.filter);
        member.filter->SetSyncSource(clock_);
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
    else if (clock_ == nullptr)
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
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    auto* graph = new (std::nothrow) FilterGraph;
    if (graph == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = graph->QueryInterface(iid, object);
    graph->Release();
    return hr;
}

} // namespace media
