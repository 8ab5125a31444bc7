#include "block_syntax.h"

namespace wma2 {

void PackCodedValues(const StreamParams& params, int k, const ChannelCoding& channel,
                     std::vector<std::int32_t>& packed) {
    const int end = params.coefs_end[k];
    packed.clear();
    if (!params.noise_coding) {
        packed.assign(channel.values.begin(), channel.values.begin() + end);
        return;
    }
    int next = 0;
    const auto& high = params.high_bands[k];
    for (std::size_t i = 0; i < high.size(); ++i) {
        if (channel.noise[i]) {
            packed.insert(packed.end(), channel.values.begin() + next,
                          channel.values.begin() + high[i][0]);
            next = high[i][1];
        }
    }
    packed.insert(packed.end(), channel.values.begin() + next, channel.values.begin() + end);
}

} // namespace wma2
