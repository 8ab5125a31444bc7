// The "WM Asf Writer" filter in a real graph of the platform: configured like
// the encoder configures it, fed by a small PCM source, read back afterwards.
#include "built_in_profiles.h"
#include "core/com_ptr.h"
#include "decoded_audio.h"
#include "pcm_test_source.h"
#include "scoped_environment.h"
#include "test_files.h"

#include "platform/wmsdk.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

namespace {

using namespace writer_test;

constexpr LONG kWaitMs = 30000;

class ComApartment {
public:
    ComApartment() { CoInitialize(nullptr); }
    ~ComApartment() { CoUninitialize(); }
};

com::Ptr<IWMProfile> BuiltInProfile(int preset) {
    com::Ptr<IWMProfileManager> manager;
    EXPECT_EQ(WMCreateProfileManager(manager.Put()), S_OK);
    const auto& text = kBuiltInProfiles[static_cast<std::size_t>(preset)].text;
    const std::u16string wide(text.begin(), text.end());
    com::Ptr<IWMProfile> profile;
    EXPECT_EQ(manager->LoadProfileByData(wide.c_str(), profile.Put()), S_OK);
    return profile;
}

template <class T> com::Ptr<T> Query(IUnknown* object, REFIID iid) {
    com::Ptr<T> result;
    EXPECT_EQ(object->QueryInterface(iid, result.PutVoid()), S_OK);
    return result;
}

com::Ptr<IBaseFilter> CreateWriter() {
    com::Ptr<IBaseFilter> writer;
    EXPECT_EQ(CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               writer.PutVoid()),
              S_OK);
    return writer;
}

com::Ptr<IPin> InputPin(IBaseFilter* filter) {
    com::Ptr<IEnumPins> pins;
    EXPECT_EQ(filter->EnumPins(pins.Put()), S_OK);
    com::Ptr<IPin> pin;
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(1, pin.Put(), &fetched), S_OK);
    PIN_DIRECTION direction{};
    EXPECT_EQ(pin->QueryDirection(&direction), S_OK);
    EXPECT_EQ(direction, PINDIR_INPUT);
    com::Ptr<IPin> more;
    EXPECT_EQ(pins->Next(1, more.Put(), &fetched), S_FALSE); // one pin only
    return pin;
}

com::Ptr<IWMHeaderInfo> HeaderInfo(IBaseFilter* writer) {
    auto provider = Query<IServiceProvider>(writer, IID_IServiceProvider);
    com::Ptr<IWMWriterAdvanced2> advanced;
    EXPECT_EQ(
        provider->QueryService(IID_IWMWriterAdvanced2, IID_IWMWriterAdvanced2, advanced.PutVoid()),
        S_OK);
    return Query<IWMHeaderInfo>(advanced.Get(), IID_IWMHeaderInfo);
}

HRESULT SetString(IWMHeaderInfo* info, const char16_t* name, std::u16string_view value) {
    std::u16string text(value);
    return info->SetAttribute(0, name, WMT_TYPE_STRING, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<WORD>(2 * text.size() + 2));
}

PcmPlan Plan(int rate, int channels, double seconds) {
    PcmPlan plan;
    plan.format = {WAVE_FORMAT_PCM,
                   static_cast<WORD>(channels),
                   static_cast<DWORD>(rate),
                   static_cast<DWORD>(rate * channels * 2),
                   static_cast<WORD>(channels * 2),
                   16,
                   0};
    plan.pcm = Tone(rate, channels, seconds);
    return plan;
}

// The two-filter graph the encoder builds, in the same order of calls.
struct WriterGraph {
    com::Ptr<IGraphBuilder> graph;
    com::Ptr<IBaseFilter> writer;
    com::Ptr<IBaseFilter> source;
    PcmTestSource* sourceFilter = nullptr;
    com::Ptr<IMediaControl> control;
    com::Ptr<IMediaEventEx> events;

