// The disk writer's configuration slots and the description of its choice.
#include "diskwriter/host_name_comparer.h"
#include "sdk/host_hooks.h"
#include "vantrel/utf8api.h"
#include "writer_fixture.h"

#include <cstring>

namespace {

using namespace diskwriter_test;

class SettingsTest : public DiskWriterTest {
protected:
    bool Set(const std::vector<unsigned char>& block) {
        return writer->set_config(block.data(), static_cast<std::uint32_t>(block.size()));
    }
    std::string Description() {
        string8 out("old");
        EXPECT_TRUE(writer->get_config_description(out));
        return out.text();
    }
    std::vector<unsigned char> Stored() {
        RecordingSink sink;
        writer->get_config(sink);
        EXPECT_EQ(sink.writes.size(), 3u);
        return sink.Bytes();
    }
};

TEST_F(SettingsTest, ANewWriterSelectsTheFirstPresetWithoutCustomText) {
    EXPECT_EQ(writer->selected_preset(), 0);
    EXPECT_EQ(Description(), "44kHz Stereo CBR 32kbps");
    EXPECT_EQ(Stored(), (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SettingsTest, TheDefaultBlockSelectsTheSixtyFourKilobitPreset) {
    RecordingSink sink;
    writer->get_default_config(12345, sink);
    EXPECT_EQ(sink.Bytes(), (std::vector<unsigned char>{2, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(sink.writes.size(), 3u);
    EXPECT_EQ(sink.writes[2].size(), 0u);

    ASSERT_TRUE(Set(ConfigBlock(9, "<profile name=\"x\"/>")));
    EXPECT_TRUE(Set(sink.Bytes()));
    EXPECT_EQ(writer->selected_preset(), 2);
    EXPECT_STREQ(writer->custom_profile().text(), "");
    EXPECT_EQ(Description(), "44kHz Stereo CBR 64kbps");
}

TEST_F(SettingsTest, AFourByteBlockSetsTheIndexAndReportsFailure) {
    ASSERT_TRUE(Set(ConfigBlock(9, "kept text")));
    const unsigned char block[4] = {5, 0, 0, 0};
    EXPECT_FALSE(writer->set_config(block, 4));
    EXPECT_EQ(writer->selected_preset(), 5);
    EXPECT_STREQ(writer->custom_profile().text(), "kept text");
}

TEST_F(SettingsTest, ACutBlockKeepsTheTextButTakesTheIndex) {
    ASSERT_TRUE(Set(ConfigBlock(1, "kept text")));
    auto block = ConfigBlock(7, "new text");
    block.resize(block.size() - 3);
    EXPECT_FALSE(Set(block));
    EXPECT_EQ(writer->selected_preset(), 7);
    EXPECT_STREQ(writer->custom_profile().text(), "kept text");
    EXPECT_FALSE(writer->set_config(block.data(), 2));
    EXPECT_EQ(writer->selected_preset(), 7);
}

TEST_F(SettingsTest, ACustomBlockOf708BytesRoundTrips) {
    std::string text = "<profile name=\"Seven hundred\">";
    text.resize(700, 'z');
    const auto block = ConfigBlock(9, text);
    ASSERT_EQ(block.size(), 708u);
    ASSERT_TRUE(Set(block));
    EXPECT_EQ(Stored(), block);
}

TEST_F(SettingsTest, DescriptionsNameThePresetOrTheCustomProfile) {
    ASSERT_TRUE(Set(ConfigBlock(5, "")));
    EXPECT_EQ(Description(), "44kHz Stereo CBR 128kbps");
    ASSERT_TRUE(Set(ConfigBlock(8, "")));
    EXPECT_EQ(Description(), "44kHz Stereo Lossless");
    ASSERT_TRUE(
        Set(ConfigBlock(9, "<profile version=\"589824\" name=\"My profile\" description=\"\">")));
    EXPECT_EQ(Description(), "Custom Profile - My profile");
    ASSERT_TRUE(Set(ConfigBlock(9, "")));
    EXPECT_EQ(Description(), "Custom Profile");
    ASSERT_TRUE(Set(ConfigBlock(9, "<profile version=\"589824\">")));
    EXPECT_EQ(Description(), "Custom Profile");
}

TEST_F(SettingsTest, ANameBeyondByte255IsNotShown) {
    const std::string text = "<profile" + std::string(260, ' ') + "name=\"Far away\">";
    ASSERT_TRUE(Set(ConfigBlock(9, text)));
    EXPECT_EQ(Description(), "Custom Profile");
}

TEST_F(SettingsTest, AnIndexNamingNoPresetIsDescribedWithoutFailing) {
    ASSERT_TRUE(Set(ConfigBlock(12, "")));
    EXPECT_EQ(Description(), "Unknown preset 12");
    ASSERT_TRUE(Set(ConfigBlock(-1, "")));
    EXPECT_EQ(Description(), "Unknown preset -1");
    EXPECT_EQ(Stored(), ConfigBlock(-1, "")) << "the stored index is kept as it came";
}

} // namespace

namespace {

int ExactComparison(const char* a, const char* b) {
    return std::strcmp(a, b);
}

TEST(HostNameComparer, AWriterMakesTheSupportLibraryUseTheHostsComparison) {
    diskwriter_test::RegisterComponentModule();
    auto* first = new service_impl_t<diskwriter_wma>();
    first->release();
    EXPECT_EQ(sdk_host::set_name_comparer(&ExactComparison), &stricmp_utf8);
    // Installed once per process: later writers leave the comparison alone.
    auto* second = new service_impl_t<diskwriter_wma>();
    second->release();
    InstallHostNameComparer();
    EXPECT_EQ(sdk_host::set_name_comparer(&stricmp_utf8), &ExactComparison);
}

} // namespace
