// IEnumMediaTypes over a pin's preferred media types (its MediaTypeAt hook).
// Each type handed out is a task-memory record that the caller deletes with
// DeleteMediaRecord.
#pragma once

#include "platform/dshow.h"

class CBasePin;

class CMediaTypeEnumerator final : public IEnumMediaTypes {
public:
    // Holds one reference on the pin (and so on its filter).
    CMediaTypeEnumerator(CBasePin* pin, const CMediaTypeEnumerator* copySource);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** copy) override;
    virtual ~CMediaTypeEnumerator();

private:
    bool OutOfSync() const;

    int position_ = 0;
    CBasePin* pin_;
    int version_ = 0;
    volatile LONG references_ = 1;
};
