// Small filters and pins built on the framework for its tests.
#pragma once

#include <string>
#include <vector>

#include "filters/base_filter.h"
#include "filters/base_output_pin.h"
#include "test_doubles.h"

inline constexpr CLSID kTestFilterClass = {
    0x5A1F0C2E, 0x1B7D, 0x4E41, {0x9C, 0x3A, 0x6F, 0x21, 0x88, 0x0D, 0x4B, 0x17}};

// A filter over a list of pins it owns; its pin-list version can be moved.
class TestFilter : public CBaseFilter {
public:
    TestFilter() : CBaseFilter("TestFilter", nullptr, &lock_, kTestFilterClass) {}
    ~TestFilter() override {
        for (CBasePin* pin : pins_) {
            delete pin;
        }
    }

    int PinCount() override { return static_cast<int>(pins_.size()); }
    CBasePin* PinAt(int index) override {
        if (index < 0 || index >= PinCount()) {
            return nullptr;
        }
        return pins_[index];
    }
    int PinListVersion() override { return version; }

    void AddPin(CBasePin* pin) { pins_.push_back(pin); }
    void RemoveLastPin() {
        delete pins_.back();
        pins_.pop_back();
    }
    // Answers null for one index while the count stays, as a list changing underneath.
    void HidePin(int index) { pins_[index] = nullptr; }

    int version = 1;
    CLock lock_;

private:
    std::vector<CBasePin*> pins_;
};

// An output pin that accepts and proposes the types it is given, records its
// state hooks and can be told to fail them.
class TestOutputPin : public CBaseOutputPin {
public:
    TestOutputPin(TestFilter* filter, const char16_t* name, std::vector<std::string>* log = nullptr,
                  std::string label = "")
        : CBaseOutputPin("TestOutputPin", filter, &filter->lock_, nullptr, name), log_(log),
          label_(std::move(label)) {}
    ~TestOutputPin() override {
        for (AM_MEDIA_TYPE& type : proposed_) {
            FreeMediaRecord(type);
        }
    }

    void Propose(const AM_MEDIA_TYPE& type) {
        AM_MEDIA_TYPE copy;
        CopyMediaRecord(&copy, type);
        proposed_.push_back(copy);
    }
    void Accept(const GUID& subtype) { accepted_.push_back(subtype); }

    HRESULT ValidateMediaType(const AM_MEDIA_TYPE* type) override {
        ++validations;
        for (const GUID& subtype : accepted_) {
            if (type->subtype == subtype) {
                return S_OK;
            }
        }
        return rejectWith;
    }
    HRESULT MediaTypeAt(int position, AM_MEDIA_TYPE* type) override {
        if (position < 0 || position >= static_cast<int>(proposed_.size())) {
            return VFW_S_NO_MORE_ITEMS;
        }
        return CopyMediaRecord(type, proposed_[position]);
    }
    int TypeListVersion() override { return typeVersion; }

    HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        sizedWith.push_back(allocator);
        lastRequest = *request;
        if (sizeFailsFor != nullptr && allocator == sizeFailsFor) {
            return E_FAIL;
        }
        request->cBuffers = 2;
        request->cbBuffer = 4096;
        ALLOCATOR_PROPERTIES actual{};
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr)) {
            return hr;
        }
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }
    HRESULT CreateDefaultAllocator(IMemAllocator** allocator) override {
        ++defaultAllocatorRequests;
        if (defaultAllocator == nullptr) {
            return CBaseOutputPin::CreateDefaultAllocator(allocator);
        }
        defaultAllocator->AddRef();
        *allocator = defaultAllocator;
        return S_OK;
    }

    HRESULT OnActivate() override { return Record("activate", activateResult); }
    HRESULT OnDeactivate() override { return Record("deactivate", deactivateResult); }
    HRESULT OnRunning(REFERENCE_TIME) override { return Record("run", runResult); }
    HRESULT FinishConnection(IPin* peer) override {
        return FAILED(finishResult) ? finishResult : CBaseOutputPin::FinishConnection(peer);
    }

    using CBasePin::ConnectionType;

    HRESULT rejectWith = S_FALSE;
    HRESULT activateResult = S_OK;
    HRESULT deactivateResult = S_OK;
    HRESULT runResult = S_OK;
    HRESULT finishResult = S_OK;
    int typeVersion = 1;
    int validations = 0;
    int defaultAllocatorRequests = 0;
    IMemAllocator* defaultAllocator = nullptr; // null: the platform's, through COM
    IMemAllocator* sizeFailsFor = nullptr;
    std::vector<IMemAllocator*> sizedWith;
    ALLOCATOR_PROPERTIES lastRequest{};

private:
    HRESULT Record(const char* hook, HRESULT result) {
        if (log_ != nullptr) {
            log_->push_back(std::string(hook) + " " + label_);
        }
        return result;
    }

    std::vector<std::string>* log_;
    std::string label_;
    std::vector<AM_MEDIA_TYPE> proposed_;
    std::vector<GUID> accepted_;
};

// The PCM audio type of a wave format, owned by the caller.
inline CMediaDescriptor* NewPcmType(CMediaDescriptor& into, WORD channels, DWORD rate) {
    WAVEFORMATEX format = PcmFormat(channels, rate);
    BuildAudioMediaType(&format, &into, true);
    return &into;
}
