#include "stream_format.h"

namespace wmal {

int floor_log2(uint32_t v) {
    int n = -1;
    while (v) {
        v >>= 1;
        ++n;
    }
    return n;
}

int base_frame_length(int sample_rate) {
    if (sample_rate <= 16000)
        return 512;
    if (sample_rate <= 22050)
        return 1024;
    if (sample_rate <= 48000)
        return 2048;
    if (sample_rate <= 96000)
        return 4096;
    return 8192;
}

int frame_length_for_flags(int sample_rate, uint16_t decode_flags) {
    int length = base_frame_length(sample_rate);
    switch ((decode_flags & kFlagFrameLengthMask) >> 1) {
    case 1:
        return length * 2;
    case 2:
        return length / 2;
    case 3:
        return length / 4;
    default:
        return length;
    }
}

int length_field_bits(int packet_size) {
    return floor_log2(static_cast<uint32_t>(packet_size)) + 4;
}

uint32_t default_channel_mask(int channels) {
    switch (channels) {
    case 1:
        return 0x4; // front centre
    case 2:
        return 0x3; // front left, front right
    case 3:
        return 0x7; // + front centre
    case 4:
        return 0x33; // front and back pairs
    case 5:
        return 0x37; // 5.0
    case 6:
        return 0x3F; // 5.1
    case 7:
        return 0x13F; // 5.1 + back centre
    case 8:
        return 0x63F; // 7.1
    default:
        return 0;
    }
}

std::array<uint8_t, 18> make_codec_data(const StreamFormat& format) {
    std::array<uint8_t, 18> data{};
    data[0] = static_cast<uint8_t>(format.bits_per_sample);
    data[1] = static_cast<uint8_t>(format.bits_per_sample >> 8);
    for (int i = 0; i < 4; ++i)
        data[2 + i] = static_cast<uint8_t>(format.channel_mask >> (8 * i));
    data[14] = static_cast<uint8_t>(format.decode_flags);
    data[15] = static_cast<uint8_t>(format.decode_flags >> 8);
    return data;
}

} // namespace wmal
