#include "decode/audio_decoder.h"

#include "platform/unicode.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>

#include "decode/id3v2_text_frames.h"
#include "decode/mp4_items.h"
#include "decode/replay_gain.h"
#include "decode/sample_format.h"
#include "decode/tag_normalizer.h"
#include "decode/vorbis_comments.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

namespace vantrel {
namespace {

std::string av_error_text(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string codec_display_name(AVCodecID id) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    if (id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT)
        return "PCM";
    switch (id) {
    case AV_CODEC_ID_FLAC:
        return "FLAC";
    case AV_CODEC_ID_MP3:
        return "MP3";
    case AV_CODEC_ID_MP2:
        return "MP2";
    case AV_CODEC_ID_VORBIS:
        return "Vorbis";
    case AV_CODEC_ID_OPUS:
        return "Opus";
    case AV_CODEC_ID_AAC:
        return "AAC";
    case AV_CODEC_ID_ALAC:
        return "ALAC";
    case AV_CODEC_ID_WAVPACK:
        return "WavPack";
    case AV_CODEC_ID_APE:
        return "Monkey's Audio";
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
        return "WMA";
    case AV_CODEC_ID_WMALOSSLESS:
        return "WMA Lossless";
    default:
        break;
    }
    std::string name = descriptor ? descriptor->name : "unknown";
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

TagList dictionary_entries(const AVDictionary* dictionary) {
    TagList tags;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)))
        tags.push_back({entry->key, entry->value ? entry->value : ""});
    return tags;
}

bool equal_ignoring_case(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Puts back the values FFmpeg dropped from fields that hold several: `fields`
// maps FFmpeg's key to every value the file holds.
void restore_values(const std::map<std::string, std::vector<std::string>>& fields, TagList& tags) {
    for (const auto& [key, values] : fields) {
        if (values.size() < 2 || key.empty())
            continue;
        auto it = std::find_if(tags.begin(), tags.end(),
                               [&](const Tag& t) { return equal_ignoring_case(t.name, key); });
        if (it == tags.end() || it->value != values.front())
            continue; // FFmpeg read something else; leave its reading alone
        std::string name = it->name;
        it = tags.erase(it);
        for (const std::string& value : values)
            it = std::next(tags.insert(it, {name, value}));
    }
}

std::map<std::string, std::vector<std::string>>
by_ffmpeg_key(const std::optional<Id3TextFrames>& frames) {
    std::map<std::string, std::vector<std::string>> fields;
    if (frames)
        for (const auto& [id, values] : *frames)
            fields[ffmpeg_key_of_frame(id)] = values;
    return fields;
}

} // namespace

struct AudioDecoder::State {
    std::unique_ptr<InputFile> input; // outlives the format context reading it
    std::string tag_path;             // where the tag readers read the same file; empty for a pipe
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int stream = -1;
    StreamFacts facts;
    std::size_t frame_offset = 0; // frames of `frame` already handed out
    bool frame_pending = false;
    bool flushing = false;
    bool finished = false;
    std::int64_t frames_read = 0;

    ~State() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    [[noreturn]] void fail(const std::string& what, int code) const {
        const std::string& own = input->failure();
        throw DecodeError(what + ": " + (own.empty() ? av_error_text(code) : own));
    }

    std::string position() const {
        double seconds =
            facts.sample_rate ? static_cast<double>(frames_read) / facts.sample_rate : 0;
        char text[32];
        std::snprintf(text, sizeof text, "%d:%06.3f", static_cast<int>(seconds / 60),
                      seconds - 60 * static_cast<int>(seconds / 60));
        return text;
    }

    // Makes a new decoded frame available; false at the end of the stream.
    bool next_frame() {
        for (;;) {
            int result = avcodec_receive_frame(codec, frame);
            if (result == 0) {
                if (frame->sample_rate != facts.sample_rate ||
                    frame->ch_layout.nb_channels != facts.channels)
                    throw DecodeError("the audio format changes in the middle of the track at " +
                                      position() + " (" + std::to_string(frame->sample_rate) +
                                      " Hz, " + std::to_string(frame->ch_layout.nb_channels) +
                                      " channels); such files are not supported");
                return true;
            }
            if (result == AVERROR_EOF)
                return false;
            if (result != AVERROR(EAGAIN))
                fail("decoding failed at " + position(), result);
            if (flushing)
                return false;
            result = av_read_frame(format, packet);
            if (result == AVERROR_EOF) {
                flushing = true;
                result = avcodec_send_packet(codec, nullptr);
                if (result < 0 && result != AVERROR_EOF)
                    fail("decoding failed at the end", result);
                continue;
            }
            if (result < 0)
                fail("reading failed at " + position(), result);
            if (packet->stream_index == stream)
                result = avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
            if (result < 0 && result != AVERROR(EAGAIN))
                fail("decoding failed at " + position(), result);
        }
    }
};

