// A Win32 event owned by one object: manual or automatic reset, created
// unsignalled and unnamed, closed with its owner.
#pragma once

#include "platform/win32_api.h"

class CWaitEvent {
public:
    explicit CWaitEvent(bool manualReset);
    ~CWaitEvent();
    CWaitEvent(const CWaitEvent&) = delete;
    CWaitEvent& operator=(const CWaitEvent&) = delete;

    bool Signal();
    bool Clear();
    // True only when the event was signalled within the time; INFINITE waits for ever.
    bool WaitFor(DWORD milliseconds);
    bool IsSignalled() { return WaitFor(0); }

private:
    HANDLE handle_;
};
