// Waitable kernel objects behind HANDLE values, and the process-wide table that
// maps handle values to them. Objects are shared: a handle closed while another
// thread waits on it keeps its object alive until that wait returns.
#pragma once

#include "platform/win32_types.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace platform_core {

class KernelObject {
public:
    virtual ~KernelObject() = default;

    // Waits until the object is signalled (consuming the signal where the kind
    // of object says so) or the deadline passes. No deadline waits for ever.
    bool Wait(std::optional<std::chrono::steady_clock::time_point> deadline);

protected:
    // Called with the object's lock held: true when the object is signalled,
    // after taking whatever a successful wait takes.
    virtual bool TryAcquire() = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
};

class Event final : public KernelObject {
public:
    Event(bool manualReset, bool initialState)
        : manualReset_(manualReset), signalled_(initialState) {}
    void Set();
    void Reset();

private:
    bool TryAcquire() override;

    const bool manualReset_;
    bool signalled_;
};

class Semaphore final : public KernelObject {
public:
    Semaphore(LONG initialCount, LONG maximumCount)
        : count_(initialCount), maximum_(maximumCount) {}
    // False, with the count unchanged, when the release would pass the maximum.
    bool Release(LONG releaseCount, LONG* previousCount);

private:
    bool TryAcquire() override;

    LONG count_;
    const LONG maximum_;
};

class ThreadObject final : public KernelObject {
public:
    // STILL_ACTIVE while the thread runs.
    DWORD ExitCode();
    void Finish(DWORD exitCode);

private:
    bool TryAcquire() override;

    bool finished_ = false;
    DWORD exitCode_ = 0;
};

// Enters an object into the handle table and answers its new handle value.
HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// The object of a handle, or null for a handle that is not open.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Removes a handle; false when it was not open.
bool RemoveHandle(HANDLE handle);

template <typename Kind> std::shared_ptr<Kind> LookupHandleOf(HANDLE handle) {
    return std::dynamic_pointer_cast<Kind>(LookupHandle(handle));
}

} // namespace platform_core
