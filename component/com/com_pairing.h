// Joins the constructing thread to COM for the holder's lifetime. As a member
// declared before the others, it balances its owner's CoInitialize even when
// the owner's constructor raises. Must end on the constructing thread.
#pragma once

#include "platform/com.h"

class ComPairing {
public:
    ComPairing() {
        CoInitialize(nullptr); // an apartment the thread already has is fine too
    }
    ~ComPairing() { CoUninitialize(); }
    ComPairing(const ComPairing&) = delete;
    ComPairing& operator=(const ComPairing&) = delete;
};
