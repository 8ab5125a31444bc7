// The filter graph manager (class CLSID_FilterGraph).
//
// It connects pins directly (the output pin's Connect) and inserts no other
// filters. It holds a reference to each filter it contains; removing a filter
// or destroying the graph disconnects the filter's pins, clears its clock and
// calls JoinFilterGraph(null, null).
//
// State changes go to the filters downstream first (renderers before their
// sources), so a filter is ready before data reaches it: Run pauses every
// filter that is stopped, then runs them all with one start time on the
// graph's reference clock (the system clock unless another one, or none, was
// chosen with SetSyncSource). Stop returns once every filter has stopped.
// StopWhenReady stops the graph the same way. A failed Pause or Run stops the
// graph again and answers the failure.
#pragma once

#include "platform/dshow.h"

namespace media {

// The class factory function registered for CLSID_FilterGraph.
HRESULT CreateFilterGraphInstance(IUnknown* outer, REFIID iid, void** object);

} // namespace media
