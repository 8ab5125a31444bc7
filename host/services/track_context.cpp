#include "services/track_context.h"

namespace vantrel {
namespace {
thread_local TrackContext* current = nullptr;
}

TrackContext* current_track() {
    return current;
}

ScopedTrack::ScopedTrack(TrackContext& context) : previous_(current) {
    current = &context;
}

ScopedTrack::~ScopedTrack() {
    current = previous_;
}

} // namespace vantrel
