#include "encoding_session.h"

#include "platform/wmsdk.h"

namespace writer {

HRESULT EncodingSession::Start(const std::string& path, const std::vector<StreamSetup>& streams,
                               const std::vector<HeaderAttribute>& attributes,
                               std::unique_ptr<EncodingSession>* session, bool replaceExisting) {
    session->reset();
    if (streams.empty()) {
        return NS_E_NOT_CONFIGURED;
    }
    try {
        std::unique_ptr<EncodingSession> made(new EncodingSession());
        std::vector<EncodedStreamInfo> infos;
        for (const auto& stream : streams) {
            HRESULT hr = S_OK;
            auto encoder = CreatePacketEncoder(stream.target, stream.input, &hr);
            if (encoder == nullptr) {
                return hr;
            }
            infos.push_back(encoder->Info());
            made->encoders_.push_back(std::move(encoder));
        }
        const HRESULT hr =
            AsfFileWriter::Create(path, infos, attributes, &made->file_, replaceExisting);
        if (FAILED(hr)) {
            return hr;
        }
        *session = std::move(made);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

EncodingSession::~EncodingSession() {
    Abandon();
}

HRESULT EncodingSession::Write(std::size_t stream, const BYTE* pcm, std::size_t frames) {
    if (FAILED(failure_)) {
        return failure_;
    }
    if (finished_) {
        return E_UNEXPECTED;
    }
    if (stream >= encoders_.size()) {
        return E_INVALIDARG;
    }
    try {
        const HRESULT hr = encoders_[stream]->Encode(pcm, frames, packets_);
        if (FAILED(hr)) {
            return Fail(hr);
        }
        return WritePackets(stream);
    } catch (const std::bad_alloc&) {
        return Fail(E_OUTOFMEMORY);
    }
}

HRESULT EncodingSession::Finish() {
    if (FAILED(failure_)) {
        return failure_;
    }
    if (finished_) {
        return E_UNEXPECTED;
    }
    try {
        for (std::size_t stream = 0; stream < encoders_.size(); ++stream) {
            HRESULT hr = encoders_[stream]->Finish(packets_);
            if (SUCCEEDED(hr)) {
                hr = WritePackets(stream);
            }
            if (FAILED(hr)) {
                return Fail(hr);
            }
        }
        finished_ = true;
        const HRESULT hr = file_->Finish();
        if (FAILED(hr)) {
            failure_ = hr;
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return Fail(E_OUTOFMEMORY);
    }
}

void EncodingSession::Abandon() {
    if (file_ != nullptr) {
        file_->Abandon();
    }
    finished_ = true;
}

HRESULT EncodingSession::WritePackets(std::size_t stream) {
    for (const auto& packet : packets_) {
        const HRESULT hr = file_->WritePacket(stream, packet);
        if (FAILED(hr)) {
            packets_.clear();
            return Fail(hr);
        }
    }
    packets_.clear();
    return S_OK;
}

HRESULT EncodingSession::Fail(HRESULT hr) {
    failure_ = hr;
    Abandon();
    return hr;
}

} // namespace writer
