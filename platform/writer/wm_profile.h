// The format runtime's profile objects: IWMProfile over checked profile data,
// IWMStreamConfig + IWMMediaProps per stream, and the profile manager.
#pragma once

#include "core/com_ptr.h"
#include "profile_description.h"

#include "platform/wmsdk.h"

namespace writer {

// A new profile object (one reference) holding a copy of the description.
com::Ptr<IWMProfile> CreateProfileObject(const ProfileDescription& description);

// Copies text out under the two-call protocol: with a null buffer the length
// needed (characters with the terminator) is stored; a buffer that is too short
// answers ASF_E_BUFFERTOOSMALL.
template <class Length>
HRESULT CopyTextOut(std::u16string_view text, WCHAR* buffer, Length* length);

} // namespace writer
