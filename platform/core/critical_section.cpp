// Critical sections: recursive locks whose state lives on the heap.
#include "platform/win32_api.h"

#include <mutex>

namespace {

std::recursive_mutex* Lock(LPCRITICAL_SECTION section) {
    return static_cast<std::recursive_mutex*>(section->impl);
}

} // namespace

extern "C" {

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->impl = new std::recursive_mutex;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete Lock(section);
    section->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    Lock(section)->lock();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    return Lock(section)->try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    Lock(section)->unlock();
}

} // extern "C"
