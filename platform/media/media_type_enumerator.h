// Enumerates the media types an input pin proposes, asking the pin for each
// position as it goes. Holds a reference to the pin (and so its filter).
#pragma once

#include "core/com_object.h"
#include "core/com_ptr.h"
#include "media/input_pin_base.h"

#include <mutex>

namespace media {

class MediaTypeEnumerator final
    : public com::Object<com::Interface<IEnumMediaTypes, IID_IEnumMediaTypes>> {
public:
    // Starts with one reference.
    MediaTypeEnumerator(InputPinBase* pin, int position);

    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** copy) override;

private:
    ~MediaTypeEnumerator() override = default;
    // The type at a position in task memory, or null past the end.
    AM_MEDIA_TYPE* TypeAt(int position);

    const com::Ptr<InputPinBase> pin_;
    int position_;
    std::mutex lock_;
};

} // namespace media
