#include "block_analysis.h"

#include <algorithm>

namespace wma2 {

int BandOf(const StreamParams& params, int k, int coefficient) {
    const auto& edges = params.band_edges[k];
    return static_cast<int>(std::upper_bound(edges.begin(), edges.end(), coefficient) -
                            edges.begin()) -
           1;
}

bool HasNoiseBand(const StreamParams& params, const BlockAnalysis& block, int ch, int band) {
    if (!params.noise_coding) {
        return false;
    }
    const auto& high = params.high_bands[block.k];
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (block.channels[ch].noise[j] && BandOf(params, block.k, high[j][0]) == band) {
            return true;
        }
    }
    return false;
}

} // namespace wma2