    HRESULT Build(IWMProfile* profile, const std::string& path, PcmPlan plan) {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IGraphBuilder, graph.PutVoid());
        if (FAILED(hr)) {
            return hr;
        }
        sourceFilter = PcmTestSource::Create(std::move(plan));
        source = com::Ptr<IBaseFilter>::Adopt(sourceFilter);
        EXPECT_EQ(graph->AddFilter(source.Get(), u"Source"), S_OK);
        writer = CreateWriter();
        EXPECT_EQ(graph->AddFilter(writer.Get(), u"WM Asf Writer"), S_OK);
        if (profile != nullptr) {
            hr = Query<IConfigAsfWriter>(writer.Get(), IID_IConfigAsfWriter)
                     ->ConfigureFilterUsingProfile(profile);
            if (FAILED(hr)) {
                return hr;
            }
        }
        auto sink = Query<IFileSinkFilter2>(writer.Get(), IID_IFileSinkFilter2);
        const std::u16string name(path.begin(), path.end());
        EXPECT_EQ(sink->SetFileName(name.c_str(), nullptr), S_OK);
        EXPECT_EQ(sink->SetMode(AM_FILE_OVERWRITE), S_OK);
        hr = graph->Connect(sourceFilter->Output(), InputPin(writer.Get()).Get());
        if (FAILED(hr)) {
            return hr;
        }
        control = Query<IMediaControl>(graph.Get(), IID_IMediaControl);
        events = Query<IMediaEventEx>(graph.Get(), IID_IMediaEventEx);
        return S_OK;
    }

    // The completion code, and the first parameter of the abort event if any.
    LONG RunToCompletion(HRESULT* abortCode = nullptr) {
        EXPECT_EQ(control->Run(), S_OK);
        LONG code = 0;
        EXPECT_EQ(events->WaitForCompletion(kWaitMs, &code), S_OK);
        if (abortCode != nullptr) {
            *abortCode = S_OK;
            LONG event = 0;
            LONG_PTR param1 = 0, param2 = 0;
            while (events->GetEvent(&event, &param1, &param2, 0) == S_OK) {
                if (event == EC_ERRORABORT && *abortCode == S_OK) {
                    *abortCode = static_cast<HRESULT>(param1);
                }
                events->FreeEventParams(event, param1, param2);
            }
        }
        EXPECT_EQ(control->Stop(), S_OK);
        return code;
    }

    ~WriterGraph() {
        if (control) {
            control->Stop();
        }
    }
};

// Each graph test runs on a COM thread and writes into a folder of its own.
class WriterFilterGraph : public ::testing::Test {
protected:
    ComApartment com;
    TemporaryFolder folder;
};

TEST_F(WriterFilterGraph, EachAcceptedProfileEncodesStereo44100AndMono48000) {
    for (int preset = 0; preset < 9; ++preset) {
        const bool lossless = preset == 8;
        for (const auto& [rate, channels] : {std::pair{44100, 2}, std::pair{48000, 1}}) {
            SCOPED_TRACE(testing::Message() << "preset " << preset << " rate " << rate);
            const auto path = folder.File("track.wma");
            WriterGraph graph;
            ASSERT_EQ(graph.Build(BuiltInProfile(preset).Get(), path, Plan(rate, channels, 10.0)),
                      S_OK);
            ASSERT_EQ(graph.RunToCompletion(), EC_COMPLETE);
            const auto audio = DecodeFile(path);
            ASSERT_TRUE(audio.opened);
            EXPECT_EQ(audio.decodeErrors, 0);
            EXPECT_EQ(folder.Entries(), std::vector<std::string>{"track.wma"});
            if (lossless) {
                // Lossless keeps the input as it is, every sample of it.
                EXPECT_TRUE(Decoded(audio, "wmalossless", rate, channels, rate * 10));
                continue;
            }
            // Less than two codec frames more: the decoder's final flush and its padding.
            EXPECT_TRUE(Decoded(audio, "wmav2", 44100, 2, 441000, 2 * 2048 - 1));
            EXPECT_EQ(audio.bitRate, kBuiltInProfiles[static_cast<std::size_t>(preset)].bitrate);
        }
    }
}

TEST_F(WriterFilterGraph, WithoutAProfileTheDefaultConfigurationIsUsed) {
    const auto path = folder.File("default.wma");
    WriterGraph graph;
    ASSERT_EQ(graph.Build(nullptr, path, Plan(22050, 1, 3.0)), S_OK);
    ASSERT_EQ(graph.RunToCompletion(), EC_COMPLETE);
    const auto audio = DecodeFile(path);
    EXPECT_TRUE(Decoded(audio, "wmav2", 44100, 2, 132300, 2 * 2048 - 1));
    EXPECT_EQ(audio.bitRate, 128000);
}

