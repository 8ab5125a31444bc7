// The bounded hand-over of PCM blocks between the thread that produces audio
// and the source stream's worker thread. A null block marks the end of the
// stream. Once closed, the queue takes and hands out nothing more, and every
// thread waiting on it is released with a failure: a producer can never be
// left waiting for a worker that has stopped taking blocks. A closed queue is
// opened again, empty, when its stream runs again.
#pragma once

#include "platform/win32_api.h"

#include <cstdint>
#include <memory>
#include <vector>

using PcmBlock = std::vector<BYTE>;

class PcmBlockQueue {
public:
    explicit PcmBlockQueue(LONG capacity);
    ~PcmBlockQueue();
    PcmBlockQueue(const PcmBlockQueue&) = delete;
    PcmBlockQueue& operator=(const PcmBlockQueue&) = delete;

    // Waits for a free slot and stores the block (null for the end marker).
    // VFW_E_WRONG_STATE, with the block dropped, once the queue is closed.
    HRESULT Push(std::unique_ptr<PcmBlock> block);
    // Waits for a filled slot and takes the oldest block (null: the end
    // marker). VFW_E_WRONG_STATE once the queue is closed.
    HRESULT Pop(std::unique_ptr<PcmBlock>* block);
    // Releases every waiting thread; blocks still stored are freed with the queue.
    void Close();
    bool IsClosed();
    // Empties a closed queue and takes blocks again. Only while no thread uses it.
    void Reopen();

private:
    void FreeStoredBlocks();

    HANDLE freeSlots_;
    HANDLE filledSlots_;
    CRITICAL_SECTION lock_{};
    LONG capacity_;
    std::uint64_t putCount_ = 0;
    std::uint64_t takeCount_ = 0;
    std::vector<PcmBlock*> slots_;
    bool closed_ = false;
};
