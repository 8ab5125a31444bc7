#include "encoder/dshow_wma_encoder.h"

#include "com/com_ref.h"
#include "encoder/graph_helpers.h"
#include "encoder/memory_audio_source.h"
#include "errors/wma_exception.h"

namespace {

// The name failures of this module are recorded under.
constexpr char kSourceName[] = "DShowWMAEncoder";
constexpr LONG kCompletionWaitMilliseconds = 5000;

[[noreturn]] void Raise(const char* message, HRESULT code, int line) {
    throw CWMAException(message, code, kSourceName, line);
}

template <class T> void ReleaseField(T*& field) {
    if (field != nullptr) {
        field->Release();
        field = nullptr;
    }
}

IBaseFilter* AsFilter(CMemoryAudioSource* source) {
    return static_cast<IBaseFilter*>(source);
}

} // namespace

DShowWMAEncoder::DShowWMAEncoder() = default;

DShowWMAEncoder::~DShowWMAEncoder() {
    ReleaseGraph();
    ReleaseField(profile_);
}

HRESULT DShowWMAEncoder::Configure(const WAVEFORMATEX* format, const WCHAR* fileName,
                                   IWMProfile* profile, LONG framesPerBuffer) {
    if (format == nullptr || fileName == nullptr) {
        return E_POINTER;
    }
    waveFormat_ = *format;
    outputFileName_ = fileName;
    if (profile != nullptr) {
        profile->AddRef();
    }
    ReleaseField(profile_);
    profile_ = profile;
    framesPerBuffer_ = framesPerBuffer;
    return BuildGraph();
}

HRESULT DShowWMAEncoder::BuildGraph() {
    ReleaseGraph();

    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGraphBuilder, reinterpret_cast<void**>(&graphBuilder_));
    if (FAILED(hr) || graphBuilder_ == nullptr) {
        graphBuilder_ = nullptr;
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }

    // Inspection tools are a convenience: encoding goes on without the table.
    PublishGraph(graphBuilder_, &rotToken_);

    HRESULT created = S_OK;
    sourceFilter_ = new (std::nothrow) CMemoryAudioSource(&created);
    if (sourceFilter_ == nullptr) {
        Raise("Failed to create CMemoryAudioSource.", E_OUTOFMEMORY, __LINE__);
    }
    sourceFilter_->AddRef();
    if (FAILED(created)) {
        ReleaseField(sourceFilter_);
        Raise("Failed to create CMemoryAudioSource.", created, __LINE__);
    }

    // Neither can fail on a pin that is not yet connected.
    sourceFilter_->SetWaveFormat(&waveFormat_);
    sourceFilter_->SetFramesPerBuffer(framesPerBuffer_);

    hr = graphBuilder_->AddFilter(AsFilter(sourceFilter_), u"CMemoryAudioSource");
    if (FAILED(hr)) {
        Raise("Unable to add Source filter to graph.", hr, __LINE__);
    }
    hr = CreateAndAddFilter(graphBuilder_, CLSID_WMAsfWriter, u"WM Asf Writer", &writerFilter_);
    if (FAILED(hr)) {
        Raise("Failed to add WM Asf Writer Filter to the graph.", hr, __LINE__);
    }
    hr = writerFilter_->QueryInterface(IID_IConfigAsfWriter,
                                       reinterpret_cast<void**>(&writerConfig_));
    if (FAILED(hr)) {
        writerConfig_ = nullptr;
        Raise("Failed to get IConfigAsfWriter interface from WM Asf Writer Filter.", hr, __LINE__);
    }
    if (profile_ != nullptr) {
        hr = writerConfig_->ConfigureFilterUsingProfile(profile_);
        if (FAILED(hr)) {
            Raise("Failed to configure WM Asf Writer filter with selected profile.", hr, __LINE__);
        }
    }
    {
        ComRef<IFileSinkFilter2> fileSink;
        hr = writerFilter_->QueryInterface(IID_IFileSinkFilter2, fileSink.ReceiveVoid());
        if (FAILED(hr)) {
            Raise("Failed to get IFileSinkFilter2 interface from WM Asf Writer Filter.", hr,
                  __LINE__);
        }
        hr = fileSink->SetFileName(outputFileName_.c_str(), nullptr);
        if (FAILED(hr)) {
            Raise("Unable to set File writer filename.", hr, __LINE__);
        }
        hr = fileSink->SetMode(AM_FILE_OVERWRITE);
        if (FAILED(hr)) {
            Raise("Unable to set File writer overwrite mode.", hr, __LINE__);
        }
    }
    {
        ComRef<IPin> outputPin;
        ComRef<IPin> inputPin;
        hr = FindNthPin(AsFilter(sourceFilter_), PINDIR_OUTPUT, 0, outputPin.Receive());
        if (FAILED(hr)) {
            Raise("Unable to get output pin of source filter.", hr, __LINE__);
        }
        hr = FindNthPin(writerFilter_, PINDIR_INPUT, 0, inputPin.Receive());
        if (FAILED(hr)) {
            Raise("Unable to get input pin of WM Asf Writer filter.", hr, __LINE__);
        }
        hr = graphBuilder_->Connect(outputPin.Get(), inputPin.Get());
        if (FAILED(hr)) {
            Raise("Unable to connect source and WM Asf Writer filters.", hr, __LINE__);
        }
    }
    hr = graphBuilder_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&mediaControl_));
    if (FAILED(hr)) {
        mediaControl_ = nullptr;
        Raise("Unable to get IMediaControl Interface.", hr, __LINE__);
    }
    hr = graphBuilder_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&mediaEvents_));
    if (FAILED(hr)) {
        mediaEvents_ = nullptr;
        Raise("Unable to get IMediaEventEx Interface.", hr, __LINE__);
    }
    hr = graphBuilder_->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter_));
    if (FAILED(hr)) {
        mediaFilter_ = nullptr;
        Raise("Unable to get IMediaFilter Interface.", hr, __LINE__);
    }
    return hr;
}

