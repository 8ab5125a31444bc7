#include "convert/track_job.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <sys/stat.h>

#include "convert/cover_picture.h"
#include "convert/folder_cover.h"
#include "decode/replay_gain.h"
#include "decode/tag_normalizer.h"
#include "progress/status_output.h"
#include "services/host_chunk.h"
#include "services/track_context.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

// Runs one call into the component; a C++ exception escaping it is the
// component's failure, reported instead of ending the program.
template <class F> bool guarded(F&& call, std::string& failure) {
    try {
        return call();
    } catch (const std::exception& e) {
        failure = std::string("the encoder failed: ") + e.what();
    } catch (...) {
        failure = "the encoder failed with an unknown exception";
    }
    return false;
}

// What stands at a path, to tell afterwards whether the encoder put a new file
// there: the platform's writer moves a finished file onto the path, so a file
// that is new has a new identity.
struct StandingFile {
    bool exists = false;
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
};

StandingFile standing_at(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {true, S_ISREG(st.st_mode), st.st_dev, st.st_ino};
}

void warn(StatusOutput& output, const std::string& file, const std::string& text) {
    output.error("vantrel: warning: " + file + ": " + text);
}

// Makes the fields fit what a file's header holds, saying what changed.
void fit_fields(TagList& meta, const std::string& input, StatusOutput& output) {
    for (const std::string& field : replace_nul_characters(meta))
        warn(output, input,
             "the value of field \"" + field +
                 "\" holds a NUL character, which a tag cannot hold; it was replaced with "
                 "U+FFFD");
    for (const LeftOutValues& field : limit_field_values(meta))
        warn(output, input,
             "field \"" + field.name + "\" has " + std::to_string(field.given) +
                 " values, more than a .wma file holds of one field (" +
                 std::to_string(kMaxFieldValues) + "); the last " + std::to_string(field.left_out) +
                 " were left out");
}

// The pictures the output gets: every picture of the source, after a front
// cover from the track's folder when the source has none.
std::vector<AttachedPicture> pictures_for(const AudioDecoder& decoder, const std::string& input,
                                          StatusOutput& output) {
    SourcePictures found = decoder.pictures();
    for (const std::string& reason : found.left_out)
        warn(output, input, reason + "; it was left out");
    std::vector<AttachedPicture> pictures;
    const bool front = std::any_of(found.pictures.begin(), found.pictures.end(),
                                   [](const AttachedPicture& p) { return p.type == kFrontCover; });
    if (!front) {
        std::string problem;
        if (auto cover = folder_cover(input, problem))
            pictures.push_back(std::move(*cover));
        else if (!problem.empty())
            warn(output, input, "the folder's cover was not used: " + problem);
    }
    for (AttachedPicture& picture : found.pictures)
        pictures.push_back(std::move(picture));
    return pictures;
}

// Adds the pictures and the fields too long for the encoder's header
// attributes to the finished file. A failure there is a warning: the track
// itself is written.
void finish_file(const std::vector<AttachedPicture>& pictures, const TagList& long_fields,
                 const std::string& output_path, bool regular_file, StatusOutput& output) {
    if (pictures.empty() && long_fields.empty())
        return;
    if (!regular_file) {
        output.info("vantrel: " + output_path + ": no cover picture (not a regular file)");
        return;
    }
    const std::string reason = add_to_finished_file(output_path, pictures, long_fields);
    if (reason.empty())
        return;
    std::string what = pictures.size() == 1 ? "the cover picture"
                       : pictures.size() > 1
                           ? "the " + std::to_string(pictures.size()) + " pictures"
                           : "";
    if (!long_fields.empty())
        what += (what.empty() ? "" : " and ") + std::string("the long values of \"") +
                long_fields.front().name + "\"";
    warn(output, output_path,
         what + (pictures.size() == 1 && long_fields.empty() ? " was" : " were") +
             " not added: " + reason);
}

// What a lossless encoder that holds fewer bits than the source cost.
std::string depth_note(const StreamFacts& facts, int stored_bits) {
    const std::string bits = std::to_string(facts.bits_per_sample);
    const std::string stored = std::to_string(stored_bits);
    if (facts.float_samples)
        return "its " + bits + "-bit floating-point samples were stored as " + stored +
               "-bit integers, the most the encoder holds (rounded, and clipped beyond full "
               "scale)";
    return "its " + bits + "-bit samples were stored as " + stored +
           "-bit, the most the encoder holds: the lowest " +
           std::to_string(facts.bits_per_sample - stored_bits) + " bits of each sample were lost";
}

} // namespace

