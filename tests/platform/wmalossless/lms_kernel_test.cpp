// The vector LMS kernels and the plain C++ ones must produce identical streams.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "libav_decode.h"
#include "lms_filter.h"
#include "mclms_filter.h"
#include "test_signals.h"
#include "wmal_encoder.h"

namespace wmal_test {
namespace {

EncodedStream encode_with(bool portable, const std::vector<int32_t>& pcm, int bits) {
    wmal::use_portable_lms_kernels(portable);
    EncodedStream stream;
    wmal::Encoder encoder;
    wmal::EncoderSettings s;
    s.bits_per_sample = bits;
    EXPECT_EQ(encoder.configure(s, collect_into(stream)), wmal::Status::ok);
    EXPECT_EQ(encoder.push(pcm.data(), pcm.size() / 2), wmal::Status::ok);
    EXPECT_EQ(encoder.flush(), wmal::Status::ok);
    wmal::use_portable_lms_kernels(false);
    stream.codec_data = encoder.codec_data();
    stream.packet_size = encoder.packet_size();
    return stream;
}

TEST(LmsKernels, PortableAndVectorKernelsAgree) {
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        auto pcm = tonal(44100 * 2 + 11, 2, bits, 44100, 40);
        // Full-scale bursts drive the coefficients and sums into wrap-around.
        const int32_t hi = (1 << (bits - 1)) - 1;
        for (size_t i = 30000; i < 36000; ++i)
            pcm[i] = (i / 7) % 2 ? hi : -hi - 1;
        const EncodedStream portable = encode_with(true, pcm, bits);
        const EncodedStream vector = encode_with(false, pcm, bits);
        EXPECT_EQ(portable.packets, vector.packets);
        const DecodedStream decoded = decode_packets(portable, 44100, 2, bits);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_TRUE(decoded.samples == pcm);
    }
}

// One cascade run straight through the kernels, the plain ones and the vector ones, from the
// same state: residues and the state left behind must match for every order and depth,
// including 24-bit histories at both ends of their range.
template <typename Hist> void check_cascade_kernels(int bits, std::initializer_list<int> orders) {
    const int length = 3000;
    std::vector<int32_t> signal = white_noise(length, 1, bits, 77);
    const int32_t top = (1 << (bits - 1)) - 1;
    for (int i = 500; i < 900; ++i)
        signal[static_cast<size_t>(i)] = (i / 3) % 2 ? top : -top - 1;
    for (int i = 2000; i < length; ++i)
        signal[static_cast<size_t>(i)] >>= bits - 6; // quiet: coefficients settle
    std::vector<wmal::LmsFilter<Hist>> cascades[2];
    std::vector<int32_t> outputs[2];
    for (int k = 0; k < 2; ++k) {
        wmal::use_portable_lms_kernels(k == 0);
        cascades[k].resize(orders.size());
        int f = 0;
        for (int order : orders) {
            cascades[k][static_cast<size_t>(f)].order = order;
            cascades[k][static_cast<size_t>(f)].scaling = 8 + f;
            cascades[k][static_cast<size_t>(f++)].clear();
        }
        outputs[k] = signal;
        wmal::LmsFilter<Hist>* filters[1] = {cascades[k].data()};
        // Two tiles: the second starts from the state the first left.
        for (int tile = 0; tile < 2; ++tile) {
            int32_t* signals[1] = {outputs[k].data() + tile * length / 2};
            wmal::lms_cascade_encode<Hist>(filters, 1, f, signals, length / 2, 16 - 8 * tile, bits);
        }
    }
    wmal::use_portable_lms_kernels(false);
    EXPECT_EQ(outputs[0], outputs[1]);
    for (size_t f = 0; f < cascades[0].size(); ++f) {
        const auto& a = cascades[0][f];
        const auto& b = cascades[1][f];
        EXPECT_EQ(a.recent, b.recent);
        EXPECT_EQ(0, std::memcmp(a.coefs, b.coefs, sizeof a.coefs)) << "filter " << f;
        EXPECT_EQ(0, std::memcmp(a.history, b.history, sizeof a.history)) << "filter " << f;
        EXPECT_EQ(0, std::memcmp(a.updates, b.updates, sizeof a.updates)) << "filter " << f;
    }
}

TEST(LmsKernels, CascadesMatchFilterByFilter) {
    if (!wmal::vector_lms_kernels())
        GTEST_SKIP() << "no vector kernels on this processor";
    check_cascade_kernels<int16_t>(16, {16, 256, 16});
    check_cascade_kernels<int32_t>(24, {16, 256, 16});
    check_cascade_kernels<int32_t>(24, {8, 64, 8, 24});
    check_cascade_kernels<int32_t>(24, {128, 32, 16});
}

// The multichannel stage straight through both kernel sets: every order the tools use and
// odd ones (weight counts that end in blocks of 16, of 8 and single weights), 1 to 3
// channels, both depths, two tiles in a row; residues, weights and history must match.
void check_mclms_kernels(int channels, int order, int bits) {
    const int length = 1500;
    const std::vector<int32_t> noise = white_noise(length, channels, bits, 5 + order);
    wmal::McLmsFilter filters[2];
    std::vector<std::vector<int32_t>> outputs[2];
    for (int k = 0; k < 2; ++k) {
        wmal::use_portable_lms_kernels(k == 0);
        filters[k].clear(order, bits == 16 ? 12 : 9, channels);
        outputs[k].assign(static_cast<size_t>(channels), std::vector<int32_t>(length));
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < length; ++i)
                outputs[k][static_cast<size_t>(c)][static_cast<size_t>(i)] =
                    noise[static_cast<size_t>(i * channels + c)] >> (i > 1000 ? bits - 5 : 0);
        wmal::McLmsScratch scratch;
        const bool coded[wmal::kMaxChannels] = {true, true, true};
        for (int tile = 0; tile < 2; ++tile) {
            int32_t* signals[wmal::kMaxChannels];
            for (int c = 0; c < channels; ++c)
                signals[c] = outputs[k][static_cast<size_t>(c)].data() + tile * length / 2;
            filters[k].encode(signals, coded, length / 2, bits, scratch);
        }
    }
    wmal::use_portable_lms_kernels(false);
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(0, std::memcmp(filters[0].coefs, filters[1].coefs, sizeof filters[0].coefs));
    EXPECT_EQ(0, std::memcmp(filters[0].cross, filters[1].cross, sizeof filters[0].cross));
    EXPECT_EQ(0, std::memcmp(filters[0].window, filters[1].window, sizeof filters[0].window));
}

TEST(LmsKernels, MultichannelStageMatchesTheSameEitherWay) {
    if (!wmal::vector_lms_kernels())
        GTEST_SKIP() << "no vector kernels on this processor";
    for (int bits : {16, 24})
        for (int channels = 1; channels <= 3; ++channels)
            for (int order : {2, 4, 6, 8, 12, 32}) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, " << channels << " ch, order " << order);
                check_mclms_kernels(channels, order, bits);
            }
}

} // namespace
} // namespace wmal_test
