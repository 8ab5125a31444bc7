// vantrel: converts music to Windows Media Audio through the player's components.
#include <csignal>
#include <cstdio>
#include <exception>

extern "C" {
#include <libavutil/log.h>
}

#include "cli/host_session.h"
#include "cli/options.h"
#include "decode/tag_fields.h"

namespace {

constexpr char kVersion[] = "vantrel 1.0";

int run(const vantrel::Options& options) {
    switch (options.command) {
    case vantrel::Command::help:
        std::fputs(vantrel::usage_text().c_str(), stdout);
        return 0;
    case vantrel::Command::version:
        std::printf("%s\n", kVersion);
        return 0;
    case vantrel::Command::convert:
        return vantrel::run_convert(options);
    case vantrel::Command::components:
        return vantrel::run_components(options);
    case vantrel::Command::settings:
        return vantrel::run_settings(options);
    case vantrel::Command::tags:
        std::fputs(vantrel::tag_field_listing().c_str(), stdout);
        return 0;
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Decoding problems are reported by vantrel itself, naming the file.
    av_log_set_level(AV_LOG_QUIET);
    // A reader that goes away (a pipe as output) fails that track's writes
    // with EPIPE; it must not end the whole run.
    std::signal(SIGPIPE, SIG_IGN);
    // Past the file size limit (ulimit -f) a write fails with EFBIG, which
    // fails only that track, instead of the signal ending the whole run.
    std::signal(SIGXFSZ, SIG_IGN);
    vantrel::Options options;
    try {
        options = vantrel::parse_options(argc, argv);
    } catch (const vantrel::UsageError& e) {
        std::fprintf(stderr, "vantrel: %s\nTry 'vantrel --help' for more information.\n", e.what());
        return 2;
    }
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrel: %s\n", e.what());
        return 1;
    }
}
