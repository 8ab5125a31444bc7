// The two host facilities the sdk containers use, reached through functions
// the component installs once it knows its host: the console (for the
// diagnostic listing and the bad-chunk warning) and the host's
// case-insensitive UTF-8 comparison. Without a console, lines are dropped;
// without a host comparison, a built-in one is used.
#pragma once

#include <cstdint>

namespace sdk_host {

inline constexpr std::int32_t severity_information = 1;
inline constexpr std::int32_t severity_error = 3;

using console_printer = void (*)(std::int32_t severity, const char* text);
using name_comparer = int (*)(const char* a, const char* b);

// Each answers the function installed before; null restores the default.
console_printer set_console_printer(console_printer printer);
name_comparer set_name_comparer(name_comparer comparer);

void console_print(std::int32_t severity, const char* text);
// 0 when the UTF-8 names are equal ignoring case.
int compare_names(const char* a, const char* b);

// The built-in comparison: code point by code point after simple case
// folding (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic capitals).
int compare_utf8_nocase(const char* a, const char* b);

} // namespace sdk_host
