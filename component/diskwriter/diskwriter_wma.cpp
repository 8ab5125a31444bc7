#include "diskwriter/diskwriter_wma.h"

#include "diskwriter/host_name_comparer.h"
#include "diskwriter/output_path.h"
#include "diskwriter/timing_report.h"
#include "entry/host_calls.h"
#include "entry/module_state.h"
#include "errors/platform_reason.h"
#include "errors/wma_exception.h"
#include "platform/win32_api.h"
#include "sdk/conversion_holders.h"
#include "vantrel/sample_chunk.h"
#include "vantrel/string_base.h"

#include <cstring>
#include <exception>

namespace {

// Every location starts with "file://"; the rest is the file's path.
constexpr std::size_t kLocationPrefixBytes = 7;

} // namespace

diskwriter_wma::diskwriter_wma() {
    InstallHostNameComparer();
}

diskwriter_wma::~diskwriter_wma() {
    // A track the host gave up without close is abandoned: stopping the graph
    // without an end of stream leaves no file behind and reports nothing.
    chain_.reset();
    if (pcmConverter_ != nullptr) {
        pcmConverter_->release();
        pcmConverter_ = nullptr;
    }
}

service_base* diskwriter_wma::query_service(const GUID& guid) {
    if (guid == diskwriter::class_guid) {
        add_ref();
        return this;
    }
    return nullptr;
}

void diskwriter_wma::report_format_name(string_base& out) {
    out.assign_text("Windows Media Audio");
}

bool diskwriter_wma::report_file_extension(string_base& out) {
    out.assign_text("wma");
    return true;
}

bool diskwriter_wma::open(const char* location, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t, std::uint32_t) {
    startTick_ = GetTickCount();
    // The prefix is dropped by length alone; a location too short to hold a
    // path keeps the previous file name.
    if (location != nullptr && std::strlen(location) > kLocationPrefixBytes)
        outputFileName_ = WidePathFromBytes(location + kLocationPrefixBytes);
    chainStarted_ = false;
    totalSamples_ = 0;
    trackIncomplete_ = false;
    return true;
}

bool diskwriter_wma::set_info(track_handle* track) {
    if (track != nullptr)
        track->get_info(trackInfo_, 0);
    else
        trackInfo_.reset_info();
    return true;
}

bool diskwriter_wma::process_chunk(sample_chunk& chunk) {
    try {
        channelCount_ = static_cast<std::int32_t>(chunk.channel_count());
        sampleRate_ = static_cast<std::int32_t>(chunk.sample_rate());
        totalSamples_ += chunk.sample_count();
        if (!chainStarted_) {
            // Until the chain runs, this track's audio is not all in the file.
            trackIncomplete_ = true;
            SetUpChain(chunk);
            trackIncomplete_ = totalSamples_ != chunk.sample_count();
        }
        pcm_block block{nullptr, 0};
        const bool converted = pcmConverter_->convert(chunk, block, pcmBits_, true, false);
        if (chain_ != nullptr && block.data != nullptr && block.size > 0) {
            if (FAILED(chain_->PushPcm(static_cast<const BYTE*>(block.data), block.size)))
                trackIncomplete_ = true;
        } else if (!converted && chunk.sample_count() > 0) {
            trackIncomplete_ = true;
        }
        return true;
    } catch (const CWMAException& failure) {
        ConsolePrint(console::severity_error, failure.Description().c_str());
        PrintPlatformReason();
        return false;
    } catch (const std::exception& failure) {
        // Nothing may escape into the host; the track is reported as failed.
        trackIncomplete_ = true;
        ConsolePrint(console::severity_error, failure.what());
        return false;
    }
}

void diskwriter_wma::close() {
    bool written = chainStarted_ && !trackIncomplete_;
    if (chain_ != nullptr && !FinishChain())
        written = false;

    if (!HostFileExists(BytesFromWidePath(outputFileName_.c_str()).c_str()) || !written) {
        ConsolePrint(console::severity_error, "Encoding failed");
        PrintPlatformReason();
        return;
    }
    const std::string report =
        FormatTimingReport(totalSamples_, sampleRate_, ElapsedTicks(startTick_, GetTickCount()));
    if (!report.empty())
        ConsolePrint(console::severity_information, report.c_str());
}

void diskwriter_wma::PrintPlatformReason() {
    const std::string reason = TakePlatformReason();
    if (!reason.empty())
        ConsolePrint(console::severity_error, reason.c_str());
}

bool diskwriter_wma::FinishChain() {
    if (chain_ == nullptr)
        return true;
    ForgetPlatformReason();
    const HRESULT finished = chain_->Finish();
    chain_.reset();
    return SUCCEEDED(finished);
}

GUID diskwriter_wma::get_guid() {
    return writer_guid;
}

bool diskwriter_wma::has_settings_dialog() {
    return true;
}

std::int32_t diskwriter_wma::query_int_flag() {
    return 1;
}
