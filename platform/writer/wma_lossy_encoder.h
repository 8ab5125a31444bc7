// Windows Media Audio 1 and 2 (format tags 0x160, 0x161) through libavcodec,
// with libswresample bringing the PCM to the profile's rate and channel count.
#pragma once

#include "packet_encoder.h"

namespace writer {

std::unique_ptr<PacketEncoder> CreateWmaLossyEncoder(const EncoderTarget& target,
                                                     const PcmFormat& input, HRESULT* result);

} // namespace writer
