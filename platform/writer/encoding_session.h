// One output file being encoded: an encoder per audio stream feeding the ASF
// writer. Independent of the filter objects, so it can be driven directly.
#pragma once

#include "asf_file_writer.h"
#include "header_attributes.h"
#include "packet_encoder.h"

#include <memory>
#include <string>
#include <vector>

namespace writer {

struct StreamSetup {
    EncoderTarget target;
    PcmFormat input;
};

class EncodingSession {
public:
    // Makes the encoders and opens the file. NS_E_INVALID_OUTPUT_FORMAT for a
    // target no encoder writes, NS_E_FILE_OPEN_FAILED when the file cannot be made.
    static HRESULT Start(const std::string& path, const std::vector<StreamSetup>& streams,
                         const std::vector<HeaderAttribute>& attributes,
                         std::unique_ptr<EncodingSession>* session, bool replaceExisting = true);
    ~EncodingSession(); // abandons an unfinished file

    // Interleaved PCM in the stream's input format. After a failure the file is
    // abandoned and every later call answers the same failure.
    HRESULT Write(std::size_t stream, const BYTE* pcm, std::size_t frames);
    // Encodes what is buffered, finishes the file and puts it at its path.
    HRESULT Finish();
    void Abandon();

private:
    EncodingSession() = default;
    HRESULT WritePackets(std::size_t stream);
    HRESULT Fail(HRESULT hr);

    std::vector<std::unique_ptr<PacketEncoder>> encoders_;
    std::unique_ptr<AsfFileWriter> file_;
    std::vector<EncodedPacket> packets_;
    HRESULT failure_ = S_OK;
    bool finished_ = false;
};

} // namespace writer
