// Code pages, modules and their resources, window calls, error texts and the tick count.
#include "platform/dshow.h"
#include "platform/unicode.h"
#include "platform/win32_api.h"
#include "tick_count.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ---- UTF-8 to UTF-16 ------------------------------------------------------------

std::u16string ToWide(const std::string& text, DWORD flags = 0) {
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, flags, text.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    if (needed > 0) {
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, flags, text.data(), length, out.data(), needed),
                  needed);
    }
    return out;
}

TEST(MultiByteToWideChar, ConvertsAndCountsTheTerminatorForMinusOne) {
    char16_t out[16];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "h\xC3\xA9llo", -1, nullptr, 0), 6);
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "h\xC3\xA9llo", -1, out, 16), 6);
    EXPECT_EQ(std::u16string(out), u"h\u00e9llo");
    // An explicit length does not include a terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 0), 3);
}

TEST(MultiByteToWideChar, MakesSurrogatePairsBeyondTheBasicPlane) {
    EXPECT_EQ(ToWide("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");
    EXPECT_EQ(ToWide("\xF0\x9F\x8E\xB5").size(), 2u);
    EXPECT_EQ(ToWide("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(MultiByteToWideChar, ReplacesInvalidBytesOrFailsWhenAskedTo) {
    // A stray continuation byte, an overlong slash, an encoded surrogate, a cut sequence.
    EXPECT_EQ(ToWide("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(ToWide("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(ToWide("\xE2\x82"), u"\uFFFD");
    EXPECT_EQ(ToWide("\xF5\x80\x80\x80").size(), 4u);

    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80z", 3, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xE2\x82\xAC", 3, nullptr, 0), 1);
}

TEST(MultiByteToWideChar, RefusesTooSmallBuffersAndBadArguments) {
    char16_t out[4] = {u'x', u'x', u'x', u'x'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, out, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, 4), 4);

    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, out, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, out, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, out, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 4), 0);
}

// ---- UTF-16 to UTF-8 ------------------------------------------------------------

std::string ToNarrow(const std::u16string& text, LPCSTR defaultChar = nullptr,
                     BOOL* usedDefault = nullptr, DWORD flags = 0) {
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, flags, text.data(), length, nullptr, 0,
                                           defaultChar, usedDefault);
    std::string out(static_cast<std::size_t>(needed), '\0');
    if (needed > 0) {
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, flags, text.data(), length, out.data(), needed,
                                      defaultChar, usedDefault),
                  needed);
    }
    return out;
}

TEST(WideCharToMultiByte, ConvertsAndCountsTheTerminatorForMinusOne) {
    char out[16];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"h\u00e9\u20ac", -1, nullptr, 0, nullptr, nullptr),
              7);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"h\u00e9\u20ac", -1, out, 16, nullptr, nullptr), 7);
    EXPECT_STREQ(out, "h\xC3\xA9\xE2\x82\xAC");
}

TEST(WideCharToMultiByte, JoinsSurrogatePairs) {
    EXPECT_EQ(ToNarrow(u"\U0001F3B5"), "\xF0\x9F\x8E\xB5");
}

