#include "asf_file_writer.h"

#include "creation_time.h"
#include "metadata_inserting_sink.h"

#include "platform/wmsdk.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cstdio>

namespace writer {
namespace {

constexpr int kIoBufferSize = 64 * 1024;
// Bytes of packet framing around one payload; with it a packet holds exactly
// one codec packet and no padding.
constexpr int kPacketFraming = 26;
constexpr int kMinPacketSize = 100;
constexpr int kMaxPacketSize = 65536;

} // namespace

struct AsfFileWriter::Impl {
    std::unique_ptr<OutputFile> file;
    std::unique_ptr<MetadataInsertingSink> sink;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    std::vector<std::int64_t> lastDts;
    std::vector<int> sampleRates;
    HRESULT ioError = S_OK;
    bool headerWritten = false;
    bool finished = false;

    ~Impl() { Release(); }

    void Release() {
        if (format != nullptr) {
            avformat_free_context(format);
            format = nullptr;
        }
        if (io != nullptr) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    static int WriteBytes(void* opaque, std::uint8_t* data, int size) {
        auto* self = static_cast<Impl*>(opaque);
        if (FAILED(self->ioError)) {
            return AVERROR(EIO);
        }
        const HRESULT hr = self->sink->Write(data, static_cast<std::size_t>(size));
        if (FAILED(hr)) {
            self->ioError = hr;
            return AVERROR(EIO);
        }
        return size;
    }

    static std::int64_t SeekBytes(void* opaque, std::int64_t offset, int whence) {
        auto* self = static_cast<Impl*>(opaque);
        MetadataInsertingSink& sink = *self->sink;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return sink.Size();
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += sink.Position();
            break;
        case SEEK_END:
            offset += sink.Size();
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (offset < 0) {
            return AVERROR(EINVAL);
        }
        sink.Seek(offset);
        return offset;
    }

    HRESULT Failure(HRESULT fallback) const { return FAILED(ioError) ? ioError : fallback; }

    HRESULT Open(const std::vector<EncodedStreamInfo>& streams) {
        if (avformat_alloc_output_context2(&format, nullptr, "asf", nullptr) < 0 ||
            format == nullptr) {
            return E_OUTOFMEMORY;
        }
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        if (buffer == nullptr) {
            return E_OUTOFMEMORY;
        }
        io = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &WriteBytes, &SeekBytes);
        if (io == nullptr) {
            av_free(buffer);
            return E_OUTOFMEMORY;
        }
        format->pb = io;
        format->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_BITEXACT;
        // The first packets of a stream may start before zero: the lead-in a decoder drops.
        // ASF carries such times (its preroll lies before them), and shifting every packet
        // later would move the audio away from the start of the file.
        format->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;

        int largestPacket = 0;
        for (const auto& info : streams) {
            AVStream* stream = avformat_new_stream(format, nullptr);
            if (stream == nullptr) {
                return E_OUTOFMEMORY;
            }
            AVCodecParameters* parameters = stream->codecpar;
            parameters->codec_type = AVMEDIA_TYPE_AUDIO;
            parameters->codec_id = static_cast<AVCodecID>(info.codecId);
            parameters->codec_tag = info.formatTag;
            parameters->sample_rate = info.sampleRate;
            av_channel_layout_default(&parameters->ch_layout, info.channels);
            parameters->block_align = info.blockAlign;
            parameters->bit_rate = info.bitRate;
            parameters->bits_per_coded_sample = info.bitsPerCodedSample;
            parameters->frame_size = info.frameSize;
            if (!info.extradata.empty()) {
                parameters->extradata = static_cast<std::uint8_t*>(
                    av_mallocz(info.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
                if (parameters->extradata == nullptr) {
                    return E_OUTOFMEMORY;
                }
                std::copy(info.extradata.begin(), info.extradata.end(), parameters->extradata);
                parameters->extradata_size = static_cast<int>(info.extradata.size());
            }
            stream->time_base = AVRational{1, info.sampleRate};
            sampleRates.push_back(info.sampleRate);
            lastDts.push_back(AV_NOPTS_VALUE);
            largestPacket = std::max(largestPacket, info.packetBytes);
        }

        AVDictionary* options = nullptr;
        const int packetSize =
            std::clamp(largestPacket + kPacketFraming, kMinPacketSize, kMaxPacketSize);
        av_dict_set_int(&options, "packet_size", packetSize, 0);
        const int written = avformat_write_header(format, &options);
        av_dict_free(&options);
        if (written < 0) {
            return Failure(E_FAIL);
        }
        headerWritten = true;
        return S_OK;
    }

    HRESULT Write(std::size_t index, const EncodedPacket& encoded) {
        if (index >= lastDts.size() || encoded.data.empty() ||
            encoded.data.size() > static_cast<std::size_t>(INT32_MAX)) {
            return E_INVALIDARG;
        }
        AVStream* stream = format->streams[index];
        AVPacket* packet = av_packet_alloc();
        if (packet == nullptr || av_new_packet(packet, static_cast<int>(encoded.data.size())) < 0) {
            av_packet_free(&packet);
            return E_OUTOFMEMORY;
        }
        std::copy(encoded.data.begin(), encoded.data.end(), packet->data);
        const AVRational source{1, sampleRates[index]};
        std::int64_t dts = av_rescale_q(encoded.pts, source, stream->time_base);
        // The muxer drops a packet whose time does not increase.
        if (lastDts[index] != AV_NOPTS_VALUE && dts <= lastDts[index]) {
            dts = lastDts[index] + 1;
        }
        lastDts[index] = dts;
        packet->pts = dts;
        packet->dts = dts;
        packet->duration = av_rescale_q(encoded.duration, source, stream->time_base);
        packet->stream_index = static_cast<int>(index);
        const int result = av_interleaved_write_frame(format, packet);
        av_packet_free(&packet);
        return result < 0 || FAILED(ioError) ? Failure(E_FAIL) : S_OK;
    }
};

AsfFileWriter::AsfFileWriter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AsfFileWriter::~AsfFileWriter() {
    Abandon();
}

HRESULT AsfFileWriter::Create(const std::string& path,
                              const std::vector<EncodedStreamInfo>& streams,
                              const std::vector<HeaderAttribute>& attributes,
                              std::unique_ptr<AsfFileWriter>* writer, bool replaceExisting) {
    writer->reset();
    if (streams.empty()) {
        return E_INVALIDARG;
    }
    try {
        MetadataObjects metadata;
        HRESULT hr = BuildMetadataObjects(attributes, &metadata);
        if (FAILED(hr)) {
            return hr;
        }
        metadata.creationTime = CreationFileTime();
        auto impl = std::make_unique<Impl>();
        hr = OutputFile::Open(path, replaceExisting, &impl->file);
        if (FAILED(hr)) {
            return hr;
        }
        impl->sink = std::make_unique<MetadataInsertingSink>(*impl->file, std::move(metadata));
        hr = impl->Open(streams);
        if (FAILED(hr)) {
            impl->Release();
            impl->file->Abandon();
            return hr;
        }
        writer->reset(new AsfFileWriter(std::move(impl)));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT AsfFileWriter::WritePacket(std::size_t stream, const EncodedPacket& packet) {
    if (impl_->finished) {
        return E_UNEXPECTED;
    }
    try {
        return impl_->Write(stream, packet);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT AsfFileWriter::Finish() {
    if (impl_->finished) {
        return E_UNEXPECTED;
    }
    HRESULT hr = S_OK;
    try {
        if (av_write_trailer(impl_->format) < 0 || FAILED(impl_->ioError)) {
            hr = impl_->Failure(E_FAIL);
        }
        if (SUCCEEDED(hr)) {
            hr = impl_->sink->Finish();
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    impl_->Release();
    impl_->finished = true;
    if (FAILED(hr)) {
        impl_->file->Abandon();
        return hr;
    }
    return impl_->file->Commit();
}

void AsfFileWriter::Abandon() {
    if (impl_ == nullptr || impl_->finished) {
        return;
    }
    impl_->Release();
    impl_->finished = true;
    impl_->file->Abandon();
}

} // namespace writer
