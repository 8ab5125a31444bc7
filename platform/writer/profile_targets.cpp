#include "profile_targets.h"

#include "core/com_ptr.h"

#include <cstring>

namespace writer {
namespace {

HRESULT ReadStream(IWMStreamConfig* stream, ProfileStreamTarget* out) {
    GUID type{};
    HRESULT hr = stream->GetStreamType(&type);
    if (FAILED(hr)) {
        return NS_E_INVALIDPROFILE;
    }
    if (!(type == WMMEDIATYPE_Audio)) {
        return NS_E_INVALID_OUTPUT_FORMAT; // this writer writes audio only
    }
    DWORD bitrate = 0;
    if (FAILED(stream->GetStreamNumber(&out->streamNumber)) ||
        FAILED(stream->GetBitrate(&bitrate))) {
        return NS_E_INVALIDPROFILE;
    }
    com::Ptr<IWMMediaProps> props;
    if (FAILED(stream->QueryInterface(IID_IWMMediaProps, props.PutVoid()))) {
        return NS_E_INVALIDPROFILE;
    }
    DWORD size = 0;
    if (FAILED(props->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE)) {
        return NS_E_INVALIDPROFILE;
    }
    // The record holds pointers, so the buffer is aligned for it.
    std::vector<std::max_align_t> buffer((size + sizeof(std::max_align_t) - 1) /
                                         sizeof(std::max_align_t));
    auto* mediaType = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    if (FAILED(props->GetMediaType(mediaType, &size))) {
        return NS_E_INVALIDPROFILE;
    }
    if (!(mediaType->formattype == WMFORMAT_WaveFormatEx) || mediaType->pbFormat == nullptr ||
        mediaType->cbFormat < sizeof(WAVEFORMATEX)) {
        return NS_E_INVALIDPROFILE;
    }
    WAVEFORMATEX format;
    std::memcpy(&format, mediaType->pbFormat, sizeof(format));
    const std::size_t extra =
        std::min<std::size_t>(format.cbSize, mediaType->cbFormat - sizeof(WAVEFORMATEX));
    EncoderTarget& target = out->target;
    target.formatTag = format.wFormatTag;
    target.sampleRate = static_cast<int>(format.nSamplesPerSec);
    target.channels = format.nChannels;
    target.bitrate = bitrate != 0 ? bitrate : format.nAvgBytesPerSec * 8;
    target.blockAlign = format.nBlockAlign;
    const BYTE* codecData = mediaType->pbFormat + sizeof(WAVEFORMATEX);
    target.codecData.assign(codecData, codecData + extra);
    return S_OK;
}

} // namespace

HRESULT ReadProfileTargets(IWMProfile* profile, std::vector<ProfileStreamTarget>* targets) {
    targets->clear();
    if (profile == nullptr) {
        return E_POINTER;
    }
    DWORD count = 0;
    if (FAILED(profile->GetStreamCount(&count)) || count == 0) {
        return NS_E_INVALIDPROFILE;
    }
    try {
        for (DWORD i = 0; i < count; ++i) {
            com::Ptr<IWMStreamConfig> stream;
            if (FAILED(profile->GetStream(i, stream.Put())) || !stream) {
                return NS_E_INVALIDPROFILE;
            }
            ProfileStreamTarget target;
            const HRESULT hr = ReadStream(stream.Get(), &target);
            if (FAILED(hr)) {
                targets->clear();
                return hr;
            }
            targets->push_back(std::move(target));
        }
    } catch (const std::bad_alloc&) {
        targets->clear();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

ProfileDescription DefaultProfileDescription() {
    ProfileDescription profile;
    profile.version = WMT_VER_9_0;
    profile.name = u"Windows Media Audio 128 kbps, 44 kHz, stereo";
    profile.description = u"Streams: 1 audio";
    StreamDescription stream;
    stream.majorType = WMMEDIATYPE_Audio;
    stream.streamNumber = 1;
    stream.streamName = u"Audio1";
    stream.bitrate = 128000;
    stream.bufferWindow = 3000;
    stream.subtype = AudioSubtypeFromTag(WAVE_FORMAT_WMAUDIO2);
    stream.format.wFormatTag = WAVE_FORMAT_WMAUDIO2;
    stream.format.nChannels = 2;
    stream.format.nSamplesPerSec = 44100;
    stream.format.nAvgBytesPerSec = 16000;
    stream.format.nBlockAlign = 5945;
    stream.format.wBitsPerSample = 16;
    stream.codecData = {0x00, 0x88, 0x00, 0x00, 0x0F, 0x00, 0xE5, 0x5C, 0x00, 0x00};
    stream.format.cbSize = static_cast<WORD>(stream.codecData.size());
    profile.streams.push_back(stream);
    return profile;
}

} // namespace writer
