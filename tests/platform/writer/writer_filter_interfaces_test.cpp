// The writer filter's configuration interfaces, outside a running graph.
#include "built_in_profiles.h"
#include "core/com_ptr.h"

#include "media/media_type_util.h"
#include "platform/wmsdk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using writer_test::kBuiltInProfiles;

class WriterFilter : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IBaseFilter, filter_.PutVoid()),
                  S_OK);
        ASSERT_EQ(filter_->QueryInterface(IID_IConfigAsfWriter, config_.PutVoid()), S_OK);
        ASSERT_EQ(WMCreateProfileManager(manager_.Put()), S_OK);
    }
    void TearDown() override {
        config_.Reset();
        filter_.Reset();
        manager_.Reset();
        CoUninitialize();
    }

    com::Ptr<IWMProfile> Load(std::string_view text) {
        const std::u16string wide(text.begin(), text.end());
        com::Ptr<IWMProfile> profile;
        EXPECT_EQ(manager_->LoadProfileByData(wide.c_str(), profile.Put()), S_OK);
        return profile;
    }

    com::Ptr<IWMHeaderInfo> HeaderInfo() {
        com::Ptr<IServiceProvider> provider;
        EXPECT_EQ(filter_->QueryInterface(IID_IServiceProvider, provider.PutVoid()), S_OK);
        com::Ptr<IWMHeaderInfo> info;
        EXPECT_EQ(provider->QueryService(IID_IWMWriterAdvanced2, IID_IWMHeaderInfo, info.PutVoid()),
                  S_OK);
        return info;
    }

    com::Ptr<IPin> Pin() {
        com::Ptr<IEnumPins> pins;
        EXPECT_EQ(filter_->EnumPins(pins.Put()), S_OK);
        com::Ptr<IPin> pin;
        EXPECT_EQ(pins->Next(1, pin.Put(), nullptr), S_OK);
        return pin;
    }

    com::Ptr<IBaseFilter> filter_;
    com::Ptr<IConfigAsfWriter> config_;
    com::Ptr<IWMProfileManager> manager_;
};

TEST_F(WriterFilter, AnswersItsInterfaces) {
    for (const GUID* iid :
         {&IID_IUnknown, &IID_IBaseFilter, &IID_IMediaFilter, &IID_IConfigAsfWriter,
          &IID_IFileSinkFilter, &IID_IFileSinkFilter2, &IID_IServiceProvider}) {
        void* object = nullptr;
        EXPECT_EQ(filter_->QueryInterface(*iid, &object), S_OK);
        ASSERT_NE(object, nullptr);
        static_cast<IUnknown*>(object)->Release();
    }
    void* object = nullptr;
    EXPECT_EQ(filter_->QueryInterface(IID_IWMHeaderInfo, &object), E_NOINTERFACE);
    CLSID classId{};
    EXPECT_EQ(filter_->GetClassID(&classId), S_OK);
    EXPECT_EQ(classId, CLSID_WMAsfWriter);
    IUnknown* outer = filter_.Get();
    EXPECT_EQ(
        CoCreateInstance(CLSID_WMAsfWriter, outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
        CLASS_E_NOAGGREGATION);
}

TEST_F(WriterFilter, AcceptsAnySixteenBitPcmAndProposesNothing) {
    auto pin = Pin();
    com::Ptr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.Put()), S_OK);
    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);

    auto check = [&](WAVEFORMATEX format, GUID subtype = MEDIASUBTYPE_PCM) {
        AM_MEDIA_TYPE candidate{};
        candidate.majortype = MEDIATYPE_Audio;
        candidate.subtype = subtype;
        candidate.formattype = FORMAT_WaveFormatEx;
        candidate.cbFormat = sizeof(format);
        candidate.pbFormat = reinterpret_cast<BYTE*>(&format);
        return pin->QueryAccept(&candidate);
    };
    auto pcm = [](WORD channels, DWORD rate, WORD bits = 16) {
        return WAVEFORMATEX{WAVE_FORMAT_PCM,
                            channels,
                            rate,
                            rate * channels * bits / 8,
                            static_cast<WORD>(channels * bits / 8),
                            bits,
                            0};
    };
    EXPECT_EQ(check(pcm(2, 44100)), S_OK);
    EXPECT_EQ(check(pcm(1, 48000)), S_OK);
    EXPECT_EQ(check(pcm(8, 384000)), S_OK);
    EXPECT_EQ(check(pcm(6, 1000)), S_OK);
    EXPECT_NE(check(pcm(9, 44100)), S_OK);
    EXPECT_NE(check(pcm(0, 44100)), S_OK);
    EXPECT_NE(check(pcm(2, 999)), S_OK);
    EXPECT_NE(check(pcm(2, 384001)), S_OK);
    EXPECT_NE(check(pcm(2, 44100, 24)), S_OK);
    EXPECT_NE(check(pcm(2, 44100, 8)), S_OK);
    EXPECT_NE(check(pcm(2, 44100), AudioSubtypeFromTag(3)), S_OK); // float
    auto wrongAlign = pcm(2, 44100);
    wrongAlign.nBlockAlign = 3;
    EXPECT_NE(check(wrongAlign), S_OK);
}

