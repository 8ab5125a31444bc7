#include "real_wma.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

namespace vantrel::testing {

namespace fs = std::filesystem;

namespace {

// "KEY=VALUE" lines into a map; a key seen twice keeps both values.
TagMap parse_lines(const std::string& text, const std::string& prefix, char separator) {
    TagMap tags;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        auto at = line.find(separator, prefix.size());
        if (at == std::string::npos)
            continue;
        std::string name = line.substr(prefix.size(), at - prefix.size());
        std::string& value = tags[name];
        value += (value.empty() ? "" : "|") + line.substr(at + 1);
    }
    return tags;
}

// Every value of a Python mapping of names to lists of values, as text.
TagMap python_tags(const std::string& import, const std::string& mapping) {
    std::string out = run_python("import " + import + "\nfor name, values in " + mapping +
                                 ".items():\n"
                                 "    for v in values:\n"
                                 "        print('tag\\t' + name + '\\t' + str(v))\n");
    return parse_lines(out, "tag\t", '\t');
}

} // namespace

void RealWma::SetUp() {
    CommandResult r = run_vantrel({"components"}, env());
    if (!contains(r.out, "disk writer: Windows Media Audio (.wma)"))
        GTEST_SKIP() << "the component's disk writer is not the real one:\n" << r.out << r.err;
}

std::vector<std::string> RealWma::env() const {
    return {"XDG_CONFIG_HOME=" + dir_.File("config")};
}

CommandResult RealWma::vantrel(const std::vector<std::string>& arguments, int seconds) const {
    return run_vantrel(arguments, env(), seconds);
}

std::string RealWma::probe(const std::string& path, const std::string& entries) {
    CommandResult r = RunCommand("ffprobe -v error -show_entries " + entries +
                                 " -of default=noprint_wrappers=1:nokey=1 " + ShellQuote(path));
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

double RealWma::probe_number(const std::string& path, const std::string& entry) {
    std::string text = probe(path, entry);
    try {
        return std::stod(text);
    } catch (const std::exception&) {
        ADD_FAILURE() << "ffprobe gave no number for " << entry << " of " << path << ": " << text;
        return -1;
    }
}

TagMap RealWma::probe_tags(const std::string& path) {
    CommandResult r = RunCommand("ffprobe -v error -show_entries format_tags "
                                 "-of default=noprint_wrappers=1 " +
                                 ShellQuote(path));
    EXPECT_EQ(r.status, 0) << r.err;
    return parse_lines(r.out, "TAG:", '=');
}

TagMap RealWma::mutagen_tags(const std::string& path) {
    return python_tags("mutagen.asf", "mutagen.asf.ASF(" + ShellQuote(path) + ").tags");
}

std::string RealWma::mutagen_pictures(const std::string& path, const std::string& source) {
    return run_python("import struct, mutagen.asf\n"
                      "def text(b):\n"
                      "    for i in range(0, len(b), 2):\n"
                      "        if b[i:i + 2] == b'\\0\\0':\n"
                      "            return b[:i].decode('utf-16-le'), b[i + 2:]\n"
                      "source = open(" +
                      ShellQuote(source) +
                      ", 'rb').read()\n"
                      "for picture in mutagen.asf.ASF(" +
                      ShellQuote(path) +
                      ").tags.get('WM/Picture', []):\n"
                      "    value = picture.value\n"
                      "    mime, rest = text(value[5:])\n"
                      "    description, data = text(rest)\n"
                      "    print(value[0], mime, description, struct.unpack('<I', value[1:5])[0],\n"
                      "          'same' if data == source else 'different', sep='\\t')\n");
}

std::string RealWma::readers_missing() {
    if (RunCommand("/usr/bin/python3 -c 'import mutagen' 2>&1").status != 0)
        return "python3-mutagen is not installed (scripts/setup.sh installs it)";
    if (RunCommand("/usr/bin/python3 -c 'import taglib' 2>&1").status != 0)
        return "python3-taglib is not installed (scripts/setup.sh installs it)";
    if (RunCommand("command -v kid3-cli").status != 0)
        return "kid3-cli is not installed (scripts/setup.sh installs it)";
    return "";
}

TagMap RealWma::taglib_tags(const std::string& path) {
    return python_tags("taglib", "taglib.File(" + ShellQuote(path) + ").tags");
}

TagMap RealWma::kid3_tags(const std::string& path) {
    CommandResult r = RunCommand("kid3-cli -c get " + ShellQuote(path));
    EXPECT_EQ(r.status, 0) << r.err;
    // Rows of a tag: two blanks, the name (single blanks inside), two or more
    // blanks, the value.
    static const std::regex row("  (\\S+(?: \\S+)*)(?:  +(.*))?");
    TagMap tags;
    std::istringstream lines(r.out);
    std::string line;
    bool in_tag = false;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (!line.starts_with("  ")) {
            in_tag = line.starts_with("Tag ");
            continue;
        }
        if (!in_tag || !std::regex_match(line, match, row) ||
            (match[2].str().empty() && !match[1].str().starts_with("Picture")))
            continue; // kid3 lists the usual fields even when they are empty
        std::string& value = tags[match[1]];
        value += (value.empty() ? "" : "|") + match[2].str();
    }
    return tags;
}

std::pair<double, int> RealWma::mutagen_info(const std::string& path) {
    std::string out = run_python("import mutagen.asf\nf = mutagen.asf.ASF(" + ShellQuote(path) +
                                 ")\nprint(f.info.length, f.info.bitrate)\n");
    std::istringstream in(out);
    double length = -1;
    int bitrate = -1;
    in >> length >> bitrate;
    return {length, bitrate};
}

std::string RealWma::layouts_read(const std::string& path) {
    return run_python("import mutagen.asf, taglib\n"
                      "m = mutagen.asf.ASF(" +
                      ShellQuote(path) +
                      ").info\n"
                      "t = taglib.File(" +
                      ShellQuote(path) +
                      ")\n"
                      "print('mutagen', m.sample_rate, 'Hz', m.channels, 'channels')\n"
                      "print('taglib', t.sampleRate, 'Hz', t.channels, 'channels')\n");
}

std::string RealWma::decoded_pcm(const std::string& path) {
    CommandResult r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f s16le -");
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

double RealWma::decoded_seconds(const std::string& path) {
    double rate = probe_number(path, "stream=sample_rate");
    double channels = probe_number(path, "stream=channels");
    if (rate <= 0 || channels <= 0)
        return -1;
    return static_cast<double>(decoded_pcm(path).size()) / 2 / channels / rate;
}

int RealWma::timing_lines_for(const std::string& console, const std::string& input) {
    static const std::regex line("ostrel\\.so: info: Encoding took [0-9]+ milliseconds, "
                                 "speed [0-9]+\\.[0-9][0-9]x \\((.*)\\)");
    int count = 0;
    std::istringstream lines(console);
    std::string text;
    std::smatch match;
    while (std::getline(lines, text))
        if (std::regex_match(text, match, line) && match[1] == input)
            ++count;
    return count;
}

std::vector<std::string> RealWma::files_left() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir_.Path(), ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string name = fs::relative(it->path(), dir_.Path(), ec).string();
        if (name.rfind("config", 0) != 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace vantrel::testing
