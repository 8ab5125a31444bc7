// A stand-in component for the host's tests: a disk writer that records what
// the host hands it (location, track information, configuration, every chunk
// converted through the host's pcm_converter) in a plain file, and that can be
// told through VANTREL_STAND_IN_FAIL to fail in each way a real encoder can:
//   process     process_chunk prints an error and answers false
//   late        the same from the second chunk on
//   error-line  an error line at close, the finished file thrown away
//   no-file     nothing written
//   half-file   part of the file written, then an error line and thrown away
// Like the platform's file writer, it writes beside the path and moves the file
// onto it only when it finished without an error.
//   throw       process_chunk throws
// With VANTREL_STAND_IN_GATE naming a file, every chunk after a track's first
// waits while that file exists (a minute at most), so that a test can look at
// tracks in progress for as long as it needs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "test_file_info.h"
#include "vantrel/host_api.h"
#include "vantrel/sample_chunk.h"
#include "vantrel/service.h"
#include "vantrel/string_base.h"

namespace {

host_api* g_host = nullptr;
std::string g_component_path;

std::string failure_mode() {
    const char* mode = std::getenv("VANTREL_STAND_IN_FAIL");
    return mode ? mode : "";
}

void wait_at_gate() {
    const char* gate = std::getenv("VANTREL_STAND_IN_GATE");
    if (!gate || !gate[0])
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::FILE* file = std::fopen(gate, "rb")) {
        std::fclose(file);
        if (std::chrono::steady_clock::now() > deadline)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void print(std::int32_t severity, const std::string& text) {
    if (auto* out = g_host ? g_host->get_service_as<console>(0) : nullptr) {
        out->print(severity, text.c_str(), g_component_path.c_str());
        out->release();
    }
}

class stand_in_version : public componentversion {
public:
    stand_in_version(const char* name, const char* version, const char* about)
        : name_(name), version_(version), about_(about) {}
    service_base* query_service(const GUID&) override { return nullptr; }
    void report_file_path(string_base& out) override { out.assign_text(g_component_path.c_str()); }
    void report_component_name(string_base& out) override { out.assign_text(name_); }
    void report_component_version(string_base& out) override { out.assign_text(version_); }
    void report_about_text(string_base& out) override { out.assign_text(about_); }

private:
    const char *name_, *version_, *about_;
};

class stand_in_writer : public diskwriter {
public:
    static constexpr GUID writer_guid = {
        0x5E1F0A11, 0x1234, 0x4321, {0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};

    stand_in_writer() : owner_(std::this_thread::get_id()) {}

    service_base* query_service(const GUID& guid) override {
        if (!(guid == diskwriter::class_guid))
            return nullptr;
        add_ref();
        return this;
    }
    void report_format_name(string_base& out) override {
        check_thread();
        out.assign_text("Stand-in Writer");
    }
    bool report_file_extension(string_base& out) override {
        out.assign_text("wma");
        return true;
    }
    bool open(const char* location, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
              std::uint32_t) override {
        check_thread();
        path_ = std::strlen(location) > 7 ? location + 7 : "";
        location_ = location;
        pcm_.clear();
        frames_ = 0;
        chunks_ = 0;
        return true;
    }
    bool set_info(track_handle* track) override {
        check_thread();
        info_ = vantrel::testing::test_file_info();
        if (track)
            track->get_info(info_, 0);
        return true;
    }
    bool process_chunk(sample_chunk& chunk) override {
        check_thread();
        std::string mode = failure_mode();
        if (mode == "process" || (mode == "late" && chunks_ > 0)) {
            print(console::severity_error, "Stand-in refuses the audio.");
            return false;
        }
        if (mode == "throw")
            throw std::runtime_error("stand-in exception");
        if (chunks_ > 0)
            wait_at_gate();
        if (!converter_)
            converter_ = g_host->get_service_as<pcm_converter>(0);
        rate_ = chunk.sample_rate();
        channels_ = chunk.channel_count();
        capacity_ = chunk.data_capacity();
        frames_ += chunk.sample_count();
        ++chunks_;
        pcm_block block{};
        if (converter_->convert(chunk, block, 16, true, false))
            pcm_.append(static_cast<const char*>(block.data), block.size);
        return true;
    }
    void close() override {
        check_thread();
        std::string mode = failure_mode();
        if (mode == "no-file")
            return;
        const std::string part = path_ + ".stand-in-part";
        std::FILE* file = std::fopen(part.c_str(), "wb");
        if (!file) {
            print(console::severity_error, "Encoding failed");
            return;
        }
        std::fprintf(file, "stand-in output\nthread-ok %d\nlocation %s\nconfig", thread_ok_ ? 1 : 0,
                     location_.c_str());
        for (unsigned char byte : config_)
            std::fprintf(file, " %02x", byte);
        std::fprintf(file, "\ntrack %s\nlength %.3f\n", info_.where.path(), info_.length);
        for (auto& [name, value] : info_.meta)
            std::fprintf(file, "meta %s=%s\n", name.c_str(), value.c_str());
        for (auto& [name, value] : info_.info)
            std::fprintf(file, "info %s=%s\n", name.c_str(), value.c_str());
        std::fprintf(file, "rate %u\nchannels %u\ncapacity %u\nframes %llu\nchunks %u\npcm\n",
                     rate_, channels_, capacity_, static_cast<unsigned long long>(frames_),
                     chunks_);
        std::size_t size = mode == "half-file" ? pcm_.size() / 2 : pcm_.size();
        std::fwrite(pcm_.data(), 1, size, file);
        std::fclose(file);
        if (mode == "error-line" || mode == "half-file") {
            std::remove(part.c_str());
            print(console::severity_error, "Stand-in could not finish the file.");
        } else if (std::rename(part.c_str(), path_.c_str()) != 0) {
            std::remove(part.c_str());
            print(console::severity_error, "Encoding failed");
        } else {
            print(console::severity_information,
                  "Stand-in wrote " + std::to_string(frames_) + " frames");
        }
    }
    GUID get_guid() override { return writer_guid; }
    bool set_config(const void* data, std::uint32_t size) override {
        check_thread();
        auto bytes = static_cast<const unsigned char*>(data);
        config_.assign(bytes, bytes + size);
        return size >= 8;
    }
    void get_config(byte_sink& sink) override {
        check_thread();
        sink.write(config_.data(), static_cast<std::uint32_t>(config_.size()));
    }
    bool has_settings_dialog() override { return true; }
    bool show_settings_dialog(HWND) override {
        check_thread();
        if (failure_mode() != "dialog-ok")
            return false;
        config_ = {5, 0, 0, 0, 0, 0, 0, 0};
        return true;
    }
    std::int32_t query_int_flag() override { return 1; }
    void get_default_config(std::uint32_t, byte_sink& sink) override {
        const unsigned char block[8] = {2, 0, 0, 0, 0, 0, 0, 0};
        sink.write(block, 8);
    }
    bool get_config_description(string_base& out) override {
        check_thread();
        std::string text = config_.size() >= 4 ? "preset " + std::to_string(config_[0])
                                               : std::string("no settings");
        if (config_.size() > 8)
            text += " with " + std::to_string(config_.size() - 8) + " bytes of profile";
        out.assign_text(text.c_str());
        return true;
    }
    ~stand_in_writer() override {
        check_thread();
        if (converter_)
            converter_->release();
    }

private:
    void check_thread() {
        if (std::this_thread::get_id() != owner_)
            thread_ok_ = false;
    }

    std::thread::id owner_;
    bool thread_ok_ = true;
    pcm_converter* converter_ = nullptr;
    std::string path_, location_, pcm_;
    std::vector<unsigned char> config_;
    vantrel::testing::test_file_info info_;
    std::uint32_t rate_ = 0, channels_ = 0, capacity_ = 0, chunks_ = 0;
    std::uint64_t frames_ = 0;
};

service_factory_t<diskwriter, stand_in_writer> g_writer_factory;
service_factory_single_transparent_p3_t<componentversion, stand_in_version, const char*,
                                        const char*, const char*>
    g_version_factory("Stand-in Component", "0.1", "Records what the host hands it.\nFor tests.");

class stand_in_client final : public component_client {
public:
    std::int32_t get_interface_version() override { return component_interface_version; }
    service_factory_base* get_factory_list() override { return service_factory_base::list_head(); }
    void save_settings(byte_sink&) override {}
    void load_settings(const void*, std::uint32_t) override {}
    void no_op_hook() override {}
    void set_paths(const char*, const char* component_path) override {
        g_component_path = component_path ? component_path : "";
    }
    void set_services_ready(std::uint8_t) override {}
} g_client;

} // namespace

extern "C" __attribute__((visibility("default"))) component_client*
vantrel_get_interface(host_api* api, HINSTANCE) {
    g_host = api;
    return &g_client;
}
