// What a host may ask of the files the platform's file writer publishes: a say
// in which existing files may be replaced, word of a file about to be
// published, and copying a finished file into place with the same care as an
// encoded one.
#pragma once

#include "platform/win32_types.h"

extern "C" {

// Asked, for each output path whose writer would replace an existing file,
// whether it may: FALSE keeps whatever stands at the path when the output is
// published, even a file that appeared while the output was being written.
// Called from any thread; must not block.
typedef BOOL (*OutputReplaceCheck)(const char* path, void* context);

// Installs the check for the whole process; a null check lets every writer
// replace as its mode says.
PLATFORM_API void SetOutputReplaceCheck(OutputReplaceCheck check, void* context);

// Told the path of each output the writer is about to publish, as the writer
// was given it: the file is written in full and is now flushed to the disk
// and moved onto the path, which may take a while and which the writer's
// caller still waits for. A device or pipe, written directly, is not told.
// Called from any thread; must not block.
typedef void (*OutputPublishNotice)(const char* path, void* context);

// Installs the notice for the whole process; null installs none.
PLATFORM_API void SetOutputPublishNotice(OutputPublishNotice notice, void* context);

// Copies the regular file `source` to `target` as the writer publishes an
// output: through a temporary file beside the target that is moved onto it
// only when complete, links at the target followed, a device or pipe written
// directly. With `replaceExisting` FALSE (or the replace check saying no) an
// existing file is never replaced. S_OK, else NS_E_FILE_OPEN_FAILED or
// NS_E_FILE_WRITE with the reason in words as the thread's error object.
PLATFORM_API HRESULT CopyOutputFile(const char* source, const char* target, BOOL replaceExisting);

} // extern "C"
