// Decoding files the ffmpeg command line makes, tagged by mutagen where the
// ffmpeg command line cannot write several values of one field.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

#include "convert/track_job.h"
#include "decode/audio_decoder.h"
#include "decode/tag_normalizer.h"
#include "test_support.h"

namespace vantrel {
namespace {

using testing::make_tone;
using testing::run_python;
using testing::set_vorbis_comments;
using testing::ShellQuote;
using testing::TemporaryFolder;

std::vector<double> decode_all(AudioDecoder& decoder, std::size_t chunk = 1000) {
    std::vector<double> all;
    std::vector<double> buffer(chunk * static_cast<std::size_t>(decoder.facts().channels));
    while (std::size_t frames = decoder.read(buffer.data(), chunk))
        all.insert(all.end(), buffer.begin(),
                   buffer.begin() + static_cast<long>(frames * decoder.facts().channels));
    return all;
}

// ffmpeg's own decoding of the file as 16-bit samples, for comparison.
std::vector<std::int16_t> ffmpeg_samples(const std::string& path) {
    testing::CommandResult r = testing::RunCommand("ffmpeg -nostdin -loglevel error -i " +
                                                   ShellQuote(path) + " -f s16le -");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::int16_t> samples(r.out.size() / 2);
    std::memcpy(samples.data(), r.out.data(), samples.size() * 2);
    return samples;
}

std::string meta_of(const TagList& tags) {
    std::string text;
    for (const Tag& t : tags)
        text += t.name + "=" + t.value + "\n";
    return text;
}

TEST(Decoder, WavGivesItsSamplesAndTechnicalFacts) {
    TemporaryFolder dir;
    make_tone(dir.File("s.wav"), 1.0, 44100, 2);
    AudioDecoder decoder(dir.File("s.wav"));
    const StreamFacts& f = decoder.facts();
    EXPECT_EQ(f.sample_rate, 44100);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.bits_per_sample, 16);
    EXPECT_EQ(f.codec, "PCM");
    EXPECT_TRUE(f.lossless);
    EXPECT_NEAR(f.duration, 1.0, 0.001);
    EXPECT_EQ(f.bitrate, 44100 * 2 * 16);
    std::vector<double> samples = decode_all(decoder, 777);
    ASSERT_EQ(samples.size(), 44100u * 2);
    EXPECT_EQ(decoder.frames_read(), 44100);
    // 16-bit samples come through exactly, as ffmpeg itself decodes them.
    std::vector<std::int16_t> expected = ffmpeg_samples(dir.File("s.wav"));
    ASSERT_EQ(expected.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i] * 32768, expected[i]) << i;
    EXPECT_NE(*std::max_element(expected.begin(), expected.end()), 0);
}

TEST(Decoder, FlacMono48kWithSeveralValuesAndNonAsciiTags) {
    TemporaryFolder dir;
    std::string path = dir.File("m.flac");
    make_tone(path, 0.5, 48000, 1, "-sample_fmt s32");
    set_vorbis_comments(path, {{"ARTIST", {"Ann;X", "Bob"}},
                               {"TITLE", {"Ünïcødé 名前"}},
                               {"TRACKNUMBER", {"3/12"}},
                               {"DATE", {"2024"}},
                               {"REPLAYGAIN_TRACK_GAIN", {"-3.20 dB"}}});
    AudioDecoder decoder(path);
    EXPECT_EQ(decoder.facts().sample_rate, 48000);
    EXPECT_EQ(decoder.facts().channels, 1);
    EXPECT_EQ(decoder.facts().bits_per_sample, 24);
    EXPECT_EQ(decoder.facts().codec, "FLAC");
    TrackTags tags = normalize_tags(decoder.container_tags());
    EXPECT_EQ(meta_of(tags.meta), "artist=Ann;X\nartist=Bob\ntitle=Ünïcødé 名前\n"
                                  "tracknumber=3\ntotaltracks=12\ndate=2024\n");
    EXPECT_EQ(tags.info, (TagList{{"replaygain_track_gain", "-3.20 dB"}}));
    EXPECT_EQ(decode_all(decoder).size(), 24000u);
}

