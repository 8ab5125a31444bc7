// Locations of files inside archives:
// "unpack://" type '|' L '|' archive path (L bytes) '|' inner path.
#pragma once

#include "vantrel/string_base.h"

// Replaces `out` with the location; false when the type contains '|' or
// memory ran out.
bool make_archive_location(string_base& out, const char* type, const char* archive_path,
                           const char* inner_path);
// Whether `path` starts with "unpack://", the type name and '|'.
bool is_archive_location_of(const char* path, const char* type);
// Splits a location into its archive path and inner path; false when the text
// is not of that form.
bool split_archive_location(const char* path, string_base& archive_path, string_base& inner_path);
