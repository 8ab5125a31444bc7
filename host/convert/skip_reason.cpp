#include "convert/skip_reason.h"

namespace vantrel {
namespace {

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::string skip_note(SkipReason reason) {
    switch (reason) {
    case SkipReason::output_exists:
        return "exists";
    case SkipReason::output_up_to_date:
        return "up to date";
    case SkipReason::already_in_place:
        return "already in place";
    case SkipReason::earlier_result:
        return "an earlier result of a source beside it";
    case SkipReason::not_audio:
        return "not an audio file";
    case SkipReason::hidden:
        return "hidden";
    case SkipReason::folder_searched:
        return "a folder searched already";
    case SkipReason::none:
        break;
    }
    return {};
}

std::string skip_summary(const SkipCounts& counts) {
    std::string text;
    auto add = [&](SkipReason reason, const char* one, const char* many) {
        const std::size_t count = counts[static_cast<std::size_t>(reason)];
        if (count == 0)
            return;
        text += (text.empty() ? "" : ", ") + counted(count, one, many);
    };
    add(SkipReason::output_exists, "output exists", "outputs exist");
    add(SkipReason::output_up_to_date, "output up to date", "outputs up to date");
    add(SkipReason::already_in_place, "source already in place", "sources already in place");
    add(SkipReason::earlier_result, "earlier result of a source beside it",
        "earlier results of sources beside them");
    add(SkipReason::not_audio, "not an audio file", "not audio files");
    add(SkipReason::hidden, "hidden", "hidden");
    add(SkipReason::folder_searched, "link to a folder searched already",
        "links to folders searched already");
    return text;
}

} // namespace vantrel
