#include "encoder/graph_helpers.h"

#include "com/com_ref.h"
#include "platform/win32_api.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr int kGraphNameSize = 128;

} // namespace

void FormatGraphName(const IUnknown* graph, DWORD processId, WCHAR* name, int nameSize) {
    if (name == nullptr || nameSize <= 0) {
        return;
    }
    // The whole pointer value: on this platform it is wider than 8 digits.
    char narrow[kGraphNameSize] = {};
    std::snprintf(narrow, sizeof narrow, "FilterGraph %08llx pid %08x - DShowWMAEncoder",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(graph)),
                  static_cast<unsigned>(processId));
    int at = 0;
    for (; at + 1 < nameSize && narrow[at] != '\0'; ++at) {
        name[at] = static_cast<WCHAR>(narrow[at]); // ASCII only
    }
    name[at] = u'\0';
}

HRESULT PublishGraph(IUnknown* graph, DWORD* token) {
    ComRef<IRunningObjectTable> table;
    if (FAILED(GetRunningObjectTable(0, table.Receive())) || !table) {
        return E_FAIL;
    }
    WCHAR name[kGraphNameSize] = {};
    FormatGraphName(graph, GetCurrentProcessId(), name, kGraphNameSize);
    ComRef<IMoniker> moniker;
    HRESULT hr = CreateItemMoniker(u"!", name, moniker.Receive());
    if (SUCCEEDED(hr)) {
        hr = table->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, graph, moniker.Get(), token);
    }
    return hr;
}

void UnpublishGraph(DWORD token) {
    ComRef<IRunningObjectTable> table;
    if (SUCCEEDED(GetRunningObjectTable(0, table.Receive())) && table) {
        table->Revoke(token);
    }
}

HRESULT CreateAndAddFilter(IGraphBuilder* graph, REFCLSID classId, LPCWSTR name,
                           IBaseFilter** filter) {
    if (graph == nullptr || filter == nullptr) {
        return E_POINTER;
    }
    *filter = nullptr;
    IBaseFilter* created = nullptr;
    HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&created));
    if (FAILED(hr) || created == nullptr) {
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    hr = graph->AddFilter(created, name);
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *filter = created;
    return hr;
}

HRESULT FindNthPin(IBaseFilter* filter, PIN_DIRECTION direction, int index, IPin** pin) {
    if (filter == nullptr || pin == nullptr) {
        return E_POINTER;
    }
    *pin = nullptr;
    ComRef<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Receive())) || !pins) {
        return E_FAIL;
    }
    int matches = 0;
    HRESULT hr = S_OK;
    for (;;) {
        IPin* candidate = nullptr;
        hr = pins->Next(1, &candidate, nullptr);
        if (hr != S_OK || candidate == nullptr) {
            break;
        }
        PIN_DIRECTION candidateDirection = PINDIR_INPUT;
        if (FAILED(candidate->QueryDirection(&candidateDirection))) {
            candidate->Release();
            return E_FAIL;
        }
        if (candidateDirection == direction) {
            if (matches == index) {
                *pin = candidate;
                return S_OK;
            }
            ++matches;
        }
        candidate->Release();
    }
    return hr == S_OK ? S_FALSE : hr;
}
