// The Win32 subset of the platform: synchronisation, threads, time, modules and
// resources, text code pages, and the window calls a dialog procedure makes.
#pragma once

#include "platform/win32_types.h"

extern "C" {

// ---- Synchronisation and threads ----------------------------------------------

// A recursive lock. The platform allocates its state on initialisation.
struct CRITICAL_SECTION {
    void* impl;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

PLATFORM_API void InitializeCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void DeleteCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void EnterCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void LeaveCriticalSection(LPCRITICAL_SECTION section);

// Security attributes are accepted and ignored; names are not supported (must be null).
PLATFORM_API HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name);
PLATFORM_API BOOL SetEvent(HANDLE event);
PLATFORM_API BOOL ResetEvent(HANDLE event);
PLATFORM_API HANDLE CreateSemaphoreA(void* security, LONG initialCount, LONG maximumCount,
                                     LPCSTR name);
// Fails (FALSE) without changing the count when the release would pass the maximum.
PLATFORM_API BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount);

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
constexpr DWORD STILL_ACTIVE = 0x103;
PLATFORM_API HANDLE CreateThread(void* security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                 LPVOID parameter, DWORD creationFlags, DWORD* threadId);
PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
PLATFORM_API DWORD GetCurrentThreadId();
PLATFORM_API DWORD GetCurrentProcessId();

// Events, semaphores and threads can be waited on. A thread handle is signalled
// when the thread has ended. Answers WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
PLATFORM_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Closing the last handle of a running thread detaches it.
PLATFORM_API BOOL CloseHandle(HANDLE handle);

PLATFORM_API void Sleep(DWORD milliseconds);
// Milliseconds of a monotonic clock, wrapping at 2^32.
PLATFORM_API DWORD GetTickCount();
PLATFORM_API DWORD GetLastError();
PLATFORM_API void SetLastError(DWORD error);

// ---- Modules and resources ----------------------------------------------------

struct DialogControlTemplate {
    const char* className; // "BUTTON", "EDIT", "STATIC", "msctls_trackbar32", ...
    const char* text;
    WORD id;
    DWORD style;
    SHORT x, y, cx, cy; // dialog units
};

struct DialogTemplate {
    WORD id;
    const char* caption;
    DWORD style;
    SHORT x, y, cx, cy;
    const char* fontName;
    WORD fontSize;
    const DialogControlTemplate* controls;
    int controlCount;
};

struct StringResource {
    UINT id;
    const char* text;
};

struct ModuleResources {
    const StringResource* strings;
    int stringCount;
    const DialogTemplate* dialogs;
    int dialogCount;
};

// A loaded library makes itself known under its file name (without folder or
// extension), with its resources, so GetModuleHandleA and LoadStringA find it.
// Registering a name again replaces its resources and answers the same handle.
PLATFORM_API HMODULE RegisterModule(const char* name, const ModuleResources* resources);
PLATFORM_API void UnregisterModule(HMODULE module);
// "ole32.dll" (any case) answers the platform's COM module; a null name the process.
PLATFORM_API HMODULE GetModuleHandleA(LPCSTR name);
// The COM module exports "CoInitializeEx", "CoInitialize", "CoUninitialize".
PLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// Copies string resource `id` into the buffer (cut to size - 1 and terminated) and
// answers the characters copied; 0 when the string does not exist.
PLATFORM_API int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferSize);
// The template of dialog `id` of a module, or null.
PLATFORM_API const DialogTemplate* FindDialogTemplate(HINSTANCE instance, WORD id);

// ---- Code pages ---------------------------------------------------------------

// The ANSI code page of this platform is UTF-8.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// Length -1 means "up to and including the terminator". A destination size of 0
// answers the size needed. Answers 0 on failure (see GetLastError).
PLATFORM_API int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength,
                                     LPWSTR target, int targetSize);
PLATFORM_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength,
                                     LPSTR target, int targetSize, LPCSTR defaultChar,
                                     BOOL* usedDefault);

// ---- Windows and dialogs ------------------------------------------------------

using DLGPROC = INT_PTR (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_USER = 0x0400;
constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT BN_CLICKED = 0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr UINT MB_OK = 0;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;

// Window and control style bits of dialog templates (their Win32 values).
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD ES_MULTILINE = 0x4;
constexpr DWORD ES_AUTOVSCROLL = 0x40;
constexpr DWORD ES_READONLY = 0x800;
constexpr DWORD TBS_HORZ = 0x0;
constexpr DWORD TBS_NOTICKS = 0x10;
// The control id of controls that code never addresses.
constexpr WORD IDC_STATIC = 0xFFFF;

constexpr WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high) {
    return static_cast<LPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}

// Whoever runs dialogs in this process (the host's dialog runtime) provides the
// window calls. Without a provider MessageBoxA writes to standard error and
// answers IDOK, and EndDialog answers FALSE.
struct WindowSystem {
    int (*messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
    BOOL (*endDialog)(HWND dialog, INT_PTR result);
};
PLATFORM_API void SetWindowSystem(const WindowSystem* system);
PLATFORM_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
PLATFORM_API BOOL EndDialog(HWND dialog, INT_PTR result);

} // extern "C"

// ---- Interlocked operations (sequentially consistent) ---------------------------

inline LONG InterlockedIncrement(volatile LONG* value) {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* value) {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(volatile LONG* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(volatile LONG* target, LONG value) {
    return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}
