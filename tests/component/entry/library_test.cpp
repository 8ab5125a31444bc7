// The shared library as a host meets it: loaded fresh with dlopen, reached
// through its one exported function.
#include "host_doubles.h"
#include "platform/win32_api.h"
#include "sdk/string8.h"
#include "vantrel/service.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

namespace {

std::string LibraryPath() {
    const char* bin = std::getenv("PROJECT_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/components/ostrel.so";
}

// Names of the symbols the library file defines for others to link against.
std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr))
        return names;
    const char* base = image.data();
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(base);
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(base + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM)
            continue;
        const char* strings = base + sections[sections[i].sh_link].sh_offset;
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(base + sections[i].sh_offset);
        const std::size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (std::size_t k = 1; k < count; ++k) {
            const Elf64_Sym& symbol = symbols[k];
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || binding == STB_LOCAL)
                continue;
            if (ELF64_ST_VISIBILITY(symbol.st_other) != STV_DEFAULT)
                continue;
            names.insert(strings + symbol.st_name);
        }
    }
    return names;
}

class LoadedComponent : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        entry_ =
            reinterpret_cast<component_entry_point>(dlsym(library_, component_entry_point_name));
        ASSERT_NE(entry_, nullptr) << dlerror();
        client_ = entry_(&host_, reinterpret_cast<HINSTANCE>(0x4000));
        ASSERT_NE(client_, nullptr);
    }
    void TearDown() override {
        if (library_ != nullptr)
            dlclose(library_);
    }

    componentversion* VersionRecord() {
        service_factory_base* head = client_->get_factory_list();
        return head != nullptr ? static_cast<componentversion*>(head->create_instance()) : nullptr;
    }

    void* library_ = nullptr;
    component_entry_point entry_ = nullptr;
    component_client* client_ = nullptr;
    HostDouble host_;
};

TEST_F(LoadedComponent, AnswersInterfaceVersion35AndTheSameClientEveryTime) {
    EXPECT_EQ(client_->get_interface_version(), 35);
    HostDouble other;
    EXPECT_EQ(entry_(&other, nullptr), client_);
}

TEST_F(LoadedComponent, ListsExactlyTheVersionRecordThenTheDiskWriter) {
    service_factory_base* first = client_->get_factory_list();
    ASSERT_NE(first, nullptr);
    service_factory_base* second = first->get_next();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->get_next(), nullptr);

    char text[kGuidTextLength + 1];
    GuidToString(first->get_class_guid(), text);
    EXPECT_STREQ(text, "{10BB3EBD-DDF7-4975-A3CC-23084829453E}");
    GuidToString(second->get_class_guid(), text);
    EXPECT_STREQ(text, "{2DEB68AB-49ED-460A-BFC0-4936AD39BA4F}");
}

TEST_F(LoadedComponent, VersionRecordNamesTheComponent) {
    componentversion* record = VersionRecord();
    ASSERT_NE(record, nullptr);
    string8 text;
    record->report_component_name(text);
    EXPECT_STREQ(text.text(), "WMA Encoder");
    record->report_component_version(text);
    EXPECT_STREQ(text.text(), "1.2");
    record->report_about_text(text);
    const std::regex about("[^\n]+\nBuild Date:(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                           "[ 1-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]");
    EXPECT_TRUE(std::regex_match(text.text(), about)) << text.text();
}

TEST_F(LoadedComponent, FilePathIsEmptyUntilTheHostNamesIt) {
    componentversion* record = VersionRecord();
    ASSERT_NE(record, nullptr);
    string8 text("stale");
    record->report_file_path(text);
    EXPECT_STREQ(text.text(), "");
    client_->set_paths("/usr/bin/vantrel", "/usr/lib/vantrel/components/ostrel.so");
    record->report_file_path(text);
    EXPECT_STREQ(text.text(), "/usr/lib/vantrel/components/ostrel.so");
}

TEST_F(LoadedComponent, VersionRecordIsStaticAndUncounted) {
    componentversion* record = VersionRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->add_ref(), 1);
    EXPECT_EQ(record->release(), 1);
    EXPECT_EQ(record->release(), 1);
    EXPECT_EQ(VersionRecord(), record);
}

TEST_F(LoadedComponent, LoadSettingsChangesNothing) {
    client_->set_paths("a", "b");
    service_factory_base* list = client_->get_factory_list();
    const unsigned char block[2] = {0xFF, 0xFF};
    client_->load_settings(block, sizeof block);
    client_->load_settings(nullptr, 0);
    EXPECT_EQ(client_->get_interface_version(), 35);
    EXPECT_EQ(client_->get_factory_list(), list);
    string8 text;
    VersionRecord()->report_file_path(text);
    EXPECT_STREQ(text.text(), "b");
}

TEST_F(LoadedComponent, RegistersItsModuleWithThePlatform) {
    EXPECT_NE(GetModuleHandleA("ostrel"), nullptr);
}

TEST(ComponentLibrary, DefinesNoDynamicSymbolButTheEntryPoint) {
    EXPECT_EQ(DefinedDynamicSymbols(LibraryPath()), std::set<std::string>{"vantrel_get_interface"});
}

TEST_F(LoadedComponent, HidesItsInternalNames) {
    const char* hidden[] = {
        "_Z14EnterComponentP8host_apiP11HINSTANCE__",
        "_Z15ComponentClientv",
        "_Z7HostApiv",
        "_Z10SetHostApiP8host_api",
        "_Z17ComponentFilePathv",
        "_Z12ConsolePrintiPKc",
        "_Z14HostFileExistsPKc",
        "_Z18ComponentResourcesv",
        "ResultCodeTable",
        "_ZN13CWMAException10FormatWhatEv",
        "_Z16LookupResultCodeiPNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE",
        "_ZN20service_factory_base5head_E",
        "_ZTV14diskwriter_wma",
        "_ZTV18component_client_i",
    };
    for (const char* name : hidden)
        EXPECT_EQ(dlsym(library_, name), nullptr) << name;
}

} // namespace