AudioDecoder::AudioDecoder(const std::string& path, const InputOptions& options)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.input = std::make_unique<InputFile>(path, options);
    s.tag_path = s.input->reread_path();
    s.format = s.input->open_format(path);
    int result = avformat_find_stream_info(s.format, nullptr);
    // What FFmpeg recognised but cannot make sense of (a MIDI file, a text
    // that looks like a playlist) is no audio file to this program either.
    if (result == AVERROR_EXIT && s.input->failure().empty())
        throw DecodeError("interrupted");
    if (result < 0 && s.input->failure().empty())
        throw DecodeError("not an audio file (FFmpeg: cannot read the stream information: " +
                          av_error_text(result) + ")");
    if (result < 0)
        s.fail("cannot read the stream information", result);
    const AVCodec* decoder = nullptr;
    s.stream = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (s.stream == AVERROR_STREAM_NOT_FOUND)
        throw DecodeError("not an audio file (it has no audio stream)");
    if (s.stream < 0 || !decoder) {
        AVStream* any = s.stream >= 0 ? s.format->streams[s.stream] : nullptr;
        throw DecodeError(
            "no decoder for its audio codec" +
            (any ? " " + std::string(avcodec_get_name(any->codecpar->codec_id)) : std::string()));
    }
    AVStream* stream = s.format->streams[s.stream];
    for (unsigned i = 0; i < s.format->nb_streams; ++i)
        if (static_cast<int>(i) != s.stream)
            s.format->streams[i]->discard = AVDISCARD_ALL;
    s.codec = avcodec_alloc_context3(decoder);
    if (!s.codec)
        throw DecodeError("out of memory");
    result = avcodec_parameters_to_context(s.codec, stream->codecpar);
    if (result < 0)
        s.fail("cannot set up the decoder", result);
    s.codec->thread_count = 1; // tracks run in parallel instead
    result = avcodec_open2(s.codec, decoder, nullptr);
    if (result < 0)
        s.fail("cannot open the " + std::string(decoder->name) + " decoder", result);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.frame || !s.packet)
        throw DecodeError("out of memory");

    StreamFacts& f = s.facts;
    f.sample_rate = s.codec->sample_rate;
    f.channels = s.codec->ch_layout.nb_channels;
    if (f.sample_rate <= 0 || f.channels <= 0)
        throw DecodeError("the audio stream has no sample rate or channel count");
    f.codec = codec_display_name(stream->codecpar->codec_id);
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    f.lossless = descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS);
    f.float_samples = av_get_packed_sample_fmt(s.codec->sample_fmt) == AV_SAMPLE_FMT_FLT ||
                      av_get_packed_sample_fmt(s.codec->sample_fmt) == AV_SAMPLE_FMT_DBL;
    f.bits_per_sample = stream->codecpar->bits_per_raw_sample;
    if (f.bits_per_sample <= 0)
        f.bits_per_sample = av_get_bits_per_sample(stream->codecpar->codec_id);
    if (f.bits_per_sample <= 0 && f.lossless)
        f.bits_per_sample = av_get_bytes_per_sample(s.codec->sample_fmt) * 8;
    f.bitrate = stream->codecpar->bit_rate > 0 ? stream->codecpar->bit_rate : s.format->bit_rate;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        f.duration = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    else if (s.format->duration != AV_NOPTS_VALUE && s.format->duration > 0)
        f.duration = static_cast<double>(s.format->duration) / AV_TIME_BASE;
}

AudioDecoder::~AudioDecoder() = default;

const StreamFacts& AudioDecoder::facts() const {
    return state_->facts;
}

std::int64_t AudioDecoder::frames_read() const {
    return state_->frames_read;
}

