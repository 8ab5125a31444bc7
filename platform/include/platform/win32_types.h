// Basic types, result codes and GUIDs of the platform, with their Win32 and COM
// names and widths. Wide text is UTF-16 in char16_t; wchar_t never crosses here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#define PLATFORM_API __attribute__((visibility("default")))
#define STDMETHODCALLTYPE
#define WINAPI

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using SHORT = std::int16_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using QWORD = std::uint64_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using LPARAM = std::intptr_t;
using WPARAM = std::uintptr_t;
using LRESULT = std::intptr_t;
using HRESULT = std::int32_t;
using LCID = DWORD;
using WCHAR = char16_t;
using OLECHAR = char16_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using LPVOID = void*;
using HANDLE = void*;
using HWND = struct HWND__*;
using HINSTANCE = struct HINSTANCE__*;
using HMODULE = HINSTANCE;
using FARPROC = void (*)();
using REFERENCE_TIME = LONGLONG;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr DWORD INFINITE = 0xFFFFFFFF;

// ---- Result codes -----------------------------------------------------------

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr HRESULT MakeResult(std::uint32_t bits) {
    return static_cast<HRESULT>(bits);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002);
constexpr HRESULT E_POINTER = MakeResult(0x80004003);
constexpr HRESULT E_ABORT = MakeResult(0x80004004);
constexpr HRESULT E_FAIL = MakeResult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeResult(0x80070005);
constexpr HRESULT E_HANDLE = MakeResult(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeResult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeResult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeResult(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeResult(0x800401F0);
constexpr HRESULT RPC_E_CHANGED_MODE = MakeResult(0x80010106);
constexpr HRESULT MK_E_UNAVAILABLE = MakeResult(0x800401E3);
constexpr HRESULT MK_E_SYNTAX = MakeResult(0x800401E4);
constexpr HRESULT STG_E_FILENOTFOUND = MakeResult(0x80030002);

// Wait results.
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// ---- GUIDs ------------------------------------------------------------------

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

// GUIDs compare as 16 raw bytes.
inline bool operator==(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, 16) == 0;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a == b;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
    return a == b;
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return a == b;
}

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Braced text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (39 characters with
// the terminator). Parsing accepts either case and answers false for bad text.
constexpr std::size_t kGuidTextLength = 38;
PLATFORM_API bool GuidFromString(const char* text, GUID* out);
PLATFORM_API void GuidToString(REFGUID guid, char out[kGuidTextLength + 1]);

// ---- Wave format (packed, 18 bytes as the platform stores it) ----------------

#pragma pack(push, 2)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_WMAUDIO1 = 0x160;
constexpr WORD WAVE_FORMAT_WMAUDIO2 = 0x161;
constexpr WORD WAVE_FORMAT_WMAUDIO3 = 0x162;
constexpr WORD WAVE_FORMAT_WMAUDIO_LOSSLESS = 0x163;
