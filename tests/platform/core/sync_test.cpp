// Events, semaphores, critical sections, threads and waits.
#include "platform/win32_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

// Long enough that a waiter that should wake does wake; a test that needs it
// to pass means something is stuck.
constexpr DWORD kBoundedWait = 10000;

struct Handle {
    HANDLE value;
    explicit Handle(HANDLE h) : value(h) {}
    ~Handle() {
        if (value)
            CloseHandle(value);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

HANDLE StartThread(LPTHREAD_START_ROUTINE start, void* parameter) {
    HANDLE thread = CreateThread(nullptr, 0, start, parameter, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    return thread;
}

void Join(HANDLE thread) {
    ASSERT_EQ(WaitForSingleObject(thread, kBoundedWait), WAIT_OBJECT_0);
    CloseHandle(thread);
}

// ---- Waits ----------------------------------------------------------------------

TEST(Wait, TimesOutOnAnUnsignalledEvent) {
    Handle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event.value, 20), 0x102u);
}

TEST(Wait, FailsForHandlesThatAreNotOpen) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x1234), 0), WAIT_FAILED);
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_NE(GetLastError(), 0u);
}

TEST(Wait, NamedObjectsAreRefused) {
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "shared"), nullptr);
    EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 1, "shared"), nullptr);
}

// ---- Events ---------------------------------------------------------------------

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Handle event(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event.value));
    EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_TIMEOUT);
}

TEST(Event, AutomaticResetIsConsumedByOneWait) {
    Handle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(SetEvent(event.value));
    ASSERT_TRUE(SetEvent(event.value)); // does not count: an event is not a semaphore
    EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_TIMEOUT);
}

TEST(Event, SetAndResetRefuseOtherHandles) {
    Handle semaphore(CreateSemaphoreA(nullptr, 0, 1, nullptr));
    EXPECT_FALSE(SetEvent(semaphore.value));
    EXPECT_FALSE(ResetEvent(nullptr));
}

struct Waiters {
    HANDLE event;
    HANDLE started;
    std::atomic<int> woken{0};
};

DWORD WaitOnEvent(void* parameter) {
    auto* waiters = static_cast<Waiters*>(parameter);
    ReleaseSemaphore(waiters->started, 1, nullptr);
    if (WaitForSingleObject(waiters->event, kBoundedWait) == WAIT_OBJECT_0)
        ++waiters->woken;
    return 0;
}

// Makes the event and answers `count` threads waiting on it, once all started.
std::vector<HANDLE> StartWaiters(Waiters& waiters, BOOL manualReset, int count) {
    waiters.event = CreateEventA(nullptr, manualReset, FALSE, nullptr);
    waiters.started = CreateSemaphoreA(nullptr, 0, count, nullptr);
    std::vector<HANDLE> threads;
    for (int i = 0; i < count; ++i)
        threads.push_back(StartThread(&WaitOnEvent, &waiters));
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(WaitForSingleObject(waiters.started, kBoundedWait), WAIT_OBJECT_0);
    return threads;
}

void JoinAndClose(Waiters& waiters, const std::vector<HANDLE>& threads) {
    for (HANDLE thread : threads)
        Join(thread);
    CloseHandle(waiters.event);
    CloseHandle(waiters.started);
}

TEST(Event, AutomaticResetWakesExactlyOneWaiterPerSet) {
    constexpr int kThreads = 4;
    Waiters waiters;
    const std::vector<HANDLE> threads = StartWaiters(waiters, FALSE, kThreads);

    for (int set = 1; set <= kThreads; ++set) {
        ASSERT_TRUE(SetEvent(waiters.event));
        // Wait until someone took it: the event returns to unsignalled.
        while (waiters.woken.load() < set)
            Sleep(1);
        Sleep(5); // room for a wrongly woken second waiter to show up
        EXPECT_EQ(waiters.woken.load(), set);
    }
    JoinAndClose(waiters, threads);
    EXPECT_EQ(waiters.woken.load(), kThreads);
}

