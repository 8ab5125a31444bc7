#include "wm_profile.h"
#include "core/error_description.h"
#include "utf16_text.h"

#include "core/com_object.h"

#include <new>
#include <vector>

namespace writer {
namespace {

// The getters and setters of a profile's values: a null pointer is refused.
template <class T> HRESULT Out(T* target, const T& value) {
    if (target == nullptr) {
        return E_POINTER;
    }
    *target = value;
    return S_OK;
}

HRESULT SetText(std::u16string& target, const WCHAR* text) {
    if (text == nullptr) {
        return E_POINTER;
    }
    target = text;
    return S_OK;
}

class StreamConfig final : public com::Object<com::Interface<IWMStreamConfig, IID_IWMStreamConfig>,
                                              com::Interface<IWMMediaProps, IID_IWMMediaProps>> {
public:
    explicit StreamConfig(StreamDescription stream) : stream_(std::move(stream)) {}

    // IWMStreamConfig
    HRESULT STDMETHODCALLTYPE GetStreamType(GUID* type) override {
        return Out(type, stream_.majorType);
    }
    HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* number) override {
        return Out(number, stream_.streamNumber);
    }
    HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD number) override {
        if (number == 0 || number > 63) {
            return E_INVALIDARG;
        }
        stream_.streamNumber = number;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR* name, WORD* length) override {
        return CopyTextOut(stream_.streamName, name, length);
    }
    HRESULT STDMETHODCALLTYPE SetStreamName(const WCHAR* name) override {
        return SetText(stream_.streamName, name);
    }
    HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* length) override {
        return CopyTextOut(stream_.connectionName, name, length);
    }
    HRESULT STDMETHODCALLTYPE SetConnectionName(const WCHAR* name) override {
        return SetText(stream_.connectionName, name);
    }
    HRESULT STDMETHODCALLTYPE GetBitrate(DWORD* bitrate) override {
        return Out(bitrate, stream_.bitrate);
    }
    HRESULT STDMETHODCALLTYPE SetBitrate(DWORD bitrate) override {
        stream_.bitrate = bitrate;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD* milliseconds) override {
        return Out(milliseconds, stream_.bufferWindow);
    }
    HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD milliseconds) override {
        stream_.bufferWindow = milliseconds;
        return S_OK;
    }

    // IWMMediaProps
    HRESULT STDMETHODCALLTYPE GetType(GUID* type) override { return Out(type, stream_.majorType); }

    // The record and its format block are written into the caller's buffer, the
    // format block right behind the record.
    HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
        if (size == nullptr) {
            return E_POINTER;
        }
        const DWORD formatSize =
            static_cast<DWORD>(sizeof(WAVEFORMATEX) + stream_.codecData.size());
        const DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE)) + formatSize;
        if (type == nullptr) {
            *size = needed;
            return S_OK;
        }
        if (*size < needed) {
            *size = needed;
            return ASF_E_BUFFERTOOSMALL;
        }
        auto* format = reinterpret_cast<BYTE*>(type + 1);
        *type = WM_MEDIA_TYPE{};
        type->majortype = stream_.majorType;
        type->subtype = stream_.subtype;
        type->bFixedSizeSamples = stream_.fixedSizeSamples ? TRUE : FALSE;
        type->bTemporalCompression = stream_.temporalCompression ? TRUE : FALSE;
        type->lSampleSize = stream_.sampleSize;
        type->formattype = WMFORMAT_WaveFormatEx;
        type->pUnk = nullptr;
        type->cbFormat = formatSize;
        type->pbFormat = format;
        std::memcpy(format, &stream_.format, sizeof(WAVEFORMATEX));
        if (!stream_.codecData.empty()) {
            std::memcpy(format + sizeof(WAVEFORMATEX), stream_.codecData.data(),
                        stream_.codecData.size());
        }
        *size = needed;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) override {
        if (type == nullptr) {
            return E_POINTER;
        }
        if (!(type->majortype == WMMEDIATYPE_Audio) ||
            !(type->formattype == WMFORMAT_WaveFormatEx) || type->pbFormat == nullptr ||
            type->cbFormat < sizeof(WAVEFORMATEX)) {
            return E_INVALIDARG;
        }
        WAVEFORMATEX format;
        std::memcpy(&format, type->pbFormat, sizeof(format));
        if (format.cbSize > type->cbFormat - sizeof(WAVEFORMATEX) || format.nChannels == 0 ||
            format.nSamplesPerSec == 0) {
            return E_INVALIDARG;
        }
        stream_.subtype = type->subtype;
        stream_.fixedSizeSamples = type->bFixedSizeSamples != FALSE;
        stream_.temporalCompression = type->bTemporalCompression != FALSE;
        stream_.sampleSize = type->lSampleSize;
        stream_.format = format;
        const BYTE* extra = type->pbFormat + sizeof(WAVEFORMATEX);
        stream_.codecData.assign(extra, extra + format.cbSize);
        return S_OK;
    }

