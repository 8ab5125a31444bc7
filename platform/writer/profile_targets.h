// What the writer takes from a profile object: one encoder target per audio
// stream, read through the profile's interfaces (the object may come from any
// profile manager).
#pragma once

#include "packet_encoder.h"
#include "profile_description.h"

#include "platform/wmsdk.h"

#include <vector>

namespace writer {

struct ProfileStreamTarget {
    WORD streamNumber = 0;
    EncoderTarget target;
};

// NS_E_INVALIDPROFILE for a profile without a readable audio stream,
// NS_E_INVALID_OUTPUT_FORMAT for streams the writer cannot write.
HRESULT ReadProfileTargets(IWMProfile* profile, std::vector<ProfileStreamTarget>* targets);

// The configuration the writer has before any profile is set: 128 kbps
// Windows Media Audio 2, 44100 Hz stereo.
ProfileDescription DefaultProfileDescription();

} // namespace writer