HRESULT DShowWMAEncoder::ReleaseGraph() {
    if (graphBuilder_ == nullptr) {
        return S_FALSE;
    }
    UnpublishGraph(rotToken_);
    rotToken_ = 0;
    if (mediaControl_ != nullptr) {
        // Stops the graph and with it the source's worker thread.
        mediaControl_->StopWhenReady();
    }
    running_ = false;
    ReleaseField(sourceFilter_);
    ReleaseField(writerFilter_);
    ReleaseField(writerConfig_);
    ReleaseField(mediaControl_);
    ReleaseField(mediaEvents_);
    ReleaseField(mediaFilter_);
    ReleaseField(graphBuilder_);
    return S_OK;
}

HRESULT DShowWMAEncoder::QueryHeaderInfo(IWMHeaderInfo** headerInfo) {
    if (headerInfo == nullptr) {
        return E_POINTER;
    }
    *headerInfo = nullptr;
    if (writerFilter_ == nullptr) {
        return E_UNEXPECTED;
    }
    ComRef<IWMWriterAdvanced2> writerAdvanced;
    HRESULT hr;
    {
        ComRef<IServiceProvider> services;
        hr = writerFilter_->QueryInterface(IID_IServiceProvider, services.ReceiveVoid());
        if (SUCCEEDED(hr)) {
            hr = services->QueryService(IID_IWMWriterAdvanced2, IID_IWMWriterAdvanced2,
                                        writerAdvanced.ReceiveVoid());
        }
    }
    if (writerAdvanced) {
        hr =
            writerAdvanced->QueryInterface(IID_IWMHeaderInfo, reinterpret_cast<void**>(headerInfo));
    }
    return hr;
}

HRESULT DShowWMAEncoder::Start() {
    if (mediaControl_ == nullptr) {
        return E_UNEXPECTED;
    }
    const HRESULT hr = mediaControl_->Run();
    running_ = SUCCEEDED(hr);
    return hr;
}

HRESULT DShowWMAEncoder::PushPcm(const BYTE* data, DWORD byteCount) {
    if (sourceFilter_ == nullptr) {
        return E_UNEXPECTED;
    }
    if (!sourceFilter_->IsOutputConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    // Without a running graph nothing would ever make room in the queue.
    if (!running_) {
        return VFW_E_WRONG_STATE;
    }
    return sourceFilter_->QueuePcm(data, byteCount);
}

HRESULT DShowWMAEncoder::Finish() {
    if (sourceFilter_ == nullptr) {
        return E_UNEXPECTED;
    }
    if (!running_) {
        return VFW_E_WRONG_STATE; // a graph that never ran completes nothing
    }
    // Fails when the worker has stopped taking blocks; the graph's own outcome
    // then tells whether the file was completed before that.
    const HRESULT queued = sourceFilter_->QueueEndOfStream();
    if (mediaEvents_ == nullptr) {
        return FAILED(queued) ? queued : E_UNEXPECTED;
    }
    LONG eventCode = 0;
    const HRESULT waited = mediaEvents_->WaitForCompletion(kCompletionWaitMilliseconds, &eventCode);
    return CompletionResult(waited, eventCode);
}

HRESULT DShowWMAEncoder::CompletionResult(HRESULT waitResult, LONG eventCode) {
    if (waitResult == E_ABORT) {
        return VFW_E_TIMEOUT;
    }
    if (FAILED(waitResult)) {
        return waitResult;
    }
    if (eventCode == EC_COMPLETE) {
        return S_OK;
    }
    return AbortCode();
}

HRESULT DShowWMAEncoder::AbortCode() {
    HRESULT code = E_FAIL;
    bool found = false;
    LONG event = 0;
    LONG_PTR first = 0;
    LONG_PTR second = 0;
    while (SUCCEEDED(mediaEvents_->GetEvent(&event, &first, &second, 0))) {
        if (!found && event == EC_ERRORABORT && FAILED(static_cast<HRESULT>(first))) {
            code = static_cast<HRESULT>(first);
            found = true;
        }
        mediaEvents_->FreeEventParams(event, first, second);
    }
    return code;
}
