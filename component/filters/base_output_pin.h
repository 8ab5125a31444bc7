// An output pin that pushes data: it holds the peer's memory input and the
// connection's allocator, sizes the allocator's buffers and delivers samples
// and stream events downstream.
#pragma once

#include "filters/base_pin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const char* objectName, CBaseFilter* filter, CLock* lock, HRESULT* result,
                   LPCWSTR pinName);
    ~CBaseOutputPin() override;

    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT VetConnection(IPin* candidate) override;
    HRESULT ReleaseConnection() override;
    HRESULT FinishConnection(IPin* peer) override;

    // Hooks added by the output pin, in order.
    virtual HRESULT ChooseAllocator(IMemInputPin* input, IMemAllocator** allocator);
    // Sets the wanted properties on the allocator and fails when it grants less.
    virtual HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT AcquireOutputSample(IMediaSample** sample, REFERENCE_TIME* start,
                                        REFERENCE_TIME* stop, DWORD flags);
    virtual HRESULT PushSample(IMediaSample* sample);
    virtual HRESULT CreateDefaultAllocator(IMemAllocator** allocator);
    virtual HRESULT PushEndOfStream();
    virtual HRESULT PushBeginFlush();
    virtual HRESULT PushEndFlush();
    virtual HRESULT PushNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    IMemAllocator* Allocator() const { return allocator_; }
    IMemInputPin* MemoryInput() const { return memoryInput_; }

private:
    IMemAllocator* allocator_ = nullptr;
    IMemInputPin* memoryInput_ = nullptr;
};
