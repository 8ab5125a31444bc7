// Streaming through the filter graph manager: completion, stopping while the
// source waits for a buffer, abort events and the time limit.
#include "graph_fixture.h"

#include "platform/win32_api.h"

#include <thread>

namespace media_test {
namespace {

TEST_F(GraphTest, RunDeliversEverySampleInOrderAndCompletes) {
    SourcePlan plan;
    plan.samples = 40;
    plan.sampleBytes = 100;
    plan.buffers = 3;
    BuildChain(plan);

    EXPECT_EQ(EC_COMPLETE, RunToEnd());

    const std::vector<BYTE> bytes = renderer_->Bytes();
    ASSERT_EQ(4000u, bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(static_cast<BYTE>(i), bytes[i]) << "byte " << i;
    const std::vector<REFERENCE_TIME> times = renderer_->StartTimes();
    for (std::size_t i = 0; i < times.size(); ++i)
        EXPECT_EQ(static_cast<REFERENCE_TIME>(i) * 1000, times[i]);
    EXPECT_EQ(1, renderer_->EndOfStreams());

    EXPECT_EQ(State_Running, GraphState());
    EXPECT_EQ(S_OK, control_->StopWhenReady());
    EXPECT_EQ(State_Stopped, GraphState());
    EXPECT_EQ(1, renderer_->Stops());
}

TEST_F(GraphTest, CompletionIsQueuedOnceAndSignalsTheEventHandle) {
    BuildChain(SourcePlan{});
    OAEVENT handle = 0;
    ASSERT_EQ(S_OK, events_->GetEventHandle(&handle));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0));

    RunToEnd();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0));

    LONG code = 0;
    LONG_PTR p1 = -1;
    LONG_PTR p2 = -1;
    ASSERT_EQ(S_OK, events_->GetEvent(&code, &p1, &p2, 0));
    EXPECT_EQ(EC_COMPLETE, code);
    EXPECT_EQ(S_OK, events_->FreeEventParams(code, p1, p2));
    EXPECT_EQ(E_ABORT, events_->GetEvent(&code, &p1, &p2, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0));
    EXPECT_EQ(S_OK, control_->Stop());
}

TEST_F(GraphTest, StopWhenReadyReturnsWhileTheSourceWaitsForABuffer) {
    SourcePlan plan;
    plan.endless = true;
    plan.buffers = 2;
    BuildChain(plan, /*holdSamples=*/true);

    ASSERT_EQ(S_OK, control_->Run());
    // The renderer keeps both buffers, so the third request blocks.
    ASSERT_TRUE(renderer_->WaitForSamples(2, kGenerous));
    ASSERT_TRUE(source_->WaitForBufferRequests(3, kGenerous));
    EXPECT_EQ(2, renderer_->SamplesReceived());

    EXPECT_EQ(S_OK, control_->StopWhenReady());
    EXPECT_EQ(State_Stopped, GraphState());
    EXPECT_EQ(2, source_->Delivered());
}

TEST_F(GraphTest, ErrorAbortEndsTheWaitEarlyWithItsCode) {
    SourcePlan plan;
    plan.samples = 100;
    plan.abortAfter = 3;
    BuildChain(plan);

    EXPECT_EQ(EC_ERRORABORT, RunToEnd());
    EXPECT_EQ(3, renderer_->SamplesReceived());

    LONG code = 0;
    LONG_PTR p1 = 0;
    LONG_PTR p2 = 0;
    ASSERT_EQ(S_OK, events_->GetEvent(&code, &p1, &p2, 0));
    EXPECT_EQ(EC_ERRORABORT, code);
    EXPECT_EQ(E_FAIL, static_cast<HRESULT>(p1));
    EXPECT_EQ(S_OK, control_->Stop());
}

TEST_F(GraphTest, UserAbortFromTheEventSinkEndsTheWait) {
    SourcePlan plan;
    plan.endless = true;
    BuildChain(plan, /*holdSamples=*/true);
    ASSERT_EQ(S_OK, control_->Run());

    IMediaEventSink* sink = nullptr;
    ASSERT_EQ(S_OK, graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)));
    std::thread notifier([sink] { sink->Notify(EC_USERABORT, 0, 0); });
    LONG code = 0;
    EXPECT_EQ(S_OK, events_->WaitForCompletion(kGenerous, &code));
    EXPECT_EQ(EC_USERABORT, code);
    notifier.join();
    sink->Release();
    EXPECT_EQ(S_OK, control_->Stop());
}

