// The byte sink under the muxer. It passes the muxer's bytes to the output file
// with the header object widened by the description objects: bytes are held
// until the header object is complete, then written with every later byte moved
// by the header's growth. A header rewritten at the end is spliced again.
#pragma once

#include "asf_header_metadata.h"
#include "output_file.h"

namespace writer {

class MetadataInsertingSink {
public:
    MetadataInsertingSink(OutputFile& file, MetadataObjects metadata)
        : file_(file), metadata_(std::move(metadata)) {}

    // At the current position, which then moves on.
    HRESULT Write(const BYTE* data, std::size_t size);
    void Seek(std::int64_t position) { position_ = position; }
    std::int64_t Position() const { return position_; }
    std::int64_t Size() const { return size_; }
    // Writes the final header; NS_E_FILE_WRITE or E_FAIL when that fails.
    HRESULT Finish();

private:
    HRESULT EmitHeader();

    OutputFile& file_;
    MetadataObjects metadata_;
    std::vector<BYTE> held_; // everything before the header is complete, then the header
    bool emitted_ = false;
    bool headerChanged_ = false;
    std::uint64_t headerSize_ = 0;
    std::int64_t growth_ = 0;
    std::size_t emittedSize_ = 0;
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
    std::int64_t streamEnd_ = 0; // physical end, for outputs that cannot go back
};

} // namespace writer
