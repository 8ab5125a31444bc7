// A graph that fails to run: the graph manager's class is replaced, for this
// program only, by a wrapper around a real graph manager whose Run fails.
// Nothing may then wait for the graph, and no file may appear.
#include "chain_test_support.h"
#include "encoder/dshow_wma_encoder.h"
#include "errors/wma_exception.h"
#include "profiles/wma_preset_loader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Forwards everything to a real graph manager, except that its media control
// refuses to run the graph.
class RunRefusingGraph final : public IGraphBuilder, public IMediaControl {
public:
    explicit RunRefusingGraph(IGraphBuilder* real) : real_(real) {
        real_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_));
    }
    ~RunRefusingGraph() {
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

    static std::atomic<int> runsRefused;

private:
    IGraphBuilder* real_;
    IMediaControl* control_ = nullptr;
    std::atomic<ULONG> references_{0};
};

std::atomic<int> RunRefusingGraph::runsRefused{0};

// The real graph manager made before the class was replaced, for the next wrapper.
IGraphBuilder* g_realGraph = nullptr;

HRESULT CreateWrappedGraph(IUnknown* outer, REFIID iid, void** object) {
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if (g_realGraph == nullptr) {
        return E_OUTOFMEMORY;
    }
    auto* wrapper = new RunRefusingGraph(g_realGraph);
    g_realGraph = nullptr;
    wrapper->AddRef();
    const HRESULT hr = wrapper->QueryInterface(iid, object);
    wrapper->Release();
    return hr;
}

TEST(StartFailureTest, AGraphThatFailedToRunTakesNoAudioAndLeavesNoFile) {
    RegisteredComponentModule module;
    TemporaryFolder folder;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&g_realGraph)),
              S_OK);
    ASSERT_EQ(CoRegisterClassFunction(CLSID_FilterGraph, &CreateWrappedGraph), S_OK);
    std::thread([] {}).join(); // a sanitizer's own thread starts before counting
    const int threadsBefore = ThreadCount();

    IWMProfile* profile = nullptr;
    {
        WMAPresetLoader loader;
        ASSERT_EQ(loader.LoadPresetProfile(2, &profile), S_OK);
    }
    const std::u16string path = folder.WidePath("never.wma");
    const WAVEFORMATEX format = StereoPcmFormat();
    RunBounded([&] {
        DShowWMAEncoder encoder;
        try {
            ASSERT_EQ(encoder.Configure(&format, path.c_str(), profile, 44100), S_OK);
        } catch (const CWMAException& error) {
            FAIL() << error.Description();
        }
        EXPECT_EQ(encoder.Start(), E_ACCESSDENIED);
        EXPECT_EQ(RunRefusingGraph::runsRefused.load(), 1);
        // Three blocks would fill the queue and wait for ever on a graph that never ran.
        EXPECT_EQ(PushTone(encoder, 3, 4410), VFW_E_WRONG_STATE);
        EXPECT_EQ(encoder.Finish(), VFW_E_WRONG_STATE);
    });
    profile->Release();
    EXPECT_TRUE(ThreadsBackTo(threadsBefore)) << ThreadCount();
    EXPECT_TRUE(folder.Entries().empty());
    CoUninitialize();
}

} // namespace
