#include "chain_test_support.h"

#include "entry/component_resources.h"

#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

WAVEFORMATEX StereoPcmFormat(DWORD rate) {
    WAVEFORMATEX format{};
    format.wFormatTag = 1;
    format.nChannels = 2;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = rate * 4;
    format.wBitsPerSample = 16;
    return format;
}

std::vector<BYTE> TonePcm(long long firstFrame, int frames, DWORD rate) {
    std::vector<BYTE> bytes(static_cast<std::size_t>(frames) * 4);
    const double pi = std::acos(-1.0);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(firstFrame + i) / rate;
        const auto left = static_cast<std::int16_t>(8000 * std::sin(2 * pi * 440 * t));
        const auto right = static_cast<std::int16_t>(8000 * std::sin(2 * pi * 660 * t));
        const auto l = static_cast<std::uint16_t>(left);
        const auto r = static_cast<std::uint16_t>(right);
        bytes[i * 4 + 0] = static_cast<BYTE>(l & 0xFF);
        bytes[i * 4 + 1] = static_cast<BYTE>(l >> 8);
        bytes[i * 4 + 2] = static_cast<BYTE>(r & 0xFF);
        bytes[i * 4 + 3] = static_cast<BYTE>(r >> 8);
    }
    return bytes;
}

HRESULT PushTone(DShowWMAEncoder& encoder, int blocks, int blockFrames) {
    for (int block = 0; block < blocks; ++block) {
        const auto pcm = TonePcm(static_cast<long long>(block) * blockFrames, blockFrames);
        const HRESULT hr = encoder.PushPcm(pcm.data(), static_cast<DWORD>(pcm.size()));
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

bool ThreadsBackTo(int count) {
    return test_support::WaitUntil([count] { return ThreadCount() <= count; });
}

RegisteredComponentModule::RegisteredComponentModule()
    : module_(RegisterModule(kComponentModuleName, ComponentResources())) {}

RegisteredComponentModule::~RegisteredComponentModule() {
    UnregisterModule(module_);
}
