#include "pcm_resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <climits>

namespace writer {

SwrContext* OpenPcmResampler(const PcmFormat& input, int rate, int channels) {
    AVChannelLayout inputLayout{};
    AVChannelLayout outputLayout{};
    av_channel_layout_default(&inputLayout, input.channels);
    av_channel_layout_default(&outputLayout, channels);
    SwrContext* resampler = nullptr;
    const int made =
        swr_alloc_set_opts2(&resampler, &outputLayout, AV_SAMPLE_FMT_FLTP, rate, &inputLayout,
                            AV_SAMPLE_FMT_S16, input.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    av_channel_layout_uninit(&outputLayout);
    if (made < 0 || swr_init(resampler) < 0) {
        swr_free(&resampler);
        return nullptr;
    }
    return resampler;
}

HRESULT CheckResamplerInput(const BYTE* pcm, std::size_t frames) {
    if (pcm == nullptr || frames > static_cast<std::size_t>(INT32_MAX / 2)) {
        return E_INVALIDARG;
    }
    return S_OK;
}

} // namespace writer
