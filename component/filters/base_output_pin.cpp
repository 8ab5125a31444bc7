#include "filters/base_output_pin.h"

CBaseOutputPin::CBaseOutputPin(const char* objectName, CBaseFilter* filter, CLock* lock,
                               HRESULT* result, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, result, pinName, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
    // Normally released by ReleaseConnection; a pin destroyed while connected
    // still gives back what it holds.
    if (allocator_ != nullptr) {
        allocator_->Release();
    }
    if (memoryInput_ != nullptr) {
        memoryInput_->Release();
    }
}

HRESULT CBaseOutputPin::OnActivate() {
    if (allocator_ == nullptr) {
        return VFW_E_NO_ALLOCATOR;
    }
    return allocator_->Commit();
}

HRESULT CBaseOutputPin::OnDeactivate() {
    if (allocator_ == nullptr) {
        return VFW_E_NO_ALLOCATOR;
    }
    return allocator_->Decommit();
}

HRESULT CBaseOutputPin::VetConnection(IPin* candidate) {
    HRESULT hr = CBasePin::VetConnection(candidate);
    if (FAILED(hr)) {
        return hr;
    }
    void* input = nullptr;
    hr = candidate->QueryInterface(IID_IMemInputPin, &input);
    if (FAILED(hr)) {
        return hr;
    }
    if (memoryInput_ != nullptr) {
        memoryInput_->Release();
    }
    memoryInput_ = static_cast<IMemInputPin*>(input);
    return hr;
}

HRESULT CBaseOutputPin::ReleaseConnection() {
    if (allocator_ != nullptr) {
        HRESULT hr = allocator_->Decommit();
        if (FAILED(hr)) {
            return hr;
        }
        allocator_->Release();
        allocator_ = nullptr;
    }
    if (memoryInput_ != nullptr) {
        memoryInput_->Release();
        memoryInput_ = nullptr;
    }
    return S_OK;
}

HRESULT CBaseOutputPin::FinishConnection(IPin* /*peer*/) {
    return ChooseAllocator(memoryInput_, &allocator_);
}

HRESULT CBaseOutputPin::ChooseAllocator(IMemInputPin* input, IMemAllocator** allocator) {
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES request{0, 0, 0, 0};
    // The downstream pin may state no requirements at all.
    input->GetAllocatorRequirements(&request);
    if (request.cbAlign == 0) {
        request.cbAlign = 1;
    }
    // Sizes an allocator and hands it downstream; on failure it is let go.
    auto settle = [&](HRESULT obtained) {
        HRESULT hr = obtained;
        if (SUCCEEDED(hr) && *allocator == nullptr) {
            hr = VFW_E_NO_ALLOCATOR;
        }
        if (SUCCEEDED(hr)) {
            hr = SizeBuffers(*allocator, &request);
        }
        if (SUCCEEDED(hr)) {
            hr = input->NotifyAllocator(*allocator, FALSE);
        }
        if (FAILED(hr) && *allocator != nullptr) {
            (*allocator)->Release();
            *allocator = nullptr;
        }
        return hr;
    };
    // The downstream pin's own allocator first, the default one as the fallback.
    if (SUCCEEDED(settle(input->GetAllocator(allocator)))) {
        return S_OK;
    }
    HRESULT hr = settle(CreateDefaultAllocator(allocator));
    return SUCCEEDED(hr) ? S_OK : hr;
}

HRESULT CBaseOutputPin::CreateDefaultAllocator(IMemAllocator** allocator) {
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(allocator));
}

HRESULT CBaseOutputPin::AcquireOutputSample(IMediaSample** sample, REFERENCE_TIME* start,
                                            REFERENCE_TIME* stop, DWORD flags) {
    if (allocator_ == nullptr) {
        return E_NOINTERFACE;
    }
    return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::PushSample(IMediaSample* sample) {
    if (memoryInput_ == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    return memoryInput_->Receive(sample);
}

HRESULT CBaseOutputPin::PushEndOfStream() {
    IPin* peer = Peer();
    return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->EndOfStream();
}

HRESULT CBaseOutputPin::PushBeginFlush() {
    IPin* peer = Peer();
    return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->BeginFlush();
}

HRESULT CBaseOutputPin::PushEndFlush() {
    IPin* peer = Peer();
    return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->EndFlush();
}

HRESULT CBaseOutputPin::PushNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* peer = Peer();
    return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->NewSegment(start, stop, rate);
}
