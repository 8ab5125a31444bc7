#include <gtest/gtest.h>

#include <cstring>

#include "filters/media_type.h"
#include "filters/pointer_list.h"
#include "test_doubles.h"

namespace {

constexpr GUID kOtherFormat = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

// Counts references so a test can see the record's object reference handled.
class CountedObject final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    ULONG count = 0;
};

} // namespace

namespace {

// The type fields of a record of uncompressed samples of a fixed size.
void ExpectFixedSizeType(const AM_MEDIA_TYPE& type, REFGUID major, REFGUID sub, REFGUID format,
                         ULONG sampleSize) {
    EXPECT_EQ(type.majortype, major);
    EXPECT_EQ(type.subtype, sub);
    EXPECT_EQ(type.formattype, format);
    EXPECT_EQ(type.bFixedSizeSamples, TRUE);
    EXPECT_EQ(type.bTemporalCompression, FALSE);
    EXPECT_EQ(type.lSampleSize, sampleSize);
}

} // namespace

TEST(MediaTypeTest, EmptyRecordHasFixedSizeSamplesOfOneByteAndNothingElse) {
    CMediaDescriptor type;
    ExpectFixedSizeType(type, GUID_NULL, GUID_NULL, GUID_NULL, 1);
    EXPECT_EQ(type.cbFormat, 0u);
    EXPECT_EQ(type.pbFormat, nullptr);
    EXPECT_EQ(type.pUnk, nullptr);
    EXPECT_FALSE(type.IsFullySpecified());
}

TEST(MediaTypeTest, PcmFormatBlockHasZeroExtraSizeWhateverTheCallerHeld) {
    WAVEFORMATEX format = PcmFormat(2, 44100);
    format.cbSize = 0xBEEF; // garbage: PCM carries no extra bytes to copy
    CMediaDescriptor type;
    ASSERT_EQ(BuildAudioMediaType(&format, &type, true), S_OK);
    ExpectFixedSizeType(type, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, 4);
    ASSERT_EQ(type.cbFormat, 18u);
    WAVEFORMATEX copied;
    std::memcpy(&copied, type.pbFormat, sizeof copied);
    EXPECT_EQ(copied.cbSize, 0);
    EXPECT_EQ(copied.nSamplesPerSec, 44100u);
    EXPECT_EQ(copied.nBlockAlign, 4);
    EXPECT_TRUE(type.IsFullySpecified());
}

