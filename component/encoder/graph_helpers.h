// Helpers of the encoding graph: its entry in the running object table, where
// graph-inspection tools find it, and finding and adding filters and pins.
#pragma once

#include "platform/dshow.h"

// Registers the graph under "FilterGraph <graph pointer> pid <process> -
// DShowWMAEncoder", with the registration keeping the graph alive. Answers
// E_FAIL without a running object table, otherwise the table's result.
HRESULT PublishGraph(IUnknown* graph, DWORD* token);
void UnpublishGraph(DWORD token);
// The name PublishGraph registers the graph under.
void FormatGraphName(const IUnknown* graph, DWORD processId, WCHAR* name, int nameSize);

// Creates a filter of the class and adds it to the graph under the name. The
// filter's reference goes to `filter` only when it was added.
HRESULT CreateAndAddFilter(IGraphBuilder* graph, REFCLSID classId, LPCWSTR name,
                           IBaseFilter** filter);
// The index-th pin (from 0) of the direction. S_FALSE with a null pin when
// there is none; E_FAIL when the pins cannot be walked.
HRESULT FindNthPin(IBaseFilter* filter, PIN_DIRECTION direction, int index, IPin** pin);
