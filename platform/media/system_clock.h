// The platform's system reference clock (class CLSID_SystemClock): 100-ns units
// of a monotonic clock. Advise requests are not supported (E_NOTIMPL).
#pragma once

#include "platform/dshow.h"

namespace media {

// Creates a system clock with one reference.
HRESULT CreateSystemClock(IReferenceClock** clock);

// The class factory function registered for CLSID_SystemClock.
HRESULT CreateSystemClockInstance(IUnknown* outer, REFIID iid, void** object);

} // namespace media