TEST(Decoder, OggVorbisKeepsRepeatedCommentsApart) {
    TemporaryFolder dir;
    std::string path = dir.File("v.ogg");
    make_tone(path, 0.5, 44100, 2, "-c:a libvorbis");
    set_vorbis_comments(path, {{"artist", {"Ann", "B;ob"}}, {"album", {"Ålbum"}}});
    AudioDecoder decoder(path);
    EXPECT_EQ(decoder.facts().codec, "Vorbis");
    EXPECT_FALSE(decoder.facts().lossless);
    EXPECT_EQ(decoder.facts().bits_per_sample, 0);
    TrackTags tags = normalize_tags(decoder.container_tags());
    EXPECT_EQ(meta_of(tags.meta), "artist=Ann\nartist=B;ob\nalbum=Ålbum\n");
    EXPECT_EQ(decode_all(decoder).size(), ffmpeg_samples(path).size());
}

TEST(Decoder, Mp3TagsFromId3) {
    TemporaryFolder dir;
    std::string path = dir.File("t.mp3");
    make_tone(path, 1.0, 44100, 2,
              "-b:a 128k -metadata artist=Zoë -metadata album=Alb -metadata title=Tune "
              "-metadata track=4/9 -metadata date=1999 -metadata genre=Jazz "
              "-metadata comment=Fine");
    AudioDecoder decoder(path);
    EXPECT_EQ(decoder.facts().codec, "MP3");
    EXPECT_EQ(decoder.facts().bitrate, 128000);
    TrackTags tags = normalize_tags(decoder.container_tags());
    std::string meta = meta_of(tags.meta);
    for (const char* line : {"artist=Zoë\n", "album=Alb\n", "title=Tune\n", "tracknumber=4\n",
                             "totaltracks=9\n", "date=1999\n", "genre=Jazz\n", "comment=Fine\n"})
        EXPECT_NE(meta.find(line), std::string::npos) << line << " in\n" << meta;
    EXPECT_EQ(meta.find("encoder"), std::string::npos);
    // The decoder trims the encoder's delay and padding: about one second.
    double seconds = static_cast<double>(decode_all(decoder).size()) / 2 / 44100;
    EXPECT_NEAR(seconds, 1.0, 0.03);
}

TEST(Decoder, Mp3FramesWithSeveralValuesKeepThemAll) {
    TemporaryFolder dir;
    // Encodings 3 (UTF-8) and 1 (UTF-16 with byte-order mark) of ID3v2.4.
    for (int encoding : {3, 1}) {
        std::string path = dir.File("multi" + std::to_string(encoding) + ".mp3");
        make_tone(path, 0.5, 44100, 2);
        run_python("from mutagen.id3 import ID3, TPE1, TIT2, TRCK, TXXX\n"
                   "t = ID3()\n"
                   "t.add(TPE1(encoding=" +
                   std::to_string(encoding) +
                   ", text=['Ann', 'Bøb']))\n"
                   "t.add(TIT2(encoding=3, text=['Tïtle']))\n"
                   "t.add(TRCK(encoding=3, text=['3/12']))\n"
                   "t.add(TXXX(encoding=1, desc='MOOD', text=['calm', 'wild 名']))\n"
                   "t.save(" +
                   ShellQuote(path) + ", v2_version=4)\n");
        AudioDecoder decoder(path);
        std::string meta = meta_of(normalize_tags(decoder.container_tags()).meta);
        EXPECT_NE(meta.find("artist=Ann\nartist=Bøb\n"), std::string::npos) << meta;
        EXPECT_NE(meta.find("mood=calm\nmood=wild 名\n"), std::string::npos) << meta;
        EXPECT_NE(meta.find("title=Tïtle\n"), std::string::npos) << meta;
        EXPECT_NE(meta.find("tracknumber=3\ntotaltracks=12\n"), std::string::npos) << meta;
    }
}

