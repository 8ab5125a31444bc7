// The Windows Media format runtime (profiles, header attributes) and the
// interfaces of the Windows Media file writer filter.
#pragma once

#include "platform/dshow.h"

struct IWMStreamConfig;
struct IWMMutualExclusion;

enum WMT_VERSION : int {
    WMT_VER_4_0 = 0x00040000,
    WMT_VER_7_0 = 0x00070000,
    WMT_VER_8_0 = 0x00080000,
    WMT_VER_9_0 = 0x00090000,
};

enum WMT_ATTR_DATATYPE : int {
    WMT_TYPE_DWORD = 0,
    WMT_TYPE_STRING = 1,
    WMT_TYPE_BINARY = 2,
    WMT_TYPE_BOOL = 3,
    WMT_TYPE_QWORD = 4,
    WMT_TYPE_WORD = 5,
    WMT_TYPE_GUID = 6,
};

// The media type of a stream as the format runtime describes it (same layout as
// AM_MEDIA_TYPE).
using WM_MEDIA_TYPE = AM_MEDIA_TYPE;

struct IWMMediaProps : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetType(GUID* type) = 0;
    // Two-call protocol: with a null type the size needed is returned in *size.
    virtual HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) = 0;
};

struct IWMStreamConfig : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetStreamType(GUID* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* number) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD number) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR* name, WORD* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStreamName(const WCHAR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetConnectionName(const WCHAR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBitrate(DWORD* bitrate) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBitrate(DWORD bitrate) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD* milliseconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD milliseconds) = 0;
};

struct IWMProfile : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION* version) = 0;
    // Two-call protocol for text: with a null buffer the length needed (in
    // characters, with the terminator) is returned in *length.
    virtual HRESULT STDMETHODCALLTYPE GetName(WCHAR* name, DWORD* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetName(const WCHAR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(WCHAR* description, DWORD* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStream(DWORD index, IWMStreamConfig** config) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD number, IWMStreamConfig** config) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig* config) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD number) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig* config) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig* config) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID type, IWMStreamConfig** config) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD index,
                                                         IWMMutualExclusion** exclusion) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion* exclusion) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion* exclusion) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion** exclusion) = 0;
};

struct IWMProfileManager : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION version,
                                                         IWMProfile** profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID id, IWMProfile** profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR* text,
                                                        IWMProfile** profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile* profile, WCHAR* text,
                                                  DWORD* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD index, IWMProfile** profile) = 0;
};

