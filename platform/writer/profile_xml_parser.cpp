// Reads the profile XML: <profile> holding <streamconfig> elements, each with a
// <wmmediatype> holding an empty <waveformatex>. Element and attribute names are
// matched without regard to ASCII case, as profile files written by hand vary.
#include "profile_description.h"
#include "utf16_text.h"

#include "platform/wmsdk.h"

#include <pugixml.hpp>

#include <cstdint>
#include <limits>
#include <set>
#include <strings.h>

namespace writer {
namespace {

constexpr WORD kMaxStreamNumber = 63; // the file format's stream number field has 7 bits
constexpr WORD kMaxChannels = 8;
constexpr DWORD kMinSampleRate = 1000;
constexpr DWORD kMaxSampleRate = 384000;
constexpr std::size_t kMaxCodecDataBytes = 0xFFFF - sizeof(WAVEFORMATEX);

// Why a text is not a usable profile, in words for the user.
struct InvalidProfile {
    std::string reason;
};

bool NameIs(const char* name, const char* wanted) {
    return strcasecmp(name, wanted) == 0;
}

pugi::xml_attribute FindAttribute(const pugi::xml_node& node, const char* name) {
    for (const auto& attribute : node.attributes()) {
        if (NameIs(attribute.name(), name)) {
            return attribute;
        }
    }
    return {};
}

std::vector<pugi::xml_node> Children(const pugi::xml_node& node, const char* name) {
    std::vector<pugi::xml_node> found;
    for (const auto& child : node.children()) {
        if (child.type() == pugi::node_element && NameIs(child.name(), name)) {
            found.push_back(child);
        }
    }
    return found;
}

pugi::xml_node OnlyChild(const pugi::xml_node& node, const char* name) {
    const auto found = Children(node, name);
    if (found.size() != 1) {
        throw InvalidProfile{"<" + std::string(node.name()) + "> needs exactly one <" + name + ">"};
    }
    return found.front();
}

// A decimal number within [0, maximum]; "-1" stands for the all-ones value where
// the field allows it (profile files write unlimited windows that way).
std::uint64_t ParseNumber(const char* text, std::uint64_t maximum, bool allowMinusOne = false) {
    const std::string_view digits(text);
    if (allowMinusOne && digits == "-1") {
        return maximum;
    }
    if (digits.empty() || digits.size() > 20) {
        throw InvalidProfile{"'" + std::string(digits) + "' is not a number"};
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            throw InvalidProfile{"'" + std::string(digits) + "' is not a number"};
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (maximum - digit) / 10) {
            throw InvalidProfile{std::string(digits) + " is too large"};
        }
        value = value * 10 + digit;
    }
    return value;
}

std::uint64_t RequiredNumber(const pugi::xml_node& node, const char* name, std::uint64_t maximum,
                             bool allowMinusOne = false) {
    const auto attribute = FindAttribute(node, name);
    if (!attribute) {
        throw InvalidProfile{"<" + std::string(node.name()) + "> has no " + name};
    }
    return ParseNumber(attribute.value(), maximum, allowMinusOne);
}

std::uint64_t OptionalNumber(const pugi::xml_node& node, const char* name, std::uint64_t maximum,
                             std::uint64_t fallback, bool allowMinusOne = false) {
    const auto attribute = FindAttribute(node, name);
    if (!attribute || attribute.value()[0] == '\0') {
        return fallback;
    }
    return ParseNumber(attribute.value(), maximum, allowMinusOne);
}

GUID RequiredGuid(const pugi::xml_node& node, const char* name) {
    GUID guid{};
    const auto attribute = FindAttribute(node, name);
    if (!attribute || !GuidFromString(attribute.value(), &guid)) {
        throw InvalidProfile{"<" + std::string(node.name()) + "> has no valid " + name};
    }
    return guid;
}

std::u16string OptionalText(const pugi::xml_node& node, const char* name) {
    const auto attribute = FindAttribute(node, name);
    if (!attribute) {
        return {};
    }
    auto text = Utf16FromUtf8(attribute.value());
    if (!text) {
        throw InvalidProfile{std::string(name) + " is not valid UTF-8"};
    }
    return *text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::vector<BYTE> ParseHexBytes(std::string_view text) {
    if (text.size() % 2 != 0 || text.size() / 2 > kMaxCodecDataBytes) {
        throw InvalidProfile{"codecdata is not whole bytes of hexadecimal, or too long"};
    }
    std::vector<BYTE> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            throw InvalidProfile{"codecdata is not hexadecimal"};
        }
        bytes.push_back(static_cast<BYTE>(high * 16 + low));
    }
    return bytes;
}

bool Flag(const pugi::xml_node& node, const char* name, bool fallback) {
    return OptionalNumber(node, name, 1, fallback ? 1 : 0) != 0;
}

