// uPrintfV and stricmp_utf8.
#include "utf8api/utf8_text.h"
#include "vantrel/string_base.h"
#include "vantrel/utf8api.h"

#include <cstdio>
#include <vector>

extern "C" {

void uPrintfV(string_base* out, const char* format, va_list arguments) {
    if (!out)
        return;
    if (!format) {
        out->clear();
        return;
    }
    va_list measuring;
    va_copy(measuring, arguments);
    const int needed = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (needed < 0) {
        out->clear();
        return;
    }
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    va_list writing;
    va_copy(writing, arguments);
    std::vsnprintf(buffer.data(), buffer.size(), format, writing);
    va_end(writing);
    // A string_base holds no NUL bytes: a formatted %c of 0 ends the text.
    out->assign_bytes(buffer.data(), static_cast<std::uint32_t>(needed));
}

int stricmp_utf8(const char* a, const char* b) {
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    return utf8api::text::compare_ignoring_case(a, b);
}

} // extern "C"
