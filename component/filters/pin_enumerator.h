// IEnumPins over a filter's pins. A change of the filter's pin-list version
// makes the enumerator refresh (Next) or report that it is out of sync.
#pragma once

#include "filters/enumerator_base.h"
#include "filters/pointer_list.h"
#include "platform/dshow.h"

class CBaseFilter;

class CPinEnumerator final : public CEnumeratorBase<IEnumPins, IID_IEnumPins> {
public:
    // Holds one reference on the filter. With a copy source, takes over its
    // position, snapshot and returned pins.
    CPinEnumerator(CBaseFilter* filter, const CPinEnumerator* copySource);

    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumPins** copy) override;
    ~CPinEnumerator() override;

private:
    bool OutOfSync() const;
    void Refresh();

    int position_ = 0;
    int pinCount_ = 0;
    CBaseFilter* filter_;
    int version_ = 0;
    CPointerList returned_;
};
