#include "packet_encoder.h"
#include "wma2_packet_encoder.h"
#include "wma_lossless_encoder.h"
#include "wma_lossy_encoder.h"

#include "platform/wmsdk.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace writer {
namespace {

struct Registry {
    std::mutex lock;
    std::map<WORD, PacketEncoderFactory> factories{
        {WAVE_FORMAT_WMAUDIO1, &CreateWmaLossyEncoder},
        {WAVE_FORMAT_WMAUDIO2, &CreateWma2PacketEncoder},
        {WAVE_FORMAT_WMAUDIO_LOSSLESS, &CreateWmaLosslessEncoder},
    };
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

void RegisterPacketEncoderFactory(WORD formatTag, PacketEncoderFactory factory) {
    auto& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (factory == nullptr) {
        registry.factories.erase(formatTag);
    } else {
        registry.factories[formatTag] = factory;
    }
}

std::unique_ptr<PacketEncoder> CreatePacketEncoder(const EncoderTarget& target,
                                                   const PcmFormat& input, HRESULT* result) {
    PacketEncoderFactory factory = nullptr;
    {
        auto& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        const auto found = registry.factories.find(target.formatTag);
        if (found != registry.factories.end()) {
            factory = found->second;
        }
    }
    if (factory == nullptr) {
        *result = NS_E_INVALID_OUTPUT_FORMAT;
        return nullptr;
    }
    *result = S_OK;
    auto encoder = factory(target, input, result);
    if (encoder == nullptr && SUCCEEDED(*result)) {
        *result = NS_E_INVALID_OUTPUT_FORMAT;
    }
    return encoder;
}

HRESULT CheckEncodable(const EncoderTarget& target) {
    HRESULT result = S_OK;
    const PcmFormat input{target.sampleRate, target.channels};
    return CreatePacketEncoder(target, input, &result) != nullptr ? S_OK : result;
}

std::string DescribeUnencodable(const EncoderTarget& target) {
    std::string codec;
    switch (target.formatTag) {
    case WAVE_FORMAT_WMAUDIO1:
        codec = "WMA 1";
        break;
    case WAVE_FORMAT_WMAUDIO2:
        if (auto problem = Wma2TargetProblem(target); !problem.empty()) {
            return "the WMA 2 encoder cannot write this profile: " + problem;
        }
        codec = "WMA 2";
        break;
    case WAVE_FORMAT_WMAUDIO_LOSSLESS:
        codec = "WMA Lossless";
        break;
    default:
        char tag[32];
        std::snprintf(tag, sizeof tag, "format tag 0x%04X", target.formatTag);
        return std::string("no encoder writes ") + tag;
    }
    return "the " + codec + " encoder cannot write " + std::to_string(target.channels) +
           " channels at " + std::to_string(target.sampleRate) + " Hz and " +
           std::to_string(target.bitrate) + " bit/s";
}

} // namespace writer