TEST(Decoder, AnyChannelCountAndSampleFormat) {
    TemporaryFolder dir;
    make_tone(dir.File("six.wav"), 0.25, 22050, 6, "-c:a pcm_f32le");
    AudioDecoder decoder(dir.File("six.wav"));
    EXPECT_EQ(decoder.facts().channels, 6);
    EXPECT_EQ(decoder.facts().bits_per_sample, 32);
    std::vector<double> samples = decode_all(decoder, 100);
    ASSERT_EQ(samples.size(), ffmpeg_samples(dir.File("six.wav")).size());
    EXPECT_DOUBLE_EQ(samples[6 * 100 + 5], samples[6 * 100]);
}

TEST(Decoder, BadInputsAreNamed) {
    TemporaryFolder dir;
    auto reason = [](const std::string& path) {
        try {
            AudioDecoder decoder(path);
        } catch (const DecodeError& e) {
            return std::string(e.what());
        }
        return std::string("(opened)");
    };
    EXPECT_EQ(reason(dir.File("missing.wav")), "cannot open: No such file or directory");
    std::ofstream(dir.File("words.mp3")) << "these are words, not audio\n";
    EXPECT_EQ(reason(dir.File("words.mp3")).rfind("not an audio file (FFmpeg: ", 0), 0u)
        << reason(dir.File("words.mp3"));
    std::ofstream(dir.File("words.txt")) << "these are words, not audio\n";
    EXPECT_EQ(reason(dir.File("words.txt")),
              "not an audio file (FFmpeg: Invalid data found when processing input)");
    std::ofstream(dir.File("nothing.flac")).close();
    EXPECT_EQ(reason(dir.File("nothing.flac")), "not an audio file (it is empty)");
    // A MIDI file: a header FFmpeg has no demuxer for.
    std::ofstream(dir.File("tune.mid"), std::ios::binary)
        << std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xff\x2f\0", 26);
    EXPECT_EQ(reason(dir.File("tune.mid")).rfind("not an audio file (FFmpeg: ", 0), 0u)
        << reason(dir.File("tune.mid"));
    make_tone(dir.File("x.wav"), 0.1, 8000, 1);
    testing::RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=d=0.2 -frames:v 2 " +
        ShellQuote(dir.File("video.avi")));
    EXPECT_EQ(reason(dir.File("video.avi")), "not an audio file (it has no audio stream)");
    EXPECT_EQ(reason(dir.Path().string()), "it is a folder, not a file");
}

TEST(Decoder, AZeroLengthTrackReadsNothing) {
    TemporaryFolder dir;
    make_tone(dir.File("empty.wav"), 0.0, 44100, 2);
    AudioDecoder decoder(dir.File("empty.wav"));
    std::vector<double> buffer(2000);
    EXPECT_EQ(decoder.read(buffer.data(), 1000), 0u);
    EXPECT_EQ(decoder.read(buffer.data(), 1000), 0u);
}

TEST(Decoder, ACorruptStreamFailsWithItsPosition) {
    TemporaryFolder dir;
    std::string path = dir.File("c.flac");
    make_tone(path, 2.0, 44100, 2);
    std::string bytes = testing::ReadFile(path);
    for (std::size_t i = bytes.size() / 3; i < bytes.size() * 2 / 3; ++i)
        bytes[i] = static_cast<char>(i * 7919);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    AudioDecoder decoder(path);
    std::vector<double> buffer(8192);
    try {
        while (decoder.read(buffer.data(), 4096) > 0) {
        }
        // FFmpeg may skip damaged frames without an error; then the audio is short.
        EXPECT_LT(decoder.frames_read(), 2 * 44100);
    } catch (const DecodeError& e) {
        EXPECT_NE(std::string(e.what()).find("failed at 0:0"), std::string::npos) << e.what();
    }
}

// Pictures of every usual container, with MIME types that are missing or odd,
// one of no image kind and (ID3) a link: each image arrives with its type and
// description and the MIME type of its bytes; the others are named.
struct PictureSource {
    const char* name;
    const char* file;
    const char* encoding; // ffmpeg options for the tone
    const char* script;   // adds `pictures` (type, mime, description, data) to `path`
    bool ordered_types;   // the format keeps picture types (MP4 knows front covers only)
};

