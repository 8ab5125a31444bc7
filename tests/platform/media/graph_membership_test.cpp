// Filters joining and leaving the graph, names, connections and the
// interfaces the graph manager answers.
#include "graph_fixture.h"

#include <string>

namespace media_test {
namespace {

std::u16string NameOf(IBaseFilter* filter, IFilterGraph** graph = nullptr) {
    FILTER_INFO info{};
    EXPECT_EQ(S_OK, filter->QueryFilterInfo(&info));
    if (graph != nullptr)
        *graph = info.pGraph;
    else if (info.pGraph != nullptr)
        info.pGraph->Release();
    return info.achName;
}

TEST_F(GraphTest, NamesAreUniqueAndGeneratedWhenMissing) {
    TestRenderer* a = TestRenderer::Create();
    TestRenderer* b = TestRenderer::Create();
    TestRenderer* c = TestRenderer::Create();
    TestRenderer* d = TestRenderer::Create();
    EXPECT_EQ(S_OK, graph_->AddFilter(a, u"Writer"));
    EXPECT_EQ(VFW_S_DUPLICATE_NAME, graph_->AddFilter(b, u"Writer"));
    EXPECT_EQ(S_OK, graph_->AddFilter(c, nullptr));
    EXPECT_EQ(S_OK, graph_->AddFilter(d, u""));
    EXPECT_EQ(E_INVALIDARG, graph_->AddFilter(a, u"Again")) << "a filter joins once";

    const std::u16string names[] = {NameOf(a), NameOf(b), NameOf(c), NameOf(d)};
    EXPECT_EQ(u"Writer", names[0]);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(names[i].empty());
        for (int j = i + 1; j < 4; ++j)
            EXPECT_NE(names[i], names[j]);
        IBaseFilter* found = nullptr;
        ASSERT_EQ(S_OK, graph_->FindFilterByName(names[i].c_str(), &found));
        found->Release();
    }
    IBaseFilter* found = nullptr;
    ASSERT_EQ(S_OK, graph_->FindFilterByName(names[1].c_str(), &found));
    EXPECT_EQ(static_cast<IBaseFilter*>(b), found);
    found->Release();
    found = a;
    EXPECT_EQ(VFW_E_NOT_FOUND, graph_->FindFilterByName(u"Nobody", &found));
    EXPECT_EQ(nullptr, found);

    IEnumFilters* filters = nullptr;
    ASSERT_EQ(S_OK, graph_->EnumFilters(&filters));
    IBaseFilter* batch[8] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, filters->Next(8, batch, &fetched));
    EXPECT_EQ(4u, fetched);
    for (ULONG i = 0; i < fetched; ++i)
        batch[i]->Release();
    filters->Release();

    for (TestRenderer* r : {a, b, c, d})
        r->Release();
}

TEST_F(GraphTest, LongNamesAreCutToTheRecordAndStayUnique) {
    const std::u16string longName(200, u'x');
    TestRenderer* a = TestRenderer::Create();
    TestRenderer* b = TestRenderer::Create();
    EXPECT_EQ(S_OK, graph_->AddFilter(a, longName.c_str()));
    EXPECT_EQ(VFW_S_DUPLICATE_NAME, graph_->AddFilter(b, longName.c_str()));
    EXPECT_EQ(127u, NameOf(a).size());
    EXPECT_EQ(127u, NameOf(b).size());
    EXPECT_NE(NameOf(a), NameOf(b));
    a->Release();
    b->Release();
}

TEST_F(GraphTest, RemovingAFilterDisconnectsItAndLetsGo) {
    BuildChain(SourcePlan{});
    source_->AddRef();
    renderer_->AddRef();

    EXPECT_EQ(S_OK, graph_->RemoveFilter(renderer_));
    EXPECT_EQ(VFW_E_NOT_FOUND, graph_->RemoveFilter(renderer_));
    IFilterGraph* member = nullptr;
    EXPECT_EQ(u"", NameOf(renderer_, &member));
    EXPECT_EQ(nullptr, member);
    IPin* peer = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, source_->Output()->ConnectedTo(&peer));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, renderer_->Input()->ConnectedTo(&peer));
    IReferenceClock* clock = nullptr;
    EXPECT_EQ(S_OK, renderer_->GetSyncSource(&clock));
    EXPECT_EQ(nullptr, clock);

    // Releasing the graph leaves the source too, while the test still holds it.
    ReleaseGraph();
    EXPECT_EQ(u"", NameOf(source_, &member));
    EXPECT_EQ(nullptr, member);
    EXPECT_EQ(2, LiveTestFilters());
    source_->Release();
    renderer_->Release();
}

