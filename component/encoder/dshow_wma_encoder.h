// The processing graph for one output file: the memory audio source feeding
// the platform's "WM Asf Writer" filter, configured with a Windows Media
// profile and the output path. All operations run on the caller's thread; the
// graph streams on the source's worker thread.
#pragma once

#include "com/com_pairing.h"
#include "platform/wmsdk.h"

#include <string>

class CMemoryAudioSource;

class DShowWMAEncoder {
public:
    DShowWMAEncoder();
    // Must run on the constructing thread: it undoes that thread's COM pairing.
    ~DShowWMAEncoder();
    DShowWMAEncoder(const DShowWMAEncoder&) = delete;
    DShowWMAEncoder& operator=(const DShowWMAEncoder&) = delete;

    // Builds and connects a new graph; a failed step raises CWMAException,
    // except the graph manager's creation, whose failure is answered.
    HRESULT Configure(const WAVEFORMATEX* format, const WCHAR* fileName, IWMProfile* profile,
                      LONG framesPerBuffer);
    // The writer's header information, with a reference for the caller.
    HRESULT QueryHeaderInfo(IWMHeaderInfo** headerInfo);
    HRESULT Start();
    // Queues a copy of the PCM, waiting while the queue is full. Fails at once
    // when the graph is not running or no longer takes audio.
    HRESULT PushPcm(const BYTE* data, DWORD byteCount);
    // Ends the stream and waits at most 5000 ms for the graph. S_OK only when
    // the graph completed the file; otherwise the abort's code, VFW_E_TIMEOUT,
    // or VFW_E_WRONG_STATE for a graph that never ran.
    HRESULT Finish();

private:
    HRESULT BuildGraph();
    HRESULT ReleaseGraph();
    // What WaitForCompletion's outcome says about the graph.
    HRESULT CompletionResult(HRESULT waitResult, LONG eventCode);
    // The failure code an abort event carried, or E_FAIL.
    HRESULT AbortCode();

    ComPairing comPairing_;
    std::u16string outputFileName_;
    IGraphBuilder* graphBuilder_ = nullptr;
    DWORD rotToken_ = 0;
    IMediaControl* mediaControl_ = nullptr;
    IMediaEventEx* mediaEvents_ = nullptr;
    IMediaFilter* mediaFilter_ = nullptr;
    LONG framesPerBuffer_ = 2048;
    WAVEFORMATEX waveFormat_{};
    CMemoryAudioSource* sourceFilter_ = nullptr;
    IWMProfile* profile_ = nullptr;
    IBaseFilter* writerFilter_ = nullptr;
    IConfigAsfWriter* writerConfig_ = nullptr;
    // Start succeeded on the current graph.
    bool running_ = false;
};
