// The profile manager: every built-in profile loads with the values of its
// text, and text that is not a valid audio profile is refused.
#include "built_in_profiles.h"

#include "platform/wmsdk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using writer_test::kBuiltInProfiles;

std::u16string Wide(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

struct Released {
    void operator()(IUnknown* object) const {
        if (object != nullptr) {
            object->Release();
        }
    }
};
template <class T> using Holder = std::unique_ptr<T, Released>;

Holder<IWMProfileManager> Manager() {
    IWMProfileManager* manager = nullptr;
    EXPECT_EQ(WMCreateProfileManager(&manager), S_OK);
    return Holder<IWMProfileManager>(manager);
}

HRESULT Load(IWMProfileManager* manager, std::string_view text, Holder<IWMProfile>& profile) {
    IWMProfile* raw = reinterpret_cast<IWMProfile*>(0x1);
    const auto wide = Wide(text);
    const HRESULT hr = manager->LoadProfileByData(wide.c_str(), &raw);
    profile.reset(raw);
    return hr;
}

std::u16string ProfileName(IWMProfile* profile) {
    DWORD length = 0;
    EXPECT_EQ(profile->GetName(nullptr, &length), S_OK);
    std::u16string name(length, u'?');
    EXPECT_EQ(profile->GetName(name.data(), &length), S_OK);
    name.resize(length - 1);
    return name;
}

std::vector<BYTE> MediaTypeBytes(IWMStreamConfig* stream) {
    IWMMediaProps* props = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void**>(&props)), S_OK);
    Holder<IWMMediaProps> held(props);
    DWORD size = 0;
    EXPECT_EQ(props->GetMediaType(nullptr, &size), S_OK);
    std::vector<BYTE> bytes(size);
    DWORD small = size - 1;
    EXPECT_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(bytes.data()), &small),
              ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(bytes.data()), &size), S_OK);
    return bytes;
}

