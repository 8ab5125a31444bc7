// A host for the disk writer's tests: a console that keeps its lines, a PCM
// converter, a file system over the real local files, track handles and byte
// sinks. Each service counts the references handed out, so tests can check
// that every one came back. Installing the host makes it the component's host.
#pragma once

#include "host_service_doubles.h"
#include "sdk/string8.h"
#include "temporary_folder.h"
#include "vantrel/file_info.h"
#include "vantrel/host_api.h"
#include "vantrel/sample_chunk.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace diskwriter_test {

using test_support::ConsoleDouble;
using test_support::ConsoleLine;
using test_support::CountedDouble;

// Doubles to signed 16-bit little-endian, rounded and clipped.
class PcmConverterDouble : public CountedDouble<pcm_converter> {
public:
    bool convert(const sample_chunk& chunk, pcm_block& out, std::uint32_t bits_per_sample,
                 bool is_signed, bool is_float) override;

    int calls = 0;
    bool lastArgumentsWere16BitSignedInteger = false;

private:
    std::vector<std::int16_t> buffer_;
};

// Owns absolute paths and answers for the real files behind them.
class LocalFileSystemDouble : public CountedDouble<file_system> {
public:
    bool canonicalize(const char* path, string_base& out) override;
    bool owns_path(const char* path) override;
    bool file_exists(const char* path) override;
    file_object* create_file(const char* path) override;

    std::vector<std::string> existenceQuestions;
    // Files made and not yet released.
    int openFiles = 0;
    // Largest count one read hands back (to test short reads).
    std::uint64_t readLimit = 0;
};

class HostDouble : public CountedDouble<host_api> {
public:
    service_base* get_service(const GUID& guid, std::uint32_t index) override;

    ConsoleDouble console;
    PcmConverterDouble converter;
    LocalFileSystemDouble files;
    bool offersConverter = true;
    int converterRequests = 0;
};

// Makes `host` the component's host for the object's life, with the given
// component path as the source of console lines.
class InstalledHost {
public:
    explicit InstalledHost(HostDouble& host, const char* componentPath = "/components/ostrel.so");
    ~InstalledHost();
    InstalledHost(const InstalledHost&) = delete;
    InstalledHost& operator=(const InstalledHost&) = delete;
};

class TrackDouble : public track_handle {
public:
    TrackDouble(std::initializer_list<std::pair<std::string, std::string>> entries)
        : entries_(entries) {}
    bool get_info(file_info& out, std::uint32_t flags) const override;

    mutable std::uint32_t lastFlags = 0xFFFFFFFFu;

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// Keeps every write apart, so the count of each can be checked.
class RecordingSink : public byte_sink {
public:
    bool write(const void* bytes, std::uint32_t count) override;
    std::vector<unsigned char> Bytes() const;

    std::vector<std::vector<unsigned char>> writes;
};

using test_support::TemporaryFolder;

// A configuration block: the index, the text's length and the text.
std::vector<unsigned char> ConfigBlock(std::int32_t index, const std::string& text);

// UTF-16 little-endian bytes of `text`, and a file made of `bytes`.
std::vector<unsigned char> Utf16LittleEndian(const std::u16string& text);
void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

} // namespace diskwriter_test
