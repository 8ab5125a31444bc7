// Process-local locking for the filter framework: a recursive lock over a Win32
// critical section and a scoped holder, so every early return releases it.
#pragma once

#include "platform/win32_api.h"

class CLock {
public:
    CLock() { InitializeCriticalSection(&section_); }
    ~CLock() { DeleteCriticalSection(&section_); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_{};
};

class CLockGuard {
public:
    explicit CLockGuard(CLock& lock) : lock_(lock) { lock_.Enter(); }
    ~CLockGuard() { lock_.Leave(); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;

private:
    CLock& lock_;
};
