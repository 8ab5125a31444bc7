// An output pin with its own worker thread. When the filter leaves the stopped
// state the worker starts and pushes samples downstream, asking the derived
// class to fill each one, until the data ends, delivery is refused, filling
// fails or the filter stops.
//
// The worker thread never takes the filter's state lock, and neither may
// FillSample or the other worker hooks: stopping holds that lock while it
// waits for the worker to answer.
#pragma once

#include <atomic>

#include "filters/base_output_pin.h"
#include "filters/source.h"
#include "filters/worker_thread.h"

class CSourceStream : public CAMThread, public CBaseOutputPin {
public:
    // The request parameter of the worker protocol.
    enum WorkerCommand : DWORD {
        Prepare = 0,
        Stream = 1,
        StreamRun = 2, // sent by nothing in this system; handled as Stream
        Halt = 3,
        Quit = 4,
    };

    // Attaches itself to the filter and writes that result to the out result.
    CSourceStream(const char* objectName, HRESULT* result, CSource* filter, LPCWSTR pinName);
    ~CSourceStream() override;

    // Worker-side table, in order after WorkerMain and the destructor.
    DWORD WorkerMain() override;
    // Fills one empty sample: S_OK delivers it, S_FALSE ends the data, anything
    // else aborts the stream with that code, unless the stream is being stopped
    // (the fill then failed because of the stop). Runs on the worker thread.
    virtual HRESULT FillSample(IMediaSample* sample) = 0;
    virtual HRESULT OnWorkerStart() { return S_OK; }
    virtual HRESULT OnWorkerExit() { return S_OK; }
    virtual HRESULT OnStreamBegin() { return S_OK; }
    virtual HRESULT PushLoop();
    // The one type this stream offers, for the default media-type hooks.
    virtual HRESULT ProposeSingleType(AM_MEDIA_TYPE* /*type*/) { return E_UNEXPECTED; }

    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT ValidateMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT MediaTypeAt(int position, AM_MEDIA_TYPE* type) override;
    HRESULT QueryId(LPWSTR* id) override;

    HRESULT PrepareWorker() { return SendCommand(Prepare); }
    HRESULT StartStreaming() { return SendCommand(Stream); }
    HRESULT HaltWorker() { return SendCommand(Halt); }
    HRESULT QuitWorker() { return SendCommand(Quit); }

protected:
    // From here until the next activation, a failed fill is the stop's doing.
    void MarkStopping() { stopping_.store(true); }

private:
    CSource* source_;
    std::atomic<bool> stopping_{false};
};
