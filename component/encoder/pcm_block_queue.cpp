#include "encoder/pcm_block_queue.h"

#include "platform/dshow.h"

PcmBlockQueue::PcmBlockQueue(LONG capacity)
    : freeSlots_(CreateSemaphoreA(nullptr, capacity, capacity, nullptr)),
      filledSlots_(CreateSemaphoreA(nullptr, 0, capacity, nullptr)), capacity_(capacity),
      slots_(static_cast<std::size_t>(capacity), nullptr) {
    InitializeCriticalSection(&lock_);
}

PcmBlockQueue::~PcmBlockQueue() {
    FreeStoredBlocks();
    DeleteCriticalSection(&lock_);
    if (freeSlots_ != nullptr) {
        CloseHandle(freeSlots_);
    }
    if (filledSlots_ != nullptr) {
        CloseHandle(filledSlots_);
    }
}

HRESULT PcmBlockQueue::Push(std::unique_ptr<PcmBlock> block) {
    if (WaitForSingleObject(freeSlots_, INFINITE) != WAIT_OBJECT_0) {
        return E_UNEXPECTED;
    }
    EnterCriticalSection(&lock_);
    if (closed_) {
        LeaveCriticalSection(&lock_);
        // Hand the wake-up on to the next waiting producer.
        ReleaseSemaphore(freeSlots_, 1, nullptr);
        return VFW_E_WRONG_STATE;
    }
    slots_[putCount_ % static_cast<std::uint64_t>(capacity_)] = block.release();
    ++putCount_;
    LeaveCriticalSection(&lock_);
    ReleaseSemaphore(filledSlots_, 1, nullptr);
    return S_OK;
}

HRESULT PcmBlockQueue::Pop(std::unique_ptr<PcmBlock>* block) {
    if (WaitForSingleObject(filledSlots_, INFINITE) != WAIT_OBJECT_0) {
        return E_UNEXPECTED;
    }
    EnterCriticalSection(&lock_);
    if (closed_) {
        LeaveCriticalSection(&lock_);
        ReleaseSemaphore(filledSlots_, 1, nullptr);
        return VFW_E_WRONG_STATE;
    }
    block->reset(slots_[takeCount_ % static_cast<std::uint64_t>(capacity_)]);
    ++takeCount_;
    LeaveCriticalSection(&lock_);
    ReleaseSemaphore(freeSlots_, 1, nullptr);
    return S_OK;
}

void PcmBlockQueue::Close() {
    EnterCriticalSection(&lock_);
    const bool wasClosed = closed_;
    closed_ = true;
    LeaveCriticalSection(&lock_);
    if (wasClosed) {
        return;
    }
    // A semaphore that is already at its maximum has no waiter to wake; each
    // woken thread passes the wake-up on to the next.
    ReleaseSemaphore(freeSlots_, 1, nullptr);
    ReleaseSemaphore(filledSlots_, 1, nullptr);
}

void PcmBlockQueue::Reopen() {
    EnterCriticalSection(&lock_);
    if (closed_) {
        FreeStoredBlocks();
        putCount_ = takeCount_ = 0;
        // The wake-ups that closing set going are still counted in the
        // semaphores: start both afresh.
        CloseHandle(freeSlots_);
        CloseHandle(filledSlots_);
        freeSlots_ = CreateSemaphoreA(nullptr, capacity_, capacity_, nullptr);
        filledSlots_ = CreateSemaphoreA(nullptr, 0, capacity_, nullptr);
        closed_ = false;
    }
    LeaveCriticalSection(&lock_);
}

void PcmBlockQueue::FreeStoredBlocks() {
    for (std::uint64_t taken = takeCount_; taken < putCount_; ++taken) {
        delete slots_[taken % static_cast<std::uint64_t>(capacity_)];
    }
}

bool PcmBlockQueue::IsClosed() {
    EnterCriticalSection(&lock_);
    const bool closed = closed_;
    LeaveCriticalSection(&lock_);
    return closed;
}
