// Apartments, the class registry, task memory, monikers and the running object table.
#include "platform/com.h"
#include "platform/win32_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

constexpr DWORD kBoundedWait = 10000;

// Runs `body` on a fresh thread, which starts without COM.
template <typename Body> void OnNewThread(Body body) {
    HANDLE thread = CreateThread(
        nullptr, 0, [](void* p) -> DWORD { return (*static_cast<Body*>(p))(); }, &body, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, kBoundedWait), WAIT_OBJECT_0);
    CloseHandle(thread);
}

// ---- Apartments ------------------------------------------------------------------

TEST(Apartment, InitialisationIsCountedPerThread) {
    OnNewThread([]() -> DWORD {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        // Another thread starts from nothing.
        HRESULT other = E_FAIL;
        HANDLE inner = CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                *static_cast<HRESULT*>(p) = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
                CoUninitialize();
                return 0;
            },
            &other, 0, nullptr);
        WaitForSingleObject(inner, kBoundedWait);
        CloseHandle(inner);
        EXPECT_EQ(other, S_OK);
        CoUninitialize();
        CoUninitialize();
        // Fully undone: the next initialisation is the first again.
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
        return 0;
    });
}

TEST(Apartment, AConflictingKindIsRefusedAndNotCounted) {
    OnNewThread([]() -> DWORD {
        EXPECT_EQ(CoInitialize(nullptr), S_OK); // apartment-threaded
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        // Had the refused call been counted, COM would still be up here.
        void* object = nullptr;
        const CLSID anyClass = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
        EXPECT_EQ(CoCreateInstance(anyClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
                  CO_E_NOTINITIALIZED);
        return 0;
    });
}

TEST(Apartment, DisablingOle1DdeStillMeansMultithreaded) {
    OnNewThread([]() -> DWORD {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED | 0x4), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
        return 0;
    });
}

TEST(Apartment, CoInitializeExFoundThroughTheComModuleBehavesTheSame) {
    HMODULE ole = GetModuleHandleA("OLE32.DLL");
    ASSERT_NE(ole, nullptr);
    EXPECT_EQ(GetModuleHandleA("ole32.dll"), ole);
    EXPECT_EQ(GetProcAddress(ole, "NoSuchFunction"), nullptr);
    using CoInitializeExFunction = HRESULT (*)(LPVOID, DWORD);
    const auto init =
        reinterpret_cast<CoInitializeExFunction>(GetProcAddress(ole, "CoInitializeEx"));
    const auto uninit = reinterpret_cast<void (*)()>(GetProcAddress(ole, "CoUninitialize"));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(uninit, nullptr);
    EXPECT_NE(GetProcAddress(ole, "CoInitialize"), nullptr);
    struct Calls {
        CoInitializeExFunction init;
        void (*uninit)();
    } calls{init, uninit};
    OnNewThread([calls]() -> DWORD {
        EXPECT_EQ(calls.init(nullptr, 4), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(calls.init(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        calls.uninit();
        calls.uninit();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
        return 0;
    });
}

// ---- A countable test object -------------------------------------------------------

constexpr IID kTestInterface = {0x1D0B3A52, 0x71C4, 0x4E0B, {1, 2, 3, 4, 5, 6, 7, 8}};

class Counted final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == kTestInterface) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    std::atomic<ULONG> references{1};
};

// ---- Class registry -----------------------------------------------------------------

constexpr CLSID kTestClass = {0x5E7A0C11, 0x2B3D, 0x4F60, {9, 8, 7, 6, 5, 4, 3, 2}};
constexpr CLSID kUnknownClass = {0x5E7A0C12, 0x2B3D, 0x4F60, {9, 8, 7, 6, 5, 4, 3, 2}};
Counted created;

HRESULT CreateTestObject(IUnknown* outer, REFIID iid, void** object) {
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return created.QueryInterface(iid, object);
}

struct ComOnThisThread {
    ComOnThisThread() { EXPECT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    ~ComOnThisThread() { CoUninitialize(); }
};

TEST(ClassRegistry, CreatesRegisteredClassesAndRefusesOthers) {
    ComOnThisThread com;
    ASSERT_EQ(CoRegisterClassFunction(kTestClass, &CreateTestObject), S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, kTestInterface, nullptr),
              E_POINTER);

    const ULONG before = created.references;
    ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, kTestInterface, &object),
              S_OK);
    EXPECT_EQ(object, &created);
    EXPECT_EQ(created.references, before + 1);
    created.Release();

    // Aggregation asks for the inner unknown; anything else is refused up front.
    Counted outer;
    EXPECT_EQ(CoCreateInstance(kTestClass, &outer, CLSCTX_INPROC_SERVER, kTestInterface, &object),
              CLASS_E_NOAGGREGATION);

    ASSERT_EQ(CoRegisterClassFunction(kTestClass, nullptr), S_OK);
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, kTestInterface, &object),
              REGDB_E_CLASSNOTREG);
}

