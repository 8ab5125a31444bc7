#include <gtest/gtest.h>

#include <cstring>

#include "test_filters.h"

namespace {

const GUID kFloatSubtype = AudioSubtypeFromTag(3);

// One output pin on a test filter, and a downstream input pin.
class PinConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        filter = new TestFilter;
        filter->AddRef();
        pin = new TestOutputPin(filter, u"Out");
        filter->AddPin(pin);
        NewPcmType(pcm, 2, 44100);
        WAVEFORMATEX format = PcmFormat(2, 44100);
        format.wFormatTag = 3;
        BuildAudioMediaType(&format, &floatType, true);
    }
    void TearDown() override {
        filter->Stop();
        pin->Disconnect();
        down.Disconnect(); // gives back the reference it holds on the pin
        EXPECT_EQ(filter->Release(), 0u);
        EXPECT_EQ(down.references_, 0u);
        EXPECT_EQ(down.allocator.references_, 0u);
        EXPECT_EQ(spare.references_, 0u);
        EXPECT_EQ(down.liveEnumerators, 0);
    }

    CMediaDescriptor pcm;
    CMediaDescriptor floatType;
    TestInputPin down;
    TestAllocator spare;
    TestFilter* filter = nullptr;
    TestOutputPin* pin = nullptr;
};

} // namespace

TEST_F(PinConnectionTest, OutputToOutputFailsOnDirectionAndHoldsNothing) {
    TestInputPin otherOutput(PINDIR_OUTPUT);
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->Propose(pcm);
    otherOutput.AddType(pcm);
    EXPECT_EQ(pin->Connect(&otherOutput, nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(pin->Connect(&otherOutput, &pcm), VFW_E_INVALID_DIRECTION);
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_EQ(pin->MemoryInput(), nullptr);
    EXPECT_EQ(pin->Allocator(), nullptr);
    EXPECT_EQ(otherOutput.references_, 0u);
    EXPECT_EQ(otherOutput.receiveConnections, 0);
    EXPECT_EQ(otherOutput.liveEnumerators, 0);
}

TEST_F(PinConnectionTest, NoAcceptableTypeAnywhereFails) {
    down.AddType(floatType);
    pin->Propose(floatType);
    pin->rejectWith = E_FAIL; // only "this type does not fit"
    EXPECT_EQ(pin->Connect(&down, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(pin->validations, 2); // the downstream list, then its own
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_EQ(down.references_, 0u);
}

TEST_F(PinConnectionTest, FullySpecifiedTypeIsTriedAloneWithoutAnyEnumerator) {
    pin->Accept(MEDIASUBTYPE_PCM);
    down.AddType(floatType);
    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    EXPECT_EQ(down.enumeratorsCreated, 0);
    EXPECT_TRUE(pin->IsConnected());
    EXPECT_TRUE(pin->ConnectionType().SameAs(pcm));
    EXPECT_EQ(down.connector, static_cast<IPin*>(pin));

    TestInputPin second;
    EXPECT_EQ(pin->Connect(&second, &pcm), VFW_E_ALREADY_CONNECTED);
}

TEST_F(PinConnectionTest, RejectedFullySpecifiedTypeIsNotAccepted) {
    pin->Accept(MEDIASUBTYPE_PCM);
    EXPECT_EQ(pin->Connect(&down, &floatType), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(down.enumeratorsCreated, 0);
    EXPECT_EQ(down.receiveConnections, 0);
}

TEST_F(PinConnectionTest, DownstreamPreferencesComeFirst) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->Accept(kFloatSubtype);
    down.AddType(floatType);
    pin->Propose(pcm);
    ASSERT_EQ(pin->Connect(&down, nullptr), S_OK);
    EXPECT_EQ(pin->ConnectionType().subtype, kFloatSubtype);
    EXPECT_EQ(down.enumeratorsCreated, 1);
}

TEST_F(PinConnectionTest, OwnListIsTriedWhenTheDownstreamOffersNothing) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->Propose(floatType);
    pin->Propose(pcm);
    down.offerTypes = false;
    ASSERT_EQ(pin->Connect(&down, nullptr), S_OK);
    EXPECT_EQ(pin->ConnectionType().subtype, MEDIASUBTYPE_PCM);
    ASSERT_EQ(down.offeredSubtypes.size(), 1u); // the float type never reached the peer
}

TEST_F(PinConnectionTest, PartialTypeFiltersTheCandidates) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->Accept(kFloatSubtype);
    down.AddType(floatType);
    down.AddType(pcm);
    CMediaDescriptor partial;
    partial.majortype = MEDIATYPE_Audio;
    partial.subtype = MEDIASUBTYPE_PCM;
    ASSERT_EQ(pin->Connect(&down, &partial), S_OK);
    EXPECT_EQ(pin->ConnectionType().subtype, MEDIASUBTYPE_PCM);
    EXPECT_EQ(pin->validations, 1);
}

TEST_F(PinConnectionTest, AnInformativeFailureIsReportedOverTypeMismatches) {
    pin->Accept(MEDIASUBTYPE_PCM);
    down.AddType(pcm);
    pin->Propose(pcm);
    down.receiveConnectionResult = E_OUTOFMEMORY;
    EXPECT_EQ(pin->Connect(&down, nullptr), E_OUTOFMEMORY);
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_EQ(pin->MemoryInput(), nullptr);
}

TEST_F(PinConnectionTest, FailedFinishTellsThePeerToDisconnect) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->finishResult = E_ABORT;
    EXPECT_EQ(pin->Connect(&down, &pcm), E_ABORT);
    EXPECT_EQ(down.disconnects, 1);
    EXPECT_EQ(down.connector, nullptr);
    EXPECT_FALSE(pin->IsConnected());
}

TEST_F(PinConnectionTest, PeerWithoutMemoryInputCannotBeConnected) {
    pin->Accept(MEDIASUBTYPE_PCM);
    down.offerMemoryInput = false;
    EXPECT_EQ(pin->Connect(&down, &pcm), E_NOINTERFACE);
    EXPECT_FALSE(pin->IsConnected());
}

TEST_F(PinConnectionTest, DownstreamAllocatorIsSizedWithItsRequirements) {
    pin->Accept(MEDIASUBTYPE_PCM);
    down.hasRequirements = true;
    down.requirements = {3, 100, 0, 8};
    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    EXPECT_EQ(pin->Allocator(), &down.allocator);
    EXPECT_EQ(down.notifiedAllocator, &down.allocator);
    EXPECT_EQ(pin->lastRequest.cBuffers, 3);
    EXPECT_EQ(pin->lastRequest.cbAlign, 1); // zero alignment becomes 1
    EXPECT_EQ(pin->lastRequest.cbPrefix, 8);
    EXPECT_EQ(down.allocator.requested.cbBuffer, 4096);
    EXPECT_EQ(pin->defaultAllocatorRequests, 0);
}

TEST_F(PinConnectionTest, FallsBackToTheDefaultAllocatorWhenDownstreamHasNone) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->defaultAllocator = &spare;
    down.offerAllocator = false;
    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    EXPECT_EQ(pin->Allocator(), &spare);
    EXPECT_EQ(down.notifiedAllocator, &spare);
    EXPECT_EQ(spare.references_, 1u);
}

