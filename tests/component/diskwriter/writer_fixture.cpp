#include "writer_fixture.h"

#include "commands.h"
#include "entry/component_resources.h"
#include "entry/module_state.h"
#include "sdk/sample_chunk_i.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace diskwriter_test {

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

} // namespace

void RegisterComponentModule() {
    static const HMODULE module = RegisterModule(kComponentModuleName, ComponentResources());
    SetModuleInstance(reinterpret_cast<HINSTANCE>(module));
}

bool FeedChunk(diskwriter& writer, std::uint32_t frames, std::uint32_t channels,
               std::uint32_t rate) {
    std::vector<sample_t> samples(std::size_t{frames} * channels);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.25 * std::sin(kTwoPi * 440.0 * static_cast<double>(i / channels) / rate);
    sample_chunk_i chunk;
    if (!chunk.set_samples(samples.data(), frames, channels, rate))
        return false;
    return writer.process_chunk(chunk);
}

bool FeedTone(diskwriter& writer, std::uint32_t frames, std::uint32_t channels, std::uint32_t rate,
              std::uint32_t chunkFrames) {
    bool all = true;
    for (std::uint32_t done = 0; done < frames; done += chunkFrames) {
        const std::uint32_t count = std::min(chunkFrames, frames - done);
        all = FeedChunk(writer, count, channels, rate) && all;
    }
    return all;
}

bool MutagenAvailable() {
    return std::system("/usr/bin/python3 -c 'import mutagen.asf' 2>/dev/null") == 0;
}

ReadBackFile ReadWithMutagen(const std::string& path) {
    ReadBackFile file;
    const auto [status, output, errors] =
        test_support::RunCommand("/usr/bin/python3 " DISKWRITER_TEST_DIR "/read_wma_tags.py " +
                                 test_support::ShellQuote(path));
    if (status != 0)
        return file;
    file.readable = true;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const std::string name = line.substr(0, tab);
        const std::string value = line.substr(tab + 1);
        if (name == "#length")
            file.lengthSeconds = std::atof(value.c_str());
        else
            file.tags.emplace(Unescaped(name), Unescaped(value));
    }
    return file;
}

DiskWriterTest::DiskWriterTest() : writer(new service_impl_t<diskwriter_wma>()) {}

DiskWriterTest::~DiskWriterTest() {
    if (writer != nullptr)
        writer->release();
}

std::string DiskWriterTest::PathOf(const std::string& name) const {
    return folder.File(name);
}

std::string DiskWriterTest::Location(const std::string& name) const {
    return "file://" + PathOf(name);
}

void DiskWriterTest::WriteTrack(const std::string& name, track_handle* track, std::uint32_t frames,
                                std::uint32_t channels, std::uint32_t rate) {
    ASSERT_TRUE(writer->open(Location(name).c_str(), 0, 0, 0, 0, 0));
    ASSERT_TRUE(writer->set_info(track));
    EXPECT_TRUE(FeedTone(*writer, frames, channels, rate));
    writer->close();
}

} // namespace diskwriter_test
