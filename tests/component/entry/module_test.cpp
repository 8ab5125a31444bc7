// The entry module linked into the test: reference counting and factory
// templates, the client object, the version record, the module-wide values
// and the component's calls on the host's services.
#include "entry/entry.h"
#include "entry/host_calls.h"
#include "entry/module_state.h"
#include "host_doubles.h"
#include "sdk/host_hooks.h"
#include "sdk/string8.h"
#include "vantrel/service.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// ---- Reference counting and factories ---------------------------------------

class CountingService : public service_base {
public:
    explicit CountingService(int* destroyed) : destroyed_(destroyed) {}
    ~CountingService() { ++*destroyed_; }
    service_base* query_service(const GUID&) override { return nullptr; }

private:
    int* destroyed_;
};

TEST(ServiceImpl, StartsAtOneAndTheLastReleaseDestroys) {
    int destroyed = 0;
    auto* service = new service_impl_t<CountingService>(&destroyed);
    EXPECT_EQ(service->add_ref(), 2);
    EXPECT_EQ(service->release(), 1);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(service->release(), 0);
    EXPECT_EQ(destroyed, 1);
}

TEST(ServiceImpl, CountsAtomicallyAcrossThreads) {
    int destroyed = 0;
    auto* service = new service_impl_t<CountingService>(&destroyed);
    auto churn = [service] {
        for (int i = 0; i < 20000; ++i) {
            service->add_ref();
            service->release();
        }
    };
    std::thread first(churn);
    std::thread second(churn);
    first.join();
    second.join();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(service->release(), 0);
    EXPECT_EQ(destroyed, 1);
}

class PlainService : public service_base {
public:
    service_base* query_service(const GUID&) override { return nullptr; }

    static constexpr GUID class_guid = {0x5, 0x5, 0x5, {5, 5, 5, 5, 5, 5, 5, 5}};
};

class StaticService : public service_base {
public:
    StaticService(const char* a, const char* b, const char* c) : a_(a), b_(b), c_(c) {}
    service_base* query_service(const GUID&) override { return nullptr; }
    std::string Joined() const { return std::string(a_) + b_ + c_; }

    static constexpr GUID class_guid = {0x9, 0x8, 0x7, {6, 5, 4, 3, 2, 1, 0, 0}};

private:
    const char *a_, *b_, *c_;
};

TEST(ServiceFactories, NewestNodeHeadsTheListUntilItIsDestroyed) {
    service_factory_base* const before = service_factory_base::list_head();
    {
        service_factory_t<PlainService, PlainService> older;
        service_factory_single_transparent_p3_t<StaticService, StaticService, const char*,
                                                const char*, const char*>
            newer("a", "b", "c");
        ASSERT_EQ(service_factory_base::list_head(), &newer);
        EXPECT_EQ(newer.get_next(), &older);
        EXPECT_EQ(older.get_next(), before);
        EXPECT_EQ(newer.get_class_guid(), StaticService::class_guid);
        EXPECT_EQ(older.get_class_guid(), PlainService::class_guid);
        service_base* made = older.create_instance();
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->release(), 0);
    }
    EXPECT_EQ(service_factory_base::list_head(), before);
}

TEST(ServiceFactories, SingleInstanceIsAlwaysTheSameAndNeverCounted) {
    service_factory_single_transparent_p3_t<StaticService, StaticService, const char*, const char*,
                                            const char*>
        factory("x", "y", "z");
    service_base* first = factory.create_instance();
    service_base* second = factory.create_instance();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, static_cast<service_base*>(&factory.get_static_instance()));
    EXPECT_EQ(first->add_ref(), 1);
    EXPECT_EQ(first->release(), 1);
    EXPECT_EQ(first->release(), 1);
    EXPECT_EQ(factory.get_static_instance().Joined(), "xyz");
}

// ---- The component's client and factory list ------------------------------------

class ComponentEntry : public ::testing::Test {
protected:
    void SetUp() override {
        SetPaths("", "");
        host.consoles.push_back(&lines);
    }
    void TearDown() override {
        EnterComponent(nullptr, nullptr);
        EXPECT_EQ(lines.references, 0);
    }

    service_factory_base* FactoryOf(const GUID& guid) {
        for (service_factory_base* node = ComponentClient()->get_factory_list(); node != nullptr;
             node = node->get_next()) {
            if (node->get_class_guid() == guid)
                return node;
        }
        return nullptr;
    }

    HostDouble host;
    ConsoleDouble lines;
};

