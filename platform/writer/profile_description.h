// A Windows Media profile as plain data: what the profile XML says, checked.
#pragma once

#include "platform/win32_types.h"

#include <optional>
#include <string>
#include <vector>

namespace writer {

struct StreamDescription {
    GUID majorType{};
    WORD streamNumber = 0;
    std::u16string streamName;
    std::u16string connectionName;
    DWORD bitrate = 0;
    DWORD bufferWindow = 0;
    bool vbrEnabled = false;
    GUID subtype{};
    bool fixedSizeSamples = true;
    bool temporalCompression = false;
    DWORD sampleSize = 0;
    WAVEFORMATEX format{}; // cbSize is the length of codecData
    std::vector<BYTE> codecData;
};

struct ProfileDescription {
    DWORD version = 0;
    std::u16string name;
    std::u16string description;
    std::vector<StreamDescription> streams;
};

// Parses profile XML (UTF-16, a leading byte-order mark allowed). Answers nullopt
// for text that is not a well-formed audio profile, with the reason in `problem`.
std::optional<ProfileDescription> ParseProfileXml(std::u16string_view text,
                                                  std::string* problem = nullptr);

} // namespace writer
