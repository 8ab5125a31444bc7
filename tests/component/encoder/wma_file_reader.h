// Reads a Windows Media file back with libavformat and libavcodec, as an
// independent reader: its codec, decoded length and tags.
#pragma once

#include <map>
#include <optional>
#include <string>

struct WmaFileFacts {
    std::string codecName; // libavcodec's name: "wmav2", "wmalossless", ...
    int sampleRate = 0;
    int channels = 0;
    long long bitRate = 0;
    long long decodedFrames = 0;             // per channel
    std::map<std::string, std::string> tags; // lower-case keys as libavformat names them
};

std::optional<WmaFileFacts> ReadWmaFile(const std::string& path);
