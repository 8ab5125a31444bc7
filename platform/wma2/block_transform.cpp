#include "block_transform.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

namespace wma2 {
namespace {

// MDCTs kept for the next transform: every track makes its own encoder, and
// making its MDCTs cost more than transforming a second of audio. A context
// holds scratch space, so each is lent to one transform at a time.
class MdctPool {
public:
    // A context for n coefficients and its function, or a null context.
    std::pair<AVTXContext*, av_tx_fn> Take(int n) {
        {
            const std::lock_guard guard(lock_);
            auto& spare = spare_[n];
            if (!spare.empty()) {
                const auto mdct = spare.back();
                spare.pop_back();
                return mdct;
            }
        }
        const float scale = -1.0F; // the decoder's sign
        std::pair<AVTXContext*, av_tx_fn> made{nullptr, nullptr};
        if (av_tx_init(&made.first, &made.second, AV_TX_FLOAT_MDCT, 0, n, &scale, 0) < 0) {
            av_tx_uninit(&made.first);
        }
        return made;
    }

    void Give(int n, AVTXContext*& context, av_tx_fn function) {
        if (context == nullptr) {
            return;
        }
        {
            const std::lock_guard guard(lock_);
            auto& spare = spare_[n];
            if (spare.size() < kMostSpare) {
                spare.emplace_back(std::exchange(context, nullptr), function);
                return;
            }
        }
        av_tx_uninit(&context);
    }

private:
    // Two per encoder (its block planner's and its frame coder's) for a few
    // encoders at once.
    static constexpr std::size_t kMostSpare = 16;
    std::mutex lock_;
    std::map<int, std::vector<std::pair<AVTXContext*, av_tx_fn>>> spare_;
};

// Never destroyed: a transform may still give its contexts back while the
// process ends.
MdctPool& Mdcts() {
    static auto* pool = new MdctPool();
    return *pool;
}

} // namespace

BlockTransform::BlockTransform(const StreamParams& params)
    : frame_len_(params.frame_len), block_sizes_(params.block_sizes) {
    for (int k = 0; k < block_sizes_; ++k) {
        const int n = frame_len_ >> k;
        std::tie(contexts_[k], functions_[k]) = Mdcts().Take(n);
        if (contexts_[k] == nullptr) {
            for (int made = 0; made < k; ++made) {
                Mdcts().Give(frame_len_ >> made, contexts_[made], functions_[made]);
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
    for (int k = 0; k < block_sizes_; ++k) {
        Mdcts().Give(frame_len_ >> k, contexts_[k], functions_[k]);
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
