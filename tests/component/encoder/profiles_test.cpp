// The built-in presets, their profile texts in the component's string table,
// the settings dialog's template, and header attributes set from text.
#include "entry/component_resources.h"
#include "errors/wma_exception.h"
#include "header_info_double.h"
#include "profiles/attribute_from_text.h"
#include "profiles/wma_preset_loader.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The component's module, as the library registers it when it loads.
class RegisteredModule : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = RegisterModule(kComponentModuleName, ComponentResources());
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { UnregisterModule(module_); }

    HMODULE module_ = nullptr;
};

std::string LoadText(UINT id) {
    std::vector<char> buffer(4096, '\0');
    const int copied =
        LoadStringA(GetModuleHandleA("ostrel"), id, buffer.data(), static_cast<int>(buffer.size()));
    return copied > 0 ? std::string(buffer.data(), static_cast<std::size_t>(copied)) : "";
}

struct StreamFacts {
    std::u16string profileName;
    DWORD bitrate = 0;
    WAVEFORMATEX format{};
    GUID subtype{};
    std::vector<BYTE> codecData;
};

std::optional<StreamFacts> Inspect(IWMProfile* profile) {
    StreamFacts facts;
    DWORD length = 0;
    if (FAILED(profile->GetName(nullptr, &length))) {
        return std::nullopt;
    }
    facts.profileName.resize(length);
    profile->GetName(facts.profileName.data(), &length);
    facts.profileName.resize(length > 0 ? length - 1 : 0);
    IWMStreamConfig* stream = nullptr;
    if (FAILED(profile->GetStream(0, &stream))) {
        return std::nullopt;
    }
    stream->GetBitrate(&facts.bitrate);
    IWMMediaProps* props = nullptr;
    HRESULT hr = stream->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void**>(&props));
    stream->Release();
    if (FAILED(hr)) {
        return std::nullopt;
    }
    DWORD size = 0;
    props->GetMediaType(nullptr, &size);
    std::vector<BYTE> storage(size);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
    hr = props->GetMediaType(type, &size);
    props->Release();
    if (FAILED(hr) || type->cbFormat < sizeof(WAVEFORMATEX)) {
        return std::nullopt;
    }
    facts.subtype = type->subtype;
    std::memcpy(&facts.format, type->pbFormat, sizeof(WAVEFORMATEX));
    facts.codecData.assign(type->pbFormat + sizeof(WAVEFORMATEX),
                           type->pbFormat + sizeof(WAVEFORMATEX) + facts.format.cbSize);
    return facts;
}

