// The settings dialog, played by a script through the host's dialog runtime.
#include "utf8api/scripted_face.h"
#include "writer_fixture.h"

#include <fstream>

namespace {

using namespace diskwriter_test;
using utf8api::dialog_session;
using utf8api::scripted_face;

constexpr WORD kSlider = 1000;
constexpr WORD kNameLabel = 1001;
constexpr WORD kDescriptionLabel = 1003;
constexpr WORD kCustomBox = 1004;
constexpr WORD kLoadButton = 1005;

// A profile the writer encodes with: one WMA 2 stream at 64 kbps.
std::u16string UsableProfile(const std::u16string& name) {
    return u"<profile version=\"589824\" storageformat=\"1\" name=\"" + name +
           u"\">"
           u"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\""
           u" streamnumber=\"1\" bitrate=\"64024\">"
           u"<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">"
           u"<waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\""
           u" nAvgBytesPerSec=\"8003\" nBlockAlign=\"2973\" wBitsPerSample=\"16\""
           u" codecdata=\"008800000F00752E0000\"/></wmmediatype></streamconfig></profile>";
}

std::string Ascii(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

class SettingsDialogTest : public DiskWriterTest {
protected:
    SettingsDialogTest() : face(std::make_shared<scripted_face>()) {
        utf8api::select_dialog_face(face);
    }
    ~SettingsDialogTest() override { utf8api::select_dialog_face(nullptr); }

    void Configure(std::int32_t index, const std::string& text) {
        const auto block = ConfigBlock(index, text);
        writer->set_config(block.data(), static_cast<std::uint32_t>(block.size()));
    }

    // Runs the dialog with `steps` as the user; answers show_settings_dialog's result.
    bool Run(scripted_face::script steps) {
        face->set_script(std::move(steps));
        return writer->show_settings_dialog(nullptr);
    }

    std::shared_ptr<scripted_face> face;
};

TEST_F(SettingsDialogTest, OpensOnTheStoredChoice) {
    Configure(4, "<profile name=\"Mine\"/>");
    bool checked = false;
    EXPECT_FALSE(Run([&](dialog_session& dialog) {
        EXPECT_EQ(dialog.template_id(), 116);
        EXPECT_EQ(dialog.title(), "WMA encoder settings");
        const auto* slider = dialog.control(kSlider);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->range_min, 0);
        EXPECT_EQ(slider->range_max, 9);
        EXPECT_EQ(dialog.trackbar_position(kSlider), 4);
        EXPECT_EQ(dialog.text_of(kCustomBox), "<profile name=\"Mine\"/>");
        EXPECT_EQ(dialog.text_of(kNameLabel), "44kHz Stereo CBR 96kbps");
        EXPECT_EQ(dialog.text_of(kDescriptionLabel), "Possibly this codec's sweet-spot");
        checked = true;
        dialog.click_button(IDCANCEL);
    }));
    EXPECT_TRUE(checked);
    EXPECT_EQ(writer->selected_preset(), 4) << "the custom text alone does not move the slider";
}

TEST_F(SettingsDialogTest, TheSliderShowsEachPresetAndTheCustomProfile) {
    Configure(2, "<profile version=\"589824\" name=\"Slider test\">");
    EXPECT_FALSE(Run([](dialog_session& dialog) {
        ASSERT_TRUE(dialog.move_trackbar(kSlider, 9));
        EXPECT_EQ(dialog.text_of(kNameLabel), "Custom Profile");
        EXPECT_EQ(dialog.text_of(kDescriptionLabel), "Slider test");
        ASSERT_TRUE(dialog.move_trackbar(kSlider, 0));
        EXPECT_EQ(dialog.text_of(kNameLabel), "44kHz Stereo CBR 32kbps");
        EXPECT_EQ(dialog.text_of(kDescriptionLabel), "Please have mercy!");
        ASSERT_TRUE(dialog.move_trackbar(kSlider, 8));
        EXPECT_EQ(dialog.text_of(kNameLabel), "44kHz Stereo Lossless");
        EXPECT_EQ(dialog.text_of(kDescriptionLabel), "This _shouldn't_ sound too bad.");
        dialog.click_button(IDCANCEL);
    }));
    EXPECT_EQ(writer->selected_preset(), 2) << "moving the slider alone changes nothing";
}

TEST_F(SettingsDialogTest, OkStoresTheSliderPosition) {
    EXPECT_TRUE(Run([](dialog_session& dialog) {
        dialog.move_trackbar(kSlider, 6);
        dialog.click_button(IDOK);
        EXPECT_TRUE(dialog.ended());
    }));
    EXPECT_EQ(writer->selected_preset(), 6);
}

TEST_F(SettingsDialogTest, TypingMovesTheSliderToTheCustomPosition) {
    Configure(3, "");
    const std::string typed = Ascii(UsableProfile(u"Typed"));
    EXPECT_TRUE(Run([&typed](dialog_session& dialog) {
        ASSERT_TRUE(dialog.type_text(kCustomBox, typed));
        EXPECT_EQ(dialog.trackbar_position(kSlider), 9);
        EXPECT_EQ(dialog.text_of(kNameLabel), "Custom Profile");
        EXPECT_EQ(dialog.text_of(kDescriptionLabel), "Typed");
        dialog.click_button(IDOK);
        EXPECT_TRUE(dialog.ended());
    }));
    EXPECT_TRUE(face->messages().empty());
    EXPECT_EQ(writer->selected_preset(), 9);
    EXPECT_EQ(writer->custom_profile().text(), typed);
}

TEST_F(SettingsDialogTest, OkRefusesATypedProfileTheWriterCannotUseAndSaysWhy) {
    Configure(4, "");
    EXPECT_TRUE(Run([this](dialog_session& dialog) {
        ASSERT_TRUE(dialog.type_text(kCustomBox, "hello"));
        dialog.click_button(IDOK);
        EXPECT_FALSE(dialog.ended()) << "the dialog stays open to mend the text";
        ASSERT_EQ(face->messages().size(), 1u);
        EXPECT_EQ(face->messages()[0].text.rfind("The custom profile cannot be used: ", 0), 0u)
            << face->messages()[0].text;
        EXPECT_GT(face->messages()[0].text.size(), 40u) << "a reason follows";
        EXPECT_EQ(face->messages()[0].owner, dialog.handle());
        EXPECT_EQ(writer->selected_preset(), 4);
        // A profile the writer takes goes through.
        ASSERT_TRUE(dialog.type_text(kCustomBox, Ascii(UsableProfile(u"Mended"))));
        dialog.click_button(IDOK);
        EXPECT_TRUE(dialog.ended());
        EXPECT_EQ(face->messages().size(), 1u);
    }));
    EXPECT_EQ(writer->selected_preset(), 9);
}

TEST_F(SettingsDialogTest, CancelAfterARefusedProfileKeepsEverything) {
    Configure(2, "");
    EXPECT_FALSE(Run([this](dialog_session& dialog) {
        dialog.type_text(kCustomBox, "<profile><not closed");
        dialog.click_button(IDOK);
        EXPECT_FALSE(dialog.ended());
        EXPECT_EQ(face->messages().size(), 1u);
        dialog.click_button(IDCANCEL);
    }));
    EXPECT_EQ(writer->selected_preset(), 2);
    EXPECT_STREQ(writer->custom_profile().text(), "");
}

TEST_F(SettingsDialogTest, CancelRestoresTheTextAndKeepsTheIndex) {
    Configure(1, "original");
    EXPECT_FALSE(Run([this](dialog_session& dialog) {
        dialog.type_text(kCustomBox, "edited");
        EXPECT_STREQ(writer->custom_profile().text(), "edited") << "edits apply while open";
        dialog.click_button(IDCANCEL);
    }));
    EXPECT_EQ(writer->selected_preset(), 1);
    EXPECT_STREQ(writer->custom_profile().text(), "original");
}

TEST_F(SettingsDialogTest, OkOnAnEmptyCustomProfileIsRefusedAndCancelRestoresAll) {
    Configure(3, "");
    EXPECT_FALSE(Run([this](dialog_session& dialog) {
        dialog.move_trackbar(kSlider, 9);
        dialog.click_button(IDOK);
        EXPECT_FALSE(dialog.ended()) << "the dialog stays open";
        ASSERT_EQ(face->messages().size(), 1u);
        EXPECT_EQ(face->messages()[0].text, "No custom profile data is loaded.");
        EXPECT_EQ(face->messages()[0].owner, dialog.handle());
        EXPECT_EQ(face->messages()[0].type, MB_OK);
        EXPECT_EQ(face->messages()[0].caption, "");
        EXPECT_EQ(writer->selected_preset(), 3);
        dialog.click_button(IDCANCEL);
    }));
    EXPECT_EQ(writer->selected_preset(), 3) << "Cancel after a refused OK keeps the old index";
    EXPECT_STREQ(writer->custom_profile().text(), "");
}

TEST_F(SettingsDialogTest, LoadReadsAUtf16FileAndSelectsTheCustomPosition) {
    // 1001 bytes: 500 units of profile text, then one odd byte.
    std::u16string text = UsableProfile(u"Loaded");
    text.resize(500, u' ');
    auto bytes = Utf16LittleEndian(text);
    bytes.push_back('!');
    ASSERT_EQ(bytes.size(), 1001u);
    const std::string path = PathOf("custom.prx");
    WriteBytes(path, bytes);
    face->set_file_answer(path);

    EXPECT_TRUE(Run([](dialog_session& dialog) {
        ASSERT_TRUE(dialog.click_button(kLoadButton));
        EXPECT_EQ(dialog.trackbar_position(kSlider), 9);
        EXPECT_EQ(dialog.text_of(kNameLabel), "Custom Profile");
        EXPECT_EQ(dialog.text_of(kDescriptionLabel), "Loaded");
        EXPECT_EQ(dialog.text_of(kCustomBox).size(), 500u);
        dialog.click_button(IDOK);
    }));
    ASSERT_EQ(face->file_requests().size(), 1u);
    const utf8api::file_request& request = face->file_requests()[0];
    EXPECT_EQ(request.title, "Load Custom Windows Media Profile");
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].description, "Windows Media Profiles (*.prx)");
    EXPECT_EQ(request.filters[0].patterns, "*.prx");
    EXPECT_EQ(request.filters[1].description, "All Files (*.*)");
    EXPECT_EQ(request.filter_index, 2u);
    EXPECT_EQ(request.default_extension, "prx");
    EXPECT_FALSE(request.save);

    std::string expected(text.begin(), text.end()); // ASCII

    EXPECT_EQ(writer->selected_preset(), 9);
    EXPECT_EQ(writer->custom_profile().text(), expected) << "the odd last byte is not read";
    EXPECT_EQ(host.files.openFiles, 0);
}

