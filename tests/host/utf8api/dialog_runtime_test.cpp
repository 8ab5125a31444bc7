// The dialog runtime driven by the scripted face: messages reach the dialog
// procedure as a real dialog would send them, and the dialog ends with the
// value the procedure gives EndDialog.
#include "services/host_string.h"
#include "test_dialog.h"
#include "utf8api/dialog_session.h"
#include "utf8api/scripted_face.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace test_dialog;
using utf8api::dialog_session;
using utf8api::scripted_face;

namespace {

class DialogRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        face = std::make_shared<scripted_face>();
        utf8api::select_dialog_face(face);
    }
    void TearDown() override { utf8api::select_dialog_face(nullptr); }

    INT_PTR run(scripted_face::script steps) {
        face->set_script(std::move(steps));
        return uDialogBox(module(), kDialogId, nullptr, procedure(),
                          reinterpret_cast<LPARAM>(&state));
    }

    std::shared_ptr<scripted_face> face;
    settings state;
};

TEST_F(DialogRuntime, InitialisationDeliversTheStartValueAndSetsUpTheControls) {
    state.selected = 3;
    state.custom = "<profile name=\"Mine\"/>";
    HWND seen = nullptr;
    run([&](dialog_session& session) {
        seen = session.handle();
        EXPECT_EQ(session.title(), kTitle);
        EXPECT_EQ(session.template_id(), kDialogId);
        EXPECT_EQ(session.trackbar_position(kSlider), 3);
        EXPECT_EQ(session.control(kSlider)->range_max, kPresetCount);
        EXPECT_EQ(session.text_of(kNameLabel), "Preset 3");
        EXPECT_EQ(session.text_of(kDescriptionLabel), "Description of preset 3");
        EXPECT_EQ(session.text_of(kCustomText), state.custom);
        // The template's own texts are there too.
        EXPECT_EQ(session.controls().front().text, "Quality:");
        EXPECT_EQ(session.text_of(IDOK), "OK");
        // Focus starts on the first control that takes it.
        ASSERT_NE(session.focused(), nullptr);
        EXPECT_EQ(session.focused()->id, kSlider);
    });
    ASSERT_FALSE(state.log.empty());
    EXPECT_EQ(state.log.front().message, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(state.log.front().lparam, reinterpret_cast<LPARAM>(&state));
    // Setting the text box from code raised no change notification.
    EXPECT_EQ(state.count(WM_COMMAND, kCustomText, EN_CHANGE), 0);
    // After the dialog has gone, its handle is no longer a dialog.
    EXPECT_EQ(uGetWindowLong(seen, uDWL_USER), 0);
}

TEST_F(DialogRuntime, MovingTheSliderSendsHorizontalScrollAndRefreshesTheLabels) {
    run([&](dialog_session& session) {
        ASSERT_TRUE(session.move_trackbar(kSlider, 7));
        EXPECT_EQ(session.text_of(kNameLabel), "Preset 7");
        ASSERT_TRUE(session.move_trackbar(kSlider, kPresetCount));
        EXPECT_EQ(session.text_of(kNameLabel), "Custom Profile");
        // Out of range is clamped to the range.
        ASSERT_TRUE(session.move_trackbar(kSlider, 50));
        EXPECT_EQ(session.trackbar_position(kSlider), kPresetCount);
        ASSERT_TRUE(session.move_trackbar(kSlider, -4));
        EXPECT_EQ(session.text_of(kNameLabel), "Preset 0");
        EXPECT_EQ(session.text_of(kDescriptionLabel), "Description of preset 0");
        // Only trackbars move.
        EXPECT_FALSE(session.move_trackbar(kCustomText, 1));
    });
    ASSERT_EQ(state.count(WM_HSCROLL), 4);
    const auto scroll = std::find_if(state.log.begin(), state.log.end(),
                                     [](const received& r) { return r.message == WM_HSCROLL; });
    EXPECT_EQ(LOWORD(scroll->wparam), utf8api::tb_thumb_position);
    EXPECT_EQ(HIWORD(scroll->wparam), 7);
    EXPECT_NE(scroll->lparam, 0);
}

TEST_F(DialogRuntime, TypingRaisesChangeNotificationsButTextFromCodeDoesNot) {
    state.selected = 1;
    LPARAM edit_handle = 0;
    run([&](dialog_session& session) {
        edit_handle = reinterpret_cast<LPARAM>(session.control_handle(kCustomText));
        ASSERT_TRUE(session.type_text(kCustomText, "<p name=\"Typed\"/>"));
        EXPECT_EQ(session.trackbar_position(kSlider), kPresetCount);
        EXPECT_EQ(session.text_of(kNameLabel), "Custom Profile");
        EXPECT_EQ(session.text_of(kDescriptionLabel), "Typed");
        EXPECT_EQ(state.count(WM_COMMAND, kCustomText, EN_CHANGE), 1);

        ASSERT_TRUE(uSetDlgItemText(session.handle(), kCustomText, "from code"));
        EXPECT_EQ(session.text_of(kCustomText), "from code");
        EXPECT_EQ(state.count(WM_COMMAND, kCustomText, EN_CHANGE), 1);
        // Only edit boxes take typing.
        EXPECT_FALSE(session.type_text(kNameLabel, "x"));
        session.click_button(IDCANCEL);
    });
    const auto change = std::find_if(state.log.begin(), state.log.end(), [](const received& r) {
        return r.message == WM_COMMAND && HIWORD(r.wparam) == EN_CHANGE;
    });
    ASSERT_NE(change, state.log.end());
    EXPECT_EQ(change->lparam, edit_handle);
    // The selection was not touched by typing, and Cancel put the text back.
    EXPECT_EQ(state.selected, 1);
    EXPECT_EQ(state.custom, "");
}

TEST_F(DialogRuntime, OkEndsWithOneAndCancelWithZero) {
    const INT_PTR ok = run([](dialog_session& session) {
        session.move_trackbar(kSlider, 5);
        EXPECT_TRUE(session.click_button(IDOK));
        EXPECT_TRUE(session.ended());
        // Nothing reaches a dialog that has ended.
        EXPECT_FALSE(session.click_button(IDCANCEL));
        EXPECT_FALSE(session.move_trackbar(kSlider, 1));
    });
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(state.selected, 5);
    EXPECT_EQ(state.count(WM_COMMAND, IDCANCEL, BN_CLICKED), 0);

    settings second;
    second.selected = 4;
    face->set_script([](dialog_session& session) {
        session.move_trackbar(kSlider, 8);
        session.click_button(IDCANCEL);
    });
    EXPECT_EQ(
        uDialogBox(module(), kDialogId, nullptr, procedure(), reinterpret_cast<LPARAM>(&second)),
        0);
    EXPECT_EQ(second.selected, 4);
    EXPECT_EQ(face->runs(), 2);
}

TEST_F(DialogRuntime, ClickCarriesTheButtonIdAndHandle) {
    LPARAM ok_handle = 0;
    run([&](dialog_session& session) {
        ok_handle = reinterpret_cast<LPARAM>(session.control_handle(IDOK));
        session.click_button(IDOK);
    });
    const received& last = state.log.back();
    EXPECT_EQ(last.message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(LOWORD(last.wparam), IDOK);
    EXPECT_EQ(HIWORD(last.wparam), BN_CLICKED);
    EXPECT_EQ(last.lparam, ok_handle);
}

TEST_F(DialogRuntime, RefusedOkShowsAMessageBoxAndKeepsTheDialogOpen) {
    const INT_PTR result = run([&](dialog_session& session) {
        session.move_trackbar(kSlider, kPresetCount);
        session.click_button(IDOK);
        EXPECT_FALSE(session.ended());
        ASSERT_EQ(face->messages().size(), 1u);
        EXPECT_EQ(face->messages()[0].text, kEmptyCustomMessage);
        EXPECT_FALSE(face->messages()[0].has_caption);
        EXPECT_EQ(face->messages()[0].owner, session.handle());
        EXPECT_EQ(face->messages()[0].type, MB_OK);
        // The user then types a profile and OK goes through.
        session.type_text(kCustomText, "<p/>");
        session.click_button(IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(face->messages().size(), 1u);
    EXPECT_EQ(state.selected, kPresetCount);
    EXPECT_EQ(state.custom, "<p/>");
}

TEST_F(DialogRuntime, MessageBoxesOutsideADialogAreNotTheFacesBusiness) {
    run([](dialog_session& session) { session.click_button(IDOK); });
    // No dialog runs: the platform answers on its own.
    EXPECT_EQ(MessageBoxA(nullptr, "outside", nullptr, MB_OK), IDOK);
    EXPECT_TRUE(face->messages().empty());
    EXPECT_EQ(EndDialog(reinterpret_cast<HWND>(&state), 1), FALSE);
}

TEST_F(DialogRuntime, LoadAsksForAFileAndReadsTheChosenOne) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("utf8api_load_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "custom.prx";
    std::ofstream(file) << "<profile name=\"Loaded\"/>";
    face->set_file_answer(file.string());

    const INT_PTR result = run([&](dialog_session& session) {
        ASSERT_TRUE(session.click_button(kLoad));
        EXPECT_EQ(session.text_of(kCustomText), "<profile name=\"Loaded\"/>");
        EXPECT_EQ(session.trackbar_position(kSlider), kPresetCount);
        EXPECT_EQ(session.text_of(kDescriptionLabel), "Loaded");
        session.click_button(IDOK);
    });
    std::filesystem::remove_all(folder);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(state.custom, "<profile name=\"Loaded\"/>");
    ASSERT_EQ(face->file_requests().size(), 1u);
    const utf8api::file_request& request = face->file_requests()[0];
    EXPECT_EQ(request.title, kLoadTitle);
    EXPECT_EQ(request.filter_index, 2u);
    EXPECT_EQ(request.default_extension, "prx");
    EXPECT_FALSE(request.save);
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].description, "Profiles (*.prx)");
    EXPECT_EQ(request.filters[0].patterns, "*.prx");
    EXPECT_EQ(request.filters[1].patterns, "*.*");
}

TEST_F(DialogRuntime, ACancelledFileRequestChangesNothing) {
    face->set_file_answer(std::nullopt);
    state.selected = 2;
    run([&](dialog_session& session) {
        session.click_button(kLoad);
        EXPECT_EQ(session.trackbar_position(kSlider), 2);
        EXPECT_EQ(session.text_of(kCustomText), "");
    });
    EXPECT_EQ(face->file_requests().size(), 1u);
    vantrel::host_string out("stale");
    EXPECT_EQ(uGetOpenFileName(nullptr, "", 0, "", "", "", &out, FALSE), 0);
    EXPECT_EQ(out.str(), "stale");
    EXPECT_EQ(uGetOpenFileName(nullptr, "", 0, "", "", "", nullptr, FALSE), 0);
}

TEST_F(DialogRuntime, AFinishedScriptCancelsTheOpenDialog) {
    state.custom = "kept";
    const INT_PTR result =
        run([](dialog_session& session) { session.type_text(kCustomText, "changed"); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(state.count(WM_COMMAND, IDCANCEL, BN_CLICKED), 1);
    EXPECT_EQ(state.custom, "kept");
}

INT_PTR stubborn_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // Never ends on its own, whatever is pressed.
    if (message == WM_INITDIALOG)
        uSetWindowLong(window, uDWL_USER, lparam);
    if (auto* count = reinterpret_cast<int*>(uGetWindowLong(window, uDWL_USER)))
        ++*count;
    (void)wparam;
    return TRUE;
}

TEST_F(DialogRuntime, ADialogThatRefusesCancelStillEnds) {
    int messages = 0;
    face->set_script({});
    const INT_PTR result = uDialogBox(module(), kDialogId, nullptr, &stubborn_procedure,
                                      reinterpret_cast<LPARAM>(&messages));
    EXPECT_EQ(result, 0);
    // WM_INITDIALOG, the script's closing Cancel and the runtime's last one.
    EXPECT_EQ(messages, 3);
}

INT_PTR ends_at_once(HWND window, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG)
        EndDialog(window, lparam);
    return TRUE;
}

TEST_F(DialogRuntime, ADialogEndedDuringInitialisationNeverReachesTheFace) {
    face->set_script([](dialog_session&) { ADD_FAILURE() << "the face ran"; });
    EXPECT_EQ(uDialogBox(module(), kDialogId, nullptr, &ends_at_once, 42), 42);
    EXPECT_EQ(face->runs(), 0);
}

TEST_F(DialogRuntime, MissingTemplatesAndProceduresAnswerMinusOne) {
    EXPECT_EQ(uDialogBox(module(), 999, nullptr, procedure(), 0), -1);
    EXPECT_EQ(uDialogBox(nullptr, kDialogId, nullptr, procedure(), 0), -1);
    EXPECT_EQ(uDialogBox(module(), kDialogId, nullptr, nullptr, 0), -1);
    EXPECT_EQ(uDialogBox(module(), 0x10000 + kDialogId, nullptr, procedure(), 0), -1);
    EXPECT_EQ(face->runs(), 0);
}

TEST_F(DialogRuntime, FocusMovesThroughTheControlsInTemplateOrder) {
    run([](dialog_session& session) {
        std::vector<WORD> order;
        for (int i = 0; i < 6; ++i) {
            order.push_back(session.focused()->id);
            session.focus_next();
        }
        EXPECT_EQ(order, (std::vector<WORD>{kSlider, IDOK, IDCANCEL, kCustomText, kLoad, kSlider}));
        // The loop left the focus on OK; backwards wraps round to Load.
        session.focus_next(true);
        EXPECT_EQ(session.focused()->id, kSlider);
        session.focus_next(true);
        EXPECT_EQ(session.focused()->id, kLoad);
        EXPECT_FALSE(session.set_focus(kNameLabel));
        EXPECT_TRUE(session.set_focus(kCustomText));
        EXPECT_EQ(session.focused()->id, kCustomText);
    });
}

TEST_F(DialogRuntime, NestedDialogsKeepTheirOwnState) {
    settings inner;
    inner.selected = 6;
    INT_PTR inner_result = -2;
    const INT_PTR outer_result = run([&](dialog_session& outer) {
        face->set_script([](dialog_session& session) { session.click_button(IDOK); });
        inner_result = uDialogBox(module(), kDialogId, outer.handle(), procedure(),
                                  reinterpret_cast<LPARAM>(&inner));
        // The outer dialog and its window calls are still there.
        EXPECT_EQ(uGetWindowLong(outer.handle(), uDWL_USER), reinterpret_cast<LONG_PTR>(&state));
        outer.click_button(IDOK);
    });
    EXPECT_EQ(inner_result, 1);
    EXPECT_EQ(inner.selected, 6);
    EXPECT_EQ(outer_result, 1);
}

} // namespace
