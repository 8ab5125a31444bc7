#include <gtest/gtest.h>

#include "filters/media_type_enumerator.h"
#include "filters/pin_enumerator.h"
#include "test_filters.h"

namespace {

// A filter with one output pin.
class OnePinFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        filter = new TestFilter;
        filter->AddRef();
        output = new TestOutputPin(filter, u"first");
        filter->AddPin(output);
    }
    void TearDown() override { EXPECT_EQ(filter->Release(), 0u); }

    TestFilter* filter = nullptr;
    TestOutputPin* output = nullptr;
};

class PinEnumeratorTest : public OnePinFilterTest {
protected:
    void SetUp() override {
        OnePinFilterTest::SetUp();
        ASSERT_EQ(filter->EnumPins(&pins), S_OK);
    }
    void TearDown() override {
        pins->Release();
        OnePinFilterTest::TearDown();
    }

    IEnumPins* pins = nullptr;
};

// The pin proposes one PCM type; an enumerator of its types.
class MediaTypeEnumeratorTest : public OnePinFilterTest {
protected:
    void SetUp() override {
        OnePinFilterTest::SetUp();
        output->Propose(*NewPcmType(pcm, 2, 44100));
        ASSERT_EQ(output->EnumMediaTypes(&types), S_OK);
    }
    void TearDown() override {
        types->Release();
        OnePinFilterTest::TearDown();
    }

    CMediaDescriptor pcm;
    IEnumMediaTypes* types = nullptr;
};

} // namespace

TEST_F(PinEnumeratorTest, HandsOutEachPinOnceWithAReference) {
    IPin* pin = nullptr;
    ASSERT_EQ(pins->Next(1, &pin, nullptr), S_OK);
    EXPECT_EQ(pin, static_cast<IPin*>(filter->PinAt(0)));
    pin->Release();
    EXPECT_EQ(pins->Next(1, &pin, nullptr), S_FALSE);
    ASSERT_EQ(pins->Reset(), S_OK);
    ASSERT_EQ(pins->Next(1, &pin, nullptr), S_OK);
    pin->Release();
}