TEST(MediaTypeTest, CompressedTagGivesItsSubtypeAndCarriesItsExtraBytes) {
    struct {
        WAVEFORMATEX format;
        BYTE extra[10];
    } wma{};
    wma.format.wFormatTag = 0x0161;
    wma.format.nChannels = 2;
    wma.format.nSamplesPerSec = 44100;
    wma.format.nBlockAlign = 2973;
    wma.format.cbSize = 10;
    for (int i = 0; i < 10; ++i) {
        wma.extra[i] = static_cast<BYTE>(i + 1);
    }
    CMediaDescriptor type;
    ASSERT_EQ(BuildAudioMediaType(&wma.format, &type, true), S_OK);
    const GUID expected = {
        0x00000161, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    EXPECT_EQ(type.subtype, expected);
    EXPECT_EQ(type.lSampleSize, 2973u);
    ASSERT_EQ(type.cbFormat, 28u);
    EXPECT_EQ(std::memcmp(type.pbFormat, &wma, 28), 0);
}

TEST(MediaTypeTest, ExtensibleFormatTakesItsSubFormatAndNeedsItsExtraBytes) {
    struct {
        WAVEFORMATEX format;
        BYTE extra[22];
    } extensible{};
    extensible.format.wFormatTag = 0xFFFE;
    extensible.format.cbSize = 22;
    std::memcpy(extensible.extra + 6, &kOtherFormat, sizeof(GUID));
    CMediaDescriptor type;
    ASSERT_EQ(BuildAudioMediaType(&extensible.format, &type, false), S_OK);
    EXPECT_EQ(type.subtype, kOtherFormat);
    EXPECT_EQ(type.cbFormat, 0u); // without the format flag the block is left alone

    extensible.format.cbSize = 4; // the GUID would lie past the record
    CMediaDescriptor shortType;
    EXPECT_EQ(BuildAudioMediaType(&extensible.format, &shortType, true), E_INVALIDARG);
    EXPECT_EQ(shortType.pbFormat, nullptr);
    EXPECT_EQ(BuildAudioMediaType(nullptr, &shortType, true), E_POINTER);
}

TEST(MediaTypeTest, CopyIsDeepAndTakesAReferenceOnTheObject) {
    CountedObject object;
    CMediaDescriptor source;
    WAVEFORMATEX format = PcmFormat(1, 8000);
    ASSERT_EQ(BuildAudioMediaType(&format, &source, true), S_OK);
    source.pUnk = &object;
    object.AddRef();
    {
        CMediaDescriptor copy;
        ASSERT_EQ(copy.AssignFrom(source), S_OK);
        EXPECT_NE(copy.pbFormat, source.pbFormat);
        EXPECT_TRUE(copy.SameAs(source));
        EXPECT_EQ(object.count, 2u);
        EXPECT_EQ(copy.AssignFrom(copy), S_OK); // self-assignment keeps everything
        EXPECT_EQ(object.count, 2u);
        ASSERT_NE(copy.pbFormat, nullptr);
    }
    EXPECT_EQ(object.count, 1u);
    FreeMediaRecord(source);
    EXPECT_EQ(object.count, 0u);
    EXPECT_EQ(source.pUnk, nullptr);
    EXPECT_EQ(source.cbFormat, 0u);
}

TEST(MediaTypeTest, TaskMemoryRecordIsDeletedWithItsBlock) {
    CMediaDescriptor source;
    WAVEFORMATEX format = PcmFormat(2, 48000);
    ASSERT_EQ(BuildAudioMediaType(&format, &source, true), S_OK);
    auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    ASSERT_EQ(CopyMediaRecord(record, source), S_OK);
    DeleteMediaRecord(record); // the leak checker sees whether both went
    DeleteMediaRecord(nullptr);
}

TEST(MediaTypeTest, EqualityIgnoresFlagsSampleSizeAndObject) {
    CMediaDescriptor a;
    CMediaDescriptor b;
    WAVEFORMATEX format = PcmFormat(2, 44100);
    BuildAudioMediaType(&format, &a, true);
    BuildAudioMediaType(&format, &b, true);
    b.lSampleSize = 999;
    b.bTemporalCompression = TRUE;
    EXPECT_TRUE(a.SameAs(b));
    b.pbFormat[4] ^= 1; // a different sample rate
    EXPECT_FALSE(a.SameAs(b));
    CMediaDescriptor c;
    BuildAudioMediaType(&format, &c, false);
    EXPECT_FALSE(a.SameAs(c)); // format sizes differ
}

TEST(MediaTypeTest, PartialMatchTreatsZeroGuidsAsWildcards) {
    CMediaDescriptor candidate;
    WAVEFORMATEX format = PcmFormat(2, 44100);
    BuildAudioMediaType(&format, &candidate, true);

    CMediaDescriptor anything;
    std::memset(static_cast<AM_MEDIA_TYPE*>(&anything), 0, sizeof(AM_MEDIA_TYPE));
    EXPECT_TRUE(candidate.FitsPartial(anything));

    CMediaDescriptor audioOnly;
    audioOnly.majortype = MEDIATYPE_Audio;
    audioOnly.lSampleSize = 77;
    EXPECT_TRUE(candidate.FitsPartial(audioOnly));

    CMediaDescriptor wrongSubtype;
    wrongSubtype.subtype = AudioSubtypeFromTag(3);
    EXPECT_FALSE(candidate.FitsPartial(wrongSubtype));

    CMediaDescriptor formatWithoutBlock;
    formatWithoutBlock.formattype = FORMAT_WaveFormatEx;
    EXPECT_FALSE(candidate.FitsPartial(formatWithoutBlock)); // the block must match too

    CMediaDescriptor sameFormat;
    sameFormat.AssignFrom(candidate);
    sameFormat.majortype = GUID_NULL;
    EXPECT_TRUE(candidate.FitsPartial(sameFormat));
}

TEST(PointerListTest, AppendsFindsCopiesAndEmpties) {
    int a = 0;
    int b = 0;
    int c = 0;
    CPointerList list;
    ASSERT_NE(list.Append(&a), nullptr);
    ASSERT_NE(list.Append(&b), nullptr);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_NE(list.Find(&b), nullptr);
    EXPECT_EQ(list.Find(&c), nullptr);

    CPointerList copy;
    copy.Append(&c);
    ASSERT_TRUE(copy.AppendAll(list));
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.Head()->pointer, &c);
    EXPECT_EQ(copy.Head()->next->pointer, &a);
    EXPECT_EQ(copy.Head()->next->next->pointer, &b);
    EXPECT_EQ(copy.Head()->next->next->previous->pointer, &a);

    list.RemoveAll();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Head(), nullptr);
    EXPECT_EQ(list.Find(&a), nullptr);
    EXPECT_NE(list.Append(&a), nullptr);
    EXPECT_EQ(list.Count(), 1);
}
