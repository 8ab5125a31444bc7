// The platform's file writer keeps an unfinished output in a temporary file
// beside its path. A process that must end at once (a second interrupt) calls
// this first, so that no temporary file is left behind.
#pragma once

#include "platform/win32_types.h"

extern "C" {

// Removes every temporary output file still being written. Safe to call from
// a signal handler; the writers that own the files must not be used afterwards.
PLATFORM_API void RemoveUnfinishedOutputFiles();

} // extern "C"