TEST(Event, ManualResetWakesEveryWaiter) {
    constexpr int kThreads = 4;
    Waiters waiters;
    const std::vector<HANDLE> threads = StartWaiters(waiters, TRUE, kThreads);
    EXPECT_TRUE(SetEvent(waiters.event));
    JoinAndClose(waiters, threads);
    EXPECT_EQ(waiters.woken.load(), kThreads);
}

struct ShortWait {
    HANDLE event;
    HANDLE started;
    DWORD result = 0;
};

DWORD WaitBriefly(void* parameter) {
    auto* wait = static_cast<ShortWait*>(parameter);
    ReleaseSemaphore(wait->started, 1, nullptr);
    wait->result = WaitForSingleObject(wait->event, 200);
    return 0;
}

TEST(Event, ClosingAHandleWhileAnotherThreadWaitsKeepsTheObject) {
    ShortWait wait;
    wait.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wait.started = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    HANDLE thread = StartThread(&WaitBriefly, &wait);
    ASSERT_EQ(WaitForSingleObject(wait.started, kBoundedWait), WAIT_OBJECT_0);
    Sleep(20);
    ASSERT_TRUE(CloseHandle(wait.event));
    // The waiter still holds the object: its wait ends by its time limit, not
    // by failing or touching freed memory.
    Join(thread);
    EXPECT_EQ(wait.result, WAIT_TIMEOUT);
    CloseHandle(wait.started);
}

// ---- Semaphores -----------------------------------------------------------------

TEST(Semaphore, CountsDownAndRefusesAReleasePastTheMaximum) {
    Handle semaphore(CreateSemaphoreA(nullptr, 1, 2, nullptr));
    LONG previous = -1;
    ASSERT_TRUE(ReleaseSemaphore(semaphore.value, 1, &previous));
    EXPECT_EQ(previous, 1);
    previous = -1;
    EXPECT_FALSE(ReleaseSemaphore(semaphore.value, 1, &previous));
    EXPECT_EQ(previous, -1);
    EXPECT_EQ(WaitForSingleObject(semaphore.value, 0), WAIT_OBJECT_0);
    // A failed release of two leaves the count at one.
    EXPECT_FALSE(ReleaseSemaphore(semaphore.value, 2, nullptr));
    EXPECT_EQ(WaitForSingleObject(semaphore.value, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore.value, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(ReleaseSemaphore(semaphore.value, 0, nullptr));
}

TEST(Semaphore, RefusesBadCounts) {
    EXPECT_EQ(CreateSemaphoreA(nullptr, 3, 2, nullptr), nullptr);
    EXPECT_EQ(CreateSemaphoreA(nullptr, -1, 2, nullptr), nullptr);
    EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 0, nullptr), nullptr);
}

struct Pool {
    static constexpr LONG kMaximum = 2;
    HANDLE semaphore;
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    std::atomic<int> failedReleases{0};
};

DWORD UsePool(void* parameter) {
    auto* pool = static_cast<Pool*>(parameter);
    for (int round = 0; round < 200; ++round) {
        if (WaitForSingleObject(pool->semaphore, kBoundedWait) != WAIT_OBJECT_0)
            return 1;
        const int now = ++pool->inside;
        int most = pool->most.load();
        while (now > most && !pool->most.compare_exchange_weak(most, now)) {
        }
        --pool->inside;
        if (!ReleaseSemaphore(pool->semaphore, 1, nullptr))
            ++pool->failedReleases;
    }
    return 0;
}

TEST(Semaphore, NeverLetsMoreThanItsMaximumIn) {
    Pool pool;
    pool.semaphore = CreateSemaphoreA(nullptr, Pool::kMaximum, Pool::kMaximum, nullptr);
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(StartThread(&UsePool, &pool));
    for (HANDLE thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread, kBoundedWait), WAIT_OBJECT_0);
        DWORD code = 99;
        ASSERT_TRUE(GetExitCodeThread(thread, &code));
        EXPECT_EQ(code, 0u);
        CloseHandle(thread);
    }
    EXPECT_LE(pool.most.load(), Pool::kMaximum);
    EXPECT_GE(pool.most.load(), 1);
    EXPECT_EQ(pool.failedReleases.load(), 0);
    // Every slot was given back: the count is at its maximum again.
    EXPECT_FALSE(ReleaseSemaphore(pool.semaphore, 1, nullptr));
    CloseHandle(pool.semaphore);
}

