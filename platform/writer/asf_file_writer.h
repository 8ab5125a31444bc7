// Writes codec packets into an ASF file through libavformat's muxer, run
// bit-exact (no tool tag), with the file's attributes and creation date in its
// header and packets sized to the codec's packets. With SOURCE_DATE_EPOCH set
// the same input gives the same bytes.
#pragma once

#include "header_attributes.h"
#include "packet_encoder.h"

#include <memory>
#include <string>

namespace writer {

class AsfFileWriter {
public:
    // Opens the output (see OutputFile) and writes the header.
    static HRESULT Create(const std::string& path, const std::vector<EncodedStreamInfo>& streams,
                          const std::vector<HeaderAttribute>& attributes,
                          std::unique_ptr<AsfFileWriter>* writer, bool replaceExisting = true);
    ~AsfFileWriter(); // abandons an unfinished file

    AsfFileWriter(const AsfFileWriter&) = delete;
    AsfFileWriter& operator=(const AsfFileWriter&) = delete;

    HRESULT WritePacket(std::size_t stream, const EncodedPacket& packet);
    // Writes the index and the final header and puts the file at its path.
    HRESULT Finish();
    // Removes what was written (a device or pipe is only closed).
    void Abandon();

    struct Impl;

private:
    explicit AsfFileWriter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace writer