std::vector<BYTE> HexBytes(const std::string& hex) {
    std::vector<BYTE> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

struct ExpectedPreset {
    const char* name;
    const char* description;
    UINT textId;
    const char16_t* profileName;
    DWORD bitrate;
    WORD formatTag;
    DWORD averageBytes;
    WORD blockAlign;
    const char* codecData;
};

const ExpectedPreset kPresets[] = {
    {"44kHz Stereo CBR 32kbps", "Please have mercy!", 7, u"", 31984, 353, 3998, 1485,
     "008800001F0035170000"},
    {"44kHz Stereo CBR 48kbps", "FM Radio-Quality?", 8, u"", 48024, 353, 6003, 2230,
     "008800001F00D9220000"},
    {"44kHz Stereo CBR 64kbps", "CD-Quality? I hope not...", 1, u"44kHz Stereo CBR 64kbps", 64024,
     353, 8003, 2973, "008800000F00752E0000"},
    {"44kHz Stereo CBR 80kbps", "A bit better...", 2, u"44kHz Stereo CBR 80kbps", 80024, 353, 10003,
     3716, "008800000F00113A0000"},
    {"44kHz Stereo CBR 96kbps", "Possibly this codec's sweet-spot", 3, u"", 96024, 353, 12003, 4459,
     "008800000F00AD450000"},
    {"44kHz Stereo CBR 128kbps", "May I recommend LAME -b 128?", 4, u"", 128016, 353, 16002, 5945,
     "008800000F00E55C0000"},
    {"44kHz Stereo CBR 160kbps", "Did I mention LAME?", 5, u"", 160016, 353, 20002, 7431,
     "008800000F001D740000"},
    {"44kHz Stereo CBR 192kbps", "Use LAME!", 6, u"", 192016, 353, 24002, 8917,
     "008800000F00558B0000"},
    {"44kHz Stereo Lossless", "This _shouldn't_ sound too bad.", 9, u"", 128016, 355, 2147483492,
     13375, "100003000000000000000000000021000000"},
};

// ---- String table and dialog ----------------------------------------------------

using ComponentResourcesTest = RegisteredModule;

TEST_F(ComponentResourcesTest, EveryProfileTextIsInTheStringTable) {
    for (UINT id = 1; id <= 9; ++id) {
        const std::string text = LoadText(id);
        EXPECT_TRUE(text.starts_with("<profile version=\"589824\"")) << id;
        EXPECT_TRUE(text.ends_with("</profile>")) << id;
        EXPECT_LT(text.size(), 4096u) << id;
        EXPECT_EQ(text.find('\r'), std::string::npos) << id;
        // One attribute per line.
        EXPECT_NE(text.find("\"\n"), std::string::npos) << id;
        EXPECT_NE(text.find("description=\"Streams: 1 audio\""), std::string::npos) << id;
        EXPECT_NE(text.find("rfc1766langid=\"en-us\""), std::string::npos) << id;
        const bool variable = text.find("vbrenabled=\"1\"") != std::string::npos;
        EXPECT_EQ(variable, id == 9) << id;
        EXPECT_EQ(text.find("bitratemax=\"0\"") != std::string::npos, id == 9) << id;
    }
    EXPECT_EQ(LoadText(10), "");
    EXPECT_EQ(LoadText(0), "");
}

TEST_F(ComponentResourcesTest, EachProfileTextDescribesItsStream) {
    IWMProfileManager* manager = nullptr;
    ASSERT_EQ(WMCreateProfileManager(&manager), S_OK);
    for (const ExpectedPreset& preset : kPresets) {
        SCOPED_TRACE(preset.name);
        const std::string text = LoadText(preset.textId);
        const std::u16string wide(text.begin(), text.end()); // the texts are ASCII
        IWMProfile* profile = nullptr;
        ASSERT_EQ(manager->LoadProfileByData(wide.c_str(), &profile), S_OK);
        const auto facts = Inspect(profile);
        profile->Release();
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->profileName, preset.profileName);
        EXPECT_EQ(facts->bitrate, preset.bitrate);
        EXPECT_EQ(facts->format.wFormatTag, preset.formatTag);
        EXPECT_TRUE(facts->subtype == AudioSubtypeFromTag(preset.formatTag));
        EXPECT_EQ(facts->format.nChannels, 2);
        EXPECT_EQ(facts->format.nSamplesPerSec, 44100u);
        EXPECT_EQ(facts->format.nAvgBytesPerSec, preset.averageBytes);
        EXPECT_EQ(facts->format.nBlockAlign, preset.blockAlign);
        EXPECT_EQ(facts->format.wBitsPerSample, 16);
        EXPECT_EQ(facts->codecData, HexBytes(preset.codecData));
    }
    manager->Release();
}