TEST_F(PinEnumeratorTest, CountAboveOneNeedsAFetchedPointer) {
    IPin* array[2] = {nullptr, nullptr};
    EXPECT_EQ(pins->Next(2, array, nullptr), E_INVALIDARG);
    ULONG fetched = 99;
    EXPECT_EQ(pins->Next(2, array, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    array[0]->Release();
    EXPECT_EQ(pins->Next(1, nullptr, nullptr), E_POINTER);
}

TEST_F(PinEnumeratorTest, SkipMovesOnlyWithinTheList) {
    EXPECT_EQ(pins->Skip(2), S_FALSE);
    EXPECT_EQ(pins->Skip(1), S_OK);
    IPin* pin = nullptr;
    EXPECT_EQ(pins->Next(1, &pin, nullptr), S_FALSE);
}

TEST_F(PinEnumeratorTest, AChangedPinListRefreshesNextButFailsSkipAndClone) {
    IPin* pin = nullptr;
    ASSERT_EQ(pins->Next(1, &pin, nullptr), S_OK);
    pin->Release();
    filter->AddPin(new TestOutputPin(filter, u"second"));
    filter->version = 2;

    EXPECT_EQ(pins->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    IEnumPins* copy = reinterpret_cast<IEnumPins*>(0x1);
    EXPECT_EQ(pins->Clone(&copy), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(copy, nullptr);

    // The refresh starts again from the first pin but skips the one already handed out.
    ULONG fetched = 0;
    IPin* array[2] = {nullptr, nullptr};
    EXPECT_EQ(pins->Next(2, array, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(array[0], static_cast<IPin*>(filter->PinAt(1)));
    array[0]->Release();
}

TEST_F(PinEnumeratorTest, APinVanishingUnderneathIsOutOfSync) {
    filter->AddPin(new TestOutputPin(filter, u"second"));
    ASSERT_EQ(pins->Reset(), S_OK);
    CBasePin* hidden = filter->PinAt(0);
    filter->HidePin(0);
    IPin* pin = nullptr;
    EXPECT_EQ(pins->Next(1, &pin, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
    delete hidden;
}

TEST_F(PinEnumeratorTest, CloneCarriesPositionAndReturnedPins) {
    filter->AddPin(new TestOutputPin(filter, u"second"));
    ASSERT_EQ(pins->Reset(), S_OK);
    IPin* pin = nullptr;
    ASSERT_EQ(pins->Next(1, &pin, nullptr), S_OK);
    pin->Release();
    IEnumPins* copy = nullptr;
    ASSERT_EQ(pins->Clone(&copy), S_OK);
    ASSERT_EQ(copy->Next(1, &pin, nullptr), S_OK);
    EXPECT_EQ(pin, static_cast<IPin*>(filter->PinAt(1)));
    pin->Release();
    void* unknown = nullptr;
    ASSERT_EQ(copy->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, copy);
    EXPECT_EQ(copy->Release(), 1u);
    EXPECT_EQ(copy->Release(), 0u);
    EXPECT_EQ(pins->QueryInterface(IID_IPin, &unknown), E_NOINTERFACE);
}

TEST_F(MediaTypeEnumeratorTest, GivesEachTypeOnceAsTaskMemoryRecords) {
    AM_MEDIA_TYPE* type = nullptr;
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    EXPECT_TRUE(pcm.SameAs(*type));
    EXPECT_NE(type->pbFormat, pcm.pbFormat);
    DeleteMediaRecord(type);
    EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);

    AM_MEDIA_TYPE* array[2] = {nullptr, nullptr};
    EXPECT_EQ(types->Next(2, array, nullptr), E_INVALIDARG);
    ULONG fetched = 7;
    ASSERT_EQ(types->Reset(), S_OK);
    EXPECT_EQ(types->Next(2, array, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    DeleteMediaRecord(array[0]);

    ASSERT_EQ(types->Reset(), S_OK);
    EXPECT_EQ(types->Skip(0), S_OK);
    EXPECT_EQ(types->Skip(1), S_OK);
    ASSERT_EQ(types->Reset(), S_OK);
    EXPECT_EQ(types->Skip(2), S_FALSE);
    EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE); // the position stayed advanced
}

TEST_F(MediaTypeEnumeratorTest, AChangedTypeListIsOutOfSyncUntilReset) {
    // The enumerator keeps the filter alive through the pin.
    EXPECT_EQ(filter->AddRef(), 3u);
    filter->Release();

    IEnumMediaTypes* copy = nullptr;
    ASSERT_EQ(types->Clone(&copy), S_OK);
    output->typeVersion = 2;
    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(types->Next(1, &type, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(types->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    IEnumMediaTypes* second = nullptr;
    EXPECT_EQ(types->Clone(&second), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(second, nullptr);
    ASSERT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    DeleteMediaRecord(type);
    EXPECT_EQ(copy->Next(1, &type, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
    copy->Release();
}

TEST(EnumeratorLifetimeTest, EnumeratorsHoldTheFilterUntilReleased) {
    const LONG before = CBaseObject::LiveObjectCount();
    auto* filter = new TestFilter;
    filter->AddRef();
    filter->AddPin(new TestOutputPin(filter, u"out"));
    IEnumPins* pins = nullptr;
    ASSERT_EQ(filter->EnumPins(&pins), S_OK);
    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(filter->PinAt(0)->EnumMediaTypes(&types), S_OK);
    EXPECT_EQ(filter->Release(), 2u);
    EXPECT_GT(CBaseObject::LiveObjectCount(), before);
    pins->Release();
    types->Release(); // the last reference: filter and pin go
    EXPECT_EQ(CBaseObject::LiveObjectCount(), before);
}