TEST_F(PinConnectionTest, FallsBackWhenSizingTheDownstreamAllocatorFails) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->defaultAllocator = &spare;
    down.allocator.grantBufferSize = 16; // grants less than asked
    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    EXPECT_EQ(pin->Allocator(), &spare);
    EXPECT_EQ(down.allocator.references_, 0u);
}

TEST_F(PinConnectionTest, FallsBackWhenTheDownstreamRefusesItsOwnAllocator) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->defaultAllocator = &spare;
    down.refuseNotifyFor = &down.allocator;
    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    EXPECT_EQ(pin->Allocator(), &spare);
    ASSERT_EQ(pin->sizedWith.size(), 2u);
    EXPECT_EQ(pin->sizedWith[1], &spare);
}

TEST_F(PinConnectionTest, ConnectionFailsWhenNoAllocatorWorks) {
    pin->Accept(MEDIASUBTYPE_PCM);
    pin->defaultAllocator = &spare;
    pin->sizeFailsFor = &spare;
    down.offerAllocator = false;
    EXPECT_EQ(pin->Connect(&down, &pcm), E_FAIL);
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_EQ(down.disconnects, 1);
    EXPECT_EQ(spare.references_, 0u);
}

namespace {
TestAllocator* registeredAllocator = nullptr;
HRESULT CreateRegisteredAllocator(IUnknown*, REFIID iid, void** object) {
    return registeredAllocator->QueryInterface(iid, object);
}
} // namespace

