#include "filters/base_filter.h"

#include <climits>

#include "filters/base_pin.h"
#include "filters/pin_enumerator.h"
#include "filters/wide_text.h"

CBaseFilter::CBaseFilter(const char* name, IUnknown* outer, CLock* lock, REFCLSID classId)
    : CUnknown(name, outer), classId_(classId), lock_(lock) {}

CBaseFilter::~CBaseFilter() {
    delete[] name_;
    if (clock_ != nullptr) {
        clock_->Release();
    }
}

HRESULT CBaseFilter::InnerQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist) {
        return HandOutInterface(static_cast<IBaseFilter*>(this), object);
    }
    if (iid == IID_IAMovieSetup) {
        return HandOutInterface(static_cast<IAMovieSetup*>(this), object);
    }
    return CUnknown::InnerQueryInterface(iid, object);
}

HRESULT CBaseFilter::CurrentStreamTime(REFERENCE_TIME* time) {
    if (time == nullptr) {
        return E_POINTER;
    }
    if (clock_ == nullptr) {
        return VFW_E_NO_CLOCK;
    }
    HRESULT hr = clock_->GetTime(time);
    if (FAILED(hr)) {
        return hr;
    }
    *time -= start_;
    return S_OK;
}

int CBaseFilter::PinListVersion() {
    return pinListVersion_;
}

const FilterSetupData* CBaseFilter::SetupData() {
    return nullptr;
}

HRESULT CBaseFilter::GetClassID(CLSID* classId) {
    if (classId == nullptr) {
        return E_POINTER;
    }
    *classId = classId_;
    return S_OK;
}

template <typename Hook> HRESULT CBaseFilter::ForEachConnectedPin(Hook hook, bool stopAtFailure) {
    HRESULT result = S_OK;
    const int count = PinCount();
    for (int i = 0; i < count; ++i) {
        CBasePin* pin = PinAt(i);
        if (pin == nullptr || !pin->IsConnected()) {
            continue;
        }
        HRESULT hr = hook(pin);
        if (FAILED(hr)) {
            if (stopAtFailure) {
                return hr;
            }
            if (SUCCEEDED(result)) {
                result = hr;
            }
        }
    }
    return result;
}

HRESULT CBaseFilter::Stop() {
    CLockGuard guard(*lock_);
    HRESULT result = S_OK;
    if (state_ != State_Stopped) {
        // Every pin is deactivated; the first failure is reported.
        result = ForEachConnectedPin([](CBasePin* pin) { return pin->OnDeactivate(); }, false);
    }
    state_ = State_Stopped;
    return result;
}

HRESULT CBaseFilter::Pause() {
    CLockGuard guard(*lock_);
    if (state_ == State_Stopped) {
        HRESULT hr = ForEachConnectedPin([](CBasePin* pin) { return pin->OnActivate(); }, true);
        if (FAILED(hr)) {
            return hr;
        }
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start) {
    CLockGuard guard(*lock_);
    start_ = start;
    if (state_ == State_Stopped) {
        // Through the interface, so that a derived Pause runs.
        HRESULT hr = static_cast<IBaseFilter*>(this)->Pause();
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (state_ != State_Running) {
        HRESULT hr =
            ForEachConnectedPin([start](CBasePin* pin) { return pin->OnRunning(start); }, true);
        if (FAILED(hr)) {
            return hr;
        }
    }
    state_ = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD /*milliseconds*/, FILTER_STATE* state) {
    if (state == nullptr) {
        return E_POINTER;
    }
    *state = state_;
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock) {
    CLockGuard guard(*lock_);
    if (clock != nullptr) {
        clock->AddRef();
    }
    if (clock_ != nullptr) {
        clock_->Release();
    }
    clock_ = clock;
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) {
        return E_POINTER;
    }
    CLockGuard guard(*lock_);
    if (clock_ != nullptr) {
        clock_->AddRef();
    }
    *clock = clock_;
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** enumerator) {
    if (enumerator == nullptr) {
        return E_POINTER;
    }
    return HandOutNewEnumerator<CPinEnumerator>(enumerator, this, nullptr);
}

HRESULT CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (pin == nullptr) {
        return E_POINTER;
    }
    const long number = ParseWideInteger(id);
    CBasePin* found = nullptr;
    if (number >= 1 && number <= INT_MAX) {
        found = PinAt(static_cast<int>(number - 1));
    }
    if (found == nullptr) {
        *pin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    IPin* face = found;
    face->AddRef();
    *pin = face;
    return S_OK;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    if (name_ != nullptr) {
        CopyWideBounded(info->achName, name_, MAX_FILTER_NAME);
    } else {
        info->achName[0] = 0;
    }
    info->pGraph = graph_;
    if (graph_ != nullptr) {
        graph_->AddRef();
    }
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    CLockGuard guard(*lock_);
    graph_ = graph;
    IMediaEventSink* sink = nullptr;
    if (graph != nullptr) {
        // Kept without a reference: the graph holds this filter and outlives
        // its membership.
        void* found = nullptr;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, &found)) && found != nullptr) {
            sink = static_cast<IMediaEventSink*>(found);
            sink->Release();
        }
    }
    eventSink_ = sink;
    delete[] name_;
    name_ = DuplicateWide(name);
    return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPWSTR* /*vendorInfo*/) {
    return E_NOTIMPL;
}

HRESULT CBaseFilter::Register() {
    if (SetupData() == nullptr) {
        return S_FALSE;
    }
    // Registration through the platform's filter mapper is not supported.
    return E_NOTIMPL;
}

HRESULT CBaseFilter::Unregister() {
    if (SetupData() == nullptr) {
        return S_FALSE;
    }
    return E_NOTIMPL;
}

bool CBaseFilter::IsStreaming() {
    CLockGuard guard(*lock_);
    return state_ != State_Stopped;
}

HRESULT CBaseFilter::RaiseGraphEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = eventSink_;
    if (sink == nullptr) {
        return E_NOTIMPL;
    }
    if (code == EC_COMPLETE) {
        param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    }
    return sink->Notify(code, param1, param2);
}