TEST_F(SettingsDialogTest, LoadKeepsNonAsciiTextAsUtf8AndDropsTheByteOrderMark) {
    auto bytes = Utf16LittleEndian(u"\uFEFF" + UsableProfile(u"Caf\u00E9 \u266B"));
    const std::string path = PathOf("unicode.prx");
    WriteBytes(path, bytes);
    face->set_file_answer(path);
    EXPECT_TRUE(Run([](dialog_session& dialog) {
        dialog.click_button(kLoadButton);
        EXPECT_EQ(dialog.text_of(kDescriptionLabel), "Caf\xC3\xA9 \xE2\x99\xAB");
        dialog.click_button(IDOK);
    }));
    EXPECT_NE(
        std::string(writer->custom_profile().text()).find("name=\"Caf\xC3\xA9 \xE2\x99\xAB\""),
        std::string::npos);
    EXPECT_EQ(writer->custom_profile().text()[0], '<') << "no byte-order mark";
}

TEST_F(SettingsDialogTest, LoadRefusesAProfileTheWriterCannotUseAndSaysWhy) {
    Configure(4, "before");
    const std::string path = PathOf("broken.prx");
    const std::u16string twoStreams = UsableProfile(u"Two");
    const std::size_t end = twoStreams.find(u"</profile>");
    const std::size_t start = twoStreams.find(u"<streamconfig");
    std::u16string second = twoStreams.substr(start, end - start);
    second.replace(second.find(u"streamnumber=\"1\""), 16, u"streamnumber=\"2\"");
    WriteBytes(path, Utf16LittleEndian(twoStreams.substr(0, end) + second + u"</profile>"));
    face->set_file_answer(path);
    EXPECT_FALSE(Run([this, &path](dialog_session& dialog) {
        dialog.click_button(kLoadButton);
        EXPECT_EQ(dialog.trackbar_position(kSlider), 4);
        EXPECT_EQ(dialog.text_of(kCustomBox), "before");
        ASSERT_EQ(face->messages().size(), 1u);
        EXPECT_EQ(face->messages()[0].text, "The profile " + path +
                                                " cannot be used: the profile has 2 streams; the "
                                                "writer takes one audio stream");
        dialog.click_button(IDCANCEL);
    }));
    EXPECT_STREQ(writer->custom_profile().text(), "before");
}

