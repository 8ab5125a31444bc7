// The graph's entry in the running object table and the filter and pin helpers.
#include "encoder/graph_helpers.h"
#include "platform/win32_api.h"
#include "platform/wmsdk.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class CountedObject final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }

    std::atomic<ULONG> references{1};
};

class ComThread : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

TEST(GraphNameTest, NamesThePointerAndTheProcessInHexadecimal) {
    WCHAR name[128] = {};
    FormatGraphName(reinterpret_cast<const IUnknown*>(std::uintptr_t{0x1234}), 0xAB, name, 128);
    EXPECT_EQ(std::u16string(name), u"FilterGraph 00001234 pid 000000ab - DShowWMAEncoder");
    WCHAR small[12] = {};
    FormatGraphName(nullptr, 1, small, 12);
    EXPECT_EQ(std::u16string(small), u"FilterGraph");
}

using RunningObjectTableTest = ComThread;

TEST_F(RunningObjectTableTest, PublishedGraphIsFoundUnderItsNameAndKeptAlive) {
    CountedObject graph;
    DWORD token = 0;
    ASSERT_EQ(PublishGraph(&graph, &token), S_OK);
    EXPECT_NE(token, 0u);
    EXPECT_EQ(graph.references.load(), 2u); // the registration keeps it alive

    WCHAR name[128] = {};
    FormatGraphName(&graph, GetCurrentProcessId(), name, 128);
    IRunningObjectTable* table = nullptr;
    ASSERT_EQ(GetRunningObjectTable(0, &table), S_OK);
    IMoniker* moniker = nullptr;
    ASSERT_EQ(CreateItemMoniker(u"!", name, &moniker), S_OK);
    IUnknown* found = nullptr;
    ASSERT_EQ(table->GetObject(moniker, &found), S_OK);
    EXPECT_EQ(found, &graph);
    found->Release();

    UnpublishGraph(token);
    EXPECT_EQ(table->IsRunning(moniker), S_FALSE);
    EXPECT_EQ(graph.references.load(), 1u);
    moniker->Release();
    table->Release();
}

using FilterHelpersTest = ComThread;

TEST_F(FilterHelpersTest, CreateAndAddFilterHandsOverOnlyAnAddedFilter) {
    IGraphBuilder* graph = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&graph)),
              S_OK);
    IBaseFilter* filter = nullptr;
    EXPECT_EQ(CreateAndAddFilter(nullptr, CLSID_WMAsfWriter, u"W", &filter), E_POINTER);
    EXPECT_EQ(CreateAndAddFilter(graph, CLSID_WMAsfWriter, u"W", nullptr), E_POINTER);
    const CLSID unknown = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
    filter = reinterpret_cast<IBaseFilter*>(graph);
    EXPECT_EQ(CreateAndAddFilter(graph, unknown, u"X", &filter), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(filter, nullptr);

    ASSERT_EQ(CreateAndAddFilter(graph, CLSID_WMAsfWriter, u"WM Asf Writer", &filter), S_OK);
    ASSERT_NE(filter, nullptr);
    IBaseFilter* named = nullptr;
    ASSERT_EQ(graph->FindFilterByName(u"WM Asf Writer", &named), S_OK);
    EXPECT_EQ(named, filter);
    named->Release();

    IPin* pin = nullptr;
    EXPECT_EQ(FindNthPin(nullptr, PINDIR_INPUT, 0, &pin), E_POINTER);
    EXPECT_EQ(FindNthPin(filter, PINDIR_INPUT, 0, nullptr), E_POINTER);
    ASSERT_EQ(FindNthPin(filter, PINDIR_INPUT, 0, &pin), S_OK);
    ASSERT_NE(pin, nullptr);
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    pin->QueryDirection(&direction);
    EXPECT_EQ(direction, PINDIR_INPUT);
    pin->Release();
    EXPECT_EQ(FindNthPin(filter, PINDIR_INPUT, 1, &pin), S_FALSE);
    EXPECT_EQ(pin, nullptr);
    EXPECT_EQ(FindNthPin(filter, PINDIR_OUTPUT, 0, &pin), S_FALSE);
    EXPECT_EQ(pin, nullptr);

    filter->Release();
    graph->Release();
}

} // namespace
