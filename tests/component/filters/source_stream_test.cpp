#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bounded_wait.h"
#include "test_stream.h"

namespace {

using test_support::Watched;

class SourceStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        liveBefore = CBaseObject::LiveObjectCount();
        source = new CSource("TestSource", nullptr, kTestSourceClass);
        source->AddRef();
        HRESULT hr = E_FAIL;
        stream = new TestStream(&hr, source, u"Out");
        ASSERT_EQ(hr, S_OK);
        ASSERT_EQ(source->JoinFilterGraph(&graph, u"Source"), S_OK);
        WAVEFORMATEX format = PcmFormat(2, 44100);
        BuildAudioMediaType(&format, &pcm, true);
        down.AddType(pcm);
    }
    void TearDown() override {
        if (source != nullptr) {
            EXPECT_EQ(Watched([this] { return source->Stop(); }).Wait(), S_OK);
            stream->Disconnect();
            down.Disconnect();
            down.ReleaseHeldSamples();
            EXPECT_EQ(source->Release(), 0u);
        }
        EXPECT_EQ(CBaseObject::LiveObjectCount(), liveBefore);
        EXPECT_EQ(down.references_, 0u);
        EXPECT_EQ(down.allocator.references_, 0u);
    }
    void Connect() { ASSERT_EQ(stream->Connect(&down, nullptr), S_OK); }
    HRESULT StopWatched() {
        return Watched([this] { return source->Stop(); }).Wait();
    }
    // Runs until the worker is inside a fill that waits for the gate.
    void RunWithTheWorkerInsideAFill() {
        stream->useGate = true;
        Connect();
        ASSERT_EQ(source->Run(0), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return stream->inside.load(); }));
    }

    LONG liveBefore = 0;
    CMediaDescriptor pcm;
    TestInputPin down;
    TestGraph graph;
    CSource* source = nullptr;
    TestStream* stream = nullptr;
};

} // namespace

TEST_F(SourceStreamTest, PausingAnUnconnectedStreamStartsNoWorker) {
    ASSERT_EQ(source->Pause(), S_OK);
    EXPECT_FALSE(stream->HasWorker());
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_EQ(stream->starts, 0);
}

TEST_F(SourceStreamTest, ConnectsWithItsSingleTypeAndItsBufferSize) {
    Connect();
    EXPECT_TRUE(stream->ConnectionType().SameAs(pcm));
    EXPECT_EQ(down.allocator.requested.cBuffers, 2);
    EXPECT_EQ(down.allocator.requested.cbBuffer, 64);
}

TEST_F(SourceStreamTest, DeliversSamplesThenEndOfStreamOnce) {
    stream->endAt = 6;
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    EXPECT_TRUE(stream->HasWorker());
    ASSERT_TRUE(WaitUntil([&] { return down.endOfStreams.load() == 1; }));
    ASSERT_EQ(source->Run(0), S_OK);
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_FALSE(stream->HasWorker());

    std::vector<ReceivedSample> received = down.Received();
    ASSERT_EQ(received.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        int number = 0;
        std::memcpy(&number, received[i].bytes.data(), sizeof number);
        EXPECT_EQ(number, i + 1);
        EXPECT_EQ(received[i].start, (i + 1) * 10);
    }
    EXPECT_EQ(down.endOfStreams, 1);
    EXPECT_TRUE(graph.sink.Events().empty());
    EXPECT_EQ(stream->starts, 1);
    EXPECT_EQ(stream->exits, 1);
    EXPECT_EQ(down.allocator.commits, 1);
    EXPECT_FALSE(down.allocator.committed());
}

TEST_F(SourceStreamTest, DataEndingAtOnceSendsOnlyEndOfStream) {
    stream->endAt = 1;
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.endOfStreams.load() == 1; }));
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_EQ(down.receiveCount, 0);
    EXPECT_EQ(down.endOfStreams, 1);
    EXPECT_EQ(stream->fills, 1);
}

TEST_F(SourceStreamTest, FailingFillAbortsWithItsCodeAndSendsNoEndOfStream) {
    stream->failAt = 3;
    stream->failCode = E_ACCESSDENIED;
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !graph.sink.Events().empty(); }));
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_EQ(down.receiveCount, 2);
    EXPECT_EQ(down.endOfStreams, 0);
    std::vector<GraphEvent> events = graph.sink.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EC_ERRORABORT);
    EXPECT_EQ(events[0].param1, E_ACCESSDENIED);
    EXPECT_EQ(events[0].param2, 0);
}

TEST_F(SourceStreamTest, OtherSuccessCodeFromFillAlsoAborts) {
    stream->failAt = 1;
    stream->failCode = 2;
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !graph.sink.Events().empty(); }));
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_EQ(graph.sink.Events()[0].param1, 2);
    EXPECT_EQ(down.endOfStreams, 0);
}