TEST_F(SettingsDialogTest, ALoadThatFindsNoFileChangesNothing) {
    Configure(4, "before");
    EXPECT_FALSE(Run([this](dialog_session& dialog) {
        face->set_file_answer(std::nullopt);
        dialog.click_button(kLoadButton);
        face->set_file_answer(PathOf("missing.prx"));
        dialog.click_button(kLoadButton);
        EXPECT_EQ(dialog.trackbar_position(kSlider), 4);
        EXPECT_EQ(dialog.text_of(kCustomBox), "before");
        dialog.click_button(IDCANCEL);
    }));
    EXPECT_EQ(face->file_requests().size(), 2u);
    EXPECT_STREQ(writer->custom_profile().text(), "before");
}

TEST_F(SettingsDialogTest, AStoredIndexOutsideTheSliderShowsItsNearestEnd) {
    Configure(42, "");
    EXPECT_TRUE(Run([](dialog_session& dialog) {
        EXPECT_EQ(dialog.trackbar_position(kSlider), 9);
        EXPECT_EQ(dialog.text_of(kNameLabel), "Custom Profile");
        dialog.move_trackbar(kSlider, 7);
        dialog.click_button(IDOK);
    }));
    EXPECT_EQ(writer->selected_preset(), 7);
}

} // namespace
