// The COM subset of the platform: IUnknown, apartments, the in-process class
// registry, task memory, monikers and the running object table.
#pragma once

#include "platform/win32_types.h"

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IPersist : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) = 0;
};

// Automation is not supported; the slots exist so that dual interfaces keep
// their documented method order. Every implementation answers E_NOTIMPL.
struct IDispatch : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, void** typeInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                    LCID locale, LONG* dispIds) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(LONG dispId, REFIID iid, LCID locale, WORD flags,
                                             void* params, void* result, void* exception,
                                             UINT* argError) = 0;
};

struct IBindCtx;
struct IEnumMoniker;
struct IStream;
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct IPersistStream : IPersist {
    virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IStream* stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSizeMax(ULONGLONG* size) = 0;
};

struct IMoniker : IPersistStream {
    virtual HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx* context, IMoniker* left, REFIID iid,
                                                   void** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid,
                                                    void** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reduce(IBindCtx* context, DWORD howFar, IMoniker** toLeft,
                                             IMoniker** reduced) = 0;
    virtual HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker* right, BOOL onlyIfNotGeneric,
                                                  IMoniker** composite) = 0;
    virtual HRESULT STDMETHODCALLTYPE Enum(BOOL forward, IEnumMoniker** enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEqual(IMoniker* other) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hash(DWORD* hash) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx* context, IMoniker* left,
                                                IMoniker* newlyRunning) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx* context, IMoniker* left,
                                                          FILETIME* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE Inverse(IMoniker** inverse) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker* other, IMoniker** prefix) = 0;
    virtual HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker* other, IMoniker** relative) = 0;
    // The display name is task memory the caller frees.
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx* context, IMoniker* left,
                                                     LPOLESTR* displayName) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* context, IMoniker* left,
                                                       LPOLESTR displayName, ULONG* eaten,
                                                       IMoniker** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD* kind) = 0;
};

struct IRunningObjectTable : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Register(DWORD flags, IUnknown* object, IMoniker* name,
                                               DWORD* registration) = 0;
    virtual HRESULT STDMETHODCALLTYPE Revoke(DWORD registration) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsRunning(IMoniker* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObject(IMoniker* name, IUnknown** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE NoteChangeTime(DWORD registration, FILETIME* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IMoniker* name, FILETIME* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumRunning(IEnumMoniker** enumerator) = 0;
};

// What went wrong in the last failed call on this thread, in words.
struct IErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* file) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) = 0;
};

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersist = {
    0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistStream = {
    0x00000109, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IMoniker = {
    0x0000000F, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IRunningObjectTable = {
    0x00000010, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IErrorInfo = {
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD ROTFLAGS_REGISTRATIONKEEPSALIVE = 0x1;
// Success of IRunningObjectTable::Register when the name was already registered.
constexpr HRESULT MK_S_MONIKERALREADYREGISTERED = 0x000401E7;

// Creates an object of a registered class: answers CLASS_E_NOAGGREGATION when the
// class does not support the outer unknown it is given.
using ClassFactoryFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

extern "C" {

// COM is counted per thread: the first call answers S_OK, later ones S_FALSE
// (each to be paired with CoUninitialize), a different apartment kind
// RPC_E_CHANGED_MODE (not to be paired).
PLATFORM_API HRESULT CoInitialize(LPVOID reserved);
PLATFORM_API HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
PLATFORM_API void CoUninitialize();

// REGDB_E_CLASSNOTREG for an unknown class, CO_E_NOTINITIALIZED on a thread
// without COM.
PLATFORM_API HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid,
                                      void** object);
// Registers (or with a null function removes) an in-process class.
PLATFORM_API HRESULT CoRegisterClassFunction(REFCLSID classId, ClassFactoryFunction create);

PLATFORM_API void* CoTaskMemAlloc(SIZE_T size);
PLATFORM_API void* CoTaskMemRealloc(void* block, SIZE_T size);
PLATFORM_API void CoTaskMemFree(void* block);

// The process-wide running object table.
PLATFORM_API HRESULT GetRunningObjectTable(DWORD reserved, IRunningObjectTable** table);
// An item moniker; its display name is the delimiter followed by the item.
PLATFORM_API HRESULT CreateItemMoniker(LPCOLESTR delimiter, LPCOLESTR item, IMoniker** moniker);

// The thread's error object: SetErrorInfo replaces it (null clears it);
// GetErrorInfo hands it over and clears it, S_FALSE when there is none.
PLATFORM_API HRESULT SetErrorInfo(DWORD reserved, IErrorInfo* info);
PLATFORM_API HRESULT GetErrorInfo(DWORD reserved, IErrorInfo** info);

// Length-prefixed UTF-16 strings for texts handed across interfaces.
PLATFORM_API BSTR SysAllocString(const OLECHAR* text);
PLATFORM_API void SysFreeString(BSTR text);

} // extern "C"