TEST_F(ComponentEntry, EntryStoresTheHostAndInstanceAndAnswersTheOneClient) {
    auto* instance = reinterpret_cast<HINSTANCE>(0x1000);
    component_client* client = EnterComponent(&host, instance);
    EXPECT_EQ(client, ComponentClient());
    EXPECT_EQ(HostApi(), &host);
    EXPECT_EQ(ModuleInstance(), instance);

    HostDouble other;
    EXPECT_EQ(EnterComponent(&other, nullptr), client);
    EXPECT_EQ(HostApi(), &other);
    EXPECT_EQ(ModuleInstance(), nullptr);
}

TEST_F(ComponentEntry, ListsTheVersionRecordBeforeTheDiskWriter) {
    component_client* client = EnterComponent(&host, nullptr);
    EXPECT_EQ(client->get_interface_version(), 35);
    service_factory_base* first = client->get_factory_list();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->get_next(), nullptr);
    EXPECT_EQ(first->get_class_guid(), componentversion::class_guid);
    EXPECT_EQ(first->get_next()->get_class_guid(), diskwriter::class_guid);
    EXPECT_EQ(first->get_next()->get_next(), nullptr);
}

TEST_F(ComponentEntry, VersionRecordAnswersItsTexts) {
    service_base* made = FactoryOf(componentversion::class_guid)->create_instance();
    ASSERT_NE(made, nullptr);
    auto* record = static_cast<componentversion*>(made);
    string8 text("previous");
    record->report_component_name(text);
    EXPECT_STREQ(text.text(), "WMA Encoder");
    record->report_component_version(text);
    EXPECT_STREQ(text.text(), "1.2");
    record->report_file_path(text);
    EXPECT_STREQ(text.text(), "");
    SetPaths("/opt/vantrel", "/opt/vantrel/components/ostrel.so");
    record->report_file_path(text);
    EXPECT_STREQ(text.text(), "/opt/vantrel/components/ostrel.so");
    EXPECT_EQ(record->query_service(componentversion::class_guid), nullptr);
    EXPECT_EQ(record->add_ref(), 1);
    EXPECT_EQ(record->release(), 1);
    EXPECT_EQ(FactoryOf(componentversion::class_guid)->create_instance(), made);
}

TEST_F(ComponentEntry, ClientStoresThePaths) {
    component_client* client = EnterComponent(&host, nullptr);
    client->set_paths("/usr/bin/vantrel", "/lib/ostrel.so");
    EXPECT_STREQ(HostPath(), "/usr/bin/vantrel");
    EXPECT_STREQ(ComponentFilePath(), "/lib/ostrel.so");
    client->set_paths(nullptr, nullptr);
    EXPECT_STREQ(ComponentFilePath(), "");
}

TEST_F(ComponentEntry, SettingsAtClientLevelAreNeitherWrittenNorRead) {
    component_client* client = EnterComponent(&host, nullptr);
    client->set_paths("h", "c");
    service_factory_base* list = client->get_factory_list();
    ByteSinkDouble sink;
    client->save_settings(sink);
    EXPECT_EQ(sink.writes, 0);
    const unsigned char shortBlock[3] = {1, 2, 3};
    client->load_settings(shortBlock, sizeof shortBlock);
    client->load_settings(nullptr, 0);
    const unsigned char longBlock[12] = {9, 0, 0, 0, 4, 0, 0, 0, 'a', 'b', 'c', 'd'};
    client->load_settings(longBlock, sizeof longBlock);
    client->no_op_hook();
    EXPECT_EQ(client->get_interface_version(), 35);
    EXPECT_EQ(client->get_factory_list(), list);
    EXPECT_STREQ(ComponentFilePath(), "c");
    EXPECT_STREQ(HostPath(), "h");
    EXPECT_EQ(HostApi(), &host);
}

TEST_F(ComponentEntry, DiskWriterInstancesAreDistinctAndCounted) {
    service_factory_base* factory = FactoryOf(diskwriter::class_guid);
    ASSERT_NE(factory, nullptr);
    service_base* first = factory->create_instance();
    service_base* second = factory->create_instance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);

    EXPECT_EQ(first->query_service(componentversion::class_guid), nullptr);
    EXPECT_EQ(first->add_ref(), 2) << "a failed query must not change the count";
    EXPECT_EQ(first->query_service(diskwriter::class_guid), first);
    EXPECT_EQ(first->release(), 2);
    EXPECT_EQ(first->release(), 1);
    EXPECT_EQ(first->release(), 0);
    EXPECT_EQ(second->release(), 0);
}