TEST_F(WriterFilter, ConfiguresWithProfilesItCanEncodeOnly) {
    com::Ptr<IWMProfile> current;
    ASSERT_EQ(config_->GetCurrentProfile(current.Put()), S_OK); // the default configuration
    ASSERT_TRUE(current);

    for (int preset = 0; preset < 8; ++preset) {
        auto profile = Load(kBuiltInProfiles[static_cast<std::size_t>(preset)].text);
        EXPECT_EQ(config_->ConfigureFilterUsingProfile(profile.Get()), S_OK);
        ASSERT_EQ(config_->GetCurrentProfile(current.Put()), S_OK);
        EXPECT_EQ(current.Get(), profile.Get());
    }
    auto lossless = Load(kBuiltInProfiles[8].text);
    EXPECT_EQ(config_->ConfigureFilterUsingProfile(lossless.Get()), S_OK);

    std::string pro(kBuiltInProfiles[5].text); // a codec nothing here encodes
    pro.replace(pro.find("00000161-"), 9, "00000162-");
    pro.replace(pro.find("wFormatTag=\"353\""), 16, "wFormatTag=\"354\"");
    EXPECT_EQ(config_->ConfigureFilterUsingProfile(Load(pro).Get()), NS_E_INVALID_OUTPUT_FORMAT);
    ASSERT_EQ(config_->GetCurrentProfile(current.Put()), S_OK);
    EXPECT_EQ(current.Get(), lossless.Get()); // the previous configuration stays

    std::string surround(kBuiltInProfiles[5].text);
    surround.replace(surround.find("nChannels=\"2\""), 13, "nChannels=\"6\"");
    EXPECT_EQ(config_->ConfigureFilterUsingProfile(Load(surround).Get()),
              NS_E_INVALID_OUTPUT_FORMAT);
    EXPECT_EQ(config_->ConfigureFilterUsingProfile(nullptr), E_POINTER);
    EXPECT_EQ(config_->GetCurrentProfile(nullptr), E_POINTER);
}

