#include "filters/media_type.h"

#include <cstring>

namespace {
constexpr WORD kWaveFormatExtensible = 0xFFFE;
constexpr std::size_t kSubFormatOffset = 24;
constexpr WORD kExtensibleExtraBytes = 22;
constexpr ULONG kPcmFormatSize = sizeof(WAVEFORMATEX);
constexpr std::size_t kPcmCopiedBytes = 16;

bool FormatBlocksEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (a.cbFormat != b.cbFormat) {
        return false;
    }
    if (a.cbFormat == 0) {
        return true;
    }
    if (a.pbFormat == nullptr || b.pbFormat == nullptr) {
        return a.pbFormat == b.pbFormat;
    }
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}
} // namespace

HRESULT CopyMediaRecord(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source) {
    *target = source;
    if (source.cbFormat != 0) {
        auto* block = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
        if (block == nullptr || source.pbFormat == nullptr) {
            CoTaskMemFree(block);
            target->cbFormat = 0;
            target->pbFormat = nullptr;
            target->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(block, source.pbFormat, source.cbFormat);
        target->pbFormat = block;
    } else {
        target->pbFormat = nullptr;
    }
    if (target->pUnk != nullptr) {
        target->pUnk->AddRef();
    }
    return S_OK;
}

void FreeMediaRecord(AM_MEDIA_TYPE& record) {
    if (record.cbFormat != 0) {
        CoTaskMemFree(record.pbFormat);
        record.cbFormat = 0;
        record.pbFormat = nullptr;
    }
    if (record.pUnk != nullptr) {
        record.pUnk->Release();
        record.pUnk = nullptr;
    }
}

void DeleteMediaRecord(AM_MEDIA_TYPE* record) {
    if (record == nullptr) {
        return;
    }
    FreeMediaRecord(*record);
    CoTaskMemFree(record);
}

void SetEmptyMediaRecord(AM_MEDIA_TYPE& record) {
    std::memset(&record, 0, sizeof record);
    record.bFixedSizeSamples = TRUE;
    record.lSampleSize = 1;
}

bool MediaRecordsEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    return a.majortype == b.majortype && a.subtype == b.subtype && a.formattype == b.formattype &&
           FormatBlocksEqual(a, b);
}

bool MediaRecordFitsPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial) {
    if (!(partial.majortype == GUID_NULL) && !(partial.majortype == candidate.majortype)) {
        return false;
    }
    if (!(partial.subtype == GUID_NULL) && !(partial.subtype == candidate.subtype)) {
        return false;
    }
    if (!(partial.formattype == GUID_NULL)) {
        return partial.formattype == candidate.formattype && FormatBlocksEqual(candidate, partial);
    }
    return true;
}

bool MediaRecordFullySpecified(const AM_MEDIA_TYPE& record) {
    return !(record.majortype == GUID_NULL) && !(record.formattype == GUID_NULL);
}

HRESULT BuildAudioMediaType(const WAVEFORMATEX* wave, AM_MEDIA_TYPE* record, bool withFormat) {
    if (wave == nullptr || record == nullptr) {
        return E_POINTER;
    }
    record->majortype = MEDIATYPE_Audio;
    if (wave->wFormatTag == kWaveFormatExtensible) {
        // The sub-format GUID lies in the extra bytes; without them it is not there to read.
        if (wave->cbSize < kExtensibleExtraBytes) {
            return E_INVALIDARG;
        }
        std::memcpy(&record->subtype, reinterpret_cast<const BYTE*>(wave) + kSubFormatOffset,
                    sizeof(GUID));
    } else {
        record->subtype = AudioSubtypeFromTag(wave->wFormatTag);
    }
    record->formattype = FORMAT_WaveFormatEx;
    record->bFixedSizeSamples = TRUE;
    record->bTemporalCompression = FALSE;
    record->lSampleSize = wave->nBlockAlign;
    record->pUnk = nullptr;
    if (!withFormat) {
        return S_OK;
    }
    const bool pcm = wave->wFormatTag == WAVE_FORMAT_PCM;
    const ULONG size = pcm ? kPcmFormatSize : kPcmFormatSize + wave->cbSize;
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (block == nullptr) {
        return E_OUTOFMEMORY;
    }
    if (pcm) {
        // PCM carries no extra bytes, whatever the caller's extra-size field says.
        std::memcpy(block, wave, kPcmCopiedBytes);
        block[kPcmCopiedBytes] = 0;
        block[kPcmCopiedBytes + 1] = 0;
    } else {
        std::memcpy(block, wave, size);
    }
    record->cbFormat = size;
    record->pbFormat = block;
    return S_OK;
}

HRESULT CMediaDescriptor::AssignFrom(const AM_MEDIA_TYPE& other) {
    if (&other == static_cast<const AM_MEDIA_TYPE*>(this)) {
        return S_OK;
    }
    FreeMediaRecord(*this);
    return SUCCEEDED(CopyMediaRecord(this, other)) ? S_OK : E_OUTOFMEMORY;
}
