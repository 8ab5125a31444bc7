// Copying and freeing media-type records whose format blocks live in task memory.
#pragma once

#include "platform/dshow.h"

namespace media {

// Resets a record to the empty type: zero GUIDs, fixed-size samples, sample size 1, no format.
PLATFORM_API void ResetMediaType(AM_MEDIA_TYPE* type);

// Frees the format block and the object reference of a record and resets it.
PLATFORM_API void FreeMediaTypeContents(AM_MEDIA_TYPE* type);

// Deep copy: the target's old contents are freed first. E_OUTOFMEMORY leaves the target empty.
PLATFORM_API HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// A task-memory record holding a deep copy, or null when memory runs out.
PLATFORM_API AM_MEDIA_TYPE* CreateMediaTypeCopy(const AM_MEDIA_TYPE* source);

// Frees a task-memory record and its contents (null is allowed).
PLATFORM_API void DeleteMediaType(AM_MEDIA_TYPE* type);

} // namespace media