TEST_F(PinConnectionTest, DefaultAllocatorComesFromTheClassRegistry) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    registeredAllocator = &spare;
    ASSERT_EQ(CoRegisterClassFunction(CLSID_MemoryAllocator, &CreateRegisteredAllocator), S_OK);
    pin->Accept(MEDIASUBTYPE_PCM);
    down.offerAllocator = false;
    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    EXPECT_EQ(pin->Allocator(), &spare);
    pin->Disconnect();
    CoRegisterClassFunction(CLSID_MemoryAllocator, nullptr);
    registeredAllocator = nullptr;
    CoUninitialize();
}

TEST_F(PinConnectionTest, DisconnectAnswersByState) {
    pin->Accept(MEDIASUBTYPE_PCM);
    EXPECT_EQ(pin->Disconnect(), S_FALSE); // stopped, unconnected

    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);
    TestInputPin other;
    EXPECT_EQ(pin->Connect(&other, &pcm), VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(filter->Stop(), S_OK);

    down.allocator.decommitResult = E_ACCESSDENIED; // the connection is kept
    EXPECT_EQ(pin->Disconnect(), E_ACCESSDENIED);
    EXPECT_TRUE(pin->IsConnected());
    down.allocator.decommitResult = S_OK;

    EXPECT_EQ(pin->Disconnect(), S_OK);
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_EQ(pin->Allocator(), nullptr);
    EXPECT_EQ(pin->MemoryInput(), nullptr);
    down.Disconnect();
    EXPECT_EQ(down.references_, 0u);
}

TEST_F(PinConnectionTest, DisconnectWhilePausedIsRefusedEvenUnconnected) {
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);
    pin->Accept(MEDIASUBTYPE_PCM);
    EXPECT_EQ(pin->Connect(&down, &pcm), VFW_E_NOT_STOPPED);
}

