// Windows Media Audio Lossless (format tag 0x163) through the platform's own
// lossless encoder. Lossless output keeps the input's sample rate and channel
// count: resampling would not be lossless.
#pragma once

#include "packet_encoder.h"

namespace writer {

std::unique_ptr<PacketEncoder> CreateWmaLosslessEncoder(const EncoderTarget& target,
                                                        const PcmFormat& input, HRESULT* result);

} // namespace writer
