// IEnumMediaTypes over a pin's preferred media types (its MediaTypeAt hook).
// Each type handed out is a task-memory record that the caller deletes with
// DeleteMediaRecord.
#pragma once

#include "filters/enumerator_base.h"
#include "platform/dshow.h"

class CBasePin;

class CMediaTypeEnumerator final : public CEnumeratorBase<IEnumMediaTypes, IID_IEnumMediaTypes> {
public:
    // Holds one reference on the pin (and so on its filter).
    CMediaTypeEnumerator(CBasePin* pin, const CMediaTypeEnumerator* copySource);

    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** copy) override;
    ~CMediaTypeEnumerator() override;

private:
    bool OutOfSync() const;

    int position_ = 0;
    CBasePin* pin_;
    int version_ = 0;
};
