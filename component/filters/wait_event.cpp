#include "filters/wait_event.h"

CWaitEvent::CWaitEvent(bool manualReset)
    : handle_(CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr)) {}

CWaitEvent::~CWaitEvent() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

bool CWaitEvent::Signal() {
    return SetEvent(handle_) != FALSE;
}

bool CWaitEvent::Clear() {
    return ResetEvent(handle_) != FALSE;
}

bool CWaitEvent::WaitFor(DWORD milliseconds) {
    return WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0;
}