const PictureSource kPictureSources[] = {
    {"Flac", "p.flac", "", R"(
from mutagen.flac import FLAC, Picture
f = FLAC(path)
for kind, mime, desc, data in pictures:
    p = Picture()
    p.type, p.mime, p.desc, p.data = kind, mime, desc, data
    f.add_picture(p)
f.save()
)",
     true},
    {"OggOpus", "p.opus", "-c:a libopus", R"(
import base64
from mutagen.oggopus import OggOpus
from mutagen.flac import Picture
f = OggOpus(path)
blocks = []
for kind, mime, desc, data in pictures:
    p = Picture()
    p.type, p.mime, p.desc, p.data = kind, mime, desc, data
    blocks.append(base64.b64encode(p.write()).decode())
f['metadata_block_picture'] = blocks
f.save()
)",
     true},
    {"Mp3", "p.mp3", "-b:a 64k", R"(
from mutagen.id3 import ID3, APIC
t = ID3()
for kind, mime, desc, data in pictures:
    t.add(APIC(encoding=1, mime=mime, type=kind, desc=desc, data=data))
t.add(APIC(encoding=0, mime='-->', type=5, desc='link', data=b'http://example.org/a.png'))
t.save(path, v2_version=3)
)",
     true},
    {"Aiff", "p.aiff", "", R"(
from mutagen.aiff import AIFF
from mutagen.id3 import APIC
f = AIFF(path)
f.add_tags()
for kind, mime, desc, data in pictures:
    f.tags.add(APIC(encoding=3, mime=mime, type=kind, desc=desc, data=data))
f.save()
)",
     true},
    {"M4a", "p.m4a", "-c:a aac", R"(
from mutagen.mp4 import MP4, MP4Cover
f = MP4(path)
f['covr'] = [MP4Cover(data, imageformat=MP4Cover.FORMAT_JPEG) for _, _, _, data in pictures]
f.save()
)",
     false},
};

void PrintTo(const PictureSource& source, std::ostream* out) {
    *out << source.name;
}

class Pictures : public ::testing::TestWithParam<PictureSource> {};

TEST_P(Pictures, EveryImageArrivesWithTheKindOfItsBytes) {
    const PictureSource& source = GetParam();
    TemporaryFolder dir;
    const std::string path = dir.File(source.file);
    make_tone(path, 0.2, 48000, 1, source.encoding);
    const std::string png = "\x89PNG\r\n\x1A\n" + std::string(40, 'p');
    const std::string jpeg = "\xFF\xD8\xFF\xE0" + std::string(40, 'j');
    run_python("path = " + ShellQuote(path) +
               "\n"
               "pictures = [(3, 'image/x-png', 'Frönt', b'\\x89PNG\\r\\n\\x1a\\n' + b'p' * 40),\n"
               "            (4, '', 'Bäck', b'\\xff\\xd8\\xff\\xe0' + b'j' * 40),\n"
               "            (0, 'text/plain', 'notes', b'just some words')]\n" +
               source.script);
    AudioDecoder decoder(path);
    SourcePictures found = decoder.pictures();
    ASSERT_EQ(found.pictures.size(), 2u);
    // mutagen writes ID3 frames in an order of its own.
    if (found.pictures[0].type == 4)
        std::swap(found.pictures[0], found.pictures[1]);
    const AttachedPicture& front = found.pictures[0];
    const AttachedPicture& back = found.pictures[1];
    EXPECT_EQ(front.mime, "image/png");
    EXPECT_EQ(std::string(front.data.begin(), front.data.end()), png);
    EXPECT_EQ(back.mime, "image/jpeg");
    EXPECT_EQ(std::string(back.data.begin(), back.data.end()), jpeg);
    std::string reasons;
    for (const std::string& reason : found.left_out)
        reasons += reason + "\n";
    if (source.ordered_types) {
        EXPECT_EQ(front.type, kFrontCover);
        EXPECT_EQ(front.description, "Frönt");
        EXPECT_EQ(back.type, 4);
        EXPECT_EQ(back.description, "Bäck");
    }
    const std::string words =
        source.ordered_types ? "a picture (Other, \"notes\")" : "a picture (Cover (front))";
    std::string expected = words + " is no image of a kind players show (PNG, JPEG, GIF, BMP, "
                                   "WebP, TIFF)\n";
    if (std::string(source.name) == "Mp3") // in mutagen's order of the frames
        expected =
            "a picture (Leaflet page, \"link\") is a link to an image, not an image\n" + expected;
    EXPECT_EQ(reasons, expected);
}