track_info describe_track(const std::string& input, const AudioDecoder& decoder,
                          const TagList& overrides) {
    track_info track;
    std::error_code ec;
    track.location.assign_path(fs::absolute(input, ec).lexically_normal().c_str());
    const StreamFacts& facts = decoder.facts();
    track.length_seconds = facts.duration;
    TrackTags tags = normalize_tags(decoder.container_tags());
    add_missing_fields(tags.info, decoder.replay_gain_side_data());
    // ReplayGain is technical information to the player, and fields the
    // encoder writes into the file.
    tags.meta.insert(tags.meta.end(), tags.info.begin(), tags.info.end());
    apply_tag_overrides(tags.meta, overrides);
    track.meta = std::move(tags.meta);
    track.info.push_back({"samplerate", std::to_string(facts.sample_rate)});
    track.info.push_back({"channels", std::to_string(facts.channels)});
    if (facts.bits_per_sample > 0)
        track.info.push_back({"bitspersample", std::to_string(facts.bits_per_sample)});
    track.info.push_back({"codec", facts.codec});
    track.info.push_back({"encoding", facts.lossless ? "lossless" : "lossy"});
    if (facts.bitrate > 0)
        track.info.push_back({"bitrate", std::to_string((facts.bitrate + 500) / 1000)});
    for (Tag& tag : tags.info)
        track.info.push_back(std::move(tag));
    return track;
}

TrackOutcome convert_track(diskwriter& writer, const OutputPlan& plan, const TagList& overrides,
                           StatusOutput& output, const std::atomic<bool>& stop, bool with_cover) {
    TrackOutcome outcome;
    std::unique_ptr<AudioDecoder> decoder;
    track_info track;
    host_chunk chunk;
    std::size_t frames = 0;
    try {
        InputOptions reading;
        reading.stop = &stop;
        decoder = std::make_unique<AudioDecoder>(plan.input, reading);
        track = describe_track(plan.input, *decoder, overrides);
        const StreamFacts& facts = decoder->facts();
        if (!chunk.resize_data(static_cast<std::uint32_t>(kChunkFrames * facts.channels))) {
            outcome.error = "out of memory";
            return outcome;
        }
        chunk.set_sample_rate(static_cast<std::uint32_t>(facts.sample_rate));
        chunk.set_channel_count(static_cast<std::uint32_t>(facts.channels));
        frames = decoder->read(chunk.sample_data(), kChunkFrames);
    } catch (const DecodeError& e) {
        outcome.error = e.what();
        return outcome;
    }
    if (frames == 0) {
        outcome.error = "it contains no audio (zero-length track)";
        return outcome;
    }

    const double rate = decoder->facts().sample_rate;
    const StandingFile before = standing_at(plan.output);
    fit_fields(track.meta, plan.input, output);
    // Values too long for the encoder's header attributes are added to the
    // finished file; a device gets them cut by the encoder.
    const TagList long_fields =
        before.exists && !before.regular ? TagList{} : take_long_fields(track.meta);
    TrackContext context{plan.input, 0, {}, 0};
    ScopedTrack scope(context);
    int slot = output.track_started(plan.input, decoder->facts().duration);
    std::string failure;
    std::string location = "file://" + plan.output;
    bool opened = guarded([&] { return writer.open(location.c_str(), 0, 0, 0, 0, 0); }, failure);
    if (opened && !guarded([&] { return writer.set_info(&track); }, failure) && failure.empty())
        failure = "the encoder did not take the track's information";
    if (!opened && failure.empty())
        failure = "the encoder cannot open " + plan.output;
    std::size_t chunks_taken = 0;
    while (failure.empty() && frames > 0) {
        chunk.set_sample_count(static_cast<std::uint32_t>(frames));
        if (!guarded([&] { return writer.process_chunk(chunk); }, failure)) {
            const std::string told =
                context.error_lines > 0 ? ": " + context.last_error : std::string();
            if (failure.empty() && chunks_taken == 0)
                failure = "the encoder could not start the track" + told;
            else if (failure.empty())
                failure = "the encoder refused the audio at " +
                          format_duration(static_cast<double>(decoder->frames_read()) / rate) +
                          told;
            break;
        }
        ++chunks_taken;
        output.track_progress(slot, static_cast<double>(decoder->frames_read()) / rate);
        if (stop.load(std::memory_order_relaxed)) {
            failure = "interrupted";
            break;
        }
        try {
            frames = decoder->read(chunk.sample_data(), kChunkFrames);
        } catch (const DecodeError& e) {
            failure = e.what();
        }
    }
    // A track that failed on this side is abandoned, not closed: closing would
    // finish a file with part of the audio and put it over an older one, while
    // a disk writer released without close throws its unfinished file away.
    if (opened && failure.empty())
        guarded(
            [&] {
                writer.close();
                return true;
            },
            failure);
    else if (opened)
        outcome.writer_abandoned = true;
    outcome.audio_seconds = static_cast<double>(decoder->frames_read()) / rate;

    if (failure.empty() && context.error_lines > 0)
        failure = "the encoder reported an error: " + context.last_error;
    if (failure.empty()) {
        const StandingFile after = standing_at(plan.output);
        const bool replaced = after.device != before.device || after.inode != before.inode;
        if (!after.exists || (after.regular && before.exists && !replaced))
            failure = "the encoder wrote no output file";
        else
            finish_file(with_cover ? pictures_for(*decoder, plan.input, output)
                                   : std::vector<AttachedPicture>{},
                        long_fields, plan.output, after.regular, output);
    }
    const StreamFacts& facts = decoder->facts();
    if (failure.empty() && context.pcm_bits > 16 && facts.bits_per_sample > context.pcm_bits)
        warn(output, plan.input, depth_note(facts, context.pcm_bits));
    output.track_finished(slot, outcome.audio_seconds);
    outcome.written = failure.empty();
    outcome.error = failure;
    return outcome;
}

} // namespace vantrel
