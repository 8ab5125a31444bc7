#include "filters/source.h"

#include <new>

#include "filters/source_stream.h"

CSource::CSource(const char* objectName, IUnknown* outer, REFCLSID classId)
    : CBaseFilter(objectName, outer, &stateLock_, classId) {}

CSource::~CSource() {
    // A filter released while active would leave its workers running inside
    // streams about to be destroyed: stop them while the streams are whole.
    if (!IsStopped()) {
        CBaseFilter::Stop();
    }
    while (streamCount_ > 0) {
        delete streams_[streamCount_ - 1];
    }
    delete[] streams_;
    streams_ = nullptr;
}

HRESULT CSource::AttachStream(CSourceStream* stream) {
    CLockGuard guard(stateLock_);
    auto** grown = new (std::nothrow) CSourceStream*[streamCount_ + 1];
    if (grown == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (int i = 0; i < streamCount_; ++i) {
        grown[i] = streams_[i];
    }
    grown[streamCount_] = stream;
    delete[] streams_;
    streams_ = grown;
    ++streamCount_;
    return S_OK;
}

HRESULT CSource::DetachStream(CSourceStream* stream) {
    for (int i = 0; i < streamCount_; ++i) {
        if (streams_[i] != stream) {
            continue;
        }
        if (streamCount_ == 1) {
            delete[] streams_;
            streams_ = nullptr;
        } else {
            for (int j = i; j + 1 < streamCount_; ++j) {
                streams_[j] = streams_[j + 1];
            }
        }
        --streamCount_;
        return S_OK;
    }
    return S_FALSE;
}

int CSource::StreamIndexOf(IPin* pin) {
    CLockGuard guard(stateLock_);
    for (int i = 0; i < streamCount_; ++i) {
        if (static_cast<IPin*>(streams_[i]) == pin) {
            return i;
        }
    }
    return -1;
}

int CSource::PinCount() {
    CLockGuard guard(stateLock_);
    return streamCount_;
}

CBasePin* CSource::PinAt(int index) {
    CLockGuard guard(stateLock_);
    if (index < 0 || index >= streamCount_) {
        return nullptr;
    }
    return streams_[index];
}
