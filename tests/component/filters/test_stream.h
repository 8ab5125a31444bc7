// A source stream for the worker tests: it fills 4-byte samples numbered from
// 1, and can be told to end its data, fail, or wait inside FillSample.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "filters/source_stream.h"
#include "test_doubles.h"

inline constexpr CLSID kTestSourceClass = {
    0x6C0DE5A1, 0x92F3, 0x4B8E, {0xA1, 0x55, 0x0E, 0x7B, 0x3C, 0x19, 0x64, 0xD2}};

class TestStream final : public CSourceStream {
public:
    TestStream(HRESULT* result, CSource* filter, const char16_t* name)
        : CSourceStream("TestStream", result, filter, name) {}

    HRESULT FillSample(IMediaSample* sample) override {
        const int number = ++fills;
        if (useGate) {
            inside = true;
            std::unique_lock lock(gateMutex_);
            // Bounded, so that a broken stop shows as a failure rather than a hang.
            gate_.wait_for(lock, std::chrono::seconds(30), [this] { return gateOpen_; });
            inside = false;
        }
        if (number == failAt) {
            return failCode;
        }
        if (number == endAt) {
            return S_FALSE;
        }
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, &number, sizeof number);
        REFERENCE_TIME start = number * 10;
        REFERENCE_TIME end = start + 10;
        sample->SetTime(&start, &end);
        sample->SetActualDataLength(sizeof number);
        return S_OK;
    }
    HRESULT OnWorkerStart() override {
        ++starts;
        return workerStartResult;
    }
    HRESULT OnWorkerExit() override {
        ++exits;
        return S_OK;
    }
    HRESULT OnStreamBegin() override {
        ++streamBegins;
        return S_OK;
    }
    HRESULT ProposeSingleType(AM_MEDIA_TYPE* type) override {
        WAVEFORMATEX format = PcmFormat(2, 44100);
        return BuildAudioMediaType(&format, type, true);
    }
    HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = buffers;
        request->cbBuffer = 64;
        ALLOCATOR_PROPERTIES actual{};
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr)) {
            return hr;
        }
        return actual.cBuffers < request->cBuffers ? E_FAIL : S_OK;
    }

    void OpenGate() {
        std::lock_guard lock(gateMutex_);
        gateOpen_ = true;
        gate_.notify_all();
    }

    // Settings, made before the filter leaves the stopped state.
    int endAt = 0;  // this fill answers S_FALSE
    int failAt = 0; // this fill answers failCode
    HRESULT failCode = E_ACCESSDENIED;
    HRESULT workerStartResult = S_OK;
    LONG buffers = 2;
    bool useGate = false;

    // Observations.
    std::atomic<int> fills{0};
    std::atomic<int> starts{0};
    std::atomic<int> exits{0};
    std::atomic<int> streamBegins{0};
    std::atomic<bool> inside{false};

private:
    std::mutex gateMutex_;
    std::condition_variable gate_;
    bool gateOpen_ = false;
};
