#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_filters.h"

namespace {

using Log = std::vector<std::string>;

// A filter with pins A and B connected to their own downstream pins and pin C
// left unconnected.
class FilterStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        filter = new TestFilter;
        filter->AddRef();
        a = new TestOutputPin(filter, u"A", &log, "A");
        b = new TestOutputPin(filter, u"B", &log, "B");
        c = new TestOutputPin(filter, u"C", &log, "C");
        for (TestOutputPin* pin : {a, b, c}) {
            pin->Accept(MEDIASUBTYPE_PCM);
            filter->AddPin(pin);
        }
        NewPcmType(pcm, 2, 44100);
        ASSERT_EQ(a->Connect(&downA, &pcm), S_OK);
        ASSERT_EQ(b->Connect(&downB, &pcm), S_OK);
    }
    void TearDown() override {
        filter->Stop();
        a->Disconnect();
        b->Disconnect();
        downA.Disconnect();
        downB.Disconnect();
        EXPECT_EQ(filter->Release(), 0u);
        EXPECT_EQ(downA.references_, 0u);
        EXPECT_EQ(downB.references_, 0u);
    }
    FILTER_STATE State() {
        FILTER_STATE state = State_Running;
        EXPECT_EQ(filter->GetState(0, &state), S_OK);
        return state;
    }

    Log log;
    CMediaDescriptor pcm;
    TestInputPin downA;
    TestInputPin downB;
    TestFilter* filter = nullptr;
    TestOutputPin* a = nullptr;
    TestOutputPin* b = nullptr;
    TestOutputPin* c = nullptr;
};

} // namespace

TEST_F(FilterStateTest, RunFromStoppedActivatesEveryConnectedPinThenRunsThem) {
    ASSERT_EQ(filter->Run(1234), S_OK);
    EXPECT_EQ(State(), State_Running);
    EXPECT_EQ(log, (Log{"activate A", "activate B", "run A", "run B"}));
}

TEST_F(FilterStateTest, WalksTheStateTable) {
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(State(), State_Paused);
    EXPECT_TRUE(filter->IsStreaming());
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_EQ(filter->Run(10), S_OK); // running to running: only the start time changes
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(State(), State_Paused);
    ASSERT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(State(), State_Stopped);
    ASSERT_EQ(filter->Stop(), S_OK); // stopped to stopped calls no pin
    EXPECT_FALSE(filter->IsStreaming());
    EXPECT_EQ(log,
              (Log{"activate A", "activate B", "run A", "run B", "deactivate A", "deactivate B"}));
}

TEST_F(FilterStateTest, FailedActivationLeavesTheFilterStopped) {
    b->activateResult = E_OUTOFMEMORY;
    EXPECT_EQ(filter->Pause(), E_OUTOFMEMORY);
    EXPECT_EQ(State(), State_Stopped);
    EXPECT_EQ(filter->Run(0), E_OUTOFMEMORY);
    EXPECT_EQ(State(), State_Stopped);
    EXPECT_EQ(log, (Log{"activate A", "activate B", "activate A", "activate B"}));
}

TEST_F(FilterStateTest, FailedRunLeavesTheFilterPaused) {
    a->runResult = E_UNEXPECTED;
    EXPECT_EQ(filter->Run(0), E_UNEXPECTED);
    EXPECT_EQ(State(), State_Paused);
    EXPECT_EQ(log, (Log{"activate A", "activate B", "run A"}));
}

TEST_F(FilterStateTest, StopDeactivatesEveryPinAndReportsTheFirstFailure) {
    ASSERT_EQ(filter->Pause(), S_OK);
    a->deactivateResult = E_ACCESSDENIED;
    b->deactivateResult = E_HANDLE;
    EXPECT_EQ(filter->Stop(), E_ACCESSDENIED);
    EXPECT_EQ(State(), State_Stopped);
    EXPECT_EQ(log, (Log{"activate A", "activate B", "deactivate A", "deactivate B"}));
}

