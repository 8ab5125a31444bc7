// The track the calling thread is converting. Each worker thread drives its own
// disk writer, so a console line printed on that thread belongs to its track.
#pragma once

#include <string>

namespace vantrel {

struct TrackContext {
    std::string name;       // shown with the track's console lines
    int error_lines = 0;    // error lines printed for the track
    std::string last_error; // the text of the last of them, its most specific
    int pcm_bits = 0;       // the sample depth the encoder last asked the PCM converter for
};

TrackContext* current_track();

// Makes `context` the calling thread's track for the lifetime of this object.
class ScopedTrack {
public:
    explicit ScopedTrack(TrackContext& context);
    ~ScopedTrack();
    ScopedTrack(const ScopedTrack&) = delete;
    ScopedTrack& operator=(const ScopedTrack&) = delete;

private:
    TrackContext* previous_;
};

} // namespace vantrel
