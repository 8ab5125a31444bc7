#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/host_session.h"

namespace vantrel {

int run_components(const Options& options) {
    HostSession session(options, false, Verbosity::normal);
    const std::vector<DiskWriterChoice> writers = session.components().disk_writers();
    std::printf("Components in %s:\n", session.components().folder().c_str());
    for (const LoadedComponent& component : session.components().components()) {
        std::string name = component.name.empty()
                               ? std::filesystem::path(component.path).stem().string()
                               : component.name;
        std::printf("\n%s%s%s\n", name.c_str(), component.version.empty() ? "" : " ",
                    component.version.c_str());
        std::printf("  file:        %s\n", component.path.c_str());
        for (const DiskWriterChoice& writer : writers)
            if (writer.component == &component)
                std::printf("  disk writer: %s (.%s)\n", writer.format_name.c_str(),
                            writer.extension.c_str());
        std::istringstream about(component.about);
        std::string line;
        const char* label = "  about:       ";
        while (std::getline(about, line)) {
            std::printf("%s%s\n", label, line.c_str());
            label = "               ";
        }
    }
    if (session.components().components().empty())
        std::printf("  (none)\n");
    std::fflush(stdout);
    session.report_failures();
    bool trouble =
        !session.components().failures().empty() || !session.components().folder_error().empty();
    return trouble ? 1 : 0;
}

} // namespace vantrel
