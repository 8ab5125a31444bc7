// What the encoding-chain tests share: a temporary folder, PCM to push, the
// component's module, and a count of the process's threads.
#pragma once

#include "encoder/dshow_wma_encoder.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::u16string WidePath(const std::string& name) const;
    std::string NarrowPath(const std::string& name) const { return (path_ / name).string(); }
    // Names of the entries in the folder.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path path_;
};

WAVEFORMATEX StereoPcmFormat(DWORD rate = 44100);
// Interleaved 16-bit stereo: a tone on the left, another on the right.
std::vector<BYTE> TonePcm(long long firstFrame, int frames, DWORD rate = 44100);

// Pushes `blocks` blocks of `blockFrames` frames; answers the first failure or S_OK.
HRESULT PushTone(DShowWMAEncoder& encoder, int blocks, int blockFrames);

// Threads of this process right now.
int ThreadCount();
// Waits a bounded time for the thread count to fall to `count`.
bool ThreadsBackTo(int count);

// Runs the steps on a thread of their own and waits a bounded time for them:
// steps that never return are a deadlock, reported by ending the program.
void RunBounded(const std::function<void()>& steps);

// Registers the component's module for the test's lifetime.
class RegisteredComponentModule {
public:
    RegisteredComponentModule();
    ~RegisteredComponentModule();
    RegisteredComponentModule(const RegisteredComponentModule&) = delete;
    RegisteredComponentModule& operator=(const RegisteredComponentModule&) = delete;

private:
    HMODULE module_;
};
