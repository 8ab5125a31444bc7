// Threads, thread and process identities, time and the per-thread last error.
#include "kernel_objects.h"
#include "tick_count.h"
#include "win32_errors.h"

#include "platform/win32_api.h"

#include <atomic>
#include <system_error>
#include <thread>

#include <unistd.h>

using namespace platform_core;

namespace {

std::atomic<DWORD> nextThreadId{1};
thread_local DWORD currentThreadId = 0;
thread_local DWORD lastError = 0;

DWORD NewThreadId() {
    DWORD id = nextThreadId.fetch_add(1);
    if (id == 0) // after a wrap; 0 never names a thread
        id = nextThreadId.fetch_add(1);
    return id;
}

} // namespace

extern "C" {

HANDLE CreateThread(void* /*security*/, SIZE_T /*stackSize*/, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD /*creationFlags*/, DWORD* threadId) {
    if (!start) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    const auto thread = std::make_shared<ThreadObject>();
    const DWORD id = NewThreadId();
    try {
        // The thread owns a share of its object, so it can finish after every
        // handle is closed; it is detached and never joined.
        std::thread([thread, id, start, parameter] {
            currentThreadId = id;
            thread->Finish(start(parameter));
        }).detach();
    } catch (const std::system_error&) {
        SetLastError(kErrorNotEnoughMemory);
        return nullptr;
    }
    if (threadId)
        *threadId = id;
    return AddHandle(thread);
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
    const auto object = LookupHandleOf<ThreadObject>(thread);
    if (!object) {
        SetLastError(kErrorInvalidHandle);
        return FALSE;
    }
    if (!exitCode) {
        SetLastError(kErrorInvalidParameter);
        return FALSE;
    }
    *exitCode = object->ExitCode();
    return TRUE;
}

DWORD GetCurrentThreadId() {
    if (currentThreadId == 0)
        currentThreadId = NewThreadId();
    return currentThreadId;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return TickCountFromMilliseconds(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

} // extern "C"
