// The "WM Asf Writer" filter: encodes the 16-bit PCM pushed into its input pin
// with the codec of the configured profile and writes a Windows Media file.
#pragma once

#include "core/com_ptr.h"
#include "encoding_session.h"
#include "header_attributes.h"
#include "profile_targets.h"

#include "media/input_filter_base.h"
#include "platform/wmsdk.h"

#include <memory>
#include <mutex>
#include <string>

namespace writer {

class WmAsfWriterFilter;

class AsfWriterInputPin final : public media::InputPinBase {
public:
    explicit AsfWriterInputPin(WmAsfWriterFilter* filter);

protected:
    // Integer PCM of 16 or 24 bits, 1 to 8 channels at 1000 to 384000 Hz, that
    // the configured profile's encoder takes (24 bits: lossless profiles only).
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

private:
    WmAsfWriterFilter* const owner_;
};

class WmAsfWriterFilter final : public media::FilterBase,
                                public IConfigAsfWriter,
                                public IFileSinkFilter2,
                                public IServiceProvider {
public:
    // The class function registered for CLSID_WMAsfWriter.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** object);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return FilterBase::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FilterBase::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return FilterBase::Release(); }

    // IConfigAsfWriter. Profiles are accepted only while stopped.
    HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD profileId) override;
    HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD* profileId) override;
    HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID profile) override;
    HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* profile) override;
    HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile* profile) override;
    HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile** profile) override;
    HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL indexFile) override;
    HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL* indexFile) override;

    // IFileSinkFilter2. The name takes effect when the filter next leaves the
    // stopped state.
    HRESULT STDMETHODCALLTYPE SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE SetMode(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetMode(DWORD* flags) override;

    // IServiceProvider: IWMWriterAdvanced2, which leads to IWMHeaderInfo.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override;

    // For the input pin while it connects: whether the configured profile's
    // encoder takes PCM in this format; when not, the thread's error object
    // says why.
    bool TakesInput(const WAVEFORMATEX& format);
    // For the input pin, on the streaming thread.
    HRESULT ReceivePcm(const BYTE* data, std::size_t length);
    HRESULT EndOfStreamReached();

protected:
    HRESULT QueryExtraInterface(REFIID iid, void** object) override;
    HRESULT OnPause(FILTER_STATE previous) override;
    void OnStop() override;

private:
    WmAsfWriterFilter();
    ~WmAsfWriterFilter() override;

    // Streaming state; guarded by streamLock_, never by the filter lock.
    HRESULT StartSession();
    HRESULT Abort(HRESULT failure);
    // Hands whole frames to the session.
    HRESULT WriteFrames(const BYTE* data, std::size_t frames);

    AsfWriterInputPin pin_;
    std::shared_ptr<HeaderAttributes> attributes_;
    com::Ptr<IWMWriterAdvanced2> writerAdvanced_;

    // Configuration, under the filter lock.
    com::Ptr<IWMProfile> profile_;
    std::vector<ProfileStreamTarget> targets_;
    std::u16string fileName_;
    DWORD mode_ = 0;
    BOOL indexMode_ = TRUE;

    std::mutex streamLock_;
    std::string runPath_;
    bool runReplace_ = true;
    std::vector<StreamSetup> runStreams_;
    std::size_t inputBlockAlign_ = 0;
    std::vector<BYTE> carry_; // the start of a frame split across samples
    std::unique_ptr<EncodingSession> session_;
    HRESULT failure_ = S_OK;
    bool completed_ = false;
};

} // namespace writer