TEST_F(SourceStreamTest, RefusedDeliveryStopsPushingQuietly) {
    down.receiveResult = S_FALSE;
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() == 1; }));
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_EQ(stream->fills, 1);
    EXPECT_EQ(down.endOfStreams, 0);
    EXPECT_TRUE(graph.sink.Events().empty());
}

TEST_F(SourceStreamTest, StreamSentTwiceWhilePushingDoesNotRestartTheLoop) {
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() >= 3; }));
    EXPECT_EQ(stream->StartStreaming(), S_OK);
    EXPECT_EQ(stream->StartStreaming(), S_OK);
    EXPECT_EQ(stream->streamBegins, 1);
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_EQ(down.endOfStreams, 0); // halting sends no end of stream
    EXPECT_EQ(stream->exits, 1);
}

TEST_F(SourceStreamTest, StopWhileTheWorkerWaitsForABuffer) {
    stream->buffers = 1;
    down.holdSamples = true; // the only buffer stays downstream
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.allocator.waiting.load() == 1; }));
    EXPECT_EQ(down.receiveCount, 1);
    EXPECT_EQ(StopWatched(), S_OK);
    EXPECT_FALSE(stream->HasWorker());
    EXPECT_EQ(down.receiveCount, 1);
}

TEST_F(SourceStreamTest, StopWhileTheWorkerIsInsideASlowFill) {
    RunWithTheWorkerInsideAFill();
    Watched stopping([this] { return source->Stop(); });
    // The stop has decommitted and now waits, holding the state lock, for
    // the worker to come out of the fill.
    ASSERT_TRUE(WaitUntil([&] { return down.allocator.decommits.load() == 1; }));
    EXPECT_FALSE(stopping.Done());
    stream->OpenGate();
    EXPECT_EQ(stopping.Wait(), S_OK);
    EXPECT_FALSE(stream->HasWorker());
    FILTER_STATE state = State_Running;
    source->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
}

TEST_F(SourceStreamTest, QueriesAnswerWhileAStopHoldsTheStateLock) {
    RunWithTheWorkerInsideAFill();
    Watched stopping([this] { return source->Stop(); });
    ASSERT_TRUE(WaitUntil([&] { return down.allocator.decommits.load() == 1; }));
    ASSERT_FALSE(stopping.Done());

    // The stop holds the state lock until the worker leaves its fill; these
    // queries read without it and must not wait for the stop.
    Watched queries([this] {
        IPin* peer = nullptr;
        if (stream->ConnectedTo(&peer) != S_OK || peer != static_cast<IPin*>(&down)) {
            return E_FAIL;
        }
        peer->Release();
        PIN_INFO pinInfo{};
        if (stream->QueryPinInfo(&pinInfo) != S_OK) {
            return E_FAIL;
        }
        pinInfo.pFilter->Release();
        PIN_DIRECTION direction = PINDIR_INPUT;
        FILTER_STATE state = State_Stopped;
        FILTER_INFO filterInfo{};
        if (stream->QueryDirection(&direction) != S_OK || source->GetState(0, &state) != S_OK ||
            source->QueryFilterInfo(&filterInfo) != S_OK) {
            return E_FAIL;
        }
        filterInfo.pGraph->Release();
        return state == State_Running ? S_OK : S_FALSE;
    });
    EXPECT_EQ(queries.Wait(), S_OK);
    stream->OpenGate();
    EXPECT_EQ(stopping.Wait(), S_OK);
}

TEST_F(SourceStreamTest, RepeatedStartAndStopNeverHangs) {
    Connect();
    for (int round = 0; round < 20; ++round) {
        const int before = down.receiveCount;
        ASSERT_EQ(round % 2 == 0 ? source->Pause() : source->Run(0), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() > before; }));
        ASSERT_EQ(StopWatched(), S_OK);
        ASSERT_FALSE(stream->HasWorker());
    }
    EXPECT_EQ(stream->starts, 20);
    EXPECT_EQ(stream->exits, 20);
}

TEST_F(SourceStreamTest, FailedWorkerStartLeavesTheFilterStoppedAndRecoverable) {
    stream->workerStartResult = E_ABORT;
    Connect();
    EXPECT_EQ(source->Pause(), E_ABORT);
    FILTER_STATE state = State_Running;
    source->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_FALSE(stream->HasWorker());
    EXPECT_FALSE(down.allocator.committed());
    EXPECT_EQ(stream->exits, 1);

    stream->workerStartResult = S_OK;
    stream->endAt = 2;
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.endOfStreams.load() == 1; }));
    EXPECT_EQ(down.receiveCount, 1);
}