TEST_F(ComponentResourcesTest, SettingsDialogHasEveryControlInPlace) {
    const DialogTemplate* dialog = FindDialogTemplate(GetModuleHandleA("ostrel"), 116);
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->caption, "WMA encoder settings");
    EXPECT_EQ(dialog->style, DS_MODALFRAME | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(dialog->cx, 224);
    EXPECT_EQ(dialog->cy, 177);
    EXPECT_STREQ(dialog->fontName, "Tahoma");
    EXPECT_EQ(dialog->fontSize, 8);

    struct Expected {
        const char* className;
        const char* text;
        WORD id;
        DWORD style;
        SHORT x, y, cx, cy;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Expected expected[] = {
        {"STATIC", "Quality:", 0xFFFF, child, 8, 8, 28, 8},
        {"msctls_trackbar32", "", 1000, child | TBS_NOTICKS | WS_TABSTOP, 8, 20, 212, 15},
        {"STATIC", "", 1001, child | SS_CENTER, 12, 36, 204, 8},
        {"STATIC", "", 1003, child | SS_CENTER, 12, 48, 204, 8},
        {"BUTTON", "OK", 1, child | BS_DEFPUSHBUTTON, 112, 156, 50, 14},
        {"BUTTON", "Cancel", 2, child, 168, 156, 50, 14},
        {"BUTTON", "Custom", 0xFFFF, child | BS_GROUPBOX, 8, 60, 208, 88},
        {"EDIT", "", 1004, child | ES_MULTILINE | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 12, 73, 200,
         52},
        {"BUTTON", "Load", 1005, child, 160, 129, 50, 14},
    };
    ASSERT_EQ(dialog->controlCount, static_cast<int>(std::size(expected)));
    for (int i = 0; i < dialog->controlCount; ++i) {
        const DialogControlTemplate& control = dialog->controls[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(want.text);
        EXPECT_STREQ(control.className, want.className);
        EXPECT_STREQ(control.text, want.text);
        EXPECT_EQ(control.id, want.id);
        EXPECT_EQ(control.style, want.style);
        EXPECT_EQ(control.x, want.x);
        EXPECT_EQ(control.y, want.y);
        EXPECT_EQ(control.cx, want.cx);
        EXPECT_EQ(control.cy, want.cy);
    }
    EXPECT_EQ(FindDialogTemplate(GetModuleHandleA("ostrel"), 117), nullptr);
}

// ---- Preset loader ------------------------------------------------------------------

using PresetLoaderTest = RegisteredModule;

TEST_F(PresetLoaderTest, ListsTheNinePresetsInIndexOrder) {
    WMAPresetLoader loader;
    ASSERT_EQ(loader.PresetCount(), 9);
    for (int index = 0; index < 9; ++index) {
        EXPECT_EQ(loader.PresetName(index), kPresets[index].name);
        EXPECT_EQ(loader.PresetDescription(index), kPresets[index].description);
    }
    EXPECT_EQ(loader.PresetName(2), "44kHz Stereo CBR 64kbps");
}

TEST_F(PresetLoaderTest, IndexOutsideTheListRaisesOutOfRange) {
    WMAPresetLoader loader;
    for (int index : {-1, 9, 1000}) {
        try {
            loader.PresetName(index);
            ADD_FAILURE() << index;
        } catch (const std::out_of_range& error) {
            EXPECT_STREQ(error.what(), "invalid vector<T> subscript");
        }
        EXPECT_THROW(loader.PresetDescription(index), std::out_of_range);
        IWMProfile* profile = nullptr;
        EXPECT_THROW(loader.LoadPresetProfile(index, &profile), std::out_of_range);
        EXPECT_EQ(profile, nullptr);
    }
}

// What the preset's new profile says, read through its interfaces.
std::optional<StreamFacts> PresetFacts(const WMAPresetLoader& loader, int index) {
    IWMProfile* profile = nullptr;
    EXPECT_EQ(loader.LoadPresetProfile(index, &profile), S_OK);
    if (profile == nullptr) {
        return std::nullopt;
    }
    auto facts = Inspect(profile);
    profile->Release();
    return facts;
}

TEST_F(PresetLoaderTest, EveryPresetLoadsItsOwnProfile) {
    WMAPresetLoader loader;
    for (int index = 0; index < 9; ++index) {
        SCOPED_TRACE(index);
        const auto facts = PresetFacts(loader, index);
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->bitrate, kPresets[index].bitrate);
        EXPECT_EQ(facts->format.wFormatTag, kPresets[index].formatTag);
    }
    // Preset 2 is text 1, the one text with a name of its own.
    EXPECT_EQ(PresetFacts(loader, 2).value().profileName, u"44kHz Stereo CBR 64kbps");
    EXPECT_EQ(PresetFacts(loader, 8).value().format.nBlockAlign, 13375);
}

TEST_F(PresetLoaderTest, EachLoadGivesANewProfile) {
    WMAPresetLoader loader;
    IWMProfile* first = nullptr;
    IWMProfile* second = nullptr;
    ASSERT_EQ(loader.LoadPresetProfile(0, &first), S_OK);
    ASSERT_EQ(loader.LoadPresetProfile(0, &second), S_OK);
    EXPECT_NE(first, second);
    first->Release();
    second->Release();
}

TEST_F(PresetLoaderTest, NullOutputIsRefused) {
    WMAPresetLoader loader;
    EXPECT_EQ(loader.LoadPresetProfile(0, nullptr), E_POINTER);
    EXPECT_EQ(loader.LoadCustomProfile(u"<profile/>", nullptr), E_POINTER);
}

TEST_F(PresetLoaderTest, CustomProfileTextIsLoadedOrItsFailureReturned) {
    WMAPresetLoader loader;
    const std::string text = LoadText(4);
    const std::u16string wide = u"\uFEFF" + std::u16string(text.begin(), text.end());
    IWMProfile* profile = nullptr;
    ASSERT_EQ(loader.LoadCustomProfile(wide.c_str(), &profile), S_OK);
    const auto facts = Inspect(profile);
    profile->Release();
    ASSERT_TRUE(facts.has_value());
    EXPECT_EQ(facts->bitrate, 128016u);

    profile = reinterpret_cast<IWMProfile*>(&loader); // must be cleared
    EXPECT_EQ(loader.LoadCustomProfile(u"<profile version=\"1\"/>", &profile), NS_E_INVALIDPROFILE);
    EXPECT_EQ(profile, nullptr);
    EXPECT_EQ(loader.LoadCustomProfile(u"not xml at all", &profile), NS_E_INVALIDPROFILE);
}

TEST(PresetLoaderWithoutModuleTest, MissingTextsAreEmptyAndFailToLoad) {
    ASSERT_EQ(GetModuleHandleA("ostrel"), nullptr);
    WMAPresetLoader loader;
    EXPECT_EQ(loader.PresetCount(), 9);
    EXPECT_EQ(loader.PresetName(0), "44kHz Stereo CBR 32kbps");
    IWMProfile* profile = nullptr;
    EXPECT_EQ(loader.LoadPresetProfile(0, &profile), NS_E_INVALIDPROFILE);
    EXPECT_EQ(profile, nullptr);
}

TEST_F(PresetLoaderTest, LeavesTheThreadsComCountBalanced) {
    { WMAPresetLoader loader; }
    // The loader's pairing is undone, so this is the thread's first again.
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

// ---- Attributes from text -------------------------------------------------------------

AttributeRecord Record(std::u16string type, std::u16string value) {
    return {3, u"WM/Test", std::move(type), std::move(value)};
}

// A stored number, read in the width it was stored in: WORD unsigned, the
// 32-bit types and QWORD signed.
std::int64_t StoredNumber(const RecordedAttribute& attribute) {
    const BYTE* bytes = attribute.value.data();
    switch (attribute.value.size()) {
    case sizeof(WORD): {
        WORD value = 0;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    case sizeof(std::int32_t): {
        std::int32_t value = 0;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    case sizeof(std::int64_t): {
        std::int64_t value = 0;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    }
    ADD_FAILURE() << "a number of " << attribute.value.size() << " bytes";
    return 0;
}

TEST(SetAttributeFromTextTest, StringInCapitalsStoresUnitsAndTerminator) {
    RecordingHeaderInfo header;
    EXPECT_EQ(SetAttributeFromText(&header, Record(u"STRING", u"abc")), S_OK);
    ASSERT_EQ(header.attributes.size(), 1u);
    const RecordedAttribute& stored = header.attributes[0];
    EXPECT_EQ(stored.streamNumber, 3);
    EXPECT_EQ(stored.name, u"WM/Test");
    EXPECT_EQ(stored.type, WMT_TYPE_STRING);
    EXPECT_EQ(stored.length, 8);
    const std::vector<BYTE> expected = {'a', 0, 'b', 0, 'c', 0, 0, 0};
    EXPECT_EQ(stored.value, expected);
}

TEST(SetAttributeFromTextTest, EmptyStringIsTheTerminatorAlone) {
    RecordingHeaderInfo header;
    SetAttributeFromText(&header, Record(u"string", u""));
    ASSERT_EQ(header.attributes.size(), 1u);
    EXPECT_EQ(header.attributes[0].length, 2);
}

struct NumberCase {
    const char16_t* type; // any case
    const char16_t* text;
    WMT_ATTR_DATATYPE stored;
    std::size_t bytes;
    std::int64_t value;
};

// Leading digits are parsed, with a sign and blanks before them; values
// beyond the type saturate, except WORD, which keeps the low sixteen bits.
const NumberCase kNumberCases[] = {
    {u"dword", u"12x", WMT_TYPE_DWORD, 4, 12},
    {u"DWord", u"x", WMT_TYPE_DWORD, 4, 0},
    {u"dword", u"  -7", WMT_TYPE_DWORD, 4, -7},
    {u"dword", u"3000000000", WMT_TYPE_DWORD, 4, INT32_MAX},
    {u"dword", u"-3000000000", WMT_TYPE_DWORD, 4, INT32_MIN},
    {u"qword", u"+123456789012", WMT_TYPE_QWORD, 8, 123456789012},
    {u"QWORD", u"-9223372036854775808", WMT_TYPE_QWORD, 8, INT64_MIN},
    {u"qword", u"99999999999999999999", WMT_TYPE_QWORD, 8, INT64_MAX},
    {u"word", u"65537", WMT_TYPE_WORD, 2, 1},
    {u"word", u"-1", WMT_TYPE_WORD, 2, 0xFFFF},
    {u"bool", u"FALSE", WMT_TYPE_BOOL, 4, 0},
    {u"Bool", u"True", WMT_TYPE_BOOL, 4, 1},
};

TEST(SetAttributeFromTextTest, NumbersAndBooleansAreStoredInTheirWidth) {
    for (const NumberCase& number : kNumberCases) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(number.text)));
        RecordingHeaderInfo header;
        EXPECT_EQ(SetAttributeFromText(&header, Record(number.type, number.text)), S_OK);
        ASSERT_EQ(header.attributes.size(), 1u);
        const RecordedAttribute& stored = header.attributes[0];
        EXPECT_EQ(stored.type, number.stored);
        EXPECT_EQ(stored.length, number.bytes);
        ASSERT_EQ(stored.value.size(), number.bytes);
        EXPECT_EQ(StoredNumber(stored), number.value);
    }
}

TEST(SetAttributeFromTextTest, BinaryIsTheNarrowTextWithItsTerminator) {
    RecordingHeaderInfo header;
    SetAttributeFromText(&header, Record(u"binary", u"h\u00E9"));
    ASSERT_EQ(header.attributes.size(), 1u);
    EXPECT_EQ(header.attributes[0].type, WMT_TYPE_BINARY);
    const std::vector<BYTE> expected = {'h', 0xC3, 0xA9, 0};
    EXPECT_EQ(header.attributes[0].value, expected);
}

void ExpectRaise(const AttributeRecord& record, const std::string& message, HRESULT code,
                 HRESULT headerResult = S_OK) {
    RecordingHeaderInfo header;
    header.setResult = headerResult;
    try {
        SetAttributeFromText(&header, record);
        ADD_FAILURE() << "no exception for " << message;
    } catch (const CWMAException& error) {
        EXPECT_EQ(error.Message(), message);
        EXPECT_EQ(error.Code(), code);
        EXPECT_EQ(error.SourceFile(), "WMAPresetLoader");
    }
    if (SUCCEEDED(headerResult)) {
        EXPECT_TRUE(header.attributes.empty());
    }
}

TEST(SetAttributeFromTextTest, BadBoolAndUnknownTypeRaiseWithoutSetting) {
    ExpectRaise(Record(u"bool", u"yes"), "Invalid boolean attribute", E_INVALIDARG);
    ExpectRaise(Record(u"guid", u"{00000000-0000-0000-0000-000000000000}"),
                "Invalid attribute type", E_INVALIDARG);
    ExpectRaise(Record(u"", u"1"), "Invalid attribute type", E_INVALIDARG);
}

TEST(SetAttributeFromTextTest, RefusalRaisesWithTheHeadersCode) {
    ExpectRaise(Record(u"string", u"abc"), "Failed to set attribute", NS_E_INVALID_REQUEST,
                NS_E_INVALID_REQUEST);
}

TEST(SetAttributeFromTextTest, ValueTooLongForTheLengthFieldIsRefused) {
    RecordingHeaderInfo header;
    EXPECT_EQ(SetAttributeFromText(&header, Record(u"string", std::u16string(32766, u'a'))),
              S_OK); // 65534 bytes: the longest that fits
    ExpectRaise(Record(u"string", std::u16string(32767, u'a')), "Failed to set attribute",
                E_INVALIDARG);
}

TEST(SetAttributeFromTextTest, NullHeaderIsRefused) {
    EXPECT_EQ(SetAttributeFromText(nullptr, Record(u"string", u"a")), E_POINTER);
}

} // namespace
