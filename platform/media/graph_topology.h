// Questions the graph manager asks about filters through their pins.
#pragma once

#include "platform/dshow.h"

#include <vector>

namespace media {

// The object's identity (its IUnknown pointer), for comparing interfaces.
const void* ObjectIdentity(IUnknown* object);

// The filter a pin belongs to, without a reference; null when it does not say.
IBaseFilter* OwnerOf(IPin* pin);

// A filter with input pins and no output pins.
bool IsRenderer(IBaseFilter* filter);

// Orders the filters so that every filter comes before the filters that feed
// it (renderers first). Filters in a loop keep their given order at the end.
std::vector<IBaseFilter*> DownstreamFirst(const std::vector<IBaseFilter*>& filters);

// Disconnects every connected pin of the filter on both sides.
void DisconnectPins(IBaseFilter* filter);

} // namespace media
