#include "media/media_type_util.h"

namespace media {

void ResetMediaType(AM_MEDIA_TYPE* type) {
    *type = AM_MEDIA_TYPE{};
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = 1;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE* type) {
    if (type->pbFormat != nullptr)
        CoTaskMemFree(type->pbFormat);
    if (type->pUnk != nullptr)
        type->pUnk->Release();
    ResetMediaType(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (target == source)
        return S_OK;
    FreeMediaTypeContents(target);
    AM_MEDIA_TYPE copy = *source;
    copy.pbFormat = nullptr;
    copy.cbFormat = 0;
    if (source->cbFormat != 0 && source->pbFormat != nullptr) {
        copy.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (copy.pbFormat == nullptr)
            return E_OUTOFMEMORY;
        std::memcpy(copy.pbFormat, source->pbFormat, source->cbFormat);
        copy.cbFormat = source->cbFormat;
    }
    if (copy.pUnk != nullptr)
        copy.pUnk->AddRef();
    *target = copy;
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaTypeCopy(const AM_MEDIA_TYPE* source) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr)
        return nullptr;
    ResetMediaType(type);
    if (FAILED(CopyMediaType(type, source))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr)
        return;
    FreeMediaTypeContents(type);
    CoTaskMemFree(type);
}

} // namespace media