TEST_F(WriterFilterGraph, AttributesSetBeforeRunReachTheHeader) {
    const auto path = folder.File("tagged.wma");
    WriterGraph graph;
    ASSERT_EQ(graph.Build(BuiltInProfile(5).Get(), path, Plan(44100, 2, 1.0)), S_OK);
    auto info = HeaderInfo(graph.writer.Get());
    ASSERT_EQ(SetString(info.Get(), u"Author", u"Ünïcødé ☃"), S_OK);
    ASSERT_EQ(SetString(info.Get(), u"WM/Year", u"1999"), S_OK);
    ASSERT_EQ(SetString(info.Get(), u"WM/Year", u"2001"), S_OK);
    ASSERT_EQ(SetString(info.Get(), u"title", u"A title"), S_OK);
    ASSERT_EQ(graph.RunToCompletion(), EC_COMPLETE);

    const auto [status, output, errors] =
        RunCommand("/usr/bin/python3 " WRITER_TEST_SCRIPTS "/read_asf_tags.py " + ShellQuote(path));
    ASSERT_EQ(status, 0) << errors;
    EXPECT_NE(output.find("Author\tASFUnicodeAttribute\tÜnïcødé ☃\n"), std::string::npos) << output;
    EXPECT_NE(output.find("WM/Year\tASFUnicodeAttribute\t1999\n"), std::string::npos) << output;
    EXPECT_NE(output.find("WM/Year\tASFUnicodeAttribute\t2001\n"), std::string::npos) << output;
    EXPECT_LT(output.find("1999"), output.find("2001")) << "every value, in the order set";
    EXPECT_NE(output.find("Title\tASFUnicodeAttribute\tA title\n"), std::string::npos) << output;
}

TEST_F(WriterFilterGraph, AFileThatCannotBeCreatedAbortsWithItsCode) {
    WriterGraph graph;
    ASSERT_EQ(
        graph.Build(BuiltInProfile(5).Get(), folder.File("missing/x.wma"), Plan(44100, 2, 1.0)),
        S_OK);
    HRESULT abortCode = S_OK;
    EXPECT_EQ(graph.RunToCompletion(&abortCode), EC_ERRORABORT);
    EXPECT_EQ(abortCode, NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(graph.sourceFilter->ReceiveFailure(), NS_E_FILE_OPEN_FAILED);
    EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(WriterFilterGraph, AFullDiskAbortsAndKeepsTheOlderFile) {
    const auto path = folder.File("full/song.wma");
    std::filesystem::create_directory(folder.File("full"));
    if (mount("tmpfs", folder.File("full").c_str(), "tmpfs", 0, "size=96k") != 0) {
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{folder.File("full")};
    WriteWholeFile(path, "older");
    {
        WriterGraph graph;
        ASSERT_EQ(graph.Build(BuiltInProfile(7).Get(), path, Plan(44100, 2, 10.0)), S_OK);
        HRESULT abortCode = S_OK;
        EXPECT_EQ(graph.RunToCompletion(&abortCode), EC_ERRORABORT);
        EXPECT_EQ(abortCode, NS_E_FILE_WRITE);
        EXPECT_EQ(graph.sourceFilter->ReceiveFailure(), NS_E_FILE_WRITE);
    }
    EXPECT_EQ(ReadFile(path), "older");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("full")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(WriterFilterGraph, StoppingBeforeTheEndAbandonsTheFile) {
    const auto path = folder.File("song.wma");
    WriteWholeFile(path, "older");
    WriterGraph graph;
    auto plan = Plan(44100, 2, 2.0);
    plan.holdEnd = true;
    ASSERT_EQ(graph.Build(BuiltInProfile(5).Get(), path, std::move(plan)), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_TRUE(graph.sourceFilter->WaitUntilDelivered(kWaitMs));
    EXPECT_EQ(folder.Entries().size(), 2u); // the older file and the one being written
    ASSERT_EQ(graph.control->Stop(), S_OK);
    EXPECT_EQ(ReadFile(path), "older");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"song.wma"});
}

TEST_F(WriterFilterGraph, TheGraphCanRunAgainIntoTheSameFile) {
    // A fixed creation date, so that the same input gives the same bytes.
    test_support::ScopedEnvironment fixedDate("SOURCE_DATE_EPOCH", "1600000000");
    const auto path = folder.File("again.wma");
    WriterGraph graph;
    ASSERT_EQ(graph.Build(BuiltInProfile(2).Get(), path, Plan(44100, 2, 1.0)), S_OK);
    ASSERT_EQ(graph.RunToCompletion(), EC_COMPLETE);
    const auto first = ReadFile(path);
    ASSERT_EQ(graph.RunToCompletion(), EC_COMPLETE);
    EXPECT_EQ(ReadFile(path), first);
}

} // namespace
