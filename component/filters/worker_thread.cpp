#include "filters/worker_thread.h"

#include "platform/com.h"

namespace {
// Multithreaded apartment with OLE1 DDE disabled.
constexpr DWORD kWorkerApartmentFlags = 4;
using CoInitializeExFunction = HRESULT (*)(LPVOID reserved, DWORD coInit);
} // namespace

HRESULT InitWorkerApartment() {
    HMODULE ole = GetModuleHandleA("ole32.dll");
    if (ole == nullptr) {
        return E_FAIL;
    }
    FARPROC address = GetProcAddress(ole, "CoInitializeEx");
    if (address == nullptr) {
        return E_FAIL;
    }
    auto initialise = reinterpret_cast<CoInitializeExFunction>(address);
    return initialise(nullptr, kWorkerApartmentFlags);
}

CAMThread::CAMThread() = default;

CAMThread::~CAMThread() {
    JoinWorker();
}

bool CAMThread::StartWorker() {
    CLockGuard guard(accessLock_);
    if (HasWorker()) {
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, &CAMThread::WorkerEntry, this, 0, nullptr);
    worker_.store(thread);
    return thread != nullptr;
}

DWORD CAMThread::WorkerEntry(LPVOID parameter) {
    auto* self = static_cast<CAMThread*>(parameter);
    HRESULT apartment = InitWorkerApartment();
    DWORD exitCode = self->WorkerMain();
    if (SUCCEEDED(apartment)) {
        CoUninitialize();
    }
    return exitCode;
}

HRESULT CAMThread::SendCommand(DWORD command) {
    // Held until the answer is read: one command in flight per object.
    CLockGuard guard(accessLock_);
    if (!HasWorker()) {
        return E_FAIL;
    }
    requestParameter_ = command;
    request_.Signal();
    reply_.WaitFor(INFINITE);
    return replyValue_;
}

void CAMThread::JoinWorker() {
    HANDLE thread = worker_.exchange(nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

DWORD CAMThread::NextCommand() {
    request_.WaitFor(INFINITE);
    return requestParameter_;
}

bool CAMThread::PollCommand(DWORD* command) {
    if (!request_.IsSignalled()) {
        return false;
    }
    if (command != nullptr) {
        *command = requestParameter_;
    }
    return true;
}

void CAMThread::Answer(HRESULT result) {
    // The reply is in place and the request withdrawn before the sender wakes.
    replyValue_ = result;
    request_.Clear();
    reply_.Signal();
}
