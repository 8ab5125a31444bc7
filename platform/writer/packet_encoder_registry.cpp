#include "packet_encoder.h"
#include "wma2_packet_encoder.h"
#include "wma_lossless_encoder.h"
#include "wma_lossy_encoder.h"

#include "platform/wmsdk.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace writer {
namespace {

// A target and input format an encoder was made for.
using EncodableKey = std::tuple<WORD, int, int, DWORD, WORD, std::vector<BYTE>, int, int, int>;

EncodableKey KeyOf(const EncoderTarget& target, const PcmFormat& input) {
    return {target.formatTag, target.sampleRate, target.channels,
            target.bitrate,   target.blockAlign, target.codecData,
            input.sampleRate, input.channels,    input.bitsPerSample};
}

// Every track checks its profile and its input before its encoder is made;
// making an encoder only to throw it away costs as much as the one kept, so
// what was made once is known to be makeable. Failures are not remembered:
// their reasons come from the attempt.
constexpr std::size_t kMostRemembered = 64;

struct Registry {
    std::mutex lock;
    std::map<WORD, PacketEncoderFactory> factories{
        {WAVE_FORMAT_WMAUDIO1, &CreateWmaLossyEncoder},
        {WAVE_FORMAT_WMAUDIO2, &CreateWma2PacketEncoder},
        {WAVE_FORMAT_WMAUDIO_LOSSLESS, &CreateWmaLosslessEncoder},
    };
    std::set<EncodableKey> made; // with the factories as they are
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
    registry.made.clear();
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
    if (encoder != nullptr) {
        auto& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        if (registry.factories.count(target.formatTag) != 0 &&
            registry.factories.at(target.formatTag) == factory) {
            if (registry.made.size() >= kMostRemembered) {
                registry.made.clear();
            }
            registry.made.insert(KeyOf(target, input));
        }
    }
    return encoder;
}

HRESULT CheckEncoder(const EncoderTarget& target, const PcmFormat& input) {
    {
        auto& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        if (registry.made.count(KeyOf(target, input)) != 0) {
            return S_OK;
        }
    }
    HRESULT result = S_OK;
    return CreatePacketEncoder(target, input, &result) != nullptr ? S_OK : result;
}

HRESULT CheckEncodable(const EncoderTarget& target) {
    return CheckEncoder(target, PcmFormat{target.sampleRate, target.channels});
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
