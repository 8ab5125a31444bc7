#include "media/graph_events.h"

#include "platform/win32_api.h"

#include <algorithm>
#include <chrono>

namespace media {

namespace {

// Events nobody reads are dropped beyond this many; completion still counts.
constexpr std::size_t kMaxQueuedEvents = 1024;

bool Contains(const std::vector<const void*>& list, const void* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

GraphEvents::GraphEvents() : queuedSignal_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

GraphEvents::~GraphEvents() {
    if (queuedSignal_ != nullptr)
        CloseHandle(queuedSignal_);
}

void GraphEvents::StartStreaming(std::vector<const void*> renderers) {
    std::lock_guard guard(lock_);
    streaming_ = true;
    renderers_ = std::move(renderers);
    completed_.clear();
    completions_ = 0;
    complete_ = false;
    abortCode_ = 0;
    abortReason_.Reset();
    changed_.notify_all();
}

void GraphEvents::StreamingStopped() {
    std::lock_guard guard(lock_);
    streaming_ = false;
    changed_.notify_all();
}

void GraphEvents::Queue(const Event& event) {
    if (queue_.size() >= kMaxQueuedEvents)
        return;
    queue_.push_back(event);
    if (queuedSignal_ != nullptr)
        SetEvent(queuedSignal_);
}

HRESULT GraphEvents::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    std::lock_guard guard(lock_);
    if (code == EC_COMPLETE) {
        const auto* filter = reinterpret_cast<const void*>(param2);
        // A filter that completes twice counts once.
        if (filter != nullptr && Contains(completed_, filter))
            return S_OK;
        if (filter != nullptr)
            completed_.push_back(filter);
        ++completions_;
        if (!complete_ && completions_ >= renderers_.size()) {
            complete_ = true;
            Queue({EC_COMPLETE, S_OK, 0});
            changed_.notify_all();
        }
        return S_OK;
    }
    if ((code == EC_ERRORABORT || code == EC_USERABORT) && abortCode_ == 0) {
        abortCode_ = code;
        // What the aborting filter said about the failure, for whoever waits.
        GetErrorInfo(0, abortReason_.Put());
        changed_.notify_all();
    }
    Queue({code, param1, param2});
    changed_.notify_all();
    return S_OK;
}

template <class Predicate>
bool GraphEvents::WaitFor(std::unique_lock<std::mutex>& guard, LONG milliseconds, Predicate ready) {
    if (milliseconds < 0) {
        changed_.wait(guard, ready);
        return true;
    }
    return changed_.wait_for(guard, std::chrono::milliseconds(milliseconds), ready);
}

HRESULT GraphEvents::WaitForCompletion(LONG milliseconds, LONG* code) {
    if (code == nullptr)
        return E_POINTER;
    *code = 0;
    std::unique_lock guard(lock_);
    const bool ended = WaitFor(guard, milliseconds,
                               [this] { return abortCode_ != 0 || complete_ || !streaming_; });
    if (abortCode_ != 0) {
        *code = abortCode_;
        SetErrorInfo(0, abortReason_.Get());
        return S_OK;
    }
    if (complete_) {
        *code = EC_COMPLETE;
        return S_OK;
    }
    return ended ? VFW_E_WRONG_STATE : E_ABORT;
}

HRESULT GraphEvents::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds) {
    if (code == nullptr || param1 == nullptr || param2 == nullptr)
        return E_POINTER;
    std::unique_lock guard(lock_);
    if (!WaitFor(guard, milliseconds, [this] { return !queue_.empty(); })) {
        *code = 0;
        *param1 = *param2 = 0;
        return E_ABORT;
    }
    const Event event = queue_.front();
    queue_.pop_front();
    if (queue_.empty() && queuedSignal_ != nullptr)
        ResetEvent(queuedSignal_);
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT GraphEvents::GetEventHandle(OAEVENT* handle) {
    if (handle == nullptr)
        return E_POINTER;
    if (queuedSignal_ == nullptr)
        return E_OUTOFMEMORY;
    *handle = reinterpret_cast<OAEVENT>(queuedSignal_);
    return S_OK;
}

} // namespace media
