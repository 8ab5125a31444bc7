#include "block_transform.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace wma2 {

BlockTransform::BlockTransform(const StreamParams& params)
    : frame_len_(params.frame_len), block_sizes_(params.block_sizes) {
    const float scale = -1.0F; // the decoder's sign
    for (int k = 0; k < block_sizes_; ++k) {
        const int n = frame_len_ >> k;
        if (av_tx_init(&contexts_[k], &functions_[k], AV_TX_FLOAT_MDCT, 0, n, &scale, 0) < 0) {
            for (auto*& context : contexts_) {
                av_tx_uninit(&context);
            }
            throw std::runtime_error("no MDCT");
        }
        slopes_[k].Resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            slopes_[k][static_cast<std::size_t>(i)] =
                static_cast<float>(std::sin((i + 0.5) * std::numbers::pi / (2.0 * n)));
        }
    }
    windowed_.Resize(static_cast<std::size_t>(2 * frame_len_));
}

BlockTransform::~BlockTransform() {
    for (auto*& context : contexts_) {
        av_tx_uninit(&context);
    }
}

void BlockTransform::Forward(int k, int prev_k, int next_k, const float* input, float* coefs) {
    // The window applied piece by piece: zeros, a rising slope and ones on the left, the
    // mirror image on the right.
    const int n = frame_len_ >> k;
    float* windowed = windowed_.data();
    const int left_k = std::max(k, prev_k);
    const int left = frame_len_ >> left_k;
    const int left_pad = (n - left) / 2;
    const float* rise = slopes_[left_k].data();
    std::fill(windowed, windowed + left_pad, 0.0F);
    for (int i = 0; i < left; ++i) {
        windowed[left_pad + i] = input[left_pad + i] * rise[i];
    }
    std::copy(input + left_pad + left, input + n, windowed + left_pad + left);
    const int right_k = std::max(k, next_k);
    const int right = frame_len_ >> right_k;
    const int right_pad = (n - right) / 2;
    const float* fall = slopes_[right_k].data();
    std::copy(input + n, input + n + right_pad, windowed + n);
    for (int i = 0; i < right; ++i) {
        windowed[n + right_pad + i] = input[n + right_pad + i] * fall[right - 1 - i];
    }
    std::fill(windowed + n + right_pad + right, windowed + 2 * n, 0.0F);
    functions_[k](contexts_[k], coefs, windowed, sizeof(float));
}

} // namespace wma2