TEST(ClassRegistry, NeedsComOnTheCallingThread) {
    ASSERT_EQ(CoRegisterClassFunction(kTestClass, &CreateTestObject), S_OK);
    OnNewThread([]() -> DWORD {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(
            CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, kTestInterface, &object),
            CO_E_NOTINITIALIZED);
        EXPECT_EQ(object, nullptr);
        return 0;
    });
    CoRegisterClassFunction(kTestClass, nullptr);
}

// ---- Task memory ---------------------------------------------------------------------

TEST(TaskMemory, AllocatesGrowsAndFrees) {
    auto* block = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abc", 4);
    block = static_cast<char*>(CoTaskMemRealloc(block, 4096));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr); // frees
    CoTaskMemFree(nullptr);
    void* fresh = CoTaskMemRealloc(nullptr, 8);
    EXPECT_NE(fresh, nullptr);
    CoTaskMemFree(fresh);
}

// ---- Monikers and the running object table --------------------------------------------

std::u16string DisplayName(IMoniker* moniker) {
    LPOLESTR text = nullptr;
    EXPECT_EQ(moniker->GetDisplayName(nullptr, nullptr, &text), S_OK);
    std::u16string name = text ? text : u"";
    CoTaskMemFree(text);
    return name;
}

TEST(ItemMoniker, DisplayNameEqualityAndHash) {
    IMoniker* a = nullptr;
    IMoniker* b = nullptr;
    IMoniker* c = nullptr;
    ASSERT_EQ(CreateItemMoniker(u"!", u"FilterGraph 1", &a), S_OK);
    ASSERT_EQ(CreateItemMoniker(u"!", u"FilterGraph 1", &b), S_OK);
    ASSERT_EQ(CreateItemMoniker(u"!", u"FilterGraph 2", &c), S_OK);
    EXPECT_EQ(DisplayName(a), u"!FilterGraph 1");
    EXPECT_EQ(a->IsEqual(b), S_OK);
    EXPECT_EQ(a->IsEqual(c), S_FALSE);
    DWORD hashA = 0, hashB = 1;
    a->Hash(&hashA);
    b->Hash(&hashB);
    EXPECT_EQ(hashA, hashB);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    IMoniker* again = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IMoniker, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, a);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(a->QueryInterface(kTestInterface, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(again->Release(), 2u);
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(a->Release(), 0u);
    b->Release();
    c->Release();
    EXPECT_EQ(CreateItemMoniker(u"!", u"x", nullptr), E_POINTER);
}

IRunningObjectTable* Table() {
    IRunningObjectTable* table = nullptr;
    EXPECT_EQ(GetRunningObjectTable(0, &table), S_OK);
    return table;
}

IMoniker* Item(const char16_t* item) {
    IMoniker* moniker = nullptr;
    EXPECT_EQ(CreateItemMoniker(u"!", item, &moniker), S_OK);
    return moniker;
}

// The process's table, an object that counts its references and a name of
// the test's own.
class RunningObjectTable : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        nameText = std::u16string(test.begin(), test.end());
        name = Item(nameText.c_str());
    }
    void TearDown() override {
        if (name != nullptr)
            name->Release();
        table->Release();
    }

    IRunningObjectTable* table = Table();
    Counted object;
    std::u16string nameText;
    IMoniker* name = nullptr;
};

