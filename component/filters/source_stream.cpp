#include "filters/source_stream.h"

#include "filters/wide_text.h"

namespace {
// Room for any int in decimal with its sign and terminator.
constexpr int kIdentifierCharacters = 12;
} // namespace

CSourceStream::CSourceStream(const char* objectName, HRESULT* result, CSource* filter,
                             LPCWSTR pinName)
    : CBaseOutputPin(objectName, filter, filter->StateLock(), result, pinName), source_(filter) {
    HRESULT attached = filter->AttachStream(this);
    if (result != nullptr) {
        *result = attached;
    }
}

CSourceStream::~CSourceStream() {
    source_->DetachStream(this);
}

HRESULT CSourceStream::OnActivate() {
    CLockGuard guard(*source_->StateLock());
    if (source_->IsStreaming()) {
        return S_FALSE;
    }
    if (!IsConnected()) {
        return S_OK; // an unconnected stream has no worker
    }
    stopping_.store(false);
    HRESULT hr = CBaseOutputPin::OnActivate();
    if (FAILED(hr)) {
        return hr;
    }
    if (!StartWorker()) {
        CBaseOutputPin::OnDeactivate();
        return E_FAIL;
    }
    hr = PrepareWorker();
    if (FAILED(hr)) {
        // The worker has ended after refusing to start; collect it so that a
        // later activation can start a new one, and give the buffers back.
        JoinWorker();
        CBaseOutputPin::OnDeactivate();
        return hr;
    }
    return StartStreaming();
}

HRESULT CSourceStream::OnDeactivate() {
    CLockGuard guard(*source_->StateLock());
    if (!IsConnected()) {
        return S_OK;
    }
    MarkStopping();
    // Decommitting first wakes a worker waiting for a free buffer, so it
    // reaches its next command check.
    HRESULT hr = CBaseOutputPin::OnDeactivate();
    if (FAILED(hr)) {
        return hr;
    }
    if (HasWorker()) {
        hr = HaltWorker();
        if (FAILED(hr)) {
            return hr;
        }
        hr = QuitWorker();
        if (FAILED(hr)) {
            return hr;
        }
        JoinWorker();
    }
    return S_OK;
}

DWORD CSourceStream::WorkerMain() {
    DWORD command = NextCommand();
    while (command != Prepare) {
        Answer(E_UNEXPECTED);
        command = NextCommand();
    }
    HRESULT hr = OnWorkerStart();
    if (FAILED(hr)) {
        OnWorkerExit();
        Answer(hr);
        return 1;
    }
    Answer(S_OK);
    do {
        command = NextCommand();
        switch (command) {
        case Stream:
        case StreamRun:
            Answer(S_OK);
            PushLoop();
            break;
        case Halt:
        case Quit:
            Answer(S_OK);
            break;
        default:
            Answer(E_NOTIMPL);
            break;
        }
    } while (command != Quit);
    return FAILED(OnWorkerExit()) ? 1 : 0;
}

HRESULT CSourceStream::PushLoop() {
    OnStreamBegin();
    for (;;) {
        DWORD command = 0;
        if (PollCommand(&command)) {
            if (command == Stream || command == StreamRun) {
                Answer(S_OK);
                continue;
            }
            if (command == Halt) {
                // Left pending: WorkerMain takes and answers it.
                return S_FALSE;
            }
            Answer(E_UNEXPECTED);
            continue;
        }
        IMediaSample* sample = nullptr;
        HRESULT hr = AcquireOutputSample(&sample, nullptr, nullptr, 0);
        if (FAILED(hr) || sample == nullptr) {
            // Not committed yet, or decommitted by a stop: look for a command again.
            Sleep(1);
            continue;
        }
        hr = FillSample(sample);
        if (hr == S_OK) {
            hr = PushSample(sample);
            sample->Release();
            if (hr != S_OK) {
                return S_OK; // refused downstream: stop quietly
            }
            continue;
        }
        sample->Release();
        if (hr == S_FALSE) {
            PushEndOfStream();
            return S_OK;
        }
        // The data did not end, it failed: downstream gets no end of stream, so a
        // renderer never finishes a cut-off stream as if it were whole (a file
        // writer would otherwise replace an older file with a truncated one).
        // A fill that failed because the stream is being stopped is no error.
        if (stopping_.load()) {
            return S_OK;
        }
        source_->RaiseGraphEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
}

HRESULT CSourceStream::ValidateMediaType(const AM_MEDIA_TYPE* type) {
    CLockGuard guard(*source_->StateLock());
    CMediaDescriptor proposed;
    ProposeSingleType(&proposed);
    return proposed.SameAs(*type) ? S_OK : E_FAIL;
}

HRESULT CSourceStream::MediaTypeAt(int position, AM_MEDIA_TYPE* type) {
    CLockGuard guard(*source_->StateLock());
    if (position < 0) {
        return E_INVALIDARG;
    }
    if (position > 0) {
        return VFW_S_NO_MORE_ITEMS;
    }
    return ProposeSingleType(type);
}

HRESULT CSourceStream::QueryId(LPWSTR* id) {
    if (id == nullptr) {
        return E_POINTER;
    }
    const int index = source_->StreamIndexOf(static_cast<IPin*>(this));
    if (index < 0) {
        return VFW_E_NOT_FOUND;
    }
    auto* text = static_cast<WCHAR*>(CoTaskMemAlloc(kIdentifierCharacters * sizeof(WCHAR)));
    if (text == nullptr) {
        return E_OUTOFMEMORY;
    }
    IntToWide(index + 1, text, kIdentifierCharacters);
    *id = text;
    return S_OK;
}
