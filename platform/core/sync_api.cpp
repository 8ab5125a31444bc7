// Events, semaphores, waits and handle closing.
#include "kernel_objects.h"
#include "win32_errors.h"

#include "platform/win32_api.h"

using namespace platform_core;

namespace {

// Applies `change` to the event behind `handle`; a handle of anything else
// fails with ERROR_INVALID_HANDLE.
template <class Change> BOOL ChangeEvent(HANDLE handle, Change change) {
    const auto object = LookupHandleOf<Event>(handle);
    if (!object) {
        SetLastError(kErrorInvalidHandle);
        return FALSE;
    }
    change(*object);
    return TRUE;
}

} // namespace

extern "C" {

HANDLE CreateEventA(void* /*security*/, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (name) {
        SetLastError(kErrorNotSupported);
        return nullptr;
    }
    return AddHandle(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) {
    return ChangeEvent(event, [](Event& object) { object.Set(); });
}

BOOL ResetEvent(HANDLE event) {
    return ChangeEvent(event, [](Event& object) { object.Reset(); });
}

HANDLE CreateSemaphoreA(void* /*security*/, LONG initialCount, LONG maximumCount, LPCSTR name) {
    if (name) {
        SetLastError(kErrorNotSupported);
        return nullptr;
    }
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    return AddHandle(std::make_shared<Semaphore>(initialCount, maximumCount));
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) {
    const auto object = LookupHandleOf<Semaphore>(semaphore);
    if (!object) {
        SetLastError(kErrorInvalidHandle);
        return FALSE;
    }
    if (releaseCount <= 0) {
        SetLastError(kErrorInvalidParameter);
        return FALSE;
    }
    if (!object->Release(releaseCount, previousCount)) {
        SetLastError(kErrorTooManyPosts);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    // The shared pointer keeps the object alive even if its handle is closed meanwhile.
    const auto object = LookupHandle(handle);
    if (!object) {
        SetLastError(kErrorInvalidHandle);
        return WAIT_FAILED;
    }
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (milliseconds != INFINITE)
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    return object->Wait(deadline) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE handle) {
    if (!RemoveHandle(handle)) {
        SetLastError(kErrorInvalidHandle);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
