// Tests that need to see the graph manager the encoder works with: its class
// is replaced, for this program only, by a wrapper around a real graph
// manager, which records itself and can be told to refuse to run the graph.
// A graph that fails to run must leave nothing waiting and no file behind, and
// every graph the encoder builds is listed in the running object table only
// while the encoder holds it.
#include "chain_test_support.h"
#include "encoder/dshow_wma_encoder.h"
#include "encoder/graph_helpers.h"
#include "errors/wma_exception.h"
#include "platform/win32_api.h"
#include "profiles/wma_preset_loader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Forwards everything to a real graph manager, except that its media control
// refuses to run the graph while `refuseRun` is set.
class WrappedGraph final : public IGraphBuilder, public IMediaControl {
public:
    explicit WrappedGraph(IGraphBuilder* real) : real_(real) {
        real_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_));
    }
    ~WrappedGraph() {
        control_->Release();
        real_->Release();
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IFilterGraph || iid == IID_IGraphBuilder) {
            *object = static_cast<IGraphBuilder*>(this);
        } else if (iid == IID_IMediaControl) {
            *object = static_cast<IMediaControl*>(this);
        } else {
            return real_->QueryInterface(iid, object);
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IFilterGraph and IGraphBuilder
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override {
        return real_->AddFilter(filter, name);
    }
    HRESULT RemoveFilter(IBaseFilter* filter) override { return real_->RemoveFilter(filter); }
    HRESULT EnumFilters(IEnumFilters** filters) override { return real_->EnumFilters(filters); }
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override {
        return real_->FindFilterByName(name, filter);
    }
    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override {
        return real_->ConnectDirect(output, input, type);
    }
    HRESULT Reconnect(IPin* pin) override { return real_->Reconnect(pin); }
    HRESULT Disconnect(IPin* pin) override { return real_->Disconnect(pin); }
    HRESULT SetDefaultSyncSource() override { return real_->SetDefaultSyncSource(); }
    HRESULT Connect(IPin* output, IPin* input) override { return real_->Connect(output, input); }
    HRESULT Render(IPin* output) override { return real_->Render(output); }
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override {
        return real_->RenderFile(file, playList);
    }
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** filter) override {
        return real_->AddSourceFilter(file, name, filter);
    }
    HRESULT SetLogFile(DWORD_PTR file) override { return real_->SetLogFile(file); }
    HRESULT Abort() override { return real_->Abort(); }
    HRESULT ShouldOperationContinue() override { return real_->ShouldOperationContinue(); }

    // IMediaControl
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, LONG*) override { return E_NOTIMPL; }
    HRESULT Invoke(LONG, REFIID, LCID, WORD, void*, void*, void*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT Run() override {
        if (!refuseRun) {
            return control_->Run();
        }
        ++runsRefused;
        return E_ACCESSDENIED;
    }
    HRESULT Pause() override { return control_->Pause(); }
    HRESULT Stop() override { return control_->Stop(); }
    HRESULT GetState(LONG milliseconds, OAFilterState* state) override {
        return control_->GetState(milliseconds, state);
    }
    HRESULT RenderFile(BSTR file) override { return control_->RenderFile(file); }
    HRESULT AddSourceFilter(BSTR file, IDispatch** filter) override {
        return control_->AddSourceFilter(file, filter);
    }
    HRESULT get_FilterCollection(IDispatch** collection) override {
        return control_->get_FilterCollection(collection);
    }
    HRESULT get_RegFilterCollection(IDispatch** collection) override {
        return control_->get_RegFilterCollection(collection);
    }
    HRESULT StopWhenReady() override { return control_->StopWhenReady(); }

    static std::atomic<bool> refuseRun;
    static std::atomic<int> runsRefused;

private:
    IGraphBuilder* real_;
    IMediaControl* control_ = nullptr;
    std::atomic<ULONG> references_{0};
};

std::atomic<bool> WrappedGraph::refuseRun{true};
std::atomic<int> WrappedGraph::runsRefused{0};

// Real graph managers made before the class was replaced, one for each wrapper.
std::vector<IGraphBuilder*> g_realGraphs;
// The graph managers handed out, as the encoder sees them, each with a
// reference of the test's own so that no later graph can take its address.
std::vector<IGraphBuilder*> g_madeGraphs;

void ReleaseMadeGraphs() {
    for (IGraphBuilder* graph : g_madeGraphs) {
        graph->Release();
    }
    g_madeGraphs.clear();
}

HRESULT CreateWrappedGraph(IUnknown* outer, REFIID iid, void** object) {
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if (g_realGraphs.empty()) {
        return E_OUTOFMEMORY;
    }
    auto* wrapper = new WrappedGraph(g_realGraphs.back());
    g_realGraphs.pop_back();
    wrapper->AddRef();
    g_madeGraphs.push_back(wrapper);
    wrapper->AddRef();
    const HRESULT hr = wrapper->QueryInterface(iid, object);
    wrapper->Release();
    return hr;
}