TEST_F(SourceStreamTest, WorkerAnswersCommandsByItsProtocol) {
    ASSERT_TRUE(stream->StartWorker());
    EXPECT_EQ(stream->StartStreaming(), E_UNEXPECTED); // before Prepare
    EXPECT_EQ(stream->HaltWorker(), E_UNEXPECTED);
    EXPECT_EQ(stream->PrepareWorker(), S_OK);
    EXPECT_EQ(stream->PrepareWorker(), E_NOTIMPL);
    EXPECT_EQ(stream->SendCommand(CSourceStream::Quit + 1), E_NOTIMPL);
    EXPECT_EQ(stream->HaltWorker(), S_OK);
    EXPECT_EQ(stream->QuitWorker(), S_OK);
    stream->JoinWorker();
    EXPECT_EQ(stream->starts, 1);
    EXPECT_EQ(stream->exits, 1);
}

TEST_F(SourceStreamTest, DefaultTypeHooksOfferOneType) {
    CMediaDescriptor type;
    EXPECT_EQ(stream->MediaTypeAt(-1, &type), E_INVALIDARG);
    EXPECT_EQ(stream->MediaTypeAt(1, &type), VFW_S_NO_MORE_ITEMS);
    ASSERT_EQ(stream->MediaTypeAt(0, &type), S_OK);
    EXPECT_TRUE(type.SameAs(pcm));
    EXPECT_EQ(stream->ValidateMediaType(&pcm), S_OK);
    CMediaDescriptor other;
    WAVEFORMATEX format = PcmFormat(1, 44100);
    BuildAudioMediaType(&format, &other, true);
    EXPECT_EQ(stream->ValidateMediaType(&other), E_FAIL);
}

TEST_F(SourceStreamTest, ReleasingAnActiveFilterStopsItsWorkerFirst) {
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() >= 2; }));
    down.Disconnect(); // the peer lets go of the pin, as a graph tearing down would
    CSource* released = source;
    source = nullptr;
    EXPECT_EQ(Watched([released] { return static_cast<HRESULT>(released->Release()); }).Wait(), 0);
    EXPECT_FALSE(down.allocator.committed());
}

TEST(SourceFilterTest, StreamsGetIdentifiersInOrderAndGoWithTheFilter) {
    const LONG before = CBaseObject::LiveObjectCount();
    auto* source = new CSource("TestSource", nullptr, kTestSourceClass);
    source->AddRef();
    HRESULT hr = E_FAIL;
    auto* first = new TestStream(&hr, source, u"A");
    ASSERT_EQ(hr, S_OK);
    auto* second = new TestStream(&hr, source, u"B");
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(source->PinCount(), 2);
    EXPECT_EQ(source->PinAt(1), static_cast<CBasePin*>(second));
    EXPECT_EQ(source->PinAt(2), nullptr);
    EXPECT_EQ(source->PinAt(-1), nullptr);

    LPWSTR id = nullptr;
    ASSERT_EQ(second->QueryId(&id), S_OK);
    EXPECT_EQ(std::u16string(id), u"2");
    IPin* found = nullptr;
    ASSERT_EQ(source->FindPin(id, &found), S_OK);
    EXPECT_EQ(found, static_cast<IPin*>(second));
    found->Release();
    CoTaskMemFree(id);
    EXPECT_EQ(first->QueryId(nullptr), E_POINTER);

    EXPECT_EQ(source->StreamIndexOf(static_cast<IPin*>(first)), 0);
    EXPECT_EQ(source->StreamIndexOf(nullptr), -1);
    EXPECT_EQ(source->DetachStream(nullptr), S_FALSE);

    // A stream taken out of the filter has no identifier any more.
    ASSERT_EQ(source->DetachStream(first), S_OK);
    EXPECT_EQ(first->QueryId(&id), VFW_E_NOT_FOUND);
    EXPECT_EQ(source->PinCount(), 1);
    ASSERT_EQ(second->QueryId(&id), S_OK);
    EXPECT_EQ(std::u16string(id), u"1");
    CoTaskMemFree(id);
    ASSERT_EQ(source->AttachStream(first), S_OK);

    EXPECT_EQ(source->Release(), 0u);
    EXPECT_EQ(CBaseObject::LiveObjectCount(), before);
}

TEST(SourceFilterTest, IdentifiersStayWholePastNineHundredNinetyNineStreams) {
    auto* source = new CSource("TestSource", nullptr, kTestSourceClass);
    source->AddRef();
    TestStream* last = nullptr;
    for (int i = 0; i < 1000; ++i) {
        HRESULT hr = E_FAIL;
        last = new TestStream(&hr, source, u"S");
        ASSERT_EQ(hr, S_OK);
    }
    LPWSTR id = nullptr;
    ASSERT_EQ(last->QueryId(&id), S_OK);
    EXPECT_EQ(std::u16string(id), u"1000");
    CoTaskMemFree(id);
    EXPECT_EQ(source->Release(), 0u);
}
