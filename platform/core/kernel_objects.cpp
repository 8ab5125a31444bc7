#include "kernel_objects.h"

#include "platform/win32_api.h"

#include <unordered_map>

namespace platform_core {

bool KernelObject::Wait(std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock lock(mutex_);
    if (TryAcquire())
        return true;
    if (!deadline) {
        changed_.wait(lock, [this] { return TryAcquire(); });
        return true;
    }
    // A poll (a deadline already passed) answers at once: waiting on the
    // condition variable would still enter the kernel, on a hot path of callers
    // that poll for commands between samples.
    if (std::chrono::steady_clock::now() >= *deadline)
        return false;
    return changed_.wait_until(lock, *deadline, [this] { return TryAcquire(); });
}

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    // Every waiter re-checks under the lock; for an automatic-reset event only
    // the first one to get there takes the signal, the rest wait on.
    changed_.notify_all();
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::TryAcquire() {
    if (!signalled_)
        return false;
    if (!manualReset_)
        signalled_ = false;
    return true;
}

bool Semaphore::Release(LONG releaseCount, LONG* previousCount) {
    {
        std::lock_guard lock(mutex_);
        if (releaseCount > maximum_ - count_)
            return false;
        if (previousCount)
            *previousCount = count_;
        count_ += releaseCount;
    }
    changed_.notify_all();
    return true;
}

bool Semaphore::TryAcquire() {
    if (count_ <= 0)
        return false;
    --count_;
    return true;
}

DWORD ThreadObject::ExitCode() {
    std::lock_guard lock(mutex_);
    return finished_ ? exitCode_ : STILL_ACTIVE;
}

void ThreadObject::Finish(DWORD exitCode) {
    {
        std::lock_guard lock(mutex_);
        exitCode_ = exitCode;
        finished_ = true;
    }
    changed_.notify_all();
}

bool ThreadObject::TryAcquire() {
    return finished_;
}

namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    // Handle values are never reused, so a stale handle can never reach a newer object.
    std::uintptr_t next = 0x10000;
};

HandleTable& Table() {
    // Never destroyed: detached threads and static destructors elsewhere may
    // still close handles while the process exits.
    static HandleTable* table = new HandleTable;
    return *table;
}

} // namespace

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const std::uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto found = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == table.objects.end() ? nullptr : found->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> released;
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto found = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == table.objects.end())
        return false;
    // The object is destroyed, if this was its last owner, after the lock is let go.
    released = std::move(found->second);
    table.objects.erase(found);
    return true;
}

} // namespace platform_core