struct IWMHeaderInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD streamNumber, WORD* count) = 0;
    // Two-call protocol: with a null name or value the lengths needed are returned.
    virtual HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* streamNumber,
                                                          WCHAR* name, WORD* nameLength,
                                                          WMT_ATTR_DATATYPE* type, BYTE* value,
                                                          WORD* valueLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* streamNumber, LPCWSTR name,
                                                         WMT_ATTR_DATATYPE* type, BYTE* value,
                                                         WORD* valueLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttribute(WORD streamNumber, LPCWSTR name,
                                                   WMT_ATTR_DATATYPE type, const BYTE* value,
                                                   WORD length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMarker(WORD index, WCHAR* name, WORD* nameLength,
                                                QWORD* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddMarker(const WCHAR* name, QWORD time) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveMarker(WORD index) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetScriptCount(WORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetScript(WORD index, WCHAR* type, WORD* typeLength,
                                                WCHAR* command, WORD* commandLength,
                                                QWORD* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddScript(const WCHAR* type, const WCHAR* command,
                                                QWORD time) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveScript(WORD index) = 0;
};

enum WMT_CODEC_INFO_TYPE : int {
    WMT_CODECINFO_AUDIO = 0,
    WMT_CODECINFO_VIDEO = 1,
    WMT_CODECINFO_UNKNOWN = 0xFFFFFF,
};

struct IWMHeaderInfo2 : IWMHeaderInfo {
    virtual HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD index, WORD* nameLength, WCHAR* name,
                                                   WORD* descriptionLength, WCHAR* description,
                                                   WMT_CODEC_INFO_TYPE* codecType,
                                                   WORD* codecInfoLength, BYTE* codecInfo) = 0;
};

// Attributes by index, where one name may hold several values, and values
// longer than a 16-bit length (they are stored in the metadata library).
struct IWMHeaderInfo3 : IWMHeaderInfo2 {
    virtual HRESULT STDMETHODCALLTYPE GetVersion(WORD* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD streamNumber, WORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD streamNumber, LPCWSTR name,
                                                          WORD* language, WORD* indices,
                                                          WORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD streamNumber, WORD index,
                                                            LPWSTR name, WORD* nameLength,
                                                            WMT_ATTR_DATATYPE* type, WORD* language,
                                                            BYTE* value, DWORD* valueLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD streamNumber, WORD index,
                                                      WMT_ATTR_DATATYPE type, WORD language,
                                                      const BYTE* value, DWORD length) = 0;
    // Adds a value even when the name has others; *index receives its index.
    virtual HRESULT STDMETHODCALLTYPE AddAttribute(WORD streamNumber, LPCWSTR name, WORD* index,
                                                   WMT_ATTR_DATATYPE type, WORD language,
                                                   const BYTE* value, DWORD length) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD streamNumber, WORD index) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddCodecInfo(WCHAR* name, WCHAR* description,
                                                   WMT_CODEC_INFO_TYPE codecType,
                                                   WORD codecInfoLength, BYTE* codecInfo) = 0;
};

// Changes the header of a finished file. Open reads it; its IWMHeaderInfo3
// changes the attributes; Flush writes the file with the new header and closes
// it; Close closes it without saving.
struct IWMMetadataEditor : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Open(const WCHAR* fileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
};

// The writer's advanced interface; the system only reaches IWMHeaderInfo through
// it. Sink and statistics types are opaque here.
struct IWMWriterAdvanced : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSinkCount(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSink(DWORD index, void** sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddSink(void* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveSink(void* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteStreamSample(WORD streamNumber, QWORD sampleTime,
                                                        DWORD sampleSendTime, QWORD sampleDuration,
                                                        DWORD flags, void* sample) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLiveSource(BOOL isLiveSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsRealTime(BOOL* realTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWriterTime(QWORD* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatistics(WORD streamNumber, void* statistics) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSyncTolerance(DWORD milliseconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSyncTolerance(DWORD* milliseconds) = 0;
};

struct IWMWriterAdvanced2 : IWMWriterAdvanced {
    virtual HRESULT STDMETHODCALLTYPE GetInputSetting(DWORD inputNumber, LPCWSTR name,
                                                      WMT_ATTR_DATATYPE* type, BYTE* value,
                                                      WORD* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInputSetting(DWORD inputNumber, LPCWSTR name,
                                                      WMT_ATTR_DATATYPE type, const BYTE* value,
                                                      WORD length) = 0;
};

struct IConfigAsfWriter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD profileId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD* profileId) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile* profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile** profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL indexFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL* indexFile) = 0;
};

struct IFileSinkFilter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFileName(LPCOLESTR fileName,
                                                  const AM_MEDIA_TYPE* type) = 0;
    // The name is task memory the caller frees.
    virtual HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;
};

constexpr DWORD AM_FILE_OVERWRITE = 0x1;

struct IFileSinkFilter2 : IFileSinkFilter {
    virtual HRESULT STDMETHODCALLTYPE SetMode(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMode(DWORD* flags) = 0;
};

struct IServiceProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) = 0;
};

#define PLATFORM_WM_GUID(name, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7)                         \
    inline constexpr GUID name = {d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};

PLATFORM_WM_GUID(IID_IWMMediaProps, 0x96406BCE, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61,
                 0x08, 0xFF)
PLATFORM_WM_GUID(IID_IWMStreamConfig, 0x96406BDC, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F,
                 0x61, 0x08, 0xFF)
PLATFORM_WM_GUID(IID_IWMProfile, 0x96406BDB, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61,
                 0x08, 0xFF)
PLATFORM_WM_GUID(IID_IWMProfileManager, 0xD16679F2, 0x6CA0, 0x472D, 0x8D, 0x31, 0x2F, 0x5D, 0x55,
                 0xAE, 0xE1, 0x55)
PLATFORM_WM_GUID(IID_IWMHeaderInfo, 0x96406BDA, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61,
                 0x08, 0xFF)
PLATFORM_WM_GUID(IID_IWMHeaderInfo2, 0x15CF9781, 0x454E, 0x482E, 0xB3, 0x93, 0x85, 0xFA, 0xE4, 0x87,
                 0xA8, 0x10)
PLATFORM_WM_GUID(IID_IWMHeaderInfo3, 0x15CC68E3, 0x27CC, 0x4ECD, 0xB2, 0x22, 0x3F, 0x5D, 0x02, 0xD8,
                 0x0B, 0xD5)
PLATFORM_WM_GUID(IID_IWMMetadataEditor, 0x96406BD9, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F,
                 0x61, 0x08, 0xFF)
PLATFORM_WM_GUID(IID_IWMWriterAdvanced, 0x96406BE3, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F,
                 0x61, 0x08, 0xFF)
PLATFORM_WM_GUID(IID_IWMWriterAdvanced2, 0x962DC1EC, 0xC046, 0x4DB8, 0x9C, 0xC7, 0x26, 0xCE, 0xAE,
                 0x50, 0x08, 0x17)
PLATFORM_WM_GUID(IID_IConfigAsfWriter, 0x45086030, 0xF7E4, 0x486A, 0xB5, 0x04, 0x82, 0x6B, 0xB5,
                 0x79, 0x2A, 0x3B)
PLATFORM_WM_GUID(IID_IFileSinkFilter, 0xA2104830, 0x7C70, 0x11CF, 0x8B, 0xCE, 0x00, 0xAA, 0x00,
                 0xA3, 0xF1, 0xA6)
PLATFORM_WM_GUID(IID_IFileSinkFilter2, 0x00855B90, 0xCE1B, 0x11D0, 0xBD, 0x4F, 0x00, 0xA0, 0xC9,
                 0x11, 0xCE, 0x86)
PLATFORM_WM_GUID(IID_IServiceProvider, 0x6D5140C1, 0x7436, 0x11CE, 0x80, 0x34, 0x00, 0xAA, 0x00,
                 0x60, 0x09, 0xFA)
PLATFORM_WM_GUID(CLSID_WMAsfWriter, 0x7C23220E, 0x55BB, 0x11D3, 0x8B, 0x16, 0x00, 0xC0, 0x4F, 0xB6,
                 0xBD, 0x3D)
PLATFORM_WM_GUID(WMMEDIATYPE_Audio, 0x73647561, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38,
                 0x9B, 0x71)
PLATFORM_WM_GUID(WMFORMAT_WaveFormatEx, 0x05589F81, 0xC356, 0x11CE, 0xBF, 0x01, 0x00, 0xAA, 0x00,
                 0x55, 0x59, 0x5A)

#undef PLATFORM_WM_GUID

// Result codes of the format runtime and the writer (all named in the
// component's result-code table, so its messages can name them).
constexpr HRESULT NS_E_FILE_OPEN_FAILED = MakeResult(0xC00D001D);
constexpr HRESULT NS_E_FILE_WRITE = MakeResult(0xC00D0018);
constexpr HRESULT NS_E_BUSY = MakeResult(0xC00D0025);
constexpr HRESULT NS_E_INVALID_REQUEST = MakeResult(0xC00D002B);
constexpr HRESULT NS_E_INVALID_DATA = MakeResult(0xC00D002F);
constexpr HRESULT NS_E_INVALID_OUTPUT_FORMAT = MakeResult(0xC00D0BBB);
constexpr HRESULT NS_E_NOT_CONFIGURED = MakeResult(0xC00D0BBC);
constexpr HRESULT NS_E_INVALIDPROFILE = MakeResult(0xC00D0BC6);
constexpr HRESULT NS_E_TOO_MUCH_DATA = MakeResult(0xC00D0BCC);
constexpr HRESULT ASF_E_BUFFERTOOSMALL = MakeResult(0xC00D07D1);
constexpr HRESULT ASF_E_NOTFOUND = MakeResult(0xC00D07F0);

extern "C" {
PLATFORM_API HRESULT WMCreateProfileManager(IWMProfileManager** manager);
PLATFORM_API HRESULT WMCreateEditor(IWMMetadataEditor** editor);
}
