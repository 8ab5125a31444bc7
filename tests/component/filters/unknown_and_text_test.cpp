#include <gtest/gtest.h>

#include <string>

#include "filters/unknown.h"
#include "filters/wide_text.h"

namespace {

// A framework object that implements IPersist, possibly inside an aggregate.
class Persistent : public CUnknown, public IPersist {
public:
    explicit Persistent(IUnknown* outer) : CUnknown("Persistent", outer) {}
    FILTERS_DELEGATE_UNKNOWN
    HRESULT InnerQueryInterface(REFIID iid, void** object) override {
        if (object != nullptr && iid == IID_IPersist) {
            return HandOutInterface(static_cast<IPersist*>(this), object);
        }
        return CUnknown::InnerQueryInterface(iid, object);
    }
    HRESULT GetClassID(CLSID* id) override {
        *id = IID_IPersist;
        return S_OK;
    }
};

// An aggregating object: owns the inner object's unknown and counts its own references.
class Aggregate final : public IUnknown {
public:
    Aggregate() {
        inner_ = new Persistent(this);
        innerUnknown_ = inner_->InnerUnknown();
        innerUnknown_->AddRef();
    }
    ~Aggregate() { innerUnknown_->Release(); }
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return innerUnknown_->QueryInterface(iid, object);
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }

    ULONG count = 0;

private:
    Persistent* inner_;
    IUnknown* innerUnknown_;
};

std::u16string Wide(const WCHAR* text) {
    return std::u16string(text);
}

} // namespace

TEST(UnknownTest, FirstInnerAddRefAnswersOneAndTheMatchingReleaseDestroys) {
    const LONG before = CBaseObject::LiveObjectCount();
    auto* object = new Persistent(nullptr);
    EXPECT_EQ(CBaseObject::LiveObjectCount(), before + 1);
    EXPECT_EQ(object->InnerAddRef(), 1u);
    EXPECT_EQ(object->InnerAddRef(), 2u);
    EXPECT_EQ(object->InnerRelease(), 1u);
    EXPECT_EQ(object->InnerRelease(), 0u);
    EXPECT_EQ(CBaseObject::LiveObjectCount(), before);
}

TEST(UnknownTest, PublicMethodsOfAPlainObjectReachItsOwnInnerMethods) {
    auto* object = new Persistent(nullptr);
    IPersist* persist = object;
    EXPECT_EQ(persist->AddRef(), 1u);
    void* found = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, &found), S_OK);
    EXPECT_EQ(found, object->InnerUnknown());
    EXPECT_EQ(static_cast<IUnknown*>(found)->Release(), 1u);
    EXPECT_EQ(persist->Release(), 0u);
}

TEST(UnknownTest, BaseLookupAnswersNoInterfaceAndNullsTheOutPointer) {
    auto* object = new Persistent(nullptr);
    object->InnerAddRef();
    void* found = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(object->CUnknown::InnerQueryInterface(IID_IPersist, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(object->InnerQueryInterface(IID_IPersist, nullptr), E_POINTER);
    EXPECT_EQ(HandOutInterface(object->InnerUnknown(), nullptr), E_POINTER);
    object->InnerRelease();
}

TEST(UnknownTest, AggregatedObjectCountsOnTheOuterObject) {
    const LONG before = CBaseObject::LiveObjectCount();
    {
        Aggregate outer;
        void* found = nullptr;
        ASSERT_EQ(outer.QueryInterface(IID_IPersist, &found), S_OK);
        auto* persist = static_cast<IPersist*>(found);
        EXPECT_EQ(outer.count, 1u);
        // Its IUnknown answers the aggregate's identity.
        void* identity = nullptr;
        ASSERT_EQ(persist->QueryInterface(IID_IUnknown, &identity), S_OK);
        EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
        EXPECT_EQ(outer.count, 2u);
        CLSID id{};
        EXPECT_EQ(persist->GetClassID(&id), S_OK);
        persist->Release();
        static_cast<IUnknown*>(identity)->Release();
        EXPECT_EQ(outer.count, 0u);
        EXPECT_EQ(CBaseObject::LiveObjectCount(), before + 1);
    }
    EXPECT_EQ(CBaseObject::LiveObjectCount(), before);
}

TEST(WideTextTest, BoundedCopyCutsAndAlwaysTerminates) {
    std::u16string longName(200, u'n');
    WCHAR field[128];
    CopyWideBounded(field, longName.c_str(), 128);
    EXPECT_EQ(WideLength(field), 127);

    CopyWideBounded(field, u"abc", 1);
    EXPECT_EQ(Wide(field), u"");

    field[0] = u'x';
    CopyWideBounded(field, u"abc", 0);
    EXPECT_EQ(field[0], u'x');

    WCHAR tail[8];
    for (WCHAR& c : tail) {
        c = u'#';
    }
    CopyWideBounded(tail, u"abc", 8);
    EXPECT_EQ(Wide(tail), u"abc");
    EXPECT_EQ(tail[4], u'#'); // nothing past the terminator is written
}

TEST(WideTextTest, DuplicateIsAnOwnedCopy) {
    const WCHAR* name = u"Capture";
    WCHAR* copy = DuplicateWide(name);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, name);
    EXPECT_EQ(Wide(copy), u"Capture");
    delete[] copy;
    copy = DuplicateWide(u"");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy[0], 0);
    delete[] copy;
    EXPECT_EQ(DuplicateWide(nullptr), nullptr);
}

TEST(WideTextTest, IntegersBecomeDecimalTextWithinTheirBuffer) {
    WCHAR text[32];
    IntToWide(12, text);
    EXPECT_EQ(Wide(text), u"12");
    IntToWide(-305, text);
    EXPECT_EQ(Wide(text), u"-305");
    WCHAR small[4] = {u'#', u'#', u'#', u'#'};
    IntToWide(1000, small, 4);
    EXPECT_EQ(small[0], 0); // does not fit: empty, and nothing written past the buffer
    EXPECT_EQ(small[1], u'#');
    IntToWide(999, small, 4);
    EXPECT_EQ(std::u16string(small, 3), u"999");
}

TEST(WideTextTest, FormatGoesThroughTheNarrowFormatter) {
    WCHAR text[256];
    int count = FormatWide(text, u"FilterGraph %08x pid %08x - %s", 0x1a2bu, 77u, "X");
    EXPECT_EQ(Wide(text), u"FilterGraph 00001a2b pid 0000004d - X");
    EXPECT_EQ(count, WideLength(text));
}

TEST(WideTextTest, OverlongFormattedOutputIsCutToTheBuffer) {
    std::string longText(400, 'z');
    WCHAR text[256];
    int count = FormatWide(text, u"%s", longText.c_str());
    EXPECT_EQ(count, 255);
    EXPECT_EQ(WideLength(text), 255);
}

TEST(WideTextTest, IntegerParsingFollowsTheCLibrary) {
    EXPECT_EQ(ParseWideInteger(u"1"), 1);
    EXPECT_EQ(ParseWideInteger(u"  42abc"), 42);
    EXPECT_EQ(ParseWideInteger(u"-7"), -7);
    EXPECT_EQ(ParseWideInteger(u"x"), 0);
    EXPECT_EQ(ParseWideInteger(u""), 0);
    EXPECT_EQ(ParseWideInteger(nullptr), 0);
    EXPECT_EQ(ParseWideInteger(u"99999999999999999999999"), LONG_MAX);
    EXPECT_EQ(ParseWideInteger(u"-99999999999999999999999"), LONG_MIN);
}