// Replaces the graph manager's class for the whole program, keeping enough
// real graph managers for every test; the ones left over are released at the end.
class ReplacedGraphClass : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        for (int i = 0; i < kGraphs; ++i) {
            IGraphBuilder* real = nullptr;
            ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IGraphBuilder, reinterpret_cast<void**>(&real)),
                      S_OK);
            g_realGraphs.push_back(real);
        }
        ASSERT_EQ(CoRegisterClassFunction(CLSID_FilterGraph, &CreateWrappedGraph), S_OK);
    }
    void TearDown() override {
        for (IGraphBuilder* real : g_realGraphs) {
            real->Release();
        }
        g_realGraphs.clear();
        CoUninitialize();
    }

private:
    static constexpr int kGraphs = 3;
};

[[maybe_unused]] ::testing::Environment* const g_replacedGraphClass =
    ::testing::AddGlobalTestEnvironment(new ReplacedGraphClass);

// Whether the running object table lists `graph` under the encoder's name for it.
bool IsListed(IGraphBuilder* graph) {
    WCHAR name[128] = {};
    FormatGraphName(graph, GetCurrentProcessId(), name, 128);
    IRunningObjectTable* table = nullptr;
    IMoniker* moniker = nullptr;
    if (FAILED(GetRunningObjectTable(0, &table))) {
        return false;
    }
    bool listed = false;
    if (SUCCEEDED(CreateItemMoniker(u"!", name, &moniker))) {
        listed = table->IsRunning(moniker) == S_OK;
        moniker->Release();
    }
    table->Release();
    return listed;
}

TEST(StartFailureTest, AGraphThatFailedToRunTakesNoAudioAndLeavesNoFile) {
    RegisteredComponentModule module;
    TemporaryFolder folder;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    WrappedGraph::refuseRun = true;
    std::thread([] {}).join(); // a sanitizer's own thread starts before counting
    const int threadsBefore = ThreadCount();

    IWMProfile* profile = nullptr;
    {
        WMAPresetLoader loader;
        ASSERT_EQ(loader.LoadPresetProfile(2, &profile), S_OK);
    }
    const std::u16string path = folder.WideFile("never.wma");
    const WAVEFORMATEX format = StereoPcmFormat();
    RunBounded([&] {
        DShowWMAEncoder encoder;
        try {
            ASSERT_EQ(encoder.Configure(&format, path.c_str(), profile, 44100), S_OK);
        } catch (const CWMAException& error) {
            FAIL() << error.Description();
        }
        EXPECT_EQ(encoder.Start(), E_ACCESSDENIED);
        EXPECT_EQ(WrappedGraph::runsRefused.load(), 1);
        // Three blocks would fill the queue and wait for ever on a graph that never ran.
        EXPECT_EQ(PushTone(encoder, 3, 4410), VFW_E_WRONG_STATE);
        EXPECT_EQ(encoder.Finish(), VFW_E_WRONG_STATE);
    });
    profile->Release();
    ReleaseMadeGraphs();
    EXPECT_TRUE(ThreadsBackTo(threadsBefore)) << ThreadCount();
    EXPECT_TRUE(folder.Entries().empty());
    CoUninitialize();
}

TEST(GraphRegistrationTest, OnlyTheGraphTheEncoderHoldsIsListed) {
    RegisteredComponentModule module;
    TemporaryFolder folder;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    WrappedGraph::refuseRun = false;
    const std::u16string first = folder.WideFile("first.wma");
    const std::u16string second = folder.WideFile("second.wma");
    const WAVEFORMATEX format = StereoPcmFormat();
    RunBounded([&] {
        DShowWMAEncoder encoder;
        ASSERT_EQ(encoder.Configure(&format, first.c_str(), nullptr, 44100), S_OK);
        ASSERT_EQ(g_madeGraphs.size(), 1u);
        EXPECT_TRUE(IsListed(g_madeGraphs[0]));

        // A second Configure withdraws the first graph before it builds the next.
        ASSERT_EQ(encoder.Configure(&format, second.c_str(), nullptr, 44100), S_OK);
        ASSERT_EQ(g_madeGraphs.size(), 2u);
        EXPECT_FALSE(IsListed(g_madeGraphs[0]));
        EXPECT_TRUE(IsListed(g_madeGraphs[1]));

        ASSERT_EQ(encoder.Start(), S_OK);
        EXPECT_EQ(PushTone(encoder, 3, 4410), S_OK);
        EXPECT_EQ(encoder.Finish(), S_OK);
    });
    ASSERT_EQ(g_madeGraphs.size(), 2u);
    EXPECT_FALSE(IsListed(g_madeGraphs[1]));
    ReleaseMadeGraphs();
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"second.wma"});
    CoUninitialize();
}

} // namespace
