// Makes the media classes creatable with CoCreateInstance when the platform
// library is loaded.
#include "media/filter_graph.h"
#include "media/memory_allocator.h"
#include "media/system_clock.h"

namespace {

struct MediaClassRegistration {
    MediaClassRegistration() {
        CoRegisterClassFunction(CLSID_FilterGraph, media::CreateFilterGraphInstance);
        CoRegisterClassFunction(CLSID_MemoryAllocator, media::CreateMemoryAllocatorInstance);
        CoRegisterClassFunction(CLSID_SystemClock, media::CreateSystemClockInstance);
    }
};

const MediaClassRegistration registration;

} // namespace