TEST(WideCharToMultiByte, ReplacesLoneSurrogates) {
    BOOL used = FALSE;
    EXPECT_EQ(ToNarrow(std::u16string(u"a") + char16_t(0xD800) + u"b", nullptr, &used),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_TRUE(used);
    EXPECT_EQ(ToNarrow(std::u16string(1, char16_t(0xDC00)) + u"z", "?", &used), "?z");
    EXPECT_TRUE(used);
    EXPECT_EQ(ToNarrow(u"plain", "?", &used), "plain");
    EXPECT_FALSE(used);
    // A high surrogate at the very end has no partner either.
    EXPECT_EQ(ToNarrow(std::u16string(1, char16_t(0xDBFF))), "\xEF\xBF\xBD");

    const std::u16string lone(1, char16_t(0xD800));
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 1, nullptr, 0,
                                  nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(WideCharToMultiByte, RefusesTooSmallBuffers) {
    char out[3] = {'x', 'x', 'x'};
    SetLastError(0);
    // The euro sign needs three bytes and the terminator one more.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20ac", -1, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20ac", 1, out, 3, nullptr, nullptr), 3);
}

TEST(CodePages, RoundTripEveryPlane) {
    const std::u16string text = u"A\u00ff\u0100\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010FFFF";
    EXPECT_EQ(ToWide(ToNarrow(text)), text);
}

// ---- Modules and resources ------------------------------------------------------

const StringResource kStrings[] = {
    {1, "<profile version=\"589824\"/>"},
    {2, "caf\xC3\xA9"},
};
const DialogControlTemplate kControls[] = {{"BUTTON", "OK", 1, 0, 10, 10, 50, 14}};
const DialogTemplate kDialogs[] = {
    {116, "Settings", 0, 0, 0, 200, 100, "MS Shell Dlg", 8, kControls, 1}};
const ModuleResources kResources = {kStrings, 2, kDialogs, 1};

struct RegisteredModule {
    HMODULE handle = RegisterModule("coretestmodule", &kResources);
    ~RegisteredModule() { UnregisterModule(handle); }
};

TEST(Modules, AreFoundByFileNameWithOrWithoutSuffix) {
    RegisteredModule module;
    ASSERT_NE(module.handle, nullptr);
    EXPECT_EQ(GetModuleHandleA("coretestmodule"), module.handle);
    EXPECT_EQ(GetModuleHandleA("CoreTestModule.DLL"), module.handle);
    EXPECT_EQ(GetModuleHandleA("components/coretestmodule.so"), module.handle);
    EXPECT_EQ(RegisterModule("coretestmodule", &kResources), module.handle);
    EXPECT_EQ(GetModuleHandleA("othermodule"), nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(GetModuleHandleA("ole32.dll"), module.handle);
    EXPECT_EQ(GetProcAddress(module.handle, "CoInitializeEx"), nullptr);
}

TEST(Modules, UnregisteredModulesAreGone) {
    HMODULE handle = RegisterModule("shortlived", &kResources);
    UnregisterModule(handle);
    EXPECT_EQ(GetModuleHandleA("shortlived"), nullptr);
    char buffer[8];
    EXPECT_EQ(LoadStringA(handle, 2, buffer, 8), 0);
}

TEST(LoadStringA, CopiesCutsAndTerminates) {
    RegisteredModule module;
    char buffer[64];
    ASSERT_EQ(LoadStringA(module.handle, 1, buffer, 64), 27);
    EXPECT_STREQ(buffer, "<profile version=\"589824\"/>");

    char small[9];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(LoadStringA(module.handle, 1, small, 9), 8);
    EXPECT_STREQ(small, "<profile");

    // A cut never leaves half a character behind.
    EXPECT_EQ(LoadStringA(module.handle, 2, small, 5), 3);
    EXPECT_STREQ(small, "caf");
    EXPECT_EQ(LoadStringA(module.handle, 2, small, 6), 5);

    std::strcpy(buffer, "old");
    EXPECT_EQ(LoadStringA(module.handle, 3, buffer, 64), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(LoadStringA(module.handle, 1, buffer, 0), 0);
    EXPECT_EQ(LoadStringA(module.handle, 1, nullptr, 64), 0);
}

TEST(FindDialogTemplate, FindsDialogsById) {
    RegisteredModule module;
    const DialogTemplate* dialog = FindDialogTemplate(module.handle, 116);
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->caption, "Settings");
    EXPECT_EQ(FindDialogTemplate(module.handle, 117), nullptr);
    EXPECT_EQ(FindDialogTemplate(nullptr, 116), nullptr);
}

// ---- Window calls ---------------------------------------------------------------

TEST(WindowSystem, ForwardsToTheInstalledProvider) {
    EXPECT_EQ(MessageBoxA(nullptr, "shown on standard error", "Core test", MB_OK), IDOK);
    EXPECT_FALSE(EndDialog(nullptr, IDOK));

    static int boxes;
    static INT_PTR ended;
    boxes = 0;
    ended = 0;
    const WindowSystem provider = {[](HWND, LPCSTR, LPCSTR, UINT) -> int {
                                       ++boxes;
                                       return IDCANCEL;
                                   },
                                   [](HWND, INT_PTR result) -> BOOL {
                                       ended = result;
                                       return TRUE;
                                   }};
    SetWindowSystem(&provider);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_ICONERROR), IDCANCEL);
    EXPECT_TRUE(EndDialog(nullptr, 5));
    SetWindowSystem(nullptr);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(ended, 5);
    EXPECT_FALSE(EndDialog(nullptr, 6));
}

// ---- Media error texts ----------------------------------------------------------

TEST(AMGetErrorTextA, KnowsEveryMediaCode) {
    const HRESULT codes[] = {VFW_S_STATE_INTERMEDIATE,
                             VFW_E_INVALIDMEDIATYPE,
                             VFW_E_INVALIDSUBTYPE,
                             VFW_E_NEED_OWNER,
                             VFW_E_ENUM_OUT_OF_SYNC,
                             VFW_E_ALREADY_CONNECTED,
                             VFW_E_FILTER_ACTIVE,
                             VFW_E_NO_TYPES,
                             VFW_E_NO_ACCEPTABLE_TYPES,
                             VFW_E_INVALID_DIRECTION,
                             VFW_E_NOT_CONNECTED,
                             VFW_E_NO_ALLOCATOR,
                             VFW_E_RUNTIME_ERROR,
                             VFW_E_BUFFER_NOTSET,
                             VFW_E_BUFFER_OVERFLOW,
                             VFW_E_BADALIGN,
                             VFW_E_ALREADY_COMMITTED,
                             VFW_E_BUFFERS_OUTSTANDING,
                             VFW_E_NOT_COMMITTED,
                             VFW_E_SIZENOTSET,
                             VFW_E_NO_CLOCK,
                             VFW_E_NOT_FOUND,
                             VFW_E_CANNOT_CONNECT,
                             VFW_E_NOT_STOPPED,
                             VFW_E_WRONG_STATE,
                             VFW_E_TYPE_NOT_ACCEPTED,
                             VFW_E_SAMPLE_REJECTED,
                             VFW_E_SAMPLE_REJECTED_EOS,
                             VFW_E_DUPLICATE_NAME,
                             VFW_E_NOT_IN_GRAPH};
    for (const HRESULT code : codes) {
        char buffer[256] = {};
        const DWORD count = AMGetErrorTextA(code, buffer, 255);
        EXPECT_GT(count, 0u) << std::hex << code;
        EXPECT_EQ(count, std::strlen(buffer));
    }
    static constexpr char kExpected[] =
        "The operation cannot be performed because the pins are not connected.";
    char buffer[256];
    ASSERT_EQ(AMGetErrorTextA(VFW_E_NOT_CONNECTED, buffer, 256), sizeof kExpected - 1);
    EXPECT_STREQ(buffer, kExpected);
}

TEST(AMGetErrorTextA, CutsTerminatesAndKnowsNothingElse) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(AMGetErrorTextA(VFW_E_NOT_CONNECTED, buffer, 8), 7u);
    EXPECT_STREQ(buffer, "The ope");
    EXPECT_EQ(AMGetErrorTextA(VFW_E_NOT_CONNECTED, buffer, 1), 0u);
    EXPECT_STREQ(buffer, "");

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(AMGetErrorTextA(VFW_E_NOT_CONNECTED, buffer, 0), 0u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(AMGetErrorTextA(VFW_E_NOT_CONNECTED, nullptr, 8), 0u);
    EXPECT_EQ(AMGetErrorTextA(E_FAIL, buffer, 8), 0u);
    EXPECT_EQ(AMGetErrorTextA(MakeResult(0xC00D0BC6), buffer, 8), 0u);
}

// ---- The shared Unicode coder ------------------------------------------------------

TEST(Unicode, ReplacesOrRefusesMalformedTextAndDecodesLatin1) {
    EXPECT_EQ(unicode::Latin1ToUtf8("Caf\xE9 \xFF"), "Caf\xC3\xA9 \xC3\xBF");
    EXPECT_EQ(unicode::ValidUtf8("Caf\xE9 del Mar"), "Caf\xEF\xBF\xBD del Mar")
        << "a bad byte becomes U+FFFD and the text goes on";
    EXPECT_EQ(unicode::ValidUtf8("\xF0\x9F\x8E"), "\xEF\xBF\xBD") << "a cut sequence is one piece";

    const std::u16string lone{u'a', 0xD800, u'b'};
    EXPECT_FALSE(unicode::Utf16ToUtf8(lone));
    EXPECT_EQ(unicode::Utf16ToUtf8(lone, false), "a\xEF\xBF\xBD"
                                                 "b");
    EXPECT_EQ(unicode::Utf16ToUtf8(u"\U0001F3B5\u00E9"), "\xF0\x9F\x8E\xB5\xC3\xA9");
    EXPECT_FALSE(unicode::Utf8ToUtf16("\xED\xA0\x80")) << "an encoded surrogate is malformed";
    EXPECT_EQ(unicode::Utf8ToUtf16("\xC0\x80", false), u"\uFFFD\uFFFD");

    EXPECT_EQ(unicode::Utf16ToPathBytes(u"caf\u00E9\xDCE9/x"), "caf\xC3\xA9\xE9/x")
        << "an escaped byte comes back as itself";
    EXPECT_FALSE(unicode::Utf16ToPathBytes(u"a\xDC10")) << "only bytes 0x80..0xFF are escaped";
    EXPECT_FALSE(unicode::Utf16ToPathBytes(u"a\xD800"));

    std::string out;
    unicode::AppendUtf8(out, 0x110000);
    EXPECT_EQ(out, "\xEF\xBF\xBD");
}

// ---- Tick count -----------------------------------------------------------------

TEST(TickCount, WrapsAtTwoToTheThirtyTwo) {
    using platform_core::TickCountFromMilliseconds;
    using platform_core::TicksBetween;
    EXPECT_EQ(TickCountFromMilliseconds(0xFFFFFFFFull), 0xFFFFFFFFu);
    EXPECT_EQ(TickCountFromMilliseconds(0x100000000ull), 0u);
    EXPECT_EQ(TickCountFromMilliseconds(0x100000005ull), 5u);
    // Elapsed time across the wrap stays right in 32-bit arithmetic.
    const DWORD before = TickCountFromMilliseconds(0xFFFFFFF0ull);
    const DWORD after = TickCountFromMilliseconds(0x100000010ull);
    EXPECT_EQ(TicksBetween(before, after), 0x20u);
}

TEST(TickCount, MovesForwardWithTheClock) {
    const DWORD start = GetTickCount();
    Sleep(30);
    EXPECT_GE(platform_core::TicksBetween(start, GetTickCount()), 30u);
}

} // namespace