INSTANTIATE_TEST_SUITE_P(Sources, Pictures, ::testing::ValuesIn(kPictureSources),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Decoder, AFileWithoutPicturesHasNone) {
    TemporaryFolder dir;
    make_tone(dir.File("bare.flac"), 0.2, 44100, 1);
    const SourcePictures found = AudioDecoder(dir.File("bare.flac")).pictures();
    EXPECT_TRUE(found.pictures.empty());
    EXPECT_TRUE(found.left_out.empty());
}

TEST(Decoder, ReplayGainSideDataAsText) {
    TemporaryFolder dir;
    std::string path = dir.File("g.flac");
    make_tone(path, 0.2, 44100, 1);
    // FFmpeg reads these comments into the stream's side data as well.
    run_python("from mutagen.flac import FLAC\nf = FLAC(" + ShellQuote(path) +
               ")\nf['REPLAYGAIN_TRACK_GAIN'] = ['-6.5 dB']\n"
               "f['REPLAYGAIN_ALBUM_PEAK'] = ['0.5']\nf.save()\n");
    AudioDecoder decoder(path);
    EXPECT_EQ(decoder.replay_gain_side_data(), (TagList{{"replaygain_track_gain", "-6.50 dB"},
                                                        {"replaygain_album_peak", "0.500000"}}));
    make_tone(dir.File("none.flac"), 0.2, 44100, 1);
    EXPECT_EQ(AudioDecoder(dir.File("none.flac")).replay_gain_side_data(), TagList{});
}

TEST(DescribeTrack, EachValueApartReplayGainAsFieldsAndOneYear) {
    TemporaryFolder dir;
    std::string path = dir.File("t.flac");
    make_tone(path, 0.2, 44100, 1);
    run_python("from mutagen.flac import FLAC\nf = FLAC(" + ShellQuote(path) +
               ")\nf['ARTIST'] = ['Ann', 'Bøb']\nf['YEAR'] = ['1999']\nf['DATE'] = ['1999']\n"
               "f['REPLAYGAIN_TRACK_GAIN'] = ['-1.00 dB']\nf.save()\n");
    AudioDecoder decoder(path);
    track_info track = describe_track(path, decoder, {});
    EXPECT_EQ(meta_of(track.meta),
              "artist=Ann\nartist=Bøb\ndate=1999\nreplaygain_track_gain=-1.00 dB\n");
    EXPECT_NE(meta_of(track.info).find("replaygain_track_gain=-1.00 dB\n"), std::string::npos);
}

TEST(DescribeTrack, TechnicalInformationAndOverrides) {
    TemporaryFolder dir;
    make_tone(dir.File("d.wav"), 0.5, 48000, 1, "-metadata artist=Orig -metadata title=T");
    AudioDecoder decoder(dir.File("d.wav"));
    track_info track =
        describe_track(dir.File("d.wav"), decoder, {{"ARTIST", "New"}, {"title", ""}});
    EXPECT_EQ(meta_of(track.meta), "artist=New\n");
    EXPECT_EQ(meta_of(track.info), "samplerate=48000\nchannels=1\nbitspersample=16\ncodec=PCM\n"
                                   "encoding=lossless\nbitrate=768\n");
    EXPECT_STREQ(track.location.path(), dir.File("d.wav").c_str());
    EXPECT_NEAR(track.length_seconds, 0.5, 0.001);
}

} // namespace
} // namespace vantrel