TagList AudioDecoder::raw_container_tags() const {
    const State& s = *state_;
    // The readers open the file again, through the decoder's own descriptor;
    // a pipe cannot be read twice, so there the path is empty, they find
    // nothing and FFmpeg's reading stands.
    const std::string& file = s.tag_path;
    std::string format_name = s.format->iformat->name;
    AVCodecID codec = s.format->streams[s.stream]->codecpar->codec_id;
    // FFmpeg joins repeated Vorbis comments with ';'; read them apart where we can.
    bool vorbis_comments = false;
    std::optional<TagList> raw;
    if (format_name == "flac") {
        vorbis_comments = true;
        raw = read_flac_comments(file);
    } else if (format_name == "ogg") {
        vorbis_comments = true;
        switch (codec) {
        case AV_CODEC_ID_VORBIS:
            raw = read_ogg_comments(file, OggCodec::vorbis);
            break;
        case AV_CODEC_ID_OPUS:
            raw = read_ogg_comments(file, OggCodec::opus);
            break;
        case AV_CODEC_ID_FLAC:
            raw = read_ogg_comments(file, OggCodec::flac);
            break;
        case AV_CODEC_ID_SPEEX:
            raw = read_ogg_comments(file, OggCodec::speex);
            break;
        default:
            break;
        }
    }
    if (raw)
        return *raw;
    TagList tags = dictionary_entries(s.format->metadata);
    TagList stream_tags = dictionary_entries(s.format->streams[s.stream]->metadata);
    tags.insert(tags.end(), stream_tags.begin(), stream_tags.end());
    if (vorbis_comments)
        return split_joined_values(tags);
    if (format_name == "mp3")
        restore_values(by_ffmpeg_key(read_id3v2_text_frames(file)), tags);
    else if (format_name == "wav")
        restore_values(by_ffmpeg_key(read_wav_id3v2_text_frames(file)), tags);
    else if (format_name.find("mp4") != std::string::npos)
        restore_values(read_mp4_text_items(file).value_or(Mp4TextItems{}), tags);
    return tags;
}

TagList AudioDecoder::container_tags() const {
    // Tags FFmpeg copied as they were stored may not be UTF-8: ID3v1 and RIFF
    // INFO text is Latin-1 by convention; elsewhere a malformed piece becomes
    // U+FFFD. A value is never cut at a bad byte.
    const std::string format_name = state_->format->iformat->name;
    const bool latin1_convention = format_name == "mp3" || format_name == "wav" ||
                                   format_name == "aiff" || format_name == "avi";
    auto text = [latin1_convention](const std::string& bytes) {
        if (unicode::IsValidUtf8(bytes))
            return bytes;
        return latin1_convention ? unicode::Latin1ToUtf8(bytes) : unicode::ValidUtf8(bytes);
    };
    TagList tags = raw_container_tags();
    for (Tag& tag : tags) {
        tag.name = unicode::ValidUtf8(tag.name);
        tag.value = text(tag.value);
    }
    return tags;
}

TagList AudioDecoder::replay_gain_side_data() const {
    return vantrel::replay_gain_side_data(*state_->format->streams[state_->stream]);
}

SourcePictures AudioDecoder::pictures() const {
    return source_pictures(*state_->format, state_->stream, state_->tag_path);
}

std::size_t AudioDecoder::read(double* out, std::size_t max_frames) {
    State& s = *state_;
    std::size_t written = 0;
    while (written < max_frames && !s.finished) {
        if (!s.frame_pending) {
            if (!s.next_frame()) {
                s.finished = true;
                break;
            }
            s.frame_pending = true;
            s.frame_offset = 0;
        }
        std::size_t available = static_cast<std::size_t>(s.frame->nb_samples) - s.frame_offset;
        std::size_t take = std::min(available, max_frames - written);
        if (!frame_to_double(*s.frame, s.facts.channels, s.frame_offset, take,
                             out + written * static_cast<std::size_t>(s.facts.channels)))
            throw DecodeError("the decoder gives an unknown sample format");
        written += take;
        s.frame_offset += take;
        s.frames_read += static_cast<std::int64_t>(take);
        if (s.frame_offset == static_cast<std::size_t>(s.frame->nb_samples)) {
            av_frame_unref(s.frame);
            s.frame_pending = false;
        }
    }
    return written;
}

} // namespace vantrel
