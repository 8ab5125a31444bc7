// The nine built-in profile texts of the encoder's presets, in preset order:
// the test's own copy of their figures, written out in a layout of its own.
#pragma once

#include <array>
#include <string>
#include <utility>

namespace writer_test {

struct BuiltInProfile {
    int preset;
    const char* name;
    unsigned bitrate;
    unsigned formatTag;
    unsigned avgBytesPerSec;
    unsigned blockAlign;
    const char* codecData;
    std::string text;
};

// Every preset is one audio stream; @name@ marks where a figure goes.
inline constexpr char kProfileTemplate[] = R"(<profile version="589824"
         storageformat="1"
         name="@name@"
         description="Streams: 1 audio">
       <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
               streamnumber="1"
               streamname="Audio1"
               inputname=""
               bitrate="@bitrate@"
               bufferwindow="3000"
               reliabletransport="0"
               decodercomplexity=""
               rfc1766langid="en-us"@variable@
               >
     <wmmediatype subtype="{@subtype@-0000-0010-8000-00AA00389B71}"
                  bfixedsizesamples="1"
                  btemporalcompression="0"
                  lsamplesize="0">
  <waveformatex wFormatTag="@tag@"
                nChannels="2"
                nSamplesPerSec="44100"
                nAvgBytesPerSec="@avg@"
                nBlockAlign="@align@"
                wBitsPerSample="16"
                codecdata="@codec@"/>
     </wmmediatype>
       </streamconfig>
</profile>
)";

// The lossless preset's stream is the one with a variable bitrate.
inline constexpr char kVariableBitrate[] = R"(
               vbrenabled="1"
               bitratemax="0"
               bufferwindowmax="0")";

inline std::string BuiltInProfileText(const BuiltInProfile& p) {
    const bool lossless = p.formatTag == 355;
    const std::pair<std::string, std::string> figures[] = {
        {"@name@", p.name},
        {"@bitrate@", std::to_string(p.bitrate)},
        {"@variable@", lossless ? kVariableBitrate : ""},
        {"@subtype@", lossless ? "00000163" : "00000161"},
        {"@tag@", std::to_string(p.formatTag)},
        {"@avg@", std::to_string(p.avgBytesPerSec)},
        {"@align@", std::to_string(p.blockAlign)},
        {"@codec@", p.codecData},
    };
    std::string text = kProfileTemplate;
    for (const auto& [mark, value] : figures) {
        text.replace(text.find(mark), mark.size(), value);
    }
    return text;
}

inline std::array<BuiltInProfile, 9> WithTexts(std::array<BuiltInProfile, 9> profiles) {
    for (BuiltInProfile& profile : profiles) {
        profile.text = BuiltInProfileText(profile);
    }
    return profiles;
}

// clang-format off
inline const std::array<BuiltInProfile, 9> kBuiltInProfiles = WithTexts({{
    {0, "", 31984, 353, 3998, 1485, "008800001F0035170000", {}},
    {1, "", 48024, 353, 6003, 2230, "008800001F00D9220000", {}},
    {2, "44kHz Stereo CBR 64kbps", 64024, 353, 8003, 2973, "008800000F00752E0000", {}},
    {3, "44kHz Stereo CBR 80kbps", 80024, 353, 10003, 3716, "008800000F00113A0000", {}},
    {4, "", 96024, 353, 12003, 4459, "008800000F00AD450000", {}},
    {5, "", 128016, 353, 16002, 5945, "008800000F00E55C0000", {}},
    {6, "", 160016, 353, 20002, 7431, "008800000F001D740000", {}},
    {7, "", 192016, 353, 24002, 8917, "008800000F00558B0000", {}},
    {8, "", 128016, 355, 2147483492, 13375, "100003000000000000000000000021000000", {}},
}});
// clang-format on

} // namespace writer_test
