// A worker thread that a controlling thread drives with synchronous commands:
// the sender posts one command code and waits until the worker answers it.
#pragma once

#include <atomic>

#include "filters/lock.h"
#include "filters/wait_event.h"

// Joins the calling thread to the multithreaded COM apartment through the COM
// module's CoInitializeEx, looked up among the loaded modules. E_FAIL when the
// module or the function is missing; there is no single-threaded fallback.
HRESULT InitWorkerApartment();

class CAMThread {
public:
    CAMThread();
    CAMThread(const CAMThread&) = delete;
    CAMThread& operator=(const CAMThread&) = delete;

    // The worker body; its result is the thread's exit code.
    virtual DWORD WorkerMain() = 0;
    virtual ~CAMThread();

    // Controller side, callable from any thread.
    bool StartWorker();
    HRESULT SendCommand(DWORD command);
    bool HasWorker() const { return worker_.load() != nullptr; }
    void JoinWorker();

protected:
    // Worker side, called only from within WorkerMain. Taking or polling a
    // command does not consume it; only Answer does.
    DWORD NextCommand();
    bool PollCommand(DWORD* command);
    void Answer(HRESULT result);

private:
    static DWORD WorkerEntry(LPVOID parameter);

    CWaitEvent request_{true};
    CWaitEvent reply_{false};
    DWORD requestParameter_ = 0;
    HRESULT replyValue_ = S_OK;
    std::atomic<HANDLE> worker_{nullptr};
    CLock accessLock_;
};
