#include <cstring>

#include "progress/status_output.h"
#include "services/host_services.h"
#include "services/track_context.h"

namespace vantrel {

service_base* host_console::query_service(const GUID& guid) {
    return guid == console::class_guid ? this : nullptr;
}

std::string host_console::format_line(std::int32_t severity, const char* text, const char* source) {
    // The source is the component's file path; its file name says enough in a line.
    std::string line;
    if (source && source[0]) {
        const char* slash = std::strrchr(source, '/');
        line = std::string(slash && slash[1] ? slash + 1 : source) + ": ";
    }
    switch (severity) {
    case severity_information:
        line += "info: ";
        break;
    case severity_warning:
        line += "warning: ";
        break;
    case severity_error:
        line += "error: ";
        break;
    default:
        line += "severity " + std::to_string(severity) + ": ";
        break;
    }
    return line + (text ? text : "");
}

void host_console::print(std::int32_t severity, const char* text, const char* source) {
    std::string line = format_line(severity, text, source);
    TrackContext* track = current_track();
    if (track)
        line += " (" + track->name + ")";
    if (severity >= severity_error) {
        if (track) {
            ++track->error_lines;
            track->last_error = text ? text : "";
        }
        output_.error(line);
    } else if (severity == severity_warning) {
        output_.error(line); // shown even when quiet, but the track goes on
    } else {
        output_.detail(line); // the encoder's own information, asked for with -v
    }
}

} // namespace vantrel
