#include "media/filter_base.h"

#include "media/snapshot_enumerator.h"

#include <algorithm>

namespace media {

FilterBase::FilterBase(REFCLSID classId) : classId_(classId) {}

FilterBase::~FilterBase() = default;

HRESULT FilterBase::QueryInterface(REFIID iid, void** object) {
    const HRESULT hr = Object::QueryInterface(iid, object);
    return hr == E_NOINTERFACE ? QueryExtraInterface(iid, object) : hr;
}

HRESULT FilterBase::QueryExtraInterface(REFIID, void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT FilterBase::OnPause(FILTER_STATE) {
    return S_OK;
}
HRESULT FilterBase::OnRun(REFERENCE_TIME) {
    return S_OK;
}
void FilterBase::OnStop() {}

HRESULT FilterBase::GetClassID(CLSID* classId) {
    if (classId == nullptr)
        return E_POINTER;
    *classId = classId_;
    return S_OK;
}

HRESULT FilterBase::DeactivatePins() {
    HRESULT result = S_OK;
    for (FilterPin* pin : pins_) {
        const HRESULT hr = pin->Deactivate();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

HRESULT FilterBase::Stop() {
    std::lock_guard guard(lock_);
    if (state_.load() == State_Stopped)
        return S_OK;
    state_.store(State_Stopped);
    const HRESULT result = DeactivatePins();
    OnStop();
    return result;
}

HRESULT FilterBase::Pause() {
    std::lock_guard guard(lock_);
    const FILTER_STATE previous = state_.load();
    if (previous == State_Stopped) {
        for (FilterPin* pin : pins_) {
            const HRESULT hr = pin->Activate();
            if (FAILED(hr)) {
                DeactivatePins();
                return hr;
            }
        }
    }
    // Streaming calls are accepted from here on, also while OnPause runs.
    state_.store(State_Paused);
    const HRESULT hr = OnPause(previous);
    if (FAILED(hr)) {
        if (previous == State_Stopped) {
            state_.store(State_Stopped);
            DeactivatePins();
        } else {
            state_.store(previous);
        }
        return hr;
    }
    return S_OK;
}

HRESULT FilterBase::Run(REFERENCE_TIME start) {
    std::lock_guard guard(lock_);
    start_ = start;
    if (state_.load() == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr))
            return hr;
    }
    if (state_.load() == State_Running)
        return S_OK;
    const HRESULT hr = OnRun(start);
    if (FAILED(hr))
        return hr;
    state_.store(State_Running);
    return S_OK;
}

HRESULT FilterBase::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr)
        return E_POINTER;
    *state = state_.load();
    return S_OK;
}

HRESULT FilterBase::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard guard(lock_);
    clock_ = com::Ptr<IReferenceClock>::Share(clock);
    return S_OK;
}

HRESULT FilterBase::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    *clock = clock_.Copy();
    return S_OK;
}

REFERENCE_TIME FilterBase::StartTime() const {
    std::lock_guard guard(lock_);
    return start_;
}

HRESULT FilterBase::StreamTime(REFERENCE_TIME* time) {
    if (time == nullptr)
        return E_POINTER;
    com::Ptr<IReferenceClock> clock;
    REFERENCE_TIME start = 0;
    {
        std::lock_guard guard(lock_);
        clock = clock_;
        start = start_;
    }
    if (!clock)
        return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    const HRESULT hr = clock->GetTime(&now);
    if (FAILED(hr))
        return hr;
    *time = now - start;
    return S_OK;
}

HRESULT FilterBase::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = sink_.load();
    if (sink == nullptr)
        return E_NOTIMPL;
    if (code == EC_COMPLETE)
        param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    return sink->Notify(code, param1, param2);
}

FilterPin* FilterBase::PinAt(int index) const {
    if (index < 0 || index >= PinCount())
        return nullptr;
    return pins_[static_cast<std::size_t>(index)];
}

HRESULT FilterBase::EnumPins(IEnumPins** enumerator) {
    if (enumerator == nullptr)
        return E_POINTER;
    std::vector<IPin*> pins;
    for (FilterPin* pin : pins_)
        pins.push_back(pin->AsPin());
    return com::CreateNew<PinEnumerator>(enumerator, std::move(pins));
}

HRESULT FilterBase::FindPin(LPCWSTR id, IPin** pin) {
    if (pin == nullptr)
        return E_POINTER;
    *pin = nullptr;
    if (id == nullptr)
        return E_POINTER;
    const std::u16string wanted(id);
    for (FilterPin* candidate : pins_) {
        LPWSTR pinId = nullptr;
        if (FAILED(candidate->AsPin()->QueryId(&pinId)) || pinId == nullptr)
            continue;
        const bool match = wanted == pinId;
        CoTaskMemFree(pinId);
        if (match) {
            *pin = candidate->AsPin();
            (*pin)->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterBase::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    const std::size_t length =
        std::min<std::size_t>(name_.size(), static_cast<std::size_t>(MAX_FILTER_NAME - 1));
    std::copy_n(name_.data(), length, info->achName);
    info->achName[length] = u'\0';
    info->pGraph = graph_.load();
    if (info->pGraph != nullptr)
        info->pGraph->AddRef();
    return S_OK;
}

HRESULT FilterBase::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    std::lock_guard guard(lock_);
    IMediaEventSink* sink = nullptr;
    if (graph != nullptr &&
        SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))))
        sink->Release();
    else
        sink = nullptr;
    graph_.store(graph);
    sink_.store(sink);
    name_ = name != nullptr ? std::u16string(name) : std::u16string();
    return S_OK;
}

HRESULT FilterBase::QueryVendorInfo(LPWSTR*) {
    return E_NOTIMPL;
}

} // namespace media