TEST_F(WriterFilter, KeepsItsFileNameAndMode) {
    com::Ptr<IFileSinkFilter2> sink;
    ASSERT_EQ(filter_->QueryInterface(IID_IFileSinkFilter2, sink.PutVoid()), S_OK);
    LPOLESTR name = nullptr;
    EXPECT_EQ(sink->GetCurFile(&name, nullptr), E_FAIL);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(sink->SetFileName(u"/music/Ångström.wma", nullptr), S_OK);
    AM_MEDIA_TYPE type;
    std::memset(&type, 0xAB, sizeof(type));
    ASSERT_EQ(sink->GetCurFile(&name, &type), S_OK);
    EXPECT_EQ(std::u16string(name), u"/music/Ångström.wma");
    EXPECT_EQ(type.pbFormat, nullptr);
    CoTaskMemFree(name);
    EXPECT_EQ(sink->SetFileName(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(sink->SetFileName(u"", nullptr), E_INVALIDARG);
    const char16_t unpaired[] = {u'a', 0xD800, 0};
    EXPECT_EQ(sink->SetFileName(unpaired, nullptr), E_INVALIDARG);

    DWORD mode = 7;
    EXPECT_EQ(sink->GetMode(&mode), S_OK);
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(sink->SetMode(AM_FILE_OVERWRITE), S_OK);
    EXPECT_EQ(sink->GetMode(&mode), S_OK);
    EXPECT_EQ(mode, AM_FILE_OVERWRITE);
    EXPECT_EQ(sink->SetMode(2), E_INVALIDARG);
}

TEST_F(WriterFilter, TheHeaderInfoStoresTypedAttributes) {
    com::Ptr<IServiceProvider> provider;
    ASSERT_EQ(filter_->QueryInterface(IID_IServiceProvider, provider.PutVoid()), S_OK);
    void* object = nullptr;
    EXPECT_EQ(provider->QueryService(IID_IWMProfile, IID_IWMHeaderInfo, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    auto info = HeaderInfo();
    const std::u16string value = u"Ünïcødé";
    const auto* bytes = reinterpret_cast<const BYTE*>(value.c_str());
    const auto length = static_cast<WORD>(2 * value.size() + 2);
    EXPECT_EQ(info->SetAttribute(0, u"Title", WMT_TYPE_STRING, bytes, length), S_OK);
    const DWORD number = 42;
    EXPECT_EQ(
        info->SetAttribute(0, u"Count", WMT_TYPE_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
        S_OK);
    EXPECT_EQ(
        info->SetAttribute(0, u"Count", WMT_TYPE_DWORD, reinterpret_cast<const BYTE*>(&number), 3),
        E_INVALIDARG);
    const std::u16string later = u"Later";
    EXPECT_EQ(info->SetAttribute(0, u"Title", WMT_TYPE_STRING,
                                 reinterpret_cast<const BYTE*>(later.c_str()), 12),
              S_OK);

    // Each value of a name is an attribute of its own, in the order set.
    WORD count = 0;
    EXPECT_EQ(info->GetAttributeCount(0, &count), S_OK);
    EXPECT_EQ(count, 3);

    WORD stream = 0;
    WORD nameLength = 0;
    WORD valueLength = 0;
    WMT_ATTR_DATATYPE type{};
    ASSERT_EQ(
        info->GetAttributeByIndex(2, &stream, nullptr, &nameLength, &type, nullptr, &valueLength),
        S_OK);
    EXPECT_EQ(nameLength, 6);
    EXPECT_EQ(valueLength, 12);
    EXPECT_EQ(type, WMT_TYPE_STRING);
    WCHAR name[6];
    alignas(char16_t) BYTE data[12];
    WORD shortLength = 4;
    EXPECT_EQ(info->GetAttributeByIndex(2, &stream, name, &nameLength, &type, data, &shortLength),
              ASF_E_BUFFERTOOSMALL);
    ASSERT_EQ(info->GetAttributeByIndex(2, &stream, name, &nameLength, &type, data, &valueLength),
              S_OK);
    EXPECT_EQ(std::u16string(name), u"Title");
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data)), u"Later");
    EXPECT_EQ(info->GetAttributeByIndex(3, &stream, name, &nameLength, &type, data, &valueLength),
              E_INVALIDARG);

    DWORD read = 0;
    WORD readLength = 4;
    ASSERT_EQ(info->GetAttributeByName(&stream, u"Count", &type, reinterpret_cast<BYTE*>(&read),
                                       &readLength),
              S_OK);
    EXPECT_EQ(type, WMT_TYPE_DWORD);
    EXPECT_EQ(read, 42u);
    EXPECT_EQ(info->GetAttributeByName(&stream, u"Missing", &type, nullptr, &readLength),
              ASF_E_NOTFOUND);
    // A name answers with its first value, found under any spelling of it.
    alignas(char16_t) BYTE first[16];
    WORD firstLength = sizeof(first);
    ASSERT_EQ(info->GetAttributeByName(&stream, u"TITLE", &type, first, &firstLength), S_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(first)), value);

    // A second service object shares the same attributes.
    EXPECT_EQ(HeaderInfo()->GetAttributeCount(0, &count), S_OK);
    EXPECT_EQ(count, 3);
}

TEST_F(WriterFilter, RefusesToLeaveTheStoppedStateWithoutAFileName) {
    EXPECT_EQ(filter_->Pause(), NS_E_NOT_CONFIGURED);
    FILTER_STATE state{};
    EXPECT_EQ(filter_->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
}

} // namespace