std::string Hex(const BYTE* data, std::size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

TEST(ProfileManager, EveryBuiltInProfileLoadsWithTheValuesOfItsText) {
    auto manager = Manager();
    for (const auto& builtIn : kBuiltInProfiles) {
        SCOPED_TRACE(builtIn.preset);
        Holder<IWMProfile> profile;
        ASSERT_EQ(Load(manager.get(), builtIn.text, profile), S_OK);
        ASSERT_NE(profile, nullptr);

        EXPECT_EQ(ProfileName(profile.get()), Wide(builtIn.name));
        DWORD length = 0;
        ASSERT_EQ(profile->GetDescription(nullptr, &length), S_OK);
        std::u16string description(length, 0);
        ASSERT_EQ(profile->GetDescription(description.data(), &length), S_OK);
        EXPECT_EQ(description.c_str(), std::u16string(u"Streams: 1 audio"));
        WMT_VERSION version{};
        EXPECT_EQ(profile->GetVersion(&version), S_OK);
        EXPECT_EQ(version, WMT_VER_9_0);

        DWORD count = 0;
        ASSERT_EQ(profile->GetStreamCount(&count), S_OK);
        ASSERT_EQ(count, 1u);
        IWMStreamConfig* raw = nullptr;
        ASSERT_EQ(profile->GetStream(0, &raw), S_OK);
        Holder<IWMStreamConfig> stream(raw);
        EXPECT_EQ(profile->GetStream(1, &raw), E_INVALIDARG);
        EXPECT_EQ(raw, nullptr);

        DWORD bitrate = 0, window = 0;
        WORD number = 0;
        GUID type{};
        EXPECT_EQ(stream->GetBitrate(&bitrate), S_OK);
        EXPECT_EQ(bitrate, builtIn.bitrate);
        EXPECT_EQ(stream->GetBufferWindow(&window), S_OK);
        EXPECT_EQ(window, 3000u);
        EXPECT_EQ(stream->GetStreamNumber(&number), S_OK);
        EXPECT_EQ(number, 1);
        EXPECT_EQ(stream->GetStreamType(&type), S_OK);
        EXPECT_EQ(type, WMMEDIATYPE_Audio);
        WORD nameLength = 16;
        WCHAR streamName[16];
        EXPECT_EQ(stream->GetStreamName(streamName, &nameLength), S_OK);
        EXPECT_EQ(std::u16string(streamName), u"Audio1");

        const auto bytes = MediaTypeBytes(stream.get());
        const auto* mediaType = reinterpret_cast<const WM_MEDIA_TYPE*>(bytes.data());
        EXPECT_EQ(mediaType->majortype, WMMEDIATYPE_Audio);
        EXPECT_EQ(mediaType->subtype, AudioSubtypeFromTag(static_cast<WORD>(builtIn.formatTag)));
        EXPECT_EQ(mediaType->formattype, WMFORMAT_WaveFormatEx);
        EXPECT_EQ(mediaType->bFixedSizeSamples, TRUE);
        EXPECT_EQ(mediaType->bTemporalCompression, FALSE);
        const std::size_t codecBytes = std::string_view(builtIn.codecData).size() / 2;
        ASSERT_EQ(mediaType->cbFormat, sizeof(WAVEFORMATEX) + codecBytes);
        WAVEFORMATEX format;
        std::memcpy(&format, mediaType->pbFormat, sizeof(format));
        EXPECT_EQ(format.wFormatTag, builtIn.formatTag);
        EXPECT_EQ(format.nChannels, 2);
        EXPECT_EQ(format.nSamplesPerSec, 44100u);
        EXPECT_EQ(format.nAvgBytesPerSec, builtIn.avgBytesPerSec);
        EXPECT_EQ(format.nBlockAlign, builtIn.blockAlign);
        EXPECT_EQ(format.wBitsPerSample, 16);
        EXPECT_EQ(format.cbSize, codecBytes);
        EXPECT_EQ(Hex(mediaType->pbFormat + sizeof(WAVEFORMATEX), codecBytes), builtIn.codecData);
    }
}

TEST(ProfileManager, NamesAndTextsComeBackThroughTheTwoCallProtocol) {
    auto manager = Manager();
    Holder<IWMProfile> profile;
    ASSERT_EQ(Load(manager.get(), kBuiltInProfiles[2].text, profile), S_OK);
    DWORD length = 3;
    WCHAR shortBuffer[3];
    EXPECT_EQ(profile->GetName(shortBuffer, &length), ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(length, 24u); // "44kHz Stereo CBR 64kbps" and its terminator
    EXPECT_EQ(profile->GetName(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(ProfileName(profile.get()), u"44kHz Stereo CBR 64kbps");
}

TEST(ProfileManager, AByteOrderMarkAndOtherLayoutAreAccepted) {
    auto manager = Manager();
    const std::string text =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><profile name=\"x\"><streamconfig "
        "majortype=\"{73647561-0000-0010-8000-00aa00389b71}\" streamnumber=\"2\" "
        "bitrate=\"64000\"><wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">"
        "<waveformatex wFormatTag=\"353\" nChannels=\"1\" nSamplesPerSec=\"22050\" "
        "nAvgBytesPerSec=\"8000\" nBlockAlign=\"742\" wBitsPerSample=\"16\" codecdata=\"\"/>"
        "</wmmediatype></streamconfig></profile>";
    // The byte-order mark of the UTF-8 bytes becomes U+FEFF in UTF-16.
    std::u16string wide = u"\uFEFF" + Wide(text.substr(3));
    IWMProfile* raw = nullptr;
    ASSERT_EQ(manager->LoadProfileByData(wide.c_str(), &raw), S_OK);
    Holder<IWMProfile> profile(raw);
    IWMStreamConfig* stream = nullptr;
    ASSERT_EQ(profile->GetStreamByNumber(2, &stream), S_OK);
    Holder<IWMStreamConfig> held(stream);
    DWORD window = 0;
    EXPECT_EQ(stream->GetBufferWindow(&window), S_OK);
    EXPECT_EQ(window, 3000u); // absent: the usual window
}

TEST(ProfileManager, NullArgumentsAnswerEPointer) {
    auto manager = Manager();
    IWMProfile* profile = nullptr;
    EXPECT_EQ(manager->LoadProfileByData(nullptr, &profile), E_POINTER);
    EXPECT_EQ(profile, nullptr);
    const auto text = Wide(kBuiltInProfiles[0].text);
    EXPECT_EQ(manager->LoadProfileByData(text.c_str(), nullptr), E_POINTER);
    EXPECT_EQ(WMCreateProfileManager(nullptr), E_POINTER);
}

// Replaces the first occurrence of `from` in a built-in text.
std::string Edited(std::string_view text, std::string_view from, std::string_view to) {
    std::string edited(text);
    const auto at = edited.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        edited.replace(at, from.size(), to);
    }
    return edited;
}

TEST(ProfileManager, TextThatIsNotAValidAudioProfileIsRefused) {
    auto manager = Manager();
    const std::string_view good = kBuiltInProfiles[5].text;
    const std::vector<std::string> bad = {
        "",
        "not xml at all",
        "<profile",
        std::string(good.substr(0, good.size() / 2)),
        "<profile version=\"589824\"/>",
        "<other/>",
        std::string(good) + "<profile/>",
        Edited(good, "codecdata=\"008800000F00E55C0000\"", "codecdata=\"008800000F00E55C000\""),
        Edited(good, "codecdata=\"008800000F00E55C0000\"", "codecdata=\"0088000G0F00E55C0000\""),
        Edited(good, "nChannels=\"2\"", "nChannels=\"0\""),
        Edited(good, "nChannels=\"2\"", "nChannels=\"9\""),
        Edited(good, "nSamplesPerSec=\"44100\"", "nSamplesPerSec=\"0\""),
        Edited(good, "nSamplesPerSec=\"44100\"", "nSamplesPerSec=\"4294967296\""),
        Edited(good, "nSamplesPerSec=\"44100\"", "nSamplesPerSec=\"44.1k\""),
        Edited(good, "wFormatTag=\"353\"", "wFormatTag=\"65536\""),
        Edited(good, "wFormatTag=\"353\"", "wFormatTag=\"-353\""),
        Edited(good, "wFormatTag=\"353\"", "wFormatTag=\"354\""), // differs from the subtype
        Edited(good, "nBlockAlign=\"5945\"", ""),
        Edited(good, "bitrate=\"128016\"", "bitrate=\"0\""),
        Edited(good, "bitrate=\"128016\"", ""),
        Edited(good, "streamnumber=\"1\"", "streamnumber=\"64\""),
        Edited(good, "streamnumber=\"1\"", "streamnumber=\"0\""),
        Edited(good, "{73647561-0000-0010-8000-00AA00389B71}",
               "{73646976-0000-0010-8000-00AA00389B71}"), // video
        Edited(good, "{73647561-0000-0010-8000-00AA00389B71}", "audio"),
        Edited(good, "<waveformatex", "<waveformat"),
        Edited(good, "<streamconfig", "<streamconfiguration"),
    };
    for (const auto& text : bad) {
        SCOPED_TRACE(text);
        Holder<IWMProfile> profile;
        EXPECT_EQ(Load(manager.get(), text, profile), NS_E_INVALIDPROFILE);
        EXPECT_EQ(profile, nullptr);
    }
}

TEST(ProfileManager, AnUnpairedSurrogateIsRefused) {
    auto manager = Manager();
    std::u16string text = Wide(kBuiltInProfiles[0].text);
    text.replace(text.find(u"Audio1"), 1, u"\xD800");
    IWMProfile* profile = nullptr;
    EXPECT_EQ(manager->LoadProfileByData(text.c_str(), &profile), NS_E_INVALIDPROFILE);
    EXPECT_EQ(profile, nullptr);
}

TEST(ProfileManager, ProfileObjectsAnswerOnlyTheirInterfaces) {
    auto manager = Manager();
    Holder<IWMProfile> profile;
    ASSERT_EQ(Load(manager.get(), kBuiltInProfiles[0].text, profile), S_OK);
    void* object = nullptr;
    EXPECT_EQ(profile->QueryInterface(IID_IWMHeaderInfo, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(profile->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(profile.get()));
    static_cast<IUnknown*>(object)->Release();
}

} // namespace
