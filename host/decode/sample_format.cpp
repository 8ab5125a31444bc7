#include "decode/sample_format.h"

#include <cstdint>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace vantrel {
namespace {

template <typename T> struct Scale;
template <> struct Scale<std::uint8_t> {
    static double to_double(std::uint8_t v) { return (static_cast<int>(v) - 128) * (1.0 / 128); }
};
template <> struct Scale<std::int16_t> {
    static double to_double(std::int16_t v) { return v * (1.0 / 32768); }
};
template <> struct Scale<std::int32_t> {
    static double to_double(std::int32_t v) { return v * (1.0 / 2147483648.0); }
};
template <> struct Scale<std::int64_t> {
    static double to_double(std::int64_t v) {
        return static_cast<double>(v) * (1.0 / 9223372036854775808.0);
    }
};
template <> struct Scale<float> {
    static double to_double(float v) { return v; }
};
template <> struct Scale<double> {
    static double to_double(double v) { return v; }
};

template <typename T>
void packed(const AVFrame& frame, int channels, std::size_t first, std::size_t count, double* out) {
    const T* in = reinterpret_cast<const T*>(frame.extended_data[0]) + first * channels;
    std::size_t values = count * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < values; ++i)
        out[i] = Scale<T>::to_double(in[i]);
}

template <typename T>
void planar(const AVFrame& frame, int channels, std::size_t first, std::size_t count, double* out) {
    for (int c = 0; c < channels; ++c) {
        const T* in = reinterpret_cast<const T*>(frame.extended_data[c]) + first;
        double* o = out + c;
        for (std::size_t s = 0; s < count; ++s)
            o[s * static_cast<std::size_t>(channels)] = Scale<T>::to_double(in[s]);
    }
}

} // namespace

bool frame_to_double(const AVFrame& frame, int channels, std::size_t first, std::size_t count,
                     double* out) {
    switch (static_cast<AVSampleFormat>(frame.format)) {
    case AV_SAMPLE_FMT_U8:
        packed<std::uint8_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_S16:
        packed<std::int16_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_S32:
        packed<std::int32_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_S64:
        packed<std::int64_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_FLT:
        packed<float>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_DBL:
        packed<double>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_U8P:
        planar<std::uint8_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_S16P:
        planar<std::int16_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_S32P:
        planar<std::int32_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_S64P:
        planar<std::int64_t>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_FLTP:
        planar<float>(frame, channels, first, count, out);
        return true;
    case AV_SAMPLE_FMT_DBLP:
        planar<double>(frame, channels, first, count, out);
        return true;
    default:
        return false;
    }
}

} // namespace vantrel
