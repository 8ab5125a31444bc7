// Setting up the encoding chain for a track from its first chunk.
#include "diskwriter/diskwriter_wma.h"
#include "diskwriter/track_tags.h"

#include "com/com_ref.h"
#include "diskwriter/exception_source.h"
#include "entry/module_state.h"
#include "errors/platform_reason.h"
#include "errors/wma_exception.h"
#include "sdk/conversion_holders.h"
#include "vantrel/sample_chunk.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr WORD kPcmFormatTag = 1;
constexpr WORD kBitsPerSample = 16;
// Lossless profiles take the track's own depth up to this, so nothing is lost.
constexpr WORD kDeepBitsPerSample = 24;
// One chain buffer holds a few of the first chunk's worth of PCM: enough for
// any block of a host that keeps its chunk size, and bounded by it.
constexpr std::uint64_t kBufferChunks = 4;
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

WAVEFORMATEX PcmFormatOf(std::int32_t channelCount, std::int32_t sampleRate, WORD bitsPerSample) {
    WAVEFORMATEX format{};
    format.wFormatTag = kPcmFormatTag;
    format.nChannels = static_cast<WORD>(channelCount & 0xFFFF);
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = bitsPerSample;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * (format.wBitsPerSample / 8));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;
    return format;
}

// Whether the profile's (first) stream is WMA Lossless.
bool IsLosslessProfile(IWMProfile* profile) {
    ComRef<IWMStreamConfig> stream;
    ComRef<IWMMediaProps> props;
    DWORD size = 0;
    if (FAILED(profile->GetStream(0, stream.Receive())) || stream.Get() == nullptr ||
        FAILED(stream.Get()->QueryInterface(IID_IWMMediaProps, props.ReceiveVoid())) ||
        FAILED(props.Get()->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE))
        return false;
    std::vector<std::uint64_t> storage((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
    if (FAILED(props.Get()->GetMediaType(type, &size)) || type->pbFormat == nullptr ||
        type->cbFormat < sizeof(WORD))
        return false;
    WORD tag = 0;
    std::memcpy(&tag, type->pbFormat, sizeof tag);
    return tag == WAVE_FORMAT_WMAUDIO_LOSSLESS;
}

LONG FramesPerBuffer(const sample_chunk& chunk) {
    const std::uint64_t channels = std::max<std::uint32_t>(chunk.channel_count(), 1);
    const std::uint64_t chunkFrames = std::max<std::uint64_t>(chunk.data_capacity() / channels, 1);
    const std::uint64_t frames = chunkFrames * kBufferChunks;
    return static_cast<LONG>(std::min<std::uint64_t>(frames, std::numeric_limits<LONG>::max()));
}

} // namespace

IWMProfile* diskwriter_wma::LoadSelectedProfile() {
    IWMProfile* profile = nullptr;
    HRESULT result;
    const std::int32_t count = presetLoader_.PresetCount();
    if (selectedPreset_ == count) {
        // Profile text is UTF-8; a leading byte-order mark is not part of it.
        const char* text = customProfile_.text();
        if (std::strncmp(text, kUtf8ByteOrderMark, 3) == 0)
            text += 3;
        const wide_from_utf8 wideText(text);
        result = presetLoader_.LoadCustomProfile(wideText.get(), &profile);
    } else if (selectedPreset_ >= 0 && selectedPreset_ < count) {
        result = presetLoader_.LoadPresetProfile(selectedPreset_, &profile);
    } else {
        // A stored index that names no preset.
        result = E_INVALIDARG;
    }
    if (FAILED(result)) {
        if (profile != nullptr)
            profile->Release();
        throw CWMAException("Failed to load selected profile.", result, kDiskWriterSourceName,
                            __LINE__);
    }
    return profile;
}

void diskwriter_wma::SetUpChain(const sample_chunk& chunk) {
    ForgetPlatformReason();
    if (pcmConverter_ == nullptr) {
        host_api* api = HostApi();
        if (api != nullptr)
            pcmConverter_ = api->get_service_as<pcm_converter>(0);
        if (pcmConverter_ == nullptr)
            throw CWMAException("Failed to get the host's PCM converter.", E_NOINTERFACE,
                                kDiskWriterSourceName, __LINE__);
    }

    ComRef<IWMProfile> profile;
    *profile.Receive() = LoadSelectedProfile();

    // Deeper input than 16 bits keeps its depth for a lossless profile: cutting
    // it would lose bits in a profile that promises to lose nothing.
    pcmBits_ =
        IsLosslessProfile(profile.Get()) && trackInfo_.bits_per_sample_hint() > kBitsPerSample
            ? kDeepBitsPerSample
            : kBitsPerSample;
    waveFormat_ = PcmFormatOf(channelCount_, sampleRate_, pcmBits_);

    // A chain left by an earlier failed set-up of this track never ran.
    chain_.reset();
    chain_ = std::make_unique<DShowWMAEncoder>();

    HRESULT result = chain_->Configure(&waveFormat_, outputFileName_.c_str(), profile.Get(),
                                       FramesPerBuffer(chunk));
    if (FAILED(result))
        throw CWMAException("Failed to setup encoding chain.", result, kDiskWriterSourceName,
                            __LINE__);

    {
        ComRef<IWMHeaderInfo> headerInfo;
        result = chain_->QueryHeaderInfo(headerInfo.Receive());
        if (FAILED(result))
            throw CWMAException("Failed to get IWMHeaderInfo interface.", result,
                                kDiskWriterSourceName, __LINE__);
        WriteTrackTags(headerInfo.Get(), trackInfo_);
    }

    // A graph that does not run would never take the PCM pushed into it.
    result = chain_->Start();
    if (FAILED(result))
        throw CWMAException("Failed to start encoding chain.", result, kDiskWriterSourceName,
                            __LINE__);

    chainStarted_ = true;
}
