// The filter and input pin bases, driven directly without a graph.
#include "test_filters.h"

#include <gtest/gtest.h>

#include <string>

namespace media_test {
namespace {

class InputPinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        renderer_ = TestRenderer::Create();
        ASSERT_EQ(S_OK, renderer_->Input()->QueryInterface(IID_IMemInputPin,
                                                           reinterpret_cast<void**>(&input_)));
    }
    void TearDown() override {
        renderer_->Stop();
        input_->Release();
        renderer_->Release();
        if (source_ != nullptr)
            source_->Release();
        EXPECT_EQ(0, LiveTestFilters());
        CoUninitialize();
    }
    void Connect() {
        source_ = TestSource::Create(SourcePlan{});
        ASSERT_EQ(S_OK, source_->Output()->Connect(renderer_->Input(), nullptr));
    }
    void Disconnect() {
        if (source_ == nullptr)
            return;
        source_->Output()->Disconnect();
        renderer_->Input()->Disconnect();
    }
    // A sample of the connection's allocator.
    IMediaSample* Sample() {
        IMemAllocator* allocator = nullptr;
        EXPECT_EQ(S_OK, input_->GetAllocator(&allocator));
        allocator->Commit();
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT));
        allocator->Release();
        return sample;
    }

    TestRenderer* renderer_ = nullptr;
    TestSource* source_ = nullptr;
    IMemInputPin* input_ = nullptr;
};

TEST_F(InputPinTest, DescribesItself) {
    IPin* pin = renderer_->Input();
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    EXPECT_EQ(S_OK, pin->QueryDirection(&direction));
    EXPECT_EQ(PINDIR_INPUT, direction);
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, pin->QueryId(&id));
    EXPECT_EQ(std::u16string(u"In"), id);
    CoTaskMemFree(id);
    PIN_INFO info{};
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    EXPECT_EQ(static_cast<IBaseFilter*>(renderer_), info.pFilter);
    EXPECT_EQ(std::u16string(u"In"), info.achName);
    info.pFilter->Release();

    IPin* found = nullptr;
    ASSERT_EQ(S_OK, renderer_->FindPin(u"In", &found));
    EXPECT_EQ(pin, found);
    found->Release();
    EXPECT_EQ(VFW_E_NOT_FOUND, renderer_->FindPin(u"Out", &found));
    EXPECT_EQ(nullptr, found);

    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(S_OK, pin->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 7;
    EXPECT_EQ(S_FALSE, types->Next(1, &type, &fetched));
    EXPECT_EQ(0u, fetched);
    types->Release();

    ALLOCATOR_PROPERTIES props{};
    EXPECT_EQ(E_NOTIMPL, input_->GetAllocatorRequirements(&props));
}

TEST_F(InputPinTest, AcceptsOnlyTypesTheHookAccepts) {
    AM_MEDIA_TYPE pcm = MakePcmType();
    AM_MEDIA_TYPE other = MakePcmType();
    other.subtype = AudioSubtypeFromTag(WAVE_FORMAT_WMAUDIO2);
    EXPECT_EQ(S_OK, renderer_->Input()->QueryAccept(&pcm));
    EXPECT_EQ(S_FALSE, renderer_->Input()->QueryAccept(&other));

    source_ = TestSource::Create(SourcePlan{});
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED,
              renderer_->Input()->ReceiveConnection(source_->Output(), &other));
    AM_MEDIA_TYPE seen{};
    EXPECT_EQ(VFW_E_NOT_CONNECTED, renderer_->Input()->ConnectionMediaType(&seen));
    EXPECT_TRUE(seen.majortype == GUID_NULL);
    EXPECT_EQ(nullptr, seen.pbFormat);

    ASSERT_EQ(S_OK, source_->Output()->Connect(renderer_->Input(), &pcm));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED,
              renderer_->Input()->ReceiveConnection(source_->Output(), &pcm));
    ASSERT_EQ(S_OK, renderer_->Input()->ConnectionMediaType(&seen));
    EXPECT_TRUE(seen.subtype == MEDIASUBTYPE_PCM);
    ASSERT_EQ(pcm.cbFormat, seen.cbFormat);
    EXPECT_EQ(0, std::memcmp(pcm.pbFormat, seen.pbFormat, pcm.cbFormat));
    EXPECT_NE(pcm.pbFormat, seen.pbFormat);
    media::FreeMediaTypeContents(&seen);
    media::FreeMediaTypeContents(&pcm);
    media::FreeMediaTypeContents(&other);
    Disconnect();
}

TEST_F(InputPinTest, ConnectionChangesOnlyWhileStopped) {
    Connect();
    ASSERT_EQ(S_OK, renderer_->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, renderer_->Input()->Disconnect());
    ASSERT_EQ(S_OK, renderer_->Stop());
    EXPECT_EQ(S_OK, renderer_->Input()->Disconnect());
    EXPECT_EQ(S_FALSE, renderer_->Input()->Disconnect());
    source_->Output()->Disconnect();

    ASSERT_EQ(S_OK, renderer_->Pause());
    AM_MEDIA_TYPE pcm = MakePcmType();
    EXPECT_EQ(VFW_E_NOT_STOPPED, renderer_->Input()->ReceiveConnection(source_->Output(), &pcm));
    media::FreeMediaTypeContents(&pcm);
}