TEST_F(PinConnectionTest, ConnectionQueriesAnswerByConnection) {
    pin->Accept(MEDIASUBTYPE_PCM);
    AM_MEDIA_TYPE type;
    std::memset(&type, 0xAB, sizeof type);
    EXPECT_EQ(pin->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(type.majortype, GUID_NULL);
    EXPECT_EQ(type.bFixedSizeSamples, TRUE);
    EXPECT_EQ(type.lSampleSize, 1u);
    EXPECT_EQ(type.pbFormat, nullptr);
    IPin* peer = reinterpret_cast<IPin*>(0x1);
    EXPECT_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
    EXPECT_EQ(pin->ConnectionMediaType(nullptr), E_POINTER);
    EXPECT_EQ(pin->ConnectedTo(nullptr), E_POINTER);

    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    ASSERT_EQ(pin->ConnectionMediaType(&type), S_OK);
    EXPECT_TRUE(pcm.SameAs(type));
    FreeMediaRecord(type);
    ASSERT_EQ(pin->ConnectedTo(&peer), S_OK);
    EXPECT_EQ(peer, static_cast<IPin*>(&down));
    peer->Release();
}

TEST_F(PinConnectionTest, QueryAcceptTurnsRejectionsIntoFalse) {
    pin->Accept(MEDIASUBTYPE_PCM);
    EXPECT_EQ(pin->QueryAccept(&pcm), S_OK);
    pin->rejectWith = E_FAIL;
    EXPECT_EQ(pin->QueryAccept(&floatType), S_FALSE);
    pin->rejectWith = S_FALSE;
    EXPECT_EQ(pin->QueryAccept(&floatType), S_FALSE);
    EXPECT_EQ(pin->QueryAccept(nullptr), E_POINTER);
}

TEST_F(PinConnectionTest, PushingNeedsAConnection) {
    TestSample sample(&spare, 16);
    EXPECT_EQ(pin->PushSample(&sample), VFW_E_NOT_CONNECTED);
    IMediaSample* got = nullptr;
    EXPECT_EQ(pin->AcquireOutputSample(&got, nullptr, nullptr, 0), E_NOINTERFACE);
    EXPECT_EQ(pin->PushEndOfStream(), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(pin->PushBeginFlush(), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(pin->PushEndFlush(), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(pin->PushNewSegment(0, 1, 1.0), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(pin->CBaseOutputPin::OnActivate(), VFW_E_NO_ALLOCATOR);
    EXPECT_EQ(pin->CBaseOutputPin::OnDeactivate(), VFW_E_NO_ALLOCATOR);
}

TEST_F(PinConnectionTest, ConnectedPinPushesDownstream) {
    pin->Accept(MEDIASUBTYPE_PCM);
    ASSERT_EQ(pin->Connect(&down, &pcm), S_OK);
    ASSERT_EQ(pin->CBaseOutputPin::OnActivate(), S_OK);
    EXPECT_TRUE(down.allocator.committed());
    IMediaSample* sample = nullptr;
    ASSERT_EQ(pin->AcquireOutputSample(&sample, nullptr, nullptr, 0), S_OK);
    sample->SetActualDataLength(4);
    EXPECT_EQ(pin->PushSample(sample), S_OK);
    sample->Release();
    EXPECT_EQ(down.Received().size(), 1u);
    EXPECT_EQ(pin->PushEndOfStream(), S_OK);
    EXPECT_EQ(pin->PushBeginFlush(), S_OK);
    EXPECT_EQ(pin->PushEndFlush(), S_OK);
    EXPECT_EQ(pin->PushNewSegment(77, 99, 1.0), S_OK);
    EXPECT_EQ(down.endOfStreams, 1);
    EXPECT_EQ(down.beginFlushes, 1);
    EXPECT_EQ(down.endFlushes, 1);
    EXPECT_EQ(down.segmentStart, 77);
    ASSERT_EQ(pin->CBaseOutputPin::OnDeactivate(), S_OK);
    EXPECT_FALSE(down.allocator.committed());
}

TEST_F(PinConnectionTest, PinInformationAndIdentity) {
    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(filter));
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(std::u16string(info.achName), u"Out");
    info.pFilter->Release();
    PIN_DIRECTION direction = PINDIR_INPUT;
    ASSERT_EQ(pin->QueryDirection(&direction), S_OK);
    EXPECT_EQ(direction, PINDIR_OUTPUT);
    LPWSTR id = nullptr;
    ASSERT_EQ(pin->QueryId(&id), S_OK);
    EXPECT_EQ(std::u16string(id), u"Out");
    CoTaskMemFree(id);
    EXPECT_EQ(pin->QueryId(nullptr), E_POINTER);

    // A pin's references are its filter's.
    EXPECT_EQ(pin->AddRef(), 2u);
    EXPECT_EQ(pin->Release(), 1u);
    void* found = nullptr;
    ASSERT_EQ(pin->QueryInterface(IID_IQualityControl, &found), S_OK);
    auto* quality = static_cast<IQualityControl*>(found);
    EXPECT_EQ(quality->SetSink(quality), S_OK);
    EXPECT_EQ(pin->QualitySink(), quality);
    EXPECT_EQ(quality->Notify(filter, Quality{}), E_NOTIMPL);
    quality->Release();
    EXPECT_EQ(pin->QueryInterface(IID_IBaseFilter, &found), E_NOINTERFACE);
}

TEST_F(PinConnectionTest, AnOutputPinReceivesNoStreamEvents) {
    EXPECT_EQ(pin->EndOfStream(), E_UNEXPECTED);
    EXPECT_EQ(pin->BeginFlush(), E_UNEXPECTED);
    EXPECT_EQ(pin->EndFlush(), E_UNEXPECTED);
    EXPECT_EQ(pin->NewSegment(5, 6, 0.5), S_OK);
    EXPECT_EQ(pin->SegmentStart(), 5);
    EXPECT_EQ(pin->SegmentStop(), 6);
    EXPECT_EQ(pin->SegmentRate(), 0.5);
    EXPECT_EQ(pin->QueryInternalConnections(nullptr, nullptr), E_NOTIMPL);
}

TEST_F(PinConnectionTest, ReceivingSideChecksAndRollsBack) {
    TestInputPin upstream(PINDIR_INPUT); // an input pin connecting to an output pin
    pin->Accept(MEDIASUBTYPE_PCM);
    EXPECT_EQ(pin->ReceiveConnection(nullptr, &pcm), E_POINTER);
    EXPECT_EQ(pin->ReceiveConnection(&upstream, nullptr), E_POINTER);
    EXPECT_EQ(pin->ReceiveConnection(&upstream, &floatType), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(pin->MemoryInput(), nullptr);
    ASSERT_EQ(pin->ReceiveConnection(&upstream, &pcm), S_OK);
    EXPECT_TRUE(pin->IsConnected());
    EXPECT_EQ(pin->ReceiveConnection(&upstream, &pcm), VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(pin->Disconnect(), S_OK);
    EXPECT_EQ(upstream.references_, 0u);

    TestInputPin sameDirection(PINDIR_OUTPUT);
    EXPECT_EQ(pin->ReceiveConnection(&sameDirection, &pcm), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(sameDirection.references_, 0u);
}
