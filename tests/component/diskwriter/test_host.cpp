#include "test_host.h"

#include "entry/module_state.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace diskwriter_test {

bool PcmConverterDouble::convert(const sample_chunk& chunk, pcm_block& out,
                                 std::uint32_t bits_per_sample, bool is_signed, bool is_float) {
    ++calls;
    lastArgumentsWere16BitSignedInteger = bits_per_sample == 16 && is_signed && !is_float;
    const std::size_t count = std::size_t{chunk.sample_count()} * chunk.channel_count();
    buffer_.resize(count);
    const sample_t* samples = chunk.sample_data();
    for (std::size_t i = 0; i < count; ++i) {
        const double scaled = std::round(samples[i] * 32768.0);
        buffer_[i] = static_cast<std::int16_t>(std::fmax(-32768.0, std::fmin(32767.0, scaled)));
    }
    out.data = buffer_.data();
    out.size = static_cast<std::uint32_t>(count * sizeof(std::int16_t));
    return true;
}

namespace {

class LocalFile final : public file_object {
public:
    explicit LocalFile(LocalFileSystemDouble& owner) : owner_(owner) { ++owner_.openFiles; }

    std::int32_t add_ref() override { return ++references_; }
    std::int32_t release() override {
        const std::int32_t left = --references_;
        if (left == 0) {
            --owner_.openFiles;
            delete this;
        }
        return left;
    }
    service_base* query_service(const GUID&) override { return nullptr; }

    bool open(const char* path, std::int32_t mode) override {
        if (mode != mode_read)
            return false;
        stream_.open(path, std::ios::binary);
        if (!stream_)
            return false;
        size_ = std::filesystem::file_size(path);
        return true;
    }
    std::uint64_t get_size() override { return size_; }
    std::uint64_t read(void* buffer, std::uint64_t count) override {
        if (owner_.readLimit != 0 && count > owner_.readLimit)
            count = owner_.readLimit;
        stream_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
        return static_cast<std::uint64_t>(stream_.gcount());
    }

private:
    LocalFileSystemDouble& owner_;
    std::int32_t references_ = 1;
    std::ifstream stream_;
    std::uint64_t size_ = 0;
};

} // namespace

bool LocalFileSystemDouble::canonicalize(const char*, string_base&) {
    return false;
}

bool LocalFileSystemDouble::owns_path(const char* path) {
    return path != nullptr && path[0] == '/';
}

bool LocalFileSystemDouble::file_exists(const char* path) {
    existenceQuestions.push_back(path);
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

file_object* LocalFileSystemDouble::create_file(const char*) {
    return new LocalFile(*this);
}

service_base* HostDouble::get_service(const GUID& guid, std::uint32_t index) {
    service_base* found = nullptr;
    if (index == 0 && guid == console::class_guid) {
        found = &console;
    } else if (index == 0 && guid == pcm_converter::class_guid) {
        ++converterRequests;
        if (offersConverter)
            found = &converter;
    } else if (index == 0 && guid == file_system::class_guid) {
        found = &files;
    }
    if (found != nullptr)
        found->add_ref();
    return found;
}

InstalledHost::InstalledHost(HostDouble& host, const char* componentPath) {
    SetHostApi(&host);
    SetPaths("/vantrel", componentPath);
}

InstalledHost::~InstalledHost() {
    SetHostApi(nullptr);
    SetPaths(nullptr, nullptr);
}

bool TrackDouble::get_info(file_info& out, std::uint32_t flags) const {
    lastFlags = flags;
    out.reset_info();
    for (const auto& [name, value] : entries_)
        out.meta_append(name.c_str(), value.c_str());
    return true;
}

bool RecordingSink::write(const void* bytes, std::uint32_t count) {
    const auto* first = static_cast<const unsigned char*>(bytes);
    writes.emplace_back(first, first + count);
    return true;
}

std::vector<unsigned char> RecordingSink::Bytes() const {
    std::vector<unsigned char> all;
    for (const auto& part : writes)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<unsigned char> ConfigBlock(std::int32_t index, const std::string& text) {
    std::vector<unsigned char> block;
    const auto put = [&block](std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            block.push_back(static_cast<unsigned char>(value >> shift));
    };
    put(static_cast<std::uint32_t>(index));
    put(static_cast<std::uint32_t>(text.size()));
    block.insert(block.end(), text.begin(), text.end());
    return block;
}

std::vector<unsigned char> Utf16LittleEndian(const std::u16string& text) {
    std::vector<unsigned char> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace diskwriter_test