TEST_F(FilterStateTest, GetStateAnswersAtOnceAndChecksItsPointer) {
    FILTER_STATE state = State_Running;
    EXPECT_EQ(filter->GetState(INFINITE, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_EQ(filter->GetState(0, nullptr), E_POINTER);
}

TEST_F(FilterStateTest, FindPinMapsOneBasedIdentifiers) {
    IPin* pin = nullptr;
    ASSERT_EQ(filter->FindPin(u"1", &pin), S_OK);
    EXPECT_EQ(pin, static_cast<IPin*>(a));
    pin->Release();
    ASSERT_EQ(filter->FindPin(u"3", &pin), S_OK);
    EXPECT_EQ(pin, static_cast<IPin*>(c));
    pin->Release();
    for (const char16_t* id : {u"0", u"x", u"4", u"-1", u""}) {
        pin = reinterpret_cast<IPin*>(0x1);
        EXPECT_EQ(filter->FindPin(id, &pin), VFW_E_NOT_FOUND);
        EXPECT_EQ(pin, nullptr);
    }
    EXPECT_EQ(filter->FindPin(u"1", nullptr), E_POINTER);
}

TEST(BaseFilterTest, LooksUpItsInterfaces) {
    auto* filter = new TestFilter;
    filter->AddRef();
    void* found = nullptr;
    for (const IID& iid : {IID_IBaseFilter, IID_IMediaFilter, IID_IPersist}) {
        ASSERT_EQ(filter->QueryInterface(iid, &found), S_OK);
        EXPECT_EQ(found, static_cast<IBaseFilter*>(filter));
        static_cast<IUnknown*>(found)->Release();
    }
    ASSERT_EQ(filter->QueryInterface(IID_IAMovieSetup, &found), S_OK);
    auto* setup = static_cast<IAMovieSetup*>(found);
    EXPECT_EQ(setup->Register(), S_FALSE);
    EXPECT_EQ(setup->Unregister(), S_FALSE);
    setup->Release();
    EXPECT_EQ(filter->QueryInterface(IID_IPin, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    CLSID id{};
    EXPECT_EQ(filter->GetClassID(&id), S_OK);
    EXPECT_EQ(id, kTestFilterClass);
    EXPECT_EQ(filter->GetClassID(nullptr), E_POINTER);
    LPWSTR vendor = nullptr;
    EXPECT_EQ(filter->QueryVendorInfo(&vendor), E_NOTIMPL);
    EXPECT_EQ(filter->Release(), 0u);
}

TEST(BaseFilterTest, ClockIsReferencedWhileSetAndGivesStreamTime) {
    auto* filter = new TestFilter;
    filter->AddRef();
    TestClock first;
    TestClock second;
    REFERENCE_TIME now = 0;
    EXPECT_EQ(filter->CurrentStreamTime(&now), VFW_E_NO_CLOCK);

    ASSERT_EQ(filter->SetSyncSource(&first), S_OK);
    EXPECT_EQ(first.references_, 1u);
    ASSERT_EQ(filter->SetSyncSource(&second), S_OK);
    EXPECT_EQ(first.references_, 0u);
    EXPECT_EQ(second.references_, 1u);

    IReferenceClock* clock = nullptr;
    ASSERT_EQ(filter->GetSyncSource(&clock), S_OK);
    EXPECT_EQ(clock, &second);
    EXPECT_EQ(second.references_, 2u);
    clock->Release();
    EXPECT_EQ(filter->GetSyncSource(nullptr), E_POINTER);

    second.now = 5000;
    ASSERT_EQ(filter->Run(1200), S_OK);
    ASSERT_EQ(filter->CurrentStreamTime(&now), S_OK);
    EXPECT_EQ(now, 3800);
    second.getTimeResult = E_ABORT;
    EXPECT_EQ(filter->CurrentStreamTime(&now), E_ABORT);

    ASSERT_EQ(filter->SetSyncSource(nullptr), S_OK);
    EXPECT_EQ(second.references_, 0u);
    ASSERT_EQ(filter->GetSyncSource(&clock), S_OK);
    EXPECT_EQ(clock, nullptr);

    filter->SetSyncSource(&first); // released when the filter goes
    EXPECT_EQ(filter->Release(), 0u);
    EXPECT_EQ(first.references_, 0u);
}

TEST(BaseFilterTest, JoiningAGraphKeepsItsSinkAndNameWithoutReferences) {
    auto* filter = new TestFilter;
    filter->AddRef();
    TestGraph graph;
    ASSERT_EQ(filter->JoinFilterGraph(&graph, u"Source"), S_OK);
    EXPECT_EQ(graph.references_, 0u);
    EXPECT_EQ(graph.sink.references_, 0u);

    FILTER_INFO info{};
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"Source");
    EXPECT_EQ(info.pGraph, &graph);
    EXPECT_EQ(graph.references_, 1u);
    info.pGraph->Release();
    EXPECT_EQ(filter->QueryFilterInfo(nullptr), E_POINTER);

    EXPECT_EQ(filter->RaiseGraphEvent(EC_ERRORABORT, E_FAIL, 9), S_OK);
    EXPECT_EQ(filter->RaiseGraphEvent(EC_COMPLETE, 0, 9), S_OK);
    std::vector<GraphEvent> events = graph.sink.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, EC_ERRORABORT);
    EXPECT_EQ(events[0].param1, E_FAIL);
    EXPECT_EQ(events[0].param2, 9);
    // Completion names the filter that completed.
    EXPECT_EQ(events[1].param2, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(filter)));

    ASSERT_EQ(filter->JoinFilterGraph(nullptr, nullptr), S_OK);
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.achName[0], 0);
    EXPECT_EQ(info.pGraph, nullptr);
    EXPECT_EQ(filter->RaiseGraphEvent(EC_COMPLETE, 0, 0), E_NOTIMPL);
    EXPECT_EQ(filter->Release(), 0u);
}

TEST(BaseFilterTest, GraphWithoutSinkLeavesEventsUnsent) {
    auto* filter = new TestFilter;
    filter->AddRef();
    TestGraph graph;
    graph.offerSink = false;
    ASSERT_EQ(filter->JoinFilterGraph(&graph, nullptr), S_OK);
    EXPECT_EQ(filter->RaiseGraphEvent(EC_ERRORABORT, E_FAIL, 0), E_NOTIMPL);
    EXPECT_EQ(filter->Release(), 0u);
}

TEST(BaseFilterTest, FilterInfoCutsALongNameTo127Characters) {
    auto* filter = new TestFilter;
    filter->AddRef();
    std::u16string name(200, u'q');
    name[126] = u'L';
    ASSERT_EQ(filter->JoinFilterGraph(nullptr, name.c_str()), S_OK);
    FILTER_INFO info{};
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), name.substr(0, 127));
    EXPECT_EQ(filter->Release(), 0u);
}
