// The Windows Media Audio disk writer: the host's `diskwriter` service. One
// instance serves many tracks in turn (open, set_info, process_chunk per
// chunk, close); the first chunk of a track sets up an encoding chain for the
// selected profile, and close finishes it and reports how encoding went. The
// instance also keeps its settings (preset or custom profile text) and shows
// the settings dialog.
#pragma once

#include "encoder/dshow_wma_encoder.h"
#include "profiles/wma_preset_loader.h"
#include "sdk/file_info_i.h"
#include "sdk/string8.h"
#include "vantrel/host_api.h"
#include "vantrel/service.h"

#include <cstdint>
#include <memory>
#include <string>

class diskwriter_wma : public diskwriter {
public:
    // {0741CABB-F7FA-4B3B-8E7C-B8E72A264D32}
    static constexpr GUID writer_guid = {
        0x0741CABB, 0xF7FA, 0x4B3B, {0x8E, 0x7C, 0xB8, 0xE7, 0x2A, 0x26, 0x4D, 0x32}};

    // Creates the profile loader, which raises CWMAException when the
    // platform's profile manager cannot be made.
    diskwriter_wma();
    diskwriter_wma(const diskwriter_wma&) = delete;
    diskwriter_wma& operator=(const diskwriter_wma&) = delete;
    ~diskwriter_wma() override;

    service_base* query_service(const GUID& guid) override;
    void report_format_name(string_base& out) override;
    bool report_file_extension(string_base& out) override;
    bool open(const char* location, std::uint32_t p1, std::uint32_t p2, std::uint32_t p3,
              std::uint32_t p4, std::uint32_t p5) override;
    bool set_info(track_handle* track) override;
    bool process_chunk(sample_chunk& chunk) override;
    void close() override;
    GUID get_guid() override;
    bool set_config(const void* data, std::uint32_t size) override;
    void get_config(byte_sink& sink) override;
    bool has_settings_dialog() override;
    bool show_settings_dialog(HWND parent) override;
    std::int32_t query_int_flag() override;
    void get_default_config(std::uint32_t unused, byte_sink& sink) override;
    bool get_config_description(string_base& out) override;

    // The settings dialog's procedure; the dialog's user value is the writer.
    static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    // For inspection by tests.
    const WAVEFORMATEX& wave_format() const { return waveFormat_; }
    const std::u16string& output_file_name() const { return outputFileName_; }
    std::int32_t selected_preset() const { return selectedPreset_; }
    const string8& custom_profile() const { return customProfile_; }

private:
    // Builds and starts the chain for the current track from its first chunk.
    void SetUpChain(const sample_chunk& chunk);
    // Loads the selected profile (one reference for the caller).
    IWMProfile* LoadSelectedProfile();
    // Finishes and destroys the held chain, if any; answers whether the chain
    // completed its file (true when there was no chain).
    bool FinishChain();
    // A console line with the platform's words for its last failure, if it has any.
    void PrintPlatformReason();
    // The custom profile name shown beside "Custom Profile".
    std::string CustomProfileName() const;

    // Dialog helpers (settings_dialog.cpp).
    void OnDialogInit(HWND dialog);
    void RefreshDialogLabels(HWND dialog);
    void OnCustomTextChanged(HWND dialog);
    void OnLoadProfileFile(HWND dialog);
    void OnDialogOk(HWND dialog);
    void OnDialogCancel(HWND dialog);

    file_info_i trackInfo_;
    WAVEFORMATEX waveFormat_{};
    WORD pcmBits_ = 16; // what the host's converter is asked for
    std::u16string outputFileName_;
    bool chainStarted_ = false;
    std::int32_t selectedPreset_ = 0;
    pcm_converter* pcmConverter_ = nullptr;
    std::unique_ptr<DShowWMAEncoder> chain_;
    WMAPresetLoader presetLoader_;
    string8 customProfile_;
    string8 savedCustomProfile_;
    DWORD startTick_ = 0;
    // 64 bits, so that a long track cannot overflow the count.
    std::int64_t totalSamples_ = 0;
    std::int32_t channelCount_ = 0;
    std::int32_t sampleRate_ = 0;
    // Set when a chunk of the current track did not reach the chain, so that
    // a track missing audio is never reported as encoded.
    bool trackIncomplete_ = false;
};