TEST_F(GraphTest, RemovingIsRefusedWhileTheGraphRuns) {
    BuildChain(SourcePlan{});
    ASSERT_EQ(S_OK, control_->Run());
    EXPECT_EQ(VFW_E_NOT_STOPPED, graph_->RemoveFilter(renderer_));
    EXPECT_EQ(S_OK, control_->Stop());
    EXPECT_EQ(S_OK, graph_->RemoveFilter(renderer_));
}

TEST_F(GraphTest, FiltersFindTheGraphsEventSink) {
    TestRenderer* renderer = TestRenderer::Create();
    EXPECT_EQ(E_NOTIMPL, renderer->NotifyEvent(EC_USERABORT, 0, 0)) << "not in a graph yet";
    ASSERT_EQ(S_OK, graph_->AddFilter(renderer, u"R"));
    IFilterGraph* member = nullptr;
    NameOf(renderer, &member);
    EXPECT_EQ(static_cast<IFilterGraph*>(graph_), member);
    member->Release();
    ASSERT_EQ(S_OK, control_->Run());
    EXPECT_EQ(S_OK, renderer->NotifyEvent(EC_USERABORT, 7, 0));
    LONG code = 0;
    EXPECT_EQ(S_OK, events_->WaitForCompletion(0, &code));
    EXPECT_EQ(EC_USERABORT, code);
    renderer->Release();
}

TEST_F(GraphTest, ConnectChecksMembershipAndDirection) {
    TestSource* outsider = TestSource::Create(SourcePlan{});
    BuildChain(SourcePlan{});
    EXPECT_EQ(VFW_E_NOT_IN_GRAPH, graph_->Connect(outsider->Output(), renderer_->Input()));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, graph_->Connect(source_->Output(), renderer_->Input()));
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, graph_->Connect(renderer_->Input(), source_->Output()));
    EXPECT_EQ(E_POINTER, graph_->Connect(nullptr, renderer_->Input()));

    EXPECT_EQ(S_OK, graph_->Disconnect(renderer_->Input()));
    EXPECT_EQ(S_OK, graph_->Disconnect(source_->Output()));
    EXPECT_EQ(S_OK, graph_->ConnectDirect(source_->Output(), renderer_->Input(), nullptr));
    outsider->Release();
}

TEST_F(GraphTest, AnswersItsInterfacesAndRefusesAutomation) {
    for (const IID* iid : {&IID_IUnknown, &IID_IFilterGraph, &IID_IGraphBuilder, &IID_IMediaControl,
                           &IID_IMediaEvent, &IID_IMediaEventEx, &IID_IMediaFilter, &IID_IPersist,
                           &IID_IMediaEventSink}) {
        IUnknown* object = nullptr;
        EXPECT_EQ(S_OK, graph_->QueryInterface(*iid, reinterpret_cast<void**>(&object)));
        ASSERT_NE(nullptr, object);
        object->Release();
    }
    IUnknown* none = graph_;
    EXPECT_EQ(E_NOINTERFACE, graph_->QueryInterface(IID_IPin, reinterpret_cast<void**>(&none)));
    EXPECT_EQ(nullptr, none);
    UINT count = 0;
    EXPECT_EQ(E_NOTIMPL, control_->GetTypeInfoCount(&count));
    EXPECT_EQ(E_NOTIMPL, events_->GetTypeInfoCount(&count));

    IPersist* persist = nullptr;
    ASSERT_EQ(S_OK, graph_->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
    CLSID classId{};
    EXPECT_EQ(S_OK, persist->GetClassID(&classId));
    EXPECT_TRUE(classId == CLSID_FilterGraph);
    persist->Release();
}

TEST_F(GraphTest, SystemClockIsCreatableAndMonotonic) {
    IReferenceClock* clock = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IReferenceClock, reinterpret_cast<void**>(&clock)));
    REFERENCE_TIME previous = 0;
    ASSERT_EQ(S_OK, clock->GetTime(&previous));
    for (int i = 0; i < 1000; ++i) {
        REFERENCE_TIME now = 0;
        ASSERT_EQ(S_OK, clock->GetTime(&now));
        ASSERT_GE(now, previous);
        previous = now;
    }
    DWORD_PTR cookie = 0;
    EXPECT_EQ(E_NOTIMPL, clock->AdviseTime(0, 0, nullptr, &cookie));
    clock->Release();
}

} // namespace
} // namespace media_test
