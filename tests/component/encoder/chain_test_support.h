// What the encoding-chain tests share: a temporary folder, PCM to push, the
// component's module, and a count of the process's threads.
#pragma once

#include "bounded_wait.h"
#include "encoder/dshow_wma_encoder.h"
#include "temporary_folder.h"

#include <vector>

using test_support::RunBounded;
using test_support::TemporaryFolder;

WAVEFORMATEX StereoPcmFormat(DWORD rate = 44100);
// Interleaved 16-bit stereo: a tone on the left, another on the right.
std::vector<BYTE> TonePcm(long long firstFrame, int frames, DWORD rate = 44100);

// Pushes `blocks` blocks of `blockFrames` frames; answers the first failure or S_OK.
HRESULT PushTone(DShowWMAEncoder& encoder, int blocks, int blockFrames);

// Threads of this process right now.
int ThreadCount();
// Waits a bounded time for the thread count to fall to `count`.
bool ThreadsBackTo(int count);

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
