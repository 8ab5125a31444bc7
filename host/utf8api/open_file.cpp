// uGetOpenFileName: hands the request to the face of the owner's dialog (or
// the selected face) and returns the path it chose.
#include "utf8api/dialog_face.h"
#include "utf8api/dialog_session.h"
#include "vantrel/string_base.h"

#include <string_view>

namespace {

// "Description|patterns|Description|patterns": a description without its
// patterns is dropped.
std::vector<utf8api::file_filter> parse_filters(const char* filter) {
    std::vector<std::string> parts;
    std::string_view rest = filter ? filter : "";
    while (!rest.empty()) {
        const std::size_t bar = rest.find('|');
        parts.emplace_back(rest.substr(0, bar));
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    std::vector<utf8api::file_filter> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        filters.push_back({parts[i], parts[i + 1]});
    return filters;
}

} // namespace

extern "C" BOOL uGetOpenFileName(HWND owner, const char* filter, UINT filter_index,
                                 const char* default_extension, const char* title,
                                 const char* initial_directory, string_base* out_path, BOOL save) {
    if (!out_path)
        return 0;
    try {
        utf8api::file_request request;
        request.title = title ? title : "";
        request.filters = parse_filters(filter);
        request.filter_index = filter_index;
        request.default_extension = default_extension ? default_extension : "";
        request.initial_directory = initial_directory ? initial_directory : "";
        request.save = save != FALSE;

        utf8api::dialog_session* session = utf8api::dialog_session::from_handle(owner);
        const auto face = session ? session->face() : utf8api::selected_dialog_face();
        const std::optional<std::string> chosen = face->choose_file(session, request);
        if (!chosen || chosen->empty() || chosen->size() >= string_base::until_nul)
            return 0;
        return out_path->assign_bytes(chosen->c_str(), static_cast<std::uint32_t>(chosen->size()))
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}
