#include "wm_asf_writer_filter.h"
#include "core/error_description.h"
#include "platform/unicode.h"

#include "utf16_text.h"
#include "wm_profile.h"
#include "wm_writer_advanced.h"

#include <cstring>
#include <new>

namespace writer {
namespace {

constexpr int kMinChannels = 1;
constexpr int kMaxChannels = 8;
constexpr DWORD kMinSampleRate = 1000;
constexpr DWORD kMaxSampleRate = 384000;

// The PCM format of an accepted connection type, or false.
bool PcmFormatOf(const AM_MEDIA_TYPE* type, WAVEFORMATEX* format) {
    if (type == nullptr || !(type->majortype == MEDIATYPE_Audio) ||
        !(type->subtype == MEDIASUBTYPE_PCM) || !(type->formattype == FORMAT_WaveFormatEx) ||
        type->pbFormat == nullptr || type->cbFormat < sizeof(WAVEFORMATEX) - sizeof(WORD)) {
        return false;
    }
    *format = WAVEFORMATEX{};
    std::memcpy(format, type->pbFormat,
                std::min<std::size_t>(type->cbFormat, sizeof(WAVEFORMATEX)));
    const bool depth = format->wBitsPerSample == 16 || format->wBitsPerSample == 24;
    return format->wFormatTag == WAVE_FORMAT_PCM && depth && format->nChannels >= kMinChannels &&
           format->nChannels <= kMaxChannels && format->nSamplesPerSec >= kMinSampleRate &&
           format->nSamplesPerSec <= kMaxSampleRate &&
           format->nBlockAlign == format->nChannels * (format->wBitsPerSample / 8);
}

} // namespace

// ---- Input pin ------------------------------------------------------------------

AsfWriterInputPin::AsfWriterInputPin(WmAsfWriterFilter* filter)
    : InputPinBase(filter, u"Audio Input 01"), owner_(filter) {}

HRESULT AsfWriterInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    WAVEFORMATEX format;
    if (!PcmFormatOf(type, &format) || !owner_->TakesInput(format)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT AsfWriterInputPin::OnReceive(IMediaSample* sample) {
    BYTE* data = nullptr;
    const HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) {
        return hr;
    }
    const LONG length = sample->GetActualDataLength();
    if (length < 0 || (length > 0 && data == nullptr)) {
        return E_INVALIDARG;
    }
    return owner_->ReceivePcm(data, static_cast<std::size_t>(length));
}

HRESULT AsfWriterInputPin::OnEndOfStream() {
    return owner_->EndOfStreamReached();
}

// ---- Filter -------------------------------------------------------------------

HRESULT WmAsfWriterFilter::Create(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    com::Ptr<WmAsfWriterFilter> filter;
    try {
        filter = com::Ptr<WmAsfWriterFilter>::Adopt(new WmAsfWriterFilter());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!filter->writerAdvanced_ || !filter->profile_) {
        return E_OUTOFMEMORY;
    }
    return filter->QueryInterface(iid, object);
}

WmAsfWriterFilter::WmAsfWriterFilter()
    : FilterBase(CLSID_WMAsfWriter), pin_(this), attributes_(std::make_shared<HeaderAttributes>()),
      writerAdvanced_(CreateWriterAdvanced(attributes_)) {
    AddPin(&pin_);
    const auto description = DefaultProfileDescription();
    profile_ = CreateProfileObject(description);
    if (FAILED(ReadProfileTargets(profile_.Get(), &targets_))) {
        profile_.Reset();
    }
}

WmAsfWriterFilter::~WmAsfWriterFilter() = default;

HRESULT WmAsfWriterFilter::QueryExtraInterface(REFIID iid, void** object) {
    // IUnknown never comes here: the filter base answers it.
    return com::QueryEntries<
        com::Interface<IConfigAsfWriter, IID_IConfigAsfWriter>,
        com::Interface<IFileSinkFilter2, IID_IFileSinkFilter2, IID_IFileSinkFilter>,
        com::Interface<IServiceProvider, IID_IServiceProvider>>(this, iid, object);
}

// ---- IConfigAsfWriter ---------------------------------------------------------

HRESULT WmAsfWriterFilter::ConfigureFilterUsingProfileId(DWORD) {
    return E_NOTIMPL;
}
HRESULT WmAsfWriterFilter::GetCurrentProfileId(DWORD*) {
    return E_NOTIMPL;
}
HRESULT WmAsfWriterFilter::ConfigureFilterUsingProfileGuid(REFGUID) {
    return E_NOTIMPL;
}
HRESULT WmAsfWriterFilter::GetCurrentProfileGuid(GUID*) {
    return E_NOTIMPL;
}

HRESULT WmAsfWriterFilter::ConfigureFilterUsingProfile(IWMProfile* profile) {
    if (profile == nullptr) {
        return E_POINTER;
    }
    std::lock_guard guard(FilterLock());
    if (!IsStopped()) {
        return VFW_E_NOT_STOPPED;
    }
    std::vector<ProfileStreamTarget> targets;
    HRESULT hr = ReadProfileTargets(profile, &targets);
    if (FAILED(hr)) {
        return hr;
    }
    // The filter has one input pin, so it writes profiles of one audio stream.
    if (targets.size() != 1) {
        platform_core::SetErrorDescription("the profile has " + std::to_string(targets.size()) +
                                           " streams; the writer takes one audio stream");
        return NS_E_INVALID_OUTPUT_FORMAT;
    }
    hr = CheckEncodable(targets.front().target);
    if (FAILED(hr)) {
        if (hr == E_OUTOFMEMORY) {
            return hr;
        }
        platform_core::SetErrorDescription(DescribeUnencodable(targets.front().target));
        return NS_E_INVALID_OUTPUT_FORMAT;
    }
    profile_ = com::Ptr<IWMProfile>::Share(profile);
    targets_ = std::move(targets);
    return S_OK;
}

bool WmAsfWriterFilter::TakesInput(const WAVEFORMATEX& format) {
    std::lock_guard guard(FilterLock());
    if (targets_.empty()) {
        return true; // the profile decides later
    }
    // Exactly the encoder a run would make, so that a refusal comes now, with
    // its reason, and not as a failed file.
    const PcmFormat input{static_cast<int>(format.nSamplesPerSec), format.nChannels,
                          format.wBitsPerSample};
    if (SUCCEEDED(CheckEncoder(targets_.front().target, input))) {
        return true;
    }
    IErrorInfo* said = nullptr;
    if (GetErrorInfo(0, &said) == S_OK && said != nullptr) {
        SetErrorInfo(0, said); // the encoder's own words stay for the caller
        said->Release();
    } else {
        platform_core::SetErrorDescription(DescribeUnencodable(targets_.front().target) + " from " +
                                           std::to_string(input.bitsPerSample) + "-bit input");
    }
    return false;
}

HRESULT WmAsfWriterFilter::GetCurrentProfile(IWMProfile** profile) {
    if (profile == nullptr) {
        return E_POINTER;
    }
    std::lock_guard guard(FilterLock());
    *profile = com::Ptr<IWMProfile>(profile_).Detach();
    return *profile != nullptr ? S_OK : NS_E_NOT_CONFIGURED;
}

HRESULT WmAsfWriterFilter::SetIndexMode(BOOL indexFile) {
    std::lock_guard guard(FilterLock());
    indexMode_ = indexFile != FALSE ? TRUE : FALSE;
    return S_OK;
}

HRESULT WmAsfWriterFilter::GetIndexMode(BOOL* indexFile) {
    if (indexFile == nullptr) {
        return E_POINTER;
    }
    std::lock_guard guard(FilterLock());
    *indexFile = indexMode_;
    return S_OK;
}

// ---- IFileSinkFilter2 ---------------------------------------------------------

HRESULT WmAsfWriterFilter::SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (fileName == nullptr) {
        return E_POINTER;
    }
    const std::u16string name(fileName, Utf16Length(fileName));
    if (name.empty() || !unicode::Utf16ToPathBytes(name)) {
        return E_INVALIDARG;
    }
    std::lock_guard guard(FilterLock());
    fileName_ = name;
    return S_OK;
}

