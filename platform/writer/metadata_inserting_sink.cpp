#include "metadata_inserting_sink.h"

#include "platform/wmsdk.h"

#include <algorithm>

namespace writer {

HRESULT MetadataInsertingSink::Write(const BYTE* data, std::size_t size) {
    const std::int64_t start = position_;
    position_ += static_cast<std::int64_t>(size);
    size_ = std::max(size_, position_);
    if (!emitted_) {
        const auto end = static_cast<std::size_t>(position_);
        if (held_.size() < end) {
            held_.resize(end);
        }
        std::copy(data, data + size, held_.begin() + start);
        const auto headerSize = HeaderObjectSize(held_.data(), held_.size());
        if (!headerSize || *headerSize > held_.size()) {
            return S_OK;
        }
        headerSize_ = *headerSize;
        std::vector<BYTE> rest(held_.begin() + static_cast<std::ptrdiff_t>(headerSize_),
                               held_.end());
        held_.resize(headerSize_);
        HRESULT hr = EmitHeader();
        if (FAILED(hr)) {
            return hr;
        }
        emitted_ = true;
        const std::int64_t physical = static_cast<std::int64_t>(headerSize_) + growth_;
        hr = rest.empty() ? S_OK : file_.Write(physical, rest.data(), rest.size());
        streamEnd_ = physical + static_cast<std::int64_t>(rest.size());
        return hr;
    }
    // The part inside the header object is kept and spliced again at the end.
    const auto headerEnd = static_cast<std::int64_t>(headerSize_);
    if (start < headerEnd) {
        const auto inside = static_cast<std::size_t>(std::min(position_, headerEnd) - start);
        std::copy(data, data + inside, held_.begin() + start);
        headerChanged_ = true;
        data += inside;
        size -= inside;
    }
    if (size == 0) {
        return S_OK;
    }
    const std::int64_t physical = std::max(start, headerEnd) + growth_;
    if (!file_.Seekable() && physical < streamEnd_) {
        return S_OK; // a stream cannot take the muxer's final corrections
    }
    const HRESULT hr = file_.Write(physical, data, size);
    streamEnd_ = std::max(streamEnd_, physical + static_cast<std::int64_t>(size));
    return hr;
}

HRESULT MetadataInsertingSink::EmitHeader() {
    const auto spliced = SpliceMetadata(held_.data(), held_.size(), metadata_);
    if (!spliced) {
        return E_FAIL;
    }
    const auto growth =
        static_cast<std::int64_t>(spliced->size()) - static_cast<std::int64_t>(headerSize_);
    if (emitted_ && (growth != growth_ || spliced->size() != emittedSize_)) {
        return E_FAIL; // the muxer changed the header's layout
    }
    growth_ = growth;
    emittedSize_ = spliced->size();
    return file_.Write(0, spliced->data(), spliced->size());
}

HRESULT MetadataInsertingSink::Finish() {
    if (!emitted_) {
        return E_FAIL;
    }
    if (!headerChanged_ || !file_.Seekable()) {
        return S_OK;
    }
    headerChanged_ = false;
    return EmitHeader();
}

} // namespace writer
