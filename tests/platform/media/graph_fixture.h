// A fixture with COM initialised and a fresh filter graph manager.
#pragma once

#include "test_filters.h"

#include "media/memory_allocator.h"

#include <gtest/gtest.h>

namespace media_test {

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IGraphBuilder, reinterpret_cast<void**>(&graph_)));
        ASSERT_EQ(S_OK,
                  graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_)));
        ASSERT_EQ(S_OK,
                  graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events_)));
    }
    void TearDown() override {
        ReleaseGraph();
        EXPECT_EQ(0, LiveTestFilters()) << "a filter was not released";
        EXPECT_EQ(0, media::MemoryAllocatorBlocksInUse()) << "buffer memory was not freed";
        CoUninitialize();
    }
    void ReleaseGraph() {
        for (IUnknown** held :
             {reinterpret_cast<IUnknown**>(&events_), reinterpret_cast<IUnknown**>(&control_),
              reinterpret_cast<IUnknown**>(&graph_)}) {
            if (*held != nullptr)
                (*held)->Release();
            *held = nullptr;
        }
    }

    // Adds a source and a renderer, connects them and gives up the test's own
    // references (the graph holds them).
    void BuildChain(const SourcePlan& plan, bool holdSamples = false) {
        source_ = TestSource::Create(plan);
        renderer_ = TestRenderer::Create(holdSamples);
        ASSERT_EQ(S_OK, graph_->AddFilter(source_, u"Source"));
        ASSERT_EQ(S_OK, graph_->AddFilter(renderer_, u"Renderer"));
        source_->Release();
        renderer_->Release();
        ASSERT_EQ(S_OK, graph_->Connect(source_->Output(), renderer_->Input()));
    }

    // Runs the graph and waits, bounded, for its stream to end; answers the
    // event that ended it.
    LONG RunToEnd() {
        EXPECT_EQ(S_OK, control_->Run());
        LONG code = 0;
        EXPECT_EQ(S_OK, events_->WaitForCompletion(kGenerous, &code));
        return code;
    }
    OAFilterState GraphState() {
        OAFilterState state = -1;
        EXPECT_EQ(S_OK, control_->GetState(0, &state));
        return state;
    }

    static constexpr LONG kGenerous = 10000; // bounds waits that should end much sooner

    IGraphBuilder* graph_ = nullptr;
    IMediaControl* control_ = nullptr;
    IMediaEventEx* events_ = nullptr;
    TestSource* source_ = nullptr;     // owned by the graph
    TestRenderer* renderer_ = nullptr; // owned by the graph
};

} // namespace media_test
