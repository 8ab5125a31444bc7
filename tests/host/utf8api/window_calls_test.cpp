// The calls a dialog procedure makes on its dialog (trackbar messages, control
// texts, the user value), how they treat handles that are not live dialogs,
// and the text calls uPrintfV and stricmp_utf8.
#include "services/host_string.h"
#include "test_dialog.h"
#include "utf8api/dialog_session.h"
#include "utf8api/scripted_face.h"

#include <gtest/gtest.h>

#include <cstdarg>

using namespace test_dialog;
using utf8api::dialog_session;

namespace {

LRESULT send(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return uSendDlgItemMessage(dialog, kSlider, message, wparam, lparam);
}

// Runs `steps` inside a live test dialog.
void inside_dialog(const std::function<void(HWND)>& steps) {
    auto face = std::make_shared<utf8api::scripted_face>(
        [&](dialog_session& session) { steps(session.handle()); });
    utf8api::select_dialog_face(face);
    settings state;
    uDialogBox(module(), kDialogId, nullptr, procedure(), reinterpret_cast<LPARAM>(&state));
    utf8api::select_dialog_face(nullptr);
    EXPECT_EQ(face->runs(), 1);
}

TEST(TrackbarMessages, RangeAndPositionFollowTheCommonControl) {
    inside_dialog([](HWND dialog) {
        send(dialog, TBM_SETRANGE, TRUE, MAKELPARAM(2, 20));
        EXPECT_EQ(send(dialog, TBM_GETRANGEMIN, 0, 0), 2);
        EXPECT_EQ(send(dialog, TBM_GETRANGEMAX, 0, 0), 20);
        send(dialog, TBM_SETPOS, TRUE, 15);
        EXPECT_EQ(send(dialog, TBM_GETPOS, 0, 0), 15);
        send(dialog, TBM_SETPOS, TRUE, 99);
        EXPECT_EQ(send(dialog, TBM_GETPOS, 0, 0), 20);
        send(dialog, TBM_SETPOS, TRUE, -5);
        EXPECT_EQ(send(dialog, TBM_GETPOS, 0, 0), 2);
        // Narrowing the range pulls the position in.
        send(dialog, TBM_SETPOS, TRUE, 18);
        send(dialog, TBM_SETRANGEMAX, TRUE, 10);
        EXPECT_EQ(send(dialog, TBM_GETPOS, 0, 0), 10);
        send(dialog, TBM_SETRANGEMIN, TRUE, 12);
        EXPECT_EQ(send(dialog, TBM_GETRANGEMIN, 0, 0), 12);
        EXPECT_EQ(send(dialog, TBM_GETRANGEMAX, 0, 0), 12);
        EXPECT_EQ(send(dialog, TBM_GETPOS, 0, 0), 12);
        // Range ends are signed words.
        send(dialog, TBM_SETRANGE, TRUE, MAKELPARAM(static_cast<WORD>(-3), 3));
        EXPECT_EQ(send(dialog, TBM_GETRANGEMIN, 0, 0), -3);
        // Trackbar messages to other controls, or unknown ones, answer 0.
        EXPECT_EQ(uSendDlgItemMessage(dialog, kCustomText, TBM_GETRANGEMAX, 0, 0), 0);
        EXPECT_EQ(send(dialog, WM_USER + 99, 0, 0), 0);
        EXPECT_EQ(uSendDlgItemMessage(dialog, 4242, TBM_GETPOS, 0, 0), 0);
    });
}

TEST(DialogItems, TextsAndTheUserValue) {
    inside_dialog([](HWND dialog) {
        vantrel::host_string text;
        EXPECT_TRUE(uSetDlgItemText(dialog, kNameLabel, "grüße"));
        EXPECT_TRUE(uGetDlgItemText(dialog, kNameLabel, &text));
        EXPECT_EQ(text.str(), "grüße");
        EXPECT_TRUE(uSetDlgItemText(dialog, kNameLabel, nullptr));
        EXPECT_TRUE(uGetDlgItemText(dialog, kNameLabel, &text));
        EXPECT_EQ(text.str(), "");
        vantrel::host_string missing("old");
        EXPECT_FALSE(uGetDlgItemText(dialog, 4242, &missing));
        EXPECT_EQ(missing.str(), "");
        EXPECT_FALSE(uSetDlgItemText(dialog, 4242, "x"));
        EXPECT_FALSE(uGetDlgItemText(dialog, kNameLabel, nullptr));

        const LONG_PTR start = uGetWindowLong(dialog, uDWL_USER);
        EXPECT_NE(start, 0);
        EXPECT_EQ(uSetWindowLong(dialog, uDWL_USER, 1234), start);
        EXPECT_EQ(uGetWindowLong(dialog, uDWL_USER), 1234);
        EXPECT_EQ(uSetWindowLong(dialog, uDWL_USER, start), 1234);
        // Only the user value is kept.
        EXPECT_EQ(uSetWindowLong(dialog, 4, 77), 0);
        EXPECT_EQ(uGetWindowLong(dialog, 4), 0);
    });
}

TEST(BadHandles, AreAnsweredWithZeroAndNeverFollowed) {
    int not_a_dialog = 0;
    HWND stale = nullptr;
    HWND control = nullptr;
    inside_dialog([&](HWND dialog) {
        stale = dialog;
        control = dialog_session::from_handle(dialog)->control_handle(kCustomText);
        // A control's handle is not a dialog.
        EXPECT_EQ(uGetWindowLong(control, uDWL_USER), 0);
        EXPECT_EQ(EndDialog(control, 1), FALSE);
    });
    for (HWND bad : {HWND(nullptr), reinterpret_cast<HWND>(&not_a_dialog), stale, control,
                     reinterpret_cast<HWND>(std::uintptr_t{0x10})}) {
        vantrel::host_string text("kept?");
        EXPECT_FALSE(uGetDlgItemText(bad, kNameLabel, &text));
        EXPECT_EQ(text.str(), "");
        EXPECT_FALSE(uSetDlgItemText(bad, kNameLabel, "x"));
        EXPECT_EQ(uSendDlgItemMessage(bad, kSlider, TBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(uGetWindowLong(bad, uDWL_USER), 0);
        EXPECT_EQ(uSetWindowLong(bad, uDWL_USER, 5), 0);
        EXPECT_EQ(dialog_session::from_handle(bad), nullptr);
    }
    EXPECT_EQ(not_a_dialog, 0);
}

std::string format(const char* pattern, ...) {
    vantrel::host_string out("previous content");
    va_list arguments;
    va_start(arguments, pattern);
    uPrintfV(&out, pattern, arguments);
    va_end(arguments);
    return out.str();
}

TEST(PrintfV, FormatsIntoTheStringReplacingItsContent) {
    EXPECT_EQ(format("%d kbps, %s, %08x, %.2f", 128, "stereo", 0xbeefu, 1.5),
              "128 kbps, stereo, 0000beef, 1.50");
    EXPECT_EQ(format(""), "");
    const std::string long_text(5000, 'z');
    EXPECT_EQ(format("<%s>", long_text.c_str()), "<" + long_text + ">");
    EXPECT_EQ(format("%s", "grüße"), "grüße");

    vantrel::host_string cleared("same"); // a null format clears it
    va_list none{};
    uPrintfV(nullptr, "%d", none);
    uPrintfV(&cleared, nullptr, none);
    EXPECT_EQ(cleared.str(), "");
}

struct Comparison {
    const char* a;
    const char* b;
    int sign; // of stricmp_utf8(a, b)
};

const Comparison kComparisons[] = {
    // Case of ASCII and of common alphabets is ignored.
    {"ARTIST", "artist", 0},
    {"TrackNumber", "TRACKNUMBER", 0},
    {"ÉTÉ", "été", 0},
    {"ПЕСНЯ", "песня", 0},
    {"ΑΛΦΑ", "αλφα", 0},
    {"ŁÓDŹ", "łódź", 0},
    {"Ÿ", "ÿ", 0},
    // Letters that only look alike stay different.
    {"×", "÷", -1},
    {"ß", "ss", 1},
    // Otherwise the folded texts order as strcmp orders them.
    {"album", "ARTIST", -1},
    {"Title", "artist", 1},
    {"art", "ARTIST", -1},
    {"ARTISTS", "artist", 1},
    {"", "a", -1},
    {"", "", 0},
    {"z", "é", -1},
    {nullptr, "a", -1},
    {"a", nullptr, 1},
    {nullptr, nullptr, 0},
};

TEST(StricmpUtf8, FoldsCaseThenOrdersLikeStrcmp) {
    for (const Comparison& c : kComparisons) {
        const int result = stricmp_utf8(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign)
            << (c.a ? c.a : "null") << " vs " << (c.b ? c.b : "null");
    }
}

TEST(StricmpUtf8, MalformedBytesCompareAsThemselves) {
    EXPECT_EQ(stricmp_utf8("A\xff", "a\xff"), 0);
    EXPECT_NE(stricmp_utf8("a\xff", "a\xfe"), 0);
    // A sequence cut short at the end is not read past the terminator.
    EXPECT_NE(stricmp_utf8("a\xc3", "a"), 0);
    EXPECT_EQ(stricmp_utf8("\xe2\x82", "\xe2\x82"), 0);
}

} // namespace
