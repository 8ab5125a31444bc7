// The event side of the filter graph manager: the queue that GetEvent reads,
// the completion state that WaitForCompletion waits for, and the handle that
// is signalled while events are queued.
//
// EC_COMPLETE from filters is counted: when every renderer counted at the
// start of streaming (each filter once) has completed, one EC_COMPLETE is
// queued and the graph is complete. EC_ERRORABORT and EC_USERABORT end the wait
// at once (the first one's code is kept, with the error object of the thread
// that raised it, which a wait that ends on the abort hands to its caller's
// thread). Other events are only queued.
#pragma once

#include "core/com_ptr.h"
#include "platform/dshow.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace media {

class GraphEvents {
public:
    GraphEvents();
    ~GraphEvents();
    GraphEvents(const GraphEvents&) = delete;
    GraphEvents& operator=(const GraphEvents&) = delete;

    // The graph leaves the stopped state with these renderers (identities only).
    void StartStreaming(std::vector<const void*> renderers);
    // The graph has stopped: a wait for completion that cannot end any more
    // ends with VFW_E_WRONG_STATE.
    void StreamingStopped();

    // IMediaEventSink::Notify. Takes only this object's lock.
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2);

    // S_OK with the code of completion or abort; E_ABORT and code 0 when the
    // time limit (milliseconds, negative for none) passes first.
    HRESULT WaitForCompletion(LONG milliseconds, LONG* code);
    // The oldest queued event; E_ABORT when none arrives in time.
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds);
    HRESULT GetEventHandle(OAEVENT* handle);

private:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };
    void Queue(const Event& event);
    template <class Predicate>
    bool WaitFor(std::unique_lock<std::mutex>& guard, LONG milliseconds, Predicate ready);

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Event> queue_;
    HANDLE queuedSignal_ = nullptr;
    bool streaming_ = false;
    std::vector<const void*> renderers_;
    std::vector<const void*> completed_;
    std::size_t completions_ = 0;
    bool complete_ = false;
    LONG abortCode_ = 0;
    com::Ptr<IErrorInfo> abortReason_; // the aborting thread's error object, if any
};

} // namespace media
