#include "resources/profile_strings.h"

#include "resources/resource_ids.h"

#include <array>
#include <cstdio>
#include <string>

namespace {

// What sets one built-in profile apart from the others.
struct ProfileFigures {
    UINT id;
    const char* name; // most built-in profiles are unnamed
    unsigned bitrate;
    unsigned formatTag; // also the first field of the media subtype
    unsigned averageBytesPerSecond;
    unsigned blockAlign;
    const char* codecData;
    bool variableBitrate;
};

// clang-format off
constexpr ProfileFigures kProfiles[kProfileStringCount] = {
    {IDS_PROFILE_CBR_64K, "44kHz Stereo CBR 64kbps", 64024, 353, 8003, 2973, "008800000F00752E0000", false},
    {IDS_PROFILE_CBR_80K, "44kHz Stereo CBR 80kbps", 80024, 353, 10003, 3716, "008800000F00113A0000", false},
    {IDS_PROFILE_CBR_96K, "", 96024, 353, 12003, 4459, "008800000F00AD450000", false},
    {IDS_PROFILE_CBR_128K, "", 128016, 353, 16002, 5945, "008800000F00E55C0000", false},
    {IDS_PROFILE_CBR_160K, "", 160016, 353, 20002, 7431, "008800000F001D740000", false},
    {IDS_PROFILE_CBR_192K, "", 192016, 353, 24002, 8917, "008800000F00558B0000", false},
    {IDS_PROFILE_CBR_32K, "", 31984, 353, 3998, 1485, "008800001F0035170000", false},
    {IDS_PROFILE_CBR_48K, "", 48024, 353, 6003, 2230, "008800001F00D9220000", false},
    {IDS_PROFILE_LOSSLESS, "", 128016, 355, 2147483492, 13375, "100003000000000000000000000021000000", true},
};
// clang-format on

// One audio stream of 16-bit stereo at 44100 Hz. One attribute per line, line
// feeds as line ends; the layout carries no meaning to the profile parser.
constexpr char kProfileFormat[] = R"(<profile version="589824"
         storageformat="1"
         name="%s"
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="%u"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us"%s>
    <wmmediatype subtype="{%08X-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="%u"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="%u"
                    nBlockAlign="%u"
                    wBitsPerSample="16"
                    codecdata="%s"/>
    </wmmediatype>
  </streamconfig>
</profile>)";

// What a variable-bitrate stream adds to its stream configuration.
constexpr char kVariableBitrateAttributes[] = R"(
                vbrenabled="1"
                bitratemax="0"
                bufferwindowmax="0")";

std::string ProfileText(const ProfileFigures& profile) {
    const auto print = [&profile](char* out, std::size_t size) {
        return std::snprintf(out, size, kProfileFormat, profile.name, profile.bitrate,
                             profile.variableBitrate ? kVariableBitrateAttributes : "",
                             profile.formatTag, profile.formatTag, profile.averageBytesPerSecond,
                             profile.blockAlign, profile.codecData);
    };
    std::string text(static_cast<std::size_t>(print(nullptr, 0)), '\0');
    print(text.data(), text.size() + 1);
    return text;
}

// The texts, made once, and the string table that points into them.
struct ProfileTable {
    ProfileTable() {
        for (int i = 0; i < kProfileStringCount; ++i) {
            texts[i] = ProfileText(kProfiles[i]);
            entries[i] = {kProfiles[i].id, texts[i].c_str()};
        }
    }

    std::array<std::string, kProfileStringCount> texts;
    std::array<StringResource, kProfileStringCount> entries;
};

} // namespace

const StringResource* ProfileStrings() {
    static const ProfileTable table;
    return table.entries.data();
}