// ---- Critical sections ----------------------------------------------------------

TEST(CriticalSection, IsRecursive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
}

struct Guarded {
    CRITICAL_SECTION section;
    long counter = 0; // plain: only the critical section protects it
    BOOL triedWhileHeld = TRUE;
};

DWORD AddMany(void* parameter) {
    auto* guarded = static_cast<Guarded*>(parameter);
    for (int i = 0; i < 10000; ++i) {
        EnterCriticalSection(&guarded->section);
        EnterCriticalSection(&guarded->section);
        ++guarded->counter;
        LeaveCriticalSection(&guarded->section);
        LeaveCriticalSection(&guarded->section);
    }
    return 0;
}

DWORD TryOnce(void* parameter) {
    auto* guarded = static_cast<Guarded*>(parameter);
    guarded->triedWhileHeld = TryEnterCriticalSection(&guarded->section);
    if (guarded->triedWhileHeld)
        LeaveCriticalSection(&guarded->section);
    return 0;
}

TEST(CriticalSection, ExcludesOtherThreads) {
    Guarded guarded;
    InitializeCriticalSection(&guarded.section);
    EnterCriticalSection(&guarded.section);
    Join(StartThread(&TryOnce, &guarded));
    EXPECT_FALSE(guarded.triedWhileHeld);
    LeaveCriticalSection(&guarded.section);

    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(StartThread(&AddMany, &guarded));
    for (HANDLE thread : threads)
        Join(thread);
    EXPECT_EQ(guarded.counter, 40000);
    DeleteCriticalSection(&guarded.section);
}

// ---- Threads --------------------------------------------------------------------

struct Gate {
    HANDLE open;
    DWORD threadId = 0;
};

DWORD WaitAtGate(void* parameter) {
    auto* gate = static_cast<Gate*>(parameter);
    gate->threadId = GetCurrentThreadId();
    WaitForSingleObject(gate->open, kBoundedWait);
    return 42;
}

TEST(Thread, ReportsStillActiveThenItsExitCode) {
    Gate gate;
    gate.open = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &WaitAtGate, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    SetEvent(gate.open);
    ASSERT_EQ(WaitForSingleObject(thread, kBoundedWait), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0); // stays signalled
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(gate.threadId, id);
    CloseHandle(thread);
    CloseHandle(gate.open);
}

struct DetachedRun {
    HANDLE open;
    HANDLE done;
};

DWORD RunDetached(void* parameter) {
    auto* run = static_cast<DetachedRun*>(parameter);
    WaitForSingleObject(run->open, kBoundedWait);
    ReleaseSemaphore(run->done, 1, nullptr);
    return 0;
}

TEST(Thread, ClosingTheHandleOfARunningThreadDetachesIt) {
    // Static: the detached thread may still be returning after the test ends.
    static DetachedRun run;
    run.open = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    run.done = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    HANDLE thread = StartThread(&RunDetached, &run);
    ASSERT_TRUE(CloseHandle(thread));
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    ASSERT_TRUE(SetEvent(run.open));
    // The thread runs on to its end without its handle.
    EXPECT_EQ(WaitForSingleObject(run.done, kBoundedWait), WAIT_OBJECT_0);
}

TEST(Thread, RefusesANullStartRoutine) {
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

DWORD ReadLastError(void* parameter) {
    *static_cast<DWORD*>(parameter) = GetLastError();
    SetLastError(7);
    return 0;
}

TEST(Thread, LastErrorIsPerThread) {
    SetLastError(1234);
    DWORD seen = 99;
    Join(StartThread(&ReadLastError, &seen));
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST(Thread, ProcessAndThreadIdentities) {
    EXPECT_NE(GetCurrentProcessId(), 0u);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    DWORD other = 0;
    Join(StartThread(
        [](void* p) -> DWORD {
            *static_cast<DWORD*>(p) = GetCurrentThreadId();
            return 0;
        },
        &other));
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, GetCurrentThreadId());
}

} // namespace