// ---- Calls on the host ------------------------------------------------------------

TEST_F(ComponentEntry, ConsoleLinesCarryTheComponentPathAndGiveTheConsoleBack) {
    EnterComponent(&host, nullptr);
    SetPaths("host", "/components/ostrel.so");
    ConsolePrint(console::severity_error, "Encoding failed");
    ConsolePrint(console::severity_information, nullptr);
    ASSERT_EQ(lines.Lines().size(), 2u);
    EXPECT_EQ(lines.Lines()[0].severity, 3);
    EXPECT_EQ(lines.Lines()[0].text, "Encoding failed");
    EXPECT_EQ(lines.Lines()[0].source, "/components/ostrel.so");
    EXPECT_EQ(lines.Lines()[1].severity, 1);
    EXPECT_EQ(lines.Lines()[1].text, "");
    EXPECT_EQ(lines.references, 0);
}

TEST_F(ComponentEntry, SupportLibraryLinesReachTheHostConsole) {
    EnterComponent(&host, nullptr);
    SetPaths("host", "/components/ostrel.so");
    sdk_host::console_print(sdk_host::severity_information, "one or more bad chunks");
    ASSERT_EQ(lines.Lines().size(), 1u);
    EXPECT_EQ(lines.Lines()[0].text, "one or more bad chunks");
    EXPECT_EQ(lines.Lines()[0].source, "/components/ostrel.so");
}

TEST_F(ComponentEntry, WithoutAHostNothingIsCalled) {
    ConsolePrint(console::severity_error, "lost");
    EXPECT_FALSE(HostFileExists("/a"));
    EXPECT_EQ(HostOpenFileForReading("/a"), nullptr);
    EXPECT_TRUE(lines.Lines().empty());
}

class HostFiles : public ComponentEntry {
protected:
    void SetUp() override {
        ComponentEntry::SetUp();
        // The first file system neither understands nor owns anything; the
        // second canonicalizes; the third owns the canonical paths.
        canonicalizer.canonicalPrefix = "file://";
        owner.ownedPrefix = "file://";
        owner.existing.insert("file:///music/a.wma");
        owner.file = &file;
        host.fileSystems = {&bystander, &canonicalizer, &owner};
        EnterComponent(&host, nullptr);
    }
    void TearDown() override {
        for (const FileSystemDouble* system : {&bystander, &canonicalizer, &owner})
            EXPECT_EQ(system->references, 0);
        ComponentEntry::TearDown();
    }

    FileSystemDouble bystander, canonicalizer, owner;
    FileDouble file;
};

TEST_F(HostFiles, ExistenceIsAskedOfTheOwnerOfTheCanonicalPath) {
    EXPECT_TRUE(HostFileExists("/music/a.wma"));
    EXPECT_FALSE(HostFileExists("/music/b.wma"));
    EXPECT_EQ(owner.asked,
              (std::vector<std::string>{"file:///music/a.wma", "file:///music/b.wma"}));
    EXPECT_TRUE(bystander.asked.empty());
}

TEST_F(HostFiles, APathNobodyOwnsDoesNotExist) {
    owner.ownedPrefix = "other://";
    EXPECT_FALSE(HostFileExists("/music/a.wma"));
    EXPECT_TRUE(owner.asked.empty());
}

TEST_F(HostFiles, APathIsUsedAsItIsWhenNobodyCanonicalizesIt) {
    canonicalizer.canonicalPrefix.clear();
    owner.ownedPrefix = "/music/";
    owner.existing = {"/music/a.wma"};
    EXPECT_TRUE(HostFileExists("/music/a.wma"));
}

TEST_F(HostFiles, OpensForReadingThroughTheOwner) {
    file_object* opened = HostOpenFileForReading("/music/a.prx");
    ASSERT_EQ(opened, &file);
    EXPECT_EQ(owner.created, std::vector<std::string>{"file:///music/a.prx"});
    EXPECT_EQ(file.opened, std::vector<std::string>{"file:///music/a.prx"});
    EXPECT_EQ(file.lastMode, file_object::mode_read);
    EXPECT_EQ(file.references, 1);
    opened->release();
}

TEST_F(HostFiles, AFileThatCannotBeOpenedIsGivenBack) {
    file.opens = false;
    EXPECT_EQ(HostOpenFileForReading("/music/a.prx"), nullptr);
    EXPECT_EQ(file.references, 0);
    owner.file = nullptr;
    EXPECT_EQ(HostOpenFileForReading("/music/a.prx"), nullptr);
}

} // namespace
