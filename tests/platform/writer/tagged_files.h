// Small Windows Media files with header attributes, written through the
// encoding session, and their attributes as mutagen and TagLib read them.
#pragma once

#include "header_attributes.h"
#include "test_files.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace writer_test {

// Sets a string attribute (its value as writer::StringValue makes it).
HRESULT SetString(writer::HeaderAttributes& store, const char16_t* name, std::u16string_view value);

// Writes half a second of 44.1 kHz stereo tone with the attributes at 128 kbps.
void WriteTaggedFile(const std::string& path,
                     const std::vector<writer::HeaderAttribute>& attributes);

bool MutagenAvailable();
// name -> "type<tab>value" as mutagen reads the file: text as UTF-8, bytes in
// hexadecimal; the values of one name in the order mutagen reads them (first
// value first). `info` receives "codec<tab>rate<tab>channels<tab>seconds".
std::multimap<std::string, std::string> MutagenTags(const std::string& path,
                                                    std::string* info = nullptr);

bool TaglibAvailable();
// property name -> value as TagLib reads the file (python3-taglib), the values
// of one name in TagLib's order; attributes TagLib has no name for under
// "#unsupported".
std::multimap<std::string, std::string> TaglibTags(const std::string& path);

} // namespace writer_test