HRESULT WmAsfWriterFilter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
    if (fileName == nullptr) {
        return E_POINTER;
    }
    *fileName = nullptr;
    std::lock_guard guard(FilterLock());
    if (fileName_.empty()) {
        return E_FAIL;
    }
    const std::size_t bytes = (fileName_.size() + 1) * sizeof(OLECHAR);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(copy, fileName_.c_str(), bytes);
    *fileName = copy;
    if (type != nullptr) {
        *type = AM_MEDIA_TYPE{};
    }
    return S_OK;
}

HRESULT WmAsfWriterFilter::SetMode(DWORD flags) {
    if ((flags & ~AM_FILE_OVERWRITE) != 0) {
        return E_INVALIDARG;
    }
    std::lock_guard guard(FilterLock());
    mode_ = flags;
    return S_OK;
}

HRESULT WmAsfWriterFilter::GetMode(DWORD* flags) {
    if (flags == nullptr) {
        return E_POINTER;
    }
    std::lock_guard guard(FilterLock());
    *flags = mode_;
    return S_OK;
}

// ---- IServiceProvider -----------------------------------------------------------

HRESULT WmAsfWriterFilter::QueryService(REFGUID service, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!(service == IID_IWMWriterAdvanced2) && !(service == IID_IWMWriterAdvanced)) {
        return E_NOINTERFACE;
    }
    return writerAdvanced_->QueryInterface(iid, object);
}

