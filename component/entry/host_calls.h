// The component's calls on the host's services, each fetched from the host's
// root object when needed and released after use. Without a host (before the
// entry point ran) they do nothing and answer false or null.
#pragma once

#include <cstdint>

class file_object;

// One console line with this component's file path as its source.
void ConsolePrint(std::int32_t severity, const char* text);

// Whether the file at the UTF-8 `path` exists, asked of the file system that
// owns the path; false when none does.
bool HostFileExists(const char* path);

// The file at `path` opened for reading (one reference for the caller), or
// null when no file system owns the path or the file cannot be opened.
file_object* HostOpenFileForReading(const char* path);
