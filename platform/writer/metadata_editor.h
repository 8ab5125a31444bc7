// The format runtime's metadata editor (WMCreateEditor): opens a finished
// Windows Media file, changes its attributes through IWMHeaderInfo3, and on
// Flush writes the file again with the new header (see header_rewrite.h) and
// closes it, whether or not that succeeded. A symbolic link is followed and
// stays a link; only regular files can be opened.
#pragma once

#include "core/com_ptr.h"

#include "platform/wmsdk.h"

namespace writer {

// A new editor with one reference.
com::Ptr<IWMMetadataEditor> CreateMetadataEditor();

} // namespace writer
