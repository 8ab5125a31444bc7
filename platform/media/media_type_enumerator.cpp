#include "media/media_type_enumerator.h"

#include "media/media_type_util.h"

namespace media {

MediaTypeEnumerator::MediaTypeEnumerator(InputPinBase* pin, int position)
    : pin_(com::Ptr<InputPinBase>::Share(pin)), position_(position) {}

AM_MEDIA_TYPE* MediaTypeEnumerator::TypeAt(int position) {
    AM_MEDIA_TYPE type;
    ResetMediaType(&type);
    if (pin_->MediaTypeAt(position, &type) != S_OK) {
        FreeMediaTypeContents(&type);
        return nullptr;
    }
    AM_MEDIA_TYPE* copy = CreateMediaTypeCopy(&type);
    FreeMediaTypeContents(&type);
    return copy;
}

HRESULT MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (types == nullptr || (count > 1 && fetched == nullptr))
        return E_POINTER;
    std::lock_guard guard(lock_);
    ULONG taken = 0;
    while (taken < count) {
        AM_MEDIA_TYPE* type = TypeAt(position_);
        if (type == nullptr)
            break;
        types[taken++] = type;
        ++position_;
    }
    if (fetched != nullptr)
        *fetched = taken;
    return taken == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnumerator::Skip(ULONG count) {
    std::lock_guard guard(lock_);
    for (ULONG i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = TypeAt(position_);
        if (type == nullptr)
            return S_FALSE;
        DeleteMediaType(type);
        ++position_;
    }
    return S_OK;
}

HRESULT MediaTypeEnumerator::Reset() {
    std::lock_guard guard(lock_);
    position_ = 0;
    return S_OK;
}

HRESULT MediaTypeEnumerator::Clone(IEnumMediaTypes** copy) {
    if (copy == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    return com::CreateNew<MediaTypeEnumerator>(copy, pin_.Get(), position_);
}

} // namespace media