// ---- States ---------------------------------------------------------------------

HRESULT WmAsfWriterFilter::OnPause(FILTER_STATE previous) {
    if (previous != State_Stopped) {
        return S_OK;
    }
    if (fileName_.empty() || targets_.empty()) {
        return NS_E_NOT_CONFIGURED;
    }
    std::lock_guard guard(streamLock_);
    runPath_ = *unicode::Utf16ToPathBytes(fileName_);
    runReplace_ = (mode_ & AM_FILE_OVERWRITE) != 0;
    runStreams_.clear();
    inputBlockAlign_ = 0;
    WAVEFORMATEX format;
    if (pin_.IsConnected() && PcmFormatOf(&pin_.ConnectedType(), &format)) {
        StreamSetup setup;
        setup.target = targets_.front().target;
        setup.input = {static_cast<int>(format.nSamplesPerSec), format.nChannels,
                       format.wBitsPerSample};
        runStreams_.push_back(std::move(setup));
        inputBlockAlign_ = format.nBlockAlign;
    }
    session_.reset();
    carry_.clear();
    failure_ = S_OK;
    completed_ = false;
    return S_OK;
}

void WmAsfWriterFilter::OnStop() {
    std::lock_guard guard(streamLock_);
    session_.reset(); // an unfinished file is abandoned
    carry_.clear();
    failure_ = S_OK;
    attributes_->Unseal();
}

// ---- Streaming --------------------------------------------------------------------

HRESULT WmAsfWriterFilter::StartSession() {
    if (runStreams_.empty() || inputBlockAlign_ == 0) {
        return VFW_E_NOT_CONNECTED;
    }
    return EncodingSession::Start(runPath_, runStreams_, attributes_->SnapshotAndSeal(), &session_,
                                  runReplace_);
}

HRESULT WmAsfWriterFilter::Abort(HRESULT failure) {
    failure_ = failure;
    session_.reset();
    NotifyEvent(EC_ERRORABORT, failure, 0);
    return failure;
}

HRESULT WmAsfWriterFilter::ReceivePcm(const BYTE* data, std::size_t length) {
    std::lock_guard guard(streamLock_);
    if (FAILED(failure_)) {
        return failure_;
    }
    if (completed_) {
        return VFW_E_SAMPLE_REJECTED_EOS;
    }
    if (session_ == nullptr) {
        const HRESULT hr = StartSession();
        if (FAILED(hr)) {
            return Abort(hr);
        }
    }
    try {
        // Samples normally hold whole frames and go to the encoder as they are;
        // a frame split across samples is put together first.
        if (!carry_.empty()) {
            const std::size_t take = std::min(inputBlockAlign_ - carry_.size(), length);
            carry_.insert(carry_.end(), data, data + take);
            data += take;
            length -= take;
            if (carry_.size() < inputBlockAlign_) {
                return S_OK;
            }
            const HRESULT hr = WriteFrames(carry_.data(), 1);
            carry_.clear();
            if (FAILED(hr)) {
                return Abort(hr);
            }
        }
        const std::size_t frames = length / inputBlockAlign_;
        const HRESULT hr = WriteFrames(data, frames);
        if (FAILED(hr)) {
            return Abort(hr);
        }
        carry_.assign(data + frames * inputBlockAlign_, data + length);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return Abort(E_OUTOFMEMORY);
    }
}

HRESULT WmAsfWriterFilter::WriteFrames(const BYTE* data, std::size_t frames) {
    return frames == 0 ? S_OK : session_->Write(0, data, frames);
}

HRESULT WmAsfWriterFilter::EndOfStreamReached() {
    std::lock_guard guard(streamLock_);
    if (FAILED(failure_)) {
        return failure_;
    }
    if (completed_) {
        return S_OK;
    }
    if (session_ == nullptr) {
        const HRESULT hr = StartSession(); // no samples: a file without audio
        if (FAILED(hr)) {
            return Abort(hr);
        }
    }
    const HRESULT hr = session_->Finish();
    if (FAILED(hr)) {
        return Abort(hr);
    }
    session_.reset();
    carry_.clear();
    completed_ = true;
    NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

// The class is known to the class registry as soon as the library is loaded.
namespace {
[[maybe_unused]] const bool kRegistered = [] {
    return SUCCEEDED(CoRegisterClassFunction(CLSID_WMAsfWriter, &WmAsfWriterFilter::Create));
}();
} // namespace

} // namespace writer
