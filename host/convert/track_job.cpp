#include "convert/track_job.h"

#include <cmath>
#include <exception>
#include <filesystem>
#include <sys/stat.h>

#include "convert/cover_picture.h"
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

// Adds the track's cover picture to its finished file. A failure there is a
// warning: the track itself is written.
void add_cover(const AudioDecoder& decoder, const std::string& output_path, bool regular_file,
               StatusOutput& output) {
    std::optional<AttachedPicture> picture = decoder.cover_picture();
    if (!picture)
        return;
    if (!regular_file) {
        output.info("vantrel: " + output_path + ": no cover picture (not a regular file)");
        return;
    }
    std::string reason = add_cover_picture(output_path, *picture);
    if (!reason.empty())
        output.error("vantrel: warning: " + output_path +
                     ": the cover picture was not added: " + reason);
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
    track.meta = drop_restated_fields(tags.meta);
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
    TrackContext context{plan.input, 0, {}};
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
        else if (with_cover)
            add_cover(*decoder, plan.output, after.regular, output);
    }
    output.track_finished(slot, outcome.audio_seconds);
    outcome.written = failure.empty();
    outcome.error = failure;
    return outcome;
}

} // namespace vantrel