TEST_F(GraphTest, TimeLimitAnswersAbortWithCodeZero) {
    SourcePlan plan;
    plan.endless = true;
    BuildChain(plan, /*holdSamples=*/true);
    ASSERT_EQ(S_OK, control_->Run());

    LONG code = -1;
    EXPECT_EQ(E_ABORT, events_->WaitForCompletion(30, &code));
    EXPECT_EQ(0, code);
    EXPECT_EQ(S_OK, control_->StopWhenReady());
}

TEST_F(GraphTest, ReleasingARunningGraphStopsAndFreesEverything) {
    SourcePlan plan;
    plan.endless = true;
    BuildChain(plan);
    ASSERT_EQ(S_OK, control_->Run());
    ASSERT_TRUE(renderer_->WaitForSamples(5, kGenerous));
    ReleaseGraph(); // TearDown checks that filters and buffers are gone
}

TEST_F(GraphTest, ANewRunStreamsAgainAndResetsCompletion) {
    BuildChain(SourcePlan{});
    for (int round = 1; round <= 3; ++round) {
        EXPECT_EQ(EC_COMPLETE, RunToEnd()) << "round " << round;
        EXPECT_EQ(8 * round, renderer_->SamplesReceived());
        ASSERT_EQ(S_OK, control_->Stop());
    }
}

TEST_F(GraphTest, RunGivesEveryFilterTheGraphClockAndOneStartTime) {
    BuildChain(SourcePlan{});
    IMediaFilter* graphFilter = nullptr;
    ASSERT_EQ(S_OK,
              graph_->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&graphFilter)));
    IReferenceClock* graphClock = nullptr;
    ASSERT_EQ(S_OK, graphFilter->GetSyncSource(&graphClock));
    ASSERT_NE(nullptr, graphClock);

    RunToEnd();
    for (media::FilterBase* filter :
         {static_cast<media::FilterBase*>(source_), static_cast<media::FilterBase*>(renderer_)}) {
        IReferenceClock* clock = nullptr;
        ASSERT_EQ(S_OK, filter->GetSyncSource(&clock));
        EXPECT_EQ(graphClock, clock);
        if (clock != nullptr)
            clock->Release();
    }
    EXPECT_EQ(source_->StartTime(), renderer_->RunStart());
    REFERENCE_TIME now = 0;
    ASSERT_EQ(S_OK, graphClock->GetTime(&now));
    EXPECT_LE(renderer_->RunStart(), now + 10 * 10000);
    EXPECT_GT(renderer_->RunStart(), 0);

    // Without a clock the filters run with none.
    ASSERT_EQ(S_OK, control_->Stop());
    ASSERT_EQ(S_OK, graphFilter->SetSyncSource(nullptr));
    IReferenceClock* cleared = graphClock;
    ASSERT_EQ(S_OK, renderer_->GetSyncSource(&cleared));
    EXPECT_EQ(nullptr, cleared);
    graphClock->Release();
    graphFilter->Release();
}

TEST_F(GraphTest, CompletionWaitsForEveryRenderer) {
    TestRenderer* first = TestRenderer::Create();
    TestRenderer* second = TestRenderer::Create();
    ASSERT_EQ(S_OK, graph_->AddFilter(first, u"First"));
    ASSERT_EQ(S_OK, graph_->AddFilter(second, u"Second"));
    IMediaEventSink* sink = nullptr;
    ASSERT_EQ(S_OK, graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)));
    ASSERT_EQ(S_OK, control_->Run());

    const auto from = [](TestRenderer* r) {
        return reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(r));
    };
    LONG code = -1;
    sink->Notify(EC_COMPLETE, S_OK, from(first));
    sink->Notify(EC_COMPLETE, S_OK, from(first)); // the same renderer again
    EXPECT_EQ(E_ABORT, events_->WaitForCompletion(0, &code));
    sink->Notify(EC_COMPLETE, S_OK, from(second));
    EXPECT_EQ(S_OK, events_->WaitForCompletion(0, &code));
    EXPECT_EQ(EC_COMPLETE, code);

    ASSERT_EQ(S_OK, control_->Stop());
    ASSERT_EQ(S_OK, control_->Run());
    EXPECT_EQ(E_ABORT, events_->WaitForCompletion(0, &code)) << "a new run starts over";
    ASSERT_EQ(S_OK, control_->Stop());
    EXPECT_EQ(VFW_E_WRONG_STATE, events_->WaitForCompletion(kGenerous, &code))
        << "a stopped graph that did not complete does not wait";
    sink->Release();
    first->Release();
    second->Release();
}

} // namespace
} // namespace media_test