private:
    ~StreamConfig() override = default;

    StreamDescription stream_;
};

class Profile final : public com::Object<com::Interface<IWMProfile, IID_IWMProfile>> {
public:
    explicit Profile(const ProfileDescription& description)
        : version_(description.version), name_(description.name),
          description_(description.description) {
        for (const auto& stream : description.streams) {
            streams_.push_back(com::Ptr<IWMStreamConfig>::Adopt(new StreamConfig(stream)));
        }
    }

    HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION* version) override {
        return Out(version, static_cast<WMT_VERSION>(version_));
    }
    HRESULT STDMETHODCALLTYPE GetName(WCHAR* name, DWORD* length) override {
        return CopyTextOut(name_, name, length);
    }
    HRESULT STDMETHODCALLTYPE SetName(const WCHAR* name) override { return SetText(name_, name); }
    HRESULT STDMETHODCALLTYPE GetDescription(WCHAR* description, DWORD* length) override {
        return CopyTextOut(description_, description, length);
    }
    HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR* description) override {
        return SetText(description_, description);
    }
    HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* count) override {
        return Out(count, static_cast<DWORD>(streams_.size()));
    }
    HRESULT STDMETHODCALLTYPE GetStream(DWORD index, IWMStreamConfig** config) override {
        if (config == nullptr) {
            return E_POINTER;
        }
        *config = nullptr;
        if (index >= streams_.size()) {
            return E_INVALIDARG;
        }
        *config = streams_[index].Copy();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD number, IWMStreamConfig** config) override {
        if (config == nullptr) {
            return E_POINTER;
        }
        *config = nullptr;
        for (const auto& stream : streams_) {
            WORD current = 0;
            stream->GetStreamNumber(&current);
            if (current == number) {
                *config = stream.Copy();
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    // Editing the stream list is not needed by anything in the system.
    HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID, IWMStreamConfig**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD* count) override {
        return Out(count, DWORD{0});
    }
    HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD, IWMMutualExclusion**) override {
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion**) override {
        return E_NOTIMPL;
    }

private:
    ~Profile() override = default;

    DWORD version_;
    std::u16string name_;
    std::u16string description_;
    std::vector<com::Ptr<IWMStreamConfig>> streams_;
};

class ProfileManager final
    : public com::Object<com::Interface<IWMProfileManager, IID_IWMProfileManager>> {
public:
    HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION, IWMProfile** profile) override {
        if (profile != nullptr) {
            *profile = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID, IWMProfile** profile) override {
        if (profile != nullptr) {
            *profile = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR* text, IWMProfile** profile) override {
        if (profile == nullptr || text == nullptr) {
            if (profile != nullptr) {
                *profile = nullptr;
            }
            return E_POINTER;
        }
        *profile = nullptr;
        try {
            std::string problem;
            const auto description =
                ParseProfileXml(std::u16string_view(text, Utf16Length(text)), &problem);
            if (!description) {
                platform_core::SetErrorDescription("not a usable profile: " + problem);
                return NS_E_INVALIDPROFILE;
            }
            *profile = CreateProfileObject(*description).Detach();
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile*, WCHAR*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD, IWMProfile** profile) override {
        if (profile != nullptr) {
            *profile = nullptr;
        }
        return E_INVALIDARG;
    }

private:
    ~ProfileManager() override = default;
};

} // namespace

com::Ptr<IWMProfile> CreateProfileObject(const ProfileDescription& description) {
    return com::Ptr<IWMProfile>::Adopt(new Profile(description));
}

} // namespace writer

HRESULT WMCreateProfileManager(IWMProfileManager** manager) {
    return com::CreateNew<writer::ProfileManager>(manager);
}