void ReadWaveFormat(const pugi::xml_node& node, StreamDescription& stream) {
    constexpr std::uint64_t kWord = 0xFFFF;
    constexpr std::uint64_t kDword = 0xFFFFFFFF;
    WAVEFORMATEX& format = stream.format;
    format.wFormatTag = static_cast<WORD>(RequiredNumber(node, "wFormatTag", kWord));
    format.nChannels = static_cast<WORD>(RequiredNumber(node, "nChannels", kWord));
    format.nSamplesPerSec = static_cast<DWORD>(RequiredNumber(node, "nSamplesPerSec", kDword));
    format.nAvgBytesPerSec = static_cast<DWORD>(RequiredNumber(node, "nAvgBytesPerSec", kDword));
    format.nBlockAlign = static_cast<WORD>(RequiredNumber(node, "nBlockAlign", kWord));
    format.wBitsPerSample = static_cast<WORD>(RequiredNumber(node, "wBitsPerSample", kWord));
    if (format.nChannels == 0 || format.nChannels > kMaxChannels ||
        format.nSamplesPerSec < kMinSampleRate || format.nSamplesPerSec > kMaxSampleRate ||
        format.nAvgBytesPerSec == 0 || format.nBlockAlign == 0) {
        throw InvalidProfile{"the audio format asks for " + std::to_string(format.nChannels) +
                             " channels at " + std::to_string(format.nSamplesPerSec) +
                             " Hz; 1 to 8 channels at 1000 to 384000 Hz, with a byte rate "
                             "and block alignment, are possible"};
    }
    const auto codecData = FindAttribute(node, "codecdata");
    if (codecData) {
        stream.codecData = ParseHexBytes(codecData.value());
    }
    format.cbSize = static_cast<WORD>(stream.codecData.size());
}

StreamDescription ReadStream(const pugi::xml_node& node) {
    StreamDescription stream;
    stream.majorType = RequiredGuid(node, "majortype");
    if (!(stream.majorType == WMMEDIATYPE_Audio)) {
        throw InvalidProfile{"a stream that is not audio"}; // this runtime writes audio only
    }
    stream.streamNumber = static_cast<WORD>(RequiredNumber(node, "streamnumber", kMaxStreamNumber));
    if (stream.streamNumber == 0) {
        throw InvalidProfile{"stream number 0"};
    }
    stream.streamName = OptionalText(node, "streamname");
    stream.connectionName = OptionalText(node, "inputname");
    stream.bitrate = static_cast<DWORD>(RequiredNumber(node, "bitrate", 0xFFFFFFFF));
    stream.bufferWindow =
        static_cast<DWORD>(OptionalNumber(node, "bufferwindow", 0xFFFFFFFF, 3000, true));
    stream.vbrEnabled = Flag(node, "vbrenabled", false);
    if (stream.bitrate == 0) {
        throw InvalidProfile{"a stream with a bit rate of 0"};
    }

    const auto mediaType = OnlyChild(node, "wmmediatype");
    stream.subtype = RequiredGuid(mediaType, "subtype");
    stream.fixedSizeSamples = Flag(mediaType, "bfixedsizesamples", true);
    stream.temporalCompression = Flag(mediaType, "btemporalcompression", false);
    stream.sampleSize = static_cast<DWORD>(OptionalNumber(mediaType, "lsamplesize", 0xFFFFFFFF, 0));
    ReadWaveFormat(OnlyChild(mediaType, "waveformatex"), stream);
    if (!(stream.subtype == AudioSubtypeFromTag(stream.format.wFormatTag))) {
        throw InvalidProfile{"the media subtype does not match the wave format tag"};
    }
    return stream;
}

ProfileDescription ReadProfile(const pugi::xml_node& root) {
    if (!NameIs(root.name(), "profile")) {
        throw InvalidProfile{"the root element is <" + std::string(root.name()) +
                             ">, not <profile>"};
    }
    ProfileDescription profile;
    profile.version = static_cast<DWORD>(OptionalNumber(root, "version", 0xFFFFFFFF, 0));
    profile.name = OptionalText(root, "name");
    profile.description = OptionalText(root, "description");
    std::set<WORD> numbers;
    for (const auto& node : Children(root, "streamconfig")) {
        auto stream = ReadStream(node);
        if (!numbers.insert(stream.streamNumber).second) {
            throw InvalidProfile{"two streams with number " + std::to_string(stream.streamNumber)};
        }
        profile.streams.push_back(std::move(stream));
    }
    if (profile.streams.empty()) {
        throw InvalidProfile{"no audio stream (<streamconfig>)"};
    }
    return profile;
}

} // namespace

std::optional<ProfileDescription> ParseProfileXml(std::u16string_view text, std::string* problem) {
    auto refuse = [problem](std::string reason) -> std::optional<ProfileDescription> {
        if (problem != nullptr) {
            *problem = std::move(reason);
        }
        return std::nullopt;
    };
    if (!text.empty() && text.front() == u'\uFEFF') {
        text.remove_prefix(1);
    }
    const auto utf8 = Utf8FromUtf16(text);
    if (!utf8) {
        return refuse("the text is not valid Unicode");
    }
    pugi::xml_document document;
    const auto parsed =
        document.load_buffer(utf8->data(), utf8->size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        return refuse(std::string("not XML: ") + parsed.description() + " at byte " +
                      std::to_string(parsed.offset));
    }
    const auto root = document.document_element();
    int elements = 0;
    for (const auto& node : document.children()) {
        elements += node.type() == pugi::node_element ? 1 : 0;
    }
    if (!root || elements != 1) {
        return refuse("the XML must hold one <profile> element");
    }
    try {
        return ReadProfile(root);
    } catch (const InvalidProfile& invalid) {
        return refuse(invalid.reason);
    }
}

} // namespace writer
