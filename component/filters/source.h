// A filter whose pins are all source streams. The streams add themselves on
// construction and belong to the filter, which destroys them with itself.
#pragma once

#include "filters/base_filter.h"

class CSourceStream;

class CSource : public CBaseFilter {
public:
    CSource(const char* objectName, IUnknown* outer, REFCLSID classId);
    ~CSource() override;

    HRESULT AttachStream(CSourceStream* stream);
    HRESULT DetachStream(CSourceStream* stream);
    // Zero-based index of the stream whose IPin is the given pointer; -1 when absent.
    int StreamIndexOf(IPin* pin);
    CLock* StateLock() { return &stateLock_; }

    int PinCount() override;
    CBasePin* PinAt(int index) override;

private:
    int streamCount_ = 0;
    CSourceStream** streams_ = nullptr;
    CLock stateLock_;
};