TEST_F(RunningObjectTable, IsOneProcessWideTable) {
    IRunningObjectTable* again = Table();
    EXPECT_EQ(again, table);
    again->Release();
}

TEST_F(RunningObjectTable, KeepAliveRegistrationHoldsAReferenceUntilRevoked) {
    DWORD token = 0;
    ASSERT_EQ(table->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, &object, name, &token), S_OK);
    EXPECT_NE(token, 0u);
    EXPECT_EQ(object.references, 2u);
    name->Release(); // the table keeps its own reference to the moniker
    name = nullptr;

    IMoniker* lookup = Item(nameText.c_str());
    EXPECT_EQ(table->IsRunning(lookup), S_OK);
    IUnknown* found = nullptr;
    ASSERT_EQ(table->GetObject(lookup, &found), S_OK);
    EXPECT_EQ(found, &object);
    EXPECT_EQ(object.references, 3u);
    found->Release();

    ASSERT_EQ(table->Revoke(token), S_OK);
    EXPECT_EQ(object.references, 1u);
    EXPECT_EQ(table->IsRunning(lookup), S_FALSE);
    EXPECT_EQ(table->GetObject(lookup, &found), MK_E_UNAVAILABLE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(table->Revoke(token), E_INVALIDARG);
    lookup->Release();
}

TEST_F(RunningObjectTable, PlainRegistrationKeepsNoReference) {
    DWORD first = 0, second = 0;
    ASSERT_EQ(table->Register(0, &object, name, &first), S_OK);
    EXPECT_EQ(object.references, 1u);
    // The same name again is registered too, with its own token.
    EXPECT_EQ(table->Register(0, &object, name, &second), MK_S_MONIKERALREADYREGISTERED);
    EXPECT_NE(first, second);
    EXPECT_EQ(table->Revoke(first), S_OK);
    EXPECT_EQ(table->IsRunning(name), S_OK);
    EXPECT_EQ(table->Revoke(second), S_OK);
    EXPECT_EQ(table->IsRunning(name), S_FALSE);
    EXPECT_EQ(object.references, 1u);
}

TEST_F(RunningObjectTable, RefusesMissingArguments) {
    DWORD token = 7;
    EXPECT_EQ(table->Register(0, nullptr, name, &token), E_INVALIDARG);
    EXPECT_EQ(table->Register(0, &object, nullptr, &token), E_INVALIDARG);
    EXPECT_EQ(table->Register(0, &object, name, nullptr), E_INVALIDARG);
    EXPECT_EQ(table->Revoke(0), E_INVALIDARG);
    EXPECT_EQ(table->GetObject(name, nullptr), E_POINTER);
    EXPECT_EQ(GetRunningObjectTable(0, nullptr), E_POINTER);
}

DWORD RegisterAndRevokeMany(void* parameter) {
    auto* object = static_cast<Counted*>(parameter);
    IRunningObjectTable* table = nullptr;
    if (FAILED(GetRunningObjectTable(0, &table)))
        return 1;
    IMoniker* name = nullptr;
    CreateItemMoniker(u"!", u"Shared", &name);
    DWORD failures = 0;
    for (int i = 0; i < 200; ++i) {
        DWORD token = 0;
        if (FAILED(table->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, object, name, &token)))
            ++failures;
        if (table->IsRunning(name) != S_OK)
            ++failures;
        if (table->Revoke(token) != S_OK)
            ++failures;
    }
    name->Release();
    table->Release();
    return failures;
}

TEST_F(RunningObjectTable, IsSafeToUseFromSeveralThreads) {
    HANDLE threads[3];
    for (HANDLE& thread : threads)
        thread = CreateThread(nullptr, 0, &RegisterAndRevokeMany, &object, 0, nullptr);
    for (HANDLE thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread, kBoundedWait), WAIT_OBJECT_0);
        DWORD failures = 99;
        GetExitCodeThread(thread, &failures);
        EXPECT_EQ(failures, 0u);
        CloseHandle(thread);
    }
    EXPECT_EQ(object.references, 1u);
}

} // namespace
