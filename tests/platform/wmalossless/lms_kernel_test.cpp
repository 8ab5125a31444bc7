// The vector LMS kernels and the plain C++ ones must produce identical streams.
#include <gtest/gtest.h>

#include "libav_decode.h"
#include "lms_filter.h"
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

} // namespace
} // namespace wmal_test