TEST_F(InputPinTest, OffersOneAllocatorPerConnection) {
    IMemAllocator* first = nullptr;
    IMemAllocator* again = nullptr;
    ASSERT_EQ(S_OK, input_->GetAllocator(&first));
    ASSERT_EQ(S_OK, input_->GetAllocator(&again));
    EXPECT_EQ(first, again);
    again->Release();
    first->Release();
    Connect();
    IMemAllocator* connected = nullptr;
    ASSERT_EQ(S_OK, input_->GetAllocator(&connected));
    ALLOCATOR_PROPERTIES props{};
    connected->GetProperties(&props);
    EXPECT_EQ(2, props.cBuffers) << "the source sized the offered allocator";
    connected->Release();
    Disconnect();
}

TEST_F(InputPinTest, ReceiveFollowsStateFlushingAndEndOfStream) {
    Connect();
    IMediaSample* sample = Sample();
    ASSERT_NE(nullptr, sample);
    EXPECT_EQ(VFW_E_WRONG_STATE, input_->Receive(sample));
    EXPECT_EQ(VFW_E_WRONG_STATE, renderer_->Input()->EndOfStream());

    ASSERT_EQ(S_OK, renderer_->Pause());
    EXPECT_EQ(S_OK, input_->Receive(sample));
    EXPECT_EQ(1, renderer_->SamplesReceived());

    EXPECT_EQ(S_OK, renderer_->Input()->BeginFlush());
    EXPECT_EQ(S_FALSE, input_->Receive(sample));
    EXPECT_EQ(S_OK, renderer_->Input()->EndFlush());
    LONG processed = 0;
    IMediaSample* batch[2] = {sample, sample};
    EXPECT_EQ(S_OK, input_->ReceiveMultiple(batch, 2, &processed));
    EXPECT_EQ(2, processed);

    EXPECT_EQ(S_OK, renderer_->Input()->EndOfStream());
    EXPECT_EQ(1, renderer_->EndOfStreams());
    EXPECT_EQ(VFW_E_SAMPLE_REJECTED_EOS, input_->Receive(sample));
    EXPECT_EQ(3, renderer_->SamplesReceived());

    EXPECT_EQ(S_OK, renderer_->Input()->NewSegment(10, 20, 2.0));
    // Stopping decommits the connection's allocator.
    ASSERT_EQ(S_OK, renderer_->Stop());
    IMemAllocator* allocator = nullptr;
    ASSERT_EQ(S_OK, input_->GetAllocator(&allocator));
    IMediaSample* none = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, allocator->GetBuffer(&none, nullptr, nullptr, 0));
    allocator->Release();
    sample->Release();

    // A new pause accepts a new stream.
    Sample()->Release();
    ASSERT_EQ(S_OK, renderer_->Pause());
    sample = Sample();
    EXPECT_EQ(S_OK, input_->Receive(sample));
    sample->Release();
    ASSERT_EQ(S_OK, renderer_->Stop());
    Disconnect();
}

TEST_F(InputPinTest, FilterStateClockAndMembership) {
    FILTER_STATE state = State_Running;
    EXPECT_EQ(S_OK, renderer_->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(S_OK, renderer_->Stop());
    EXPECT_EQ(0, renderer_->Stops()) << "stopping a stopped filter does nothing";

    ASSERT_EQ(S_OK, renderer_->Run(1234));
    EXPECT_EQ(S_OK, renderer_->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(1234, renderer_->RunStart());
    ASSERT_EQ(S_OK, renderer_->Pause());
    EXPECT_EQ(S_OK, renderer_->GetState(0, &state));
    EXPECT_EQ(State_Paused, state);
    ASSERT_EQ(S_OK, renderer_->Stop());
    EXPECT_EQ(1, renderer_->Stops());

    REFERENCE_TIME now = 0;
    EXPECT_EQ(VFW_E_NO_CLOCK, renderer_->StreamTime(&now));

    IEnumPins* pins = nullptr;
    ASSERT_EQ(S_OK, renderer_->EnumPins(&pins));
    IPin* pin = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, pins->Next(1, &pin, &fetched));
    EXPECT_EQ(renderer_->Input(), pin);
    pin->Release();
    EXPECT_EQ(S_FALSE, pins->Next(1, &pin, &fetched));
    pins->Release();

    CLSID classId{};
    EXPECT_EQ(S_OK, renderer_->GetClassID(&classId));
    EXPECT_FALSE(classId == GUID_NULL);
    IUnknown* setup = nullptr;
    EXPECT_EQ(E_NOINTERFACE,
              renderer_->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)));
    LPWSTR vendor = nullptr;
    EXPECT_EQ(E_NOTIMPL, renderer_->QueryVendorInfo(&vendor));
}

} // namespace
} // namespace media_test
