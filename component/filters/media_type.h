// Operations on the platform's media-type record and CMediaDescriptor, the
// owning wrapper that frees what a record points to.
#pragma once

#include "platform/dshow.h"

// Deep copy: the format block is copied into new task memory and the object
// reference gains one count. On allocation failure the target has no format
// block and no object reference, and E_OUTOFMEMORY is returned.
HRESULT CopyMediaRecord(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source);
// Frees the format block and releases the object reference; the record stays.
void FreeMediaRecord(AM_MEDIA_TYPE& record);
// For a record that itself lives in task memory, as enumerators hand them out.
void DeleteMediaRecord(AM_MEDIA_TYPE* record);

// The empty record: all zero except fixed-size samples and sample size 1.
void SetEmptyMediaRecord(AM_MEDIA_TYPE& record);
// Same major type, subtype, format type and format block; flags, sample size
// and object reference do not count.
bool MediaRecordsEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// Whether a complete candidate fits a partial record whose zero GUIDs are wildcards.
bool MediaRecordFitsPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial);
// Neither the major type nor the format type is the all-zero GUID.
bool MediaRecordFullySpecified(const AM_MEDIA_TYPE& record);

// The audio type of a wave format. With the format flag the record also gets
// its own copy of the wave format in task memory (PCM: 18 bytes with a zero
// extra size). The wave format must hold its cbSize extra bytes.
HRESULT BuildAudioMediaType(const WAVEFORMATEX* wave, AM_MEDIA_TYPE* record, bool withFormat);

class CMediaDescriptor : public AM_MEDIA_TYPE {
public:
    CMediaDescriptor() { ResetToEmpty(); }
    ~CMediaDescriptor() { FreeMediaRecord(*this); }
    CMediaDescriptor(const CMediaDescriptor&) = delete;
    CMediaDescriptor& operator=(const CMediaDescriptor&) = delete;

    // Sets the empty record without freeing anything.
    void ResetToEmpty() { SetEmptyMediaRecord(*this); }
    HRESULT AssignFrom(const AM_MEDIA_TYPE& other);
    bool SameAs(const AM_MEDIA_TYPE& other) const { return MediaRecordsEqual(*this, other); }
    bool FitsPartial(const AM_MEDIA_TYPE& partial) const {
        return MediaRecordFitsPartial(*this, partial);
    }
    bool IsFullySpecified() const { return MediaRecordFullySpecified(*this); }
};
