// Enumerates the media types an input pin proposes, asking the pin for each
// position as it goes. Holds a reference to the pin (and so its filter).
#pragma once

#include "media/input_pin_base.h"

#include <atomic>
#include <mutex>

namespace media {

class MediaTypeEnumerator final : public IEnumMediaTypes {
public:
    // Starts with one reference.
    MediaTypeEnumerator(InputPinBase* pin, int position);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** copy) override;

private:
    ~MediaTypeEnumerator();
    // The type at a position in task memory, or null past the end.
    AM_MEDIA_TYPE* TypeAt(int position);

    InputPinBase* const pin_;
    int position_;
    std::mutex lock_;
    std::atomic<ULONG> references_{1};
};

} // namespace media
