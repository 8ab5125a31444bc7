// Windows Media Audio 2 (format tag 0x161) through the platform's own encoder, with
// libswresample bringing the pushed PCM to the profile's rate and channel count.
#pragma once

#include "packet_encoder.h"

#include <string>

namespace writer {

std::unique_ptr<PacketEncoder> CreateWma2PacketEncoder(const EncoderTarget& target,
                                                       const PcmFormat& input, HRESULT* result);

// Why the encoder cannot write the target, in one line naming the limit (channels, sample
// rate or bit rate); empty when it can.
std::string Wma2TargetProblem(const EncoderTarget& target);

} // namespace writer
